# Cross-build for 64-bit Windows with Debian's mingw-w64 (gcc, POSIX thread model, which
# std::thread needs):
#   cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# builds Relaydeck_Link.dll, clientsim.exe and the wire format they share; no Qt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RD_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RD_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The binaries carry their C and C++ runtimes and winpthread: a TeamSpeak client or a
# Wine prefix has none of the mingw DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
