#include "app/config/inifile.h"
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/serial/memoryserial.h"
#include "app/serial/tests/testutil.h"
#include "app/ui/comwindows.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

void ensureApp()
{
    if (QApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "rd_ui_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives for the whole test program
}

struct Host : ComWindowHost {
    QList<int> open;
    QList<QList<int>> opened; // {n, top, left}
    bool COMStatusIstAktiv(int n) override { return open.contains(n); }
    void openCOMStatusWindow(int n, int top, int left) override
    {
        open << n;
        opened << QList<int>{n, top, left};
    }
};

class ComWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        SetAppLang("en_US");
        for (int n : {1, 3, 4})
            hub.addDevice(ComPortManager::defaultDeviceForPort(n));
        m.setProbe([this](const QString& d) { return hub.exists(d); });
    }
    QString dev(int n) const { return ComPortManager::defaultDeviceForPort(n); }
    QTemporaryDir dir;
    QString cfg = dir.filePath("comport.cfg");
    MemorySerialHub hub;
    ComPortManager m{cfg, hub.factory()};
    Host host;
};

TEST_F(ComWindowsTest, EditorListsExistingPortsWithStateAndDevice)
{
    m.StarteCOMPort(3);
    ComPortEditor ed(m, &host);
    EXPECT_EQ(ed.windowTitle(), "COM-Port");
    QTreeWidget* list = ed.list();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    struct {
        int n;
        const char* status;
        bool ticked;
    } rows[] = {{1, " - not used - ", false}, {3, " - active - ", true}, {4, " - not used - ", false}};
    for (const auto& r : rows) {
        QTreeWidgetItem* row = ed.rowOfPort(r.n);
        ASSERT_TRUE(row) << r.n;
        EXPECT_EQ(row->text(0), "COM" + QString::number(r.n));
        EXPECT_EQ(row->text(1), r.status);
        EXPECT_EQ(row->text(2), dev(r.n));
        EXPECT_EQ(row->checkState(0) == Qt::Checked, r.ticked);
    }
    EXPECT_FALSE(ed.rowOfPort(2));

    // A port that appears (USB adapter plugged in) shows after a refresh.
    hub.addDevice(dev(33));
    ed.rebuildList();
    EXPECT_TRUE(ed.rowOfPort(33));
}

TEST_F(ComWindowsTest, SaveAndOpenRestartsTheTickedPortsAndDropsHolders)
{
    m.StarteCOMPort(3);
    m.SetCOMStatus("GATE_A", 3, "RTS", true, false); // a gateway transmitting
    ComPortEditor ed(m, &host);
    bool closed = false;
    QObject::connect(&ed, &ComPortEditor::closeRequested, [&] { closed = true; });
    ed.rowOfPort(1)->setCheckState(0, Qt::Checked);
    ed.saveAndOpen();

    EXPECT_TRUE(closed);
    EXPECT_TRUE(m.COMPortIsOpen(1));
    EXPECT_TRUE(m.COMPortIsOpen(3));
    EXPECT_FALSE(m.COMPortIsOpen(4));
    EXPECT_FALSE(hub.device(dev(3)).rts) << "the gateway's PTT line dropped";
    EXPECT_TRUE(m.holders(3, "RTS").isEmpty());
    IniFile ini(cfg);
    EXPECT_TRUE(ini.readBool("COM1", "activ", false));
    EXPECT_TRUE(ini.readBool("COM3", "activ", false));
    EXPECT_FALSE(ini.sectionExists("COM4"));
}

TEST_F(ComWindowsTest, ContextMenuOpensClosesAndTogglesAutorunStatus)
{
    ComPortEditor ed(m, &host);
    QList<QAction*> acts = ed.contextMenu()->actions();
    ASSERT_EQ(acts.size(), 4); // status window, open/close, autorun status, device
    for (QAction* a : acts)
        EXPECT_FALSE(a->isEnabled()) << "no row selected";

    ed.list()->setCurrentItem(ed.rowOfPort(4));
    acts = ed.contextMenu()->actions();
    EXPECT_EQ(acts[0]->text(), "Opening the Status-Window");
    EXPECT_EQ(acts[1]->text(), "open COM-Port");
    EXPECT_EQ(acts[2]->text(), "open Status on Autorun");
    acts[1]->trigger();
    EXPECT_TRUE(m.COMPortIsOpen(4));
    EXPECT_FALSE(QFile::exists(cfg)) << "opening from the menu does not save";
    EXPECT_EQ(ed.rowOfPort(4)->text(1), " - active - ");

    acts = ed.contextMenu()->actions();
    EXPECT_EQ(acts[1]->text(), "close COM-Port");
    acts[2]->trigger();
    EXPECT_TRUE(m.statusOnAutorun(4));
    acts = ed.contextMenu()->actions();
    EXPECT_EQ(acts[2]->text(), "no Status on Autorun");
    acts[1]->trigger();
    EXPECT_FALSE(m.COMPortIsOpen(4));

    m.saveStatusWindowPos(4, 40, 50);
    ed.contextMenu()->actions()[0]->trigger();
    ed.contextMenu()->actions()[0]->trigger(); // already open: brought to front only
    ASSERT_EQ(host.opened.size(), 1);
    EXPECT_EQ(host.opened[0], (QList<int>{4, 40, 50}));
}

