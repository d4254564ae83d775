// Adapters that come and go, and ports the user may not open: a pseudo terminal behind a
// stable link stands in for a USB adapter whose far side vanishes and returns; the memory
// hub shows the exact line writes around it.
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/serial/memoryserial.h"
#include "app/serial/serialport.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Pty {
    int master = -1;
    std::string slave;
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slave = ptsname(master);
    }
    ~Pty() { hangUp(); }
    void hangUp()
    {
        if (master >= 0)
            close(master);
        master = -1;
    }
};

class LostPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAppLang("en_US");
        ASSERT_TRUE(dir.isValid());
        fs::create_directories(link.parent_path());
    }
    void pointLinkAt(const std::string& target)
    {
        std::error_code ec;
        fs::remove(link, ec);
        fs::create_symlink(target, link);
    }
    QTemporaryDir dir;
    // Like /dev/serial/by-id/...: the same name whatever tty number the adapter gets.
    fs::path link = fs::path(dir.path().toStdString()) / "by-id/usb-FTDI_FT232R_A1B2C3-if00-port0";
    QString cfg = dir.filePath("comport.cfg");
};

TEST_F(LostPort, PseudoTerminalWhosePeerVanishesAndReturns)
{
    Pty first;
    ASSERT_FALSE(first.slave.empty());
    pointLinkAt(first.slave);
    std::ofstream(cfg.toStdString()) << "[COM7]\ndevice=" << link.string() << "\nident=7\nactiv=1\n";
    ComPortManager m(cfg);
    QStringList events;
    m.setListener([&](int n, ComPortManager::PortEvent, const QString& t) { events << QString::number(n) + " " + t; });
    m.StarteCOMPort(7);
    ASSERT_TRUE(m.COMPortIsOpen(7));
    m.SetCOMStatus("GATE_A", 7, "RTS", true, false);
    EXPECT_TRUE(m.GetCOMStatus(7, "RTS", false));

    first.hangUp();
    pointLinkAt("/dev/relaydeck-gone"); // udev removes the link with the device
    ASSERT_TRUE(waitUntil([&] { return m.COMPortIsLost(7); }));
    EXPECT_FALSE(m.COMPortIsOpen(7));
    EXPECT_FALSE(m.GetCOMStatus(7, "RTS", false)) << "an output counts as released while lost";
    m.tick();
    ASSERT_EQ(events, QStringList{"7 COM7 lost: " + QString::fromStdString(link.string())});
    EXPECT_EQ(m.openProblem(7), "COM7 lost: " + QString::fromStdString(link.string()));
    // The holder may let go meanwhile and take it again; nothing is written to a lost port.
    m.SetCOMStatus("GATE_A", 7, "RTS", false, false);
    m.SetCOMStatus("GATE_A", 7, "RTS", true, false);
    EXPECT_FALSE(m.GetCOMStatus(7, "RTS", false));
    m.tick();
    EXPECT_EQ(events.size(), 1);

    Pty second; // plugged in again, with another tty number
    pointLinkAt(second.slave);
    m.tick();
    ASSERT_TRUE(m.COMPortIsOpen(7));
    EXPECT_FALSE(m.COMPortIsLost(7));
    EXPECT_TRUE(m.GetCOMStatus(7, "RTS", false));
    EXPECT_FALSE(m.GetCOMStatus(7, "DTR", false));
    EXPECT_EQ(m.port(7)->device(), QString::fromStdString(link.string()));
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[1], "7 COM7 reopened: " + QString::fromStdString(link.string()));
    EXPECT_EQ(m.openProblem(7), "");
}

