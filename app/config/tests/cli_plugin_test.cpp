// relaydeck-cli install-plugin, run as an operator runs it: from a portable folder and from
// an installed layout, into the default or a given client folder, and its refusals (no
// plugin file, no folder, the old plugin loaded by a running client); the ClientAPI it
// writes for the client generation, down to the real plugin loaded by clientsim.
#include "app/config/globalfunct.h"
#include "app/config/plugininstall.h"
#include "app/config/texts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

namespace {
const QString kCli = QStringLiteral(RD_BINARY_DIR "/bin/relaydeck-cli");
const QString kPlugin = QStringLiteral(RD_BINARY_DIR "/bin/Relaydeck_Link.so");
const QString kClientsim = QStringLiteral(RD_BINARY_DIR "/bin/clientsim");

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

// The generation decides ClientAPI in the settings file of the client's working folder
// (here found from the client installation the plugin folder belongs to): written for a
// 3.3-3.5 client, removed again for the others, every other line kept, and printed.
TEST_F(CliPlugin, ClientGenerationDecidesClientApiInThePluginSettings)
{
    const QString cli = placeCli(QStringLiteral("portable/relaydeck-cli"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("portable/Relaydeck_Link.so")), "plugin"));
    const QString client = dir.filePath(QStringLiteral("TeamSpeak3-Client-linux_amd64"));
    ASSERT_TRUE(writeFile(client + QStringLiteral("/ts3client_runscript.sh"), "#!/bin/sh"));
    ASSERT_TRUE(QDir().mkpath(client + QStringLiteral("/plugins")));
    const QString ini = client + QStringLiteral("/Relaydeck[LINK].ini");
    const QStringList plugins{QStringLiteral("--client-dir"), client + QStringLiteral("/plugins")};
    const QString installed = QStringLiteral("OK\n") + client + QStringLiteral("/plugins/Relaydeck_Link.so\n");

    // Today's client (the default) needs nothing: no settings file is made.
    CliResult r = run(cli, plugins);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, installed);
    EXPECT_FALSE(QFileInfo::exists(ini));

    ASSERT_TRUE(writeFile(ini, "; mine\r\n[LINKSettings]\r\nPORT=26123\r\n"));
    struct Row {
        const char* generation; // "" = the default
        const char* file;       // the settings file afterwards
        const char* printed;    // the line after the plugin's path
    };
    const Row rows[] = {
        {"3.5", "; mine\r\n[LINKSettings]\r\nPORT=26123\r\nClientAPI=24\r\n", "ClientAPI=24 written to "},
        {"3.3", "; mine\r\n[LINKSettings]\r\nPORT=26123\r\nClientAPI=23\r\n", "ClientAPI=23 written to "},
        {"3.6", "; mine\r\n[LINKSettings]\r\nPORT=26123\r\n", "ClientAPI=23 removed from "},
        {"3.6", "; mine\r\n[LINKSettings]\r\nPORT=26123\r\n", ""},
        {"3.5", "; mine\r\n[LINKSettings]\r\nPORT=26123\r\nClientAPI=24\r\n", "ClientAPI=24 written to "},
        {"3.1", "; mine\r\n[LINKSettings]\r\nPORT=26123\r\n", "ClientAPI=24 removed from "},
        {"3.3", "; mine\r\n[LINKSettings]\r\nPORT=26123\r\nClientAPI=23\r\n", "ClientAPI=23 written to "},
        {"", "; mine\r\n[LINKSettings]\r\nPORT=26123\r\n", "ClientAPI=23 removed from "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.generation);
        QStringList args = plugins;
        if (*row.generation)
            args << QStringLiteral("--client-generation") << QLatin1String(row.generation);
        r = run(cli, args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, installed + (*row.printed ? QLatin1String(row.printed) + ini + QLatin1Char('\n') : QString()));
        EXPECT_EQ(readFile(ini), QByteArray(row.file));
    }
    // A key an earlier install or the user wrote twice, in another case: all of it goes.
    ASSERT_TRUE(writeFile(ini, "[linksettings]\r\nclientapi=24\r\nPORT=26123\r\nClientAPI=23\r\n"));
    r = run(cli, plugins);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, installed + QStringLiteral("ClientAPI=24 removed from ") + ini + QLatin1Char('\n'));
    EXPECT_EQ(readFile(ini), QByteArray("[linksettings]\r\nPORT=26123\r\n"));

    EXPECT_EQ(run(cli, plugins + QStringList{QStringLiteral("--client-generation"), QStringLiteral("4.0")}).code, 2);
    EXPECT_EQ(run(cli, plugins + QStringList{QStringLiteral("--client-generation")}).code, 2);
}

