// The voice relay, tick by tick.
#include "gatewayfixture.h"

#include "app/config/inifile.h"

namespace {
const QString kUidA = QStringLiteral("abcDEF123+/userA=");
}

class RelayTest : public GatewayTest {
public:
    // Opens and connects; lets the on-connect settling run out so voice activation is on.
    void openConnected()
    {
        open();
        connect(3);
        ticks(10);
        link.take();
        engine->hooks.clear();
    }
    bool ptt() const { return host->level(1, QStringLiteral("RTS")); }
};

TEST_F(RelayTest, OneRelayedOverTickByTick)
{
    settings.setValue(QStringLiteral("HF-ROGER-BEEP"), QStringLiteral("True"));
    openConnected();
    ASSERT_TRUE(engine->relay().VOX_IST_AKTIV);

    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8", "clientUID="});
    EXPECT_EQ(link.take(), (QStringList{QStringLiteral("SETVOX scHandler=3 status=0"),
                                        QStringLiteral("SETWAVELEVEL scHandler=3 level=-40")}));
    EXPECT_EQ(engine->hooks, QStringList{QStringLiteral("PlayRxStartBeep")});
    EXPECT_EQ(engine->display().rxLabel.text, QStringLiteral("receive Audio"));
    EXPECT_FALSE(ptt());
    ticks(1);
    EXPECT_TRUE(ptt());
    EXPECT_EQ(engine->display().pttLamp.color, GwColor::Red);
    EXPECT_EQ(engine->display().pttLamp.hint, QStringLiteral("COM1 / RTS-PIN"));
    ticks(20);
    EXPECT_TRUE(link.take().isEmpty());

    engine->hooks.clear();
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    EXPECT_EQ(link.take(), (QStringList{QStringLiteral("SETWAVELEVEL scHandler=3 level=-20"),
                                        QStringLiteral("UNMUTEALL scHandler=3")}));
    EXPECT_EQ(engine->SPEAKERS.value(QStringLiteral("TS3-RX")), QStringLiteral("3"));
    EXPECT_EQ(engine->SPEAKERS.value(QStringLiteral("ROGER-WAIT")), QStringLiteral("3"));
    EXPECT_EQ(engine->relay().TS3_ROG_DELAY, 2);
    EXPECT_EQ(engine->hooks, QStringList{QStringLiteral("PlayRxEndBeep")});
    engine->hooks.clear();

    const struct {
        int tick;
        bool ptt;
        const char* hook;
        const char* sent;
        const char* holds;
    } timeline[] = {
        {1, true, "", "", "TS3-RX=2 ROGER-WAIT=2"},
        {2, true, "", "", "TS3-RX=1 ROGER-WAIT=1"},
        {3, true, "PlayRogerBeep", "", "TS3-RX=0 ROGER-WAIT=0"},
        // the plugin answers the beep's PLAYWAVE with WAVEPLAYER len=4 after tick 3
        {4, true, "", "", "HF-TS3W-PLAY=-1"},
        {5, true, "", "", "HF-TS3W-PLAY=-1"},
        {6, true, "", "", "HF-TS3W-PLAY=-1"},
        {7, false, "", "", ""},
        {8, false, "", "", ""},
        {9, false, "", "", ""},
        {10, false, "", "SETVOX scHandler=3 status=1 level=-10", ""},
        {11, false, "", "", ""},
    };
    for (const auto& step : timeline) {
        SCOPED_TRACE(step.tick);
        ticks(1);
        EXPECT_EQ(ptt(), step.ptt);
        EXPECT_EQ(engine->hooks.join(QLatin1Char(' ')), QLatin1String(step.hook));
        EXPECT_EQ(link.take().join(QLatin1Char('\n')), QLatin1String(step.sent));
        QStringList holds = engine->SPEAKERS.lines();
        EXPECT_EQ(holds.join(QLatin1Char(' ')), QLatin1String(step.holds));
        engine->hooks.clear();
        if (step.tick == 3)
            line("WAVEPLAYER", {"scHandler=3", "status=1", "len=4", "error=0"});
    }
    EXPECT_EQ(engine->display().pttLamp.color, GwColor::DarkRed);
}

