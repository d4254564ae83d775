#include "app/session/tests/sessionfakes.h"

namespace {

const QString kUidA = QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000001}");
const QString kUidB = QStringLiteral("{BBBBBBBB-0000-0000-0000-000000000002}");
const QString kUidC = QStringLiteral("{CCCCCCCC-0000-0000-0000-000000000003}");
const QString kUidD = QStringLiteral("{DDDDDDDD-0000-0000-0000-000000000004}");

// ------------------------------------------------------------------ connecting

TEST_F(SessionFixture, FirstTickConnectsToLocalhostOnTheLinkPort)
{
    struct Case {
        const char* setting;
        quint16 port;
    } cases[] = {{nullptr, 26001}, {"26555", 26555}, {"abc", 26001}, {"99999", 26001}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "(absent)");
        settings.clear();
        if (c.setting)
            settings.setValue(QStringLiteral("LINK_PORT"), QString::fromLatin1(c.setting));
        transport = FakeTransport();
        makeSession();
        session->secondTick();
        EXPECT_EQ(transport.connectAttempts, 1);
        EXPECT_EQ(transport.lastHost, QStringLiteral("localhost"));
        EXPECT_EQ(transport.lastPort, c.port);
        EXPECT_EQ(transport.lastTimeout, 500);
        EXPECT_EQ(session->TS3conDelay(), -1);
        EXPECT_EQ(view.linkStatus, QStringLiteral("connected with Teamspeak"));
        EXPECT_TRUE(transport.written.isEmpty()) << "nothing is sent before the greeting";
    }
}

TEST_F(SessionFixture, FailedAttemptShowsTheReasonAndRetriesElevenTicksLater)
{
    transport.acceptConnect = false;
    session->secondTick();
    EXPECT_EQ(view.linkStatus, QStringLiteral("[TCP] -> Connection refused"));
    EXPECT_EQ(session->TS3conDelay(), 10);
    EXPECT_EQ(view.linkPanel, QStringLiteral("Not connected with Teamspeak"));

    QList<SessionView::LinkColour> colours;
    for (int left = 9; left >= 0; --left) {
        session->secondTick();
        colours << view.colour;
        EXPECT_EQ(view.linkStatus, QStringLiteral("[TCP] -> Reconnect [%1]").arg(left));
    }
    EXPECT_EQ(transport.connectAttempts, 1);
    EXPECT_NE(colours[0], colours[1]) << "the link panel blinks";
    EXPECT_TRUE(colours[0] == SessionView::LinkColour::Red || colours[1] == SessionView::LinkColour::Red);

    transport.acceptConnect = true;
    session->secondTick();
    EXPECT_EQ(transport.connectAttempts, 2);
    EXPECT_FALSE(view.pingTimer);
    session->secondTick();
    EXPECT_EQ(view.linkPanel, QStringLiteral("connected with Teamspeak"));
    EXPECT_EQ(view.colour, SessionView::LinkColour::Green);
    EXPECT_TRUE(view.pingTimer);
}

// A transport that connects in the background: the tick only starts the attempt, no tick
// starts a second one or drops it while it runs, and its result counts as a connection made
// or failed at once would.
TEST_F(SessionFixture, ConnectionMadeInTheBackgroundIsWaitedForByNoTick)
{
    transport.inBackground = true;
    session->secondTick();
    EXPECT_EQ(transport.connectAttempts, 1);
    session->secondTick();
    session->secondTick();
    EXPECT_EQ(transport.connectAttempts, 1);
    EXPECT_TRUE(transport.disconnects.isEmpty());

    session->onConnectFailed(QStringLiteral("Connection timed out"));
    EXPECT_EQ(view.linkStatus, QStringLiteral("[TCP] -> Connection timed out"));
    EXPECT_EQ(session->TS3conDelay(), 10);
    for (int i = 0; i < 11; ++i)
        session->secondTick();
    EXPECT_EQ(transport.connectAttempts, 2);

    transport.connected = true;
    session->onConnected();
    EXPECT_EQ(view.linkStatus, QStringLiteral("connected with Teamspeak"));
    EXPECT_EQ(session->TS3conDelay(), -1);
    session->secondTick();
    EXPECT_EQ(view.colour, SessionView::LinkColour::Green);
    EXPECT_TRUE(view.pingTimer);
    EXPECT_EQ(transport.connectAttempts, 2);
}

