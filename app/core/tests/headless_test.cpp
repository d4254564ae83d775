// The program core without any window: the headless program over a scripted link.
#include "app/config/gatewayconfig.h"
#include "app/config/globalfunct.h"
#include "app/core/headless.h"
#include "app/core/webstatus.h"
#include "app/session/tests/sessionfakes.h"
#include "app/web/screenshotserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <httplib.h>

namespace {
QCoreApplication& coreApp()
{
    static int argc = 1;
    static char name[] = "rd_core_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return app ? *app : *QCoreApplication::instance();
}

const QString kUid1 = QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000001}");
const QString kUid2 = QStringLiteral("{BBBBBBBB-0000-0000-0000-000000000002}");

class HeadlessTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString out;
    QTextStream stream{&out};
    FakeTransport* transport = nullptr;
    std::unique_ptr<HeadlessProgram> program;

    void SetUp() override
    {
        coreApp();
        QDir().mkpath(home.filePath(QStringLiteral("config")));
        create();
    }
    // A program over main.cfg with these lines besides the language and LINK_EXIT.
    void create(const QStringList& settings = {})
    {
        program.reset();
        ASSERT_TRUE(SaveSettingsFile(
            home.filePath(QStringLiteral("config/main.cfg")),
            SettingsList(QStringList{QStringLiteral("appLang=en_US"), QStringLiteral("LINK_EXIT=False")} + settings)));
        AppCore::Options o;
        o.home = home.path();
        auto t = std::make_unique<FakeTransport>();
        transport = t.get();
        o.transport = std::move(t);
        o.startTimers = false;
        program = std::make_unique<HeadlessProgram>(std::move(o), stream);
    }
    QString gatewayFile(const QString& uid, const QString& name)
    {
        const QString path = home.filePath(QStringLiteral("config/") + uid + QStringLiteral(".rdk"));
        EXPECT_TRUE(
            SaveSettingsFile(path, SettingsList({QStringLiteral("gateUID=") + uid, QStringLiteral("gateName=") + name,
                                                 QStringLiteral("gateAutorun=True")})));
        return path;
    }
};

// Gateways run on the core alone, reached in the order they were opened; the quit stops
// every one (GW_STOP, file saved), closes the link with notice and saves main.cfg.
TEST_F(HeadlessTest, GatewaysRunWithoutWindowsAndTheQuitEndsThemInOrder)
{
    const QString first = gatewayFile(kUid1, QStringLiteral("Relais Nord"));
    const QString second = gatewayFile(kUid2, QStringLiteral("Relais/Sued"));
    program->core().tick(); // the link comes up
    ASSERT_TRUE(program->openGateway(first));
    ASSERT_TRUE(program->openGateway(second));
    EXPECT_FALSE(program->openGateway(home.filePath(QStringLiteral("config/missing.rdk"))));
    ASSERT_EQ(program->core().gatewaysInWindowOrder().size(), 2);
    EXPECT_EQ(program->core().gatewaysInWindowOrder().at(0)->gateUID(), kUid1);
    EXPECT_TRUE(program->core().session().GatewayIstAktiv(kUid2));
    EXPECT_EQ(transport->takeLines().filter(QStringLiteral("GW_START")).size(), 2);

    QFile::remove(first);
    QFile::remove(home.filePath(QStringLiteral("config/main.cfg")));
    bool finished = false;
    QObject::connect(program.get(), &HeadlessProgram::finished, [&] { finished = true; });
    program->quit();
    EXPECT_TRUE(finished);
    // StoppeGateway and then BeendeForm, as the windows end: each sends GW_STOP.
    const QStringList stops = transport->takeLines().filter(QStringLiteral("GW_STOP"));
    EXPECT_EQ(stops.filter(kUid1).size(), 2);
    EXPECT_EQ(stops.filter(kUid2).size(), 2);
    ASSERT_FALSE(stops.isEmpty());
    EXPECT_TRUE(stops.first().contains(kUid1) && stops.last().contains(kUid2))
        << stops.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(program->core().gateways().isEmpty());
    EXPECT_EQ(transport->disconnects, QList<bool>{true}) << "closed with notice to the plugin";
    EXPECT_TRUE(gatewayconfig::load(first).ok()) << "the gateway saved its file";
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("config/main.cfg"))));

    // Every gateway line went to standard error with its name first and to its own file.
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_FALSE(
        lines.filter(QRegularExpression(QStringLiteral("^Relais Nord: \\[\\d\\d:\\d\\d:\\d\\d\\] > "))).isEmpty())
        << out.toStdString();
    QFile log(home.filePath(QStringLiteral("logs/Relais_Sued.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("["));
}
// A port nobody listens on just now.
int freePort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::AnyIPv4, 0));
    return probe.serverPort();
}

