#include "app/config/gatewayconfig.h"
#include "app/config/globalfunct.h"
#include "app/config/texts.h"
#include "app/directory/directoryclient.h"
#include "app/session/tests/sessionfakes.h"
#include "app/ui/gatewaywindow.h"
#include "app/ui/remoteregisterwindow.h"
#include "app/ui/childwindows.h"
#include "app/ui/gatewaylistwindow.h"
#include "app/ui/gatewaysetupwindow.h"
#include "app/ui/linkmonitorwindow.h"
#include "app/ui/mainwindow.h"
#include "app/ui/supportformwindow.h"
#include "app/ui/windowlistwindow.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {

int g_argc = 1;
char g_arg0[] = "rd_ui_tests";
char* g_argv[] = {g_arg0, nullptr};

// One widget application for the whole test program (another test file may have made it).
QApplication& app()
{
    static QApplication* a = [] {
        if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
            return existing;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(g_argc, g_argv);
    }();
    return *a;
}

// A gateway window stand-in: a widget around a recording gateway that, like the real
// one, sends GW_STOP and saves its file when the program quits.
class FakeGatewayWindow : public QWidget, public ChildWindow {
public:
    FakeGatewayWindow(LinkSender& sender, QString uid, int handler, QStringList* log)
        : gw(std::move(uid), handler, handler > 0), m_sender(sender), m_log(log)
    {}
    ~FakeGatewayWindow() override { *m_log << QStringLiteral("closed ") + gw.uid; }
    ChildKind childKind() const override { return ChildKind::Gateway; }
    GatewayEndpoint* gatewayEndpoint() override { return &gw; }
    void endForQuit() override
    {
        m_sender.SendToTS3(QStringLiteral("GW_STOP"), QStringLiteral("gateUID=") + gw.uid);
        *m_log << QStringLiteral("saved ") + gw.uid;
    }
    FakeGateway gw;

private:
    LinkSender& m_sender;
    QStringList* m_log;
};

class PlainChild : public QWidget, public ChildWindow {
public:
    explicit PlainChild(ChildKind k) : m_kind(k) {}
    ChildKind childKind() const override { return m_kind; }

private:
    ChildKind m_kind;
};

class MainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QStringList log; // outlives the windows that write into it
    FakeTransport* transport = nullptr;
    std::unique_ptr<MainWindow> main;

    void SetUp() override { app(); }
    void TearDown() override { SetAppLang(QStringLiteral("de_DE")); }
    void writeMainCfg(const QStringList& lines)
    {
        QDir().mkpath(home.path() + QStringLiteral("/config"));
        ASSERT_TRUE(SaveSettingsFile(home.path() + QStringLiteral("/config/main.cfg"), SettingsList(lines)));
    }
    void create()
    {
        auto t = std::make_unique<FakeTransport>();
        transport = t.get();
        MainWindow::Options o;
        o.home = home.path();
        o.transport = std::move(t);
        o.startTimers = false;
        main = std::make_unique<MainWindow>(std::move(o));
        main->setChildFactory(ChildKind::Gateway,
                              [this](MainWindow& m, const QString&, const SettingsList& p) -> QWidget* {
                                  return new FakeGatewayWindow(m.session(), p.value(QStringLiteral("UID")),
                                                               p.intValue(QStringLiteral("HANDLER"), 0), &log);
                              });
    }
    FakeGatewayWindow* openGateway(const QString& uid, int handler)
    {
        SettingsList p;
        p.setValue(QStringLiteral("UID"), uid);
        p.setInt(QStringLiteral("HANDLER"), handler);
        return static_cast<FakeGatewayWindow*>(main->OpenNewChildWindow(ChildKind::Gateway, uid, p, false));
    }
};

const QString kUid1 = QStringLiteral("{11111111-0000-0000-0000-000000000001}");
const QString kUid2 = QStringLiteral("{22222222-0000-0000-0000-000000000002}");

TEST_F(MainWindowTest, CreationShowsCaptionPanelsAndMenusInTheSettingsLanguage)
{
    writeMainCfg({QStringLiteral("appLang=en_US"), QStringLiteral("appMAXWin=False"), QStringLiteral("winTOP=40"),
                  QStringLiteral("winLEFT=30"), QStringLiteral("winWIDTH=900"), QStringLiteral("winHEIGHT=abc")});
    create();
    for (const char* folder : {"config", "sounds", "_tmp"})
        EXPECT_TRUE(QDir(home.path() + QLatin1Char('/') + QLatin1String(folder)).exists()) << folder;
    EXPECT_TRUE(
        main->caption().startsWith(QStringLiteral("Relaydeck %1 [").arg(GetGeneralText(QStringLiteral("VERS")))));
    EXPECT_TRUE(main->caption().endsWith(QLatin1Char(']')));
    EXPECT_EQ(main->statusText(0), QStringLiteral("Welcome"));
    EXPECT_EQ(main->statusText(1), QStringLiteral("No Error"));
    EXPECT_EQ(main->statusText(2), QStringLiteral("-"));
    EXPECT_EQ(main->statusText(3), QStringLiteral("--"));
    EXPECT_EQ(main->linkPanelText(), QStringLiteral("Not connected with Teamspeak"));
    QStringList menus;
    for (QAction* a : main->mainMenu()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&File"), QStringLiteral("&Gateway"), QStringLiteral("&Settings"),
                                  QStringLiteral("&Window"), QStringLiteral("&Help"), QStringLiteral("&Debug")}));
    EXPECT_EQ(main->geometry().size(), QSize(900, 600));
    EXPECT_FALSE(main->isMaximized());
    EXPECT_FALSE(main->globalConfig().value(QStringLiteral("appUID")).isEmpty());
    // Ticks driven by hand: nothing reports to the directory service.
    EXPECT_EQ(DirectoryClient::shared(), nullptr);
}