TEST_F(SessionFixture, StoppedSessionNeverReconnects)
{
    connectNow();
    session->stop();
    peerCloses();
    for (int i = 0; i < 30; ++i)
        session->secondTick();
    EXPECT_EQ(transport.connectAttempts, 1);
}

// -------------------------------------------------------------- greeting and check

TEST_F(SessionFixture, GreetingAndIdentificationFollowUps)
{
    FakeGateway a(kUidA, 5, true), b(kUidB, 0, false);
    directory.list = {&a, &b};
    RecordingMonitor monitor;
    session->setMonitor(&monitor);
    connectNow();

    // The greeting ends with CR and a NUL; nothing after the NUL in that block counts.
    receive(QByteArray("<HELLO>\r\0RXVOICE scHandler=5 status=1 \r", 40));
    EXPECT_EQ(a.calls, QStringList{QStringLiteral("Reset")});
    EXPECT_EQ(b.calls, QStringList{QStringLiteral("Reset")});
    EXPECT_EQ(transport.takeLines(), QStringList{QStringLiteral(">HELLO< ")});
    EXPECT_EQ(monitor.clears, 1);

    receive("WHOAMI libVersion=3.6.2^s[Build:^s1] ClientType=TS3 API=21 gateAPI=1 PORT=26001 ClientPath=^cusr^cts3 \r");
    EXPECT_EQ(transport.takeLines(),
              (QStringList{QStringLiteral("GETPROFILES "), QStringLiteral("STARTING "), QStringLiteral("GETAPPPATH "),
                           QStringLiteral("SETCONFIG lang=en_US")}));
    ASSERT_EQ(view.balloons.size(), 1);
    EXPECT_EQ(view.balloons[0], QStringLiteral("connected with Teamspeak|TS3-Client: 3.6.2 [Build: 1]\r"
                                               "Plugin-API: 21  /  Link-API: 1"));
    EXPECT_TRUE(session->TS3_CLIENT_CONKT());

    receive("STARTING \r");
    EXPECT_EQ(b.calls.last(), QStringLiteral("Start 1"));
    EXPECT_EQ(a.calls.size(), 1) << "a connected gateway is not started again";
}

TEST_F(SessionFixture, IncompatiblePluginIsRefusedAndReconnectedLater)
{
    connectNow();
    receive("WHOAMI libVersion= ClientType=TS3 API=21 gateAPI=2 PORT=26001 \r");
    EXPECT_TRUE(transport.takeLines().isEmpty());
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_EQ(view.messages[0], QStringLiteral("This Relaydeck is not compatible with the Link-Plugin used\r\r"
                                               "Please perform Update\r\rLink-API is: 2 => Needed: 1"));
    EXPECT_EQ(transport.disconnects, QList<bool>{true});
    EXPECT_EQ(view.linkStatus, QStringLiteral("Please perform Update"));
    EXPECT_EQ(session->TS3conDelay(), 10);
}

TEST_F(SessionFixture, StartingStaggersEveryUnconnectedGatewayInWindowOrder)
{
    FakeGateway a(kUidA, 0, false), b(kUidB, 7, true), c(kUidC, 0, false), d(kUidD, 0, false);
    directory.list = {&a, &b, &c, &d};
    connectNow();
    receive("STARTING\r");
    EXPECT_EQ(a.calls, QStringList{QStringLiteral("Start 1")});
    EXPECT_TRUE(b.calls.isEmpty());
    EXPECT_EQ(c.calls, QStringList{QStringLiteral("Start 2")});
    EXPECT_EQ(d.calls, QStringList{QStringLiteral("Start 3")});
}

// ------------------------------------------------------------------ routing