TEST_F(RelayTest, VoiceActivationReturnsItsDelayAfterTheLastHoldEntry)
{
    for (int delay : {1, 3, 7}) {
        SCOPED_TRACE(delay);
        settings.setInt(QStringLiteral("TS3-VOX-DELAY"), delay);
        openConnected();
        // Keying by hand on the lamp holds the radio like speech does.
        engine->radioLampPressed();
        ticks(1);
        EXPECT_TRUE(ptt());
        EXPECT_EQ(link.take(), QStringList{QStringLiteral("SETVOX scHandler=3 status=0")});
        ticks(30);
        EXPECT_TRUE(ptt());
        engine->radioLampReleased();
        ticks(1); // the entry goes, the radio is released
        EXPECT_FALSE(ptt());
        ticks(delay - 1);
        EXPECT_TRUE(link.take().isEmpty());
        ticks(1);
        EXPECT_EQ(link.take(), QStringList{QStringLiteral("SETVOX scHandler=3 status=1 level=-10")});
        engine.reset();
    }
}

TEST_F(RelayTest, SquelchKeysTeamspeakOnlyAfterThePauseFollowingSpeech)
{
    settings.setValue(QStringLiteral("TS3-TX-PIN"), QStringLiteral("COM"));
    settings.setValue(QStringLiteral("COM-IN-ON"), QStringLiteral("True"));
    open();
    host->setInput(1, QStringLiteral("DSR"), true);
    connect(3);
    link.take();
    // The connect armed the pause of TS3-PTT-DELAY (3): the squelch keys at the third tick,
    // and again every tick until the client reports its input open.
    ticks(2);
    EXPECT_TRUE(link.take().isEmpty());
    EXPECT_EQ(engine->display().sqlLamp.color, GwColor::BrightGreen);
    EXPECT_EQ(engine->display().sqlLamp.hint, QStringLiteral("COM1 / DSR-PIN"));
    ticks(2);
    EXPECT_EQ(link.take(), (QStringList{QStringLiteral("SETPTT scHandler=3 status=1"),
                                        QStringLiteral("SETPTT scHandler=3 status=1")}));
    line("SELFVAR", {"scHandler=3", "flag=10", "newValue=0"});
    ticks(3);
    EXPECT_TRUE(link.take().isEmpty());

    // TeamSpeak speech while the squelch stays open: the client's PTT goes off at once.
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
    EXPECT_EQ(link.take().value(0), QStringLiteral("SETPTT scHandler=3 status=0"));
    line("SELFVAR", {"scHandler=3", "flag=10", "newValue=1"});
    ticks(10);
    EXPECT_TRUE(link.take().isEmpty());
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    link.take();
    // TS3-RX (3) runs out at the 4th tick, then the pause of 3 ticks: SETPTT 1 at the 7th.
    for (int t = 1; t <= 6; ++t) {
        SCOPED_TRACE(t);
        ticks(1);
        EXPECT_TRUE(link.take().isEmpty());
        EXPECT_EQ(ptt(), t < 4);
    }
    ticks(1);
    EXPECT_EQ(link.take(), QStringList{QStringLiteral("SETPTT scHandler=3 status=1")});
    line("SELFVAR", {"scHandler=3", "flag=10", "newValue=0"});

    // The squelch closes: SETPTT 0 until the client reports the input closed.
    host->setInput(1, QStringLiteral("DSR"), false);
    ticks(2);
    EXPECT_EQ(link.take(), (QStringList{QStringLiteral("SETPTT scHandler=3 status=0"),
                                        QStringLiteral("SETPTT scHandler=3 status=0")}));
    EXPECT_EQ(engine->display().sqlLamp.color, GwColor::Green);
    line("SELFVAR", {"scHandler=3", "flag=10", "newValue=1"});
    ticks(2);
    EXPECT_TRUE(link.take().isEmpty());
}

