// The client's callbacks: the event lines, their filters and return values, and the
// table updates.
#include "plugin_fixture.h"

using V = std::vector<std::string>;

class Events : public PluginFixture {
protected:
    void SetUp() override
    {
        PluginFixture::SetUp();
        gateway(3, 10, 5);
        auto& m = fake::model();
        std::lock_guard<std::recursive_mutex> l(m.mutex);
        m.addChannel(3, 6, "Main", 0);
        m.addClient(3, 20, "Anna", 5, 0);
        m.addClient(3, 22, "Cleo Rx", 6, 0);
        m.clearCalls();
    }
    void talking(anyID id, int value)
    {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        fake::model().handler(3).clients[id].talking = value;
    }
    void moveClient(anyID id, uint64 channel)
    {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        fake::model().handler(3).clients[id].channel = channel;
    }
};

TEST_F(Events, ConnectionEstablishedAndLost)
{
    plugin->setEntry(3, [&] {
        auto e = *plugin->entry(3);
        e.ownClientID = 0;
        e.ownChannelID = 0;
        e.pingMisses = 4;
        return e;
    }());
    plugin->onConnectStatusChange(3, STATUS_CONNECTION_ESTABLISHED, 0);
    EXPECT_EQ(written(), "CONNECT scHandler=3 status=4 error=0 serverName=Radio^sNet myClID=10 myChID=5 "
                         "channelName=Lobby myNickname=Gate \r"
                         "SERVERINFO scHandler=3 connected=4 serverName=Radio^sNet myClID=10 myChID=5 "
                         "channelName=Lobby myNickname=Gate \r");
    EXPECT_EQ(fake::model().actions(),
              (V{"setPreProcessorConfigValue(3,vad,false)", "setPreProcessorConfigValue(3,denoise,false)",
                 "setPreProcessorConfigValue(3,agc,false)", "setPreProcessorConfigValue(3,echo_canceling,false)",
                 "setPreProcessorConfigValue(3,vad,false)", "setClientSelfVariableAsInt(3,10,1)",
                 "flushClientSelfUpdates(3,rc)", "requestChannelUnsubscribeAll(3,rc)",
                 "requestUnmuteClients(3,[10,20],rc)"}));
    auto e = *plugin->entry(3);
    EXPECT_EQ(e.ownClientID, 10);
    EXPECT_EQ(e.ownChannelID, 5u);
    EXPECT_EQ(e.users, 1);
    EXPECT_EQ(e.pingMisses, 0);

    plugin->onConnectStatusChange(3, STATUS_DISCONNECTED, 1793);
    EXPECT_EQ(written(), "CONNECT scHandler=3 status=0 error=1793 \r");
    e = *plugin->entry(3);
    EXPECT_FALSE(e.isConnected);
    EXPECT_EQ(e.ownClientID, 0);
    EXPECT_TRUE(e.isGateway);

    plugin->onConnectStatusChange(3, STATUS_CONNECTING, 0);
    EXPECT_EQ(written(), "");
}

TEST_F(Events, ServerNameUnreadableLeavesOutItsFieldsAndOtherHandlersOnlyFollow)
{
    {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        fake::model().handler(3).serverNameReadable = false;
        fake::model().addChannel(4, 8, "Other");
        fake::model().addClient(4, 30, "Me", 8);
        fake::model().handler(4).ownClient = 30;
    }
    plugin->onConnectStatusChange(3, STATUS_CONNECTION_ESTABLISHED, 0);
    EXPECT_EQ(written(), "CONNECT scHandler=3 status=4 error=0 myClID=10 myChID=5 channelName=Lobby myNickname=Gate \r"
                         "SERVERINFO myClID=10 myChID=5 channelName=Lobby myNickname=Gate \r");

    fake::model().clearCalls();
    plugin->onConnectStatusChange(4, STATUS_CONNECTION_ESTABLISHED, 0);
    EXPECT_EQ(written(), "");
    EXPECT_EQ(fake::model().actions(), V{});
    auto e = *plugin->entry(4);
    EXPECT_TRUE(e.isConnected);
    EXPECT_FALSE(e.isGateway);
    EXPECT_EQ(e.ownChannelID, 8u);
    plugin->onClientMove(4, 30, 8, 9, RETAIN_VISIBILITY, "");
    EXPECT_EQ(plugin->entry(4)->ownChannelID, 9u);
    // A handler of 200 or more has no entry: it is treated as no gateway.
    plugin->onConnectStatusChange(250, STATUS_CONNECTION_ESTABLISHED, 0);
    plugin->onTalkStatusChange(250, STATUS_TALKING, 0, 20);
    EXPECT_EQ(written(), "");
    EXPECT_FALSE(plugin->entry(250).has_value());
}

