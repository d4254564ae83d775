// The program core without any window: the headless program over a scripted link.
#include "app/config/gatewayconfig.h"
#include "app/config/globalfunct.h"
#include "app/core/headless.h"
#include "app/session/tests/sessionfakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        ASSERT_TRUE(
            SaveSettingsFile(home.filePath(QStringLiteral("config/main.cfg")),
                             SettingsList({QStringLiteral("appLang=en_US"), QStringLiteral("LINK_EXIT=False")})));
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
} // namespace