TEST_F(RelayTest, WithoutThePttOutputNoSerialLineIsTouched)
{
    settings.setValue(QStringLiteral("COM-OUT-ON"), QStringLiteral("False"));
    openConnected();
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
    ticks(5);
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    EXPECT_EQ(engine->SPEAKERS.value(QStringLiteral("TS3-RX")), QStringLiteral("0"));
    ticks(1);
    EXPECT_TRUE(engine->SPEAKERS.isEmpty());
    EXPECT_EQ(host->writes, 0);
    EXPECT_EQ(engine->display().pttLamp.color, GwColor::Silver);
    EXPECT_TRUE(engine->display().pttLamp.hint.isEmpty());
}

TEST_F(RelayTest, RegisteredUserRules)
{
    const struct {
        const char* name;
        const char* volume;
        const char* notp;
        const char* voiceVolume;
        bool relayed;
    } cases[] = {
        {"blocked user", "-5", "1", "SETVOICEVOLUME scHandler=3 userID=8 block=1 level=-5.0 general=2", false},
        {"louder user", "6", "0", "SETVOICEVOLUME scHandler=3 userID=8 block=0 level=6.0 general=2", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings.setValue(QStringLiteral("AUDIO-USER-VOLUME"), QStringLiteral("2"));
        IniFile rem(dir.path() + QStringLiteral("/") + QLatin1String(kUid) + QStringLiteral(".rem"));
        ASSERT_TRUE(rem.writeString(kUidA, QStringLiteral("VOLUME"), QLatin1String(c.volume)));
        ASSERT_TRUE(rem.writeString(kUidA, QStringLiteral("NOTP"), QLatin1String(c.notp)));
        openConnected();
        const int vox = engine->relay().TS3_VOX_DELAY;
        engine->ParseIncomingTS3Data(QStringLiteral("RXVOICE"), items({"scHandler=3", "speakers=1", "status=1",
                                                                       "clientID=8", "clientUID=abcDEF123+^cuserA="}));
        const QStringList sent = link.take();
        EXPECT_EQ(sent.value(0), QLatin1String(c.voiceVolume));
        EXPECT_EQ(sent.size() == 1, !c.relayed);
        ticks(1);
        EXPECT_EQ(ptt(), c.relayed);
        line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8", "clientUID=abcDEF123+^cuserA="});
        if (!c.relayed) {
            EXPECT_TRUE(link.take().isEmpty());
            EXPECT_TRUE(engine->SPEAKERS.isEmpty());
            EXPECT_EQ(engine->relay().TS3_VOX_DELAY, vox);
        }
        engine.reset();
        link.take();
    }
    // Without a client id or a long enough UID no rules are looked up.
    openConnected();
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=0", "clientUID=abcDEF123+^cuserA="});
    EXPECT_FALSE(link.take().join(QLatin1Char('\n')).contains(QStringLiteral("SETVOICEVOLUME")));
}

TEST_F(RelayTest, DoubleTalkIsMutedAndTheMessageRateLimited)
{
    openConnected();
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
    link.take();
    const QString message = QStringLiteral(
        "MSGTOUSER scHandler=3 userID=9 message=[b][color^g#FF0000]Double-Talk^sis^snot^sallowed^shere[^ccolor][^cb]");
    // Eleven messages fit under the limit of 30 (3 each), then only the mute goes out.
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        line("RXVOICE", {"scHandler=3", "speakers=2", "status=1", "clientID=9"});
        const QStringList sent = link.take();
        EXPECT_EQ(sent.contains(message), i < 11);
        EXPECT_EQ(sent.last(), QStringLiteral("MUTECLIENT scHandler=3 userID=9"));
    }
    EXPECT_EQ(engine->relay().SPAM_COUNT_VAR, 33);
    seconds(2);
    line("RXVOICE", {"scHandler=3", "speakers=2", "status=1", "clientID=9"});
    EXPECT_FALSE(link.take().contains(message));
    seconds(1);
    EXPECT_EQ(engine->relay().SPAM_COUNT_VAR, 30);
    line("RXVOICE", {"scHandler=3", "speakers=2", "status=1", "clientID=9"});
    EXPECT_TRUE(link.take().contains(message));

    // Nobody talks any more: everybody is unmuted. With double talk allowed, nobody is muted.
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    EXPECT_EQ(link.take().last(), QStringLiteral("UNMUTEALL scHandler=3"));
    SettingsList allowed = engine->DATARRAY;
    allowed.setValue(QStringLiteral("TS3-DOPPEL-RX"), QStringLiteral("True"));
    engine->WriteConfig(allowed);
    line("RXVOICE", {"scHandler=3", "speakers=2", "status=1", "clientID=9"});
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=9"});
    const QString all = link.take().join(QLatin1Char('\n'));
    EXPECT_FALSE(all.contains(QStringLiteral("MUTECLIENT")));
    EXPECT_FALSE(all.contains(QStringLiteral("UNMUTEALL")));
}

