#ifndef _WIN32
#include "clientsim/library.h"

#include <dlfcn.h>

namespace clientsim {

void* openLibrary(const std::string& path, std::string& error)
{
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* why = dlerror();
        error = why ? why : "unknown error";
    }
    return lib;
}

void* librarySymbol(void* library, const char* name)
{
    return dlsym(library, name);
}

void closeLibrary(void* library)
{
    if (library)
        dlclose(library);
}

} // namespace clientsim
#endif
