#ifndef _WIN32
#include "plugin/host.h"

#include <cstdlib>

namespace rdplugin {

void endProcess(int code)
{
    std::_Exit(code);
}

int hostClientApiFromVersionResource()
{
    return 0; // ELF executables carry no version resource
}

} // namespace rdplugin
#endif
