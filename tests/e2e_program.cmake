# The plugin loaded by the clientsim program, driven only from outside (link socket,
# control lines, trace): the Linux pair here, the Windows pair under Wine in
# scripts/ci/50-windows.sh (same program, RD_E2E_CLIENTSIM / RD_E2E_PLUGIN). Label "plugin".
if(TARGET Relaydeck_Link AND TARGET clientsim AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/program_e2e)
  file(GLOB e2e_program_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/program_e2e/*.cpp)
  add_executable(e2e_program_tests ${e2e_program_srcs})
  target_link_libraries(e2e_program_tests PRIVATE clientsim_lib GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(e2e_program_tests PRIVATE ${PROJECT_SOURCE_DIR})
  add_dependencies(e2e_program_tests Relaydeck_Link clientsim)
  target_compile_definitions(e2e_program_tests PRIVATE RD_PLUGIN_PATH="$<TARGET_FILE:Relaydeck_Link>"
    RD_CLIENTSIM_PROGRAM="$<TARGET_FILE:clientsim>")
  rd_discover_tests(e2e_program_tests LABELS plugin e2e TIMEOUT 300)
endif()
