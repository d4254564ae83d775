// The start window, the gateway list and the Gateway menu inside a real main window with
// a fresh home folder; gateway, setup and register windows are recording stand-ins.
#include "app/config/globalfunct.h"
#include "app/config/texts.h"
#include "app/ui/gatewaywindow.h"
#include "app/serial/comportmanager.h"
#include "app/session/tests/sessionfakes.h"
#include "app/ui/comchildwindows.h"
#include "app/ui/gatewaylistwindow.h"
#include "app/ui/mainwindow.h"
#include "app/ui/startwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

int g_argc = 1;
char g_arg0[] = "rd_ui_tests";
char* g_argv[] = {g_arg0, nullptr};

void ensureApp()
{
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(g_argc, g_argv);
    }
}

const QString kNorth = QStringLiteral("{10000000-0000-0000-0000-00000000000A}");
const QString kIdle = QStringLiteral("{20000000-0000-0000-0000-00000000000B}");
const QString kSouth = QStringLiteral("{30000000-0000-0000-0000-00000000000C}");

// A gateway window stand-in: identity from the file it was opened for.
class StubGatewayWindow : public QWidget, public ChildWindow {
public:
    explicit StubGatewayWindow(const QString& uid) : gw(uid, 0, false) {}
    ChildKind childKind() const override { return ChildKind::Gateway; }
    GatewayEndpoint* gatewayEndpoint() override { return &gw; }
    FakeGateway gw;
};

class StubChild : public QWidget, public ChildWindow {
public:
    explicit StubChild(ChildKind k) : m_kind(k) {}
    ChildKind childKind() const override { return m_kind; }

private:
    ChildKind m_kind;
};

struct Opened {
    ChildKind kind;
    QString caption;
    SettingsList params;
};

class StartWinWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(cfg);
        saved = GatewayDialogs::current();
        GatewayDialogs& d = GatewayDialogs::current();
        d.askYesNo = [this](const QString& q) {
            dialogs << QStringLiteral("ask|") + q;
            return answerYes;
        };
        d.error = [this](const QString& t) { dialogs << QStringLiteral("error|") + t; };
        d.information = [this](const QString& t) { dialogs << QStringLiteral("info|") + t; };
        d.inputName = [this](const QString& caption, const QString& prompt) {
            dialogs << QStringLiteral("input|") + caption + QLatin1Char('|') + prompt;
            return typedName;
        };
    }
    void TearDown() override
    {
        main.reset();
        GatewayDialogs::current() = saved;
        SetAppLang(QStringLiteral("de_DE"));
    }

    void writeGateway(const QString& uid, const QString& name, bool autorun, const QString& activ = QString())
    {
        SettingsList gw;
        gw.setBool(QStringLiteral("gateExitDlg"), false); // real gateway windows close without a question
        gw.setValue(QStringLiteral("gateUID"), uid);
        gw.setValue(QStringLiteral("gateName"), name);
        gw.setBool(QStringLiteral("gateAutorun"), autorun);
        gw.setValue(QStringLiteral("activTime"), activ);
        ASSERT_TRUE(SaveSettingsFile(path(uid), gw));
    }
    QString path(const QString& uid) const { return QDir(cfg).filePath(uid + QStringLiteral(".rdk")); }
    QString remPath(const QString& uid) const { return QDir(cfg).filePath(uid + QStringLiteral(".rem")); }
    void writeText(const QString& file, const QByteArray& text)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    void create()
    {
        // English texts from the settings, as a user who chose English gets them.
        ASSERT_TRUE(SaveSettingsFile(QDir(cfg).filePath(QStringLiteral("main.cfg")),
                                     SettingsList(QStringList{QStringLiteral("appLang=en_US")})));
        MainWindow::Options o;
        o.home = home.path();
        o.transport = std::make_unique<FakeTransport>();
        o.startTimers = false;
        main = std::make_unique<MainWindow>(std::move(o));
        RegisterStartAndListWindows(*main);
        main->setChildFactory(
            ChildKind::Gateway, [this](MainWindow&, const QString& caption, const SettingsList& p) -> QWidget* {
                opened.append({ChildKind::Gateway, caption, p});
                const std::optional<SettingsList> gw = gatewayfiles::read(p.value(QStringLiteral("CFG_FILE")));
                return gw ? new StubGatewayWindow(gw->value(QStringLiteral("gateUID"))) : nullptr;
            });
        for (ChildKind k : {ChildKind::GatewaySetup, ChildKind::RemoteUsers})
            main->setChildFactory(k, [this, k](MainWindow&, const QString& caption, const SettingsList& p) -> QWidget* {
                opened.append({k, caption, p});
                return new StubChild(k);
            });
        main->resize(1000, 700);
    }

    template <class T>
    QList<T*> windowsOf() const
    {
        QList<T*> out;
        for (QWidget* w : main->childWindows())
            if (auto* t = dynamic_cast<T*>(w))
                out << t;
        return out;
    }
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    static QStringList rowTexts(const QTreeWidget* list)
    {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* r = list->topLevelItem(i);
            out << r->text(0) + QLatin1Char('|') + r->text(1);
        }
        return out;
    }
    static QStringList menuTexts(const QMenu* m)
    {
        QStringList out;
        for (const QAction* a : m->actions())
            out << (a->isSeparator() ? QStringLiteral("--")
                                     : a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (off)")));
        return out;
    }
    static QMenu* subMenu(const QMenu& menu, const QString& title)
    {
        for (QMenu* m : menu.findChildren<QMenu*>())
            if (m->title() == title)
                return m;
        return nullptr;
    }
    GatewayListWindow* openList()
    {
        return dynamic_cast<GatewayListWindow*>(
            main->OpenNewChildWindow(ChildKind::GatewayList, GetText(QStringLiteral("0201")), SettingsList(), true));
    }
    void select(GatewayListWindow* list, const QString& name)
    {
        const auto rows = list->list()->findItems(name, Qt::MatchExactly, 0);
        ASSERT_EQ(rows.size(), 1) << name.toStdString();
        list->list()->setCurrentItem(rows.first());
    }

    QTemporaryDir home;
    QString cfg = home.filePath(QStringLiteral("config"));
    std::unique_ptr<MainWindow> main;
    QList<Opened> opened;
    QStringList dialogs;
    bool answerYes = true;
    std::optional<QString> typedName;
    GatewayDialogs saved;
};

TEST_F(StartWinWindowsTest, FirstShowOpensPortsStatusWindowsAndTheAutostartGatewayThenCloses)
{
    // COM9 leads to a device that does not exist: logged, its status window still opens.
    writeText(QDir(cfg).filePath(QStringLiteral("comport.cfg")),
              "[COM9]\r\nident=9\r\nactiv=1\r\nstatus=1\r\ntop=200\r\nleft=300\r\ndevice=/nonexistent/ttyRD9\r\n");
    writeGateway(kNorth, QStringLiteral("Relay North"), true);
    writeGateway(kIdle, QStringLiteral("Relay Idle"), false);
    create();
    main->show();
    const auto starts = windowsOf<StartWindow>();
    ASSERT_EQ(starts.size(), 1);
    StartWindow* start = starts.first();
    EXPECT_EQ(start->windowTitle(), QStringLiteral("Relaydeck is starting"));
    settle(); // the sequence starts from the event loop once the window is up
    EXPECT_EQ(start->parentWidget()->pos(), QPoint(10, 10));
    EXPECT_FALSE(start->parentWidget()->windowFlags() & Qt::WindowSystemMenuHint); // no close button
    EXPECT_TRUE(start->timer().isActive());
    EXPECT_EQ(start->timer().interval(), 2000);
    EXPECT_EQ(start->timer().timerType(), Qt::PreciseTimer); // 2 s apart, not 1.9 s
    const auto status = windowsOf<ComStatusChild>();
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status.first()->PORT_ID(), 9);
    EXPECT_EQ(status.first()->windowTitle(), QStringLiteral("Status: COM9"));
    EXPECT_EQ(status.first()->parentWidget()->pos(), QPoint(300, 200));
    EXPECT_TRUE(opened.isEmpty());

    start->fireTimer();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].kind, ChildKind::Gateway);
    EXPECT_EQ(opened[0].caption, QStringLiteral("Relay North"));
    EXPECT_EQ(opened[0].params.value(QStringLiteral("CFG_FILE")), path(kNorth));
    EXPECT_TRUE(GatewayActions(*main).isActive(kNorth));
    start->fireTimer(); // Relay Idle: passed over
    EXPECT_EQ(start->timer().interval(), 150);
    start->fireTimer(); // Done
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(start->logText(),
              QStringLiteral(" -> starting\n -> open COM-Port... [ COM9 ]\n -> ERROR... [ COM9 /nonexistent/ttyRD9 ]\n"
                             " -> Gateway start... [ Relay North ]\n -> Done"));
    start->fireTimer(); // closes
    settle();
    EXPECT_TRUE(windowsOf<StartWindow>().isEmpty());
    EXPECT_EQ(windowsOf<StubGatewayWindow>().size(), 1);
}