TEST_F(RelayTest, TransmitterIsNeverLeftKeyed)
{
    const struct {
        const char* name;
        void (*keyUp)(RelayTest&);
        void (*drop)(RelayTest&);
        int ticksAllowed; // relay ticks after the drop before the line must be low
    } cases[] = {
        {"close while keyed by hand, not connected", [](RelayTest& t) { t.engine->radioLampPressed(); },
         [](RelayTest& t) {
             t.host->answerYes = true;
             EXPECT_TRUE(t.engine->CloseQuery());
         },
         0},
        {"close while relaying",
         [](RelayTest& t) {
             t.connect(3);
             t.line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
         },
         [](RelayTest& t) { t.engine->BeendeForm(); }, 0},
        {"link lost while relaying",
         [](RelayTest& t) {
             t.connect(3);
             t.line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
         },
         [](RelayTest& t) { t.engine->TS3_Disconnect(); }, 4},
        {"plugin greets again (reset) while relaying",
         [](RelayTest& t) {
             t.connect(3);
             t.line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
         },
         [](RelayTest& t) { t.engine->ResetGateway(); }, 1},
        {"output switched off in the settings while keyed", [](RelayTest& t) { t.engine->radioLampPressed(); },
         [](RelayTest& t) {
             SettingsList s = t.engine->DATARRAY;
             s.setValue(QStringLiteral("COM-OUT-ON"), QStringLiteral("False"));
             t.engine->WriteConfig(s);
         },
         1},
        {"output moved to another pin while keyed", [](RelayTest& t) { t.engine->radioLampPressed(); },
         [](RelayTest& t) {
             SettingsList s = t.engine->DATARRAY;
             s.setValue(QStringLiteral("COM-OUT-PIN"), QStringLiteral("DTR"));
             t.engine->WriteConfig(s);
         },
         1},
        {"engine destroyed while keyed", [](RelayTest& t) { t.engine->radioLampPressed(); },
         [](RelayTest& t) { t.engine.reset(); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open();
        c.keyUp(*this);
        ticks(3);
        ASSERT_TRUE(host->held(1, QStringLiteral("RTS")));
        c.drop(*this);
        if (engine)
            ticks(c.ticksAllowed);
        EXPECT_FALSE(host->held(1, QStringLiteral("RTS")));
        EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));
        if (engine) {
            ticks(20);
            EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));
        }
        engine.reset();
        host->holders.clear();
        host->levels.clear();
    }
}

