# End-to-end tests of the plugin library loaded by the substitute client (clientsim):
# the bytes on the link socket and the client calls the plugin makes. Label "plugin".
if(TARGET Relaydeck_Link AND TARGET clientsim_lib)
  file(GLOB e2e_plugin_srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/plugin/e2e/*.cpp)
  if(e2e_plugin_srcs)
    add_executable(e2e_plugin_tests ${e2e_plugin_srcs})
    target_link_libraries(e2e_plugin_tests PRIVATE clientsim_lib GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(e2e_plugin_tests PRIVATE ${PROJECT_SOURCE_DIR})
    add_dependencies(e2e_plugin_tests Relaydeck_Link)
    target_compile_definitions(e2e_plugin_tests PRIVATE RD_PLUGIN_PATH="$<TARGET_FILE:Relaydeck_Link>")
    rd_discover_tests(e2e_plugin_tests LABELS plugin e2e TIMEOUT 300)
  endif()
endif()
