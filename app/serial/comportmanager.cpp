#include "app/serial/comportmanager.h"

#include "app/config/inifile.h"
#include "app/config/texts.h"
#include "app/serial/cm108.h"
#include "app/serial/serialport.h"

#include <QDir>
#include <QTimer>

namespace {

QString sectionName(int n)
{
    return QStringLiteral("COM") + QString::number(n);
}

// Messages of the serial module in the current language.
QString say(const char* de, const char* en)
{
    return QString::fromUtf8(AppLang() == QLatin1String("en_US") ? en : de);
}

} // namespace

ComPortManager::BackendFactory ComPortManager::defaultBackendFactory()
{
    return [](const QString& device) { return makeSystemBackend(device.toStdString()); };
}

ComPortManager::ComPortManager(QString comportCfgPath, BackendFactory factory)
    : m_cfgPath(std::move(comportCfgPath)), m_factory(std::move(factory))
{}

ComPortManager::~ComPortManager()
{
    StoppeCOMPorts();
}

void ComPortManager::startWatch(int intervalMs)
{
    if (!m_watch) {
        m_watch = std::make_unique<QTimer>();
        QObject::connect(m_watch.get(), &QTimer::timeout, [this] { tick(); });
    }
    m_watch->start(std::max(intervalMs, kWatchIntervalMs));
}

int ComPortManager::watchIntervalMs() const
{
    return m_watch ? m_watch->interval() : 0;
}

ComPortManager::Entry* ComPortManager::entry(int n) const
{
    if (n < 1 || n > kMaxPorts)
        return nullptr;
    return m_table[n].get();
}

QStringList* ComPortManager::holderList(Entry& e, const QString& pin) const
{
    if (pin == QLatin1String("RTS"))
        return &e.rts;
    if (pin == QLatin1String("DTR"))
        return &e.dtr;
    if (pin == QLatin1String("BREAK"))
        return &e.brk;
    return nullptr;
}

void ComPortManager::StarteCOMPort(int n)
{
    if (n < 1 || n > kMaxPorts)
        return;
    if (!m_table[n]) {
        m_table[n] = std::make_unique<Entry>();
        m_table[n]->port = std::make_unique<SerialPort>(m_factory);
    }
    Entry& e = *m_table[n];
    // Restarting drops every holder; their lines must not stay up on the old state.
    e.rts.clear();
    e.dtr.clear();
    e.brk.clear();
    SerialPort& p = *e.port;
    const QString device = deviceForPort(n);
    if (p.Active() && p.device() != device) {
        p.setRTSState(false);
        p.setDTRState(false);
        p.setBREAKState(false);
        p.setActive(false);
    }
    e.lost = false;
    e.lostDevice.clear();
    p.setDevice(device);
    p.setOptions(optionsForPort(n));
    p.setCommPort(sectionName(n));
    p.setActive(true);
    if (p.Active()) {
        // Opening raised DTR and RTS; lower them at once.
        p.setRTSState(false);
        p.setDTRState(false);
        p.setBREAKState(false);
        m_failures[n] = {};
    } else {
        m_failures[n] = p.lastFailure();
        m_table[n].reset();
    }
}

void ComPortManager::StoppeCOMPort(int n)
{
    Entry* e = entry(n);
    if (!e)
        return;
    e->port->setRTSState(false);
    e->port->setDTRState(false);
    e->port->setBREAKState(false);
    e->port->setActive(false);
    m_table[n].reset();
}

void ComPortManager::StoppeCOMPorts()
{
    for (int n = kMaxPorts; n >= 1; --n)
        StoppeCOMPort(n);
}

bool ComPortManager::COMPortIsOpen(int n) const
{
    const Entry* e = entry(n);
    return e && e->port && e->port->Active() && !e->lost && !e->port->lost();
}

bool ComPortManager::COMPortIsLost(int n) const
{
    const Entry* e = entry(n);
    return e && (e->lost || (e->port && e->port->lost()));
}

