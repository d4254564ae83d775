// The application setup window and the roger beep editor inside the main window: opened
// once each through the child window factories, working on the main window's settings,
// configuration folder and main.cfg.
#include "app/config/globalfunct.h"
#include "app/config/inifile.h"
#include "app/config/texts.h"
#include "app/directory/tests/standin.h"
#include "app/session/tests/sessionfakes.h"
#include "app/ui/appsetupwindow.h"
#include "app/ui/beepeditorwindow.h"
#include "app/ui/linkmonitorwindow.h"
#include "app/ui/mainwindow.h"
#include "app/ui/supportformwindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void ensureApp()
{
    static int argc = 1;
    static char arg0[] = "rd_ui_tests";
    static char* argv[] = {arg0, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

class AppSetupInMainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    std::unique_ptr<MainWindow> main;

    void SetUp() override
    {
        ensureApp();
        QDir().mkpath(home.path() + QStringLiteral("/config"));
        ASSERT_TRUE(SaveSettingsFile(home.path() + QStringLiteral("/config/main.cfg"),
                                     SettingsList(QStringList{QStringLiteral("appLang=en_US")})));
        MainWindow::Options o;
        o.home = home.path();
        o.transport = std::make_unique<FakeTransport>();
        o.startTimers = false;
        main = std::make_unique<MainWindow>(std::move(o));
        RegisterAppSetupWindow(*main);
        RegisterBeepEditorWindow(*main);
    }
    void TearDown() override
    {
        main.reset();
        SetAppLang(QStringLiteral("de_DE"));
    }
};

TEST_F(AppSetupInMainWindowTest, SetupOpensOnceAndClosingWritesMainCfg)
{
    auto* w = dynamic_cast<AppSetupWindow*>(
        main->OpenNewChildWindow(ChildKind::AppSetup, GetText(QStringLiteral("0015")), SettingsList(), true));
    ASSERT_NE(w, nullptr) << main->statusText(1).toStdString() << " children " << main->childWindows().size();
    EXPECT_EQ(main->OpenNewChildWindow(ChildKind::AppSetup, GetText(QStringLiteral("0015")), SettingsList(), true), w);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("general Settings"));

    w->startOptionButton(appsetup::StartOption::Minimized)->click();
    w->linkPortEdit()->setText(QStringLiteral("27001"));
    w->httpPortEdit()->setText(QStringLiteral("0")); // refused, the default stays
    EXPECT_EQ(main->globalConfig().value(QStringLiteral("LINK_PORT")), QStringLiteral("27001"));

    ASSERT_NE(w->parentWidget(), nullptr);
    w->parentWidget()->close(); // the frame inside the document area
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->childWindows().isEmpty());
    const std::optional<SettingsList> saved = LoadSettingsFile(home.path() + QStringLiteral("/config/main.cfg"));
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->value(QStringLiteral("appMAXWin")), QStringLiteral("False"));
    EXPECT_EQ(saved->value(QStringLiteral("appMINWin")), QStringLiteral("True"));
    EXPECT_EQ(saved->value(QStringLiteral("LINK_PORT")), QStringLiteral("27001"));
    EXPECT_EQ(saved->value(QStringLiteral("HTTP_PORT")), QStringLiteral("8011"));
}

TEST_F(AppSetupInMainWindowTest, BeepEditorSavesIntoTheConfigurationFolder)
{
    auto* w = dynamic_cast<BeepEditorWindow*>(
        main->OpenNewChildWindow(ChildKind::RogerBeepEditor, GetText(QStringLiteral("0451")), SettingsList(), true));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Roger-Beep Creator"));
    w->frequencyEdit(0)->setText(QStringLiteral("1750"));
    w->durationEdit(0)->setText(QStringLiteral("250"));
    w->nameEdit()->setText(QStringLiteral("Call"));
    w->save();
    const IniFile ini(home.path() + QStringLiteral("/config/rogerbeep.cfg"));
    EXPECT_EQ(ini.sections(), QStringList{QStringLiteral("Call")});
    EXPECT_EQ(ini.readString(QStringLiteral("Call"), QStringLiteral("D1")), QStringLiteral("250"));
    // The preview renders into the program's temporary folder.
    EXPECT_EQ(w->model().previewFile(), home.path() + QStringLiteral("/_tmp/_ROGER[preview].wav"));
    main->resize(1100, 720);
    main->show();
    w->parentWidget()->resize(760, 440);
    main->grab().save(QDir::tempPath() + QStringLiteral("/rd_beepeditor_main.png"));
    w->parentWidget()->close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(main->childWindows().isEmpty());
}

