// Speed of the two hot paths: a client event to bytes on the session socket, and a
// command line to the client call. Lines per second are the items per second.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "../tests/fake_client.h"
#include "plugin/link_plugin.h"

namespace {

struct Setup {
    rdplugin::LinkPlugin plugin;
    int fds[2] = {-1, -1};
    Setup()
    {
        fake::model().reset();
        auto& m = fake::model();
        m.addChannel(3, 5, "Lobby");
        m.addClient(3, 10, "Gate", 5);
        for (anyID id = 20; id < 28; ++id)
            m.addClient(3, id, "User " + std::to_string(id), 5, id % 2);
        m.handler(3).ownClient = 10;
        m.handler(3).status = STATUS_CONNECTION_ESTABLISHED;
        plugin.setFunctionPointers(fake::table());
        plugin.registerPluginID("bench");
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
        plugin.adoptSession(fds[0]);
        rdplugin::TS3StatusData e;
        e.isGateway = e.isConnected = true;
        e.ownClientID = 10;
        e.ownChannelID = 5;
        plugin.setEntry(3, e);
    }
    ~Setup()
    {
        plugin.adoptSession(-1);
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void drain()
    {
        char buf[65536];
        while (::read(fds[1], buf, sizeof buf) > 0) {
        }
        fake::model().calls.clear();
    }
};

void BM_TalkEventToSocket(benchmark::State& state)
{
    Setup s;
    int i = 0;
    for (auto _ : state) {
        s.plugin.onTalkStatusChange(3, (i++ & 1) ? STATUS_TALKING : STATUS_NOT_TALKING, 0, 21);
        if ((i & 63) == 0)
            s.drain();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TalkEventToSocket);

void BM_TextMessageToSocket(benchmark::State& state)
{
    Setup s;
    int i = 0;
    for (auto _ : state) {
        s.plugin.onTextMessage(3, TextMessageTarget_CLIENT, 10, 21, "User 21", "uid21+/=", "#vol 5 up now please", 0);
        if ((++i & 63) == 0)
            s.drain();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextMessageToSocket);

void BM_SetPttCommandToClientCall(benchmark::State& state)
{
    Setup s;
    int i = 0;
    for (auto _ : state) {
        s.plugin.ProcessRecvCommand("SETPTT", (i & 1) ? "scHandler=3 status=1" : "scHandler=3 status=0");
        if ((++i & 63) == 0)
            s.drain();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetPttCommandToClientCall);

void BM_PingCommandToReply(benchmark::State& state)
{
    Setup s;
    int i = 0;
    for (auto _ : state) {
        s.plugin.ProcessRecvCommand("PING", "timestamp=1700000000123 err=0");
        if ((++i & 63) == 0)
            s.drain();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PingCommandToReply);

} // namespace