httplib::Result get(int port, const std::string& path, const std::string& host = "127.0.0.1")
{
    httplib::Client cli("127.0.0.1", port);
    cli.set_connection_timeout(2);
    cli.set_read_timeout(5);
    return cli.Get(path.c_str(), httplib::Headers{{"Host", host}});
}

// With HTTP_ACTIVE the program without windows serves the status pages of its gateways on
// HTTP_PORT (for the names of HTTP_HOSTS too); "/" and "/screen.jpg" say at once that there
// is no screen. The quit closes the port.
TEST_F(HeadlessTest, WebInterfaceServesTheStatusWithoutAScreen)
{
    const int port = freePort();
    create({QStringLiteral("HTTP_ACTIVE=True"), QStringLiteral("HTTP_PORT=%1").arg(port),
            QStringLiteral("HTTP_HOSTS=relais.example.org")});
    const QString first = gatewayFile(kUid1, QStringLiteral("Relais \"Nord\""));
    program->start();
    ASSERT_EQ(program->webPort(), port) << out.toStdString();
    ASSERT_NE(program->webStatus(), nullptr);
    program->core().tick();
    ASSERT_TRUE(program->openGateway(first));
    program->webStatus()->sample(250);

    const struct {
        const char* path;
        const char* host;
        int status;
        const char* type;
        const char* holds;
    } cases[] = {
        {"/api/status", "127.0.0.1", 200, "application/json", "\"gateUID\":\"{AAAAAAAA-0000-0000-0000-000000000001}\""},
        {"/api/status", "relais.example.org:8011", 200, "application/json", "\"name\":\"Relais \\\"Nord\\\"\""},
        {"/metrics", "localhost", 200, "text/plain; version=0.0.4",
         "relaydeck_gateway_connected{gateway=\"Relais "
         "\\\"Nord\\\"\",gateUID=\"{AAAAAAAA-0000-0000-0000-000000000001}\"} "},
        {"/status", "127.0.0.1", 200, "text/html", "data-uid=\"{AAAAAAAA-0000-0000-0000-000000000001}\""},
        {"/", "127.0.0.1", 503, "text/plain", "No screen: the program runs without windows"},
        {"/screen.jpg", "127.0.0.1", 503, "text/plain", "No screen: the program runs without windows"},
        {"/index.html", "127.0.0.1", 503, "text/plain", "No screen"},
        {"/api/status", "rebind.example.com", 403, "text/plain", "Forbidden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " for " + c.host);
        QElapsedTimer t;
        t.start();
        const auto res = get(port, c.path, c.host);
        ASSERT_TRUE(res);
        EXPECT_LT(t.elapsed(), 2000);
        EXPECT_EQ(res->status, c.status);
        EXPECT_EQ(res->get_header_value("Content-Type").rfind(c.type, 0), 0u) << res->get_header_value("Content-Type");
        EXPECT_NE(res->body.find(c.holds), std::string::npos) << res->body.substr(0, 600);
    }

    program->quit();
    EXPECT_EQ(program->webPort(), 0);
    EXPECT_FALSE(get(port, "/api/status"));
    EXPECT_TRUE(out.contains(QStringLiteral("web interface on port %1").arg(port))) << out.toStdString();
}

// A web port in use: said in plain words on the log, and the gateways run all the same.
// Switched off (or port 0), nothing is opened.
TEST_F(HeadlessTest, WebPortInUseIsReportedAndTheGatewaysRun)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::AnyIPv4, 0));
    create({QStringLiteral("HTTP_ACTIVE=True"), QStringLiteral("HTTP_PORT=%1").arg(other.serverPort())});
    const QString first = gatewayFile(kUid1, QStringLiteral("Relais Nord"));
    program->start();
    EXPECT_EQ(program->webPort(), 0);
    EXPECT_EQ(program->webStatus(), nullptr);
    EXPECT_TRUE(out.contains(QStringLiteral("error: the web interface cannot listen on port %1 (is another program "
                                            "using it?")
                                 .arg(other.serverPort())))
        << out.toStdString();
    program->core().tick();
    EXPECT_TRUE(program->openGateway(first));
    EXPECT_TRUE(program->core().session().GatewayIstAktiv(kUid1));

    for (const QStringList& off : {QStringList{QStringLiteral("HTTP_ACTIVE=False"), QStringLiteral("HTTP_PORT=1")},
                                   QStringList{QStringLiteral("HTTP_ACTIVE=True"), QStringLiteral("HTTP_PORT=0")}}) {
        out.clear();
        create(off);
        program->start();
        EXPECT_EQ(program->webPort(), 0);
        EXPECT_FALSE(out.contains(QStringLiteral("web interface"))) << out.toStdString();
    }
}
} // namespace
