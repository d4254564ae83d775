// libFuzzer target: arbitrary bytes as link input to the command handler, over the
// recording fake client. Checks: no crash or sanitizer report, and no line the plugin
// writes is longer than the reply limit.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../tests/fake_client.h"
#include "link/wire.h"
#include "plugin/line_builder.h"
#include "plugin/link_plugin.h"

namespace {

struct Harness {
    rdplugin::LinkPlugin plugin;
    int fds[2] = {-1, -1};

    Harness() : plugin(options())
    {
        plugin.setFunctionPointers(fake::table());
        plugin.registerPluginID("fuzz");
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
        int size = 1 << 20;
        ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        plugin.adoptSession(fds[0]);
    }
    static rdplugin::LinkPlugin::Options options()
    {
        rdplugin::LinkPlugin::Options o;
        o.clock = [] { return int64_t(1700000000); };
        o.sleepMs = [](int) {};
        o.exitProcess = [](int) {};
        return o;
    }
    void resetModel()
    {
        auto& m = fake::model();
        m.reset();
        m.addChannel(3, 5, "Lobby");
        m.addChannel(3, 6, "Main / ^s|x");
        m.handler(3).channels[5].parent = 6;
        m.addClient(3, 10, "Gate", 5);
        m.addClient(3, 20, std::string(300, 'n'), 5, 1);
        m.handler(3).ownClient = 10;
        m.handler(3).status = STATUS_CONNECTION_ESTABLISHED;
        m.profiles[0] = {std::string(700, ' '), "b|c"};
        m.bookmarks = {{std::string(600, '/'), "u", false, {}}, {"F", "", true, {{"x", "y", false, {}}}}};
        rdplugin::TS3StatusData e;
        e.isGateway = e.isConnected = true;
        e.ownClientID = 10;
        e.ownChannelID = 5;
        plugin.setEntry(3, e);
    }
    void drainAndCheck()
    {
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fds[1], buf, sizeof buf)) > 0) {
            pending.append(buf, size_t(n));
            size_t start = 0, cr;
            while ((cr = pending.find('\r', start)) != std::string::npos) {
                if (cr + 1 - start > rdplugin::kReplyLimit) {
                    std::fprintf(stderr, "line of %zu bytes\n", cr + 1 - start);
                    std::abort();
                }
                start = cr + 1;
            }
            pending.erase(0, start);
            if (pending.size() > rdplugin::kReplyLimit)
                std::abort();
        }
    }
    std::string pending;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness h;
    h.resetModel();
    rdlink::LineAssembler assembler(511);
    assembler.feed(std::string_view(reinterpret_cast<const char*>(data), size), [&](std::string_view line) {
        rdlink::SplitLine split = rdlink::splitLine(line);
        if (split.hasBlank)
            h.plugin.ProcessRecvCommand(split.command, split.params);
        h.drainAndCheck();
    });
    h.drainAndCheck();
    return 0;
}