TEST_F(MainWindowTest, UnreadableMainCfgIsKeptAsBackupAndReportedWhileTheDefaultsRun)
{
    QDir().mkpath(home.path() + QStringLiteral("/config"));
    const QString cfg = home.path() + QStringLiteral("/config/main.cfg");
    {
        QFile f(cfg);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is %% not base64 at all");
    }
    // The installer's language file applies and is gone afterwards.
    {
        QFile f(home.path() + QStringLiteral("/firstrun.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[setup]\r\nlanguage=en_US\r\n");
    }
    create();
    EXPECT_FALSE(QFile::exists(home.path() + QStringLiteral("/firstrun.ini")));
    EXPECT_EQ(main->globalConfig().value(QStringLiteral("appLang")), QStringLiteral("en_US"));
    EXPECT_EQ(main->statusText(0), QStringLiteral("Welcome"));
    EXPECT_TRUE(main->statusText(1).contains(QStringLiteral("main.cfg.bak"))) << main->statusText(1).toStdString();
    QFile bak(cfg + QStringLiteral(".bak"));
    ASSERT_TRUE(bak.open(QIODevice::ReadOnly));
    EXPECT_EQ(bak.readAll(), QByteArray("this is %% not base64 at all"));
    // The next save writes a readable main.cfg with the defaults.
    ASSERT_TRUE(main->ConfigSpeichern());
    const auto saved = LoadSettingsFile(cfg);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->value(QStringLiteral("HTTP_PORT")), QStringLiteral("8011"));
    EXPECT_EQ(saved->value(QStringLiteral("appLang")), QStringLiteral("en_US"));
}

TEST_F(MainWindowTest, SessionRunsFromTheTickAndShowsItsState)
{
    writeMainCfg({QStringLiteral("appLang=en_US"), QStringLiteral("LINK_PORT=27123")});
    create();
    main->tick();
    EXPECT_EQ(transport->lastPort, 27123);
    main->tick();
    EXPECT_EQ(main->linkPanelText(), QStringLiteral("connected with Teamspeak"));
    main->session().onBlock("WHOAMI libVersion=3.6 API=21 gateAPI=1 \r");
    EXPECT_EQ(main->lastBalloon(),
              QStringLiteral("connected with Teamspeak\nTS3-Client: 3.6\nPlugin-API: 21  /  Link-API: 1"));

    main->guarded([] { throw std::runtime_error("Socket Error # 10053"); });
    EXPECT_TRUE(main->statusText(1).endsWith(QStringLiteral(" [ERROR] -> Socket Error # 10053")));
    EXPECT_FALSE(transport->connected);
    EXPECT_EQ(main->statusText(0), QStringLiteral("Not connected with Teamspeak"));
}

TEST_F(MainWindowTest, OpenNewChildWindowReusesOneOnlyWindowsAndSkipsUnbuiltKinds)
{
    create();
    int built = 0;
    main->setChildFactory(ChildKind::GatewayList, [&](MainWindow&, const QString&, const SettingsList&) -> QWidget* {
        ++built;
        return new PlainChild(ChildKind::GatewayList);
    });
    QWidget* first =
        main->OpenNewChildWindow(ChildKind::GatewayList, QStringLiteral("My Gateway"), SettingsList(), true);
    openGateway(kUid1, 0);
    QWidget* second =
        main->OpenNewChildWindow(ChildKind::GatewayList, QStringLiteral("My Gateway"), SettingsList(), true);
    EXPECT_EQ(first, second);
    EXPECT_EQ(built, 1);
    EXPECT_EQ(main->childWindows().first(), first) << "brought to the front";
    EXPECT_EQ(first->windowTitle(), QStringLiteral("My Gateway"));
    EXPECT_EQ(main->OpenNewChildWindow(ChildKind::RogerBeepEditor, QStringLiteral("x"), SettingsList(), true), nullptr);
    EXPECT_EQ(main->childWindows().size(), 2);
}

