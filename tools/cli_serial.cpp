// relaydeck-cli commands for the radio lines:
//   unkey [--home DIR]               drive every output of the CM108 and GPIO ports in
//                                    comport.cfg to its idle level (after a crash; the
//                                    service runs it as ExecStopPost)
//   key COMn [PIN] [SECONDS] [--home DIR]
//                                    key one output (RTS by default) of a port from
//                                    comport.cfg to check the wiring: until SECONDS pass
//                                    (default 5) or SIGINT/SIGTERM, then unkey
#include "tools/cli.h"

#include "app/config/appsettings.h"
#include "app/serial/comportmanager.h"
#include "app/serial/unkey.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <ctime>

#include <unistd.h>

namespace {

// The comport.cfg the program uses: the same base folder rules ("--home DIR", the program's
// folder, the per-user folder).
QString comportCfg(std::vector<std::string>& args)
{
    QStringList arguments{QStringLiteral("relaydeck-cli")};
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--home" && i + 1 < args.size()) {
            arguments << QStringLiteral("--home") << QString::fromStdString(args[++i]);
        } else if (args[i].rfind("--home=", 0) == 0) {
            arguments << QString::fromStdString(args[i]);
        } else {
            rest.push_back(args[i]);
        }
    }
    args = rest;
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const QString programDir =
        n > 0 ? QFileInfo(QString::fromLocal8Bit(self, static_cast<int>(n))).absolutePath() : QString();
    return AppPaths::resolve(arguments, programDir).cfgPath + QStringLiteral("comport.cfg");
}

int unkeyCommand(const std::vector<std::string>& argv)
{
    std::vector<std::string> args = argv;
    const QString cfg = comportCfg(args);
    if (!args.empty()) {
        std::fprintf(stderr, "usage: relaydeck-cli unkey [--home DIR]\n");
        return 2;
    }
    int failed = 0;
    for (const UnkeyResult& r : unkeyConfiguredLines(cfg)) {
        std::printf("COM%d %s: %s\n", r.port, r.device.c_str(),
                    r.ok ? r.message.c_str() : ("not unkeyed: " + r.message).c_str());
        // A device that is not there keys nothing.
        if (!r.ok && !r.missing)
            ++failed;
    }
    return failed ? 1 : 0;
}

int keyCommand(const std::vector<std::string>& argv)
{
    std::vector<std::string> args = argv;
    const QString cfg = comportCfg(args);
    int port = 0;
    if (!args.empty() && args[0].rfind("COM", 0) == 0)
        port = std::atoi(args[0].c_str() + 3);
    const QString pin = args.size() > 1 ? QString::fromStdString(args[1]).toUpper() : QStringLiteral("RTS");
    const int seconds = args.size() > 2 ? std::atoi(args[2].c_str()) : 5;
    if (port < 1 || port > ComPortManager::kMaxPorts || args.size() > 3 || seconds <= 0 ||
        (pin != QLatin1String("RTS") && pin != QLatin1String("DTR") && pin != QLatin1String("BREAK"))) {
        std::fprintf(stderr, "usage: relaydeck-cli key COMn [RTS|DTR|BREAK] [SECONDS] [--home DIR]\n");
        return 2;
    }
    // Blocked before the port's threads start, so they inherit it and sigtimedwait below
    // takes the signal.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    ComPortManager mgr(cfg);
    mgr.StarteCOMPort(port);
    if (!mgr.COMPortIsOpen(port)) {
        const QString why = mgr.openProblem(port);
        std::fprintf(stderr, "relaydeck-cli key: COM%d (%s) did not open%s%s\n", port,
                     qPrintable(mgr.deviceForPort(port)), why.isEmpty() ? "" : ": ", qPrintable(why));
        return 1;
    }
    mgr.SetCOMStatus(QStringLiteral("CLI"), port, pin, true, false);
    std::printf("COM%d %s keyed for %d s\n", port, qPrintable(pin), seconds);
    std::fflush(stdout);
    timespec ts{seconds, 0};
    sigtimedwait(&set, nullptr, &ts);
    mgr.SetCOMStatus(QStringLiteral("CLI"), port, pin, false, false);
    std::printf("COM%d %s released\n", port, qPrintable(pin));
    return 0; // the manager closes the port on the way out
}

const CliCommand unkeyCmd("unkey", "unkey [--home DIR]  drive every CM108/GPIO output in comport.cfg to its idle level",
                          unkeyCommand);
const CliCommand keyCmd("key", "key COMn [RTS|DTR|BREAK] [SECONDS] [--home DIR]  key one output to check the wiring",
                        keyCommand);

} // namespace
