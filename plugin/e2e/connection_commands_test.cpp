// Opening, stopping and keeping alive gateway connections through the substitute client:
// for each command line the client calls of the session thread (names, arguments,
// order), the reply bytes and the event lines that follow.
#include <algorithm>

#include "plugin/e2e/link_session.h"

namespace {

using clientsim::u64;
using V = std::vector<std::string>;

struct Row {
    const char* name;
    std::string line;
    V calls;
    std::string reply;
    V events;
};

class ConnectionCommands : public e2e::LinkSession {
protected:
    void buildWorld() override
    {
        LinkSession::buildWorld();
        client.addChannel("S1", 4, "Caf\xC3\xA9", 1); // "Café" in UTF-8
        clientsim::Bookmark b;
        b.name = "Net Bookmark";
        b.uuid = "bm-1234";
        b.address = "radio.example.org";
        b.nickname = "Gate2";
        b.channel = "Main/Ops";
        client.addBookmark("", b);
        client.userJoin("S1", 7, "Alice", 2);
    }

    void check(const std::vector<Row>& rows)
    {
        for (const Row& r : rows) {
            SCOPED_TRACE(r.name);
            e2e::Outcome o = run(r.line);
            V events = r.events;
            if (r.line.rfind("GW_CONNECT", 0) == 0) {
                // A server as fast as guiConnect (no connect delay) is announced by the
                // command itself, right after its reply: the same steps then come from the
                // session thread, and the flush's SELFVAR may come first.
                if (o.calls.size() > r.calls.size())
                    o.calls.resize(r.calls.size());
                std::sort(o.events.begin(), o.events.end());
                std::sort(events.begin(), events.end());
            }
            EXPECT_EQ(o.calls, r.calls);
            EXPECT_EQ(o.reply, r.reply);
            EXPECT_EQ(o.events, events);
        }
    }
};

TEST_F(ConnectionCommands, OpenThroughGuiAndBookmarkThenStop)
{
    const std::string list = "getServerConnectionHandlerList(<out>)";
    const std::string freed = "freeMemory(<out>)";
    check({
        {"start only echoes", "GW_START gateUID={G1}", {}, "GW_START gateUID={G1} scHandler=0\r", {}},
        // The channel path arrives as 8-bit text ("Caf\xE9") and reaches the client as UTF-8;
        // the first disconnected tab (1) is asked for its server variables and then used.
        {"gui path",
         "GW_CONNECT type=gui gateUID={G1} host=radio.example.org nick=Gate^s1 SndIn=Mic SndOut=Spk ident=Id1 "
         "channel=Main/Caf\xE9 servPass=sp chanPass=cp bookUID=bm-1234",
         {list, freed, "getConnectionStatus(1, <out>)", "requestServerVariables(1)",
          "guiConnect(2, \"GATEWAY-TAB\", \"radio.example.org\", \"sp\", \"Gate 1\", \"Main/Caf\xC3\xA9\", \"cp\", "
          "\"Mic\", \"Spk\", \"\", \"\", \"Id1\", \"\", \"Relaydeck\", <out>)"},
         "GW_CONNECT gateUID={G1} scHandler=1\r",
         {"CONNECT scHandler=1 status=4 error=0 serverName=Radio^sNet myClID=1 myChID=4 channelName=Caf\xC3\xA9 "
          "myNickname=Gate^s1 \r",
          "SERVERINFO scHandler=1 connected=4 serverName=Radio^sNet myClID=1 myChID=4 channelName=Caf\xC3\xA9 "
          "myNickname=Gate^s1 \r",
          // the connection starts with the microphone path closed
          "SELFVAR scHandler=1 flag=10 oldValue=0 newValue=1 \r"}},
        {"bookmark path (no disconnected tab left)",
         "GW_CONNECT type=bookmark gateUID={G2} bookUID=bm-1234",
         {list, freed, "getConnectionStatus(1, <out>)", "guiConnectBookmark(2, \"bm-1234\", <out>)"},
         "GW_CONNECT gateUID={G2} scHandler=2\r",
         {"CONNECT scHandler=2 status=4 error=0 serverName=Radio^sNet myClID=2 myChID=3 channelName=Ops "
          "myNickname=Gate2 \r",
          "SERVERINFO scHandler=2 connected=4 serverName=Radio^sNet myClID=2 myChID=3 channelName=Ops "
          "myNickname=Gate2 \r",
          "SELFVAR scHandler=2 flag=10 oldValue=0 newValue=1 \r"}},
        {"bookmark uid of 3 bytes connects with the other values",
         "GW_CONNECT type=bookmark gateUID={G3} bookUID=abc host=radio.example.org nick=Gate3",
         {list, freed, "getConnectionStatus(1, <out>)", "getConnectionStatus(2, <out>)",
          "guiConnect(2, \"GATEWAY-TAB\", \"radio.example.org\", \"\", \"Gate3\", \"\", \"\", \"\", \"\", \"\", \"\", "
          "\"\", \"\", \"Relaydeck\", <out>)"},
         "GW_CONNECT gateUID={G3} scHandler=3\r",
         {"CONNECT scHandler=3 status=4 error=0 serverName=Radio^sNet myClID=3 myChID=2 channelName=Lobby "
          "myNickname=Gate3 \r",
          "SERVERINFO scHandler=3 connected=4 serverName=Radio^sNet myClID=3 myChID=2 channelName=Lobby "
          "myNickname=Gate3 \r",
          "SELFVAR scHandler=3 flag=10 oldValue=0 newValue=1 \r"}},
        {"refused by the client",
         "GW_CONNECT type=gui gateUID={G4} nick=NoHost",
         {list, freed, "getConnectionStatus(1, <out>)", "getConnectionStatus(2, <out>)",
          "getConnectionStatus(3, <out>)",
          "guiConnect(2, \"GATEWAY-TAB\", \"\", \"\", \"NoHost\", \"\", \"\", \"\", \"\", \"\", \"\", \"\", \"\", "
          "\"Relaydeck\", <out>)"},
         "GW_ERROR gateUID={G4} errorCode=1\r",
         {}},
    });
    EXPECT_EQ(client.model().with([](clientsim::State& s) { return s.handler(1)->channelPath; }), "Main/Caf\xC3\xA9");

    // The server drops gateway 3; stopping it afterwards still clears it and answers.
    begin();
    client.dropConnection(3);
    EXPECT_EQ(settle().events, V{"CONNECT scHandler=3 status=0 error=1793 \r"});
    check({
        {"stop on a dead connection",
         "GW_STOP scHandler=3 gateUID={G3}",
         {"getConnectionStatus(3, <out>)"},
         "GW_STOP gateUID={G3} scHandler=-1\r",
         {}},
        {"stop a live connection",
         "GW_STOP scHandler=2 gateUID=Gate^s2",
         {"getConnectionStatus(2, <out>)", "stopConnection(2, \"*** Relaydeck / QRT ***\")"},
         "GW_STOP gateUID=Gate^s2 scHandler=-1\r",
         {}},
        {"stopped handler is no gateway any more", "SETPTT scHandler=2 status=1", {}, "", {}},
        {"stop without gateUID", "GW_STOP scHandler=1 gateUID=", {}, "", {}},
        {"stop of an unknown handler", "GW_STOP scHandler=77 gateUID={X}", {"getConnectionStatus(77, <out>)"}, "", {}},
        {"stop of handler 0", "GW_STOP scHandler=0 gateUID={X}", {}, "", {}},
    });
    EXPECT_EQ(client.model().connectionStatus(2), 0);
    EXPECT_EQ(client.model().connectionStatus(1), 4);
}

TEST_F(ConnectionCommands, KeepAliveReachesTheOtherGatewaysOnTheServer)
{
    const Gateway a = openGateway("{A}", "GateA");
    const Gateway b = openGateway("{B}", "GateB");
    const Gateway c = openGateway("{C}", "GateC");
    ASSERT_EQ(a.h, 1u);
    ASSERT_EQ(b.h, 2u);

    check({
        {"gateway ping echoes",
         "GW_PING scHandler=1 timestamp=1700000000123",
         {},
         "GW_PONG scHandler=1 timestamp=1700000000123\r",
         {}},
        {"gateway ping without handler", "GW_PING scHandler=0 timestamp=1", {}, "", {}},
    });

    // GW_PQNG: GATE_PING to every client of the server running this plugin; the sender's
    // own copy (its own fromID) is not forwarded, the other gateways get PLUGINCMD.
    const auto before = std::chrono::system_clock::now();
    e2e::Outcome o = run("GW_PQNG scHandler=1");
    const long long now = std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch()).count();
    ASSERT_EQ(o.calls.size(), 3u);
    EXPECT_EQ(o.calls[0], "createReturnCode(\"Relaydeck_Link\", <out>, 128)"); // fresh, just before the request
    const std::string prefix =
        "sendPluginCommand(1, \"Relaydeck_Link\", \"GATE_PING fromID=" + std::to_string(a.own) + " timestamp=";
    ASSERT_EQ(o.calls[1].rfind(prefix, 0), 0u) << o.calls[1];
    const std::string stamp = o.calls[1].substr(prefix.size(), o.calls[1].find('"', prefix.size()) - prefix.size());
    EXPECT_LE(std::llabs(std::stoll(stamp) - now), 2) << stamp;
    EXPECT_EQ(o.calls[1].substr(prefix.size() + stamp.size()), "\", 1, NULL, RC)");
    EXPECT_EQ(o.calls[2], "getConnectionStatus(1, <out>)");
    EXPECT_EQ(o.reply, "");
    const std::string body = " cmd=GATE_PING fromID=" + std::to_string(a.own) + " timestamp=" + stamp + " \r";
    EXPECT_EQ(o.events, (V{"PLUGINCMD scHandler=2" + body, "PLUGINCMD scHandler=" + c.hs + body}));

