// The Linux GPIO backend through its in-memory stand-in chip, and libgpiod on a host
// without GPIO chips.
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/serial/gpiochip.h"
#include "app/serial/serialport.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

namespace {

class GpioPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAppLang("en_US");
        ASSERT_TRUE(dir.isValid());
        chips.addChip("gpiochip0", 32);
    }
    void writeCfg(const std::string& keys)
    {
        std::ofstream(cfg.toStdString()) << "[COM9]\ndevice=gpio:gpiochip0\nident=9\nactiv=1\n" << keys;
    }
    ComPortManager::BackendFactory factory()
    {
        GpioChipOpener o = chips.opener();
        return [o](const QString&) { return makeGpioBackend(o); };
    }
    QTemporaryDir dir;
    QString cfg = dir.filePath("comport.cfg");
    MemoryGpio chips;
};

TEST_F(GpioPort, DrivesMappedLinesAndLeavesThemIdleOnClose)
{
    writeCfg("rts=17\ndtr=18\ncts=27\n");
    {
        ComPortManager m(cfg, factory());
        m.StarteCOMPort(9);
        ASSERT_TRUE(m.COMPortIsOpen(9)) << m.openProblem(9).toStdString();
        auto ptt = chips.line("gpiochip0", 17);
        EXPECT_TRUE(ptt.requested);
        EXPECT_TRUE(ptt.output);
        EXPECT_EQ(ptt.consumer, "relaydeck-gpiochip0");
        // Requested low: never keyed by the open.
        for (int w : ptt.writes)
            EXPECT_EQ(w, 0);

        m.SetCOMStatus("GATE_A", 9, "RTS", true, false);
        EXPECT_EQ(chips.line("gpiochip0", 17).level, 1);
        m.SetCOMStatus("GATE_A", 9, "RTS", false, false);
        EXPECT_EQ(chips.line("gpiochip0", 17).level, 0);
        m.SetCOMStatus("GATE_A", 9, "RTS", true, false);
        m.SetCOMStatus("GATE_B", 9, "DTR", true, true); // inverted: released = high
        EXPECT_EQ(chips.line("gpiochip0", 18).level, 0);

        chips.setLevel("gpiochip0", 27, 1);
        EXPECT_TRUE(waitUntil([&] { return m.GetCOMStatus(9, "CTS", false); }));
        chips.setLevel("gpiochip0", 27, 0);
        EXPECT_TRUE(waitUntil([&] { return !m.GetCOMStatus(9, "CTS", false); }));
        EXPECT_EQ(chips.line("gpiochip0", 17).level, 1);
    }
    // The manager going away (every way out of the program passes it) leaves the lines
    // low and released.
    for (unsigned l : {17u, 18u}) {
        const auto line = chips.line("gpiochip0", l);
        EXPECT_EQ(line.level, 0) << l;
        EXPECT_FALSE(line.requested) << l;
        ASSERT_FALSE(line.writes.empty());
        EXPECT_EQ(line.writes.back(), 0) << l;
    }
    EXPECT_FALSE(chips.line("gpiochip0", 27).requested);
}

TEST_F(GpioPort, RefusalsAndFailuresSayWhy)
{
    struct {
        const char* keys;
        const char* problem;
    } const cases[] = {
        {"", "no line of gpiochip0 is mapped: set rts=<line> (and cts=<line>) in the port's section"},
        {"rts=40\n", "gpiochip0 has no line 40 (lines 0..31)"},
        {"rts=GPIO17\n", "rts=gpio17: a line offset of gpiochip0 (0..31)"},
        {"rts=5\ncts=5\n", "line 5 of gpiochip0 is mapped twice"},
    };
    for (const auto& c : cases) {
        writeCfg(c.keys);
        ComPortManager m(cfg, factory());
        m.StarteCOMPort(9);
        EXPECT_FALSE(m.COMPortIsOpen(9)) << c.keys;
        EXPECT_EQ(m.openProblem(9).toStdString(), c.problem);
        EXPECT_FALSE(chips.line("gpiochip0", 5).requested);
    }

    // A line another program holds: nothing of ours stays requested or keyed.
    writeCfg("rts=3\ndtr=4\n");
    GpioChipOpener other = chips.opener();
    auto holder = other("gpiochip0");
    ASSERT_TRUE(holder->requestOutput(4, "someone-else", 1));
    ComPortManager m(cfg, factory());
    m.StarteCOMPort(9);
    EXPECT_FALSE(m.COMPortIsOpen(9));
    EXPECT_EQ(m.openProblem(9).toStdString(), "line 4 of gpiochip0 is held by another program");
    EXPECT_FALSE(chips.line("gpiochip0", 3).requested);
    EXPECT_EQ(chips.line("gpiochip0", 3).level, 0);

    chips.setDenied("gpiochip0", true);
    m.StarteCOMPort(9);
    EXPECT_EQ(
        m.openProblem(9).toStdString(),
        "no permission for /dev/gpiochip0: install the udev rule 70-relaydeck-radio.rules (group gpio), add the user "
        "to the gpio group and log in again");
}

TEST_F(GpioPort, ChipThatGoesAwayIsLostAndComesBack)
{
    writeCfg("rts=17\ncts=27\n");
    ComPortManager m(cfg, factory());
    m.setProbe([](const QString&) { return true; });
    m.StarteCOMPort(9);
    ASSERT_TRUE(m.COMPortIsOpen(9));
    m.SetCOMStatus("GATE_A", 9, "RTS", true, false);
    chips.setLevel("gpiochip0", 27, 1);
    ASSERT_TRUE(waitUntil([&] { return m.GetCOMStatus(9, "CTS", false); }));

    chips.setGone("gpiochip0", true);
    ASSERT_TRUE(waitUntil([&] { return m.COMPortIsLost(9); }));
    EXPECT_FALSE(m.GetCOMStatus(9, "CTS", false));
    EXPECT_FALSE(m.GetCOMStatus(9, "RTS", false));
    m.tick();
    m.tick();
    EXPECT_TRUE(m.COMPortIsLost(9));

    chips.setGone("gpiochip0", false);
    chips.setLevel("gpiochip0", 17, 0);
    m.tick();
    ASSERT_TRUE(m.COMPortIsOpen(9));
    EXPECT_EQ(chips.line("gpiochip0", 17).level, 1); // the holder is still there
}

TEST(GpioLibgpiod, MissingChipFailsQuietly)
{
    SerialPort port([](const QString&) { return makeGpioBackend(libgpiodOpener()); });
    port.setDevice("gpio:relaydeck-no-such-chip");
    port.setOptions({{"rts", "1"}});
    port.setActive(true);
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(port.lastFailure().kind, OpenFailure::Kind::Missing);
}

// A real chip, named by RD_GPIO_TEST_CHIP and RD_GPIO_TEST_LINE (opt-in: it drives the line).
TEST(GpioLibgpiod, RealChipWhenGiven)
{
    const QString chip = qEnvironmentVariable("RD_GPIO_TEST_CHIP");
    const QString line = qEnvironmentVariable("RD_GPIO_TEST_LINE");
    if (chip.isEmpty() || line.isEmpty())
        GTEST_SKIP() << "set RD_GPIO_TEST_CHIP=gpiochip0 RD_GPIO_TEST_LINE=<offset> to run";
    SerialPort port([](const QString&) { return makeGpioBackend(libgpiodOpener()); });
    port.setDevice("gpio:" + chip);
    port.setOptions({{"rts", line.toStdString()}});
    port.setActive(true);
    ASSERT_TRUE(port.Active());
    port.setRTSState(true);
    port.setRTSState(false);
    port.setActive(false);
}

} // namespace
