// relaydeck --headless --check: the base folder's files and devices, in plain words.
#include "app/core/headless.h"

#include "app/config/gatewayconfig.h"
#include "app/config/globalfunct.h"
#include "app/config/inifile.h"
#include "app/serial/comportmanager.h"
#include "app/web/webinterface.h"

#include <QDir>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Checker {
    QTextStream& out;
    int problems = 0;
    void ok(const QString& text) { out << "ok: " << text << Qt::endl; }
    void bad(const QString& text)
    {
        ++problems;
        out << "problem: " << text << Qt::endl;
    }
};

void checkGateways(const AppPaths& paths, Checker& c)
{
    const QStringList files =
        QDir(paths.cfgPath).entryList({QStringLiteral("*.rdk")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (files.isEmpty())
        c.ok(QStringLiteral("no gateway files in %1 (nothing to start)").arg(QDir::toNativeSeparators(paths.cfgPath)));
    for (const QString& name : files) {
        const gatewayconfig::LoadResult r = gatewayconfig::load(paths.cfgPath + name);
        switch (r.error) {
        case gatewayconfig::LoadError::None:
            c.ok(QStringLiteral("gateway \"%1\" (%2)%3")
                     .arg(r.list.value(QStringLiteral("gateName")), name,
                          r.list.boolValue(QStringLiteral("gateAutorun")) ? QStringLiteral(", starts automatically")
                                                                          : QString()));
            break;
        case gatewayconfig::LoadError::Unreadable:
            c.bad(QStringLiteral("the gateway file %1 cannot be read or is not a gateway file (damaged, or not written "
                                 "by Relaydeck)")
                      .arg(name));
            break;
        case gatewayconfig::LoadError::MissingIdentity:
            c.bad(QStringLiteral("the gateway file %1 lacks its identity (gateUID or gateName); open it in the gateway "
                                 "list and save it again")
                      .arg(name));
            break;
        case gatewayconfig::LoadError::NoFileName:
        case gatewayconfig::LoadError::FileMissing:
            c.bad(QStringLiteral("the gateway file %1 vanished while it was checked").arg(name));
            break;
        }
    }
}

// The group that owns a device, for the advice to join it.
QString groupOf(const QString& device)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return QStringLiteral("dialout");
    if (const group* g = ::getgrgid(st.st_gid); g && g->gr_name)
        return QString::fromLocal8Bit(g->gr_name);
    return QStringLiteral("dialout");
}

void checkPorts(const AppPaths& paths, Checker& c)
{
    const QString cfg = paths.cfgPath + QStringLiteral("comport.cfg");
    if (!QFileInfo::exists(cfg)) {
        c.ok(QStringLiteral("no comport.cfg (no serial ports are opened)"));
        return;
    }
    const IniDocument doc = IniFile(cfg).read();
    ComPortManager ports(cfg);
    for (const QString& section : doc.sections()) {
        bool isNumber = false;
        const int n = doc.value(section, QStringLiteral("ident")).toInt(&isNumber);
        if (!isNumber || n <= 0 || doc.value(section, QStringLiteral("activ")).toInt() == 0)
            continue;
        const QString device = ports.deviceForPort(n);
        const QString what = QStringLiteral("COM%1 (%2)").arg(n).arg(device);
        if (!ports.probePort(n)) {
            c.bad(what + QStringLiteral(" does not exist: is the interface plugged in? The device a port uses is the "
                                        "`device` key of its section in comport.cfg"));
            continue;
        }
        if (device.startsWith(QLatin1String("virtual:")) || device.startsWith(QLatin1String("memory:"))) {
            c.ok(what + QStringLiteral(" (simulated port)"));
            continue;
        }
        // Only the access rights are asked: opening the device would raise its lines and
        // key a radio on it.
        if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0) {
            const int err = errno;
            if (err == EACCES || err == EPERM)
                c.bad(what + QStringLiteral(" may not be opened by this user: add the user to the \"%1\" group "
                                            "(sudo usermod -aG %1 $USER) and log in again")
                                 .arg(groupOf(device)));
            else
                c.bad(what + QStringLiteral(" cannot be opened: ") + QString::fromLocal8Bit(std::strerror(err)));
            continue;
        }
        c.ok(what + QStringLiteral(" exists and may be opened"));
    }
}

