// What the plugin asks of the process it was loaded into, the same on Linux and Windows:
// host_posix.cpp and host_win32.cpp.
#pragma once

namespace rdplugin {

// Ends the client process at once with the exit code: no atexit handlers, no static
// destructors, no library unload notifications (the plugin's own threads are still
// running when EXITCLIENT gets here).
[[noreturn]] void endProcess(int code);

// The plugin interface number the client executable's version resource asks for
// (Windows: the fixed file version of the process's own module; minor 0-2 -> 21,
// 3 -> 23, 4-5 -> 24, 6 and later -> 26); 0 when there is none or it cannot be read,
// and always 0 on Linux.
int hostClientApiFromVersionResource();

// The Qt version text of the host process when it exports qVersion (a Qt program, as the
// Linux client is), else nullptr; always nullptr on Windows (the client's Qt is none the
// plugin could use).
const char* hostQtVersion();

// The same mapping from a client version (major.minor as in the resource).
int clientApiForVersion(int major, int minor);

} // namespace rdplugin