TEST_F(Events, Moves)
{
    // Another client joins the own channel while nobody talks: the channel is unmuted.
    moveClient(22, 5);
    plugin->onClientMove(3, 22, 6, 5, RETAIN_VISIBILITY, "");
    EXPECT_EQ(written(), "USERIN scHandler=3 userID=22 fromCH=6 toCH=5 visible=1 inputOFF=0 outputOFF=0 users=2 "
                         "nickname=Cleo^sRx moveMSG= \r");
    EXPECT_EQ(fake::model().actions(), V{"requestUnmuteClients(3,[10,20,22],rc)"});

    // It leaves the server.
    moveClient(22, 0);
    fake::model().clearCalls();
    plugin->onClientMove(3, 22, 5, 0, LEAVE_VISIBILITY, "Bye all");
    EXPECT_EQ(written(), "USEROUT scHandler=3 userID=22 fromCH=5 toCH=0 visible=2 users=1 nickname=Bye^sall "
                         "moveMSG=Bye^sall \r");
    EXPECT_EQ(fake::model().actions(), V{});

    // The own client is moved by someone else, then moves back itself.
    moveClient(10, 6);
    plugin->onClientMoveMoved(3, 10, 5, 6, RETAIN_VISIBILITY, 20, "Anna", "uid20+/=", "go");
    EXPECT_EQ(written(), "MOVED scHandler=3 fromCH=5 toCH=6 visible=1 users=0 moverID=20 moverUID=uid20+/= "
                         "moverName=Anna moveMSG=go channelName=Main \r");
    auto e = *plugin->entry(3);
    EXPECT_EQ(e.ownChannelID, 6u);
    EXPECT_EQ(e.prevChannelID, 5u);
    moveClient(10, 5);
    plugin->onClientMove(3, 10, 6, 5, RETAIN_VISIBILITY, "");
    EXPECT_EQ(written(), "MOVED scHandler=3 fromCH=6 toCH=5 visible=1 users=1 moverID=0 moverUID=0 moverName=0 "
                         "moveMSG= channelName=Lobby \r");

    // Moves elsewhere on the server say nothing.
    plugin->onClientMove(3, 22, 7, 8, ENTER_VISIBILITY, "");
    EXPECT_EQ(written(), "");
}

TEST_F(Events, TalkStatusCountsSpeakers)
{
    {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        fake::model().addClient(3, 21, "Bert", 5, 1); // already talking
    }
    talking(20, 1);
    plugin->onTalkStatusChange(3, STATUS_TALKING, 0, 20);
    EXPECT_EQ(written(),
              "RXVOICE scHandler=3 speakers=2 users=2 status=1 whisper=0 clientID=20 clientUID=uid20+^c^g \r");
    talking(20, 0);
    plugin->onTalkStatusChange(3, STATUS_NOT_TALKING, 0, 20);
    EXPECT_EQ(written(),
              "RXVOICE scHandler=3 speakers=1 users=2 status=0 whisper=0 clientID=20 clientUID=uid20+^c^g \r");

    plugin->onTalkStatusChange(3, STATUS_TALKING, 0, 10);
    EXPECT_EQ(written(), "TXVOICE scHandler=3 status=1 users=2 \r");

    // A whisper: no line, the whisperer is muted, on gateway and other handlers alike.
    fake::model().clearCalls();
    plugin->onTalkStatusChange(3, STATUS_TALKING, 1, 22);
    plugin->onTalkStatusChange(4, STATUS_TALKING, 1, 22);
    plugin->onTalkStatusChange(4, STATUS_TALKING, 0, 22);
    EXPECT_EQ(written(), "");
    EXPECT_EQ(fake::model().actions(), (V{"requestMuteClients(3,[22],rc)", "requestMuteClients(4,[22],rc)"}));
}

