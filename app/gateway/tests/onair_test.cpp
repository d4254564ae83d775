// What an unattended link meets sooner or later: settings changed while transmitting,
// connections lost mid-over, blocked users, settings that can never be right. Nothing may
// stay keyed, block a channel or chatter on the PTT line.
#include "gatewayfixture.h"

#include "app/config/inifile.h"

namespace {
const char* const kBlockedUid = "abcDEF123+^cuserB="; // as it arrives escaped
const QString kBlockedUidPlain = QStringLiteral("abcDEF123+/userB=");
} // namespace

class OnAirTest : public GatewayTest {
public:
    void openConnected()
    {
        open();
        connect(3);
        ticks(10);
        link.take();
        engine->hooks.clear();
        host->edges.clear();
    }
    void setAll(std::initializer_list<std::pair<const char*, const char*>> values)
    {
        for (const auto& [k, v] : values)
            settings.setValue(QLatin1String(k), QLatin1String(v));
    }
    // Runs the one-second counters for n seconds with the relay ticks in between.
    void run(int n)
    {
        for (int i = 0; i < n; ++i) {
            ticks(10);
            engine->secondTick();
        }
    }
    QStringList sentWith(const QString& part)
    {
        QStringList out;
        for (const QString& l : link.take())
            if (l.contains(part))
                out << l;
        return out;
    }
    QList<bool> rtsEdges() const { return host->edges.value(QStringLiteral("COM1/RTS")); }
};

