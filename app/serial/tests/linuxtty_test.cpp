// The Linux tty backend on a pseudo terminal: the open/close path, the line settings and
// exclusive use, without serial hardware. Pseudo terminals have no modem lines, so line
// writes and reads fail there; the port must carry on regardless.
#include "app/serial/serialbackend.h"
#include "app/serial/serialport.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QString>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

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
    ~Pty()
    {
        if (master >= 0)
            close(master);
    }
};

SerialPort::BackendFactory systemFactory()
{
    return [](const QString& d) { return makeSystemBackend(d.toStdString()); };
}

TEST(LinuxTty, MissingDeviceFailsCleanly)
{
    SerialPort port(systemFactory());
    port.setDevice("/dev/relaydeck-no-such-tty");
    port.setActive(true);
    EXPECT_FALSE(port.Active());
    EXPECT_FALSE(probeSystemDevice("/dev/relaydeck-no-such-tty"));
    EXPECT_FALSE(probeSystemDevice("/tmp")); // not a character device
}

TEST(LinuxTty, OpensAPseudoTerminalWithTheLineSettingsAndClosesIt)
{
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    EXPECT_TRUE(probeSystemDevice(pty.slave));

    SerialPort port(systemFactory());
    port.setDevice(QString::fromStdString(pty.slave));
    port.setActive(true);
    ASSERT_TRUE(port.Active());
    EXPECT_TRUE(port.RTSState());
    EXPECT_TRUE(port.DTRState());

    // The master side reports the slave's settings.
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.master, &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(tio.c_cflag & HUPCL);
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_FALSE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF));
    EXPECT_FALSE(tio.c_lflag & ICANON);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));

    // Line writes fail on a pty; the levels are stored all the same.
    port.setRTSState(false);
    port.setBREAKState(true);
    EXPECT_FALSE(port.RTSState());
    EXPECT_TRUE(port.BREAKState());

    // The worker keeps running on a device without modem-status support.
    const auto passes = port.workerPasses();
    ASSERT_TRUE(waitUntil([&] { return port.workerPasses() > passes + 1; }));

    // Received data is drained and discarded.
    ASSERT_EQ(write(pty.master, "noise", 5), 5);

    // Exclusive: a second port on the same device does not open.
    SerialPort second(systemFactory());
    second.setDevice(QString::fromStdString(pty.slave));
    second.setActive(true);
    EXPECT_FALSE(second.Active());
    if (geteuid() != 0) {
        const int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_LT(fd, 0);
        EXPECT_EQ(errno, EBUSY);
        if (fd >= 0)
            close(fd);
    }

    port.setActive(false);
    EXPECT_FALSE(port.Active());
    // Released: another open works now.
    second.setActive(true);
    EXPECT_TRUE(second.Active());
}

} // namespace

namespace {

// A real serial device, named by RD_SERIAL_TEST_DEVICE (opt-in: opening a port raises its
// lines and would key a radio on it). Shows the open/close path with a real driver,
// including the line-change watcher being stopped promptly on close.
TEST(LinuxTty, RealDeviceWhenGiven)
{
    const QString dev = qEnvironmentVariable("RD_SERIAL_TEST_DEVICE");
    if (dev.isEmpty())
        GTEST_SKIP() << "set RD_SERIAL_TEST_DEVICE=/dev/ttyS0 (or another port) to run";
    ASSERT_TRUE(probeSystemDevice(dev.toStdString()));
    SerialPort port(systemFactory());
    port.setDevice(dev);
    for (int round = 0; round < 3; ++round) {
        port.setActive(true);
        ASSERT_TRUE(port.Active());
        port.setRTSState(false);
        port.setDTRState(false);
        port.setBREAKState(true);
        port.setBREAKState(false);
        const auto passes = port.workerPasses();
        ASSERT_TRUE(waitUntil([&] { return port.workerPasses() > passes + 2; }));
        const auto t0 = std::chrono::steady_clock::now();
        port.setActive(false);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
        EXPECT_FALSE(port.Active());
    }
}

} // namespace
