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
    set_target_properties(e2e_plugin_tests PROPERTIES ENABLE_EXPORTS ON) # clientsim's qVersion
    # The suite against today's client (3.6) and the 3.1 one, each with the 20 ms connect
    # steps and with none (the fast server that races GW_CONNECT).
    foreach(variant "3.6;20" "3.6;0" "3.1;20" "3.1;0")
      list(GET variant 0 gen)
      list(GET variant 1 delay)
      set(list_var e2e_plugin_${gen}_${delay})
      string(REPLACE "." "" list_var ${list_var})
      gtest_discover_tests(e2e_plugin_tests DISCOVERY_TIMEOUT 60 TEST_PREFIX "ts${gen}.delay${delay}."
        TEST_LIST ${list_var} PROPERTIES TIMEOUT 300)
      set(script ${CMAKE_CURRENT_BINARY_DIR}/${list_var}_properties.cmake)
      file(WRITE ${script} "if(${list_var})\n  set_tests_properties(\${${list_var}} PROPERTIES LABELS \"plugin;e2e\" "
        "ENVIRONMENT \"RD_E2E_GENERATION=${gen};RD_E2E_CONNECT_DELAY_MS=${delay}\")\nendif()\n")
      set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
    endforeach()
  endif()
endif()
