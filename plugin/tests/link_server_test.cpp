// The link server over real loopback sockets: greeting, framing, one session at a time,
// the refusal, reconnects, the stop, and the status thread's passes.
#include <netinet/tcp.h>

#include <thread>

#include "plugin_fixture.h"

using testutil::connectTo;
using testutil::readToClose;
using testutil::readUntil;
using testutil::sendAll;

using LinkServer = PluginFixture;

TEST_F(LinkServer, PingIsEchoedByteExactAndCommandsInOneSegmentAnswerInOrder)
{
    sendAll(fd, "PING timestamp=1700000000123 err=0\r\r\n");
    EXPECT_EQ(readUntil(fd, "err=0\r"), "PONG timestamp=1700000000123 err=0\r");

    const std::string got = exchange("GW_PING scHandler=4 timestamp=5 err=0\r\r\nSTARTING \r\r\nGETAPPPATH ");
    EXPECT_EQ(got, "GW_PONG scHandler=4 timestamp=5 err=0\rSTARTING \rAPPPATH  path=^copt^cts3client^c\r");
}

TEST_F(LinkServer, LinesWithoutBlankUnknownWordsAndHandlerZeroGetNothing)
{
    EXPECT_EQ(exchange("WHOAMI\r\r\nPQNG timestamp=1 err=0\r\r\nSETCONFIG a=b\r\r\nGW_PING scHandler=0 timestamp=5 "
                       "err=0\r\r\nwhoami "),
              "");
    const std::string who = exchange("WHOAMI ");
    EXPECT_EQ(who, "WHOAMI libVersion=3.1.10^s[Build:^s1500000000] ClientType=TS3 API=21 gateAPI=1 PORT=0 "
                   "ClientPath=^copt^cts3client^c\r");
    EXPECT_EQ(exchange(">HELLO< "), who);
}

TEST_F(LinkServer, CommandSplitAcrossReadsRunsOnceWhenItsLineEndArrives)
{
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sendAll(fd, "STAR");
    // Nothing comes for the half line (a short bounded wait for the socket).
    EXPECT_EQ(readUntil(fd, "\r", 50), "");
    sendAll(fd, "TING ");
    EXPECT_EQ(readUntil(fd, "\r", 50), "");
    EXPECT_EQ(exchange("\r\nSTARTING "), "STARTING \rSTARTING \r");
}

TEST_F(LinkServer, OverlongLineIsDroppedAndTheSessionGoesOn)
{
    // A line at the limit is read; one byte more is dropped, with a line in the client log.
    const std::string longest = "PING " + std::string(rdplugin::kCommandLineLimit - 5, 'x');
    EXPECT_EQ(exchange(longest), "PONG " + longest.substr(5) + "\r");
    EXPECT_EQ(exchange(longest + "y\r\r\nSTARTING "), "STARTING \r");
    std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
    const auto& log = fake::model().log;
    EXPECT_NE(
        std::find_if(log.begin(), log.end(),
                     [](const std::string& t) { return t.find("Command line of 4096 bytes") != std::string::npos; }),
        log.end());
}

// A peer that keeps the connection but takes no byte: every write still returns at once,
// and once nothing moved for the stall time the session ends. (A socket pair: its buffer
// does not grow as a loopback TCP connection's does.)
TEST_F(LinkServer, PeerThatStopsReadingEndsTheSessionAfterTheStallTime)
{
    ::close(fd);
    fd = -1;
    plugin.reset();
    stallTimeoutMs = 300;
    start(false);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    plugin->adoptSession(pair[0]);
    const std::string line = "STATUS  scHandler=1 connected=1 users=0 speakers=0\r";
    while (plugin->queuedBytes() == 0)
        ASSERT_EQ(plugin->SendToSocket(line), int(line.size()));
    const auto queued = std::chrono::steady_clock::now();
    int result = 0;
    while (result >= 0 && std::chrono::steady_clock::now() - queued < std::chrono::seconds(3)) {
        const auto before = std::chrono::steady_clock::now();
        result = plugin->SendToSocket(line);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100)); // never waits
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto took = std::chrono::steady_clock::now() - queued;
    EXPECT_EQ(result, -1);
    EXPECT_GE(took, std::chrono::milliseconds(300));
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    EXPECT_EQ(plugin->SendToSocket("STATUS \r"), -1); // the session is over
    {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        const auto& log = fake::model().log;
        EXPECT_NE(std::find_if(
                      log.begin(), log.end(),
                      [](const std::string& t) { return t.find("does not read its output for") != std::string::npos; }),
                  log.end());
    }
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST_F(LinkServer, SecondConnectionGetsExactlyTheRefusalWhileTheFirstKeepsWorking)
{
    int second = connectTo(port);
    ASSERT_GE(second, 0);
    bool closed = false;
    EXPECT_EQ(readToClose(second, 5000, &closed), "QUIT errorID=88");
    EXPECT_TRUE(closed);
    ::close(second);
    EXPECT_EQ(exchange("STARTING "), "STARTING \r");
}

TEST_F(LinkServer, ReconnectIsGreetedAgain)
{
    ::close(fd);
    fd = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (plugin->sessionActive() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_FALSE(plugin->sessionActive());
    // With no session every line is dropped.
    EXPECT_EQ(plugin->SendToSocket("STATUS \r"), -1);

    fd = connectTo(port);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readUntil(fd, std::string("\r\0", 2)), std::string("<HELLO>\r\0", 9));
    EXPECT_EQ(exchange("STARTING "), "STARTING \r");
    std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
    EXPECT_EQ(std::count(fake::model().tab.begin(), fake::model().tab.end(), "*** CONNECTED to Relaydeck ***"), 2);
}