// Where the client runs: --client-workdir, else the folder of LINK_EXE in the base folder's
// main.cfg. A 3.5 client with neither is refused before anything is copied.
TEST_F(CliPlugin, ClientWorkingFolderFromTheOptionOrTheClientProgram)
{
    const QString cli = placeCli(QStringLiteral("portable/relaydeck-cli"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("portable/Relaydeck_Link.so")), "plugin"));
    const QString plugins = dir.filePath(QStringLiteral("home/.ts3client/plugins"));
    ASSERT_TRUE(QDir().mkpath(plugins));
    const QStringList gen35{QStringLiteral("--client-generation"), QStringLiteral("3.5")};

    CliResult r = run(cli, gen35);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ClientAPI=24"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("Give that folder with --client-workdir DIR.\n"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(plugins + QStringLiteral("/Relaydeck_Link.so")));

    const QString work = dir.filePath(QStringLiteral("work"));
    ASSERT_TRUE(QDir().mkpath(work));
    r = run(cli, gen35 + QStringList{QStringLiteral("--client-workdir"), work});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.endsWith(QStringLiteral("ClientAPI=24 written to ") + work + QStringLiteral("/Relaydeck[LINK].ini\n")))
        << r.out.toStdString();
    EXPECT_EQ(readFile(work + QStringLiteral("/Relaydeck[LINK].ini")),
              QByteArray("[LINKSettings]\r\nClientAPI=24\r\n"));

    const QString base = dir.filePath(QStringLiteral("base"));
    const QString program = dir.filePath(QStringLiteral("opt/teamspeak3/ts3client_linux_amd64"));
    ASSERT_TRUE(writeFile(program, "client"));
    ASSERT_TRUE(QDir().mkpath(base + QStringLiteral("/config")));
    ASSERT_TRUE(SaveSettingsFile(
        base + QStringLiteral("/config/main.cfg"),
        SettingsList(QStringList{QStringLiteral("appLang=en_US"), QStringLiteral("LINK_EXE=") + program})));
    r = run(cli, gen35 + QStringList{QStringLiteral("--home"), base});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("opt/teamspeak3/Relaydeck[LINK].ini"))),
              QByteArray("[LINKSettings]\r\nClientAPI=24\r\n"));
}

// The real plugin in a 3.5 client on Linux (Qt 5.15 reported, as a newer Qt would make the
// plugin pick 26): it loads and reports 24 once the installer wrote the key, and is
// refused again after an install for today's client took the key away.
TEST_F(CliPlugin, PluginInA35ClientReportsTheNumberTheInstallerWrote)
{
    if (!QFileInfo::exists(kPlugin) || !QFileInfo::exists(kClientsim))
        GTEST_SKIP() << "the plugin or clientsim is not built in this tree";
    const QString cli = placeCli(QStringLiteral("portable/relaydeck-cli"));
    ASSERT_TRUE(QFile::copy(kPlugin, dir.filePath(QStringLiteral("portable/Relaydeck_Link.so"))));
    const QString client = dir.filePath(QStringLiteral("client"));
    ASSERT_TRUE(writeFile(client + QStringLiteral("/ts3client_runscript.sh"), "#!/bin/sh"));
    ASSERT_TRUE(QDir().mkpath(client + QStringLiteral("/plugins")));
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    ASSERT_TRUE(writeFile(client + QStringLiteral("/Relaydeck[LINK].ini"),
                          QStringLiteral("[LINKSettings]\r\nPORT=%1\r\n").arg(port).toLatin1()));
    const QStringList plugins{QStringLiteral("--client-dir"), client + QStringLiteral("/plugins")};
    const QStringList clientArgs{QStringLiteral("--plugin"),     client + QStringLiteral("/plugins/Relaydeck_Link.so"),
                                 QStringLiteral("--workdir"),    client,
                                 QStringLiteral("--generation"), QStringLiteral("3.5"),
                                 QStringLiteral("--qt"),         QStringLiteral("5.15.2")};

    CliResult r = run(cli, plugins + QStringList{QStringLiteral("--client-generation"), QStringLiteral("3.5")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    {
        QProcess sim;
        sim.start(kClientsim, clientArgs); // runs until its input ends
        ASSERT_TRUE(sim.waitForStarted(10000));
        QTcpSocket link;
        for (int i = 0; i < 200 && link.state() != QAbstractSocket::ConnectedState; ++i) {
            link.connectToHost(QHostAddress::LocalHost, port);
            if (!link.waitForConnected(100)) {
                link.abort();
                QThread::msleep(50);
            }
        }
        ASSERT_EQ(link.state(), QAbstractSocket::ConnectedState) << sim.readAllStandardOutput().toStdString();
        link.write("WHOAMI \r\r\n");
        QByteArray got;
        auto answered = [&got] { return got.contains("WHOAMI ") && got.indexOf('\r', got.indexOf("WHOAMI ")) > 0; };
        while (!answered() && got.size() < 65536 && link.waitForReadyRead(10000))
            got += link.readAll();
        EXPECT_TRUE(got.contains(QByteArrayLiteral(" API=24 gateAPI=1 PORT=") + QByteArray::number(port)))
            << got.toStdString();
        link.close();
        sim.closeWriteChannel();
        ASSERT_TRUE(sim.waitForFinished(20000));
        EXPECT_EQ(sim.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(sim.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral("plugin interface 24 (ClientAPI setting)"))) << out.toStdString();
    }

    r = run(cli, plugins);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QProcess sim;
    sim.start(kClientsim, clientArgs);
    sim.closeWriteChannel();
    ASSERT_TRUE(sim.waitForFinished(20000));
    EXPECT_EQ(sim.exitCode(), 1);
    const QString out = QString::fromLocal8Bit(sim.readAllStandardOutput() + sim.readAllStandardError());
    EXPECT_TRUE(out.contains(QStringLiteral("Api version is not compatible: 26 (minimum: 23, current: 25)")))
        << out.toStdString();
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
