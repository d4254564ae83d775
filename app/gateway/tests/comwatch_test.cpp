// A serial port the gateway uses is pulled out and comes back: one red line, one green
// line, and the PTT line is released while the port is away.
#include "gatewayfixture.h"

class ComWatchTest : public GatewayTest {};

TEST_F(ComWatchTest, LostPortIsLoggedOnceAndItsReturnToo)
{
    open();
    const QString dev = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    auto logged = [&](const QString& what) {
        int n = 0;
        for (const GwLogLine& l : engine->log())
            n += l.text.endsWith(what) ? 1 : 0;
        return n;
    };
    host->lostDevices.insert(1, dev);
    host->openPorts.remove(1);
    for (int i = 0; i < 3; ++i)
        engine->secondTick();
    EXPECT_EQ(logged(QStringLiteral("COM1 lost: ") + dev), 1);
    const GwLogLine* red = nullptr;
    for (const GwLogLine& l : engine->log())
        if (l.text.endsWith(QStringLiteral("COM1 lost: ") + dev))
            red = &l;
    ASSERT_TRUE(red);
    EXPECT_EQ(red->color, GwColor::Red);

    host->lostDevices.clear();
    host->openPorts.insert(1);
    engine->secondTick();
    engine->secondTick();
    EXPECT_EQ(logged(QStringLiteral("COM1 reopened: ") + dev), 1);

    // A port the gateway does not use is not its business.
    host->lostDevices.insert(4, QStringLiteral("/dev/ttyS3"));
    engine->secondTick();
    EXPECT_EQ(logged(QStringLiteral("COM4 lost: /dev/ttyS3")), 0);
}
