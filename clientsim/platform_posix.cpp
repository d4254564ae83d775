#ifndef _WIN32
#include "clientsim/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

namespace clientsim {

namespace {

int g_listenFd = -1;
std::string g_controlPath;

// The quit wait sleeps in a read of this pipe; a wake is one byte written to it (the
// signal handler may write, a mutex it may not take).
int g_quitPipe[2] = {-1, -1};
std::once_flag g_quitPipeOnce;
volatile sig_atomic_t g_quitSignal = 0;

void openQuitPipe()
{
    std::call_once(g_quitPipeOnce, [] {
        if (::pipe2(g_quitPipe, O_CLOEXEC) != 0)
            g_quitPipe[0] = g_quitPipe[1] = -1;
        else
            ::fcntl(g_quitPipe[1], F_SETFL, O_NONBLOCK); // a full pipe already holds a wake
    });
}

void pokeQuitPipe()
{
    const int saved = errno;
    if (g_quitPipe[1] >= 0) {
        const char b = 'q';
        [[maybe_unused]] const ssize_t n = ::write(g_quitPipe[1], &b, 1);
    }
    errno = saved;
}

void onQuitSignal(int)
{
    g_quitSignal = 1;
    pokeQuitPipe();
}

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

void catchQuitSignals()
{
    openQuitPipe();
    ::signal(SIGTERM, onQuitSignal);
    ::signal(SIGINT, onQuitSignal);
}

bool quitSignalled()
{
    return g_quitSignal != 0;
}

void wakeQuitWait()
{
    openQuitPipe();
    pokeQuitPipe();
}

void waitForQuit(const std::function<bool()>& done)
{
    openQuitPipe();
    while (!done()) {
        if (g_quitPipe[0] < 0) { // no pipe: look now and then
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        char buf[64];
        const ssize_t n = ::read(g_quitPipe[0], buf, sizeof buf);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
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
