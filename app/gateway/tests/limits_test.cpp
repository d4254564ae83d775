// The one-second counters: transmit time limits and timed commands.
#include "gatewayfixture.h"

class LimitTest : public GatewayTest {
public:
    void openConnected()
    {
        open();
        connect(3);
        ticks(10);
        link.take();
    }
};

TEST_F(LimitTest, ContinuousTransmissionIsBlockedAtTheLimitAndReleasedAfterTheResetTime)
{
    const struct {
        const char* name;
        const char* onKey;
        const char* command; // what silences that direction
        void (*start)(LimitTest&);
    } sides[] = {
        {"teamspeak side", "TS3-TX-MAX-ON", "SETRUHE",
         [](LimitTest& t) {
             t.line("TXVOICE", {"scHandler=3", "status=1"});
         }},
        {"radio side", "HF-TX-MAX-ON", "SETMUTE",
         [](LimitTest& t) {
             t.engine->radioLampPressed();
             t.ticks(1);
         }},
    };
    const QString red = QStringLiteral(
        "MSGTOCHAN scHandler=3 "
        "message=[b][color^g#FF0000]AIRTIME^sLIMIT^shas^sbeen^sactivated^s>>^s30^sSeconds[^ccolor][^cb]");
    const QString green =
        QStringLiteral("MSGTOCHAN scHandler=3 message=[b][color^g#008000]The^sGateway^sis^sre-enabled[^ccolor][^cb]");
    for (const auto& side : sides) {
        SCOPED_TRACE(side.name);
        settings = baseSettings();
        settings.setValue(QLatin1String(side.onKey), QStringLiteral("True"));
        openConnected();
        side.start(*this);
        link.take();
        seconds(300);
        EXPECT_TRUE(link.take().isEmpty());
        seconds(1);
        EXPECT_EQ(link.take(),
                  (QStringList{QLatin1String(side.command) + QStringLiteral(" scHandler=3 status=1"), red}));
        seconds(30);
        EXPECT_TRUE(link.take().isEmpty());
        seconds(1);
        EXPECT_EQ(link.take(),
                  (QStringList{QLatin1String(side.command) + QStringLiteral(" scHandler=3 status=0"), green}));
        engine.reset();
    }
}

TEST_F(LimitTest, LimitAppliesToOneTransmissionNotToTheirSum)
{
    settings.setValue(QStringLiteral("TS3-TX-MAX-ON"), QStringLiteral("True"));
    openConnected();
    line("TXVOICE", {"scHandler=3", "status=1"});
    seconds(200);
    EXPECT_EQ(engine->display().ts3Bar.pos, 200);
    EXPECT_EQ(engine->display().ts3Bar.max, 300);
    line("TXVOICE", {"scHandler=3", "status=0"});
    EXPECT_EQ(engine->display().ts3Bar.pos, 0);
    EXPECT_EQ(engine->display().ts3LimitLamp.color, GwColor::Green);
    seconds(1);
    line("TXVOICE", {"scHandler=3", "status=1"});
    EXPECT_EQ(engine->display().ts3LimitLamp.color, GwColor::BrightGreen);
    link.take();
    seconds(300);
    EXPECT_TRUE(link.take().isEmpty());
    seconds(1);
    EXPECT_EQ(link.take().value(0), QStringLiteral("SETRUHE scHandler=3 status=1"));
    EXPECT_EQ(engine->display().ts3LimitLamp.color, GwColor::Red);
}

TEST_F(LimitTest, TimedCommandsAndBadEntries)
{
    openConnected();
    const struct {
        const char* entry;
        int fireAt; // one-second tick that acts, 0 = never
        const char* sent;
    } cases[] = {
        {"TS3-AWAY-1=600", 601, "SETAFK scHandler=3 status=1"},
        {"TS3-MUTE-0=2", 3, "SETMUTE scHandler=3 status=0"},
        {"TS3-RUHE-1=0", 1, "SETRUHE scHandler=3 status=1"},
        {"TS3-AWAY-1=abc", 0, ""},
        {"TS3-MUTE-1=-4", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        engine->COUNTER.lines() << QLatin1String(c.entry);
        const int until = c.fireAt > 0 ? c.fireAt : 1;
        seconds(until - 1);
        EXPECT_TRUE(link.take().isEmpty());
        seconds(1);
        EXPECT_EQ(link.take().join(QLatin1Char('\n')), QLatin1String(c.sent));
        EXPECT_TRUE(engine->COUNTER.isEmpty());
    }
}

TEST_F(LimitTest, LimitLampsFollowTheSettings)
{
    settings.setValue(QStringLiteral("HF-TX-MAX-ON"), QStringLiteral("True"));
    open();
    EXPECT_EQ(engine->display().hfLimitLamp.color, GwColor::Green);
    EXPECT_EQ(engine->display().ts3LimitLamp.color, GwColor::Silver);
    SettingsList s = engine->DATARRAY;
    s.setValue(QStringLiteral("HF-TX-MAX-ON"), QStringLiteral("False"));
    s.setValue(QStringLiteral("TS3-TX-MAX-ON"), QStringLiteral("True"));
    engine->WriteConfig(s);
    EXPECT_EQ(engine->display().hfLimitLamp.color, GwColor::Silver);
    EXPECT_EQ(engine->display().ts3LimitLamp.color, GwColor::Green);
}