TEST_F(OnAirTest, SecondOutputIsReleasedWhenTheTransmissionEndsWhateverTheSettingsSayByThen)
{
    const struct {
        const char* name;
        const char* key;
        const char* value;
    } cases[] = {
        {"second output switched off", "COM-OUT-TX-ON", "False"},
        {"second output moved to another port", "COM-OUT-TX-NUM", "2"},
        {"second output moved to another pin", "COM-OUT-TX-PIN", "RTS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings = baseSettings();
        setAll({{"COM-OUT-TX-ON", "True"}, {"COM-OUT-TX-NUM", "1"}, {"COM-OUT-TX-PIN", "DTR"}});
        host->openPorts.insert(2);
        openConnected();
        line("TXVOICE", {"scHandler=3", "status=1"});
        ASSERT_TRUE(host->held(1, QStringLiteral("DTR")));

        SettingsList edited = engine->DATARRAY;
        edited.setValue(QLatin1String(c.key), QLatin1String(c.value));
        engine->WriteConfig(edited);
        line("TXVOICE", {"scHandler=3", "status=0"});
        EXPECT_FALSE(host->held(1, QStringLiteral("DTR")));
        EXPECT_FALSE(host->level(1, QStringLiteral("DTR")));
        ticks(5);
        EXPECT_FALSE(host->level(1, QStringLiteral("DTR")));
        engine.reset();
        host->holders.clear();
        host->levels.clear();
    }
}

TEST_F(OnAirTest, TeamspeakAirtimeCountsOnlyWhileTheOwnClientTransmits)
{
    // The own client stops talking while a TeamSpeak user is relayed to the radio and the
    // commander follows the relayed speech: the commander stays, the airtime count ends.
    setAll({{"TS3-CMDR-ON-RX", "True"},
            {"TS3-CMDR-ON-ACT", "True"},
            {"TS3-CMDR-ON-TX", "True"},
            {"TS3-TX-MAX-ON", "True"},
            {"TS3-TX-MAXTIME", "5"},
            {"TS3-TX-MAXRESET", "30"}});
    openConnected();
    line("TXVOICE", {"scHandler=3", "status=1"});
    run(2);
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
    link.take();
    line("TXVOICE", {"scHandler=3", "status=0"});
    EXPECT_TRUE(sentWith(QStringLiteral("SETCHCOM")).isEmpty()); // the relayed speech still holds it
    EXPECT_FALSE(engine->COUNTER.contains(QStringLiteral("TXTIME-TS3-ON")));
    EXPECT_EQ(engine->display().ts3LimitLamp.color, GwColor::Green);
    EXPECT_EQ(engine->display().ts3Bar.pos, 0);

    run(20);
    EXPECT_TRUE(sentWith(QStringLiteral("SETRUHE")).isEmpty());
    EXPECT_TRUE(sentWith(QStringLiteral("MSGTOCHAN")).isEmpty());
    EXPECT_FALSE(engine->COUNTER.contains(QStringLiteral("TXTIME-TS3-OFF")));

    // The next transmission gets its full time again.
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    run(2);
    line("TXVOICE", {"scHandler=3", "status=1"});
    EXPECT_EQ(engine->COUNTER.value(QStringLiteral("TXTIME-TS3-ON")), QStringLiteral("5"));
}

TEST_F(OnAirTest, LostConnectionReleasesTheRadioOnceAndForGood)
{
    const struct {
        const char* name;
        void (*drop)(OnAirTest&);
    } cases[] = {
        {"server connection lost",
         [](OnAirTest& t) {
             t.line("CONNECT", {"scHandler=3", "status=0"});
         }},
        {"link to the plugin lost", [](OnAirTest& t) { t.engine->TS3_Disconnect(); }},
        {"plugin greets again", [](OnAirTest& t) { t.engine->ResetGateway(); }},
        {"eight pings lost",
         [](OnAirTest& t) {
             for (int i = 0; i < 8; ++i)
                 t.engine->pingTick();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openConnected();
        line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
        ticks(2);
        ASSERT_TRUE(host->level(1, QStringLiteral("RTS")));
        host->edges.clear();
        c.drop(*this);
        ticks(30);
        EXPECT_EQ(rtsEdges(), QList<bool>{false});
        engine.reset();
        host->holders.clear();
        host->levels.clear();
    }

    // A connection that comes up while the radio is keyed by hand does not unkey it for a
    // tick either.
    open();
    engine->radioLampPressed();
    ticks(2);
    ASSERT_TRUE(host->level(1, QStringLiteral("RTS")));
    host->edges.clear();
    connect(3);
    ticks(5);
    EXPECT_TRUE(rtsEdges().isEmpty());
    engine->radioLampReleased();
    ticks(2);
    EXPECT_EQ(rtsEdges(), QList<bool>{false});
}

TEST_F(OnAirTest, BlockedUserKeysNothingNotEvenTheBeeps)
{
    IniFile rem(dir.path() + QStringLiteral("/") + QLatin1String(kUid) + QStringLiteral(".rem"));
    ASSERT_TRUE(rem.writeString(kBlockedUidPlain, QStringLiteral("NOTP"), QStringLiteral("1")));
    openConnected();
    const QByteArray uid = QByteArray("clientUID=") + kBlockedUid;
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=9", uid.constData()});
    ticks(3);
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=9", uid.constData()});
    ticks(10);
    EXPECT_TRUE(engine->hooks.isEmpty()) << engine->hooks.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(rtsEdges().isEmpty());
    EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));

    // Somebody else still gets both beeps.
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    EXPECT_EQ(engine->hooks, (QStringList{QStringLiteral("PlayRxStartBeep"), QStringLiteral("PlayRxEndBeep")}));
}

// A blocked user is in the client's count of talkers like anybody else. Whoever stops
// first, the radio is keyed only while somebody who is not blocked talks.
TEST_F(OnAirTest, BlockedUserTalkingOnNeitherKeysNorHoldsTheRadio)
{
    IniFile rem(dir.path() + QStringLiteral("/") + QLatin1String(kUid) + QStringLiteral(".rem"));
    ASSERT_TRUE(rem.writeString(kBlockedUidPlain, QStringLiteral("NOTP"), QStringLiteral("1")));
    const QByteArray uid = QByteArray("clientUID=") + kBlockedUid;
    const struct {
        const char* name;
        bool blockedFirst;   // the blocked user starts before the other one
        bool otherEndsFirst; // the other one stops while the blocked user talks on
    } cases[] = {
        {"other starts first, stops first", false, true},
        {"blocked starts first, other stops first", true, true},
        {"other starts first, blocked stops first", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openConnected();
        const auto blocked = [&](int talking, int speakers) {
            const QByteArray sp = "speakers=" + QByteArray::number(speakers);
            const QByteArray st = "status=" + QByteArray::number(talking);
            line("RXVOICE", {"scHandler=3", sp.constData(), st.constData(), "clientID=9", uid.constData()});
        };
        const auto other = [&](int talking, int speakers) {
            const QByteArray sp = "speakers=" + QByteArray::number(speakers);
            const QByteArray st = "status=" + QByteArray::number(talking);
            line("RXVOICE", {"scHandler=3", sp.constData(), st.constData(), "clientID=8"});
        };
        if (c.blockedFirst) {
            blocked(1, 1);
            ticks(3);
            EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));
            other(1, 2);
        } else {
            other(1, 1);
            ticks(3);
            blocked(1, 2);
        }
        ticks(3);
        EXPECT_TRUE(host->level(1, QStringLiteral("RTS")));
        if (c.otherEndsFirst) {
            other(0, 1);
            ticks(10); // the release delay and a roger beep's wait
            EXPECT_FALSE(host->level(1, QStringLiteral("RTS"))) << "keyed for the blocked user";
            blocked(0, 0);
        } else {
            blocked(0, 1);
            ticks(10);
            EXPECT_TRUE(host->level(1, QStringLiteral("RTS"))) << "the other user still talks";
            other(0, 0);
        }
        ticks(10);
        EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));
        EXPECT_TRUE(engine->SPEAKERS.isEmpty()) << engine->SPEAKERS.lines().join(QLatin1Char(' ')).toStdString();
    }
}