TEST_F(Events, TextMessages)
{
    struct Case {
        anyID mode, to, from;
        const char* text;
        int ff;
        int result;
        std::string line;
    } cases[] = {
        {1, 10, 20, "#ab", 0, 1, "PRIVMSG scHandler=3 fromID=20 fromUID=uid20+/= fromName=Anna message=#ab \r"},
        {1, 10, 20, "#abcd", 0, 1,
         "REMOTE scHandler=3 fromID=20 fromUID=uid20+/= fromNick=Anna fromCHAN=5 cmd=abcd \r"},
        {1, 10, 20, "#vol 5 up now please", 0, 1,
         "REMOTE scHandler=3 fromID=20 fromUID=uid20+/= fromNick=Anna fromCHAN=5 cmd=vol pp1=5 pp2=up pp3=now "
         "pp4=please \r"},
        {1, 10, 20, "#cmd  b c d e f", 0, 1,
         "REMOTE scHandler=3 fromID=20 fromUID=uid20+/= fromNick=Anna fromCHAN=5 cmd=cmd pp2=b pp3=c pp4=d^se^sf \r"},
        {2, 5, 20, "hello channel", 0, 1, ""},  // channel message: hidden, not forwarded
        {2, 10, 20, "channel id 10", 0, 1, ""}, // a channel whose id equals the own client id
        {1, 10, 10, "from myself", 0, 1, ""},
        {1, 10, 20, "ignored", 1, 0, ""},
    };
    for (const auto& c : cases) {
        fake::model().clearCalls();
        EXPECT_EQ(plugin->onTextMessage(3, c.mode, c.to, c.from, "Anna", "uid20+/=", c.text, c.ff), c.result) << c.text;
        EXPECT_EQ(written(), c.line) << c.text;
    }
    fake::model().clearCalls();
    plugin->onTextMessage(3, 1, 10, 20, "Anna", "uid20+/=", "#abcd", 0);
    EXPECT_EQ(fake::model().actions(), (V{"requestChannelSubscribeAll(3,rc)", "requestChannelUnsubscribeAll(3,rc)"}));
    written();
    EXPECT_EQ(plugin->onTextMessage(4, 1, 10, 20, "Anna", "uid", "#abcd", 0), 0);
    EXPECT_EQ(written(), "");
}

TEST_F(Events, PokesSelfVariablesAndErrors)
{
    EXPECT_EQ(plugin->onClientPoke(3, 20, "Anna", "uid20+/=", "Hi there", 0), 1);
    EXPECT_EQ(plugin->onClientPoke(3, 10, "Gate", "uid10", "self", 0), 1);
    EXPECT_EQ(plugin->onClientPoke(3, 20, "Anna", "uid20", "ignored", 1), 0);
    EXPECT_EQ(plugin->onClientPoke(4, 20, "Anna", "uid20", "other handler", 0), 0);
    EXPECT_EQ(written(), "POKEMSG scHandler=3 fromID=20 fromUID=uid20+/= fromName=Anna message=Hi^sthere \r");

    plugin->onClientSelfVariableUpdate(3, CLIENT_FLAG_TALKING, "0", "1");
    plugin->onClientSelfVariableUpdate(3, CLIENT_AWAY, "0", "1");
    plugin->onClientSelfVariableUpdate(4, CLIENT_AWAY, "0", "1");
    EXPECT_EQ(written(), "SELFVAR scHandler=3 flag=38 oldValue=0 newValue=1 \r");

    EXPECT_EQ(plugin->onServerError(3, "insufficient client permissions", 2568, "PLUGIN:rdtest:4", "need=75"), 1);
    EXPECT_EQ(plugin->onServerError(3, "ok", 0, "", nullptr), 1);
    EXPECT_EQ(plugin->onServerError(4, "other", 1, "", ""), 0);
    EXPECT_EQ(plugin->onServerPermissionError(3, "no talk power", 2568, nullptr, 133), 1);
    EXPECT_EQ(plugin->onServerPermissionError(3, nullptr, 2568, nullptr, 133), 0);
    EXPECT_EQ(written(), "ERRORMSG scHandler=3 error=2568 errorMSG=insufficient^sclient^spermissions "
                         "returnCode=PLUGIN:rdtest:4 extraMSG=need^g75 \r"
                         "PERMERROR scHandler=3 error=2568 errorMSG=no^stalk^spower returnCode= permID=133 \r");

    plugin->onChannelPermList(4, 5, 133, 75, 0, 1);
    plugin->onClientPermList(3, 4000000000ull + 7, 12, -1, 1, 0);
    EXPECT_EQ(written(), "CHPERM scHandler=4 chID=5 permID=133 permValue=75 permNega=0 permSkip=1 \r"
                         "CLIENTPERM scHandler=3 userDBID=-294967289 permID=12 permValue=-1 permNega=1 permSkip=0 \r");
}

