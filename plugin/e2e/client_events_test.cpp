// What happens in the substitute client reaches Relaydeck as event lines: each change of
// the simulated world, the lines it produced (bytes), the calls the plugin made from the
// client's event thread and what the callbacks returned to the client.
#include <algorithm>
#include <functional>

#include "plugin/e2e/link_session.h"

namespace {

using clientsim::u64;
using V = std::vector<std::string>;

const std::string kRc = "createReturnCode(\"Relaydeck_Link\", <out>, 128)";

struct Step {
    const char* name;
    std::function<void()> action;
    V events;
    V results; // "callback = value" of the int callbacks
};

class ClientEvents : public e2e::LinkSession {
protected:
    void buildWorld() override
    {
        LinkSession::buildWorld();
        clientsim::UserSpec alice;
        alice.id = 7;
        alice.nickname = "Alice";
        alice.uid = "alice-uid=";
        alice.channel = 2;
        client.userJoin("S1", alice);
        client.userJoin("S1", 8, "Bob", 2);
        client.userJoin("S1", 9, "Carl", 3);
    }

    void SetUp() override
    {
        LinkSession::SetUp();
        if (HasFatalFailure())
            return;
        gw = openGateway("{G1}", "Gate");
        ASSERT_EQ(gw.h, 1u);
        ASSERT_EQ(gw.own, 1u);
        // A connection the user opened in the client, in Ops: not a gateway.
        human = client.connect("radio.example.org", "Human", "Main/Ops");
        ASSERT_TRUE(client.waitIdle());
        sentinel();
    }

    e2e::Outcome world(const std::function<void()>& action)
    {
        begin();
        action();
        return settle();
    }

    void check(const std::vector<Step>& steps)
    {
        for (const Step& s : steps) {
            SCOPED_TRACE(s.name);
            const e2e::Outcome o = world(s.action);
            EXPECT_EQ(o.events, s.events);
            // The "ok" answers to the plugin's own requests (unmute, subscribe) are hidden
            // as well; they are checked where a step expects them.
            V results;
            const bool errorsExpected = std::any_of(s.results.begin(), s.results.end(), [](const std::string& r) {
                return r.rfind("onServerError", 0) == 0;
            });
            for (const std::string& r : o.results)
                if (errorsExpected || r != "onServerErrorEvent = 1")
                    results.push_back(r);
            EXPECT_EQ(results, s.results);
            EXPECT_EQ(o.reply, "");
        }
    }