TEST_F(MainWindowTest, GatewaysAreRoutedInWindowOrderAndTheMonitorTestsTheSelectedOne)
{
    writeMainCfg({QStringLiteral("appLang=en_US")});
    create();
    FakeGatewayWindow* g1 = openGateway(kUid1, 5);
    FakeGatewayWindow* g2 = openGateway(kUid2, 5); // opened last: the active window
    EXPECT_EQ(main->gatewaysInWindowOrder(), (QList<GatewayEndpoint*>{&g2->gw, &g1->gw}));
    main->tick();
    main->session().onBlock("RXVOICE scHandler=5 status=1 \r");
    EXPECT_EQ(g2->gw.calls, QStringList{QStringLiteral("Parse RXVOICE")});
    EXPECT_TRUE(g1->gw.calls.isEmpty());

    auto* mon = static_cast<LinkMonitorWindow*>(
        main->OpenNewChildWindow(ChildKind::LinkMonitor, QStringLiteral("DEBUG"), SettingsList(), true));
    ASSERT_NE(mon, nullptr);
    EXPECT_EQ(main->OpenNewChildWindow(ChildKind::LinkMonitor, QStringLiteral("DEBUG"), SettingsList(), true), mon);
    transport->written.clear();
    mon->sendTest(QStringLiteral("SETPTT"), QStringLiteral("status=1"));
    EXPECT_EQ(transport->takeLines(), QStringList{QStringLiteral("SETPTT scHandler=5 status=1")});
    main->session().onBlock("PING_ERROR scHandler=9 since=1 \r");
    EXPECT_EQ(mon->trafficLines(), (QStringList{QStringLiteral("<[-]< SETPTT scHandler=5 status=1"),
                                                QStringLiteral(">[0]> PING_ERROR scHandler=9 since=1 ")}));
    EXPECT_EQ(mon->profileLines(), (QStringList{QStringLiteral("--------"), QStringLiteral("--------")}));
}

TEST_F(MainWindowTest, QuittingEndsEverythingInOrder)
{
    writeMainCfg({QStringLiteral("appLang=en_US"), QStringLiteral("appExitDlg=False"), QStringLiteral("LINK_EXIT=True"),
                  QStringLiteral("appMAXWin=False")});
    create();
    main->show();
    main->tick();
    openGateway(kUid1, 5);
    openGateway(kUid2, 7);
    transport->written.clear();
    main->close();
    EXPECT_EQ(transport->takeLines(),
              (QStringList{QStringLiteral("EXITCLIENT "), QStringLiteral("GW_STOP gateUID=") + kUid2,
                           QStringLiteral("GW_STOP gateUID=") + kUid1}));
    EXPECT_EQ(log, (QStringList{QStringLiteral("saved ") + kUid2, QStringLiteral("saved ") + kUid1}));
    EXPECT_EQ(transport->disconnects, QList<bool>{true}) << "closed with notice to the plugin";
    auto saved = LoadSettingsFile(home.path() + QStringLiteral("/config/main.cfg"));
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->value(QStringLiteral("appUID")), main->globalConfig().value(QStringLiteral("appUID")));
    EXPECT_EQ(saved->value(QStringLiteral("LINK_PORT")), QStringLiteral("26001"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->childWindows().isEmpty());
    EXPECT_EQ(log.filter(QStringLiteral("closed")).size(), 2);
    for (int i = 0; i < 20; ++i)
        main->tick();
    EXPECT_EQ(transport->connectAttempts, 1) << "no reconnect after quitting";
}

TEST_F(MainWindowTest, QuittingWithoutLinkOrExitClientAndTheQuestion)
{
    writeMainCfg(
        {QStringLiteral("appLang=en_US"), QStringLiteral("appExitDlg=True"), QStringLiteral("LINK_EXIT=False")});
    create();
    openGateway(kUid1, 5);
    QString asked;
    main->askQuit = [&](const QString& q) {
        asked = q;
        return false;
    };
    main->show();
    main->close();
    EXPECT_EQ(asked, QStringLiteral("really quit Application?"));
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(log.isEmpty());

    main->askQuit = [](const QString&) { return true; };
    main->close();
    // The link is down: GW_STOP cannot go out, the gateway is set not connected and the
    // quit goes on.
    EXPECT_TRUE(transport->written.isEmpty());
    EXPECT_EQ(log.first(), QStringLiteral("saved ") + kUid1);
    EXPECT_TRUE(QFile::exists(home.path() + QStringLiteral("/config/main.cfg")));
}

