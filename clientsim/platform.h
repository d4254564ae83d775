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

} // namespace clientsim
