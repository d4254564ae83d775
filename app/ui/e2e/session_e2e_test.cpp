// Relaydeck against the real plugin library loaded by the substitute TeamSpeak client:
// the session comes up over loopback TCP, the greeting and the identification follow-ups
// reach the plugin, and a plugin that goes away is reconnected after the 10 s countdown.
#include "app/config/globalfunct.h"
#include "app/ui/linkmonitorwindow.h"
#include "app/ui/mainwindow.h"
#include "clientsim/client.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

int g_argc = 1;
char g_arg0[] = "e2e_session_tests";
char* g_argv[] = {g_arg0, nullptr};

QApplication& app()
{
    static QApplication* a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(g_argc, g_argv);
    }();
    return *a;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// True when something listens on the loopback port (read from the kernel's socket table,
// so the plugin's one session slot is not taken by a probe).
bool portListening(quint16 port)
{
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly))
        return true;
    const QByteArray needle = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0') + ' ';
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> cols = line.simplified().split(' ');
        if (cols.size() > 3 && (cols[1] + ' ').endsWith(needle) && cols[3] == "0A")
            return true;
    }
    return false;
}

// Processes Qt events until pred holds or the deadline passes (real socket events only).
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

class SessionEndToEnd : public ::testing::Test {
protected:
    QTemporaryDir work; // the client's working folder (plugin INI)
    QTemporaryDir home; // Relaydeck's fresh base folder
    QString oldDir;
    quint16 port = 0;
    clientsim::Client client;

