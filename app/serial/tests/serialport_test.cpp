#include "app/serial/memoryserial.h"
#include "app/serial/serialport.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

class SerialPortTest : public ::testing::Test {
protected:
    MemorySerialHub hub;
    SerialPort port{hub.factory()};
};

TEST_F(SerialPortTest, StartsClosedWithDefaults)
{
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(port.CommPort(), "COM2");
    EXPECT_TRUE(port.RTSState());
    EXPECT_TRUE(port.DTRState());
    EXPECT_FALSE(port.BREAKState());
    EXPECT_FALSE(port.CTSState());
}

TEST_F(SerialPortTest, OpeningAMissingOrBusyPortStaysClosedAndKeepsFlags)
{
    port.setCommPort("COM9"); // no such device
    port.setActive(true);
    EXPECT_FALSE(port.Active());

    hub.addDevice("COM9");
    hub.setBusy("COM9", true);
    port.setActive(true);
    EXPECT_FALSE(port.Active());
    EXPECT_TRUE(port.RTSState());
    EXPECT_TRUE(port.DTRState());
    EXPECT_FALSE(port.BREAKState());
    EXPECT_EQ(hub.device("COM9").opens, 0);
}

TEST_F(SerialPortTest, OutputWritesOnAClosedPortAreIgnored)
{
    hub.addDevice("COM2");
    port.setRTSState(false);
    port.setDTRState(false);
    port.setBREAKState(true);
    EXPECT_TRUE(port.RTSState());
    EXPECT_TRUE(port.DTRState());
    EXPECT_FALSE(port.BREAKState());
    EXPECT_TRUE(hub.device("COM2").writes.empty());
}

TEST_F(SerialPortTest, OpenRaisesDtrThenRtsAndClearsBreak)
{
    hub.addDevice("COM2");
    port.setActive(true);
    port.setBREAKState(true);
    port.setActive(false);

    port.setActive(true);
    ASSERT_TRUE(port.Active());
    EXPECT_TRUE(port.RTSState());
    EXPECT_TRUE(port.DTRState());
    EXPECT_FALSE(port.BREAKState());
    const auto d = hub.device("COM2");
    ASSERT_GE(d.writes.size(), 2u);
    EXPECT_EQ(d.writes[d.writes.size() - 2], "DTR 1");
    EXPECT_EQ(d.writes.back(), "RTS 1");
}

TEST_F(SerialPortTest, OutputsDriveTheLinesAndFailedWritesStillStore)
{
    hub.addDevice("COM2");
    port.setActive(true);
    port.setRTSState(false);
    port.setDTRState(false);
    port.setBREAKState(true);
    auto d = hub.device("COM2");
    EXPECT_FALSE(d.rts);
    EXPECT_FALSE(d.dtr);
    EXPECT_TRUE(d.brk);

    hub.setFailWrites("COM2", true);
    port.setRTSState(true);
    EXPECT_TRUE(port.RTSState());
    EXPECT_FALSE(hub.device("COM2").rts);
}

TEST_F(SerialPortTest, ChangingTheNameOfAnOpenPortReopensOnTheNewName)
{
    hub.addDevice("COM2");
    hub.addDevice("COM3");
    port.setActive(true);
    port.setRTSState(false);
    port.setCommPort("COM3");
    EXPECT_TRUE(port.Active());
    EXPECT_FALSE(hub.device("COM2").open);
    EXPECT_TRUE(hub.device("COM3").open);
    EXPECT_TRUE(port.RTSState()); // raised again by the new open

    port.setCommPort("COM4"); // missing
    EXPECT_FALSE(port.Active());
    EXPECT_FALSE(hub.device("COM3").open);

    port.setCommPort("COM2"); // closed: only stored
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(port.CommPort(), "COM2");
}

TEST_F(SerialPortTest, InputChangesReachTheFlagsWithinTheWorkerPeriod)
{
    hub.addDevice("COM2");
    port.setActive(true);
    const struct {
        ModemInputs in;
    } steps[] = {{{true, false, false, false}},
                 {{false, true, false, false}},
                 {{false, false, true, false}},
                 {{false, false, false, true}},
                 {{}}};
    for (const auto& s : steps) {
        const auto t0 = std::chrono::steady_clock::now();
        hub.setInputs("COM2", s.in);
        ASSERT_TRUE(waitUntil([&] {
            return port.CTSState() == s.in.cts && port.DSRState() == s.in.dsr && port.RingState() == s.in.ring &&
                   port.RLSDState() == s.in.dcd;
        }));
        // A reported change wakes the worker at once; the period bounds it anyway.
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    }
}

TEST_F(SerialPortTest, ClosingAndDestroyingReleaseTheDevice)
{
    hub.addDevice("COM2");
    {
        SerialPort p(hub.factory());
        p.setActive(true);
        p.setRTSState(true);
        ASSERT_TRUE(hub.device("COM2").open);
    }
    auto d = hub.device("COM2");
    EXPECT_FALSE(d.open);
    EXPECT_FALSE(d.rts);
    EXPECT_FALSE(d.dtr);

    port.setActive(true);
    ASSERT_TRUE(waitUntil([&] { return port.workerPasses() > 0; }));
    port.setActive(false);
    EXPECT_FALSE(port.Active());
    EXPECT_FALSE(hub.device("COM2").open);
    port.setActive(true); // reopens after a close
    EXPECT_TRUE(port.Active());
}

} // namespace
