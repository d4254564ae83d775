#include "tools/cli.h"

#include <cstdio>
#include <map>

namespace {
struct Entry {
    std::string usage;
    CliCommand::Fn fn;
};
std::map<std::string, Entry>& registry()
{
    static std::map<std::string, Entry> r;
    return r;
}
int usage()
{
    std::fprintf(stderr, "usage: relaydeck-cli COMMAND [ARGS]\n\ncommands:\n");
    for (const auto& [name, e] : registry())
        std::fprintf(stderr, "  %s\n", e.usage.c_str());
    return 2;
}
} // namespace

CliCommand::CliCommand(const char* name, const char* usage, Fn fn)
{
    registry()[name] = Entry{usage, std::move(fn)};
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string cmd = argv[1];
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        usage();
        return 0;
    }
    auto it = registry().find(cmd);
    if (it == registry().end()) {
        std::fprintf(stderr, "relaydeck-cli: unknown command '%s'\n", cmd.c_str());
        return usage();
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        return it->second.fn(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "relaydeck-cli %s: %s\n", cmd.c_str(), e.what());
        return 1;
    }
}
