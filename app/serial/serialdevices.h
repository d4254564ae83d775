// The radio-interface devices of this machine, for the COM port editor: serial ports by
// their stable names (/dev/serial/by-id, /dev/serial/by-path) beside the plain ttyS, ttyUSB
// and ttyACM nodes, CM108-family sound cards and GPIO chips. Nothing is opened to look.
#pragma once

#include <QList>
#include <QString>

struct SystemDevice {
    QString device;      // the text for the `device` key: a stable link when one exists
    QString node;        // the node it leads to now (/dev/ttyUSB0)
    QString description; // "FTDI FT232R USB UART", "C-Media USB Audio Device (card RadioA)"
};

// In this order: stable by-id names, by-path names (for nodes without a by-id name), plain
// nodes without a stable name, CM108 cards ("cm108:<USB port>"), GPIO chips ("gpio:gpiochipN").
// The roots are "/dev" and "/sys"; tests pass fake trees.
QList<SystemDevice> listSystemDevices(const QString& devRoot = QStringLiteral("/dev"),
                                      const QString& sysRoot = QStringLiteral("/sys"));

// The stable name of a tty node: its /dev/serial/by-id link, else its by-path link, else
// the device text itself (also for names that already are stable, and for non-tty kinds).
QString stableDeviceName(const QString& device, const QString& devRoot = QStringLiteral("/dev"));