// The setup edits the very list the gateway runs on (WriteConfigToGateway hands it over):
// each edit acts from the next tick on, although the tick keeps what it reads of it.
TEST_F(RelayTest, EditsOfTheLiveSettingsActAtTheNextTick)
{
    host->openPorts.insert(2);
    openConnected();
    auto live = std::make_shared<SettingsList>(engine->DATARRAY.list());
    engine->WriteConfig(live);
    engine->radioLampPressed();
    ticks(1);
    ASSERT_TRUE(host->held(1, QStringLiteral("RTS")));

    live->setValue(QStringLiteral("COM-OUT-PIN"), QStringLiteral("DTR"));
    ticks(1);
    EXPECT_FALSE(host->held(1, QStringLiteral("RTS")));
    EXPECT_TRUE(host->held(1, QStringLiteral("DTR")));
    EXPECT_EQ(engine->display().pttLamp.hint, QStringLiteral("COM1 / DTR-PIN"));

    live->setValue(QStringLiteral("COM-OUT-NUM"), QStringLiteral("2"));
    ticks(1);
    EXPECT_FALSE(host->held(1, QStringLiteral("DTR")));
    EXPECT_TRUE(host->held(2, QStringLiteral("DTR")));

    live->setValue(QStringLiteral("COM-OUT-ON"), QStringLiteral("False"));
    ticks(1);
    EXPECT_FALSE(host->held(2, QStringLiteral("DTR")));
    EXPECT_EQ(engine->display().pttLamp.color, GwColor::Silver);

    // The squelch input and the keying mode, changed the same way.
    host->setInput(1, QStringLiteral("CTS"), true);
    live->setValue(QStringLiteral("COM-IN-ON"), QStringLiteral("True"));
    live->setValue(QStringLiteral("COM-IN-PIN"), QStringLiteral("CTS"));
    engine->radioLampReleased();
    ticks(2);
    EXPECT_EQ(engine->display().sqlLamp.color, GwColor::Silver); // VOX mode: no squelch lamp
    live->lines().replaceInStrings(QStringLiteral("TS3-TX-PIN=VOX"), QStringLiteral("TS3-TX-PIN=COM"));
    link.take();
    ticks(1);
    EXPECT_EQ(engine->display().sqlLamp.color, GwColor::BrightGreen);
    EXPECT_EQ(link.take(), QStringList{QStringLiteral("SETPTT scHandler=3 status=1")});
}

TEST_F(RelayTest, SecondOutputFollowsTheClientsTransmissionAndDropsWithTheConnection)
{
    settings.setValue(QStringLiteral("COM-OUT-TX-ON"), QStringLiteral("True"));
    settings.setValue(QStringLiteral("COM-OUT-TX-NUM"), QStringLiteral("1"));
    settings.setValue(QStringLiteral("COM-OUT-TX-INVERT"), QStringLiteral("True"));
    openConnected();
    EXPECT_TRUE(host->level(1, QStringLiteral("DTR")) || !host->levels.contains(QStringLiteral("COM1/DTR")));
    line("TXVOICE", {"scHandler=3", "status=1"});
    EXPECT_FALSE(host->level(1, QStringLiteral("DTR"))); // active low
    EXPECT_EQ(engine->display().txOutLamp.color, GwColor::Red);
    EXPECT_EQ(engine->display().txLabel.text, QStringLiteral("send Audio"));
    line("TXVOICE", {"scHandler=3", "status=0"});
    EXPECT_TRUE(host->level(1, QStringLiteral("DTR")));
    EXPECT_EQ(engine->display().txOutLamp.color, GwColor::DarkRed);

    line("TXVOICE", {"scHandler=3", "status=1"});
    EXPECT_TRUE(host->held(1, QStringLiteral("DTR")));
    engine->TS3_Disconnect();
    EXPECT_FALSE(host->held(1, QStringLiteral("DTR")));
    EXPECT_TRUE(host->level(1, QStringLiteral("DTR")));
}