// The client reports talk only within the own channel: a talker who leaves it, or a
// channel the gateway leaves, sends no talk end. The radio must not stay keyed for them.
TEST_F(OnAirTest, TalkerWhoLeavesTheChannelReleasesTheRadio)
{
    const struct {
        const char* name;
        const char* command;
        std::initializer_list<const char*> items;
    } cases[] = {
        {"the talker goes to another channel", "USEROUT", {"scHandler=3", "userID=8", "nickname=Bert"}},
        {"the gateway goes to another channel", "MOVED", {"scHandler=3", "moverID=0", "channelName=Funk"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        openConnected();
        line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
        ticks(3);
        ASSERT_TRUE(host->level(1, QStringLiteral("RTS")));
        link.take();
        engine->hooks.clear();
        line(c.command, c.items);
        EXPECT_EQ(sentWith(QStringLiteral("GETSPEAKER")), QStringList{QStringLiteral("GETSPEAKER scHandler=3")});
        // Somebody else still talks: nothing changes, no second start beep.
        line("SPEAKERS", {"scHandler=3", "speakers=1", "users=2", "status=1"});
        ticks(10);
        EXPECT_TRUE(host->level(1, QStringLiteral("RTS")));
        EXPECT_TRUE(engine->hooks.isEmpty()) << engine->hooks.join(QLatin1Char(' ')).toStdString();
        // Asked again after the next change, nobody is left: the reception ends as a talk
        // end would have ended it.
        line(c.command, c.items);
        line("SPEAKERS", {"scHandler=3", "speakers=0", "users=1", "status=0"});
        ticks(10);
        EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));
        EXPECT_EQ(engine->hooks, QStringList{QStringLiteral("PlayRxEndBeep")});
        // With nothing relayed, nobody is asked.
        link.take();
        line(c.command, c.items);
        EXPECT_TRUE(sentWith(QStringLiteral("GETSPEAKER")).isEmpty());
    }
}

TEST_F(OnAirTest, EitherOutputTransmittingCountsForTheRadioSideLimit)
{
    setAll({{"COM-OUT-TX-ON", "True"},
            {"COM-OUT-TX-NUM", "1"},
            {"HF-TX-MAX-ON", "True"},
            {"HF-TX-MAXTIME", "5"},
            {"HF-TX-MAXRESET", "30"}});
    openConnected();
    // A radio over that ends before the limit ends the count with it.
    line("TXVOICE", {"scHandler=3", "status=1"});
    run(2);
    EXPECT_EQ(engine->COUNTER.value(QStringLiteral("TXTIME-HF-ON")), QStringLiteral("3"));
    line("TXVOICE", {"scHandler=3", "status=0"});
    ticks(1);
    EXPECT_FALSE(engine->COUNTER.contains(QStringLiteral("TXTIME-HF-ON")));

    // One that runs on reaches it: the TeamSpeak output is muted and the channel told.
    link.take();
    line("TXVOICE", {"scHandler=3", "status=1"});
    run(6);
    EXPECT_EQ(sentWith(QStringLiteral("SETMUTE")), QStringList{QStringLiteral("SETMUTE scHandler=3 status=1")});
    EXPECT_TRUE(engine->COUNTER.contains(QStringLiteral("TXTIME-HF-OFF")));
    EXPECT_EQ(engine->display().hfLimitLamp.color, GwColor::Red);
}

