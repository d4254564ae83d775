// clientsim: a substitute TeamSpeak 3 client. Loads a plugin, reads control commands
// from a script file, stdin and/or a Unix control socket, and prints every client call
// the plugin makes and every callback it gets on stdout, one line each.
//
//   clientsim --plugin PATH [--workdir DIR] [--script FILE] [--control SOCKET]
//             [--register-after] [--plugin-id ID] [--no-load]
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "clientsim/client.h"
#include "clientsim/script.h"

namespace {

std::mutex g_printMutex;
std::mutex g_runMutex;
std::mutex g_quitMutex;
std::condition_variable g_quitCv;
bool g_quit = false;
volatile sig_atomic_t g_signal = 0;

void usage() {
    std::fprintf(stderr,
                 "usage: clientsim --plugin PATH [--workdir DIR] [--script FILE] [--control SOCKET]\n"
                 "                 [--register-after] [--plugin-id ID] [--no-load]\n"
                 "Control commands come from the script file, then stdin (and the control socket).\n"
                 "See clientsim/README.md for the command list.\n");
}

void requestQuit() {
    std::lock_guard<std::mutex> lock(g_quitMutex);
    g_quit = true;
    g_quitCv.notify_all();
}

// Runs one control line; returns "" or the error.
std::string runLine(clientsim::Script& script, const std::string& line) {
    std::lock_guard<std::mutex> lock(g_runMutex);
    if (script.quitRequested()) return "quitting";
    bool more = script.execute(line);
    if (!more) requestQuit();
    return script.lastError();
}

void serveControlConnection(clientsim::Script& script, int fd) {
    std::string pending;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        pending.append(buf, static_cast<size_t>(n));
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            std::string error = runLine(script, line);
            std::string reply = error.empty() ? "OK\n" : "ERROR " + error + "\n";
            if (::write(fd, reply.data(), reply.size()) < 0) break;
        }
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    std::string pluginPath, workdir, scriptFile, controlPath, pluginId;
    bool registerAfter = false, noLoad = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--plugin")
            pluginPath = value();
        else if (a == "--workdir")
            workdir = value();
        else if (a == "--script")
            scriptFile = value();
        else if (a == "--control")
            controlPath = value();
        else if (a == "--plugin-id")
            pluginId = value();
        else if (a == "--register-after")
            registerAfter = true;
        else if (a == "--no-load")
            noLoad = true;
        else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            usage();
            return 2;
        }
    }
    if (pluginPath.empty() && !noLoad) {
        usage();
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ::signal(SIGPIPE, SIG_IGN);
    if (!pluginPath.empty()) pluginPath = std::filesystem::absolute(pluginPath).string();
    if (!scriptFile.empty()) scriptFile = std::filesystem::absolute(scriptFile).string();
    if (!workdir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(workdir, ec);
        if (::chdir(workdir.c_str()) != 0) {
            std::fprintf(stderr, "clientsim: cannot enter %s\n", workdir.c_str());
            return 2;
        }
    }
    std::string cwd = std::filesystem::current_path().string();

    clientsim::Client client;
    clientsim::Script* scriptPtr = nullptr;
    auto print = [&](const std::string& line) {
        std::lock_guard<std::mutex> lock(g_printMutex);
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        if (scriptPtr) scriptPtr->noteOutput(line);
    };
    clientsim::Script script(client, print);
    scriptPtr = &script;
    client.setListener([&](const clientsim::TraceEntry& e) { print(e.line()); });
    client.model().with([&](clientsim::State& s) {
        s.appPath = cwd + "/";
        s.resourcesPath = cwd + "/";
        s.configPath = cwd + "/config/";
        s.pluginPath = cwd + "/plugins/";
    });

    clientsim::LoadOptions options;
    options.registerBeforeInit = !registerAfter;
    options.pluginId = pluginId;
    script.setPluginPath(pluginPath);
    script.setLoadOptions(options);
    if (!noLoad) {
        std::string error = runLine(script, "load");
        if (!error.empty()) return 1;
    }

    if (!scriptFile.empty()) {
        std::ifstream in(scriptFile);
        if (!in) {
            print("ERROR cannot read script " + scriptFile);
        }
        std::string line;
        while (!script.quitRequested() && std::getline(in, line)) runLine(script, line);
    }

    int listenFd = -1;
    if (!controlPath.empty() && !script.quitRequested()) {
        listenFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (controlPath.size() >= sizeof addr.sun_path) {
            print("ERROR control socket path too long");
            return 2;
        }
        std::strcpy(addr.sun_path, controlPath.c_str());
        ::unlink(controlPath.c_str());
        if (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd, 8) != 0) {
            print("ERROR cannot listen on " + controlPath);
            return 2;
        }
        print("INFO control " + controlPath);
        std::thread([&script, listenFd] {
            for (;;) {
                int fd = ::accept(listenFd, nullptr, nullptr);
                if (fd < 0) return;
                std::thread(serveControlConnection, std::ref(script), fd).detach();
            }
        }).detach();
    }

    if (!script.quitRequested()) {
        bool useStdin = controlPath.empty() || !::isatty(0);
        std::thread([&script, useStdin, hasControl = !controlPath.empty()] {
            if (useStdin) {
                std::string line;
                while (std::getline(std::cin, line)) {
                    runLine(script, line);
                    if (script.quitRequested()) return;
                }
            }
            // Without a control socket the end of the input ends the program.
            if (!hasControl) requestQuit();
        }).detach();
        struct sigaction sa{};
        sa.sa_handler = [](int sig) { g_signal = sig; };
        ::sigaction(SIGTERM, &sa, nullptr);
        ::sigaction(SIGINT, &sa, nullptr);
        std::unique_lock<std::mutex> lock(g_quitMutex);
        while (!g_quit && !g_signal) g_quitCv.wait_for(lock, std::chrono::milliseconds(50));
    }

    {
        std::lock_guard<std::mutex> lock(g_runMutex);
        if (client.loaded()) client.unload();
    }
    if (listenFd >= 0) {
        ::close(listenFd);
        ::unlink(controlPath.c_str());
    }
    std::fflush(stdout);
    // Reader threads may still sit in a blocking read: leave without joining them.
    std::_Exit(0);
}