// With the link down every send fails and the session puts every gateway into Idle
// (TS3_Disconnect) from inside the send. The engine must survive being re-entered that
// way at any point and still release the radio.
TEST_F(RelayTest, SendsThatDisconnectFromInsideAreSurvived)
{
    class DroppingSender : public LinkSender {
    public:
        GatewayEngine* engine = nullptr;
        int depth = 0;
        int sends = 0;
        void SendToTS3(const QString&, const QString&) override
        {
            ++sends;
            if (engine && depth == 0) {
                ++depth;
                engine->TS3_Disconnect();
                --depth;
            }
        }
    } dropping;
    settings.setValue(QStringLiteral("HF-ROGER-BEEP"), QStringLiteral("True"));
    settings.setValue(QStringLiteral("TS3-CMDR-ON-ACT"), QStringLiteral("True"));
    settings.setValue(QStringLiteral("TS3-CMDR-ON-RX"), QStringLiteral("True"));
    host->openPorts.insert(1);
    ASSERT_TRUE(SaveSettingsFile(gatewayFile(), settings));
    ProbeEngine e(dropping, *host, clock);
    SettingsList params;
    params.setValue(QStringLiteral("CFG_FILE"), gatewayFile());
    ASSERT_TRUE(e.StarteForm(params));
    dropping.engine = &e;
    e.ParseIncomingTS3Data(QStringLiteral("GW_CONNECT"),
                           items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=3"}));
    e.ParseIncomingTS3Data(QStringLiteral("CONNECT"), items({"scHandler=3", "status=4"}));
    e.radioLampPressed();
    e.ParseIncomingTS3Data(QStringLiteral("RXVOICE"), items({"scHandler=3", "speakers=2", "status=1", "clientID=8"}));
    e.ParseIncomingTS3Data(QStringLiteral("WAVEPLAYER"), items({"scHandler=3", "status=1", "len=3"}));
    for (int i = 0; i < 5; ++i) {
        clock.advance(100);
        e.relayTick();
    }
    e.radioLampReleased();
    e.ParseIncomingTS3Data(QStringLiteral("RXVOICE"), items({"scHandler=3", "speakers=0", "status=0", "clientID=8"}));
    for (int i = 0; i < 40; ++i) {
        clock.advance(100);
        e.relayTick();
        if (i % 10 == 0)
            e.secondTick();
    }
    EXPECT_GT(dropping.sends, 0);
    EXPECT_FALSE(e.TS3_IstConnected());
    EXPECT_EQ(e.TS3_scHandlerID(), 0);
    EXPECT_FALSE(host->held(1, QStringLiteral("RTS")));
    dropping.engine = nullptr;
}

// The talker count that answers GETSPEAKER on every connect: "nobody talks" ends a
// reception only when one was being relayed, so a connect never keys the radio or sends
// the end and roger beeps by itself; a count above 0 keys it, and 0 then ends it.
TEST_F(RelayTest, TalkerCountAfterConnectKeysTheRadioOnlyForRealSpeech)
{
    settings.setValue(QStringLiteral("HF-ROGER-BEEP"), QStringLiteral("True"));
    openConnected();

    line("SPEAKERS", {"scHandler=3", "speakers=0", "users=2", "status=0"});
    EXPECT_TRUE(engine->SPEAKERS.isEmpty());
    EXPECT_TRUE(engine->hooks.isEmpty());
    ticks(30);
    EXPECT_FALSE(ptt());
    EXPECT_TRUE(engine->hooks.isEmpty());

    line("SPEAKERS", {"scHandler=3", "speakers=1", "users=2", "status=1"});
    EXPECT_EQ(engine->SPEAKERS.value(QStringLiteral("TS3-RX")), QStringLiteral("-1"));
    ticks(1);
    EXPECT_TRUE(ptt());
    engine->hooks.clear();
    line("SPEAKERS", {"scHandler=3", "speakers=0", "users=2", "status=0"});
    EXPECT_EQ(engine->SPEAKERS.value(QStringLiteral("TS3-RX")), QStringLiteral("3"));
    EXPECT_EQ(engine->hooks, QStringList{QStringLiteral("PlayRxEndBeep")});
}
