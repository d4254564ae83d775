#ifndef _WIN32
#include "plugin/host.h"

#include <dlfcn.h>

#include <cstdlib>

namespace rdplugin {

void endProcess(int code)
{
    std::_Exit(code);
}

const char* hostQtVersion()
{
    using Fn = const char* (*)();
    auto fn = reinterpret_cast<Fn>(::dlsym(RTLD_DEFAULT, "qVersion"));
    return fn ? fn() : nullptr;
}

int hostClientApiFromVersionResource()
{
    return 0; // ELF executables carry no version resource
}

} // namespace rdplugin
#endif