void checkLinkPort(const AppPaths& paths, Checker& c)
{
    const std::optional<SettingsList> cfg = LoadSettingsFile(paths.mainCfg());
    const int configured = cfg ? StrToIntDef(cfg->value(QStringLiteral("LINK_PORT")), 26001) : 26001;
    const quint16 port = quint16((configured > 0 && configured <= 65535) ? configured : 26001);
    // A one-shot check may wait briefly; the running program never does.
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!probe.waitForConnected(500)) {
        c.ok(QStringLiteral(
                 "link port %1 is free (the TeamSpeak client with the Relaydeck_Link plugin is not running yet)")
                 .arg(port));
        return;
    }
    QByteArray greeting;
    while (greeting.size() < 7 && probe.waitForReadyRead(1000))
        greeting += probe.readAll();
    probe.abort();
    if (greeting.startsWith("<HELLO>"))
        c.ok(QStringLiteral("link port %1 is served by the Relaydeck_Link plugin").arg(port));
    else if (greeting.startsWith("QUIT"))
        c.ok(QStringLiteral("link port %1 is served by the plugin, which already serves another Relaydeck").arg(port));
    else
        c.bad(QStringLiteral("link port %1 is taken by another program that is not the Relaydeck_Link plugin: "
                             "choose another LINK_PORT (main.cfg) and PORT (the plugin's settings)")
                  .arg(port));
}

void checkWebPort(const AppPaths& paths, Checker& c)
{
    const std::optional<SettingsList> cfg = LoadSettingsFile(paths.mainCfg());
    if (!cfg || !WebInterface::enabledIn(*cfg))
        return;
    const int port = WebInterface::portIn(*cfg);
    if (port > 65535) {
        c.bad(QStringLiteral("web port %1 (HTTP_PORT in main.cfg) is no port number: use 1 to 65535").arg(port));
        return;
    }
    // Bound as the server binds it (every address, the address reusable): a port that
    // only a closing connection still holds counts as free.
    QTcpServer probe;
    if (probe.listen(QHostAddress::AnyIPv4, quint16(port))) {
        c.ok(QStringLiteral("web port %1 is free (the status pages will be on it)").arg(port));
        return;
    }
    c.bad(QStringLiteral("web port %1 is taken by another program (or a Relaydeck that already runs): choose another "
                         "HTTP_PORT in main.cfg, or end that program; the gateways would run without the web "
                         "interface")
              .arg(port));
}

} // namespace

bool CheckBaseFolder(const AppPaths& paths, QTextStream& out)
{
    Checker c{out};
    out << "base folder: " << QDir::toNativeSeparators(paths.appPath) << Qt::endl;
    if (!QFileInfo(paths.cfgPath).isDir())
        c.bad(QStringLiteral("the folder %1 does not exist (start Relaydeck once, or give the right --home)")
                  .arg(QDir::toNativeSeparators(paths.cfgPath)));
    else if (!QFileInfo(paths.mainCfg()).exists())
        c.ok(QStringLiteral("no main.cfg yet: the defaults are used"));
    else if (!LoadSettingsFile(paths.mainCfg()))
        c.bad(QStringLiteral(
            "main.cfg cannot be read or decoded; Relaydeck would keep it as main.cfg.bak and use the defaults"));
    checkGateways(paths, c);
    checkPorts(paths, c);
    checkLinkPort(paths, c);
    checkWebPort(paths, c);
    out << (c.problems == 0 ? QStringLiteral("all is well") : QStringLiteral("%1 problem(s) found").arg(c.problems))
        << Qt::endl;
    return c.problems == 0;
}
