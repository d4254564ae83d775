// relaydeck-cli install-plugin, run as an operator runs it: from a portable folder and from
// an installed layout, into the default or a given client folder, and its refusals (no
// plugin file, no folder, the old plugin loaded by a running client).
#include "app/config/globalfunct.h"
#include "app/config/plugininstall.h"
#include "app/config/texts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {
const QString kCli = QStringLiteral(RD_BINARY_DIR "/bin/relaydeck-cli");

struct CliResult {
    int code;
    QString out;
    QString err;
};

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class CliPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(kCli))
            GTEST_SKIP() << "relaydeck-cli is not built in this tree";
    }
    // A copy of relaydeck-cli at rel (below the scratch folder), so it finds what lies
    // around it there.
    QString placeCli(const QString& rel)
    {
        const QString path = dir.filePath(rel);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(kCli, path));
        return path;
    }
    CliResult run(const QString& cli, const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        p.setProcessEnvironment(env);
        p.start(cli, QStringList{QStringLiteral("install-plugin")} + args);
        if (!p.waitForFinished(20000))
            return {-1, {}, {}};
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    QTemporaryDir dir;
};

TEST_F(CliPlugin, InstallsThePluginBesideTheProgramAndSaysWhere)
{
    const QString cli = placeCli(QStringLiteral("portable/relaydeck-cli"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("portable/Relaydeck_Link.so")), "plugin v1"));

    // The default folder: the client's per-user plugin folder below HOME.
    const QString plugins = dir.filePath(QStringLiteral("home/.ts3client/plugins"));
    ASSERT_TRUE(QDir().mkpath(plugins));
    CliResult r = run(cli, {});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("OK\n") + plugins + QStringLiteral("/Relaydeck_Link.so\n"));
    EXPECT_EQ(readFile(plugins + QStringLiteral("/Relaydeck_Link.so")), QByteArray("plugin v1"));
    EXPECT_TRUE(QFileInfo(plugins + QStringLiteral("/Relaydeck_Link.so")).isExecutable());

    // A given folder; an older plugin there is replaced, nothing else is left behind.
    const QString other = dir.filePath(QStringLiteral("client/plugins"));
    ASSERT_TRUE(writeFile(other + QStringLiteral("/Relaydeck_Link.so"), "old"));
    r = run(cli, {QStringLiteral("--client-dir"), other});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("OK\n") + other + QStringLiteral("/Relaydeck_Link.so\n"));
    EXPECT_EQ(readFile(other + QStringLiteral("/Relaydeck_Link.so")), QByteArray("plugin v1"));
    EXPECT_EQ(QDir(other).entryList(QDir::Files), QStringList{QStringLiteral("Relaydeck_Link.so")});

    EXPECT_EQ(run(cli, {QStringLiteral("--client-dir")}).code, 2);
    EXPECT_EQ(run(cli, {QStringLiteral("--bogus")}).code, 2);
}

TEST_F(CliPlugin, InstalledProgramTakesThePluginFromLibRelaydeck)
{
    for (const char* lib : {"usr/lib/relaydeck", "multi/lib/x86_64-linux-gnu/relaydeck"}) {
        SCOPED_TRACE(lib);
        const QString root = QString::fromLatin1(lib).section(QLatin1Char('/'), 0, 0);
        const QString cli = placeCli(root + QStringLiteral("/bin/relaydeck-cli"));
        ASSERT_TRUE(writeFile(dir.filePath(QString::fromLatin1(lib) + QStringLiteral("/Relaydeck_Link.so")), lib));
        const QString plugins = dir.filePath(QStringLiteral("plugins-") + root);
        ASSERT_TRUE(QDir().mkpath(plugins));
        const CliResult r = run(cli, {QStringLiteral("--client-dir"), plugins});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(readFile(plugins + QStringLiteral("/Relaydeck_Link.so")), QByteArray(lib));
    }
}

