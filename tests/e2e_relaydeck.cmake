# Whole-product tests: the relaydeck program, the plugin inside the clientsim program, the
# simulated radio on a virtual serial port, all as separate processes driven by Python
# scripts in tests/relaydeck_e2e/. Label "e2e".
if(TARGET relaydeck AND TARGET clientsim AND TARGET Relaydeck_Link)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    set(rd_e2e_dir ${PROJECT_SOURCE_DIR}/tests/relaydeck_e2e)
    set(rd_e2e_env "QT_QPA_PLATFORM=offscreen;PYTHONDONTWRITEBYTECODE=1")
    foreach(name gateway_lifecycle refusal relay chat)
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
endif()
