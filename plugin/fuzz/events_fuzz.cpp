// libFuzzer target: random sequences of the client's event callbacks on random server
// connections (a gateway, an ordinary connection, an unknown one), with random texts,
// interleaved with passes of the status thread, over the recording fake client.
// Each event is one op byte, then small argument bytes, then texts (one length byte each).
// Checks: no crash or sanitizer report, every line the plugin writes is complete and no
// longer than the reply limit, and every block the client handed out is freed again.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../tests/fake_client.h"
#include "plugin/line_builder.h"
#include "plugin/link_plugin.h"

namespace {

class Input {
public:
    Input(const uint8_t* d, size_t n) : m_d(d), m_n(n) {}
    bool done() const { return m_pos >= m_n; }
    uint8_t byte() { return m_pos < m_n ? m_d[m_pos++] : 0; }
    std::string text()
    {
        size_t len = byte();
        if (len > m_n - m_pos)
            len = m_n - m_pos;
        std::string s(reinterpret_cast<const char*>(m_d + m_pos), len);
        m_pos += len;
        return s;
    }

private:
    const uint8_t* m_d;
    size_t m_n;
    size_t m_pos = 0;
};

struct Harness {
    rdplugin::LinkPlugin plugin;
    int fds[2] = {-1, -1};
    std::string pending;

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
        for (uint64 h : {3, 4}) {
            m.addChannel(h, 5, "Lobby");
            m.addChannel(h, 6, "Main / ^s|x", 5);
            m.addClient(h, 10, "Gate", 5);
            m.addClient(h, 20, std::string(300, 'n'), 5, 1);
            m.addClient(h, 30, "Other|^", 6);
            m.handler(h).ownClient = 10;
            m.handler(h).status = STATUS_CONNECTION_ESTABLISHED;
        }
        m.handler(3).clients[20].uid = std::string(200, '+');
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
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness h;
    h.resetModel();
    Input in(data, size);
    static const uint64 kHandlers[] = {3, 4, 9, 0};
    static const anyID kClients[] = {10, 20, 30, 77};
    while (!in.done()) {
        const uint8_t op = in.byte();
        const uint8_t a = in.byte();
        const uint64 sch = kHandlers[a & 3];
        const anyID client = kClients[(a >> 2) & 3];
        const uint64 ch1 = 4 + ((a >> 4) & 3), ch2 = 4 + ((a >> 6) & 3);
        switch (op % 17) {
        case 0:
            h.plugin.onConnectStatusChange(sch, in.byte() % 6, in.byte());
            break;
        case 1:
            h.plugin.onClientMove(sch, client, ch1, ch2, in.byte() % 3, in.text().c_str());
            break;
        case 2: {
            const std::string name = in.text(), uid = in.text(), msg = in.text();
            h.plugin.onClientMoveMoved(sch, client, ch1, ch2, a % 3, kClients[in.byte() & 3], name.c_str(), uid.c_str(),
                                       msg.c_str());
            break;
        }
        case 3:
            h.plugin.onTalkStatusChange(sch, in.byte() % 3, in.byte() & 1, client);
            break;
        case 4: {
            const std::string name = in.text(), uid = in.text(), msg = in.text();
            h.plugin.onTextMessage(sch, 1 + (in.byte() % 3), 10, client, name.c_str(), uid.c_str(), msg.c_str(), 0);
            break;
        }
        case 5: {
            const std::string name = in.text(), uid = in.text(), msg = in.text();
            h.plugin.onClientPoke(sch, client, name.c_str(), uid.c_str(), msg.c_str(), 0);
            break;
        }
        case 6: {
            const std::string o = in.text(), n = in.text();
            h.plugin.onClientSelfVariableUpdate(sch, in.byte() % 64, o.c_str(), n.c_str());
            break;
        }
        case 7: {
            const std::string msg = in.text(), rc = in.text(), extra = in.text();
            h.plugin.onServerError(sch, msg.c_str(), in.byte() | unsigned(in.byte()) << 8, rc.c_str(), extra.c_str());
            break;
        }
        case 8: {
            const std::string msg = in.text(), rc = in.text();
            h.plugin.onServerPermissionError(sch, msg.c_str(), in.byte() | unsigned(in.byte()) << 8, rc.c_str(),
                                             in.byte());
            break;
        }
        case 9: {
            const std::string name = in.byte() & 1 ? std::string("fuzz") : in.text();
            const std::string cmd = in.text();
            h.plugin.onPluginCommand(sch, name.c_str(), cmd.c_str());
            break;
        }
        case 10:
            h.plugin.onChannelPermList(sch, ch1, in.byte(), int8_t(in.byte()), in.byte() & 1, in.byte() & 1);
            break;
        case 11:
            h.plugin.onClientPermList(sch, in.byte(), in.byte(), int8_t(in.byte()), in.byte() & 1, in.byte() & 1);
            break;
        case 12:
            h.plugin.onClientDBIDfromUID(sch, in.text().c_str(), in.byte());
            break;
        case 13:
            h.plugin.onMenuItem(sch, PluginMenuType(in.byte() % 3), in.byte() % 8, in.byte());
            break;
        case 14:
            h.plugin.statusPass();
            break;
        case 15: {
            const std::string cmd = in.text();
            h.plugin.processCommand(sch, cmd.c_str());
            break;
        }
        default: {
            // The model changes under the plugin: a client leaves or a connection ends.
            auto& m = fake::model();
            if (a & 1)
                m.handler(sch).clients.erase(client);
            else
                m.handler(sch).status = in.byte() % 5;
            break;
        }
        }
        h.drainAndCheck();
    }
    if (fake::model().outstanding != 0) {
        std::fprintf(stderr, "%ld client blocks not freed\n", fake::model().outstanding);
        std::abort();
    }
    return 0;
}
