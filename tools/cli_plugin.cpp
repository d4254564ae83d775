// relaydeck-cli install-plugin [--client-dir DIR] [--home DIR] [--client-generation 3.N]
//                              [--client-workdir DIR]
//
// Copies the plugin that comes with the program (beside relaydeck-cli, or the installed
// lib/relaydeck/Relaydeck_Link.so) into the TeamSpeak client's plugin folder, as the
// install step of the application setup does: the same file name, the same check that a
// running client has not loaded the old file, the same messages, in the language of the
// base folder's main.cfg. DIR defaults to ~/.ts3client/plugins. Prints where the file went.
//
// The client generation (default 3.6) decides whether the plugin's settings file in the
// folder the client runs in gets ClientAPI (a 3.3-3.5 client on Linux) or loses one an
// earlier install wrote; see appsetup::ApplyClientApi. That folder is --client-workdir,
// else the folder of LINK_EXE in main.cfg, else the client installation the plugin folder
// belongs to. Prints what it wrote.
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

const char* const kUsage = "install-plugin [--client-dir DIR] [--home DIR] [--client-generation 3.1|3.3|3.5|3.6] "
                           "[--client-workdir DIR]";

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
    QString generation = QLatin1String(appsetup::kDefaultClientGeneration);
    QString workDir;
    QStringList homeArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool known =
            a == "--client-dir" || a == "--home" || a == "--client-generation" || a == "--client-workdir";
        if (known && i + 1 < args.size()) {
            const QString value = QString::fromLocal8Bit(args[++i].c_str());
            if (a == "--client-dir")
                clientDir = value;
            else if (a == "--client-generation")
                generation = value;
            else if (a == "--client-workdir")
                workDir = value;
            else
                homeArgs = {QStringLiteral("--home"), value};
        } else {
            std::fprintf(stderr, "usage: relaydeck-cli %s\n", kUsage);
            return 2;
        }
    }
    if (appsetup::ClientGenerationMinor(generation) < 0) {
        std::fprintf(stderr, "not a client generation: %s (one of %s)\n", generation.toLocal8Bit().constData(),
                     appsetup::ClientGenerations().join(QStringLiteral(", ")).toLocal8Bit().constData());
        return 2;
    }
    const QString dir = programDir();
    // The messages speak the language of the program's settings; nothing is written there.
    const AppPaths paths = AppPaths::resolve(homeArgs, dir);
    const auto settings = LoadSettingsFile(paths.mainCfg());
    if (settings && !settings->value(QStringLiteral("appLang")).isEmpty())
        SetAppLang(settings->value(QStringLiteral("appLang")));
    if (workDir.isEmpty())
        workDir =
            appsetup::ClientWorkFolder(settings ? settings->value(QStringLiteral("LINK_EXE")) : QString(), clientDir);
    // A key the client needs but no folder to put it in: nothing is installed.
    if (workDir.isEmpty() && appsetup::ClientApiNeeded(generation) != 0) {
        printText(stderr, appsetup::ApplyClientApi(workDir, generation).text());
        std::fprintf(stderr, "Give that folder with --client-workdir DIR.\n");
        return 1;
    }

    const QString source = appsetup::BundledPluginFile(dir);
    const appsetup::InstallResult r = appsetup::InstallPlugin(source, clientDir);
    if (!r.ok()) {
        printText(stderr, r.message);
        return 1;
    }
    printText(stdout, r.message);
    printText(stdout, QDir::toNativeSeparators(QFileInfo(r.target).absoluteFilePath()));
    const appsetup::ClientApiChange api = appsetup::ApplyClientApi(workDir, generation);
    if (api.kind == appsetup::ClientApiChange::Failed) {
        printText(stderr, api.message);
        return 1;
    }
    if (api.kind != appsetup::ClientApiChange::Unchanged)
        printText(stdout, api.text());
    return 0;
}

const CliCommand kInstallPlugin("install-plugin",
                                "install-plugin [--client-dir DIR] [--home DIR] [--client-generation 3.1|3.3|3.5|3.6] "
                                "[--client-workdir DIR]  copy the plugin into the TeamSpeak client's plugin folder "
                                "(default ~/.ts3client/plugins) for that client (default 3.6)",
                                installPluginCommand);

} // namespace