TEST_F(MainWindowTest, QuitWithoutQuestionRunsTheOrderedQuitEvenWhileTheQuestionIsOpen)
{
    for (const bool questionOpen : {false, true}) {
        SCOPED_TRACE(questionOpen ? "signal while the question is open" : "signal");
        log.clear();
        QFile::remove(home.path() + QStringLiteral("/config/main.cfg"));
        writeMainCfg(
            {QStringLiteral("appLang=en_US"), QStringLiteral("appExitDlg=True"), QStringLiteral("LINK_EXIT=False")});
        create();
        QFile::remove(home.path() + QStringLiteral("/config/main.cfg"));
        openGateway(kUid1, 5);
        int asked = 0;
        main->askQuit = [&](const QString&) {
            ++asked;
            main->quitWithoutQuestion(); // as the signal handler would, then the box says No
            return false;
        };
        main->show();
        if (questionOpen)
            main->close();
        else
            main->quitWithoutQuestion();
        QCoreApplication::processEvents();
        EXPECT_EQ(asked, questionOpen ? 1 : 0);
        EXPECT_FALSE(main->isVisible());
        ASSERT_FALSE(log.isEmpty());
        EXPECT_EQ(log.first(), QStringLiteral("saved ") + kUid1); // GW_STOP and save
        EXPECT_TRUE(QFile::exists(home.path() + QStringLiteral("/config/main.cfg")));
        main.reset();
    }
}

TEST_F(MainWindowTest, NormalGeometryIsStoredButNotTheMaximizedOne)
{
    writeMainCfg({QStringLiteral("appMAXWin=False")});
    create();
    main->show();
    main->setGeometry(50, 60, 700, 500);
    EXPECT_EQ(main->globalConfig().value(QStringLiteral("winWIDTH")), QStringLiteral("700"));
    main->showMaximized();
    QCoreApplication::processEvents();
    EXPECT_EQ(main->globalConfig().value(QStringLiteral("winWIDTH")), QStringLiteral("700"));
}

TEST_F(MainWindowTest, GatewayFileOpensARealGatewayWindowThatAnnouncesItself)
{
    writeMainCfg({QStringLiteral("appLang=en_US")});
    create();
    RegisterChildWindows(*main);
    const QString uid = QStringLiteral("{12345678-AAAA-BBBB-CCCC-1234567890AB}");
    const QString file = home.path() + QStringLiteral("/config/") + uid + QStringLiteral(".rdk");
    ASSERT_TRUE(
        SaveSettingsFile(file, SettingsList({QStringLiteral("gateUID=") + uid, QStringLiteral("gateName=Test Gate")})));
    main->tick(); // link up (fake)
    transport->written.clear();
    ASSERT_NE(main->openGatewayFile(file), nullptr);
    ASSERT_EQ(main->gatewaysInWindowOrder().size(), 1);
    EXPECT_EQ(main->gatewaysInWindowOrder().first()->gateUID(), uid);
    EXPECT_TRUE(main->session().GatewayIstAktiv(uid));
    EXPECT_FALSE(transport->takeLines().filter(QStringLiteral("GW_START")).isEmpty());
    EXPECT_EQ(main->openGatewayFile(home.path() + QStringLiteral("/config/missing.rdk")), nullptr);
}

TEST_F(MainWindowTest, GatewayWindowButtonsOpenOneSetupAndOneRegisterWindowOfThatGateway)
{
    writeMainCfg({QStringLiteral("appLang=en_US")});
    create();
    RegisterChildWindows(*main);
    const QString uid = QStringLiteral("{12345678-AAAA-BBBB-CCCC-1234567890AB}");
    const QString file = home.path() + QStringLiteral("/config/") + uid + QStringLiteral(".rdk");
    ASSERT_TRUE(
        SaveSettingsFile(file, SettingsList({QStringLiteral("gateUID=") + uid, QStringLiteral("gateName=Test Gate")})));
    auto* gw = qobject_cast<GatewayWindow*>(main->openGatewayFile(file));
    ASSERT_NE(gw, nullptr);

    const auto windowsOf = [&](ChildKind kind) {
        QList<QWidget*> out;
        for (QWidget* w : main->childWindows()) {
            auto* cw = dynamic_cast<ChildWindow*>(w);
            if ((cw && cw->childKind() == kind) ||
                (kind == ChildKind::RemoteUsers && qobject_cast<RemoteRegisterWindow*>(w)))
                out << w;
        }
        return out;
    };
    for (int press = 0; press < 2; ++press) { // the second press brings the open ones to the front
        emit gw->settingsRequested(uid, file);
        ASSERT_EQ(windowsOf(ChildKind::GatewaySetup).size(), 1);
        EXPECT_EQ(main->childWindows().first(), windowsOf(ChildKind::GatewaySetup).first());
        emit gw->remotePermissionsRequested(uid, file);
        ASSERT_EQ(windowsOf(ChildKind::RemoteUsers).size(), 1);
        EXPECT_EQ(main->childWindows().first(), windowsOf(ChildKind::RemoteUsers).first());
        EXPECT_EQ(windowsOf(ChildKind::RemoteUsers).first()->windowTitle(),
                  QStringLiteral("Remote-Permissions [Test Gate]"));
    }
    // The setup window edits this gateway's file.
    EXPECT_EQ(windowsOf(ChildKind::GatewaySetup).first()->property("gateUID").toString(), uid);
}

