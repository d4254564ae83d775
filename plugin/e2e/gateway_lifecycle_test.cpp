// A gateway's server connection from GW_CONNECT to the end of the Relaydeck session, the
// way a real client can deliver it: a server that answers before guiConnect returns,
// handler ids the plugin's table cannot hold, and a Relaydeck that stops reading.
#include "plugin/e2e/link_session.h"

namespace {

using clientsim::u64;

class GatewayLifecycle : public e2e::LinkSession {
protected:
    // The handler id of a "GW_CONNECT gateUID=... scHandler=N" reply, or 0.
    static u64 handlerOfReply(const std::string& bytes, const std::string& gateUID)
    {
        const std::string key = "GW_CONNECT gateUID=" + gateUID + " scHandler=";
        const size_t at = bytes.find(key);
        return at == std::string::npos ? 0 : std::stoull(bytes.substr(at + key.size()));
    }
};

// Every connection is announced once, after the reply that names its handler, and starts
// with the microphone path closed, whether the client reports status 4 long after
// guiConnect, right after it or before it returns.
TEST_F(GatewayLifecycle, EveryConnectionIsAnnouncedAfterItsReplyHoweverFastTheServer)
{
    struct Mode {
        const char* name;
        int delayMs;
        bool insideConnect;
    };
    for (const Mode& m : {Mode{"status 4 inside guiConnect", 0, true}, Mode{"no connect delay", 0, false},
                          Mode{"20 ms connect delay", 20, false}}) {
        SCOPED_TRACE(m.name);
        client.setConnectStepDelay(std::chrono::milliseconds(m.delayMs));
        client.setStatusInsideConnect(m.insideConnect);
        const int rounds = m.delayMs > 0 ? 3 : 25;
        for (int round = 0; round < rounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            const std::string uid = "{R" + std::to_string(round) + "}";
            send("GW_CONNECT type=gui gateUID=" + uid + " host=radio.example.org nick=Fast");
            std::string got = waitFor("GW_CONNECT", 3000);
            const u64 h = handlerOfReply(got, uid);
            ASSERT_NE(h, 0u) << got;
            const std::string hs = std::to_string(h);
            // Nothing about the new handler comes before the reply.
            EXPECT_EQ(got.find("scHandler=" + hs + " status="), std::string::npos) << got;
            got = waitFor("SERVERINFO scHandler=" + hs, 3000);
            ASSERT_NE(got.find("SERVERINFO scHandler=" + hs), std::string::npos) << got;
            EXPECT_NE(got.find("CONNECT scHandler=" + hs + " status=4 error=0 serverName=Radio^sNet "),
                      std::string::npos)
                << got;
            ASSERT_TRUE(client.waitIdle());
            EXPECT_EQ(client.model().selfVariable(h, 10).value_or("?"), "1");
            EXPECT_EQ(client.model().preProcessor(h, "vad").value_or("?"), "false");
            send("GW_STOP scHandler=" + hs + " gateUID=" + uid);
            got = waitFor("GW_STOP", 3000);
            // Announced once: no second CONNECT status=4 for the handler.
            EXPECT_EQ(got.find("CONNECT scHandler=" + hs + " status=4"), std::string::npos) << got;
            ASSERT_TRUE(client.waitIdle());
            pending.clear();
            sentinel();
        }
    }
}

// A handler id the table cannot hold: the connection is stopped and Relaydeck hears that
// it failed (it tries again), instead of a connection nobody watches.
TEST_F(GatewayLifecycle, HandlerBeyondTheTableIsStoppedAndRefused)
{
    const Gateway first = openGateway("{A}", "GateA"); // the first tab is taken
    ASSERT_EQ(first.h, 1u);
    const u64 id = 200; // the first id without an entry
    client.model().with([&](clientsim::State& s) { s.nextHandlerId = id; });
    const e2e::Outcome o = run("GW_CONNECT type=gui gateUID={B} host=radio.example.org nick=GateB");
    EXPECT_EQ(o.reply, "GW_ERROR gateUID={B} errorCode=1\r");
    ASSERT_FALSE(o.calls.empty());
    EXPECT_EQ(o.calls.back(), "stopConnection(" + std::to_string(id) + ", \"*** Relaydeck / QRT ***\")");
    for (const std::string& e : o.events) // nothing about the stopped connection itself
        EXPECT_EQ(e.find("scHandler=" + std::to_string(id) + " "), std::string::npos) << e;
    EXPECT_EQ(client.model().connectionStatus(id), 0);
    bool logged = false;
    for (const auto& l : client.model().log())
        logged = logged || l.message.find("handler " + std::to_string(id) + " is beyond") != std::string::npos;
    EXPECT_TRUE(logged);
    // The gateway that fits goes on as before.
    EXPECT_EQ(run("GW_PING scHandler=1 timestamp=5").reply, "GW_PONG scHandler=1 timestamp=5\r");
}

// A Relaydeck that keeps its socket open but stops reading holds no thread of the
// plugin: the session ends as if it had closed, the microphone path SETPTT opened is
// closed at once, the client's callbacks go on, and the next Relaydeck is greeted.
TEST_F(GatewayLifecycle, RelaydeckThatStopsReadingEndsItsSessionAndReleasesTheMicrophone)
{
    const Gateway g = openGateway("{A}", "GateA");
    run("SETPTT scHandler=" + g.hs + " status=1");
    ASSERT_EQ(client.model().selfVariable(g.h, 10).value_or("?"), "0");

    // Commands keep coming, their replies are never read.
    const std::string ping = "PING timestamp=" + std::string(480, 'x') + "\r";
    const auto start = std::chrono::steady_clock::now();
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        const ssize_t n = ::send(fd, ping.data(), ping.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EPIPE || errno == ECONNRESET))
            ended = true;
        else if (n < 0)
            ::poll(nullptr, 0, 5); // the plugin is not taking input (it should be)
    }
    ::close(fd); // unblocks a plugin stuck in a write, so a failure here ends cleanly
    fd = -1;
    ASSERT_TRUE(ended) << "the session did not end";

    ASSERT_TRUE(client.waitIdle());
    EXPECT_EQ(client.model().selfVariable(g.h, 10).value_or("?"), "1");
    bool logged = false;
    for (const auto& l : client.model().log())
        logged = logged || l.message.find("does not read") != std::string::npos;
    EXPECT_TRUE(logged);
    client.userJoin("S1", 9, "Bob", 2);
    EXPECT_TRUE(client.waitIdle(std::chrono::seconds(2)));

    fd = e2e::greetedConnection(port);
    ASSERT_GE(fd, 0);
    send("GW_PING scHandler=" + g.hs + " timestamp=7");
    EXPECT_NE(waitFor("GW_PONG").find("GW_PONG scHandler=" + g.hs + " timestamp=7\r"), std::string::npos);
}