    // A connection the client no longer has: the link is told to reset it.
    begin();
    client.dropConnection(b.h);
    // The other gateways in the channel see the client leave the server (no quit message).
    EXPECT_EQ(settle().events,
              (V{"CONNECT scHandler=2 status=0 error=1793 \r",
                 "USEROUT scHandler=1 userID=2 fromCH=2 toCH=0 visible=2 users=2 nickname= moveMSG= \r",
                 "USEROUT scHandler=3 userID=2 fromCH=2 toCH=0 visible=2 users=2 nickname= moveMSG= \r"}));
    o = run("GW_PQNG scHandler=2");
    EXPECT_EQ(o.calls.back(), "getConnectionStatus(2, <out>)");
    EXPECT_EQ(o.events, V{"CONNECT scHandler=2 status=0 error=0\r"}) << o.reply;
    o = run("GW_PQNG scHandler=99");
    EXPECT_EQ(o.calls.back(), "getConnectionStatus(99, <out>)");
    EXPECT_EQ(o.events, V{"CONNECT scHandler=99 status=0 error=0 cmd=RESET_CONNECTION\r"}) << o.reply;
    o = run("GW_PQNG scHandler=0");
    EXPECT_EQ(o.calls, V{});
    EXPECT_EQ(o.events, V{});
}