TEST_F(OnAirTest, VoiceActivationStaysOffWhenSpeechStartsAsItsPauseRunsOut)
{
    open();
    connect(3); // arms the pause of TS3-VOX-DELAY (3)
    ticks(3);
    ASSERT_EQ(engine->relay().TS3_VOX_DELAY, 0); // would switch voice activation on at the next tick
    link.take();
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
    EXPECT_EQ(sentWith(QStringLiteral("SETVOX")), QStringList{QStringLiteral("SETVOX scHandler=3 status=0")});
    ticks(20);
    EXPECT_TRUE(sentWith(QStringLiteral("SETVOX")).isEmpty());
    EXPECT_FALSE(engine->relay().VOX_IST_AKTIV);

    // It comes back its delay after the radio was released.
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    ticks(4); // TS3-RX counts 3, 2, 1, 0 and goes
    EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));
    ticks(2);
    EXPECT_TRUE(sentWith(QStringLiteral("SETVOX")).isEmpty());
    ticks(1);
    EXPECT_EQ(sentWith(QStringLiteral("SETVOX")), QStringList{QStringLiteral("SETVOX scHandler=3 status=1 level=-10")});
}

TEST_F(OnAirTest, SettingsThatCanNeverBeRightAreReplacedByTheirDefaultAtLoad)
{
    const struct {
        const char* key;
        const char* value;  // in the file
        const char* loaded; // in the running gateway
    } cases[] = {
        {"TS3-RX-DELAY", "-4", "3"},
        {"TS3-VOX-DELAY", "-1", "3"},
        {"TS3-PTT-DELAY", "soon", "3"},
        {"TS3-TX-MAXRESET", "x", "30"},
        {"HF-TX-MAXRESET", "-30", "30"},
        {"TS3-TX-MAXTIME", "0", "300"},
        {"HF-TX-MAXTIME", "5 min", "300"},
        {"HF-BAKE-TIME", "0", "600"},
        {"DTMF-AKTIV-TIME", "-2", "10"},
        {"DTMF-PROC-DELAY", "x", "5"},
        {"DTMF-RESET-TIME", "-1", "2"},
        // Unusual but possible values stay as they are.
        {"TS3-RX-DELAY", "0", "0"},
        {"TS3-RX-DELAY", "25", "25"},
        {"TS3-TX-MAXTIME", "30", "30"},
        {"TS3-TX-MAXRESET", "0", "0"},
        {"HF-BAKE-TIME", "60", "60"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        settings = baseSettings();
        settings.setValue(QLatin1String(c.key), QLatin1String(c.value));
        open();
        EXPECT_EQ(engine->DATARRAY.value(QLatin1String(c.key)), QLatin1String(c.loaded));
        const QString mention = QLatin1String(c.key) + QLatin1Char('=') + QLatin1String(c.value);
        int mentioned = 0;
        for (const GwLogLine& l : engine->log())
            if (l.text.contains(mention))
                ++mentioned;
        EXPECT_EQ(mentioned, QLatin1String(c.value) == QLatin1String(c.loaded) ? 0 : 1);
        engine.reset();
    }

    // A negative release delay no longer keeps the radio keyed for good.
    settings = baseSettings();
    settings.setValue(QStringLiteral("TS3-RX-DELAY"), QStringLiteral("-4"));
    openConnected();
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
    ticks(2);
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    ticks(4);
    EXPECT_FALSE(host->level(1, QStringLiteral("RTS")));
}
