// The register window as widgets (offscreen): one window per gateway, its caption, and
// the controls driving the register file.
#include "app/ui/remoteregisterwindow.h"
#include "app/gateway/tests/remote_testhost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

// Widgets need a QApplication; the test program has none of its own.
bool EnsureWidgetApp()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "rd_gateway_tests";
        static char* argv[] = {name, nullptr};
        // Left alive to the end of the process: a QApplication destroyed among the
        // static objects at exit tears down Qt's devices after their owners are gone.
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

const char* kGate = "{11111111-2222-3333-4444-555555555555}";
const char* kOtherGate = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

SettingsList Params(const char* gate)
{
    SettingsList p;
    p.setValue("gateUID", gate);
    p.setValue("CFG_FILE", QString(gate) + ".rdk");
    return p;
}

class RemoteWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!EnsureWidgetApp())
            GTEST_SKIP() << "a non-widget application object exists";
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + "/";
    }
    void TearDown() override
    {
        for (const char* g : {kGate, kOtherGate})
            if (RemoteRegisterWindow* w = RemoteRegisterWindow::findOpen(g))
                delete w;
    }
    QTemporaryDir dir;
    QString folder;
};

} // namespace

TEST_F(RemoteWindow, OneWindowPerGateway)
{
    LanguageScope lang("en_US");
    bool created = false;
    RemoteRegisterWindow* w = RemoteRegisterWindow::open(Params(kGate), folder, "Relais DB0XYZ", nullptr, &created);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(created);
    EXPECT_EQ(w->windowTitle(), "Remote-Permissions [Relais DB0XYZ]");
    EXPECT_EQ(RemoteRegisterWindow::findOpen(kGate), w);

    EXPECT_EQ(RemoteRegisterWindow::open(Params(kGate), folder, "Relais DB0XYZ", nullptr, &created), w);
    EXPECT_FALSE(created);

    RemoteRegisterWindow* other = RemoteRegisterWindow::open(Params(kOtherGate), folder, "Other", nullptr, &created);
    EXPECT_TRUE(created);
    EXPECT_NE(other, w);

    // Closing destroys it; the next open makes a new one.
    w->show();
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(RemoteRegisterWindow::findOpen(kGate), nullptr);
    EXPECT_EQ(RemoteRegisterWindow::findOpen(kOtherGate), other);
}

// In the main window's document area, opening again activates the window's frame.
TEST_F(RemoteWindow, OpeningAgainActivatesItsDocumentWindow)
{
    QMdiArea area;
    area.show();
    bool created = false;
    RemoteRegisterWindow* w = RemoteRegisterWindow::open(Params(kGate), folder, "G", nullptr, &created);
    QMdiSubWindow* sub = area.addSubWindow(w);
    sub->show();
    QMdiSubWindow* other = area.addSubWindow(new QWidget);
    other->show();
    area.setActiveSubWindow(other);
    ASSERT_EQ(area.activeSubWindow(), other);

    EXPECT_EQ(RemoteRegisterWindow::open(Params(kGate), folder, "G", nullptr, &created), w);
    EXPECT_FALSE(created);
    EXPECT_EQ(area.activeSubWindow(), sub);

    // Closing the frame destroys the window with it.
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(RemoteRegisterWindow::findOpen(kGate), nullptr);
}

TEST_F(RemoteWindow, ControlsWriteTheSelectedUser)
{
    LanguageScope lang("en_US");
    const QString uid = "q2Xn+k/T8bJ0vM4cVdE1YwP7s9A=";
    const QString path = RemoteRegister::pathFor(folder, kGate);
    ASSERT_EQ(RemoteRegister(path).registerRequest(uid, "Hans"), RemoteRegister::Request::Stored);

    RemoteRegisterWindow* w = RemoteRegisterWindow::open(Params(kGate), folder, "G");
    EXPECT_EQ(w->tabs()->currentIndex(), 0);
    EXPECT_EQ(w->tabs()->tabText(0), "Request New");
    EXPECT_EQ(w->userList()->headerItem()->text(0), "Name");
    ASSERT_EQ(w->userList()->topLevelItemCount(), 1);
    EXPECT_EQ(w->userList()->topLevelItem(0)->text(0), "Hans");
    EXPECT_EQ(w->nameLabel()->text(), "- - -");
    EXPECT_FALSE(w->permissionBox(0)->isEnabledTo(w));

    w->userList()->topLevelItem(0)->setSelected(true);
    EXPECT_EQ(w->nameLabel()->text(), "Hans");
    EXPECT_TRUE(w->permissionBox(0)->isEnabledTo(w));
    EXPECT_FALSE(w->activateButton()->isChecked());
    EXPECT_FALSE(w->ignoreButton()->isChecked());

    RemoteRegister reg(path);
    w->activateButton()->click();
    EXPECT_TRUE(w->activateButton()->isChecked());
    EXPECT_TRUE(reg.IsRemoteRegistered(uid));
    EXPECT_FALSE(reg.IsRemoteIgnored(uid));
    w->activateButton()->click(); // clicking the lit button keeps it lit and writes nothing new
    EXPECT_TRUE(w->activateButton()->isChecked());

    w->permissionBox(0)->click(); // move
    EXPECT_TRUE(reg.IsRemoteAllowed(uid, "move"));

    w->slider()->setValue(-25); // keyboard or wheel: stored at once
    EXPECT_EQ(w->levelLabel()->text(), "Level: -25 db");
    EXPECT_EQ(reg.volume(uid), -25);

    w->blockBox()->click();
    EXPECT_TRUE(reg.readBool(uid, "NOTP"));
    EXPECT_FALSE(w->slider()->isEnabled());

    w->ignoreButton()->click();
    EXPECT_FALSE(w->activateButton()->isChecked());
    EXPECT_TRUE(reg.IsRemoteIgnored(uid));

    // A tab change clears the selection and shows the user where the decision put it.
    w->tabs()->setCurrentIndex(2);
    EXPECT_EQ(w->nameLabel()->text(), "- - -");
    ASSERT_EQ(w->userList()->topLevelItemCount(), 1);
    EXPECT_EQ(w->userList()->topLevelItem(0)->data(0, Qt::UserRole).toString(), uid);
}
