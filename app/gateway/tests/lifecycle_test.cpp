// Opening a gateway, getting its server connection, pings, reconnects and closing.
#include "gatewayfixture.h"

#include <QDateTime>
#include <QFile>

TEST_F(GatewayTest, StartSequenceAsksConnectsAndRunsOnConnectCommandsInOrder)
{
    settings.setValue(QStringLiteral("TS3-NICK"), QStringLiteral("Relais Nord/2"));
    settings.setValue(QStringLiteral("TS3-START-CHANNEL"), QStringLiteral("Funk/Relais 1"));
    settings.setValue(QStringLiteral("TS3-SERV-PASSWD"), QStringLiteral("a=b|c"));
    settings.setValue(QStringLiteral("TS3-INFO-TXT"), QStringLiteral("Relais 70cm"));
    open();
    EXPECT_EQ(link.take(), QStringList{QStringLiteral("GW_START gateUID=") + QLatin1String(kUid)});
    EXPECT_EQ(engine->log().size(), 1);
    EXPECT_TRUE(
        engine->log()[0].text.endsWith(QStringLiteral("> Loading: ") + QLatin1String(kUid) + QStringLiteral(".rdk")));
    EXPECT_EQ(engine->log()[0].style, GwStyle::Italic);

    // Another gateway's reply is not ours.
    line("GW_START", {"gateUID={00000000-0000-0000-0000-000000000000}", "scHandler=0"});
    EXPECT_TRUE(link.take().isEmpty());

    line("GW_START", {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=0"});
    EXPECT_EQ(link.take(),
              QStringList{QStringLiteral(
                  "GW_CONNECT type=gui gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9} nick=Relais^sNord^c2 "
                  "host=voice.example.org SndIn=Default SndOut=Default channel=Funk^cRelais^s1 ident=Default "
                  "servPass=a^gb^pc chanPass=")});

    line("GW_CONNECT", {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=7"});
    EXPECT_EQ(engine->TS3_scHandlerID(), 7);
    EXPECT_FALSE(engine->TS3_IstConnected());

    line("CONNECT", {"scHandler=7", "status=4"});
    EXPECT_TRUE(engine->TS3_IstConnected());
    EXPECT_EQ(link.take(), (QStringList{
                               QStringLiteral("SETNICK scHandler=7 nickname=Relais^sNord^c2"),
                               QStringLiteral("SETCHCOM scHandler=7 status=1"),
                               QStringLiteral("SETWAVELEVEL scHandler=7 level=-20"),
                               QStringLiteral("SETAFK scHandler=7 status=0"),
                               QStringLiteral("SETMUTE scHandler=7 status=0"),
                               QStringLiteral("SETRUHE scHandler=7 status=0"),
                               QStringLiteral("GETSPEAKER scHandler=7"),
                               QStringLiteral("SETINFO scHandler=7 text=Relais^s70cm"),
                           }));
    EXPECT_EQ(engine->display().connLabel.text, QStringLiteral("Connected [7]"));
    EXPECT_EQ(engine->display().connLabel.color, GwColor::Navy);
    EXPECT_TRUE(engine->display().chcomButton.enabled);
    EXPECT_TRUE(engine->display().saveChannelButton.enabled);
    EXPECT_EQ(engine->hooks, QStringList{QStringLiteral("GATE-ONLINE")});
}

TEST_F(GatewayTest, BookmarkConnectionSendsTheBookmarkOnly)
{
    settings.setValue(QStringLiteral("TS3-CONNECT-TYPE"), QStringLiteral("1"));
    settings.setValue(QStringLiteral("TS3-BOOK-UID"), QStringLiteral("{B00C-11}"));
    open();
    link.take();
    line("GW_START", {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=0"});
    EXPECT_EQ(link.take(),
              QStringList{QStringLiteral(
                  "GW_CONNECT type=bookmark gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9} bookUID={B00C-11}")});
    // Connected through a bookmark the start channel cannot be saved.
    line("GW_CONNECT", {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=2"});
    line("CONNECT", {"scHandler=2", "status=4"});
    EXPECT_FALSE(engine->display().saveChannelButton.enabled);
}

TEST_F(GatewayTest, MissingOrIncompleteFileIsRefusedWithTheLoadError)
{
    const struct {
        const char* name;
        QByteArray content; // null: no file at all
    } cases[] = {
        {"no file", QByteArray()},
        {"not base64", QByteArray("this is *** not base64")},
        {"without gateName", EncodeSettings(items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"}))},
        {"empty", QByteArray("")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.path() + QStringLiteral("/case.rdk");
        QFile::remove(path);
        if (!c.content.isNull()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        host->errors.clear();
        ProbeEngine e(link, *host, clock);
        SettingsList params;
        params.setValue(QStringLiteral("CFG_FILE"), path);
        EXPECT_FALSE(e.StarteForm(params));
        EXPECT_EQ(host->errors, QStringList{QStringLiteral("Failde to load the config file")});
    }
    EXPECT_TRUE(link.lines.isEmpty());
}

TEST_F(GatewayTest, PingsEveryFiveSecondsAndAnswersPongs)
{
    open();
    engine->pingTick(); // no handler id yet: no ping
    connect(3);
    link.take();
    clock.set(1700000005000);
    engine->pingTick();
    engine->pingTick();
    EXPECT_EQ(link.take(), (QStringList{QStringLiteral("GW_PING scHandler=3 timestamp=1700000005000 err=0"),
                                        QStringLiteral("GW_PING scHandler=3 timestamp=1700000005000 err=1")}));
    EXPECT_EQ(engine->ping().PiPoErrors, 2);

    clock.set(1700000005042);
    line("GW_PONG", {"scHandler=3", "timestamp=1700000005000", "err=1"});
    EXPECT_EQ(link.take(), QStringList{QStringLiteral("GW_PQNG scHandler=3 timestamp=1700000005000 err=2")});
    EXPECT_EQ(engine->display().pingLabel, QStringLiteral("Ping: 42 ms"));
    EXPECT_EQ(engine->ping().PiPoErrors, 0);
    EXPECT_EQ(engine->ping().LastPong, 1700000005000);

    // A timestamp from the future: no round trip shown, but answered and the count cleared.
    engine->pingTick();
    link.take();
    line("GW_PONG", {"scHandler=3", "timestamp=1700000009000"});
    EXPECT_EQ(link.take(), QStringList{QStringLiteral("GW_PQNG scHandler=3 timestamp=1700000009000 err=1")});
    EXPECT_EQ(engine->display().pingLabel, QStringLiteral("Ping: 42 ms"));
    EXPECT_EQ(engine->ping().PiPoErrors, 0);

    // Zero and garbage are not answered.
    line("GW_PONG", {"scHandler=3", "timestamp=0"});
    line("GW_PONG", {"scHandler=3", "timestamp=12ab"});
    EXPECT_TRUE(link.take().isEmpty());
}

// The view is redrawn for what changed, not once a second per gateway: the lamp blinks
// only while disconnected, and a pong with the same round trip changes nothing.
TEST_F(GatewayTest, ViewIsRefreshedOnlyWhenTheLampOrThePingChanges)
{
    struct CountingView : GatewayView {
        void displayChanged() override { ++refreshes; }
        int refreshes = 0;
    } view;
    open();
    engine->setView(&view);
    connect(3);
    auto refreshesOf = [&](auto&& step) {
        view.refreshes = 0;
        step();
        return view.refreshes;
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(refreshesOf([&] { engine->blinkTick(); }), 0) << i;
        EXPECT_EQ(engine->display().connLamp.color, GwColor::LightBlue);
    }
    clock.set(1700000005042);
    EXPECT_EQ(refreshesOf([&] { line("GW_PONG", {"scHandler=3", "timestamp=1700000005000"}); }), 1);
    EXPECT_EQ(refreshesOf([&] { line("GW_PONG", {"scHandler=3", "timestamp=1700000005000"}); }), 0);
    EXPECT_EQ(refreshesOf([&] { line("GW_PONG", {"scHandler=3", "timestamp=1700000005001"}); }), 1);
    EXPECT_EQ(engine->display().pingLabel, QStringLiteral("Ping: 41 ms"));

    line("CONNECT", {"scHandler=3", "status=0"});
    ASSERT_FALSE(engine->TS3_IstConnected());
    for (GwColor expected : {GwColor::LightBlue, GwColor::Blue, GwColor::LightBlue}) {
        EXPECT_EQ(refreshesOf([&] { engine->blinkTick(); }), 1);
        EXPECT_EQ(engine->display().connLamp.color, expected);
    }
    engine->setView(nullptr);
}

TEST_F(GatewayTest, EightLostPingsResetTheGatewayAndANewConnectionCountsFromZero)
{
    open();
    connect(3);
    for (int i = 0; i < 7; ++i)
        engine->pingTick();
    EXPECT_TRUE(engine->TS3_IstConnected());
    engine->pingTick();
    EXPECT_FALSE(engine->TS3_IstConnected());
    EXPECT_EQ(engine->TS3_scHandlerID(), 0);
    EXPECT_EQ(engine->log().last().text.section(QStringLiteral("> "), 1), QStringLiteral("Disconnected"));
    link.take();
    engine->pingTick(); // idle: no more pings
    EXPECT_TRUE(link.take().isEmpty());

    engine->StarteGateway(0);
    connect(4);
    link.take();
    engine->pingTick();
    EXPECT_EQ(link.take().value(0).section(QLatin1Char(' '), 3), QStringLiteral("err=0"));
}

TEST_F(GatewayTest, RefusedConnectionIsRetriedEveryFiveSecondsAndLogged)
{
    open();
    line("GW_START", {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=0"});
    link.take();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        line("GW_ERROR", {"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "errorCode=1"});
        EXPECT_EQ(engine->log().last().text.section(QStringLiteral("> "), 1),
                  QStringLiteral("Reconnecting... Please wait!!"));
        EXPECT_EQ(engine->log().last().color, GwColor::DarkRed);
        EXPECT_EQ(engine->log().last().style, GwStyle::Bold);
        seconds(5);
        EXPECT_TRUE(link.take().isEmpty());
        seconds(1);
        const QStringList sent = link.take();
        ASSERT_EQ(sent.size(), 1);
        EXPECT_TRUE(sent[0].startsWith(QStringLiteral("GW_CONNECT type=gui gateUID=") + QLatin1String(kUid)));
    }
}

TEST_F(GatewayTest, StaggeredStartsAskAtTheirTick)
{
    open();
    link.take();
    // Three windows started by the plugin's STARTING get n = 1, 2, 3; seen from one engine
    // each n asks at tick 5n + 1.
    for (int n : {1, 2, 3}) {
        SCOPED_TRACE(n);
        engine->StarteGateway(n);
        seconds(5 * n);
        EXPECT_TRUE(link.take().isEmpty());
        seconds(1);
        EXPECT_EQ(link.take(), QStringList{QStringLiteral("GW_START gateUID=") + QLatin1String(kUid)});
    }
}

TEST_F(GatewayTest, ClosingWithYesStopsTwiceAndSavesThePosition)
{
    open();
    connect(5);
    link.take();
    engine->setWindowPosition(120, 80);
    host->answerYes = true;
    EXPECT_TRUE(engine->CloseQuery());
    EXPECT_EQ(host->questions, QStringList{QStringLiteral("Relais Nord Quit now??")});
    const QStringList sent = link.take();
    const QString stop = QStringLiteral("GW_STOP gateUID=") + QLatin1String(kUid) + QStringLiteral(" scHandler=5");
    EXPECT_EQ(sent.count(stop), 2);
    EXPECT_EQ(sent.first(), stop);
    EXPECT_TRUE(engine->isEnded());
    const auto saved = LoadSettingsFile(gatewayFile());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->value(QStringLiteral("windowLPos")), QStringLiteral("120"));
    EXPECT_EQ(saved->value(QStringLiteral("windowTPos")), QStringLiteral("80"));
    EXPECT_FALSE(saved->value(QStringLiteral("activTime")).isEmpty());
    // A closed gateway ignores its timers and lines.
    engine->pingTick();
    engine->relayTick();
    line("CONNECT", {"scHandler=5", "status=4"});
    EXPECT_TRUE(link.take().isEmpty());
}

TEST_F(GatewayTest, ClosingWithNoSendsNothingAndKeepsRunning)
{
    open();
    connect(5);
    link.take();
    const QByteArray before = [&] {
        QFile f(gatewayFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    host->answerYes = false;
    EXPECT_FALSE(engine->CloseQuery());
    EXPECT_TRUE(link.take().isEmpty());
    EXPECT_FALSE(engine->isEnded());
    EXPECT_TRUE(engine->TS3_IstConnected());
    QFile f(gatewayFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(GatewayTest, ClosingWithoutQuestionOrWhileTheProgramQuits)
{
    settings.setValue(QStringLiteral("gateExitDlg"), QStringLiteral("False"));
    open();
    link.take();
    EXPECT_TRUE(engine->CloseQuery());
    EXPECT_TRUE(host->questions.isEmpty());
    EXPECT_EQ(
        link.take().count(QStringLiteral("GW_STOP gateUID=") + QLatin1String(kUid) + QStringLiteral(" scHandler=0")),
        2);

    // While the whole program closes the window agrees at once; the main window stops it.
    ProbeEngine other(link, *host, clock);
    host->closing = true;
    EXPECT_TRUE(other.CloseQuery());
    EXPECT_TRUE(link.take().isEmpty());
}

TEST_F(GatewayTest, LogLinesCarryTheLocalTime)
{
    clock.set(QDateTime(QDate(2024, 3, 1), QTime(9, 5, 7)).toMSecsSinceEpoch());
    open();
    engine->WriteLog(QStringLiteral("hello"), GwColor::Green);
    EXPECT_EQ(engine->log().last().text, QStringLiteral("[09:05:07] > hello"));
}
