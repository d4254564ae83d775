# The Windows cross-build (cmake/mingw-w64-x86_64.cmake): the plugin library
# Relaydeck_Link.dll, the substitute client clientsim.exe and the wire format they share.
# No Qt, no test programs (the tests run on Linux against these two under Wine).
set(RD_BUILD_APP OFF CACHE BOOL "" FORCE)
set(RD_BUILD_BENCHMARKS OFF CACHE BOOL "" FORCE)
set(RD_FUZZ OFF CACHE BOOL "" FORCE)

# Winsock 2.2, WSAPoll and the version calls need Windows 7 or later.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

find_package(Threads REQUIRED)

# Boost String Algorithms is header-only and the same for every target: take the host's
# headers through a folder of their own, so no other host header is on the include path.
set(rd_boost_stage ${CMAKE_BINARY_DIR}/host-headers)
if(NOT EXISTS ${rd_boost_stage}/boost)
  file(MAKE_DIRECTORY ${rd_boost_stage})
  file(CREATE_LINK /usr/include/boost ${rd_boost_stage}/boost SYMBOLIC)
endif()
add_library(Boost::headers INTERFACE IMPORTED)
target_include_directories(Boost::headers SYSTEM INTERFACE ${rd_boost_stage})
set(Boost_FOUND TRUE)
set(Boost_NO_BOOST_CMAKE ON)
set(Boost_INCLUDE_DIR ${rd_boost_stage} CACHE PATH "" FORCE)

include(cmake/RdModule.cmake)
# Test and benchmark programs are Linux programs here: none in this build.
function(rd_tests)
endfunction()
function(rd_benchmarks)
endfunction()

rd_add(link link)
rd_add(ini ini)
rd_add(plugin plugin)
rd_add(clientsim clientsim)

if(TARGET rd_plugin)
  target_link_libraries(rd_plugin PUBLIC ws2_32 version)
endif()
if(TARGET Relaydeck_Link)
  # Only the dllexport'ed ts3plugin_* entry points are exported, nothing of the runtimes
  # linked in.
  target_link_options(Relaydeck_Link PRIVATE -Wl,--exclude-all-symbols -Wl,--exclude-libs,ALL)
endif()
foreach(t clientsim_testplugin clientsim_badapiplugin)
  if(TARGET ${t})
    set_target_properties(${t} PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endforeach()

# clientsim.exe variants that carry the version resource of one client generation each
# (clientsim-3.6.exe says 3.6.2.0, ...); clientsim.exe itself has none.
if(TARGET clientsim)
  enable_language(RC)
  foreach(ver 3.1.10.0 3.3.2.0 3.5.6.0 3.6.2.0)
    string(REGEX MATCH "^[0-9]+\\.[0-9]+" gen ${ver})
    set(RD_VER ${ver})
    string(REPLACE "." "," RD_VER_COMMAS ${ver})
    set(rc ${CMAKE_BINARY_DIR}/clientsim-${gen}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/clientsim/windows/version.rc.in ${rc} @ONLY)
    add_executable(clientsim-${gen} ${PROJECT_SOURCE_DIR}/clientsim/main.cpp ${rc})
    target_link_libraries(clientsim-${gen} PRIVATE clientsim_lib)
    target_link_options(clientsim-${gen} PRIVATE -s) # stand-ins: no debug information
  endforeach()
endif()

# A Windows program that drives the plugin's native settings dialog through window
# messages (stage 50 runs it under Wine); not part of `all`.
if(TARGET Relaydeck_Link)
  add_executable(dialog_check EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/tests/windows/dialog_check.cpp)
  set_target_properties(dialog_check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/checks)
  target_link_options(dialog_check PRIVATE -municode)
  target_link_libraries(dialog_check PRIVATE user32)
  add_dependencies(dialog_check Relaydeck_Link)
endif()
