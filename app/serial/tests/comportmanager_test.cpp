#include "app/config/inifile.h"
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/serial/memoryserial.h"
#include "app/serial/serialport.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (int n : {1, 3, 7, 30, 50})
            hub.addDevice(ComPortManager::defaultDeviceForPort(n));
        m.setProbe([this](const QString& d) { return hub.exists(d); });
    }
    MemorySerialHub::Device dev(int n) const { return hub.device(ComPortManager::defaultDeviceForPort(n)); }
    void writeCfg(const QByteArray& text)
    {
        QFile f(cfgPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray readCfg() const
    {
        QFile f(cfgPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString cfgPath = dir.filePath("comport.cfg");
    MemorySerialHub hub;
    ComPortManager m{cfgPath, hub.factory()};
};

TEST_F(ManagerTest, OpenLowersTheLinesRaisedByTheDriver)
{
    m.StarteCOMPort(3);
    ASSERT_TRUE(m.COMPortIsOpen(3));
    const auto d = dev(3);
    EXPECT_FALSE(d.rts);
    EXPECT_FALSE(d.dtr);
    EXPECT_FALSE(d.brk);
    const std::vector<std::string> expected{"DTR 1", "RTS 1", "RTS 0", "DTR 0", "BREAK 0"};
    EXPECT_EQ(d.writes, expected);
    for (const char* pin : {"RTS", "DTR", "BREAK"})
        EXPECT_FALSE(m.GetCOMStatus(3, pin, false)) << pin;
}

TEST_F(ManagerTest, PortRangeAndFailedOpens)
{
    m.StarteCOMPort(30);
    m.StarteCOMPort(0);
    m.StarteCOMPort(51);
    m.StarteCOMPort(2); // no device
    hub.setBusy(ComPortManager::defaultDeviceForPort(7), true);
    m.StarteCOMPort(7); // in use elsewhere
    struct {
        int n;
        bool open;
    } cases[] = {{0, false}, {51, false}, {-1, false}, {30, true}, {2, false}, {7, false}, {1, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(m.COMPortIsOpen(c.n), c.open) << c.n;
        EXPECT_EQ(m.port(c.n) != nullptr, c.open) << "entry of " << c.n;
    }
}

TEST_F(ManagerTest, TwoGatewaysOnOneRts)
{
    m.StarteCOMPort(3);
    m.SetCOMStatus("GATE_A", 3, "RTS", true, false);
    m.SetCOMStatus("GATE_B", 3, "RTS", true, false);
    m.SetCOMStatus("GATE_B", 3, "RTS", true, false); // no duplicate
    EXPECT_EQ(m.holders(3, "RTS"), QStringList({"GATE_A", "GATE_B"}));
    EXPECT_TRUE(dev(3).rts);

    m.SetCOMStatus("GATE_A", 3, "RTS", false, false);
    EXPECT_TRUE(dev(3).rts) << "B still holds it";
    EXPECT_TRUE(m.GetCOMStatus(3, "RTS", false));
    m.SetCOMStatus("GATE_B", 3, "RTS", false, false);
    EXPECT_FALSE(dev(3).rts);
    EXPECT_FALSE(m.GetCOMStatus(3, "RTS", false));

    // Release in the other order, and pins of one port stay independent.
    m.SetCOMStatus("GATE_A", 3, "RTS", true, false);
    m.SetCOMStatus("GATE_B", 3, "RTS", true, false);
    m.SetCOMStatus("GATE_C", 3, "DTR", true, false);
    m.SetCOMStatus("GATE_B", 3, "RTS", false, false);
    EXPECT_TRUE(dev(3).rts);
    m.SetCOMStatus("GATE_A", 3, "RTS", false, false);
    EXPECT_FALSE(dev(3).rts);
    EXPECT_TRUE(dev(3).dtr);
}

TEST_F(ManagerTest, LevelFollowsHoldersAndInvertOnEveryCall)
{
    m.StarteCOMPort(3);
    hub.clearWrites(ComPortManager::defaultDeviceForPort(3));
    struct {
        const char* holder;
        const char* pin;
        bool on, invert;
        bool level; // line level after the call
        QStringList holders;
    } steps[] = {
        // release by a holder that never held it: rewritten from the (empty) list
        {"GATE_X", "BREAK", false, false, false, {}},
        // inverted output: active when released
        {"GATE_X", "BREAK", false, true, true, {}},
        {"GATE_X", "BREAK", true, true, false, {"GATE_X"}},
        {"STKLICK3", "BREAK", true, false, true, {"GATE_X", "STKLICK3"}},
        {"GATE_X", "BREAK", false, true, false, {"STKLICK3"}},
        {"STKLICK3", "BREAK", false, true, true, {}},
        // another holder releasing does not remove anybody else
        {"GATE_Y", "BREAK", true, false, true, {"GATE_Y"}},
        {"GATE_Z", "BREAK", false, false, true, {"GATE_Y"}},
        {"GATE_Y", "BREAK", false, false, false, {}},
    };
    size_t writes = 0;
    for (const auto& s : steps) {
        m.SetCOMStatus(s.holder, 3, s.pin, s.on, s.invert);
        const auto d = dev(3);
        EXPECT_EQ(d.brk, s.level) << s.holder << " on=" << s.on << " inv=" << s.invert;
        EXPECT_EQ(m.holders(3, "BREAK"), s.holders);
        EXPECT_EQ(d.writes.size(), ++writes) << "one line write per call";
    }
}

TEST_F(ManagerTest, UnknownPinsAndClosedPortsChangeNothing)
{
    m.StarteCOMPort(3);
    hub.clearWrites(ComPortManager::defaultDeviceForPort(3));
    m.SetCOMStatus("GATE_A", 3, "CTS", true, false);
    m.SetCOMStatus("GATE_A", 3, "rts", true, false);
    m.SetCOMStatus("GATE_A", 4, "RTS", true, false);
    EXPECT_TRUE(dev(3).writes.empty());
    EXPECT_TRUE(m.holders(3, "RTS").isEmpty());
    EXPECT_TRUE(m.holders(4, "RTS").isEmpty());
}

TEST_F(ManagerTest, PinReads)
{
    m.StarteCOMPort(7);
    m.SetCOMStatus("GATE_A", 7, "DTR", true, false);
    hub.setInputs(ComPortManager::defaultDeviceForPort(7), {true, false, true, true});
    ASSERT_TRUE(waitUntil([&] { return m.GetCOMStatus(7, "CTS", false); }));
    struct {
        int n;
        const char* pin;
        bool invert, result;
    } cases[] = {
        {7, "CTS", false, true},
        {7, "CTS", true, false},
        {7, "DSR", false, false},
        {7, "DSR", true, true},
        {7, "RING", false, true},
        {7, "DTR", false, true},
        {7, "RTS", false, false},
        {7, "BREAK", true, true},
        // the carrier-detect input is not one of the readable pin names
        {7, "DCD", false, false},
        {7, "RLSD", true, true},
        {7, "cts", false, false},
        // closed ports read false XOR invert
        {3, "CTS", true, true},
        {3, "CTS", false, false},
        {3, "RTS", true, true},
        {0, "DSR", true, true},
        {51, "DSR", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(m.GetCOMStatus(c.n, c.pin, c.invert), c.result) << c.n << " " << c.pin << " inv=" << c.invert;
    EXPECT_TRUE(m.carrierDetect(7));
    EXPECT_FALSE(m.carrierDetect(3));
}

TEST_F(ManagerTest, TransmitterNeverStaysKeyed)
{
    // Stopping one port.
    m.StarteCOMPort(3);
    m.SetCOMStatus("GATE_A", 3, "RTS", true, false);
    m.SetCOMStatus("GATE_A", 3, "DTR", false, true);
    m.SetCOMStatus("GATE_A", 3, "BREAK", true, false);
    m.StoppeCOMPort(3);
    EXPECT_FALSE(m.COMPortIsOpen(3));
    auto d = dev(3);
    EXPECT_FALSE(d.open);
    EXPECT_FALSE(d.rts || d.dtr || d.brk);
    EXPECT_EQ(d.writes.back(), "CLOSE");
    m.StoppeCOMPort(3); // empty entry: nothing

    // Restarting an open port drops all holders and lowers the lines.
    m.StarteCOMPort(3);
    m.SetCOMStatus("GATE_A", 3, "RTS", true, false);
    m.SetCOMStatus("GATE_B", 3, "DTR", true, false);
    m.StarteCOMPort(3);
    ASSERT_TRUE(m.COMPortIsOpen(3));
    d = dev(3);
    EXPECT_FALSE(d.rts || d.dtr || d.brk);
    EXPECT_TRUE(m.holders(3, "RTS").isEmpty());
    EXPECT_TRUE(m.holders(3, "DTR").isEmpty());
    // The former holder releasing later leaves the line low.
    m.SetCOMStatus("GATE_A", 3, "RTS", false, false);
    EXPECT_FALSE(dev(3).rts);

    // Stopping all ports, and the manager going away (quitting).
    m.StarteCOMPort(1);
    m.StarteCOMPort(50);
    m.SetCOMStatus("GATE_A", 1, "RTS", true, false);
    m.SetCOMStatus("GATE_A", 50, "DTR", true, false);
    m.StoppeCOMPorts();
    for (int n : {1, 3, 50}) {
        EXPECT_FALSE(m.COMPortIsOpen(n));
        EXPECT_FALSE(dev(n).open);
        EXPECT_FALSE(dev(n).rts || dev(n).dtr);
    }
    {
        ComPortManager other(dir.filePath("other.cfg"), hub.factory());
        other.StarteCOMPort(30);
        other.SetCOMStatus("GATE_A", 30, "RTS", true, false);
        ASSERT_TRUE(dev(30).rts);
    }
    EXPECT_FALSE(dev(30).open);
    EXPECT_FALSE(dev(30).rts);
}

TEST_F(ManagerTest, SaveWritesOpenPortsAndErasesTheOthers)
{
    writeCfg("[COM1]\nident=1\nactiv=1\nstatus=1\ntop=50\nleft=60\n"
             "[COM3]\nident=3\nactiv=0\nstatus=1\ntop=70\n"
             "[COM7]\ndevice=/dev/ttyUSB4\nident=7\nactiv=1\nstatus=1\n"
             "[Other]\nkey=kept\n");
    hub.addDevice("/dev/ttyUSB4");
    m.StarteCOMPort(3);
    m.StarteCOMPort(30);
    m.SaveCOMPortSetup();

    IniFile ini(cfgPath);
    EXPECT_FALSE(ini.sectionExists("COM1"));
    EXPECT_EQ(ini.readInteger("COM3", "ident", 0), 3);
    EXPECT_EQ(ini.readString("COM3", "activ"), "1");
    EXPECT_EQ(ini.readString("COM3", "status"), "1"); // open port: its other keys stay
    EXPECT_EQ(ini.readInteger("COM3", "top", 0), 70);
    EXPECT_EQ(ini.readInteger("COM30", "ident", 0), 30);
    // A closed port loses status/top/left/ident/activ but keeps its device choice.
    EXPECT_EQ(ini.keys("COM7"), QStringList({"device"}));
    EXPECT_EQ(ini.readString("COM7", "device"), "/dev/ttyUSB4");
    EXPECT_EQ(ini.readString("Other", "key"), "kept");
}

TEST_F(ManagerTest, StartupOpensActivePortsInFileOrder)
{
    SetAppLang("en_US");
    writeCfg("[COM30]\nident=30\nactiv=1\nstatus=1\ntop=5\nleft=6\n"
             "[COM3]\nident=3\nactiv=0\nstatus=1\n"
             "[COM1]\nident=1\nactiv=1\n"
             "[COM2]\nident=2\nactiv=1\n" // no device: tried, stays closed
             "[COM5]\nactiv=1\n"          // no ident
             "[junk]\nident=abc\nactiv=1\n");
    QStringList log;
    const auto opened = m.startFromConfig([&](const QString& l) { log << l; });
    EXPECT_EQ(log, QStringList({" -> open COM-Port... [ COM30 ]", " -> open COM-Port... [ COM1 ]",
                                " -> open COM-Port... [ COM2 ]"}));
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[0].ident, 30);
    EXPECT_TRUE(opened[0].status);
    EXPECT_EQ(opened[0].top, 5);
    EXPECT_EQ(opened[0].left, 6);
    EXPECT_EQ(opened[1].ident, 1);
    EXPECT_FALSE(opened[1].status);
    EXPECT_EQ(opened[1].top, 10);
    EXPECT_EQ(opened[1].left, 10);
    EXPECT_TRUE(m.COMPortIsOpen(30));
    EXPECT_TRUE(m.COMPortIsOpen(1));
    EXPECT_FALSE(m.COMPortIsOpen(2));
    EXPECT_FALSE(m.COMPortIsOpen(3));
}

TEST_F(ManagerTest, StatusWindowSettings)
{
    int top = 0, left = 0;
    m.statusWindowPos(4, top, left);
    EXPECT_EQ(top, 10);
    EXPECT_EQ(left, 10);
    m.saveStatusWindowPos(4, 120, 33);
    m.statusWindowPos(4, top, left);
    EXPECT_EQ(top, 120);
    EXPECT_EQ(left, 33);
    EXPECT_FALSE(m.statusOnAutorun(4));
    m.setStatusOnAutorun(4, true);
    EXPECT_TRUE(m.statusOnAutorun(4));
    EXPECT_EQ(IniFile(cfgPath).readString("COM4", "status"), "1");
}

TEST_F(ManagerTest, DeviceMapping)
{
    struct {
        int n;
        const char* device;
    } defaults[] = {{1, "/dev/ttyS0"},
                    {32, "/dev/ttyS31"},
                    {33, "/dev/ttyUSB0"},
                    {42, "/dev/ttyUSB9"},
                    {43, "/dev/ttyACM0"},
                    {50, "/dev/ttyACM7"},
                    {0, ""},
                    {51, ""}};
    for (const auto& c : defaults)
        EXPECT_EQ(m.deviceForPort(c.n), QString(c.device)) << c.n;

    m.setDeviceForPort(4, " /dev/serial/by-id/usb-FTDI-if00 ");
    EXPECT_EQ(m.deviceForPort(4), "/dev/serial/by-id/usb-FTDI-if00");
    m.setDeviceForPort(5, "Virtual:");
    EXPECT_EQ(m.deviceForPort(5), "virtual:" + ComPortManager::virtualSocketPath(5));
    m.setDeviceForPort(6, "virtual:/run/x.sock");
    EXPECT_EQ(m.deviceForPort(6), "virtual:/run/x.sock");
    m.setDeviceForPort(4, "");
    EXPECT_EQ(m.deviceForPort(4), "/dev/ttyS3");

    // The mapped device is the one that opens.
    hub.addDevice("/dev/ttyACM9");
    m.setDeviceForPort(8, "/dev/ttyACM9");
    m.StarteCOMPort(8);
    EXPECT_TRUE(m.COMPortIsOpen(8));
    EXPECT_TRUE(hub.device("/dev/ttyACM9").open);
    EXPECT_TRUE(m.probePort(8));
    EXPECT_FALSE(m.probePort(9));
    EXPECT_TRUE(m.probePort(3));
}

TEST_F(ManagerTest, RestartOnAChangedDeviceMovesThePort)
{
    hub.addDevice("/dev/ttyUSB7");
    m.StarteCOMPort(3);
    m.SetCOMStatus("GATE_A", 3, "RTS", true, false);
    m.setDeviceForPort(3, "/dev/ttyUSB7");
    m.StarteCOMPort(3);
    EXPECT_TRUE(m.COMPortIsOpen(3));
    EXPECT_FALSE(dev(3).open);
    EXPECT_FALSE(dev(3).rts);
    EXPECT_TRUE(hub.device("/dev/ttyUSB7").open);
    EXPECT_FALSE(hub.device("/dev/ttyUSB7").rts);
}

} // namespace