TEST_F(CliPlugin, RefusesWithTheSetupsMessages)
{
    const QString cli = placeCli(QStringLiteral("bin/relaydeck-cli"));
    const QString plugins = dir.filePath(QStringLiteral("plugins"));
    ASSERT_TRUE(QDir().mkpath(plugins));
    // English, as the base folder's main.cfg says; German without one.
    const QString home = dir.filePath(QStringLiteral("base"));
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/config")));
    ASSERT_TRUE(SaveSettingsFile(home + QStringLiteral("/config/main.cfg"),
                                 SettingsList(QStringList{QStringLiteral("appLang=en_US")})));
    const QStringList english{QStringLiteral("--home"), home};

    CliResult r = run(cli, QStringList{QStringLiteral("--client-dir"), plugins} + english);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("ERROR [CODE:2]\n\nThe plugin file is missing:\n")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(dir.filePath(QStringLiteral("bin/Relaydeck_Link.so")))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("bin/Relaydeck_Link.so")), "new plugin"));
    r = run(cli, QStringList{QStringLiteral("--client-dir"), dir.filePath(QStringLiteral("nowhere"))} + english);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("ERROR [CODE:1]\n\nThe folder does not exist:\n")))
        << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nowhere"))));

    // A running client has the old plugin loaded (here this test maps it, as the client
    // would): it stays, and the message asks to close the client first.
    const QString target = plugins + QStringLiteral("/Relaydeck_Link.so");
    ASSERT_TRUE(writeFile(target, "old plugin, loaded"));
    QFile loaded(target);
    ASSERT_TRUE(loaded.open(QIODevice::ReadOnly));
    uchar* map = loaded.map(0, loaded.size());
    ASSERT_NE(map, nullptr);
    for (const char* lang : {"en_US", "de_DE"}) {
        SCOPED_TRACE(lang);
        r = run(cli, QStringList{QStringLiteral("--client-dir"), plugins} +
                         (QLatin1String(lang) == QLatin1String("en_US") ? english : QStringList{}));
        EXPECT_EQ(r.code, 1);
        const QString want = GetTextLang(QString::fromLatin1(lang), QStringLiteral("0073")) + QStringLiteral("\n\n") +
                             GetTextLang(QString::fromLatin1(lang), QStringLiteral("0074")) + QLatin1Char('\n');
        // Printed as lines: the carriage returns of the texts become line feeds.
        QString lines = want;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        EXPECT_EQ(r.err, lines) << r.err.toStdString();
    }
    EXPECT_EQ(readFile(target), QByteArray("old plugin, loaded"));
    loaded.unmap(map);
}

TEST(PluginInstall, BundledPluginIsLookedForBesideTheProgramThenInLibRelaydeck)
{
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("usr/bin"));
    QDir().mkpath(bin);
    QDir().mkpath(dir.filePath(QStringLiteral("usr/lib/x86_64-linux-gnu/relaydeck")));
    const QStringList c = appsetup::BundledPluginCandidates(bin);
    ASSERT_GE(c.size(), 3);
    EXPECT_EQ(c[0], bin + QStringLiteral("/Relaydeck_Link.so"));
    EXPECT_EQ(c[1], dir.filePath(QStringLiteral("usr/lib/relaydeck/Relaydeck_Link.so")));
    EXPECT_TRUE(c.contains(dir.filePath(QStringLiteral("usr/lib/x86_64-linux-gnu/relaydeck/Relaydeck_Link.so"))));
    // None there: the first place is named.
    EXPECT_EQ(appsetup::BundledPluginFile(bin), c[0]);
    ASSERT_TRUE(writeFile(c[1], "x"));
    EXPECT_EQ(appsetup::BundledPluginFile(bin), c[1]);
    ASSERT_TRUE(writeFile(c[0], "y"));
    EXPECT_EQ(appsetup::BundledPluginFile(bin), c[0]);
    EXPECT_EQ(appsetup::DefaultPluginFolder(), QDir::homePath() + QStringLiteral("/.ts3client/plugins/"));
}

} // namespace
