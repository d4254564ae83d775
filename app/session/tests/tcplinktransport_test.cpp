// The TCP transport against a listening socket on the loopback address.
#include "app/session/tcplinktransport.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <gtest/gtest.h>

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
