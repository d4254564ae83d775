# rd_savestorm (tests/savestorm.cpp) saves every kind of configuration file in a loop
# through the program's own save code; tools/killsave.py kills it at random moments and
# checks that each file is then its previous or its new version.
if(TARGET rd_gateway AND TARGET rd_serial)
  find_package(Python3 COMPONENTS Interpreter)
  add_executable(rd_savestorm ${CMAKE_CURRENT_SOURCE_DIR}/savestorm.cpp)
  target_link_libraries(rd_savestorm PRIVATE rd_gateway rd_serial rd_config Qt6::Core)
  if(Python3_Interpreter_FOUND)
    add_test(NAME killsave_100_rounds
      COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/killsave.py --bin $<TARGET_FILE:rd_savestorm> --rounds 100 --seed 1)
    set_tests_properties(killsave_100_rounds PROPERTIES LABELS killsave TIMEOUT 600)
  endif()
endif()
