// The shared gateway clock: order, gateways that go during a tick, and timers that run only
// when there is something to tick.
#include "app/core/gatewayticker.h"

#include <QCoreApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

namespace {
QCoreApplication& tickerApp()
{
    static int argc = 1;
    static char name[] = "rd_core_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return app ? *app : *QCoreApplication::instance();
}

struct Target : TickTarget {
    Target(QString n, QStringList& log) : name(std::move(n)), calls(log) {}
    void relayTick() override
    {
        calls << name + QStringLiteral(".relay");
        if (onRelay)
            onRelay();
    }
    void secondTick() override { calls << name + QStringLiteral(".second"); }
    void pingTick() override { calls << name + QStringLiteral(".ping"); }
    bool dtmfRunning() const override { return decoding; }
    void dtmfTick() override { calls << name + QStringLiteral(".dtmf"); }

    QString name;
    QStringList& calls;
    bool decoding = false;
    std::function<void()> onRelay;
};

class GatewayTickerTest : public ::testing::Test {
protected:
    void SetUp() override { tickerApp(); }
    QStringList calls;
    GatewayTicker ticker;
    Target a{QStringLiteral("a"), calls}, b{QStringLiteral("b"), calls}, c{QStringLiteral("c"), calls};
};

TEST_F(GatewayTickerTest, EveryTickRunsEachGatewayOnceInTheOrderTheyCame)
{
    ticker.enrol(&b);
    ticker.enrol(&a);
    ticker.enrol(&b); // keeps its first place
    ticker.relayStep();
    ticker.secondStep();
    ticker.pingStep();
    EXPECT_EQ(calls, (QStringList{"b.relay", "a.relay", "b.second", "a.second", "b.ping", "a.ping"}));
}

TEST_F(GatewayTickerTest, AGatewayThatGoesDuringATickGetsNoMoreOfIt)
{
    for (Target* t : {&a, &b, &c})
        ticker.enrol(t);
    a.onRelay = [&] { ticker.withdraw(&b); }; // a's tick closes b
    c.onRelay = [&] { ticker.withdraw(&c); }; // c closes itself
    ticker.relayStep();
    ticker.relayStep();
    EXPECT_EQ(calls, (QStringList{"a.relay", "c.relay", "a.relay"}));
    EXPECT_EQ(ticker.enrolled(), 1);
}

TEST_F(GatewayTickerTest, TimersRunOnlyWhileThereIsSomethingToTick)
{
    EXPECT_FALSE(ticker.timersActive());
    ticker.enrol(&a);
    EXPECT_TRUE(ticker.timersActive());
    EXPECT_FALSE(ticker.dtmfTimerActive()) << "no gateway decodes DTMF";

    // A capture that starts later is picked up by the next relay tick, and only the
    // gateway that decodes gets DTMF ticks.
    ticker.enrol(&b);
    b.decoding = true;
    ticker.relayStep();
    EXPECT_TRUE(ticker.dtmfTimerActive());
    calls.clear();
    ticker.dtmfStep();
    EXPECT_EQ(calls, QStringList{"b.dtmf"});

    b.decoding = false;
    ticker.relayStep();
    EXPECT_FALSE(ticker.dtmfTimerActive());

    ticker.withdraw(&a);
    ticker.withdraw(&b);
    EXPECT_FALSE(ticker.timersActive());
    EXPECT_FALSE(ticker.dtmfTimerActive());
}
} // namespace