// Once the setup has saved, the running gateway reads the very list the setup edits: a
// later edit acts at once. A quit by signal then drops the unsaved edit (the gateway gets
// the saved settings back and stores them), asks nothing and still ends in order.
TEST_F(MainWindowTest, SavedSetupEditsActAtOnceAndASignalQuitKeepsWhatWasSavedLast)
{
    writeMainCfg(
        {QStringLiteral("appLang=en_US"), QStringLiteral("appExitDlg=True"), QStringLiteral("LINK_EXIT=False")});
    create();
    RegisterChildWindows(*main);
    main->tick(); // link up (fake)
    const QString uid = QStringLiteral("{12345678-AAAA-BBBB-CCCC-1234567890AB}");
    const QString file = home.path() + QStringLiteral("/config/") + uid + QStringLiteral(".rdk");
    ASSERT_TRUE(
        SaveSettingsFile(file, SettingsList({QStringLiteral("gateUID=") + uid, QStringLiteral("gateName=Test Gate")})));
    auto* gw = qobject_cast<GatewayWindow*>(main->openGatewayFile(file));
    ASSERT_NE(gw, nullptr);
    QPointer<GatewayWindow> gwAlive(gw);
    auto* setup = qobject_cast<GatewaySetupWindow*>(GatewayActions(*main).edit(uid, file));
    ASSERT_NE(setup, nullptr);
    const QString nick = QStringLiteral("TS3-NICK");
    const auto live = [&] { return gw->engine().DATARRAY.value(nick); };
    const auto onDisk = [&] { return gatewayconfig::load(file).list.value(nick); };

    setup->model().setText(nick, QStringLiteral("First"));
    EXPECT_NE(live(), QStringLiteral("First")) << "nothing reaches the gateway before the first save";
    ASSERT_TRUE(setup->model().save());
    EXPECT_EQ(live(), QStringLiteral("First"));
    setup->model().setText(nick, QStringLiteral("Second"));
    EXPECT_EQ(live(), QStringLiteral("Second")) << "after a save the gateway reads the edited list itself";
    EXPECT_EQ(onDisk(), QStringLiteral("First"));

    // Any question during the quit is recorded and answered by closing it.
    QStringList asked;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            asked << modal->windowTitle();
            modal->close();
        }
    });
    watcher.start(10);
    main->show();
    main->quitWithoutQuestion();
    QDeadlineTimer deadline(3000);
    while (main->isVisible() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(asked.isEmpty()) << asked.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(onDisk(), QStringLiteral("First")) << "the unsaved edit was dropped";
    EXPECT_FALSE(transport->takeLines().filter(QStringLiteral("GW_STOP")).isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(gwAlive) << "the gateway window ended";
}

TEST_F(MainWindowTest, EveryMenuWindowKindHasItsWindow)
{
    writeMainCfg({QStringLiteral("appLang=en_US")});
    create();
    RegisterChildWindows(*main);
    for (ChildKind kind :
         {ChildKind::GatewayList, ChildKind::ComPortEditor, ChildKind::AppSetup, ChildKind::RogerBeepEditor,
          ChildKind::LinkMonitor, ChildKind::WindowList, ChildKind::SupportForm}) {
        QWidget* w = main->OpenNewChildWindow(kind, QStringLiteral("caption"), SettingsList(), true);
        ASSERT_NE(w, nullptr) << int(kind);
        EXPECT_EQ(dynamic_cast<ChildWindow*>(w)->childKind(), kind);
        EXPECT_EQ(main->OpenNewChildWindow(kind, QStringLiteral("caption"), SettingsList(), true), w) << int(kind);
    }
}

TEST_F(MainWindowTest, DeveloperEntryAsksForTheAccessCodeUntilItWasEnteredOnce)
{
    const QString code = MainWindow::developerAccessCode();
    ASSERT_EQ(code.size(), 23);
    const struct {
        const char* name;
        QString storedCode;            // devPW in main.cfg
        std::optional<QString> answer; // nullopt: Cancel
        bool asked;
        bool opens;
        bool invalidShown;
    } cases[] = {
        {"remembered", code, std::nullopt, false, true, false},
        {"cancel", QString(), std::nullopt, true, false, false},
        {"wrong", QString(), QStringLiteral("letmein123"), true, false, true},
        {"too short", QString(), code.left(5), true, false, true},
        {"stale devPW, right answer", QStringLiteral("old-code"), code, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList lines{QStringLiteral("appLang=en_US")};
        if (!c.storedCode.isEmpty())
            lines << QStringLiteral("devPW=") + c.storedCode;
        writeMainCfg(lines);
        create();
        QStringList prompts;
        main->askAccessCode = [&](const QString& caption, const QString& prompt) {
            prompts << caption + QLatin1Char('|') + prompt;
            return c.answer;
        };
        main->mainMenu()->findChild<QAction*>(QStringLiteral("developerEntry"))->trigger();
        EXPECT_EQ(!prompts.isEmpty(), c.asked);
        if (c.asked) {
            EXPECT_EQ(prompts.first(),
                      QStringLiteral("Enter Developer-Password|Please enter the Developer-Password!!"));
        }
        const bool open = !main->childWindows().isEmpty() &&
                          dynamic_cast<LinkMonitorWindow*>(main->childWindows().first()) != nullptr;
        EXPECT_EQ(open, c.opens);
        if (open) {
            EXPECT_EQ(main->childWindows().first()->windowTitle(), QStringLiteral("DEBUG"));
        }
        bool invalid = false;
        for (QMessageBox* box : main->findChildren<QMessageBox*>())
            invalid = invalid || box->text() == QStringLiteral("Input invalid!!");
        EXPECT_EQ(invalid, c.invalidShown);
        EXPECT_EQ(main->globalConfig().value(QStringLiteral("devPW")), c.opens ? code : c.storedCode);
        // Once entered, the code is not asked again.
        if (c.opens) {
            prompts.clear();
            main->openDeveloperEntry();
            EXPECT_TRUE(prompts.isEmpty());
        }
        main.reset();
    }
}

TEST_F(MainWindowTest, WindowMenuListsTheOpenWindowsEachTimeItOpens)
{
    writeMainCfg({QStringLiteral("appLang=en_US")});
    create();
    QMenu* menu = nullptr;
    for (QAction* a : main->mainMenu()->actions())
        if (a->text() == QStringLiteral("&Window"))
            menu = a->menu();
    ASSERT_NE(menu, nullptr);
    const auto items = [&] {
        emit menu->aboutToShow();
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("--") : a->text());
        return out;
    };
    EXPECT_EQ(items(), (QStringList{QStringLiteral("&List Window"), QStringLiteral("--")}));
    openGateway(kUid1, 5);
    openGateway(kUid2, 6);
    EXPECT_EQ(items(), (QStringList{QStringLiteral("&List Window"), QStringLiteral("--"), kUid2, kUid1}));

    // An item whose window closed after the menu was built does nothing.
    const QList<QAction*> actions = menu->actions();
    delete main->childWindows().last()->parentWidget(); // kUid1's frame
    actions.last()->trigger();
    EXPECT_EQ(main->childWindows().size(), 1);
    // Clicking an item brings that window to the front.
    openGateway(kUid1, 7);
    items();
    menu->actions().last()->trigger();
    EXPECT_EQ(main->childWindows().first()->windowTitle(), kUid2);
}

TEST_F(MainWindowTest, WindowListGroupsTheOpenWindowsAndRefreshesEveryFiveSeconds)
{
    writeMainCfg({QStringLiteral("appLang=en_US")});
    create();
    openGateway(kUid1, 5);
    for (ChildKind kind : {ChildKind::ComStatus, ChildKind::GatewaySetup, ChildKind::LinkMonitor}) {
        main->setChildFactory(kind, [kind](MainWindow&, const QString&, const SettingsList&) -> QWidget* {
            return new PlainChild(kind);
        });
        main->OpenNewChildWindow(kind, QStringLiteral("K%1").arg(int(kind)), SettingsList(), false);
    }
    auto* list = qobject_cast<WindowListWindow*>(
        main->OpenNewChildWindow(ChildKind::WindowList, GetText(QStringLiteral("0501")), SettingsList(), true));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->windowTitle(), QStringLiteral("available Window"));
    EXPECT_EQ(list->rows(WindowListWindow::GatewayGroup).size(), 1);
    EXPECT_TRUE(list->rows(WindowListWindow::GatewayGroup).first().startsWith(kUid1 + QLatin1Char('\t')));
    EXPECT_EQ(list->rows(WindowListWindow::ComPortGroup).size(), 1);
    EXPECT_EQ(list->rows(WindowListWindow::SetupGroup).size(), 1);
    // The link monitor; the list itself was not open yet while it loaded.
    EXPECT_EQ(list->rows(WindowListWindow::OtherGroup).size(), 1);

    // Countdown 5..1, then "(+)" with a reload, then 5 again.
    main->OpenNewChildWindow(ChildKind::LinkMonitor, QStringLiteral("second"), SettingsList(), false);
    list->setAutoRefresh(true);
    QStringList captions{list->autoRefreshCaption()};
    for (int i = 0; i < 6; ++i) {
        list->countdownTick();
        captions << list->autoRefreshCaption();
        if (i == 3) {
            EXPECT_EQ(list->rows(WindowListWindow::OtherGroup).size(), 1); // not reloaded yet
        }
    }
    const QString t = QStringLiteral("Auto Refresh");
    EXPECT_EQ(captions,
              (QStringList{t + " (5)", t + " (4)", t + " (3)", t + " (2)", t + " (1)", t + " (+)", t + " (5)"}));
    EXPECT_EQ(list->rows(WindowListWindow::OtherGroup).size(), 3); // two monitors and the list
    list->setAutoRefresh(false);
    list->countdownTick();
    EXPECT_EQ(list->autoRefreshCaption(), t);
}