// Without a directory address (the default) the setup's plugin page and the support form
// say the service is not configured, and neither asks anything; an address typed on the
// page reaches the shared client at once.
TEST_F(AppSetupInMainWindowTest, WithoutADirectoryAddressNothingIsAskedAndTheWindowsSaySo)
{
    DirectoryClient client;
    client.setServiceUrl(QString());
    DirectoryClient::setShared(&client);

    auto* form = new SupportFormWindow(*main);
    EXPECT_FALSE(form->canSend());
    const QLabel* off = form->findChild<QLabel*>(QStringLiteral("cannotSend"));
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(off->text(), QStringLiteral("The message cannot be sent: the directory service is not configured."));
    EXPECT_FALSE(form->findChild<QPushButton*>(QStringLiteral("send"))->isEnabled());
    form->subjectEdit()->setText(QStringLiteral("PTT stuck"));
    form->addressEdit()->setText(QStringLiteral("me@example.net"));
    form->messageEdit()->setPlainText(QStringLiteral("Radio keyed forever"));
    form->send();
    QStringList boxes;
    for (QMessageBox* box : main->findChildren<QMessageBox*>()) {
        boxes << box->text();
        delete box;
    }
    EXPECT_EQ(boxes, QStringList{off->text()});
    EXPECT_EQ(client.pending(), 0);
    delete form;

    auto* w = dynamic_cast<AppSetupWindow*>(
        main->OpenNewChildWindow(ChildKind::AppSetup, GetText(QStringLiteral("0015")), SettingsList(), true));
    ASSERT_NE(w, nullptr);
    w->showPage(AppSetupWindow::PluginPage);
    EXPECT_EQ(w->directoryStateText(), QStringLiteral("The directory service is not configured."));
    EXPECT_EQ(w->directoryUrlEdit()->text(), QString());

    const QByteArray saved = qgetenv("RELAYDECK_DIRECTORY_URL");
    qunsetenv("RELAYDECK_DIRECTORY_URL");
    w->directoryUrlEdit()->setText(QStringLiteral("http://127.0.0.1:9/"));
    EXPECT_EQ(main->globalConfig().value(QStringLiteral("DIRECTORY_URL")), QStringLiteral("http://127.0.0.1:9/"));
    EXPECT_EQ(client.serviceUrl(), QStringLiteral("http://127.0.0.1:9/"));
    EXPECT_EQ(w->directoryStateText(), QString());
    EXPECT_TRUE(SupportFormWindow(*main).canSend());
    w->directoryUrlEdit()->clear();
    EXPECT_FALSE(client.isConfigured());
    EXPECT_EQ(main->globalConfig().value(QStringLiteral("DIRECTORY_URL")), QString());
    if (!saved.isNull())
        qputenv("RELAYDECK_DIRECTORY_URL", saved);

    w->showPage(AppSetupWindow::WebPage);
    w->httpHostsEdit()->setText(QStringLiteral("relais.example.org, funk.example.org"));
    EXPECT_EQ(main->globalConfig().value(QStringLiteral("HTTP_HOSTS")),
              QStringLiteral("relais.example.org, funk.example.org"));
    main->resize(1000, 640);
    main->show();
    w->parentWidget()->resize(700, 420);
    main->grab().save(QDir::tempPath() + QStringLiteral("/rd_appsetup_web_hosts.png"));
    w->parentWidget()->close();
    QCoreApplication::processEvents();
    DirectoryClient::setShared(nullptr);
}

// The support form and the link monitor's directory request against a service that answers
// late: the window waits with its button off, a second click sends nothing, and a window
// closed in the meantime takes no answer.
TEST_F(AppSetupInMainWindowTest, DirectoryRequestsOfTheWindowsDoNotWaitForTheService)
{
    DirectoryStandIn service;
    service.answer("/_apis/support/vazeve_post.php", {200, "Thank you, ticket 4711", ""});
    service.answer("/_apis/relayd4/_updates/index.php", {200, "plugin list follows", ""});
    DirectoryClient client;
    client.setServiceUrl(service.url());
    client.setLogSink([](const QString&) {});
    DirectoryClient::setShared(&client);
    const auto boxes = [&] {
        QStringList out;
        for (QMessageBox* box : main->findChildren<QMessageBox*>()) {
            out << box->text();
            delete box;
        }
        return out;
    };
    const auto openForm = [&] {
        auto* form = dynamic_cast<SupportFormWindow*>(
            main->OpenNewChildWindow(ChildKind::SupportForm, GetText(QStringLiteral("1150")), SettingsList(), true));
        if (form) {
            form->subjectEdit()->setText(QStringLiteral("PTT stuck"));
            form->addressEdit()->setText(QStringLiteral("me@example.net"));
            form->messageEdit()->setPlainText(QStringLiteral("Radio keyed forever"));
        }
        return form;
    };

    // Closed while out.
    service.hold();
    QPointer<SupportFormWindow> form = openForm();
    ASSERT_TRUE(form);
    auto* send = form->findChild<QPushButton*>(QStringLiteral("send"));
    send->click();
    EXPECT_TRUE(form->waiting());
    EXPECT_FALSE(send->isEnabled());
    ASSERT_TRUE(processUntil([&] { return service.count() == 1; }));
    form->send();
    QCoreApplication::processEvents();
    EXPECT_EQ(service.count(), 1u);
    form->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(form.isNull());
    service.release();
    ASSERT_TRUE(processUntil([&] { return client.pending() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes().isEmpty());

    // Left open: the answer is shown and the form closes.
    form = openForm();
    ASSERT_TRUE(form);
    form->send();
    ASSERT_TRUE(processUntil([&] { return !form || !form->waiting(); }));
    EXPECT_EQ(boxes(), QStringList{QStringLiteral("Thank you, ticket 4711")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(service.count(), 2u);

    // The link monitor's EXIT-Client request, one at a time, and none to a closed monitor.
    service.hold();
    QPointer<LinkMonitorWindow> monitor = new LinkMonitorWindow(*main);
    monitor->exitClientButton()->click();
    EXPECT_FALSE(monitor->exitClientButton()->isEnabled());
    ASSERT_TRUE(processUntil([&] { return service.count() == 3; }));
    monitor->exitClientButton()->click();
    monitor->sendPluginListRequest();
    QCoreApplication::processEvents();
    EXPECT_EQ(service.count(), 3u);
    service.release();
    ASSERT_TRUE(processUntil([&] { return monitor->exitClientButton()->isEnabled(); }));
    service.hold();
    monitor->sendPluginListRequest();
    ASSERT_TRUE(processUntil([&] { return service.count() == 4; }));
    delete monitor;
    service.release();
    ASSERT_TRUE(processUntil([&] { return client.pending() == 0; }));
    QCoreApplication::processEvents();
    DirectoryClient::setShared(nullptr);
}

} // namespace
