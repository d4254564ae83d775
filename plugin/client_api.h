// Which plugin interface number the plugin reports to the client that loaded it. The
// client asks before it hands over its function table (and for plugins it then refuses),
// possibly more than once, so the choice rests only on what the process itself shows.
// One binary serves every client from 3.1 to 3.6: the table prefix and every function
// the plugin uses are the same at 21 to 26.
#pragma once

#include <string>

namespace rdplugin {

struct ClientApiChoice {
    int number = 21;
    const char* source = "default";
    std::string ignoredKey; // a ClientAPI value outside 21-26, ignored (logged after init)
};

// In this order: the key ClientAPI in section LINKSettings of the settings file (21-26);
// the client executable's version resource (Windows; versionResource() != 0); the Qt the
// host process runs (qtVersion() != nullptr: older than 5.12 -> 21, otherwise 26); 21.
ClientApiChoice chooseClientApi(const std::string& settingsPath, int (*versionResource)(), const char* (*qtVersion)());

// The number for a host Qt version text ("5.6.1" -> 21, "5.15.2" -> 26); 0 when the text
// is no version.
int clientApiForQtVersion(const char* text);

} // namespace rdplugin
