// The devices the COM editor offers, from fake /dev and /sys trees, and the failure texts.
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/serial/serialdevices.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void put(const fs::path& p, const std::string& text = {})
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

TEST(SerialDevices, StableNamesFirstWithDescriptionsThenPlainNodes)
{
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path dev = root / "dev", sys = root / "sys";
    for (const char* n : {"ttyS0", "ttyS1", "ttyUSB0", "ttyUSB1", "ttyACM0", "gpiochip0"})
        put(dev / n);
    // ttyS0 has a UART, ttyS1 is a placeholder (type 0); the USB adapter has its strings.
    put(sys / "class/tty/ttyS0/device/x");
    put(sys / "class/tty/ttyS0/type", "4\n");
    put(sys / "class/tty/ttyS1/device/x");
    put(sys / "class/tty/ttyS1/type", "0\n");
    const fs::path usb = sys / "devices/usb1/1-1.3";
    put(usb / "idVendor", "0403\n");
    put(usb / "manufacturer", "FTDI\n");
    put(usb / "product", "FT232R USB UART\n");
    fs::create_directories(usb / "1-1.3:1.0/ttyUSB0");
    fs::create_directories(sys / "class/tty/ttyUSB0");
    fs::create_directory_symlink(usb / "1-1.3:1.0/ttyUSB0", sys / "class/tty/ttyUSB0/device");
    put(sys / "class/tty/ttyUSB1/device/x");
    put(sys / "class/tty/ttyACM0/device/x");
    fs::create_directories(dev / "serial/by-id");
    fs::create_directories(dev / "serial/by-path");
    fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    fs::create_symlink("../../ttyUSB0", dev / "serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0");
    fs::create_symlink("../../ttyACM0", dev / "serial/by-path/pci-0000:00:14.0-usb-0:4:1.0");

    const QString d = QString::fromStdString(dev.string());
    const QList<SystemDevice> list = listSystemDevices(d, QString::fromStdString(sys.string()));
    QStringList got;
    for (const SystemDevice& s : list)
        got << s.device.mid(d.size()) + " | " + s.node.mid(d.size()) + " | " + s.description;
    const QStringList expected{
        "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0 | /ttyUSB0 | FTDI FT232R USB UART (ttyUSB0)",
        "/serial/by-path/pci-0000:00:14.0-usb-0:4:1.0 | /ttyACM0 | ttyACM0",
        "/ttyS0 | /ttyS0 | ",
        "/ttyUSB1 | /ttyUSB1 | ",
    };
    // Then the GPIO chip, offered as "gpio:<name>".
    ASSERT_EQ(got.size(), expected.size() + 1) << got.join('\n').toStdString();
    EXPECT_EQ(got.mid(0, expected.size()), expected);
    EXPECT_EQ(list.last().device, "gpio:gpiochip0");
    EXPECT_EQ(list.last().description, "GPIO");

    struct {
        QString in, out;
    } const names[] = {
        {d + "/ttyUSB0", d + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"},
        {d + "/ttyACM0", d + "/serial/by-path/pci-0000:00:14.0-usb-0:4:1.0"},
        {d + "/ttyS0", d + "/ttyS0"}, // no stable name
        {d + "/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0",
         d + "/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0"},
        {"cm108:auto", "cm108:auto"},
        {d + "/ttyUSB7", d + "/ttyUSB7"}, // not there
    };
    for (const auto& n : names)
        EXPECT_EQ(stableDeviceName(n.in, d), n.out) << n.in.toStdString();
}

TEST(SerialDevices, FailureTextsNameTheFix)
{
    SetAppLang("en_US");
    using K = OpenFailure::Kind;
    struct {
        OpenFailure f;
        const char* text;
    } const cases[] = {
        {{K::NoPermission, "/dev/ttyUSB0", "dialout", ""},
         "no permission for /dev/ttyUSB0: add the user to the dialout group and log in again"},
        {{K::NoPermission, "/dev/ttyS4", "uucp", ""},
         "no permission for /dev/ttyS4: add the user to the uucp group and log in again"},
        {{K::NoPermission, "/dev/hidraw2", "", ""},
         "no permission for /dev/hidraw2: install the udev rule 70-relaydeck-radio.rules (group audio), add the user "
         "to the "
         "audio group and log in again"},
        {{K::NoPermission, "/dev/hidraw2", "audio", ""},
         "no permission for /dev/hidraw2: add the user to the audio group and log in again"},
        {{K::Busy, "/dev/ttyUSB0", "", ""}, "/dev/ttyUSB0 is in use by another program"},
        {{K::Missing, "/dev/ttyUSB3", "", ""}, "not found: /dev/ttyUSB3"},
        {{K::Missing, "cm108:auto", "", "no CM108 sound card found"}, "no CM108 sound card found"},
        {{K::None, "", "", ""}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComPortManager::describeFailure(c.f).toStdString(), c.text);
}

} // namespace
