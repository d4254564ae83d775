// The gateway setup window inside the main window: opened through the gateway actions,
// one per gateway, saving into the gateway that runs in another window.
#include "app/ui/gatewaylistwindow.h"
#include "app/ui/gatewaysetupwindow.h"
#include "app/ui/mainwindow.h"
#include "app/ui/tests/gatewaysetup_fixture.h"

#include <QMdiSubWindow>

namespace {

using setuptest::kUid;

// A running gateway as the main window sees it.
class RunningGatewayWindow : public QWidget, public ChildWindow {
public:
    explicit RunningGatewayWindow(QString uid) : gw(std::move(uid), 5, true) {}
    ChildKind childKind() const override { return ChildKind::Gateway; }
    GatewayEndpoint* gatewayEndpoint() override { return &gw; }
    FakeGateway gw;
};

class SetupInMainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    std::unique_ptr<MainWindow> main;

    void SetUp() override
    {
        setuptest::ensureApp();
        MainWindow::Options o;
        o.home = home.path();
        o.transport = std::make_unique<FakeTransport>();
        o.startTimers = false;
        main = std::make_unique<MainWindow>(std::move(o));
        RegisterGatewaySetupWindow(*main);
        main->setChildFactory(ChildKind::Gateway, [](MainWindow&, const QString&, const SettingsList& p) -> QWidget* {
            return new RunningGatewayWindow(p.value(QStringLiteral("UID")));
        });
    }
    void TearDown() override
    {
        main.reset();
        SetAppLang(QStringLiteral("de_DE"));
    }
    QString path() const { return main->configFolder() + kUid + QStringLiteral(".rdk"); }
};

TEST_F(SetupInMainWindowTest, OneWindowPerGatewayAndSaveReachesTheRunningGateway)
{
    ASSERT_TRUE(gatewayconfig::save(
        path(), SettingsList(QStringList{QStringLiteral("gateUID=") + kUid, QStringLiteral("gateName=Relais Nord")})));
    SettingsList p;
    p.setValue(QStringLiteral("UID"), kUid);
    auto* running = static_cast<RunningGatewayWindow*>(
        main->OpenNewChildWindow(ChildKind::Gateway, QStringLiteral("GW"), p, false));
    ASSERT_NE(running, nullptr);

    GatewayActions actions(*main);
    auto* setup = qobject_cast<GatewaySetupWindow*>(actions.edit(kUid, path()));
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(setup->windowTitle(), GetText(QStringLiteral("0701")));
    EXPECT_EQ(setup->model().gateName(), QStringLiteral("Relais Nord"));
    EXPECT_EQ(actions.findWindowFor(ChildKind::GatewaySetup, kUid), setup);
    EXPECT_EQ(actions.edit(kUid, path()), setup); // brought to the front, not opened twice

    setup->model().setText(QStringLiteral("TS3-HOST"), QStringLiteral("db0xyz.example.net"));
    setup->saveAndClose();
    QApplication::processEvents();
    EXPECT_EQ(running->gw.calls, QStringList{QStringLiteral("Write")});
    EXPECT_EQ(gatewayconfig::load(path()).list.value(QStringLiteral("TS3-HOST")), QStringLiteral("db0xyz.example.net"));
    EXPECT_EQ(actions.findWindowFor(ChildKind::GatewaySetup, kUid), nullptr);
}


// A picture of the window inside the main window (RD_SETUP_SHOTS=1), for a look.
TEST_F(SetupInMainWindowTest, Screenshot)
{
    if (qgetenv("RD_SETUP_SHOTS").isEmpty())
        GTEST_SKIP() << "set RD_SETUP_SHOTS=1 to write the picture";
    ASSERT_TRUE(gatewayconfig::save(
        path(), SettingsList(QStringList{QStringLiteral("gateUID=") + kUid, QStringLiteral("gateName=Relais Nord")})));
    main->resize(1100, 800);
    main->show();
    QWidget* setup = GatewayActions(*main).edit(kUid, path());
    ASSERT_NE(setup, nullptr);
    setup->parentWidget()->resize(800, 640);
    static_cast<GatewaySetupWindow*>(setup)->showPage(GatewaySetupWindow::ConnectPage);
    QApplication::processEvents();
    main->grab().save(QStringLiteral("/tmp/gatewaysetup_main.png"));
    static_cast<GatewaySetupWindow*>(setup)->saveAndClose();
}

} // namespace
