#ifndef _WIN32
#include "clientsim/platform.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace clientsim {

namespace {

int g_listenFd = -1;
std::string g_controlPath;

void serveConnection(int fd, const std::function<std::string(const std::string&)>& run)
{
    std::string pending;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        pending.append(buf, static_cast<size_t>(n));
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            std::string error = run(line);
            std::string reply = error.empty() ? "OK\n" : "ERROR " + error + "\n";
            if (::write(fd, reply.data(), reply.size()) < 0)
                break;
        }
    }
    ::close(fd);
}

} // namespace

void ignoreBrokenPipes()
{
    ::signal(SIGPIPE, SIG_IGN);
}

bool stdinIsTerminal()
{
    return ::isatty(0) != 0;
}

bool serveControlSocket(const std::string& path, std::function<std::string(const std::string&)> run, std::string& error)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        error = "control socket path too long";
        return false;
    }
    std::strcpy(addr.sun_path, path.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::unlink(path.c_str());
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
        if (fd >= 0)
            ::close(fd);
        error = "cannot listen on " + path;
        return false;
    }
    g_listenFd = fd;
    g_controlPath = path;
    std::thread([fd, run] {
        for (;;) {
            int conn = ::accept(fd, nullptr, nullptr);
            if (conn < 0)
                return;
            std::thread(serveConnection, conn, run).detach();
        }
    }).detach();
    return true;
}

void closeControlSocket()
{
    if (g_listenFd < 0)
        return;
    ::close(g_listenFd);
    g_listenFd = -1;
    ::unlink(g_controlPath.c_str());
}

} // namespace clientsim
#endif
