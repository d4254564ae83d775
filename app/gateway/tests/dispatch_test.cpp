// The handling of lines the plugin session routes to a gateway.
#include "gatewayfixture.h"

#include <stdexcept>

TEST_F(GatewayTest, ConnectFourTwiceRunsTheOnConnectHandlingOnce)
{
    open();
    connect(3);
    link.take();
    const int logLines = int(engine->log().size());
    line("CONNECT", {"scHandler=3", "status=4"});
    line("SERVERINFO", {"scHandler=3", "connected=4"});
    EXPECT_TRUE(link.take().isEmpty());
    EXPECT_EQ(engine->log().size(), logLines);
}

TEST_F(GatewayTest, ResetConnectionWhileDisconnectedForgetsTheHandlerWithoutLogging)
{
    open();
    line("GW_CONNECT", {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=3"});
    ASSERT_EQ(engine->TS3_scHandlerID(), 3);
    const int logLines = int(engine->log().size());
    line("CONNECT", {"scHandler=3", "status=0", "error=0", "cmd=RESET_CONNECTION"});
    EXPECT_EQ(engine->TS3_scHandlerID(), 0);
    EXPECT_FALSE(engine->TS3_IstConnected());
    EXPECT_EQ(engine->log().size(), logLines);
    // The on-disconnect handling ran twice: once for the line, once through the reset.
    EXPECT_EQ(engine->hooks, (QStringList{QStringLiteral("GATE-OFFLINE"), QStringLiteral("GATE-OFFLINE")}));

    // A plain CONNECT 0 while disconnected does nothing.
    engine->hooks.clear();
    line("CONNECT", {"scHandler=0", "status=0"});
    EXPECT_TRUE(engine->hooks.isEmpty());
}

TEST_F(GatewayTest, LostConnectionKeepsTheHandlerSoTheSameConnectionCanComeBack)
{
    open();
    connect(3);
    line("CONNECT", {"scHandler=3", "status=1"});
    EXPECT_FALSE(engine->TS3_IstConnected());
    EXPECT_EQ(engine->TS3_scHandlerID(), 3);
    EXPECT_EQ(engine->log().last().text.section(QStringLiteral("> "), 1), QStringLiteral("Disconnected"));
    EXPECT_EQ(engine->display().connLabel.text, QStringLiteral("Not connected"));
    EXPECT_EQ(engine->display().serverField, QStringLiteral("No Server"));
    EXPECT_FALSE(engine->display().chcomButton.enabled);
    EXPECT_EQ(engine->display().chcomButton.glyph, 2);
    line("CONNECT", {"scHandler=3", "status=4"});
    EXPECT_TRUE(engine->TS3_IstConnected());
}

TEST_F(GatewayTest, MoveByAnotherUserIsUndoneWhenNotAllowed)
{
    open();
    connect(3);
    engine->ParseIncomingTS3Data(QStringLiteral("MOVED"), items({"scHandler=3", "channelName=Lobby"}));
    link.take();
    line("MOVED", {"scHandler=3", "moverID=17", "channelName=Elsewhere"});
    EXPECT_EQ(
        link.take(),
        (QStringList{
            QStringLiteral("BACKTOCHAN scHandler=3"),
            QStringLiteral("MSGTOUSER scHandler=3 userID=17 message=[b][color#FF0000]")
                    .replace(QStringLiteral("[color#"), QStringLiteral("[color^g#")) +
                QStringLiteral("Move^snot^sallowed,^splease^suse^sthe^sremote^scommand^s>>^s#MOVE^s[^ccolor][^cb]")}));
    EXPECT_EQ(engine->log().last().text.section(QStringLiteral("> "), 1), QStringLiteral("Move not allowed!!"));
    EXPECT_EQ(engine->log().last().color, GwColor::Red);
    EXPECT_EQ(engine->display().channelField, QStringLiteral("Lobby"));

    // Its own move (no mover) or one that is allowed is shown and takes the commander flag.
    line("SELFVAR", {"scHandler=3", "flag=57", "newValue=0"});
    line("MOVED", {"scHandler=3", "moverID=0", "channelName=Funk^s2"});
    EXPECT_EQ(engine->display().channelField, QStringLiteral("Funk 2"));
    EXPECT_EQ(engine->log().last().text.section(QStringLiteral("> "), 1), QStringLiteral("MOVED: Funk 2"));
    EXPECT_EQ(link.take(), QStringList{QStringLiteral("SETCHCOM scHandler=3 status=1")});
}

TEST_F(GatewayTest, LinesThatAreIgnoredOrDropped)
{
    open();
    connect(3);
    settings = engine->DATARRAY;
    link.take();
    engine->hooks.clear();
    const int logLines = int(engine->log().size());
    const struct {
        const char* name;
        const char* command;
        std::initializer_list<const char*> entries;
    } cases[] = {
        {"wave that could not play", "WAVEPLAYER", {"scHandler=3", "status=0", "len=0", "error=100"}},
        {"wave status 0 with a length", "WAVEPLAYER", {"scHandler=3", "status=0", "len=12"}},
        {"channel path not to be saved", "CHANNELPATH", {"scHandler=3", "path=Main^cLobby", "channelID=9", "save=0"}},
        {"another connection's talk", "RXVOICE", {"scHandler=4", "speakers=1", "status=1", "clientID=8"}},
        {"error that is not a number", "ERRORMSG", {"scHandler=3", "error=x1", "errorMSG=bad"}},
        {"error 0", "PERMERROR", {"scHandler=3", "error=0", "permID=5"}},
        {"unknown word", "TALK", {"scHandler=3", "status=1"}},
        {"word in lower case", "rxvoice", {"scHandler=3", "speakers=1", "status=1"}},
        {"reply for another gateway", "GW_CONNECT", {"gateUID={FFFFFFFF-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=9"}},
        {"handler that is not a number",
         "GW_CONNECT",
         {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=x"}},
        {"remote command from nobody", "REMOTE", {"scHandler=3", "fromID=0", "cmd=#help"}},
        {"channel info reply", "CHANNELS", {"scHandler=3", "type=info", "chID=4", "chName=Lobby"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        line(c.command, c.entries);
        EXPECT_TRUE(link.take().isEmpty());
        EXPECT_TRUE(engine->SPEAKERS.isEmpty());
        EXPECT_EQ(engine->TS3_scHandlerID(), 3);
        EXPECT_EQ(engine->log().size(), logLines);
        EXPECT_EQ(engine->DATARRAY, settings);
        EXPECT_TRUE(engine->hooks.isEmpty());
    }
}

TEST_F(GatewayTest, ChannelPathWithSaveStoresTheStartChannel)
{
    open();
    connect(3);
    line("CHANNELPATH", {"scHandler=3", "path=Main^cL\xc3\xb6\x62\x62y", "channelID=9", "save=1"});
    EXPECT_EQ(engine->DATARRAY.value(QStringLiteral("TS3-START-CHANNEL")), QString::fromUtf8("Main/L\xc3\xb6"
                                                                                             "bby"));
    const auto saved = LoadSettingsFile(gatewayFile());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->value(QStringLiteral("TS3-START-CHAN-ID")), QStringLiteral("9"));
    EXPECT_EQ(saved->value(QStringLiteral("TS3-START-CHANNEL")), QString::fromUtf8("Main/L\xc3\xb6"
                                                                                   "bby"));
}

TEST_F(GatewayTest, EventsShownAndHandedOn)
{
    open();
    connect(3);
    settings.setValue(QStringLiteral("HF-WAVE-USERIN"), QStringLiteral("True"));
    engine->WriteConfig([&] {
        SettingsList l = engine->DATARRAY;
        l.setValue(QStringLiteral("HF-WAVE-USERIN"), QStringLiteral("True"));
        return l;
    }());
    link.take();
    engine->hooks.clear();
    auto lastLog = [&] { return engine->log().last().text.section(QStringLiteral("> "), 1); };

    // Nicknames arrive as escaped UTF-8.
    engine->ParseIncomingTS3Data(QStringLiteral("SELFVAR"),
                                 SettingsList(QStringList{QStringLiteral("scHandler=3"), QStringLiteral("flag=1"),
                                                          QString::fromLatin1("newValue=J\xc3\xbcrgen^s1")}));
    EXPECT_EQ(engine->windowTitle(), QString::fromUtf8("J\xc3\xbcrgen 1"));
    line("SELFVAR", {"scHandler=3", "flag=38", "newValue=1"});
    EXPECT_EQ(engine->display().awayButton.glyph, 3);
    line("SELFVAR", {"scHandler=3", "flag=38", "newValue="});
    EXPECT_FALSE(engine->TS3FLAGS.contains(QStringLiteral("38")));
    EXPECT_EQ(engine->display().awayButton.glyph, 4);

    line("USERIN", {"scHandler=3", "nickname=DL1ABC"});
    EXPECT_EQ(lastLog(), QStringLiteral("LOGIN: DL1ABC"));
    line("USEROUT", {"scHandler=3", "nickname=DL1ABC"});
    EXPECT_EQ(lastLog(), QStringLiteral("LOGOUT: DL1ABC"));
    EXPECT_EQ(engine->hooks, QStringList{QStringLiteral("PlayAnnouncement ") + host->soundFolder() +
                                         QStringLiteral("en_US/S0001.wav reduced")});

    line("ERRORMSG", {"error=1281", "errorMSG=database^sempty", "extraMSG=x"});
    EXPECT_EQ(lastLog(), QStringLiteral("ERROR: database empty (x)"));
    EXPECT_EQ(engine->log().last().color, GwColor::Red);
    line("PERMERROR", {"error=2568", "permID=i_client_move"});
    EXPECT_EQ(lastLog(), QStringLiteral("Permission denied: i_client_move"));

    engine->hooks.clear();
    line("REMOTE", {"scHandler=3", "fromID=12", "cmd=#m\xc3\xb6ve"});
    EXPECT_EQ(engine->hooks, QStringList{QString::fromLatin1("Remote #M\xc3\xb6VE")});

    line("PLUGINCMD", {"scHandler=3", "cmd=GATE_PING", "fromID=12", "timestamp=1700000000"});
    line("PLUGINCMD", {"scHandler=3", "cmd=OTHER", "fromID=12"});
    line("GW_ERROR", {"scHandler=3", "errorCode=101", "fromID=12"});
    line("CHANNELS", {"scHandler=3", "type=ids", "ids=1|4|9"});
    line("WAVEPLAYER", {"scHandler=3", "status=1", "len=12", "error=0"});
    EXPECT_EQ(link.take(),
              (QStringList{
                  QStringLiteral("MSGTOGATES scHandler=3 cmd=GATE_PONG timestamp=1700000000"),
                  QStringLiteral("MSGTOUSER scHandler=3 userID=12 "
                                 "message=[b][color^g#FF0000]Gateway^sis^salready^sin^sthe^sChannel[^ccolor][^cb]"),
                  QStringLiteral("GETCHANNELS scHandler=3 type=info chID=1"),
                  QStringLiteral("GETCHANNELS scHandler=3 type=info chID=4"),
                  QStringLiteral("GETCHANNELS scHandler=3 type=info chID=9"),
              }));
    EXPECT_EQ(engine->relay().COUNT_WPLAY, 12);
    EXPECT_EQ(engine->SPEAKERS.value(QStringLiteral("HF-TS3W-PLAY")), QStringLiteral("-1"));
}

TEST_F(GatewayTest, ALineWithoutItsNumberIsDroppedAnyOtherErrorGoesOnToTheProgram)
{
    // A gateway whose chat command handler fails (for instance a register that cannot be read).
    struct FailingEngine : ProbeEngine {
        using ProbeEngine::ProbeEngine;
        void HandleRemoteCommand(const QString&, const SettingsList&) override { throw std::runtime_error("register"); }
    };
    host->openPorts.insert(1);
    ASSERT_TRUE(SaveSettingsFile(gatewayFile(), settings));
    engine = std::make_unique<FailingEngine>(link, *host, clock);
    SettingsList params;
    params.setValue(QStringLiteral("CFG_FILE"), gatewayFile());
    ASSERT_TRUE(engine->StarteForm(params));
    connect(3);
    link.take();

    // The engine's own parse error ends the line quietly, whatever word it came with.
    EXPECT_NO_THROW(line("GW_PONG", {"scHandler=3", "timestamp=soon"}));
    EXPECT_NO_THROW(line("REMOTE", {"scHandler=3", "fromID=x", "cmd=#help"}));
    EXPECT_NO_THROW(line("WAVEPLAYER", {"scHandler=3", "status=on", "len=12"}));
    EXPECT_TRUE(link.take().isEmpty());
    EXPECT_TRUE(engine->SPEAKERS.isEmpty());

    // Anything else reaches the caller: the session hands it to the program's error hook.
    EXPECT_THROW(line("REMOTE", {"scHandler=3", "fromID=12", "cmd=#help"}), std::runtime_error);
    // The gateway goes on with the next line.
    line("TXVOICE", {"scHandler=3", "status=1"});
    EXPECT_TRUE(engine->relay().TS_TX_STATUS);
}
