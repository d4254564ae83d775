// clientsim: a substitute TeamSpeak 3 client. Loads a plugin, reads control commands
// from a script file, stdin and/or a Unix control socket, and prints every client call
// the plugin makes and every callback it gets on stdout, one line each.
//
//   clientsim --plugin PATH [--workdir DIR] [--script FILE] [--control SOCKET]
//             [--register-after] [--plugin-id ID] [--no-load] [--generation 3.1|3.3|3.5|3.6] [--qt VER|none]
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "clientsim/client.h"
#include "clientsim/platform.h"
#include "clientsim/script.h"

namespace {

std::mutex g_printMutex;
std::mutex g_runMutex;
std::mutex g_quitMutex;
bool g_quit = false;

void usage()
{
    std::fprintf(stderr, "usage: clientsim --plugin PATH [--workdir DIR] [--script FILE] [--control SOCKET]\n"
                         "                 [--register-after] [--plugin-id ID] [--no-load]\n"
                         "                 [--generation 3.1|3.3|3.5|3.6] [--qt VERSION|none]\n"
                         "Control commands come from the script file, then stdin (and the control socket).\n"
                         "See clientsim/README.md for the command list.\n");
}

void requestQuit()
{
    {
        std::lock_guard<std::mutex> lock(g_quitMutex);
        g_quit = true;
    }
    clientsim::wakeQuitWait();
}

// Runs one control line; returns "" or the error.
std::string runLine(clientsim::Script& script, const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_runMutex);
    if (script.quitRequested())
        return "quitting";
    bool more = script.execute(line);
    if (!more)
        requestQuit();
    return script.lastError();
}

} // namespace

int main(int argc, char** argv)
{
    std::string pluginPath, workdir, scriptFile, controlPath, pluginId, generation, qt;
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
        else if (a == "--generation")
            generation = value();
        else if (a == "--qt")
            qt = value();
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
    clientsim::ignoreBrokenPipes();
    if (!pluginPath.empty())
        pluginPath = std::filesystem::absolute(pluginPath).string();
    if (!scriptFile.empty())
        scriptFile = std::filesystem::absolute(scriptFile).string();
    if (!workdir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(workdir, ec);
        std::filesystem::current_path(workdir, ec);
        if (ec) {
            std::fprintf(stderr, "clientsim: cannot enter %s\n", workdir.c_str());
            return 2;
        }
    }
    std::string cwd = std::filesystem::current_path().string();
    const char sep = static_cast<char>(std::filesystem::path::preferred_separator);

    clientsim::Client client;
    clientsim::Script* scriptPtr = nullptr;
    auto print = [&](const std::string& line) {
        std::lock_guard<std::mutex> lock(g_printMutex);
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout); // line buffering is full buffering in the Windows C library
        if (scriptPtr)
            scriptPtr->noteOutput(line);
    };
    clientsim::Script script(client, print);
    scriptPtr = &script;
    client.setListener([&](const clientsim::TraceEntry& e) { print(e.line()); });
    client.model().with([&](clientsim::State& s) {
        s.appPath = cwd + sep;
        s.resourcesPath = cwd + sep;
        s.configPath = cwd + sep + "config" + sep;
        s.pluginPath = cwd + sep + "plugins" + sep;
    });

    clientsim::LoadOptions options;
    options.registerBeforeInit = !registerAfter;
    options.pluginId = pluginId;
    options.generation = generation;
    options.qtVersion = qt;
    script.setPluginPath(pluginPath);
    script.setLoadOptions(options);
    if (!noLoad) {
        std::string error = runLine(script, "load");
        if (!error.empty())
            return 1;
    }

    if (!scriptFile.empty()) {
        std::ifstream in(scriptFile);
        if (!in) {
            print("ERROR cannot read script " + scriptFile);
        }
        std::string line;
        while (!script.quitRequested() && std::getline(in, line))
            runLine(script, line);
    }

    if (!controlPath.empty() && !script.quitRequested()) {
        std::string error;
        if (!clientsim::serveControlSocket(
                controlPath, [&script](const std::string& line) { return runLine(script, line); }, error)) {
            print("ERROR " + error);
            return 2;
        }
        print("INFO control " + controlPath);
    }

    if (!script.quitRequested()) {
        bool useStdin = controlPath.empty() || !clientsim::stdinIsTerminal();
        std::thread([&script, useStdin, hasControl = !controlPath.empty()] {
            if (useStdin) {
                std::string line;
                while (std::getline(std::cin, line)) {
                    runLine(script, line);
                    if (script.quitRequested())
                        return;
                }
            }
            // Without a control socket the end of the input ends the program.
            if (!hasControl)
                requestQuit();
        }).detach();
        // Waits without waking until a quit or a signal: an idle client costs nothing here.
        clientsim::catchQuitSignals();
        clientsim::waitForQuit([] {
            std::lock_guard<std::mutex> lock(g_quitMutex);
            return g_quit || clientsim::quitSignalled();
        });
    }

    {
        std::lock_guard<std::mutex> lock(g_runMutex);
        if (client.loaded())
            client.unload();
    }
    clientsim::closeControlSocket();
    std::fflush(stdout);
    // Reader threads may still sit in a blocking read: leave without joining them.
    std::_Exit(0);
}