TEST_F(MainWindowTest, SupportFormChecksItsFieldsInOrderAndClosesOnlyOnAnAnswer)
{
    writeMainCfg({QStringLiteral("appLang=en_US"), QStringLiteral("MySupportAddr=old@example.net")});
    create();
    const auto messages = [&] {
        QStringList out;
        for (QMessageBox* box : main->findChildren<QMessageBox*>()) {
            out << box->text();
            delete box;
        }
        return out;
    };
    QList<QStringList> sent;
    DirectoryReply reply;
    QList<SupportFormWindow::Done> held; // answers not given yet
    bool later = false;
    auto* form = new SupportFormWindow(*main, [&](const QString& subject, const QString& email, const QString& message,
                                                  QObject*, SupportFormWindow::Done done) {
        sent << QStringList{subject, email, message};
        if (later)
            held << done;
        else
            done(reply);
    });
    main->setChildFactory(ChildKind::SupportForm,
                          [form](MainWindow&, const QString&, const SettingsList&) -> QWidget* { return form; });
    ASSERT_EQ(main->OpenNewChildWindow(ChildKind::SupportForm, GetText(QStringLiteral("1150")), SettingsList(), true),
              form);
    EXPECT_EQ(form->addressEdit()->text(), QStringLiteral("old@example.net"));
    EXPECT_EQ(form->counterText(), QStringLiteral("0 / 4000"));

    // The first empty field (subject, address, message) is the one reported.
    const struct {
        const char* subject;
        const char* email;
        const char* message;
        const char* text;
    } refusals[] = {
        {"", "", "", "Please only enter a Subject for your message"},
        {"Hello", "", "", "Without an email address we can not answer your question, unfortunately"},
        {"Hello", "me@example.net", "", "Please only enter a text for your message"},
    };
    for (const auto& r : refusals) {
        form->subjectEdit()->setText(QString::fromLatin1(r.subject));
        form->addressEdit()->setText(QString::fromLatin1(r.email));
        form->messageEdit()->setPlainText(QString::fromLatin1(r.message));
        form->send();
        EXPECT_EQ(messages(), QStringList{QString::fromLatin1(r.text)});
    }
    EXPECT_TRUE(sent.isEmpty());

    // Limits and the counter.
    form->subjectEdit()->setText(QString(80, QLatin1Char('s')));
    EXPECT_EQ(form->subjectEdit()->text().size(), 55);
    form->messageEdit()->setPlainText(QString(4100, QLatin1Char('m')));
    EXPECT_EQ(form->messageEdit()->toPlainText().size(), 4000);
    EXPECT_EQ(form->counterText(), QStringLiteral("4000 / 4000"));
    form->subjectEdit()->setText(QStringLiteral("PTT stuck"));
    form->messageEdit()->setPlainText(QStringLiteral("Radio keyed forever"));
    EXPECT_EQ(form->counterText(), QStringLiteral("19 / 4000"));

    // No answer text (service unreachable): the address is kept, the error shown, the form stays.
    reply.error = QStringLiteral("Support: host not found");
    form->send();
    EXPECT_EQ(sent.size(), 1);
    EXPECT_EQ(sent.last(), (QStringList{QStringLiteral("PTT stuck"), QStringLiteral("me@example.net"),
                                        QStringLiteral("Radio keyed forever")}));
    EXPECT_EQ(main->globalConfig().value(QStringLiteral("MySupportAddr")), QStringLiteral("me@example.net"));
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_TRUE(main->statusText(1).contains(QStringLiteral("Support: host not found")));
    EXPECT_EQ(main->childWindows().size(), 1);

    // While the form is out the button is off and a second send sends nothing; the answer
    // that comes later is handled as one that came at once.
    later = true;
    auto* sendButton = form->findChild<QPushButton*>(QStringLiteral("send"));
    ASSERT_NE(sendButton, nullptr);
    form->send();
    EXPECT_TRUE(form->waiting());
    EXPECT_FALSE(sendButton->isEnabled());
    form->send();
    sendButton->click();
    EXPECT_EQ(sent.size(), 2);
    ASSERT_EQ(held.size(), 1);
    reply.error = QStringLiteral("Support: timed out");
    held.takeFirst()(reply);
    EXPECT_FALSE(form->waiting());
    EXPECT_TRUE(sendButton->isEnabled());
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_TRUE(main->statusText(1).contains(QStringLiteral("Support: timed out")));
    EXPECT_EQ(main->childWindows().size(), 1);
    later = false;

    // An answer: shown, and the form closes.
    reply = DirectoryReply{true, QByteArray("Thank you, ticket 4711"), 200, QString()};
    QPointer<SupportFormWindow> guard(form);
    form->send();
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Thank you, ticket 4711")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_TRUE(main->childWindows().isEmpty());
}