TEST_F(StartWinWindowsTest, ListShowsSortedRowsRunningStateAndHidesAutostartGateways)
{
    writeGateway(kSouth, QStringLiteral("Relay South"), false, QStringLiteral("01.02.2026 10:00:00"));
    writeGateway(kNorth, QStringLiteral("Relay North"), true, QStringLiteral("03.04.2026 11:00:00"));
    writeGateway(kIdle, QStringLiteral("Alpha Idle"), false);
    create();
    GatewayActions(*main).open(path(kSouth), QStringLiteral("Relay South"));
    GatewayListWindow* list = openList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->windowTitle(), QStringLiteral("My Gateway"));
    EXPECT_EQ(openList(), list); // only one
    EXPECT_EQ(rowTexts(list->list()),
              (QStringList{QStringLiteral("Alpha Idle|"), QStringLiteral("Relay North|03.04.2026 11:00:00"),
                           QStringLiteral("Relay South| - active - ")}));
    EXPECT_TRUE(list->list()->isColumnHidden(GatewayListWindow::PathColumn));
    EXPECT_EQ(list->list()->topLevelItem(2)->text(GatewayListWindow::UidColumn), kSouth);

    list->hideAutostartBox()->setChecked(true);
    EXPECT_EQ(rowTexts(list->list()).size(), 2);
    EXPECT_TRUE(list->list()->findItems(QStringLiteral("Relay North"), Qt::MatchExactly).isEmpty());
    list->hideAutostartBox()->setChecked(false);
    EXPECT_EQ(rowTexts(list->list()).size(), 3);

    // Nothing selected: only "new"; a running gateway: stop, delete disabled.
    list->list()->clearSelection();
    EXPECT_EQ(menuTexts(list->contextMenu()),
              (QStringList{QStringLiteral("Gateway start (off)"), QStringLiteral("--"), QStringLiteral("Edit (off)"),
                           QStringLiteral("Delete (off)"), QStringLiteral("Remote-Permissions (off)"),
                           QStringLiteral("--"), QStringLiteral("New Gateway")}));
    select(list, QStringLiteral("Relay South"));
    EXPECT_EQ(menuTexts(list->contextMenu()),
              (QStringList{QStringLiteral("Stop Gateway"), QStringLiteral("--"), QStringLiteral("Edit"),
                           QStringLiteral("Delete (off)"), QStringLiteral("Remote-Permissions"), QStringLiteral("--"),
                           QStringLiteral("New Gateway")}));
    // Double-click on a running one: information, nothing opened; start/stop stops it.
    list->activateRow(list->list()->findItems(QStringLiteral("Relay South"), Qt::MatchExactly).first());
    EXPECT_EQ(dialogs, QStringList{QStringLiteral("info|The Gateway is already started\r>> Relay South")});
    EXPECT_EQ(opened.size(), 1);
    select(list, QStringLiteral("Relay South"));
    list->startStopSelected();
    EXPECT_EQ(windowsOf<StubGatewayWindow>().first()->gw.calls, QStringList{QStringLiteral("Close")});
    // Double-click on a stopped one opens it with its name as caption.
    list->activateRow(list->list()->findItems(QStringLiteral("Alpha Idle"), Qt::MatchExactly).first());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1].caption, QStringLiteral("Alpha Idle"));
    EXPECT_EQ(rowTexts(list->list())[0], QStringLiteral("Alpha Idle| - active - "));

    // F5 reads the files again, F3 asks for a new gateway's name.
    writeGateway(QStringLiteral("{40000000-0000-0000-0000-00000000000D}"), QStringLiteral("Beta New"), false);
    EXPECT_EQ(list->list()->topLevelItemCount(), 3);
    QTest::keyClick(list->list(), Qt::Key_F5);
    EXPECT_EQ(list->list()->topLevelItemCount(), 4);
    dialogs.clear();
    QTest::keyClick(list->list(), Qt::Key_F3);
    EXPECT_EQ(dialogs, QStringList{QStringLiteral("input|Change Gateway Name|Please enter new name...")});
}

