#include "app/serial/serialdevices.h"

#include "app/serial/cm108.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString readAttr(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readLine()).trimmed();
}

// "FTDI FT232R USB UART" from the USB device above a tty (sysfs), "" when unknown.
QString ttyDescription(const QString& sysRoot, const QString& ttyName)
{
    QString dir =
        QFileInfo(sysRoot + QStringLiteral("/class/tty/") + ttyName + QStringLiteral("/device")).canonicalFilePath();
    for (int up = 0; up < 4 && !dir.isEmpty(); ++up) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor"))) {
            const QString text = (readAttr(dir + QStringLiteral("/manufacturer")) + QLatin1Char(' ') +
                                  readAttr(dir + QStringLiteral("/product")))
                                     .trimmed();
            return text;
        }
        dir = QFileInfo(dir).path();
    }
    return QString();
}

// "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0" -> "FTDI FT232R USB UART A1B2C3"
QString descriptionFromById(QString name)
{
    if (name.startsWith(QLatin1String("usb-")))
        name = name.mid(4);
    const int iface = name.lastIndexOf(QLatin1String("-if"));
    if (iface > 0)
        name = name.left(iface);
    return name.replace(QLatin1Char('_'), QLatin1Char(' '));
}

bool ttyPresent(const QString& sysRoot, const QString& name)
{
    const QString dir = sysRoot + QStringLiteral("/class/tty/") + name;
    if (!QFileInfo::exists(dir + QStringLiteral("/device")))
        return false;
    bool ok = false;
    const int type = readAttr(dir + QStringLiteral("/type")).toInt(&ok);
    return !ok || type != 0; // 8250 ports without hardware behind them have type 0
}

} // namespace

QList<SystemDevice> listSystemDevices(const QString& devRoot, const QString& sysRoot)
{
    QList<SystemDevice> out;
    QStringList covered;
    for (const char* kind : {"by-id", "by-path"}) {
        const QDir dir(devRoot + QStringLiteral("/serial/") + QLatin1String(kind));
        for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString node = link.canonicalFilePath();
            if (node.isEmpty() || covered.contains(node))
                continue;
            covered << node;
            const QString tty = QFileInfo(node).fileName();
            QString desc = ttyDescription(sysRoot, tty);
            if (desc.isEmpty() && QLatin1String(kind) == QLatin1String("by-id"))
                desc = descriptionFromById(link.fileName());
            out.append({link.absoluteFilePath(), node,
                        desc.isEmpty() ? tty : desc + QStringLiteral(" (") + tty + QLatin1Char(')')});
        }
    }
    const QDir dev(devRoot);
    for (const char* pattern : {"ttyS*", "ttyUSB*", "ttyACM*"}) {
        QStringList names = dev.entryList({QLatin1String(pattern)}, QDir::System | QDir::Files);
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        for (const QString& name : names) {
            const QString node = dev.filePath(name);
            if (covered.contains(QFileInfo(node).canonicalFilePath()) || !ttyPresent(sysRoot, name))
                continue;
            out.append({node, node, ttyDescription(sysRoot, name)});
        }
    }
    for (const cm108::Card& c : cm108::findCards(sysRoot.toStdString())) {
        QString desc = QString::fromStdString(c.name);
        if (!c.cardId.empty())
            desc += QStringLiteral(" (card ") + QString::fromStdString(c.cardId) + QLatin1Char(')');
        out.append({QStringLiteral("cm108:") + QString::fromStdString(c.usbPath),
                    devRoot + QStringLiteral("/") + QString::fromStdString(c.hidraw), desc});
    }
    for (const QString& chip : dev.entryList({QStringLiteral("gpiochip*")}, QDir::System | QDir::Files, QDir::Name)) {
        const QString label =
            readAttr(sysRoot + QStringLiteral("/bus/gpio/devices/") + chip + QStringLiteral("/label"));
        out.append(
            {QStringLiteral("gpio:") + chip, dev.filePath(chip), label.isEmpty() ? QStringLiteral("GPIO") : label});
    }
    return out;
}

QString stableDeviceName(const QString& device, const QString& devRoot)
{
    if (!device.startsWith(devRoot + QLatin1Char('/')) || device.startsWith(devRoot + QStringLiteral("/serial/")))
        return device;
    const QString node = QFileInfo(device).canonicalFilePath();
    if (node.isEmpty())
        return device;
    for (const char* kind : {"by-id", "by-path"}) {
        const QDir dir(devRoot + QStringLiteral("/serial/") + QLatin1String(kind));
        for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
            if (link.canonicalFilePath() == node)
                return link.absoluteFilePath();
    }
    return device;
}