TEST_F(LinkServer, ShutdownStopsConnectionsWritesQuitLastAndEndsEveryThread)
{
    gateway(2);
    {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        fake::model().handler(3).status = STATUS_DISCONNECTED;
    }
    fake::model().clearCalls();
    plugin->shutdown();
    bool closed = false;
    EXPECT_EQ(readToClose(fd, 5000, &closed), "QUIT errorID=0 \r");
    EXPECT_TRUE(closed);
    EXPECT_EQ(fake::model().actions(), (std::vector<std::string>{"stopConnection(2,*** QRT ***)"}));
    EXPECT_FALSE(plugin->entry(2)->isGateway);
    EXPECT_FALSE(plugin->listening());
    EXPECT_TRUE(plugin->pluginID().empty());
    // The port is free again: nobody listens on it.
    EXPECT_LT(connectTo(port), 0);
}

TEST_F(LinkServer, ShutdownWithoutSessionAndRestart)
{
    ::close(fd);
    fd = -1;
    plugin->shutdown();
    plugin->registerPluginID("again");
    ASSERT_EQ(plugin->init(), 0);
    ASSERT_TRUE(plugin->waitListening(5000));
    fd = connectTo(plugin->boundPort());
    EXPECT_EQ(readUntil(fd, std::string("\r\0", 2)), std::string("<HELLO>\r\0", 9));
}

TEST_F(LinkServer, SettingsFileChoosesThePortAndItsAbsenceGives26001)
{
    EXPECT_EQ(plugin->linkPort(), "0");
    ::close(fd);
    fd = -1;
    plugin.reset();
    std::filesystem::remove(settings);
    start(false);
    EXPECT_EQ(plugin->linkPort(), "26001");
    // Another program may hold 26001 on this machine; then the bind failure is reported.
    if (plugin->boundPort() != 26001) {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        EXPECT_EQ(fake::model().tab, (std::vector<std::string>{"*BIND* Gateway-Socket failed!!!"}));
    }
}

TEST_F(LinkServer, UnusablePortSettingIsReportedInTheTab)
{
    ::close(fd);
    fd = -1;
    plugin.reset();
    fake::model().clearCalls();
    std::ofstream(settings, std::ios::trunc) << "[LINKSettings]\nPORT=notaport\n";
    rdplugin::LinkPlugin::Options o;
    o.settingsPath = settings;
    o.runStatusThread = false;
    plugin = std::make_unique<rdplugin::LinkPlugin>(o);
    plugin->setFunctionPointers(fake::table());
    ASSERT_EQ(plugin->init(), 0);
    EXPECT_FALSE(plugin->waitListening(5000));
    std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
    EXPECT_EQ(fake::model().tab, (std::vector<std::string>{"*ERROR* Listen 1!!!"}));
}

// ---------------------------------------------------------------------------------
// Status thread

TEST_F(LinkServer, StatusPassReportsGatewaysAndTimesOutSilentOnes)
{
    gateway(2);
    gateway(3, 11, 6);
    rdplugin::TS3StatusData never = *plugin->entry(3);
    never.lastPingTime = 0; // never connected through GW_CONNECT: never timed out
    never.users = 2;
    never.speakers = 1;
    plugin->setEntry(3, never);
    {
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        fake::model().handler(4); // a handler that is no gateway: not reported
    }

    plugin->statusPass();
    EXPECT_EQ(written(), "STATUS  scHandler=2 connected=1 users=0 speakers=0\r"
                         "STATUS  scHandler=3 connected=1 users=2 speakers=1\r");

    // Late passes: num 1, 3, 5, then the connection is stopped with num 6. The client's
    // report of the stopped connection resets the count, so the watch starts over.
    const int64_t last = now.load();
    const struct {
        int64_t age;
        const char* pingError;
        bool stops;
    } passes[] = {{41, "PING_ERROR  num=1\r", false},
                  {51, "PING_ERROR  num=3\r", false},
                  {61, "PING_ERROR  num=5\r", false},
                  {71, "PING_ERROR  num=6\r", true},
                  {81, "PING_ERROR  num=1\r", false}};
    for (const auto& p : passes) {
        now = last + p.age;
        fake::model().clearCalls();
        plugin->statusPass();
        const std::string got = written();
        EXPECT_EQ(got.substr(0, got.find("STATUS")), p.pingError) << "age " << p.age;
        const auto actions = fake::model().actions();
        const bool stopped =
            std::find(actions.begin(), actions.end(), "stopConnection(2,*** QUIT ***)") != actions.end();
        EXPECT_EQ(stopped, p.stops) << "age " << p.age;
        if (p.stops) { // the client reports the stopped connection
            plugin->onConnectStatusChange(2, STATUS_DISCONNECTED, 0);
            EXPECT_EQ(written(), "CONNECT scHandler=2 status=0 error=0 \r");
        }
    }
    // A fresh GW_PQNG clears the count at the next pass.
    exchange("GW_PQNG scHandler=2 timestamp=1 err=0");
    plugin->statusPass();
    EXPECT_EQ(plugin->entry(2)->pingMisses, 0);
}

TEST_F(LinkServer, StatusThreadStopsPromptlyInItsPause)
{
    ::close(fd);
    fd = -1;
    plugin.reset();
    rdplugin::LinkPlugin::Options o;
    o.settingsPath = settings;
    o.statusPeriodMs = 10000;
    plugin = std::make_unique<rdplugin::LinkPlugin>(o);
    plugin->setFunctionPointers(fake::table());
    ASSERT_EQ(plugin->init(), 0);
    ASSERT_TRUE(plugin->waitListening(5000));
    const auto t0 = std::chrono::steady_clock::now();
    plugin->shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
    EXPECT_NE(std::find(fake::model().log.begin(), fake::model().log.end(), "3|Relaydeck[LINK]|*** Plugin started ***"),
              fake::model().log.end());
}