// The editor's view of the radio interfaces: stable names with descriptions, a lost
// adapter, a refused CM108 pin and a configured device that this machine lacks, each with
// its reason. Saves a picture of it (build/screenshots/comeditor.png).
TEST_F(ComWindowsTest, EditorShowsStableNamesLostRefusedAndMissingPorts)
{
    const QString byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    const QString byPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";
    hub.addDevice(dev(33));
    hub.addDevice(byId);
    hub.addDevice(byPath);
    hub.addDevice("cm108:RadioA");
    hub.setRefused("cm108:RadioA", "CM108B has no GPIO2 (its pins: GPIO1, GPIO3, GPIO4)");
    m.setDeviceForPort(5, "cm108:RadioA");
    m.setDeviceForPort(6, "gpio:gpiochip0");
    for (const char* section : {"COM5", "COM6"}) {
        IniFile(cfg).writeString(section, "ident", QString(section).mid(3));
        IniFile(cfg).writeString(section, "activ", "1");
    }
    m.startFromConfig();
    m.StarteCOMPort(3);
    m.StarteCOMPort(4);
    hub.unplug(dev(4));
    ASSERT_TRUE(waitUntil([&] { return m.COMPortIsLost(4); }));
    m.tick();

    ComPortEditor ed(m, &host);
    ed.setDeviceLister([&] {
        return QList<SystemDevice>{{byId, dev(33), "FTDI FT232R USB UART (ttyUSB0)"},
                                   {byPath, "/dev/ttyUSB1", "CP2102 USB to UART (ttyUSB1)"},
                                   {dev(1), dev(1), ""},
                                   {"cm108:1-1.2", "/dev/hidraw3", "C-Media USB Audio Device (card RadioA)"}};
    });
    struct {
        int n;
        const char* status;
        QString device, description, note;
    } const rows[] = {
        {3, " - active - ", dev(3), "", ""},
        {4, " - lost - ", dev(4), "", "COM4 lost: " + dev(4)},
        {5, " - not used - ", "cm108:RadioA", "", "CM108B has no GPIO2 (its pins: GPIO1, GPIO3, GPIO4)"},
        {6, " - not used - ", "gpio:gpiochip0", "", "not found: gpio:gpiochip0"},
        {33, " - not used - ", dev(33), "FTDI FT232R USB UART (ttyUSB0)", ""},
    };
    for (const auto& r : rows) {
        QTreeWidgetItem* row = ed.rowOfPort(r.n);
        ASSERT_TRUE(row) << r.n;
        EXPECT_EQ(row->text(ComPortEditor::ColStatus), r.status) << r.n;
        EXPECT_EQ(row->text(ComPortEditor::ColDevice), r.device) << r.n;
        EXPECT_EQ(row->text(ComPortEditor::ColDescription), r.description) << r.n;
        EXPECT_EQ(row->text(ComPortEditor::ColNote), r.note) << r.n;
    }

    // The device menu offers the machine's devices by stable name.
    ed.list()->setCurrentItem(ed.rowOfPort(1));
    QMenu* devices = ed.contextMenu()->actions()[3]->menu();
    ASSERT_TRUE(devices);
    ASSERT_EQ(devices->actions().size(), 4);
    EXPECT_EQ(devices->actions()[0]->text(), byId + "  -  FTDI FT232R USB UART (ttyUSB0)");
    EXPECT_TRUE(devices->actions()[2]->isChecked()) << "the port's present device";
    devices->actions()[3]->trigger();
    EXPECT_EQ(m.deviceForPort(1), "cm108:1-1.2");
    // Choosing a plain node writes its stable name.
    ed.chooseDevice(1, dev(33));
    EXPECT_EQ(m.deviceForPort(1), byId);
    ed.chooseDevice(1, dev(1));
    EXPECT_EQ(IniFile(cfg).readString("COM1", "device"), "") << "the default name needs no key";

    // The picture: stable names, a lost port, a refused one, a missing one.
    ed.chooseDevice(1, "/dev/ttyUSB1");
    ed.chooseDevice(34, dev(33));
    EXPECT_EQ(ed.rowOfPort(1)->text(ComPortEditor::ColDevice), byPath);
    EXPECT_EQ(ed.rowOfPort(34)->text(ComPortEditor::ColDescription), "FTDI FT232R USB UART (ttyUSB0)");
    const QString shot = QStringLiteral(RD_BINARY_DIR) + "/screenshots/comeditor.png";
    QDir().mkpath(QFileInfo(shot).path());
    ed.resize(1180, 260);
    ed.show();
    EXPECT_TRUE(ed.grab().save(shot));

    // Save + Open writes the stable name of a ticked port on a plain node.
    m.setDeviceForPort(34, "");
    ed.rebuildList();
    ed.rowOfPort(33)->setCheckState(0, Qt::Checked);
    ed.saveAndOpen();
    EXPECT_EQ(IniFile(cfg).readString("COM33", "device"), byId);
    EXPECT_TRUE(m.COMPortIsOpen(33));
    EXPECT_TRUE(hub.device(byId).open);
}

