// A gateway's reports to the directory service through the shared directory client,
// against a local stand-in: the block check until the service answers, the hourly state
// report, the reports on connect, and a service that cannot be reached.
#include "gatewayfixture.h"

#include "app/directory/directoryclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

namespace {

QCoreApplication& widgetApp()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "rd_gateway_tests";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv); // alive to the end of the process
    }
    return *QCoreApplication::instance();
}

// Answers every HTTP request with the current answer text and records the forms.
class ServiceStandIn : public QObject {
public:
    ServiceStandIn()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                auto* buffer = new QByteArray;
                QObject::connect(s, &QTcpSocket::disconnected, s, [s, buffer] {
                    delete buffer;
                    s->deleteLater();
                });
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
                    *buffer += s->readAll();
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    const QByteArray head = buffer->left(end).toLower();
                    const qsizetype cl = head.indexOf("content-length:");
                    const int length =
                        cl < 0 ? 0 : head.mid(cl + 15, head.indexOf('\r', cl) - cl - 15).trimmed().toInt();
                    if (buffer->size() < end + 4 + length)
                        return;
                    forms << QUrlQuery(QString::fromLatin1(buffer->mid(end + 4, length)));
                    buffer->clear();
                    s->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                             QByteArray::number(answer.size()) + "\r\n\r\n" + answer);
                    s->disconnectFromHost();
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()); }
    QString field(int i, const char* name) const
    {
        return forms.at(i).queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
    }

    QTcpServer server;
    QByteArray answer = "short";
    QList<QUrlQuery> forms;
};

template <class F>
bool processUntil(F done, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

class DirectoryChecksTest : public GatewayTest {
protected:
    void SetUp() override
    {
        GatewayTest::SetUp();
        client.setServiceUrl(service.url());
        client.setLogSink([this](const QString& l) { logLines << l; });
        DirectoryClient::setShared(&client);
    }
    void TearDown() override
    {
        real.reset();
        DirectoryClient::setShared(nullptr);
        GatewayTest::TearDown();
    }
    // The engine with its own directory requests (the fixture's probe records them instead).
    void openReal()
    {
        host->openPorts.insert(1);
        ASSERT_TRUE(SaveSettingsFile(gatewayFile(), settings));
        real = std::make_unique<GatewayEngine>(link, *host, clock);
        SettingsList params;
        params.setValue(QStringLiteral("CFG_FILE"), gatewayFile());
        ASSERT_TRUE(real->StarteForm(params));
    }
    void connectReal()
    {
        real->ParseIncomingTS3Data(QStringLiteral("GW_START"),
                                   items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=0"}));
        real->ParseIncomingTS3Data(QStringLiteral("GW_CONNECT"),
                                   items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=3"}));
        real->ParseIncomingTS3Data(QStringLiteral("CONNECT"), items({"scHandler=3", "status=4"}));
        ASSERT_TRUE(real->TS3_IstConnected());
    }
    bool settle()
    {
        return processUntil([&] { return client.pending() == 0; });
    }

    bool appFirst = (widgetApp(), true); // network objects need the application
    ServiceStandIn service;
    DirectoryClient client;
    QStringList logLines;
    std::unique_ptr<GatewayEngine> real;
};

} // namespace

TEST_F(DirectoryChecksTest, BlockCheckRepeatsUntilTheServiceAnswers)
{
    openReal();
    EXPECT_FALSE(real->CheckAppAbuse);
    real->abuseCheckTick();
    ASSERT_TRUE(settle());
    real->abuseCheckTick();
    ASSERT_TRUE(settle());
    EXPECT_FALSE(real->CheckAppAbuse); // "short": not an answer

    service.answer = "gateway is known";
    real->abuseCheckTick();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(real->CheckAppAbuse);
    real->abuseCheckTick(); // ends the check
    real->abuseCheckTick();
    ASSERT_TRUE(settle());

    ASSERT_EQ(service.forms.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(service.field(i, "action"), Base64Text(QStringLiteral("GATE-BLACKLIST")));
        EXPECT_EQ(service.field(i, "gateUID"), QLatin1String(kUid));
    }
    EXPECT_TRUE(host->errors.isEmpty());
}

TEST_F(DirectoryChecksTest, StateIsReportedOnConnectAndEveryHour)
{
    openReal();
    real->statPingTick();
    ASSERT_TRUE(settle());
    connectReal();
    ASSERT_TRUE(settle());
    real->statPingTick();
    ASSERT_TRUE(settle());
    real->ParseIncomingTS3Data(QStringLiteral("DISCONNECT"), items({"scHandler=3"}));
    ASSERT_TRUE(settle());

    ASSERT_GE(service.forms.size(), 3);
    struct Expected {
        const char* action;
        bool withServer;
    };
    const Expected expected[] = {{"GATE-OFFLINE", false}, {"GATE-ONLINE", true}, {"GATE-ONLINE", true}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(service.field(i, "action"), Base64Text(QString::fromLatin1(expected[i].action)));
        EXPECT_EQ(service.field(i, "gateUID"), QLatin1String(kUid));
        EXPECT_EQ(service.forms[i].hasQueryItem(QStringLiteral("server")), expected[i].withServer);
        if (expected[i].withServer) {
            EXPECT_EQ(service.field(i, "server"), real->display().serverField);
            EXPECT_EQ(service.field(i, "nick"), QStringLiteral("Relais Nord"));
        }
    }
    EXPECT_EQ(service.forms[0].queryItems().size(), 2);
    EXPECT_EQ(service.forms[1].queryItems().first().first, QStringLiteral("action"));
}

TEST_F(DirectoryChecksTest, UnreachableServiceNeitherStopsTheGatewayNorShowsAnything)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    client.setServiceUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port));

    openReal();
    for (int i = 0; i < 3; ++i) {
        real->abuseCheckTick();
        real->statPingTick();
        ASSERT_TRUE(settle());
    }
    connectReal();
    ASSERT_TRUE(settle());
    EXPECT_FALSE(real->CheckAppAbuse);
    EXPECT_TRUE(real->TS3_IstConnected());
    EXPECT_TRUE(host->errors.isEmpty());
    EXPECT_TRUE(host->questions.isEmpty());
    EXPECT_EQ(logLines.size(), 1) << logLines.join(QLatin1Char('\n')).toStdString();

    // Without a directory client nothing is sent and nothing breaks.
    DirectoryClient::setShared(nullptr);
    real->abuseCheckTick();
    real->statPingTick();
    EXPECT_EQ(client.pending(), 0);
}