// A support form closed while its message is out: the answer that comes afterwards shows
// nothing and finds nothing to call.
TEST_F(MainWindowTest, SupportFormClosedWhileSendingIgnoresTheLateAnswer)
{
    writeMainCfg({QStringLiteral("appLang=en_US")});
    create();
    QList<SupportFormWindow::Done> held;
    auto* form = new SupportFormWindow(*main, [&](const QString&, const QString&, const QString&, QObject*,
                                                  SupportFormWindow::Done done) { held << done; });
    main->setChildFactory(ChildKind::SupportForm,
                          [form](MainWindow&, const QString&, const SettingsList&) -> QWidget* { return form; });
    ASSERT_EQ(main->OpenNewChildWindow(ChildKind::SupportForm, GetText(QStringLiteral("1150")), SettingsList(), true),
              form);
    form->subjectEdit()->setText(QStringLiteral("PTT stuck"));
    form->addressEdit()->setText(QStringLiteral("me@example.net"));
    form->messageEdit()->setPlainText(QStringLiteral("Radio keyed forever"));
    form->send();
    ASSERT_EQ(held.size(), 1);
    QPointer<SupportFormWindow> guard(form);
    form->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(guard.isNull());
    held.takeFirst()(DirectoryReply{true, QByteArray("Thank you, ticket 4711"), 200, QString()});
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->findChildren<QMessageBox*>().isEmpty());
    EXPECT_TRUE(main->childWindows().isEmpty());
}