QString ComPortManager::lostDevice(int n) const
{
    const Entry* e = entry(n);
    if (!e || !COMPortIsLost(n))
        return QString();
    return e->lost ? e->lostDevice : e->port->device();
}

void ComPortManager::tick()
{
    for (int n = 1; n <= kMaxPorts; ++n) {
        Entry* e = m_table[n].get();
        if (!e || !e->port)
            continue;
        if (!e->lost && e->port->lost())
            markLost(n, *e);
        else if (e->lost)
            tryReopen(n, *e);
    }
}

void ComPortManager::markLost(int n, Entry& e)
{
    e.lost = true;
    e.lostDevice = e.port->device();
    // Closed: nothing is driven, the outputs read released, the inputs low. The holders
    // stay for the return.
    e.port->dropLostDevice();
    if (m_listener)
        m_listener(n, PortEvent::Lost, sectionName(n) + say(" verloren: ", " lost: ") + e.lostDevice);
}

void ComPortManager::tryReopen(int n, Entry& e)
{
    const bool present = m_probe ? m_probe(e.lostDevice) : probeSystemDevice(e.lostDevice.toStdString());
    if (!present)
        return;
    SerialPort& p = *e.port;
    p.setDevice(e.lostDevice);
    p.setOptions(optionsForPort(n));
    p.setActive(true);
    if (!p.Active())
        return; // not ready yet (permissions are set a moment after the node appears)
    e.lost = false;
    applyHolders(e);
    if (m_listener)
        m_listener(n, PortEvent::Reopened, sectionName(n) + say(" wieder geöffnet: ", " reopened: ") + e.lostDevice);
}

void ComPortManager::applyHolders(Entry& e)
{
    SerialPort& p = *e.port;
    p.setRTSState(e.rts.isEmpty() == e.invRts);
    p.setDTRState(e.dtr.isEmpty() == e.invDtr);
    p.setBREAKState(e.brk.isEmpty() == e.invBrk);
}

void ComPortManager::SaveCOMPortSetup()
{
    IniFile ini(m_cfgPath);
    ini.edit([&](IniDocument& doc) {
        for (int n = 1; n <= kMaxPorts; ++n) {
            const Entry* e = entry(n);
            if (e && e->port) {
                // A lost port is still wanted: it reopens when its device comes back.
                doc.setValue(sectionName(n), QStringLiteral("ident"), QString::number(n));
                doc.setValue(sectionName(n), QStringLiteral("activ"),
                             e->port->Active() || e->lost ? QStringLiteral("1") : QStringLiteral("0"));
            } else {
                // Keep the user's device choice for a port that is not open now; the
                // rest of the section (status, top, left) goes.
                bool hasDevice = false;
                const QString device = doc.value(sectionName(n), QStringLiteral("device"), &hasDevice);
                doc.removeSection(sectionName(n));
                if (hasDevice && !device.isEmpty())
                    doc.setValue(sectionName(n), QStringLiteral("device"), device);
            }
        }
    });
}

void ComPortManager::SetCOMStatus(const QString& holder, int n, const QString& pin, bool on, bool invert)
{
    Entry* e = entry(n);
    if (!e)
        return;
    QStringList* list = holderList(*e, pin);
    if (!list)
        return;
    if (on) {
        if (!list->contains(holder))
            list->append(holder);
    } else {
        list->removeAll(holder);
    }
    const bool level = list->isEmpty() == invert;
    // A lost port keeps the holders; the level is written when its device is back.
    if (list == &e->rts) {
        e->invRts = invert;
        e->port->setRTSState(level);
    } else if (list == &e->dtr) {
        e->invDtr = invert;
        e->port->setDTRState(level);
    } else {
        e->invBrk = invert;
        e->port->setBREAKState(level);
    }
}