TEST_F(StartWinWindowsTest, DeleteRemovesTheGatewayFileAndItsRegistrationsOnlyWhenStoppedAndConfirmed)
{
    writeGateway(kNorth, QStringLiteral("Relay North"), false);
    writeGateway(kSouth, QStringLiteral("Relay South"), false);
    writeText(remPath(kNorth), "[user]\r\nNICK=Alice\r\n");
    writeText(remPath(kSouth), "[user]\r\nNICK=Bob\r\n");
    create();
    GatewayActions(*main).open(path(kSouth), QStringLiteral("Relay South"));
    GatewayListWindow* list = openList();

    // Running: refused, nothing asked, nothing deleted.
    select(list, QStringLiteral("Relay South"));
    list->deleteSelected();
    EXPECT_EQ(dialogs, QStringList{QStringLiteral("error|A Gateway can only be deleted if it is not active")});
    EXPECT_TRUE(QFile::exists(path(kSouth)) && QFile::exists(remPath(kSouth)));

    // Stopped, answered No: nothing deleted.
    dialogs.clear();
    answerYes = false;
    select(list, QStringLiteral("Relay North"));
    list->deleteSelected();
    EXPECT_EQ(dialogs, QStringList{QStringLiteral("ask|Really delete this Gateway??\r>> Relay North")});
    EXPECT_TRUE(QFile::exists(path(kNorth)) && QFile::exists(remPath(kNorth)));

    // Yes: both files go, the row goes, the other gateway's files stay.
    answerYes = true;
    select(list, QStringLiteral("Relay North"));
    list->deleteSelected();
    EXPECT_FALSE(QFile::exists(path(kNorth)));
    EXPECT_FALSE(QFile::exists(remPath(kNorth)));
    EXPECT_EQ(rowTexts(list->list()), QStringList{QStringLiteral("Relay South| - active - ")});
    EXPECT_TRUE(QFile::exists(path(kSouth)) && QFile::exists(remPath(kSouth)));
}

TEST_F(StartWinWindowsTest, ADeleteThatLeavesAFileBehindReportsAndKeepsTheList)
{
    writeGateway(kNorth, QStringLiteral("Relay North"), false);
    // A registration "file" that cannot be removed: a folder with content.
    QDir().mkpath(remPath(kNorth) + QStringLiteral("/keep"));
    create();
    GatewayListWindow* list = openList();
    select(list, QStringLiteral("Relay North"));
    list->deleteSelected();
    EXPECT_EQ(dialogs, (QStringList{QStringLiteral("ask|Really delete this Gateway??\r>> Relay North"),
                                    QStringLiteral("error|ERROR when deleting!!")}));
    EXPECT_EQ(rowTexts(list->list()).size(), 1); // left as it was
}

