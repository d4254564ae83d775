#include "plugin/client_api.h"

#include <cstdio>

#include "plugin/ini_file.h"

namespace rdplugin {

int clientApiForQtVersion(const char* text)
{
    int major = 0, minor = 0;
    if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2 || major < 1)
        return 0;
    // Clients up to 3.2 run Qt 5.6 to 5.11; 3.3 to 3.5 run 5.12, but on Linux only
    // today's 3.6 matters without the key (a 3.3-3.5 Linux client needs ClientAPI).
    return (major == 5 && minor < 12) || major < 5 ? 21 : 26;
}

ClientApiChoice chooseClientApi(const std::string& settingsPath, int (*versionResource)(), const char* (*qtVersion)())
{
    ClientApiChoice c;
    const std::string key = iniRead(settingsPath, "LINKSettings", "ClientAPI", "");
    if (!key.empty()) {
        int n = 0;
        char rest = 0;
        if (std::sscanf(key.c_str(), "%d%c", &n, &rest) == 1 && n >= 21 && n <= 26) {
            c.number = n;
            c.source = "ClientAPI setting";
            return c;
        }
        c.ignoredKey = key;
    }
    if (const int n = versionResource ? versionResource() : 0) {
        c.number = n;
        c.source = "client version resource";
        return c;
    }
    if (qtVersion) {
        if (const int n = clientApiForQtVersion(qtVersion())) {
            c.number = n;
            c.source = "client Qt version";
            return c;
        }
    }
    return c;
}

} // namespace rdplugin
