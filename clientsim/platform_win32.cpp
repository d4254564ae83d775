#ifdef _WIN32
#include "clientsim/platform.h"

#include <io.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>

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

namespace {
std::mutex g_quitMutex;
std::condition_variable g_quitCv;
volatile sig_atomic_t g_quitSignal = 0;
} // namespace

void catchQuitSignals()
{
    std::signal(SIGTERM, [](int) { g_quitSignal = 1; });
    std::signal(SIGINT, [](int) { g_quitSignal = 1; });
}

bool quitSignalled()
{
    return g_quitSignal != 0;
}

void wakeQuitWait()
{
    std::lock_guard<std::mutex> lock(g_quitMutex);
    g_quitCv.notify_all();
}

// A signal handler may not notify: the wait also looks every 50 ms.
void waitForQuit(const std::function<bool()>& done)
{
    std::unique_lock<std::mutex> lock(g_quitMutex);
    while (!done())
        g_quitCv.wait_for(lock, std::chrono::milliseconds(50));
}

} // namespace clientsim
#endif