TEST_F(StartWinWindowsTest, GatewayMenuListsEveryGatewayWithItsActions)
{
    writeGateway(kNorth, QStringLiteral("Relay North"), true);
    writeGateway(kSouth, QStringLiteral("Relay South"), false);
    writeText(QDir(cfg).filePath(QStringLiteral("junk.rdk")), "bm90IGEgZ2F0ZXdheQ=="); // decodes, no gateUID
    create();
    GatewayActions(*main).open(path(kSouth), QStringLiteral("Relay South"));
    QMenu menu;
    menu.addAction(QStringLiteral("new"));
    menu.addAction(QStringLiteral("list"));
    menu.addSeparator();
    for (int pass = 0; pass < 2; ++pass) { // rebuilt each time it opens, never doubled
        RebuildGatewayMenu(&menu, *main);
        const QList<QAction*> items = menu.actions();
        ASSERT_EQ(items.size(), 5);
        EXPECT_EQ(menu.findChildren<QMenu*>().size(), 2);
        EXPECT_EQ(items[0]->text(), QStringLiteral("new"));
        EXPECT_EQ(items[3]->text(), QStringLiteral("&Relay North"));
        EXPECT_EQ(items[4]->text(), QStringLiteral("&Relay South"));
        EXPECT_EQ(menuTexts(subMenu(menu, items[3]->text())),
                  (QStringList{QStringLiteral("Gateway start"), QStringLiteral("--"), QStringLiteral("Edit"),
                               QStringLiteral("Delete"), QStringLiteral("Remote-Permissions")}));
        EXPECT_EQ(menuTexts(subMenu(menu, items[4]->text())),
                  (QStringList{QStringLiteral("Stop Gateway"), QStringLiteral("--"), QStringLiteral("Edit"),
                               QStringLiteral("Delete (off)"), QStringLiteral("Remote-Permissions")}));
    }
    // Start from the menu opens the window with the gateway's name as caption.
    subMenu(menu, QStringLiteral("&Relay North"))->actions()[0]->trigger();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1].caption, QStringLiteral("Relay North"));
    EXPECT_EQ(opened[1].params.value(QStringLiteral("CFG_FILE")), path(kNorth));
}

TEST_F(StartWinWindowsTest, EditAndRegistrationsReuseTheOpenWindowAndNewAsksForTheName)
{
    writeGateway(kNorth, QStringLiteral("Relay North"), false);
    create();
    GatewayActions acts(*main);
    QWidget* setup = acts.edit(kNorth, path(kNorth));
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(acts.edit(kNorth, path(kNorth)), setup); // to the front, not a second one
    QWidget* regs = acts.registrations(kNorth, path(kNorth), QStringLiteral("Relay North"));
    EXPECT_EQ(acts.registrations(kNorth, path(kNorth), QStringLiteral("Relay North")), regs);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].caption, QStringLiteral("Settings"));
    EXPECT_EQ(opened[0].params.lines(),
              (QStringList{QStringLiteral("loadConfig=True"), QStringLiteral("CFG_FILE=") + path(kNorth)}));
    EXPECT_EQ(opened[1].caption, QStringLiteral("Remote-Permissions [Relay North]"));
    EXPECT_EQ(opened[1].params.lines(),
              (QStringList{QStringLiteral("gateUID=") + kNorth, QStringLiteral("CFG_FILE=") + path(kNorth),
                           QStringLiteral("gateName=Relay North")}));

    // New: Cancel and a blank name open nothing; a name opens the setup for a new gateway.
    const struct {
        std::optional<QString> typed;
        bool opens;
    } cases[] = {{std::nullopt, false}, {QStringLiteral("   "), false}, {QStringLiteral("Relay East"), true}};
    for (const auto& c : cases) {
        typedName = c.typed;
        opened.clear();
        EXPECT_EQ(acts.createNew() != nullptr, c.opens);
        EXPECT_EQ(opened.size(), c.opens ? 1 : 0);
    }
    EXPECT_EQ(dialogs.last(), QStringLiteral("input|Change Gateway Name|Please enter new name..."));
    EXPECT_EQ(opened[0].caption, QStringLiteral("Settings"));
    EXPECT_EQ(opened[0].params.lines(),
              (QStringList{QStringLiteral("loadConfig=False"), QStringLiteral("setGateName=True"),
                           QStringLiteral("newGateName=Relay East")}));
}