TEST_F(SessionFixture, RoutingTable)
{
    // Window order: A and B share handler 5, C and D have no connection yet.
    FakeGateway ga(kUidA, 5, true), gb(kUidB, 5, true), gc(kUidC, 0, false), gd(kUidD, 0, false);
    directory.list = {&ga, &gb, &gc, &gd};
    connectNow();
    struct Case {
        QString line;
        FakeGateway* target; // nullptr: reaches no gateway
        QString command;
    } cases[] = {
        {QStringLiteral("RXVOICE scHandler=5 status=1 userID=3 "), &ga, QStringLiteral("RXVOICE")},
        {QStringLiteral("GW_START scHandler=0 gateUID=") + kUidD + QLatin1Char(' '), &gd, QStringLiteral("GW_START")},
        {QStringLiteral("GW_CONNECT scHandler=9 gateUID=") + kUidC, &gc, QStringLiteral("GW_CONNECT")},
        {QStringLiteral("CONNECT gateUID=") + kUidB + QStringLiteral(" scHandler=5"), &ga, QStringLiteral("CONNECT")},
        {QStringLiteral("RXVOICE scHandler=abc userID=1234"), nullptr, {}},
        {QStringLiteral("RXVOICE scHandler=0 userID=123456"), nullptr, {}},
        {QStringLiteral("PING_ERROR scHandler=77 since=100 "), nullptr, {}},
        {QStringLiteral("APPPATH path=^chome^cts3client"), nullptr, {}},
        {QStringLiteral("GW_X a=5"), nullptr, {}},             // 8 characters
        {QStringLiteral("scHandler=5"), &ga, QString()},       // no blank: the whole line is the rest
        {QStringLiteral("scHandler=5 status=1"), nullptr, {}}, // rest of 8 characters
        {QStringLiteral("GW_START gateUID={short} scHandler=0"), nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        for (FakeGateway* g : {&ga, &gb, &gc, &gd})
            g->calls.clear();
        receive(c.line.toLatin1() + '\r');
        for (FakeGateway* g : {&ga, &gb, &gc, &gd}) {
            if (g == c.target)
                EXPECT_EQ(g->calls, QStringList{QStringLiteral("Parse ") + c.command}) << g->uid.toStdString();
            else
                EXPECT_TRUE(g->calls.isEmpty()) << g->uid.toStdString();
        }
    }
    EXPECT_TRUE(transport.takeLines().isEmpty());
}

TEST_F(SessionFixture, RoutedItemsKeepTheirEscapedValuesInArrivalOrder)
{
    FakeGateway a(kUidA, 5, true);
    directory.list = {&a};
    connectNow();
    receive("TEXTMSG scHandler=5 fromName=Anna^sB msg=a^gb  fromUID=x+/y= \r");
    EXPECT_EQ(a.lastItems.lines(), (QStringList{QStringLiteral("scHandler=5"), QStringLiteral("fromName=Anna^sB"),
                                                QStringLiteral("msg=a^gb"), QStringLiteral("fromUID=x+/y=")}));
    EXPECT_EQ(a.lastItems.value(QStringLiteral("fromuid")), QStringLiteral("x+/y="));
}

TEST_F(SessionFixture, GreetingInOneBlockWithAnEventStillRoutesTheEvent)
{
    FakeGateway a(kUidA, 5, true);
    directory.list = {&a};
    connectNow();
    receive("<HELLO>\rCONNECT scHandler=5 status=4 error=0 \r");
    EXPECT_EQ(a.calls, (QStringList{QStringLiteral("Reset"), QStringLiteral("Parse CONNECT")}));
    EXPECT_EQ(transport.takeLines(), QStringList{QStringLiteral(">HELLO< ")});
}

// Both faults of the receive side: a line cut between two blocks, and quote characters
// inside values that must not swallow the line ends after them.
TEST_F(SessionFixture, LinesSurviveBlockBoundariesAndQuoteCharacters)
{
    FakeGateway a(kUidA, 5, true);
    directory.list = {&a};
    connectNow();
    struct Case {
        QList<QByteArray> blocks;
        QStringList parsed;
    } cases[] = {
        {{"RXVOICE scHan", "dler=5 status=1 userID=3 \r"}, {QStringLiteral("Parse RXVOICE")}},
        {{"RXVOICE scHandler=5 status=1 \rTALK", "STATUS scHandler=5 status=0 \r"},
         {QStringLiteral("Parse RXVOICE"), QStringLiteral("Parse TALKSTATUS")}},
        {{"RXVOICE scHandler=5 status=1 ", "\r"}, {QStringLiteral("Parse RXVOICE")}},
        {{"TEXTMSG scHandler=5 fromName=O'Brien msg=hi \rCLIENTMOVE scHandler=5 userID=2 \r"},
         {QStringLiteral("Parse TEXTMSG"), QStringLiteral("Parse CLIENTMOVE")}},
        {{"TEXTMSG scHandler=5 msg=say^s\"hi \rPOKE scHandler=5 msg=x\" \rCLIENTMOVE scHandler=5 userID=2 \r"},
         {QStringLiteral("Parse TEXTMSG"), QStringLiteral("Parse POKE"), QStringLiteral("Parse CLIENTMOVE")}},
    };
    for (const Case& c : cases) {
        a.calls.clear();
        for (const QByteArray& b : c.blocks)
            receive(b);
        EXPECT_EQ(a.calls, c.parsed) << c.blocks.first().constData();
    }
    receive("TEXTMSG scHandler=5 fromName=O'Brien msg=it's \r");
    EXPECT_EQ(a.lastItems.value(QStringLiteral("fromName")), QStringLiteral("O'Brien"));
    EXPECT_EQ(a.lastItems.value(QStringLiteral("msg")), QStringLiteral("it's"));
}

// ------------------------------------------------------------------ PONG and pings

TEST_F(SessionFixture, PongTable)
{
    connectNow();
    struct Case {
        QByteArray block;
        QStringList written;
        bool error;
    } cases[] = {
        {"PONG timestamp=0 err=0 \r", {}, false},
        {"PONG timestamp=-5 err=0 \r", {}, false},
        {"PONG timestamp=1699999999900 err=0 \r", {QStringLiteral("PQNG timestamp=1699999999900 err=0")}, false},
        {"PONG err=0 \r", {}, true},
        {"PONG timestamp=12ab err=0 \r", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block.constData());
        view.errorStatus.clear();
        transport.written.clear();
        // A routable event after the PONG in the same block: dropped after an error.
        FakeGateway a(kUidA, 5, true);
        directory.list = {&a};
        receive(c.block + "RXVOICE scHandler=5 status=1 \r");
        EXPECT_EQ(transport.takeLines(), c.written);
        if (c.error) {
            EXPECT_EQ(view.errorStatus,
                      clock.now().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral(" [ERROR] -> E006"));
            EXPECT_TRUE(a.calls.isEmpty());
        } else {
            EXPECT_TRUE(view.errorStatus.isEmpty());
            EXPECT_EQ(a.calls, QStringList{QStringLiteral("Parse RXVOICE")});
        }
    }
}

TEST_F(SessionFixture, PingsRoundTripAndEightLostPingsDropTheSession)
{
    FakeGateway a(kUidA, 5, true);
    directory.list = {&a};
    connectNow();
    session->secondTick(); // enables the ping timer
    session->pingTick();
    EXPECT_TRUE(transport.takeLines().isEmpty()) << "no ping before the first send went out";

    receive(QByteArray("<HELLO>\r\0", 9));
    transport.written.clear();
    const qint64 t0 = clock.nowMs();
    session->pingTick();
    EXPECT_EQ(transport.takeLines(), QStringList{QStringLiteral("PING timestamp=%1 err=0").arg(t0)});
    EXPECT_EQ(session->LastPing(), t0);
    clock.advance(42);
    receive(QStringLiteral("PONG timestamp=%1 err=0 \r").arg(t0).toLatin1());
    EXPECT_EQ(view.pingStatus, QStringLiteral("42 ms"));
    EXPECT_EQ(transport.takeLines(), QStringList{QStringLiteral("PQNG timestamp=%1 err=1").arg(t0)});
    EXPECT_EQ(session->PiPoErrors(), 0);
    EXPECT_EQ(session->LastPong(), t0);

    for (int i = 1; i <= 7; ++i) {
        clock.advance(20000);
        session->pingTick();
        EXPECT_EQ(session->PiPoErrors(), i);
    }
    EXPECT_TRUE(transport.connected);
    session->pingTick();
    EXPECT_EQ(transport.disconnects, QList<bool>{false}) << "dropped without notice";
    EXPECT_EQ(session->TS3conDelay(), 10);
    EXPECT_EQ(a.calls, (QStringList{QStringLiteral("Reset"), QStringLiteral("Disconnect")}));
    EXPECT_FALSE(session->TS3_CLIENT_CONKT());
}

// ------------------------------------------------------------------ QUIT

TEST_F(SessionFixture, RefusalCountdownIsTwoTwoThenTenWithOneMessage)
{
    FakeGateway a(kUidA, 5, true);
    directory.list = {&a};
    QList<int> delays;
    for (int round = 0; round < 4; ++round) {
        // Tick until the next attempt; the plugin accepts and at once refuses: the refusal
        // has no line end and the plugin closes right after it.
        while (transport.connectAttempts == round)
            session->secondTick();
        ASSERT_TRUE(transport.connected);
        receive("QUIT errorID=88");
        peerCloses();
        delays << session->TS3conDelay();
    }
    EXPECT_EQ(delays, (QList<int>{2, 2, 10, 10}));
    EXPECT_EQ(session->TS3E88Cons(), 4);
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_EQ(view.messages[0], QStringLiteral("*** Connection failed ***\r\r"
                                               "The Relaydeck can be only one connection to the Teamspeak-Client!!"));
    EXPECT_EQ(a.calls, QStringList{QStringLiteral("Disconnect")});

    // A refusal with the line end, then the close, counts the same; a greeting resets it.
    while (transport.connectAttempts == 4)
        session->secondTick();
    receive(QByteArray("<HELLO>\r\0", 9));
    EXPECT_EQ(session->TS3E88Cons(), 0);
    receive("QUIT errorID=88\r");
    peerCloses();
    EXPECT_EQ(session->TS3conDelay(), 2);
}

TEST_F(SessionFixture, RefusalRetryTakesThreeTicks)
{
    session->secondTick();
    receive("QUIT errorID=88");
    peerCloses();
    session->secondTick();
    session->secondTick();
    EXPECT_EQ(transport.connectAttempts, 1);
    session->secondTick();
    EXPECT_EQ(transport.connectAttempts, 2);
}

TEST_F(SessionFixture, QuitOfAGoingPluginDropsGatewaysAndReconnectsAfterTenSeconds)
{
    FakeGateway a(kUidA, 5, true), b(kUidB, 0, false);
    directory.list = {&a, &b};
    connectNow();
    receive("QUIT errorID=0 \r");
    EXPECT_EQ(a.calls, QStringList{QStringLiteral("Disconnect")});
    EXPECT_TRUE(b.calls.isEmpty());
    EXPECT_TRUE(transport.connected) << "the plugin closes, not us";
    peerCloses();
    EXPECT_EQ(session->TS3conDelay(), 10);
    EXPECT_EQ(view.linkStatus, QStringLiteral("Not connected with Teamspeak"));
    EXPECT_FALSE(session->TS3_CLIENT_CONKT());
}

// ------------------------------------------------------------------ PROFILES

TEST_F(SessionFixture, ProfilesFillTheirListsAndAreNotRouted)
{
    FakeGateway a(kUidA, 5, true);
    directory.list = {&a};
    connectNow();
    receive("PROFILES type=0 items=Default|USB^sAudio^pCODEC \r"
            "PROFILES type=1 items=Speakers \r"
            "PROFILES type=4 items=Me|Radio^sGate \r"
            "PROFILES type=10 items=Home|Club^sServer uids={1}|{2} \r"
            "PROFILES type=7 items=Ignored^sList \r"
            "PROFILES type=1 \r");
    EXPECT_EQ(session->TS3_PROF_CAPTURE(), (QStringList{QStringLiteral("Default"), QStringLiteral("USB Audio|CODEC")}));
    EXPECT_EQ(session->TS3_PROF_PLAYBAK(), QStringList{QStringLiteral("Speakers")});
    EXPECT_EQ(session->TS3_PROF_IDENTIS(), (QStringList{QStringLiteral("Me"), QStringLiteral("Radio Gate")}));
    EXPECT_EQ(session->TS3_PROF_BOOKMARKS(),
              (QList<LinkSession::Bookmark>{{QStringLiteral("Home"), QStringLiteral("{1}")},
                                            {QStringLiteral("Club Server"), QStringLiteral("{2}")}}));
    EXPECT_TRUE(a.calls.isEmpty());

    receive("PROFILES type=0 items=Other \r");
    EXPECT_EQ(session->TS3_PROF_CAPTURE(), QStringList{QStringLiteral("Other")});
}

// ------------------------------------------------------------------ sending

TEST(SessionEncoding, CommandBytes)
{
    struct Case {
        QString command, params;
        QByteArray bytes;
    } cases[] = {
        {QStringLiteral("GETPROFILES"), QString(), "GETPROFILES \r\r\n"},
        {QStringLiteral("SETPTT"), QStringLiteral("scHandler=5 status=1"), "SETPTT scHandler=5 status=1\r\r\n"},
        {QStringLiteral("SETNICK"), QStringLiteral("scHandler=1 nick=J\u00fcrgen\u00df"),
         "SETNICK scHandler=1 nick=J?rgen?\r\r\n"},
        {QStringLiteral("SETINFO"), QStringLiteral("text=a\U0001F600b"), "SETINFO text=a?b\r\r\n"},
        {QStringLiteral(".X"), QString(), "..X \r\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LinkSession::encodeCommand(c.command, c.params), c.bytes) << c.command.toStdString();
}

// Characters outside ASCII go out as one "?" each: a surrogate pair is one character, and
// so is a surrogate without its partner (also at the end of the word or the items).
TEST(SessionEncoding, SurrogatesWithoutPartnerAreOneCharacterEach)
{
    const QChar high(0xD83D), low(0xDE00);
    struct Case {
        QString command, params;
        QByteArray bytes;
    } cases[] = {
        {QStringLiteral("X"), QString("a") + high + "b", "X a?b\r\r\n"},
        {QStringLiteral("X"), QString("a") + low + high + "b", "X a??b\r\r\n"},
        {QString("X") + high, QString(low) + "a", "X? ?a\r\r\n"},
        {QStringLiteral("X"), QString("a") + high, "X a?\r\r\n"},
        {QStringLiteral("X"), QString("a") + high + low + high + low, "X a??\r\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LinkSession::encodeCommand(c.command, c.params), c.bytes) << c.params.toStdString();
}

TEST_F(SessionFixture, SendingWhileDownLosesTheCommandAndDropsEveryGateway)
{
    FakeGateway a(kUidA, 5, true), b(kUidB, 0, false);
    // A gateway that is told it lost its connection may try to send at once.
    a.onParse = nullptr;
    directory.list = {&a, &b};
    RecordingMonitor monitor;
    session->setMonitor(&monitor);
    session->DebugPause = true;
    session->SendToTS3(QStringLiteral("GW_STOP"), QStringLiteral("scHandler=5"));
    EXPECT_EQ(a.calls, QStringList{QStringLiteral("Disconnect")});
    EXPECT_EQ(b.calls, QStringList{QStringLiteral("Disconnect")});
    EXPECT_EQ(monitor.lines, QStringList{QStringLiteral("[OFFLINE] <[-]< GW_STOP scHandler=5")});
    EXPECT_FALSE(session->TS3_CLIENT_CONKT());

    // A write that the socket refuses counts as down and rebuilds the session.
    a.calls.clear();
    connectNow();
    a.connected = true;
    transport.writeFails = true;
    session->SendToTS3(QStringLiteral("WHOAMI"), QString());
    EXPECT_FALSE(transport.connected);
    EXPECT_EQ(session->TS3conDelay(), 10);
    EXPECT_EQ(a.calls, (QStringList{QStringLiteral("Disconnect"), QStringLiteral("Disconnect")}));
}

TEST_F(SessionFixture, MonitorShowsTrafficPerItsSwitches)
{
    FakeGateway a(kUidA, 5, true);
    directory.list = {&a};
    RecordingMonitor monitor;
    session->setMonitor(&monitor);
    connectNow();
    receive("RXVOICE scHandler=5 status=1 \rPING_ERROR scHandler=9 since=55 \rAPPPATH path=^cx^cyyyy \r");
    session->SendToTS3(QStringLiteral("SETPTT"), QStringLiteral("scHandler=5 status=1"));
    EXPECT_EQ(monitor.lines, (QStringList{QStringLiteral(">[5]> RXVOICE scHandler=5 status=1 "),
                                          QStringLiteral(">[0]> PING_ERROR scHandler=9 since=55 "),
                                          QStringLiteral(">[0]> APPPATH path=^cx^cyyyy "),
                                          QStringLiteral("<[-]< SETPTT scHandler=5 status=1")}));
    monitor.lines.clear();
    session->ShowEmpf = false;
    receive("RXVOICE scHandler=5 status=0 \r");
    session->ShowSend = false;
    session->SendToTS3(QStringLiteral("SETPTT"), QStringLiteral("scHandler=5 status=0"));
    session->ShowEmpf = session->ShowSend = true;
    session->DebugPause = true;
    receive("RXVOICE scHandler=5 status=0 \r");
    session->SendToTS3(QStringLiteral("SETPTT"), QStringLiteral("scHandler=5 status=0"));
    EXPECT_TRUE(monitor.lines.isEmpty());
}

// ------------------------------------------------------------- errors and shutdown

TEST_F(SessionFixture, ErrorPanelCountsDownAndSocketErrorsDropTheSession)
{
    FakeGateway a(kUidA, 5, true);
    directory.list = {&a};
    connectNow();
    const QString stamp = clock.now().toString(QStringLiteral("hh:mm:ss"));
    session->applicationError(QStringLiteral("Disk full"));
    EXPECT_EQ(view.errorStatus, stamp + QStringLiteral(" [ERROR] -> Disk full"));
    EXPECT_TRUE(transport.connected);
    for (int i = 0; i < 59; ++i)
        session->secondTick();
    EXPECT_EQ(view.errorStatus, stamp + QStringLiteral(" [ERROR] -> Disk full"));
    session->secondTick();
    EXPECT_EQ(view.errorStatus, QStringLiteral("No Error"));
    EXPECT_EQ(session->ERR_ANZ_DELAY(), -1);

    session->applicationError(QStringLiteral("Socket Error # 10054"));
    EXPECT_EQ(transport.disconnects, QList<bool>{false});
    EXPECT_EQ(session->TS3conDelay(), 10);
    EXPECT_EQ(a.calls, QStringList{QStringLiteral("Disconnect")});
}

TEST_F(SessionFixture, AGatewayFailingOnALineDropsTheRestOfTheBlock)
{
    FakeGateway a(kUidA, 5, true), b(kUidB, 6, true);
    a.onParse = [] { throw std::runtime_error("bad value"); };
    directory.list = {&a, &b};
    connectNow();
    receive("RXVOICE scHandler=5 status=1 \rRXVOICE scHandler=6 status=1 \r");
    EXPECT_TRUE(b.calls.isEmpty());
    EXPECT_TRUE(view.errorStatus.endsWith(QStringLiteral("[ERROR] -> E006 bad value")));
    receive("RXVOICE scHandler=6 status=1 \r");
    EXPECT_EQ(b.calls, QStringList{QStringLiteral("Parse RXVOICE")});
}

TEST_F(SessionFixture, GatewayOperationsFindTheFirstWindowWithTheId)
{
    FakeGateway a(kUidA, 5, false), b(kUidB, 8, true), b2(kUidB, 9, true);
    directory.list = {&a, &b, &b2};
    EXPECT_EQ(session->GetscHandlerFromGateway(kUidA), 0);
    EXPECT_EQ(session->GetscHandlerFromGateway(kUidB), 8);
    EXPECT_EQ(session->GetscHandlerFromGateway(kUidB.toLower()), 0);
    EXPECT_EQ(session->GetscHandlerFromGateway(kUidC), 0);
    EXPECT_TRUE(session->GatewayIstAktiv(kUidA));
    EXPECT_FALSE(session->GatewayIstAktiv(kUidC));
    EXPECT_TRUE(session->WriteConfigToGateway(kUidB, SettingsList()));
    EXPECT_FALSE(session->WriteConfigToGateway(kUidC, SettingsList()));
    session->StoppeGateway(kUidB);
    session->StoppeGateway(kUidC);
    EXPECT_EQ(b.calls, (QStringList{QStringLiteral("Write"), QStringLiteral("Close")}));
    EXPECT_TRUE(b2.calls.isEmpty());
}

} // namespace
