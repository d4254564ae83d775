// Sub-command registry of relaydeck-cli. Each cli_*.cpp registers its commands with a
// static CliCommand object; main() in cli.cpp looks the first argument up.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct CliCommand {
    using Fn = std::function<int(const std::vector<std::string>& args)>;
    // name: the sub-command word; usage: one line "name ARGS  what it does".
    CliCommand(const char* name, const char* usage, Fn fn);
};