TEST_F(StartWinWindowsTest, ComWindowsAreChildWindowsFoundByPortAndTheEditorClosesAfterSaveAndOpen)
{
    create();
    auto* editor = dynamic_cast<ComPortEditorChild*>(
        main->OpenNewChildWindow(ChildKind::ComPortEditor, GetText(QStringLiteral("0301")), SettingsList(), true));
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(ComStatusIsOpen(*main, 4));
    QWidget* status = OpenComStatusWindow(*main, 4, 30, 40);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->windowTitle(), QStringLiteral("Status: COM4"));
    EXPECT_TRUE(ComStatusIsOpen(*main, 4));
    EXPECT_FALSE(ComStatusIsOpen(*main, 5));
    EXPECT_EQ(OpenComStatusWindow(*main, 0, 10, 10), nullptr); // no such port
    editor->saveAndOpen();
    settle();
    EXPECT_TRUE(windowsOf<ComPortEditorChild>().isEmpty());
    EXPECT_EQ(windowsOf<ComStatusChild>().size(), 1);
}

TEST_F(StartWinWindowsTest, StoppingARealGatewayFromTheListShowsItStoppedAgain)
{
    writeGateway(kNorth, QStringLiteral("Relay North"), false, QStringLiteral("03.04.2026 11:00:00"));
    create();
    main->setChildFactory(ChildKind::Gateway, [](MainWindow& m, const QString&, const SettingsList& p) -> QWidget* {
        return CreateGatewayWindow(m.session(), m, p);
    });
    GatewayListWindow* list = openList();
    select(list, QStringLiteral("Relay North"));
    list->startStopSelected();
    ASSERT_EQ(windowsOf<GatewayWindow>().size(), 1);
    EXPECT_EQ(rowTexts(list->list()), QStringList{QStringLiteral("Relay North| - active - ")});
    select(list, QStringLiteral("Relay North"));
    list->startStopSelected();
    settle();
    EXPECT_TRUE(windowsOf<GatewayWindow>().isEmpty());
    EXPECT_FALSE(GatewayActions(*main).isActive(kNorth));
    ASSERT_EQ(list->list()->topLevelItemCount(), 1);
    EXPECT_NE(list->list()->topLevelItem(0)->text(1), QStringLiteral(" - active - ")); // its new activTime
}

TEST_F(StartWinWindowsTest, Screenshot)
{
    writeText(QDir(cfg).filePath(QStringLiteral("comport.cfg")),
              "[COM9]\r\nident=9\r\nactiv=1\r\nstatus=1\r\ntop=240\r\nleft=10\r\ndevice=/nonexistent/ttyRD9\r\n");
    writeGateway(kNorth, QStringLiteral("DB0XYZ Relay North"), true, QStringLiteral("03.04.2026 11:00:00"));
    writeGateway(kIdle, QStringLiteral("2m Simplex 145.500"), false, QStringLiteral("01.02.2026 10:00:00"));
    writeGateway(kSouth, QStringLiteral("70cm Repeater South"), false, QStringLiteral("28.01.2026 19:42:10"));
    create();
    // The real gateway window this time.
    main->setChildFactory(ChildKind::Gateway, [](MainWindow& m, const QString&, const SettingsList& p) -> QWidget* {
        return CreateGatewayWindow(m.session(), m, p);
    });
    main->resize(1280, 860);
    main->show();
    settle();
    StartWindow* start = windowsOf<StartWindow>().first();
    start->fireTimer();
    GatewayListWindow* list = openList();
    list->parentWidget()->move(10, 240);
    for (auto* gw : windowsOf<GatewayWindow>())
        gw->parentWidget()->move(452, 10);
    for (auto* st : windowsOf<ComStatusChild>()) {
        st->parentWidget()->move(250, 600);
        st->parentWidget()->raise();
    }
    select(list, QStringLiteral("70cm Repeater South"));
    settle();
    const QImage shot = main->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(QStringLiteral("/tmp/startwin_main.png")));
}

} // namespace