// Sends "GET / HTTP/1.0" and returns what came back within a few seconds.
QByteArray httpGet(quint16 port)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(3000))
        return {};
    s.write("GET / HTTP/1.0\r\nHost: localhost\r\n\r\n");
    QByteArray answer;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && s.state() == QAbstractSocket::ConnectedState) {
        if (s.waitForReadyRead(200))
            answer += s.readAll();
    }
    return answer + s.readAll();
}

TEST_F(MainWindowTest, WebInterfaceFollowsHttpActiveAndReportsABusyPort)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::Any));
    const quint16 port = probe.serverPort();
    const struct {
        const char* active;
        bool busy;
        bool serves;
    } cases[] = {{"True", false, true}, {"False", false, false}, {"True", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.active) + (c.busy ? " busy" : ""));
        if (!c.busy) {
            probe.close();
        } else if (!probe.isListening()) {
            ASSERT_TRUE(probe.listen(QHostAddress::Any, port));
        }
        writeMainCfg({QStringLiteral("appLang=en_US"), QStringLiteral("HTTP_ACTIVE=") + QLatin1String(c.active),
                      QStringLiteral("HTTP_PORT=%1").arg(port)});
        create();
        if (c.serves) {
            const QByteArray answer = httpGet(port);
            EXPECT_TRUE(answer.startsWith("HTTP/1.")) << answer.left(200).toStdString();
            EXPECT_TRUE(answer.contains("Relaydeck")) << answer.left(400).toStdString();
        } else if (!c.busy) {
            EXPECT_TRUE(httpGet(port).isEmpty());
        }
        // A port that cannot be opened shows in the error panel; otherwise it stays quiet.
        EXPECT_EQ(main->statusText(1).contains(QStringLiteral("[ERROR]")), c.busy) << main->statusText(1).toStdString();
        main.reset();
    }
}

// Not a check: leaves a picture of the frame for a look by eye.
TEST_F(MainWindowTest, Screenshot)
{
    writeMainCfg({QStringLiteral("appLang=en_US"), QStringLiteral("appMAXWin=False"), QStringLiteral("winWIDTH=1100"),
                  QStringLiteral("winHEIGHT=700")});
    create();
    main->show();
    main->tick();
    main->tick();
    main->session().onBlock(QByteArray("<HELLO>\r\0", 9));
    main->session().onBlock("PROFILES type=0 items=Default|USB^sCodec \rPROFILES type=1 items=Speakers \r");
    main->OpenNewChildWindow(ChildKind::LinkMonitor, QStringLiteral("DEBUG"), SettingsList(), true);
    main->session().onBlock("RXVOICE scHandler=5 status=1 \rSTATUS scHandler=5 status=4 \r");
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->grab().save(QStringLiteral("/tmp/relaydeck-main.png")));
    // The window list over them, with the countdown running.
    openGateway(kUid1, 5);
    auto* list = qobject_cast<WindowListWindow*>(
        main->OpenNewChildWindow(ChildKind::WindowList, GetText(QStringLiteral("0501")), SettingsList(), true));
    ASSERT_NE(list, nullptr);
    list->setAutoRefresh(true);
    list->countdownTick();
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->grab().save(QStringLiteral("/tmp/relaydeck-windowlist.png")));
}

} // namespace