bool ComPortManager::GetCOMStatus(int n, const QString& pin, bool invert) const
{
    const Entry* e = entry(n);
    bool raw = false;
    // Lost: the outputs count as released, the inputs read low.
    if (e && e->port && !COMPortIsLost(n)) {
        const SerialPort& p = *e->port;
        if (pin == QLatin1String("RTS"))
            raw = p.RTSState();
        else if (pin == QLatin1String("DTR"))
            raw = p.DTRState();
        else if (pin == QLatin1String("BREAK"))
            raw = p.BREAKState();
        else if (pin == QLatin1String("DSR"))
            raw = p.DSRState();
        else if (pin == QLatin1String("CTS"))
            raw = p.CTSState();
        else if (pin == QLatin1String("RING"))
            raw = p.RingState();
    }
    return raw != invert;
}

bool ComPortManager::carrierDetect(int n) const
{
    const Entry* e = entry(n);
    return e && e->port && !COMPortIsLost(n) && e->port->RLSDState();
}

QStringList ComPortManager::holders(int n, const QString& pin) const
{
    Entry* e = entry(n);
    if (!e)
        return {};
    const QStringList* list = holderList(*e, pin);
    return list ? *list : QStringList();
}

QString ComPortManager::defaultDeviceForPort(int n)
{
    if (n >= 1 && n <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n >= 33 && n <= 42)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 33);
    if (n >= 43 && n <= 50)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 43);
    return QString();
}

QString ComPortManager::virtualSocketPath(int n)
{
    return QDir(QDir::tempPath()).filePath(QStringLiteral("relaydeck-vcom/COM%1.sock").arg(n));
}