// A session that Relaydeck closes, or that the connection's reset drops, ends the same
// way: the microphone path SETPTT opened is closed at once (input deactivated and flushed),
// while an input that voice activation opened stays open.
TEST_F(GatewayLifecycle, ClosedOrDroppedSessionReleasesTheMicrophoneSetPttOpened)
{
    const Gateway keyed = openGateway("{A}", "GateA");
    const Gateway vox = openGateway("{B}", "GateB");
    auto inputDeactivated = [&](const Gateway& g) { return client.model().selfVariable(g.h, 10).value_or("?"); };
    struct End {
        const char* name;
        bool reset; // SO_LINGER 0: the close sends RST instead of FIN
    };
    for (const End& end : {End{"closed", false}, End{"dropped", true}}) {
        SCOPED_TRACE(end.name);
        run("SETPTT scHandler=" + keyed.hs + " status=1");
        run("SETVOX scHandler=" + vox.hs + " status=1 level=-20");
        ASSERT_EQ(inputDeactivated(keyed), "0");
        ASSERT_EQ(inputDeactivated(vox), "0");

        if (end.reset) {
            const linger abort{1, 0};
            ASSERT_EQ(::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
        }
        ::close(fd);
        pending.clear();
        // The plugin greets a new connection only once the ended session is finished.
        fd = e2e::greetedConnection(port, 5000, &pending);
        ASSERT_GE(fd, 0) << "the session did not end";

        ASSERT_TRUE(client.waitIdle());
        EXPECT_EQ(inputDeactivated(keyed), "1");
        EXPECT_EQ(inputDeactivated(vox), "0");
        // The new session runs commands as before.
        send("GW_PING scHandler=" + keyed.hs + " timestamp=7");
        EXPECT_NE(waitFor("GW_PONG").find("GW_PONG scHandler=" + keyed.hs + " timestamp=7\r"), std::string::npos);
        sentinel();
    }
}

// A GW_CONNECT for a deep channel path is longer than 511 bytes; it connects as any other.
TEST_F(GatewayLifecycle, LongGatewayConnectWithADeepChannelPathConnects)
{
    std::string path;
    for (int level = 0; level < 19; ++level)
        path += (level ? "^c" : "") + std::string(40, char('a' + level));
    const Gateway g = openGateway("{DEEP}", "Deep", " channel=" + path + " SndIn=" + std::string(100, 'm'));
    ASSERT_NE(g.h, 0u);
    const std::string wanted = std::regex_replace(path, std::regex("\\^c"), "/");
    EXPECT_EQ(client.model().with([&](clientsim::State& s) { return s.handler(g.h)->channelPath; }), wanted);
}

} // namespace
