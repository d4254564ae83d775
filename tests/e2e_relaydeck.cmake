# Whole-product tests: the relaydeck program, the plugin inside the clientsim program, the
# simulated radio on a virtual serial port, all as separate processes driven by Python
# scripts in tests/relaydeck_e2e/. Label "e2e".
if(TARGET relaydeck AND TARGET clientsim AND TARGET Relaydeck_Link)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    set(rd_e2e_dir ${PROJECT_SOURCE_DIR}/tests/relaydeck_e2e)
    set(rd_e2e_env "QT_QPA_PLATFORM=offscreen;PYTHONDONTWRITEBYTECODE=1")
    foreach(name gateway_lifecycle refusal relay chat headless)
      add_test(NAME e2e_${name}
        COMMAND ${Python3_EXECUTABLE} -u ${rd_e2e_dir}/test_${name}.py --bin $<TARGET_FILE_DIR:relaydeck>
        WORKING_DIRECTORY ${rd_e2e_dir})
      set_tests_properties(e2e_${name} PROPERTIES LABELS "e2e" TIMEOUT 120 ENVIRONMENT "${rd_e2e_env}")
    endforeach()
    # The demo driver: both directions of the relay must be seen within 40 s.
    add_test(NAME e2e_demo
      COMMAND ${Python3_EXECUTABLE} -u ${PROJECT_SOURCE_DIR}/tools/demo.py --build $<TARGET_FILE_DIR:relaydeck>/..
              --duration 40 --check)
    set_tests_properties(e2e_demo PROPERTIES LABELS "e2e" TIMEOUT 120 ENVIRONMENT "${rd_e2e_env}")
  endif()
  # In-process: the main window and a gateway window against the plugin in clientsim_lib.
  if(TARGET rd_ui AND TARGET clientsim_lib)
    add_executable(relaydeck_e2e_tests ${PROJECT_SOURCE_DIR}/tests/relaydeck_e2e/gateway_close_e2e_test.cpp)
    target_link_libraries(relaydeck_e2e_tests PRIVATE rd_ui clientsim_lib GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(relaydeck_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR})
    add_dependencies(relaydeck_e2e_tests Relaydeck_Link)
    target_compile_definitions(relaydeck_e2e_tests PRIVATE RD_PLUGIN_PATH="$<TARGET_FILE:Relaydeck_Link>")
    rd_discover_tests(relaydeck_e2e_tests LABELS e2e TIMEOUT 120 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
endif()
