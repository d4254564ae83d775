// rd_savestorm: saves the program's configuration files over and over through the code the
// program saves them with, for tools/killsave.py, which kills it with SIGKILL at random
// moments and then checks every file.
//
//   rd_savestorm HOME            save forever; "W FILE GEN" before and "D FILE GEN" after
//                                every save, on stdout, flushed
//   rd_savestorm HOME --verify   one line per file: "FILE GEN", "FILE none" (not written
//                                yet) or "FILE corrupt WHY"
//
// Each save writes generation GEN of a file: content that is fully determined by GEN and
// large enough that a kill often lands in the middle of the write. A file is sound when it
// parses and holds exactly one generation's content; the caller checks that GEN is the
// last one saved or the one being saved when the kill came.
#include "app/config/appsettings.h"
#include "app/config/gatewayconfig.h"
#include "app/config/globalfunct.h"
#include "app/config/inifile.h"
#include "app/gateway/remoteregister.h"
#include "app/serial/comportmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <optional>

namespace {

const QString kGateUid = QStringLiteral("{5A5A5A5A-0000-4000-8000-00000000CAFE}");
constexpr int kPadEntries = 600;
constexpr int kUsers = 120;

QString pad(qint64 gen, int i)
{
    return QStringLiteral("%1-%2-").arg(gen).arg(i) + QString(40, QLatin1Char('a' + int((gen + i) % 26)));
}

struct Files {
    explicit Files(const QString& home) : paths(AppPaths::forBase(home)) {}
    AppPaths paths;
    QString cfg() const { return paths.cfgPath; }
    QString gateway() const { return paths.gatewayFile(kGateUid); }
    QString rem() const { return RemoteRegister::pathFor(paths.cfgPath, kGateUid); }
    QString comport() const { return paths.cfgPath + QStringLiteral("comport.cfg"); }
    QString beep() const { return paths.cfgPath + QStringLiteral("rogerbeep.cfg"); }
};

using Verdict = std::optional<qint64>; // the generation; nullopt = corrupt (why in *why)
constexpr qint64 kNotYet = -1;         // the file exists, generation 0 is not in it yet

// --- settings files: gateway file and main.cfg -----------------------------------------
void fillSettings(SettingsList& list, qint64 gen)
{
    list.setValue(QStringLiteral("STORM-GEN"), QString::number(gen));
    for (int i = 0; i < kPadEntries; ++i)
        list.setValue(QStringLiteral("STORM-PAD-%1").arg(i), pad(gen, i));
}

Verdict checkSettings(const SettingsList& list, QString* why)
{
    bool ok = false;
    const qint64 gen = list.value(QStringLiteral("STORM-GEN")).toLongLong(&ok);
    if (!ok) {
        *why = QStringLiteral("no generation");
        return std::nullopt;
    }
    for (int i = 0; i < kPadEntries; ++i)
        if (list.value(QStringLiteral("STORM-PAD-%1").arg(i)) != pad(gen, i)) {
            *why = QStringLiteral("entry %1 not of generation %2").arg(i).arg(gen);
            return std::nullopt;
        }
    return gen;
}

bool saveGateway(const Files& f, qint64 gen)
{
    SettingsList list;
    list.setValue(QStringLiteral("gateUID"), kGateUid);
    list.setValue(QStringLiteral("gateName"), QStringLiteral("Storm"));
    gatewayconfig::completeWithDefaults(list);
    fillSettings(list, gen);
    return gatewayconfig::save(f.gateway(), list);
}

bool saveMain(const Files& f, qint64 gen)
{
    AppSettings settings;
    settings.load(f.paths, false);
    fillSettings(settings.list(), gen);
    return settings.save();
}

Verdict checkSettingsFile(const QString& path, QString* why)
{
    const auto list = LoadSettingsFile(path);
    if (!list) {
        *why = QStringLiteral("not a settings file");
        return std::nullopt;
    }
    return checkSettings(*list, why);
}

// --- the user register (.rem) ----------------------------------------------------------
QString userUid(int i)
{
    return QStringLiteral("storm%1+user/uid=").arg(i);
}

// Generations below kUsers register user GEN (one "#REGISTER" each); later ones write GEN
// into user GEN mod kUsers. A register is sound when users 0..m-1 are registered and
// nothing else, and each user holds the latest generation of its own.
bool saveRem(const Files& f, qint64 gen)
{
    RemoteRegister reg(f.rem());
    if (gen < kUsers)
        return reg.registerRequest(userUid(int(gen)), QStringLiteral("Nick %1 \u00e4").arg(gen)) ==
               RemoteRegister::Request::Stored;
    return reg.writeInteger(userUid(int(gen % kUsers)), QStringLiteral("STORMGEN"), int(gen));
}

Verdict checkRem(const Files& f, QString* why)
{
    const IniDocument doc = IniFile(f.rem()).read();
    RemoteRegister reg(f.rem());
    const int registered = int(reg.users(RemoteRegister::Filter::New).size());
    if (registered != int(doc.sections().size()) || registered == 0) {
        *why = QStringLiteral("%1 users, %2 sections").arg(registered).arg(doc.sections().size());
        return std::nullopt;
    }
    qint64 gen = registered - 1;
    for (int i = 0; i < registered; ++i) {
        if (!reg.IsRemoteRegistered(userUid(i)) && !doc.hasKey(userUid(i), QStringLiteral("NICK"))) {
            *why = QStringLiteral("registration of user %1 lost").arg(i);
            return std::nullopt;
        }
        gen = std::max<qint64>(gen, reg.readInteger(userUid(i), QStringLiteral("STORMGEN"), -1));
    }
    if (registered < kUsers && gen != registered - 1) {
        *why = QStringLiteral("generation %1 before every user was registered").arg(gen);
        return std::nullopt;
    }
    for (int i = 0; i < registered; ++i) {
        // The latest generation >= kUsers that wrote user i, or -1.
        qint64 expect = gen - ((gen - i) % kUsers + kUsers) % kUsers;
        if (expect < kUsers)
            expect = -1;
        if (reg.readInteger(userUid(i), QStringLiteral("STORMGEN"), -1) != expect) {
            *why = QStringLiteral("user %1 not at generation %2").arg(i).arg(expect);
            return std::nullopt;
        }
    }
    return gen;
}

// --- comport.cfg: the port manager's device setting --------------------------------------
QString device(qint64 gen)
{
    return QStringLiteral("/dev/storm/%1/").arg(gen) + QString(2000, QLatin1Char('d'));
}

bool saveComport(const Files& f, qint64 gen)
{
    ComPortManager manager(f.comport());
    for (int n = 2; n <= 6; ++n)
        if (!IniFile(f.comport()).valueExists(QStringLiteral("COM%1").arg(n), QStringLiteral("device")))
            manager.setDeviceForPort(n, QStringLiteral("/dev/ttyUSB%1").arg(n));
    manager.setDeviceForPort(1, device(gen));
    return manager.deviceForPort(1) == device(gen);
}

Verdict checkComport(const Files& f, QString* why)
{
    // The first round sets the other ports one save each before port 1 has a device.
    if (!IniFile(f.comport()).valueExists(QStringLiteral("COM1"), QStringLiteral("device")))
        return kNotYet;
    ComPortManager manager(f.comport());
    const QString d = manager.deviceForPort(1);
    const QStringList parts = d.split(QLatin1Char('/'));
    bool ok = false;
    const qint64 gen = parts.size() > 3 ? parts[3].toLongLong(&ok) : -1;
    if (!ok || d != device(gen)) {
        *why = QStringLiteral("port 1 device damaged");
        return std::nullopt;
    }
    for (int n = 2; n <= 6; ++n)
        if (manager.deviceForPort(n) != QStringLiteral("/dev/ttyUSB%1").arg(n)) {
            *why = QStringLiteral("port %1 device lost").arg(n);
            return std::nullopt;
        }
    return gen;
}

// --- rogerbeep.cfg: a whole beep design in one edit, as the beep editor saves it --------
bool saveBeep(const Files& f, qint64 gen)
{
    return IniFile(f.beep()).edit([&](IniDocument& doc) {
        for (int d = 0; d < 20; ++d) {
            const QString section = QStringLiteral("Design %1").arg(d);
            for (int t = 0; t < 11; ++t) {
                doc.setValue(section, QStringLiteral("FREQ%1").arg(t), QString::number(gen % 3000 + t));
                doc.setValue(section, QStringLiteral("TIME%1").arg(t), QString::number(gen));
            }
        }
    });
}

Verdict checkBeep(const Files& f, QString* why)
{
    const IniDocument doc = IniFile(f.beep()).read();
    bool ok = false;
    const qint64 gen = doc.value(QStringLiteral("Design 0"), QStringLiteral("TIME0")).toLongLong(&ok);
    if (!ok || doc.sections().size() != 20) {
        *why = QStringLiteral("designs missing");
        return std::nullopt;
    }
    for (int d = 0; d < 20; ++d)
        for (int t = 0; t < 11; ++t) {
            const QString section = QStringLiteral("Design %1").arg(d);
            if (doc.value(section, QStringLiteral("FREQ%1").arg(t)) != QString::number(gen % 3000 + t) ||
                doc.value(section, QStringLiteral("TIME%1").arg(t)) != QString::number(gen)) {
                *why = QStringLiteral("design %1 tone %2 not of generation %3").arg(d).arg(t).arg(gen);
                return std::nullopt;
            }
        }
    return gen;
}

struct Kind {
    const char* name;
    QString (Files::*path)() const;
    bool (*save)(const Files&, qint64);
    Verdict (*check)(const Files&, QString*);
};

const Kind kKinds[] = {
    {"gateway", &Files::gateway, saveGateway,
     [](const Files& f, QString* w) { return checkSettingsFile(f.gateway(), w); }},
    {"main.cfg", nullptr, saveMain, [](const Files& f, QString* w) { return checkSettingsFile(f.paths.mainCfg(), w); }},
    {"rem", &Files::rem, saveRem, checkRem},
    {"comport.cfg", &Files::comport, saveComport, checkComport},
    {"rogerbeep.cfg", &Files::beep, saveBeep, checkBeep},
};

QString pathOf(const Files& f, const Kind& k)
{
    return k.path ? (f.*k.path)() : f.paths.mainCfg();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: rd_savestorm HOME [--verify]\n");
        return 2;
    }
    const Files files(args[1]);
    if (!files.paths.prepare()) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(args[1]));
        return 2;
    }
    qint64 next[std::size(kKinds)];
    const bool verify = args.size() > 2 && args[2] == QLatin1String("--verify");
    for (size_t i = 0; i < std::size(kKinds); ++i) {
        const Kind& k = kKinds[i];
        QString why;
        Verdict v;
        if (!QFile::exists(pathOf(files, k))) {
            if (verify)
                std::printf("%s none\n", k.name);
            next[i] = 0;
            continue;
        }
        v = k.check(files, &why);
        if (v && *v == kNotYet) {
            if (verify)
                std::printf("%s none\n", k.name);
            next[i] = 0;
            continue;
        }
        if (verify) {
            if (v)
                std::printf("%s %lld\n", k.name, static_cast<long long>(*v));
            else
                std::printf("%s corrupt %s\n", k.name, qPrintable(why));
        }
        next[i] = v ? *v + 1 : 0;
    }
    if (verify)
        return 0;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (;;)
        for (size_t i = 0; i < std::size(kKinds); ++i) {
            const Kind& k = kKinds[i];
            std::printf("W %s %lld\n", k.name, static_cast<long long>(next[i]));
            std::fflush(stdout);
            if (!k.save(files, next[i])) {
                std::fprintf(stderr, "saving %s failed\n", k.name);
                return 1;
            }
            std::printf("D %s %lld\n", k.name, static_cast<long long>(next[i]));
            std::fflush(stdout);
            ++next[i];
        }
}