QString ComPortManager::deviceForPort(int n) const
{
    if (n < 1 || n > kMaxPorts)
        return QString();
    QString device = IniFile(m_cfgPath).readString(sectionName(n), QStringLiteral("device")).trimmed();
    if (device.isEmpty())
        return defaultDeviceForPort(n);
    if (device.compare(QLatin1String("virtual:"), Qt::CaseInsensitive) == 0 ||
        device.compare(QLatin1String("virtual"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("virtual:") + virtualSocketPath(n);
    if (device.startsWith(QLatin1String("virtual:"), Qt::CaseInsensitive))
        return QStringLiteral("virtual:") + device.mid(8);
    return device;
}

PortOptions ComPortManager::optionsForPort(int n) const
{
    PortOptions o;
    if (n < 1 || n > kMaxPorts)
        return o;
    const IniDocument doc = IniFile(m_cfgPath).read();
    for (const QString& key : doc.keys(sectionName(n)))
        o[key.toLower().toStdString()] = doc.value(sectionName(n), key).trimmed().toStdString();
    return o;
}

QString ComPortManager::describeFailure(const OpenFailure& f)
{
    const QString node = QString::fromStdString(f.node);
    const QString detail = QString::fromStdString(f.detail);
    switch (f.kind) {
    case OpenFailure::Kind::None:
        return QString();
    case OpenFailure::Kind::Missing:
        return detail.isEmpty() ? say("nicht gefunden: ", "not found: ") + node : detail;
    case OpenFailure::Kind::Busy:
        if (!detail.isEmpty())
            return detail;
        return say("%1 wird von einem anderen Programm benutzt", "%1 is in use by another program").arg(node);
    case OpenFailure::Kind::Refused:
        return detail;
    case OpenFailure::Kind::Failed:
        return node + QStringLiteral(": ") + detail;
    case OpenFailure::Kind::NoPermission:
        break;
    }
    // The group that may open the node: its own group, or the one the installed rule gives.
    QString group = QString::fromStdString(f.group);
    QString rule;
    if (node.contains(QLatin1String("hidraw"))) {
        if (group.isEmpty()) {
            group = QStringLiteral("audio");
            rule = QLatin1String(cm108::kUdevRule);
        }
    } else if (node.contains(QLatin1String("gpiochip"))) {
        if (group.isEmpty()) {
            group = QStringLiteral("gpio");
            rule = QLatin1String(cm108::kUdevRule);
        }
    } else if (group.isEmpty()) {
        group = QStringLiteral("dialout");
    }
    if (!rule.isEmpty())
        return say("keine Berechtigung für %1: die udev-Regel %2 installieren (Gruppe %3), den Benutzer in die Gruppe "
                   "%3 "
                   "aufnehmen und neu anmelden",
                   "no permission for %1: install the udev rule %2 (group %3), add the user to the %3 group and log in "
                   "again")
            .arg(node, rule, group);
    return say("keine Berechtigung für %1: den Benutzer in die Gruppe %2 aufnehmen und neu anmelden",
               "no permission for %1: add the user to the %2 group and log in again")
        .arg(node, group);
}

QString ComPortManager::openProblem(int n) const
{
    if (n < 1 || n > kMaxPorts)
        return QString();
    if (COMPortIsLost(n))
        return sectionName(n) + say(" verloren: ", " lost: ") + lostDevice(n);
    if (const Entry* e = entry(n))
        return e->port ? e->port->notice() : QString();
    return describeFailure(m_failures[n]);
}

bool ComPortManager::openFailedMissing(int n) const
{
    return n >= 1 && n <= kMaxPorts && !entry(n) && m_failures[n].kind == OpenFailure::Kind::Missing;
}

void ComPortManager::setDeviceForPort(int n, const QString& device)
{
    if (n < 1 || n > kMaxPorts)
        return;
    IniFile ini(m_cfgPath);
    if (device.trimmed().isEmpty())
        ini.deleteKey(sectionName(n), QStringLiteral("device"));
    else
        ini.writeString(sectionName(n), QStringLiteral("device"), device.trimmed());
}

bool ComPortManager::probePort(int n) const
{
    if (COMPortIsOpen(n))
        return true;
    const QString device = deviceForPort(n);
    if (device.isEmpty())
        return false;
    if (m_probe)
        return m_probe(device);
    return probeSystemDevice(device.toStdString());
}

QList<ComPortManager::StartupEntry> ComPortManager::startFromConfig(const std::function<void(const QString&)>& log)
{
    QList<StartupEntry> opened;
    const IniDocument doc = IniFile(m_cfgPath).read();
    for (const QString& section : doc.sections()) {
        bool ok = false;
        const int ident = doc.value(section, QStringLiteral("ident")).toInt(&ok);
        const bool activ = doc.value(section, QStringLiteral("activ")).toInt() != 0;
        if (!ok || !activ || ident <= 0)
            continue;
        if (log)
            log(QStringLiteral(" -> ") + GetText(QStringLiteral("0403")) + QStringLiteral("... [ COM") +
                QString::number(ident) + QStringLiteral(" ]"));
        StarteCOMPort(ident);
        StartupEntry se;
        se.ident = ident;
        se.status = doc.value(section, QStringLiteral("status")).toInt() != 0;
        bool okTop = false, okLeft = false;
        const int top = doc.value(section, QStringLiteral("top")).toInt(&okTop);
        const int left = doc.value(section, QStringLiteral("left")).toInt(&okLeft);
        se.top = okTop ? top : 10;
        se.left = okLeft ? left : 10;
        opened.append(se);
    }
    return opened;
}

bool ComPortManager::statusOnAutorun(int n) const
{
    return IniFile(m_cfgPath).readBool(sectionName(n), QStringLiteral("status"), false);
}

void ComPortManager::setStatusOnAutorun(int n, bool on)
{
    IniFile(m_cfgPath).writeBool(sectionName(n), QStringLiteral("status"), on);
}

void ComPortManager::statusWindowPos(int n, int& top, int& left) const
{
    IniFile ini(m_cfgPath);
    top = ini.readInteger(sectionName(n), QStringLiteral("top"), 10);
    left = ini.readInteger(sectionName(n), QStringLiteral("left"), 10);
}

void ComPortManager::saveStatusWindowPos(int n, int top, int left)
{
    IniFile(m_cfgPath).edit([&](IniDocument& doc) {
        doc.setValue(sectionName(n), QStringLiteral("top"), QString::number(top));
        doc.setValue(sectionName(n), QStringLiteral("left"), QString::number(left));
    });
}

SerialPort* ComPortManager::port(int n) const
{
    const Entry* e = entry(n);
    return e ? e->port.get() : nullptr;
}