TEST_F(ComWindowsTest, StatusWindowShowsLinesAndKeysByHand)
{
    m.StarteCOMPort(3);
    ComStatusWindow w(m, 3, 10, 10);
    EXPECT_EQ(w.windowTitle(), "Status: COM3");
    auto colours = [&] {
        QList<QColor> c;
        for (int i = 1; i <= 6; ++i)
            c << w.led(i)->color();
        return c;
    };
    using W = ComStatusWindow;
    w.refresh();
    EXPECT_EQ(colours(),
              (QList<QColor>{W::kOutputOff, W::kOutputOff, W::kOutputOff, W::kInputOff, W::kInputOff, W::kInputOff}));

    m.SetCOMStatus("GATE_A", 3, "DTR", true, false);
    hub.setInputs(dev(3), {true, false, true, false}); // CTS, RING
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!m.GetCOMStatus(3, "RING", false) && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents();
    w.refresh();
    EXPECT_EQ(colours(),
              (QList<QColor>{W::kOutputOff, W::kOutputOn, W::kOutputOff, W::kInputOff, W::kInputOn, W::kInputOn}));

    // Mouse down on RTS keys it next to any gateway; mouse up releases it.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w.led(1), &press);
    EXPECT_TRUE(hub.device(dev(3)).rts);
    EXPECT_EQ(m.holders(3, "RTS"), QStringList{"STKLICK3"});
    EXPECT_EQ(w.led(1)->color(), W::kOutputOn);
    QApplication::sendEvent(w.led(1), &release);
    EXPECT_FALSE(hub.device(dev(3)).rts);

    w.pressOutput(2); // DTR held by the gateway and by hand
    w.releaseOutput(2);
    EXPECT_TRUE(hub.device(dev(3)).dtr) << "the gateway still holds DTR";

    m.StoppeCOMPort(3);
    w.refresh();
    for (const QColor& c : colours())
        EXPECT_EQ(c, W::kClosed);
}

TEST_F(ComWindowsTest, StatusWindowShowsALostAdapterAndItsReturn)
{
    m.StarteCOMPort(3);
    ComStatusWindow w(m, 3, 10, 10);
    m.SetCOMStatus("GATE_A", 3, "RTS", true, false);
    w.refresh();
    EXPECT_EQ(w.led(1)->color(), ComStatusWindow::kOutputOn);
    EXPECT_EQ(w.noteText(), "");

    hub.unplug(dev(3));
    ASSERT_TRUE(waitUntil([&] { return m.COMPortIsLost(3); }));
    m.tick();
    w.refresh();
    EXPECT_EQ(w.noteText(), "COM3 lost: " + dev(3));
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(w.led(i)->color(), ComStatusWindow::kClosed) << i;

    hub.replug(dev(3));
    m.tick();
    w.refresh();
    EXPECT_EQ(w.noteText(), "");
    EXPECT_EQ(w.led(1)->color(), ComStatusWindow::kOutputOn) << "the gateway's hold came back";
}

TEST_F(ComWindowsTest, StatusWindowPlacesItselfAndRemembersItsPlace)
{
    m.StarteCOMPort(3);
    QMdiArea area;
    area.resize(800, 600);
    auto* w = new ComStatusWindow(m, 3, 40, 70);
    QMdiSubWindow* sub = area.addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    area.show();
    sub->show();
    EXPECT_EQ(sub->pos(), QPoint(70, 40));

    w->pressOutput(3); // held while the window closes
    ASSERT_TRUE(hub.device(dev(3)).brk);
    sub->move(120, 90);
    sub->close();
    EXPECT_FALSE(hub.device(dev(3)).brk) << "closing the window releases hand keying";
    int top = 0, left = 0;
    m.statusWindowPos(3, top, left);
    EXPECT_EQ(top, 90);
    EXPECT_EQ(left, 120);
}

} // namespace
