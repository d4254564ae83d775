# End-to-end test of Relaydeck's plugin session: the plugin library inside the substitute
# client, Relaydeck's main window (in-process and as the relaydeck program) connecting to it.
# Label "session;e2e".
if(TARGET Relaydeck_Link AND TARGET clientsim_lib AND TARGET rd_ui AND TARGET relaydeck)
  file(GLOB e2e_session_srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/ui/e2e/*.cpp)
  if(e2e_session_srcs)
    add_executable(e2e_session_tests ${e2e_session_srcs})
    target_link_libraries(e2e_session_tests PRIVATE rd_ui clientsim_lib GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(e2e_session_tests PRIVATE ${PROJECT_SOURCE_DIR})
    add_dependencies(e2e_session_tests Relaydeck_Link relaydeck)
    target_compile_definitions(e2e_session_tests PRIVATE RD_PLUGIN_PATH="$<TARGET_FILE:Relaydeck_Link>"
      RD_RELAYDECK_PATH="$<TARGET_FILE:relaydeck>")
    rd_discover_tests(e2e_session_tests LABELS session e2e TIMEOUT 300 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
endif()
