// The feed of the status pages against a real gateway engine and plugin session: what a
// snapshot shows while a TeamSpeak user talks, the seconds keyed and the reconnects it adds
// up, and the link's line counts.
#include "app/gateway/tests/gatewayfixture.h"
#include "app/session/linksession.h"
#include "app/session/tests/sessionfakes.h"
#include "app/core/webstatus.h"

#include <QCoreApplication>

namespace {

class WebStatusFeedTest : public GatewayTest {
protected:
    void SetUp() override
    {
        GatewayTest::SetUp();
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "rd_core_tests";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv); // alive to the end of the process
        }
        LinkSession::Deps d;
        d.transport = &transport;
        d.gateways = &directory;
        d.view = &view;
        d.clock = &clock;
        d.settings = &sessionSettings;
        d.text = testText;
        session = std::make_unique<LinkSession>(d);
    }
    StatusSnapshot sample(qint64 ms)
    {
        feed->sample(ms);
        return board->statusSnapshot();
    }
    FakeTransport transport;
    FakeDirectory directory;
    RecordingView view;
    SettingsList sessionSettings;
    std::unique_ptr<LinkSession> session;
    std::shared_ptr<StatusBoard> board = std::make_shared<StatusBoard>();
    std::unique_ptr<WebStatusFeed> feed;
};

TEST_F(WebStatusFeedTest, SnapshotFollowsTheGatewayAndAddsUpKeyedTime)
{
    feed = std::make_unique<WebStatusFeed>(board, directory, *session);
    EXPECT_TRUE(board->statusSnapshot().gateways.isEmpty());
    EXPECT_FALSE(board->statusSnapshot().link.connected);

    open();
    connect(3);
    ticks(10);
    directory.list = {engine.get()};
    StatusSnapshot s = sample(250);
    ASSERT_EQ(s.gateways.size(), 1);
    GatewayStatus g = s.gateways[0];
    EXPECT_EQ(g.gateUID, QLatin1String(kUid));
    EXPECT_EQ(g.name, engine->display().title);
    EXPECT_TRUE(g.connected);
    EXPECT_FALSE(g.radioPtt);
    EXPECT_EQ(g.talkers, 0);
    EXPECT_EQ(g.reconnects, 0u);
    EXPECT_EQ(g.radioKeyedSeconds, 0.0);

    // A TeamSpeak user talks: the radio is keyed, one talker; the time keyed adds up.
    line("RXVOICE", {"scHandler=3", "speakers=1", "status=1", "clientID=8"});
    ticks(1);
    g = sample(250).gateways[0];
    EXPECT_TRUE(g.radioPtt);
    EXPECT_EQ(g.talkers, 1);
    g = sample(500).gateways[0];
    EXPECT_DOUBLE_EQ(g.radioKeyedSeconds, 0.75);
    EXPECT_DOUBLE_EQ(g.tsKeyedSeconds, 0.0);
    line("RXVOICE", {"scHandler=3", "speakers=0", "status=0", "clientID=8"});
    ticks(10); // the release delay
    g = sample(250).gateways[0];
    EXPECT_FALSE(g.radioPtt);
    EXPECT_EQ(g.talkers, 0);
    EXPECT_DOUBLE_EQ(g.radioKeyedSeconds, 0.75);

    // The log: at most the last 20 lines, oldest first.
    for (int i = 0; i < 30; ++i)
        engine->WriteLog(QStringLiteral("line %1").arg(i), GwColor::Grey);
    g = sample(250).gateways[0];
    ASSERT_EQ(g.log.size(), 20);
    EXPECT_TRUE(g.log.first().endsWith(QStringLiteral("line 10")));
    EXPECT_TRUE(g.log.last().endsWith(QStringLiteral("line 29")));

    // Lost and back: one reconnect; an error event counted.
    line("CONNECT", {"scHandler=3", "status=0"});
    g = sample(250).gateways[0];
    EXPECT_FALSE(g.connected) << "still connected after the loss";
    connect(3);
    line("GW_ERROR", {"scHandler=3", "errorCode=1"});
    g = sample(250).gateways[0];
    EXPECT_TRUE(g.connected);
    EXPECT_EQ(g.reconnects, 1u);
    EXPECT_EQ(g.errors, 1u);

    // A gateway that closes leaves the snapshot.
    directory.list.clear();
    EXPECT_TRUE(sample(250).gateways.isEmpty());
}

TEST_F(WebStatusFeedTest, LinkLinesAndSessionsAreCounted)
{
    feed = std::make_unique<WebStatusFeed>(board, directory, *session);
    session->secondTick();
    ASSERT_TRUE(transport.connected);
    session->onConnected();
    session->onBlock("PONG x=1\r\n");
    const quint64 in = sample(250).link.linesIn;
    const quint64 out = sample(250).link.linesOut;
    EXPECT_GE(in, 1u);
    session->onBlock("PONG x=2\r\n");
    session->SendToTS3(QStringLiteral("PING"), QString());
    StatusSnapshot s = sample(250);
    EXPECT_TRUE(s.link.connected);
    EXPECT_GT(s.link.linesIn, in);
    EXPECT_EQ(s.link.linesOut, out + 1);
    EXPECT_EQ(s.link.reconnects, 0u);
    transport.connected = false;
    session->onDisconnected();
    EXPECT_FALSE(sample(250).link.connected);
}

} // namespace