TEST_F(Events, PluginCommandsFromOtherGateways)
{
    plugin->onPluginCommand(3, "relaydeck", "GATE_PING fromID=9 timestamp=1700000000");
    plugin->onPluginCommand(3, "relaydeck", "GATE_PING fromID=10 timestamp=1700000000"); // our own broadcast
    plugin->onPluginCommand(4, "relaydeck", "GATE_PING fromID=9 timestamp=1700000000");  // no gateway
    plugin->onPluginCommand(3, "relaydeck", "MSG fromID=9 a=1 text=x\rQUIT");
    EXPECT_EQ(written(), "PLUGINCMD scHandler=3 cmd=GATE_PING fromID=9 timestamp=1700000000 \r"
                         "PLUGINCMD scHandler=3 cmd=MSG fromID=9 text=x QUIT=QUIT \r");

    // A long command is cut to 255 bytes, line end included.
    plugin->onPluginCommand(3, "relaydeck", ("BIG fromID=9 data=" + std::string(400, 'z')).c_str());
    const std::string big = written();
    EXPECT_EQ(big.size(), 255u);
    EXPECT_EQ(big.substr(big.size() - 2), " \r");
}

TEST_F(Events, MenuSelections)
{
    plugin->onMenuItem(3, PLUGIN_MENU_TYPE_CHANNEL, rdplugin::kMenuMoveInChannel, 6);
    plugin->onMenuItem(3, PLUGIN_MENU_TYPE_CLIENT, rdplugin::kMenuRegisterClient, 20);
    plugin->onMenuItem(3, PLUGIN_MENU_TYPE_CLIENT, rdplugin::kMenuRegisterClient, 99); // unknown client
    plugin->onMenuItem(3, PLUGIN_MENU_TYPE_GLOBAL, 7, 0);
    EXPECT_EQ(written(), "REMOTE scHandler=3 fromID=10 fromUID=uid10+^c^g fromNick=Gate fromCHAN=6 cmd=move\r"
                         "REMOTE scHandler=3 fromID=20 fromUID=uid20+^c^g fromNick=Anna fromCHAN=5 cmd=register\r"
                         "REMOTE scHandler=3 fromID=99 cmd=register\r");
}

TEST_F(Events, LongValuesAreCutWithinTheEventLimitWithoutSplittingACode)
{
    // 600 blanks escape to 1200 bytes; the line stops at 1023 bytes on a whole code.
    const std::string longText(600, ' ');
    plugin->onClientPoke(3, 20, "Anna", "uid20", longText.c_str(), 0);
    const std::string line = written();
    ASSERT_EQ(line.substr(line.size() - 2), " \r");
    EXPECT_LE(line.size(), 1023u);
    EXPECT_GE(line.size(), 1021u);
    const std::string body = line.substr(line.find("message=") + 8);
    EXPECT_EQ(body.size() % 2, 0u) << "a caret code was split";
}
