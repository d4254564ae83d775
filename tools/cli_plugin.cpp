// relaydeck-cli install-plugin [--client-dir DIR] [--home DIR]
//
// Copies the plugin that comes with the program (beside relaydeck-cli, or the installed
// lib/relaydeck/Relaydeck_Link.so) into the TeamSpeak client's plugin folder, as the
// install step of the application setup does: the same file name, the same check that a
// running client has not loaded the old file, the same messages, in the language of the
// base folder's main.cfg. DIR defaults to ~/.ts3client/plugins. Prints where the file went.
#include "tools/cli.h"

#include "app/config/appsettings.h"
#include "app/config/globalfunct.h"
#include "app/config/plugininstall.h"
#include "app/config/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

void printText(FILE* to, const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(to, "%s\n", t.toLocal8Bit().constData());
}

// The program's folder from /proc (relaydeck-cli has no QCoreApplication).
QString programDir()
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString target = self.symLinkTarget();
    return target.isEmpty() ? QDir::currentPath() : QFileInfo(target).absolutePath();
}

int installPluginCommand(const std::vector<std::string>& args)
{
    QString clientDir = appsetup::DefaultPluginFolder();
    QStringList homeArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--client-dir" || a == "--home") && i + 1 < args.size()) {
            const QString value = QString::fromLocal8Bit(args[++i].c_str());
            if (a == "--client-dir")
                clientDir = value;
            else
                homeArgs = {QStringLiteral("--home"), value};
        } else {
            std::fprintf(stderr, "usage: relaydeck-cli install-plugin [--client-dir DIR] [--home DIR]\n");
            return 2;
        }
    }
    const QString dir = programDir();
    // The messages speak the language of the program's settings; nothing is written there.
    const AppPaths paths = AppPaths::resolve(homeArgs, dir);
    if (const auto settings = LoadSettingsFile(paths.mainCfg());
        settings && !settings->value(QStringLiteral("appLang")).isEmpty())
        SetAppLang(settings->value(QStringLiteral("appLang")));

    const QString source = appsetup::BundledPluginFile(dir);
    const appsetup::InstallResult r = appsetup::InstallPlugin(source, clientDir);
    if (!r.ok()) {
        printText(stderr, r.message);
        return 1;
    }
    printText(stdout, r.message);
    printText(stdout, QDir::toNativeSeparators(QFileInfo(r.target).absoluteFilePath()));
    return 0;
}

const CliCommand kInstallPlugin("install-plugin",
                                "install-plugin [--client-dir DIR] [--home DIR]  copy the plugin into the TeamSpeak "
                                "client's plugin folder (default ~/.ts3client/plugins)",
                                installPluginCommand);

} // namespace
