#include "plugin/host.h"

namespace rdplugin {

int clientApiForVersion(int major, int minor)
{
    if (major != 3 || minor < 0)
        return 0; // not a TeamSpeak 3 client version
    if (minor <= 2)
        return 21;
    if (minor == 3)
        return 23;
    if (minor <= 5)
        return 24;
    return 26;
}

} // namespace rdplugin