TEST_F(LostPort, LinesWhileLostAndAfterTheReturn)
{
    MemorySerialHub hub;
    const QString dev = "/dev/ttyUSB0";
    hub.addDevice(dev);
    std::ofstream(cfg.toStdString()) << "[COM33]\nident=33\nactiv=1\n";
    ComPortManager m(cfg, hub.factory());
    m.setProbe([&](const QString& d) { return hub.exists(d); });
    m.StarteCOMPort(33);
    hub.setInputs(dev, {true, false, false, false});
    ASSERT_TRUE(waitUntil([&] { return m.GetCOMStatus(33, "CTS", false); }));
    m.SetCOMStatus("GATE_A", 33, "RTS", true, false);
    m.SetCOMStatus("GATE_B", 33, "DTR", false, true); // inverted: active while released
    m.SetCOMStatus("STKLICK33", 33, "BREAK", true, false);

    hub.unplug(dev);
    ASSERT_TRUE(waitUntil([&] { return m.COMPortIsLost(33); }));
    for (const char* pin : {"RTS", "DTR", "BREAK", "CTS", "DSR", "RING"})
        EXPECT_FALSE(m.GetCOMStatus(33, pin, false)) << pin;
    EXPECT_TRUE(m.GetCOMStatus(33, "CTS", true)); // inverted reads stay consistent
    m.tick();
    m.SetCOMStatus("GATE_B", 33, "DTR", true, true); // DTR is now held: inactive
    m.SaveCOMPortSetup();
    ComPortManager reread(cfg, hub.factory());
    EXPECT_EQ(reread.startFromConfig().size(), 1) << "a lost port stays in the start-up set";

    hub.clearWrites(dev);
    hub.replug(dev);
    m.tick();
    ASSERT_TRUE(m.COMPortIsOpen(33));
    const auto d = hub.device(dev);
    EXPECT_TRUE(d.rts);
    EXPECT_FALSE(d.dtr);
    EXPECT_TRUE(d.brk);
    const std::vector<std::string> writes{"DTR 1", "RTS 1", "RTS 1", "DTR 0", "BREAK 1"};
    EXPECT_EQ(d.writes, writes);
}

QCoreApplication& watchApp()
{
    static int argc = 1;
    static char name[] = "rd_serial_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return app ? *app : *QCoreApplication::instance();
}

