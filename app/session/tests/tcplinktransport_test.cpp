// The TCP transport against a listening socket on the loopback address.
#include "app/session/tcplinktransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <unistd.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {
QCoreApplication& coreApp()
{
    static int argc = 1;
    static char name[] = "rd_session_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return app ? *app : *QCoreApplication::instance();
}

int noDelayOf(qintptr fd)
{
    int value = -1;
    socklen_t len = sizeof value;
    if (::getsockopt(int(fd), IPPROTO_TCP, TCP_NODELAY, &value, &len) != 0)
        return -1;
    return value;
}
} // namespace

// Commands of a burst (SETPTT 0, SETVOX 0, UNMUTEALL) must leave at once, not wait for the
// acknowledgement of the one before: the connected socket has TCP_NODELAY on, also after a
// reconnect on the same transport.
TEST(TcpLinkTransport, ConnectedSocketHasNoDelayOn)
{
    coreApp();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpLinkTransport transport;
    for (int attempt = 0; attempt < 2; ++attempt) {
        QString error;
        ASSERT_TRUE(transport.connectTo(QStringLiteral("127.0.0.1"), server.serverPort(), 500, &error))
            << error.toStdString();
        ASSERT_TRUE(transport.isConnected());
        EXPECT_EQ(noDelayOf(transport.socketDescriptor()), 1) << "attempt " << attempt;
        transport.disconnect(false);
        EXPECT_FALSE(transport.isConnected());
    }
}

TEST(TcpLinkTransport, RefusedConnectReportsTheReason)
{
    coreApp();
    quint16 port = 0;
    {
        QTcpServer probe; // a port that was free a moment ago and is closed now
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    TcpLinkTransport transport;
    QString error;
    EXPECT_FALSE(transport.connectTo(QStringLiteral("127.0.0.1"), port, 500, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(transport.isConnected());
}

namespace {
// A loopback port whose peer never accepts: its accept queue is full, so the next
// connection's SYN goes unanswered and the attempt hangs until its time-out.
struct DeafListener {
    int listener = -1;
    std::vector<int> fillers;
    quint16 port = 0;

    DeafListener()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(listener, 0) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port = ntohs(a.sin_port);
        for (int i = 0; i < 3; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers.push_back(c);
        }
    }
    ~DeafListener()
    {
        for (int c : fillers)
            ::close(c);
        ::close(listener);
    }
};

// Runs the event loop until done() holds or ms pass.
bool spinUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}
} // namespace

// The program's way of connecting never holds the main thread: the attempt runs in the
// background, and its result comes as a signal. A peer that does not answer costs the
// event loop nothing while the attempt waits out its time-out.
TEST(TcpLinkTransport, ConnectionInTheBackgroundLeavesTheEventLoopRunning)
{
    coreApp();
    struct Case {
        const char* what;
        bool listening;
        bool deaf;
        bool made;
    } cases[] = {{"peer accepts", true, false, true},
                 {"nobody listens", false, false, false},
                 {"peer never answers", false, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTcpServer server;
        quint16 port = 0;
        if (c.listening) {
            ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
            port = server.serverPort();
        } else if (!c.deaf) {
            QTcpServer probe;
            ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        std::unique_ptr<DeafListener> deaf;
        if (c.deaf) {
            deaf = std::make_unique<DeafListener>();
            ASSERT_NE(deaf->port, 0);
            port = deaf->port;
        }
        TcpLinkTransport transport;
        int made = 0;
        QStringList failed;
        QObject::connect(&transport, &TcpLinkTransport::connectionMade, [&] { ++made; });
        QObject::connect(&transport, &TcpLinkTransport::connectFailed, [&](const QString& r) { failed << r; });
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);

        QElapsedTimer call;
        call.start();
        QString error;
        EXPECT_EQ(transport.startConnect(QStringLiteral("127.0.0.1"), port, 400, &error),
                  LinkTransport::Start::Pending);
        EXPECT_LT(call.elapsed(), 100) << "startConnect returned only after waiting";
        ASSERT_TRUE(spinUntil([&] { return made + failed.size() > 0; }, 3000));
        if (c.made) {
            EXPECT_EQ(made, 1);
            EXPECT_TRUE(transport.isConnected());
            EXPECT_EQ(noDelayOf(transport.socketDescriptor()), 1);
        } else {
            ASSERT_EQ(failed.size(), 1);
            EXPECT_FALSE(failed[0].isEmpty());
            EXPECT_FALSE(transport.isConnected());
        }
        if (c.deaf) {
            EXPECT_GE(call.elapsed(), 350) << "the attempt ended before its time-out";
            EXPECT_GE(ticks, 10) << "the event loop stood still while the attempt waited";
        }
        // Only one report per attempt, also after the time-out would have passed.
        spinUntil([] { return false; }, c.deaf ? 50 : 450);
        EXPECT_EQ(made + failed.size(), 1);
    }
}

// An attempt given up (the session drops it or quits) reports nothing afterwards.
TEST(TcpLinkTransport, AttemptGivenUpReportsNothing)
{
    coreApp();
    DeafListener deaf;
    ASSERT_NE(deaf.port, 0);
    TcpLinkTransport transport;
    int reports = 0;
    QObject::connect(&transport, &TcpLinkTransport::connectionMade, [&] { ++reports; });
    QObject::connect(&transport, &TcpLinkTransport::connectFailed, [&] { ++reports; });
    QString error;
    transport.startConnect(QStringLiteral("127.0.0.1"), deaf.port, 200, &error);
    transport.disconnect(true);
    spinUntil([] { return false; }, 400);
    EXPECT_EQ(reports, 0);
    EXPECT_FALSE(transport.isConnected());
}
