# Helpers shared by the module CMakeLists files.

# rd_add(NAME DIR): add a module directory unless RD_MODULES leaves it out.
function(rd_add name dir)
  if(RD_MODULES AND NOT name IN_LIST RD_MODULES)
    return()
  endif()
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# rd_library(TARGET [SHARED] [EXCLUDE file...] DEPS ...): a library of every *.cpp in the
# current directory (not its tests/ or bench/ folders, nor the files named in EXCLUDE, which
# a second library of the same directory takes).
function(rd_library target)
  cmake_parse_arguments(A "SHARED" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  foreach(f ${A_EXCLUDE})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
  if(NOT srcs MATCHES "\\.cpp")
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${A_DEPS})
    return()
  endif()
  if(A_SHARED)
    add_library(${target} SHARED ${srcs})
  else()
    add_library(${target} STATIC ${srcs})
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${A_DEPS})
endfunction()

# rd_tests(TARGET DEPS ...): one GoogleTest program of every tests/*.cpp,
# registered with CTest (label = module name).
function(rd_tests target)
  cmake_parse_arguments(A "" "LABEL" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${target} PRIVATE RD_SOURCE_DIR="${PROJECT_SOURCE_DIR}" RD_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(NOT A_LABEL)
    set(A_LABEL ${target})
  endif()
  rd_discover_tests(${target} LABELS ${A_LABEL} TIMEOUT 300
    ENVIRONMENT QT_QPA_PLATFORM=offscreen RELAYDECK_DIRECTORY_URL=http://127.0.0.1:9/)
endfunction()

# rd_discover_tests(TARGET [LABELS l...] [ENVIRONMENT VAR=value...] [TIMEOUT s]): register the
# GoogleTest cases of TARGET with CTest. gtest_discover_tests() passes its PROPERTIES through a
# generated script that splits lists, so a second label or variable would be lost there; the
# list-valued properties are set instead by a small script CTest reads after the discovered tests.
function(rd_discover_tests target)
  cmake_parse_arguments(A "" "TIMEOUT" "LABELS;ENVIRONMENT" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_LIST ${target}_TESTS PROPERTIES TIMEOUT ${A_TIMEOUT})
  set(props "")
  if(A_LABELS)
    string(APPEND props " LABELS \"${A_LABELS}\"")
  endif()
  if(A_ENVIRONMENT)
    string(APPEND props " ENVIRONMENT \"${A_ENVIRONMENT}\"")
  endif()
  if(props)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
    file(WRITE ${script} "if(${target}_TESTS)\n  set_tests_properties(\${${target}_TESTS} PROPERTIES${props})\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()

# rd_benchmarks(TARGET DEPS ...): one Google Benchmark program of every bench/*.cpp.
function(rd_benchmarks target)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  if(NOT RD_BUILD_BENCHMARKS)
    return()
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE ${A_DEPS} benchmark::benchmark benchmark::benchmark_main Threads::Threads)
  target_compile_definitions(${target} PRIVATE RD_SOURCE_DIR="${PROJECT_SOURCE_DIR}" RD_BINARY_DIR="${CMAKE_BINARY_DIR}")
endfunction()