    Gateway gw;
    u64 human = 0;
};

TEST_F(ClientEvents, TalkingCountsSpeakersAndWhispersMute)
{
    auto rx = [](int speakers, int users, int status, int id, const std::string& uid) {
        return "RXVOICE scHandler=1 speakers=" + std::to_string(speakers) + " users=" + std::to_string(users) +
               " status=" + std::to_string(status) + " whisper=0 clientID=" + std::to_string(id) + " clientUID=" + uid +
               " \r"; // escaped: "=" is "^g"
    };
    check({
        {"first talker", [&] { client.userTalk("S1", 7, 1); }, {rx(1, 2, 1, 7, "alice-uid^g")}, {}},
        {"second talker while one talks", [&] { client.userTalk("S1", 8, 1); }, {rx(2, 2, 1, 8, "user8uid^g")}, {}},
        {"first stops", [&] { client.userTalk("S1", 7, 0); }, {rx(1, 2, 0, 7, "alice-uid^g")}, {}},
        {"second stops", [&] { client.userTalk("S1", 8, 0); }, {rx(0, 2, 0, 8, "user8uid^g")}, {}},
        {"talker in another channel is not heard", [&] { client.userTalk("S1", 9, 1); }, {}, {}},
        {"the gateway's own client talks",
         [&] { client.userTalk("S1", gw.own, 1); },
         {"TXVOICE scHandler=1 status=1 users=2 \r"},
         {}},
    });

    // A whisper to the gateway's client: no RXVOICE, the whisperer is muted.
    e2e::Outcome o = world([&] { client.userWhisper("S1", 9, gw.own, 1); });
    EXPECT_EQ(o.events, V{});
    EXPECT_EQ(o.eventCalls, (V{kRc, "requestMuteClients(1, [9], RC)"}));
    EXPECT_TRUE(client.model().isMuted(1, 9));
    // On a connection that is no gateway the whisperer is muted too.
    const clientsim::anyid humanId = client.model().ownClientId(human);
    o = world([&] { client.userWhisper("S1", 8, humanId, 1); });
    EXPECT_EQ(o.eventCalls, (V{kRc, "requestMuteClients(" + std::to_string(human) + ", [8], RC)"}));
    EXPECT_TRUE(client.model().isMuted(human, 8));

    // The whisperer enters the gateway's quiet channel: everybody there is unmuted again.
    o = world([&] { client.userMove("S1", 9, 2); });
    EXPECT_EQ(o.events, V{"USERIN scHandler=1 userID=9 fromCH=3 toCH=2 visible=0 inputOFF=0 outputOFF=0 users=3 "
                          "nickname=Carl moveMSG= \r"});
    EXPECT_EQ(o.eventCalls.back(), "requestUnmuteClients(1, [1,7,8,9], RC)");
    EXPECT_FALSE(client.model().isMuted(1, 9));
}

TEST_F(ClientEvents, MovesOfOthersAndOfTheOwnClient)
{
    clientsim::UserSpec dora;
    dora.id = 10;
    dora.nickname = "Dora Dee";
    dora.channel = 2;
    dora.inputMuted = true;
    check({
        {"joins the own channel",
         [&] { client.userJoin("S1", dora); },
         {"USERIN scHandler=1 userID=10 fromCH=0 toCH=2 visible=0 inputOFF=1 outputOFF=0 users=3 nickname=Dora^sDee "
          "moveMSG= \r"},
         {}},
        {"moves to another channel",
         [&] { client.userMove("S1", 10, 3); },
         {"USEROUT scHandler=1 userID=10 fromCH=2 toCH=3 visible=2 users=2 nickname=Dora^sDee moveMSG= \r"},
         {}},
        // Leaving the server: the quit message stands in for the name.
        {"leaves the server",
         [&] { client.userLeave("S1", 8, "Bye all"); },
         {"USEROUT scHandler=1 userID=8 fromCH=2 toCH=0 visible=2 users=1 nickname=Bye^sall moveMSG=Bye^sall \r"},
         {}},
        {"moves elsewhere outside the own channel", [&] { client.userMove("S1", 10, 1); }, {}, {}},
        {"the own client is moved by another",
         [&] { client.userMove("S1", gw.own, 3, 7, "go there"); },
         {"MOVED scHandler=1 fromCH=2 toCH=3 visible=1 users=2 moverID=7 moverUID=alice-uid= moverName=Alice "
          "moveMSG=go^sthere channelName=Ops \r"},
         {}},
    });
    // The move updated the gateway's channel: back goes to where it was moved from.
    const e2e::Outcome o = run("BACKTOCHAN scHandler=1 chanPWD=");
    EXPECT_EQ(o.calls, (V{kRc, "requestClientMove(1, 1, 2, \"\", RC)"}));
}

TEST_F(ClientEvents, TextMessagesAndPokes)
{
    auto priv = [&](const std::string& text, int ignored = 0) {
        return [this, text, ignored] { client.userText("S1", 7, 1, gw.own, text, ignored); };
    };
    const std::string alice = "scHandler=1 fromID=7 fromUID=alice-uid= ";
    check({
        {"three bytes after # are a message",
         priv("#ab"),
         {"PRIVMSG " + alice + "fromName=Alice message=#ab \r"},
         {"onTextMessageEvent = 1"}},
        {"four bytes after # are a remote command",
         priv("#abcd"),
         {"REMOTE " + alice + "fromNick=Alice fromCHAN=2 cmd=abcd \r"},
         {"onTextMessageEvent = 1"}},
        {"words of a remote command",
         priv("#vol 5 up now please"),
         {"REMOTE " + alice + "fromNick=Alice fromCHAN=2 cmd=vol pp1=5 pp2=up pp3=now pp4=please \r"},
         {"onTextMessageEvent = 1"}},
        {"empty words keep their place",
         priv("#cmd  a b c d"),
         {"REMOTE " + alice + "fromNick=Alice fromCHAN=2 cmd=cmd pp2=a pp3=b pp4=c^sd \r"},
         {"onTextMessageEvent = 1"}},
        {"ignored by the client", priv("#abcd", 1), {}, {"onTextMessageEvent = 0"}},
        {"channel message is hidden, not forwarded",
         [&] { client.userText("S1", 8, 2, 0, "Hello channel"); },
         {},
         {"onTextMessageEvent = 1"}},
        {"poke",
         [&] { client.userPoke("S1", 7, gw.own, "Wake up"); },
         {"POKEMSG " + alice + "fromName=Alice message=Wake^sup \r"},
         {"onClientPokeEvent = 1"}},
        {"ignored poke", [&] { client.userPoke("S1", 7, gw.own, "Wake up", 1); }, {}, {"onClientPokeEvent = 0"}},
    });

    // A remote command from a client the gateway does not see (another channel): the
    // plugin subscribes for a moment to learn the sender's channel.
    const e2e::Outcome o = world([&] { client.userText("S1", 9, 1, gw.own, "#help me"); });
    EXPECT_EQ(o.events, V{"REMOTE scHandler=1 fromID=9 fromUID=user9uid= fromNick=Carl fromCHAN=3 cmd=help pp1=me \r"});
    EXPECT_EQ(o.eventCalls, (V{kRc, "requestChannelSubscribeAll(1, RC)", "getChannelOfClient(1, 9, <out>)", kRc,
                               "requestChannelUnsubscribeAll(1, RC)"}));
}

TEST_F(ClientEvents, ErrorsSelfVariablesAndPluginCommands)
{
    check({
        {"server error",
         [&] { client.serverError(1, 0x0300, "invalid channel", "rc-1", "no such channel"); },
         {"ERRORMSG scHandler=1 error=768 errorMSG=invalid^schannel returnCode=rc-1 extraMSG=no^ssuch^schannel \r"},
         {"onServerErrorEvent = 1"}},
        {"error 0 is hidden without a line",
         [&] { client.serverError(1, 0, "ok", "rc-2"); },
         {},
         {"onServerErrorEvent = 1"}},
        {"permission error",
         [&] { client.permissionError(1, 0x0a08, "insufficient client permissions", "rc-3", 42); },
         {"PERMERROR scHandler=1 error=2568 errorMSG=insufficient^sclient^spermissions returnCode=rc-3 permID=42 \r"},
         {"onServerPermissionErrorEvent = 1"}},
        {"own setting changed",
         [&] { client.selfVariableChange(1, 38, "1"); },
         {"SELFVAR scHandler=1 flag=38 oldValue=0 newValue=1 \r"},
         {}},
        {"talking flag is not reported", [&] { client.fireSelfVariable(1, 4, "0", "1"); }, {}, {}},
        // Items of 3 characters or fewer are dropped, the rest forwarded as received.
        {"plugin command of another gateway",
         [&] { client.userPluginCommand("S1", 7, "GATE_PONG fromID=7 timestamp=1700000000 a=1 ab=2 long=x^sy"); },
         {"PLUGINCMD scHandler=1 cmd=GATE_PONG fromID=7 timestamp=1700000000 ab=2 long=x^sy \r"},
         {}},
        {"plugin command with our own fromID",
         [&] { client.userPluginCommand("S1", 7, "GATE_PING fromID=1 timestamp=5"); },
         {},
         {}},
    });
}

TEST_F(ClientEvents, MenuItemsAndAnUnreadableServerName)
{
    check({
        {"move in channel",
         [&] { client.menuItem(1, 1, 2, 3); },
         {"REMOTE scHandler=1 fromID=1 fromUID=own1uid^g fromNick=Gate fromCHAN=3 cmd=move\r"},
         {}},
        {"register client",
         [&] { client.menuItem(1, 2, 1, 7); },
         {"REMOTE scHandler=1 fromID=7 fromUID=alice-uid^g fromNick=Alice fromCHAN=2 cmd=register\r"},
         {}},
    });

    // Without a server name CONNECT leaves it out and SERVERINFO has no handler.
    client.failNext("getServerVariableAsString", ERROR_not_connected);
    send("GW_CONNECT type=gui gateUID={G3} host=radio.example.org nick=Gate3");
    const std::string got = waitFor("SERVERINFO");
    EXPECT_NE(got.find("CONNECT scHandler=3 status=4 error=0 myClID=3 myChID=2 channelName=Lobby myNickname=Gate3 \r"),
              std::string::npos)
        << got;
    EXPECT_NE(got.find("\rSERVERINFO myClID=3 myChID=2 channelName=Lobby myNickname=Gate3 \r"), std::string::npos)
        << got;
}

// Long values from the client are cut so that no line passes its limit and no caret code
// is split.
TEST_F(ClientEvents, LongValuesStayWithinTheLineLimits)
{
    std::string command = "GATE_INFO fromID=7";
    for (int i = 0; i < 19; ++i)
        command += " key" + std::to_string(i) + "=" + std::string(30, char('a' + i));
    std::string message = "#say";
    for (int i = 0; i < 500; ++i)
        message += " x";
    struct Case {
        const char* name;
        std::function<void()> action;
        std::string start;
        size_t limit;
    };
    for (const Case& c : std::vector<Case>{
             {"plugin command", [&] { client.userPluginCommand("S1", 7, command); },
              "PLUGINCMD scHandler=1 cmd=GATE_INFO fromID=7 key0=aaa", 255},
             {"remote command of many blanks", [&] { client.userText("S1", 7, 1, gw.own, message); },
              "REMOTE scHandler=1 fromID=7 fromUID=alice-uid= fromNick=Alice fromCHAN=2 cmd=say pp1=x pp2=x pp3=x "
              "pp4=x^sx",
              1023},
             {"private message", [&] { client.userText("S1", 7, 1, gw.own, std::string(1500, '|')); },
              "PRIVMSG scHandler=1 fromID=7 fromUID=alice-uid= fromName=Alice message=^p^p", 1023},
         }) {
        SCOPED_TRACE(c.name);
        const e2e::Outcome o = world(c.action);
        ASSERT_EQ(o.events.size(), 1u);
        const std::string& line = o.events[0];
        EXPECT_EQ(line.rfind(c.start, 0), 0u) << line;
        EXPECT_LE(line.size(), c.limit);
        EXPECT_GT(line.size(), c.limit - 8) << "cut far too early";
        EXPECT_EQ(line.back(), '\r');
        // No caret code split at the cut: an even number of carets before the end.
        const std::string body = line.substr(0, line.find_last_not_of(" \r") + 1);
        size_t carets = 0;
        for (size_t i = body.size(); i > 0 && body[i - 1] == '^'; --i)
            ++carets;
        EXPECT_EQ(carets % 2, 0u) << line;
    }
}

// A connection the user opened in the client gets no lines and the client keeps showing
// its messages, pokes and errors.
TEST_F(ClientEvents, NoLinesForAConnectionThatIsNoGateway)
{
    const clientsim::anyid id = client.model().ownClientId(human);
    ASSERT_NE(id, 0);
    check({
        {"talk", [&] { client.userTalk("S1", 9, 1); }, {}, {}},
        {"join", [&] { client.userJoin("S1", 11, "Eve", 3); }, {}, {}},
        {"leave", [&] { client.userLeave("S1", 11, "bye"); }, {}, {}},
        {"private", [&] { client.userText("S1", 9, 1, id, "#abcd"); }, {}, {"onTextMessageEvent = 0"}},
        {"poke", [&] { client.userPoke("S1", 9, id, "hello"); }, {}, {"onClientPokeEvent = 0"}},
        {"server error",
         [&] { client.serverError(human, 0x0300, "invalid channel", "rc"); },
         {},
         {"onServerErrorEvent = 0"}},
        {"permission error",
         [&] { client.permissionError(human, 0x0a08, "no", "rc", 1); },
         {},
         {"onServerPermissionErrorEvent = 0"}},
        {"own setting", [&] { client.selfVariableChange(human, 38, "1"); }, {}, {}},
        {"plugin command (only the gateway hears it)",
         [&] { client.userPluginCommand("S1", 9, "GATE_PING fromID=9 tag=1"); },
         {"PLUGINCMD scHandler=1 cmd=GATE_PING fromID=9 tag=1 \r"},
         {}},
        {"own client moved", [&] { client.userMove("S1", id, 1); }, {}, {}},
        {"dropped", [&] { client.dropConnection(human); }, {}, {}},
    });
}

} // namespace
