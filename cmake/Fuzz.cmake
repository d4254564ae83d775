# libFuzzer targets, one per parser (clang only; configure with -DRD_FUZZ=ON in a build
# directory of its own). Every library of such a build already carries the coverage hooks
# and the address and undefined-behaviour sanitizers (top CMakeLists). Each target is a
# CTest test with the label "fuzz": a bounded run of RD_FUZZ_SECONDS from a seed corpus
# that tools/fuzz_seeds.py cuts out of the unit tests' own vectors at build time.
set(RD_FUZZ_SECONDS 20 CACHE STRING "Seconds per fuzz target in a ctest -L fuzz run")
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(rd_fuzz_seed_root ${CMAKE_BINARY_DIR}/fuzz-seeds)
set(rd_fuzz_work_root ${CMAKE_BINARY_DIR}/fuzz-work)
add_custom_target(rd_fuzzers)   # builds every target below

# rd_fuzz(NAME SOURCE DEPS ...): executable rd_fuzz_NAME and the test fuzz_NAME.
function(rd_fuzz name source)
  cmake_parse_arguments(A "" "" "DEPS;EXTRA" ${ARGN})
  foreach(dep ${A_DEPS})
    if(NOT TARGET ${dep})
      return()
    endif()
  endforeach()
  set(exe rd_fuzz_${name})
  add_executable(${exe} ${PROJECT_SOURCE_DIR}/${source} ${A_EXTRA})
  target_compile_options(${exe} PRIVATE -fsanitize=fuzzer)
  target_link_options(${exe} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${exe} PRIVATE ${A_DEPS})
  target_compile_definitions(${exe} PRIVATE RD_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(rd_fuzzers ${exe})
  set(seeds ${rd_fuzz_seed_root}/${name})
  add_custom_command(TARGET ${exe} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/fuzz_seeds.py --target ${name} --out ${seeds}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${rd_fuzz_work_root}/${name}
    VERBATIM)
  # New inputs go to the work folder (kept between runs); the seeds are only read.
  add_test(NAME fuzz_${name}
    COMMAND ${exe} -max_total_time=${RD_FUZZ_SECONDS} -timeout=10 -max_len=4096 -rss_limit_mb=2048 -print_final_stats=1
      -artifact_prefix=${rd_fuzz_work_root}/${name}- ${rd_fuzz_work_root}/${name} ${seeds})
  set_tests_properties(fuzz_${name} PROPERTIES LABELS fuzz TIMEOUT 600
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;RELAYDECK_DIRECTORY_URL=http://127.0.0.1:9/")
endfunction()

rd_fuzz(session app/session/fuzz/session_fuzz.cpp DEPS rd_session)
rd_fuzz(dispatch app/gateway/fuzz/dispatch_fuzz.cpp DEPS rd_gateway)
rd_fuzz(settings app/config/fuzz/settings_fuzz.cpp DEPS rd_config)
rd_fuzz(ini app/config/fuzz/ini_fuzz.cpp DEPS rd_config)
rd_fuzz(wav app/audio/fuzz/wav_fuzz.cpp DEPS rd_audio)
rd_fuzz(dtmf app/audio/fuzz/dtmf_fuzz.cpp DEPS rd_audio)
rd_fuzz(directory app/directory/fuzz/directory_fuzz.cpp DEPS rd_directory)
rd_fuzz(events plugin/fuzz/events_fuzz.cpp DEPS rd_plugin EXTRA ${PROJECT_SOURCE_DIR}/plugin/tests/fake_client.cpp)
rd_fuzz(command plugin/fuzz/command_fuzz.cpp DEPS rd_plugin EXTRA ${PROJECT_SOURCE_DIR}/plugin/tests/fake_client.cpp)
