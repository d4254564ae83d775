// Loading a plugin library: dlopen on Linux, LoadLibrary on Windows (library_posix.cpp,
// library_win32.cpp).
#pragma once
#include <string>

namespace clientsim {

// The loaded library, or nullptr with the loader's reason in error.
void* openLibrary(const std::string& path, std::string& error);
// An exported function by its undecorated name, or nullptr.
void* librarySymbol(void* library, const char* name);
void closeLibrary(void* library);

} // namespace clientsim
