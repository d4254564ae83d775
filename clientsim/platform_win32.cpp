#ifdef _WIN32
#include "clientsim/platform.h"

#include <io.h>

#include <cstdio>

namespace clientsim {

void ignoreBrokenPipes() {} // Windows raises no signal for a broken pipe

bool stdinIsTerminal()
{
    return ::_isatty(::_fileno(stdin)) != 0;
}

bool serveControlSocket(const std::string&, std::function<std::string(const std::string&)>, std::string& error)
{
    error = "no control socket on Windows: use stdin or --script";
    return false;
}

void closeControlSocket() {}

} // namespace clientsim
#endif