    void SetUp() override
    {
        app();
        oldDir = QDir::currentPath();
        QDir::setCurrent(work.path());
        port = freePort();
        QFile ini(work.filePath(QStringLiteral("Relaydeck[LINK].ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[LINKSettings]\r\nPORT=%1\r\n").arg(port).toLatin1());
        ini.close();
        QDir().mkpath(home.filePath(QStringLiteral("config")));
        ASSERT_TRUE(
            SaveSettingsFile(home.filePath(QStringLiteral("config/main.cfg")),
                             SettingsList({QStringLiteral("appLang=en_US"), QStringLiteral("LINK_PORT=%1").arg(port),
                                           QStringLiteral("appExitDlg=False"), QStringLiteral("LINK_EXIT=False"),
                                           QStringLiteral("appMAXWin=False")})));
        client.addProfile(0, "Radio Codec", true);
        client.addProfile(1, "Radio Speaker", true);
        ASSERT_TRUE(client.load(RD_PLUGIN_PATH)) << client.lastError();
    }
    void TearDown() override
    {
        if (client.loaded())
            client.unload();
        QDir::setCurrent(oldDir);
    }
    bool pluginCalled(const char* name, int timeoutMs = 5000)
    {
        return waitFor([&] { return client.hasCall(name); }, timeoutMs);
    }
};

TEST_F(SessionEndToEnd, SessionComesUpAndReconnectsAfterThePluginWentAway)
{
    MainWindow::Options o;
    o.home = home.path();
    o.startTimers = false; // the test is the one-second clock
    MainWindow main(std::move(o));
    main.show();
    auto* monitor = static_cast<LinkMonitorWindow*>(
        main.OpenNewChildWindow(ChildKind::LinkMonitor, QStringLiteral("DEBUG"), SettingsList(), true));
    client.clearTrace();

    ASSERT_TRUE(waitFor([&] { return portListening(port); }));
    main.tick(); // the first tick connects (in the background: the event loop finishes it)
    ASSERT_TRUE(waitFor([&] { return main.session().isConnected(); }));
    // <HELLO> -> >HELLO< -> WHOAMI (the plugin reads the library version) -> the four
    // follow-ups (profiles and the application path are read from the client).
    ASSERT_TRUE(pluginCalled("getClientLibVersion"));
    ASSERT_TRUE(pluginCalled("getProfileList"));
    // The plugin answers GETAPPPATH and STARTING; SETCONFIG it takes silently.
    ASSERT_TRUE(waitFor([&] { return monitor->trafficLines().filter(QStringLiteral(">[0]> STARTING")).size() == 1; }));
    ASSERT_TRUE(waitFor([&] { return !monitor->trafficLines().filter(QStringLiteral(">[0]> APPPATH ")).isEmpty(); }));
    EXPECT_EQ(monitor->trafficLines().filter(QStringLiteral("<[-]<")),
              (QStringList{QStringLiteral("<[-]< GETPROFILES "), QStringLiteral("<[-]< STARTING "),
                           QStringLiteral("<[-]< GETAPPPATH "), QStringLiteral("<[-]< SETCONFIG lang=en_US")}));
    ASSERT_TRUE(waitFor([&] { return main.session().TS3_PROF_PLAYBAK().contains(QStringLiteral("Radio Speaker")); }));
    EXPECT_TRUE(main.session().TS3_PROF_CAPTURE().contains(QStringLiteral("Radio Codec")));
    EXPECT_TRUE(main.lastBalloon().contains(QStringLiteral("Link-API: 1")));
    main.tick();
    EXPECT_EQ(main.linkPanelText(), QStringLiteral("connected with Teamspeak"));
    EXPECT_EQ(main.statusText(0), QStringLiteral("connected with Teamspeak"));

    // A ping goes out and its PONG comes back with a round trip.
    main.pingTimerTimer();
    ASSERT_TRUE(waitFor([&] { return main.statusText(3).endsWith(QStringLiteral(" ms")); }));
    EXPECT_EQ(main.session().PiPoErrors(), 0);

    // The plugin goes away (QUIT errorID=0, then it closes).
    client.unload();
    ASSERT_TRUE(waitFor([&] { return !main.session().isConnected() && main.session().TS3conDelay() == 10; }));
    EXPECT_EQ(main.statusText(0), QStringLiteral("Not connected with Teamspeak"));
    ASSERT_TRUE(client.load(RD_PLUGIN_PATH)) << client.lastError();
    ASSERT_TRUE(waitFor([&] { return portListening(port); }));
    client.clearTrace();
    int ticks = 0;
    while (!main.session().isConnected() && ticks < 30) {
        main.tick();
        ++ticks;
        waitFor([&] { return main.session().isConnected(); }, 100);
    }
    EXPECT_EQ(ticks, 11) << "ten seconds counted down, the attempt at the next tick";
    EXPECT_TRUE(pluginCalled("getProfileList"));
    main.tick();
    EXPECT_EQ(main.linkPanelText(), QStringLiteral("connected with Teamspeak"));
}

TEST_F(SessionEndToEnd, ASecondRelaydeckIsRefusedAndRetriesAfterTwoSeconds)
{
    // The first session is taken by a bare socket; Relaydeck gets the refusal.
    ASSERT_TRUE(waitFor([&] { return portListening(port); }));
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(first.waitForConnected(2000));
    ASSERT_TRUE(waitFor([&] { return first.bytesAvailable() >= 9; }));

    MainWindow::Options o;
    o.home = home.path();
    o.startTimers = false;
    MainWindow main(std::move(o));
    main.tick(); // connects in the background; the refusal follows at once
    ASSERT_TRUE(waitFor([&] { return main.session().TS3E88Cons() == 1; }));
    EXPECT_EQ(main.session().TS3conDelay(), 2);
    EXPECT_FALSE(main.session().isConnected());
}

TEST_F(SessionEndToEnd, TheProgramStartsWithAFreshHomeAndGreetsThePlugin)
{
    QTemporaryDir fresh;
    QDir().mkpath(fresh.filePath(QStringLiteral("config")));
    ASSERT_TRUE(SaveSettingsFile(fresh.filePath(QStringLiteral("config/main.cfg")),
                                 SettingsList({QStringLiteral("LINK_PORT=%1").arg(port)})));
    client.clearTrace();
    QProcess relaydeck;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    relaydeck.setProcessEnvironment(env);
    relaydeck.start(QStringLiteral(RD_RELAYDECK_PATH), {QStringLiteral("--home"), fresh.path()});
    ASSERT_TRUE(relaydeck.waitForStarted(5000));
    EXPECT_TRUE(pluginCalled("getClientLibVersion", 15000)) << "greeting answered";
    EXPECT_TRUE(pluginCalled("getProfileList", 5000));
    EXPECT_TRUE(QDir(fresh.filePath(QStringLiteral("_tmp"))).exists());
    EXPECT_TRUE(QDir(fresh.filePath(QStringLiteral("sounds"))).exists());
    relaydeck.kill();
    relaydeck.waitForFinished(5000);
}

TEST_F(SessionEndToEnd, TerminationSignalsEndTheProgramThroughItsOrderedQuit)
{
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        QTemporaryDir fresh;
        const QString cfg = fresh.filePath(QStringLiteral("config/main.cfg"));
        QDir().mkpath(fresh.filePath(QStringLiteral("config")));
        // The quit question is on: a signal must not wait for an answer.
        ASSERT_TRUE(SaveSettingsFile(
            cfg, SettingsList({QStringLiteral("LINK_PORT=%1").arg(port), QStringLiteral("appExitDlg=True"),
                               QStringLiteral("LINK_EXIT=False")})));
        client.clearTrace();
        QProcess relaydeck;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        relaydeck.setProcessEnvironment(env);
        relaydeck.start(QStringLiteral(RD_RELAYDECK_PATH), {QStringLiteral("--home"), fresh.path()});
        ASSERT_TRUE(relaydeck.waitForStarted(5000));
        ASSERT_TRUE(pluginCalled("getProfileList", 15000)) << "the program runs and greeted the plugin";
        ASSERT_TRUE(QFile::remove(cfg));
        ::kill(pid_t(relaydeck.processId()), sig);
        EXPECT_TRUE(waitFor([&] { return relaydeck.state() == QProcess::NotRunning; }, 10000));
        if (relaydeck.state() != QProcess::NotRunning) {
            relaydeck.kill();
            relaydeck.waitForFinished(5000);
            continue;
        }
        EXPECT_EQ(relaydeck.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(relaydeck.exitCode(), 0);
        // The quit saved the settings again.
        const auto saved = LoadSettingsFile(cfg);
        ASSERT_TRUE(saved.has_value());
        EXPECT_EQ(saved->value(QStringLiteral("LINK_PORT")), QString::number(port));
    }
}

// A quit by signal with a setup window of a gateway that was never saved: nothing is asked,
// the new gateway is dropped (and said so on standard error), the running gateway stops and
// saves, main.cfg is written and the program ends at once with exit code 0.
TEST_F(SessionEndToEnd, SignalQuitWithAnUnsavedSetupWindowAsksNothingAndDropsTheEdits)
{
    QTemporaryDir fresh;
    const QString cfgDir = fresh.filePath(QStringLiteral("config/"));
    QDir().mkpath(cfgDir);
    const QString mainCfg = cfgDir + QStringLiteral("main.cfg");
    ASSERT_TRUE(SaveSettingsFile(
        mainCfg, SettingsList({QStringLiteral("appLang=en_US"), QStringLiteral("LINK_PORT=%1").arg(port),
                               QStringLiteral("appExitDlg=True"), QStringLiteral("LINK_EXIT=False")})));
    const QString uid = QStringLiteral("{5A5A5A5A-1111-2222-3333-444455556666}");
    const QString gateFile = cfgDir + uid + QStringLiteral(".rdk");
    ASSERT_TRUE(SaveSettingsFile(
        gateFile, SettingsList({QStringLiteral("gateUID=") + uid, QStringLiteral("gateName=Relais Sued"),
                                QStringLiteral("gateAutorun=True"), QStringLiteral("TS3-HOST=127.0.0.1")})));
    client.clearTrace();
    QProcess relaydeck;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    relaydeck.setProcessEnvironment(env);
    relaydeck.start(
        QStringLiteral(RD_RELAYDECK_PATH),
        {QStringLiteral("--home"), fresh.path(), QStringLiteral("--new-gateway"), QStringLiteral("Unsaved Gate")});
    ASSERT_TRUE(relaydeck.waitForStarted(5000));
    ASSERT_TRUE(pluginCalled("getProfileList", 15000)) << "the program runs and greeted the plugin";
    // The autostart gateway asks for its server connection 5 s after the plugin's STARTING.
    ASSERT_TRUE(pluginCalled("guiConnect", 20000)) << "the autostart gateway runs";
    ASSERT_TRUE(QFile::remove(mainCfg));
    ASSERT_TRUE(QFile::remove(gateFile));
    QElapsedTimer quitTime;
    quitTime.start();
    ::kill(pid_t(relaydeck.processId()), SIGTERM);
    EXPECT_TRUE(waitFor([&] { return relaydeck.state() == QProcess::NotRunning; }, 10000))
        << "a question waits for an answer";
    if (relaydeck.state() != QProcess::NotRunning) {
        relaydeck.kill();
        relaydeck.waitForFinished(5000);
        return;
    }
    EXPECT_LT(quitTime.elapsed(), 3000);
    EXPECT_EQ(relaydeck.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(relaydeck.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(mainCfg)) << "settings saved";
    const auto gate = LoadSettingsFile(gateFile);
    ASSERT_TRUE(gate.has_value()) << "the running gateway saved its file";
    EXPECT_EQ(gate->value(QStringLiteral("gateName")), QStringLiteral("Relais Sued"));
    const QStringList files = QDir(cfgDir).entryList({QStringLiteral("*.rdk")}, QDir::Files);
    EXPECT_EQ(files, QStringList{uid + QStringLiteral(".rdk")}) << "the new gateway was never saved and stays so";
    const QString err = QString::fromLocal8Bit(relaydeck.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("\"Unsaved Gate\" were dropped"))) << err.toStdString();
}

} // namespace