// The watch as the program runs it, on a test clock: tick() at the interval startWatch
// set (asked for a faster one, as a careless caller might), and the gateways' calls every
// 100 ms in between (keying, reading the squelch). Every look for the device, a probe or
// an open, is stamped with the clock. The event loop never runs, so the real timer adds
// no ticks.
TEST_F(LostPort, ReturnIsFoundWithinTwoSecondsAndLookedForAtMostOnceASecond)
{
    watchApp();
    const QString dev = "/dev/ttyUSB0";
    std::ofstream(cfg.toStdString()) << "[COM33]\nident=33\nactiv=1\n";
    struct {
        const char* what;
        int goneAt, backAt; // ms on the test clock
        int openableAt;     // the node may be opened (permissions follow the node a moment later)
    } const cases[] = {
        {"back between two ticks", 300, 2500, 2500},
        {"gone and back just after one tick: the longest wait", 1100, 1100, 1100},
        {"back before the loss was ticked", 300, 700, 700},
        {"openable a moment after it appeared", 300, 2900, 3100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySerialHub hub;
        hub.addDevice(dev);
        int now = 0;
        std::vector<int> looks;
        const auto hubFactory = hub.factory();
        ComPortManager m(cfg, [&](const QString& d) {
            looks.push_back(now);
            return hubFactory(d);
        });
        m.setProbe([&](const QString& d) {
            looks.push_back(now);
            return hub.exists(d);
        });
        int reopenedAt = -1;
        m.setListener([&](int, ComPortManager::PortEvent e, const QString&) {
            if (e == ComPortManager::PortEvent::Reopened)
                reopenedAt = now;
        });
        m.StarteCOMPort(33);
        ASSERT_TRUE(m.COMPortIsOpen(33));
        m.startWatch(100);
        const int interval = m.watchIntervalMs();
        ASSERT_EQ(interval, ComPortManager::kWatchIntervalMs);

        for (now = 100; now <= 8000 && reopenedAt < 0; now += 100) {
            if (now == c.goneAt) {
                hub.unplug(dev);
                ASSERT_TRUE(waitUntil([&] { return m.COMPortIsLost(33); })); // the worker saw it
            }
            if (now == c.backAt) {
                hub.replug(dev);
                hub.setDenied(dev, c.openableAt > now);
            }
            if (now == c.openableAt)
                hub.setDenied(dev, false);
            m.SetCOMStatus("GATE_A", 33, "RTS", (now / 100) % 2 == 0, false);
            m.GetCOMStatus(33, "CTS", false);
            m.COMPortIsOpen(33);
            if (now % interval == 0)
                m.tick();
        }
        ASSERT_GE(reopenedAt, 0) << "never reopened";
        EXPECT_TRUE(m.COMPortIsOpen(33));
        EXPECT_LE(reopenedAt - c.backAt, 2000);
        // Looks for the device once it was gone: at most one moment per interval.
        std::vector<int> moments;
        for (int t : looks)
            if (t >= c.goneAt && (moments.empty() || moments.back() != t))
                moments.push_back(t);
        ASSERT_FALSE(moments.empty());
        for (size_t i = 1; i < moments.size(); ++i)
            EXPECT_GE(moments[i] - moments[i - 1], 1000) << "looked at " << moments[i - 1] << " and " << moments[i];
    }
    // However it is started, the watch runs no faster than once a second.
    ComPortManager m(cfg);
    EXPECT_EQ(m.watchIntervalMs(), 0);
    for (const auto& [asked, runs] : {std::pair{0, 1000}, {1, 1000}, {999, 1000}, {1000, 1000}, {2500, 2500}}) {
        m.startWatch(asked);
        EXPECT_EQ(m.watchIntervalMs(), runs) << asked;
    }
}

// A port whose node the user may not open says why and how to fix it; a missing port
// stays quiet. Runs the open as the unprivileged user "nobody" (needs root to switch).
TEST_F(LostPort, PermissionIsExplainedForAnUnprivilegedUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to create a device node and to open it as nobody";
    const std::string node = dir.filePath("ttyUSB9").toStdString();
    ASSERT_EQ(mknod(node.c_str(), S_IFCHR | 0660, makedev(1, 3)), 0) << std::strerror(errno);
    const group* dialout = getgrnam("dialout");
    if (dialout) {
        ASSERT_EQ(chown(node.c_str(), 0, dialout->gr_gid), 0);
    }
    chmod(dir.path().toLocal8Bit().constData(), 0755);

    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(pipefd[0]);
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        auto be = makeSystemBackend(node);
        const bool opened = be->open(node);
        const QString text = ComPortManager::describeFailure(be->failure());
        const QByteArray out = (opened ? "opened" : text.toUtf8());
        [[maybe_unused]] auto w = write(pipefd[1], out.constData(), out.size());
        _exit(0);
    }
    close(pipefd[1]);
    std::string got;
    char buf[512];
    ssize_t n;
    while ((n = read(pipefd[0], buf, sizeof buf)) > 0)
        got.append(buf, static_cast<size_t>(n));
    close(pipefd[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(got, "no permission for " + node + ": add the user to the dialout group and log in again");
}

TEST_F(LostPort, StartLogAndEditorReasons)
{
    MemorySerialHub hub;
    hub.addDevice("/dev/ttyS2");
    hub.setDenied("/dev/ttyS2", true);
    std::ofstream(cfg.toStdString()) << "[COM3]\nident=3\nactiv=1\n[COM4]\nident=4\nactiv=1\n";
    ComPortManager m(cfg, hub.factory());
    m.startFromConfig();
    EXPECT_FALSE(m.COMPortIsOpen(3));
    EXPECT_FALSE(m.openFailedMissing(3));
    EXPECT_EQ(m.openProblem(3), "no permission for /dev/ttyS2: add the user to the dialout group and log in again");
    // /dev/ttyS3 does not exist: the quiet case, with the reason kept for the editor.
    EXPECT_TRUE(m.openFailedMissing(4));
    EXPECT_EQ(m.openProblem(4), "not found: /dev/ttyS3");

    SetAppLang("de_DE");
    EXPECT_EQ(m.openProblem(3),
              "keine Berechtigung für /dev/ttyS2: den Benutzer in die Gruppe dialout aufnehmen und neu anmelden");
}

} // namespace
