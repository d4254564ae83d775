// What the clientsim program needs from the operating system beyond the C++ library:
// platform_posix.cpp (Linux) and platform_win32.cpp (Windows).
#pragma once
#include <functional>
#include <string>

namespace clientsim {

// Writes to a closed pipe or socket fail instead of ending the program.
void ignoreBrokenPipes();
bool stdinIsTerminal();

// The control socket (a Unix socket at path): each connection is served on a thread of
// its own, one command per line, each answered with what run returns ("" → "OK",
// otherwise "ERROR text"). False with the reason when it cannot listen; Windows has none
// (drive the program through stdin or a script there).
bool serveControlSocket(const std::string& path, std::function<std::string(const std::string&)> run,
                        std::string& error);
// Stops listening and removes the socket file.
void closeControlSocket();

// The program's end. catchQuitSignals: from now on SIGTERM and SIGINT (Ctrl-C) no longer end
// the program at once but set quitSignalled() and wake waitForQuit. waitForQuit returns once
// done() is true; it looks again whenever wakeQuitWait() is called (from any thread) or a
// signal comes, and on Windows every 50 ms as well. Between those it does not wake.
void catchQuitSignals();
bool quitSignalled();
void wakeQuitWait();
void waitForQuit(const std::function<bool()>& done);

} // namespace clientsim