// Each GATE_PING is answered to its sender alone: N gateways cost N*(N-1) answers per
// round, not N*(N-1)^2. An answer to a ping nobody forwarded still goes to everybody.
TEST_F(ConnectionCommands, GatePongGoesToThePingingGatewayOnly)
{
    const Gateway a = openGateway("{A}", "GateA");
    const Gateway b = openGateway("{B}", "GateB");
    openGateway("{C}", "GateC");
    e2e::Outcome o = run("GW_PQNG scHandler=" + a.hs);
    ASSERT_EQ(o.events.size(), 2u);
    const std::string key = "timestamp=";
    const size_t at = o.events[0].find(key) + key.size();
    const std::string stamp = o.events[0].substr(at, o.events[0].find(' ', at) - at);

    o = run("MSGTOGATES scHandler=" + b.hs + " cmd=GATE_PONG timestamp=" + stamp);
    const std::string pong = "GATE_PONG fromID=" + std::to_string(b.own) + " timestamp=" + stamp;
    ASSERT_FALSE(o.calls.empty());
    EXPECT_EQ(o.calls.back(), "sendPluginCommand(" + b.hs + ", \"Relaydeck_Link\", \"" + pong + "\", 2, [" +
                                  std::to_string(a.own) + "], RC)");
    EXPECT_EQ(o.events, V{"PLUGINCMD scHandler=" + a.hs + " cmd=GATE_PONG fromID=" + std::to_string(b.own) + " " + key +
                          stamp + " \r"});

    // The same answer again, or one to an unknown ping: to every client on the server.
    o = run("MSGTOGATES scHandler=" + b.hs + " cmd=GATE_PONG timestamp=" + stamp);
    EXPECT_EQ(o.calls.back(), "sendPluginCommand(" + b.hs + ", \"Relaydeck_Link\", \"" + pong + "\", 1, NULL, RC)");
    EXPECT_EQ(o.events.size(), 2u) << ::testing::PrintToString(o.events); // a and c
}

} // namespace
