// The control script of the clientsim program: one command per line, words separated
// by blanks, "double quotes" around words with blanks (\" \\ \n \r \t inside), named
// arguments as key=value (key="a value"), # starts a comment line. README.md lists the
// commands.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "clientsim/client.h"

namespace clientsim {

class Script {
public:
    // out receives every line the script prints (trace lines come from the client's
    // listener, which the program connects to the same output).
    Script(Client& client, std::function<void(const std::string&)> out);

    // Runs one line. Returns false once the script asked to quit.
    bool execute(const std::string& line);
    // The outcome of the last command: empty when it succeeded.
    const std::string& lastError() const { return lastError_; }
    bool quitRequested() const { return quit_; }

    // Default plugin for "load" without a path.
    void setPluginPath(const std::string& path) { pluginPath_ = path; }
    void setLoadOptions(const LoadOptions& options) { loadOptions_ = options; }
    // Every line that went to the output, for "expect".
    void noteOutput(const std::string& line);

    struct Word {
        std::string text;
        bool quoted = false;
    };
    // Splits a line into words; false (with error) on an unterminated quote.
    static bool split(const std::string& line, std::vector<Word>& words, std::string& error);

private:
    void say(const std::string& line);
    void run(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& named,
             const std::vector<std::string>& flags);

    Client& client_;
    std::function<void(const std::string&)> out_;
    std::string pluginPath_;
    LoadOptions loadOptions_;
    std::string lastError_;
    // Set by a control connection's thread, read by the main thread's wait loop.
    std::atomic<bool> quit_ = false;
    bool sync_ = true;

    std::mutex outputMutex_;
    std::vector<std::string> output_;
    size_t expectFrom_ = 0;
};

} // namespace clientsim
