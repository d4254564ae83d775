#include "app/config/appsettings.h"
#include "app/config/globalfunct.h"
#include "app/config/inifile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {
void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

TEST(AppSettings, FirstStartCreatesFoldersAndSavesEveryDefault)
{
    QTemporaryDir dir;
    ManualClock clock;
    const AppPaths paths = AppPaths::forBase(dir.path());
    EXPECT_TRUE(paths.cfgPath.endsWith("/config/"));
    AppSettings s(clock);
    s.load(paths, false);
    EXPECT_TRUE(s.loadProblem().isEmpty());
    for (const char* sub : {"config", "sounds", "_tmp"})
        EXPECT_TRUE(QDir(dir.filePath(sub)).exists()) << sub;

    ASSERT_TRUE(s.save());
    auto saved = LoadSettingsFile(dir.filePath("config/main.cfg"));
    ASSERT_TRUE(saved.has_value());
    // Every key with a default, in the table's order; keys without one are absent.
    QStringList expectedKeys;
    for (const auto& [key, def] : AppSettings::defaults())
        if (!def.isEmpty() || key == "appUID" || key == "lastActiv")
            expectedKeys.append(key);
    QStringList keys;
    for (int i = 0; i < saved->size(); ++i)
        keys.append(saved->nameAt(i));
    EXPECT_EQ(keys, expectedKeys);
    EXPECT_EQ(saved->value("appLang"), "de_DE");
    EXPECT_EQ(saved->value("LINK_PORT"), "26001");
    EXPECT_EQ(saved->value("AUDIO_PREV_DEV"), "-1");
    EXPECT_FALSE(saved->contains("devPW"));
    EXPECT_TRUE(
        QRegularExpression("^\\[APP\\]#\\{[0-9A-F-]{36}\\}#\\[RDK4\\]$").match(saved->value("appUID")).hasMatch())
        << saved->value("appUID").toStdString();
}

TEST(AppSettings, RestartKeepsValuesAndEmptiesTheScratchFolder)
{
    QTemporaryDir dir;
    ManualClock clock;
    const AppPaths paths = AppPaths::forBase(dir.path());
    QString uid;
    {
        AppSettings s(clock);
        s.load(paths, false);
        uid = s.value("appUID");
        s.setValue("LINK_EXE", "/opt/ts3/ts3client");
        s.setValue("appMAXWin", "False");
        ASSERT_TRUE(s.save(QRect(20, 30, 1024, 700))); // left, top, width, height
    }
    writeAll(paths.tmpPath + "R_beep.wav", "RIFF");
    {
        AppSettings s(clock);
        s.load(paths, false);
        EXPECT_EQ(s.value("appUID"), uid);
        EXPECT_EQ(s.value("LINK_EXE"), "/opt/ts3/ts3client");
        EXPECT_FALSE(s.boolValue("appMAXWin"));
        EXPECT_EQ(s.value("winTOP"), "30");
        EXPECT_EQ(s.value("winLEFT"), "20");
        EXPECT_EQ(s.value("winWIDTH"), "1024");
        EXPECT_EQ(s.value("winHEIGHT"), "700");
        EXPECT_TRUE(QDir(paths.tmpPath).isEmpty());
        // Saved while maximized: no geometry given, the last normal one stays.
        ASSERT_TRUE(s.save(std::nullopt));
        AppSettings again(clock);
        again.load(paths, false);
        EXPECT_EQ(again.value("winWIDTH"), "1024");
    }
}

TEST(AppSettings, FirstRunLanguageWinsOnceAndIsDeleted)
{
    QTemporaryDir dir;
    ManualClock clock;
    const AppPaths paths = AppPaths::forBase(dir.path());
    ASSERT_TRUE(QDir().mkpath(paths.cfgPath));
    ASSERT_TRUE(SaveSettingsFile(paths.mainCfg(), SettingsList(QStringList{"appLang=de_DE", "winTOP=55"})));
    writeAll(dir.filePath("firstrun.ini"), "[Setup]\r\nLanguage=en_US\r\n");

    AppSettings s(clock);
    s.load(paths, false);
    EXPECT_EQ(s.appLang(), "en_US");
    EXPECT_EQ(s.value("winTOP"), "55");
    EXPECT_FALSE(QFile::exists(dir.filePath("firstrun.ini")));
}

TEST(AppSettings, UnreadableMainCfgFallsBackToDefaultsAndIsKept)
{
    QTemporaryDir dir;
    ManualClock clock;
    const AppPaths paths = AppPaths::forBase(dir.path());
    ASSERT_TRUE(QDir().mkpath(paths.cfgPath));
    writeAll(paths.mainCfg(), "this is not base64 !");
    AppSettings s(clock);
    s.load(paths, false);
    EXPECT_FALSE(s.loadProblem().isEmpty());
    EXPECT_EQ(s.appLang(), "de_DE");
    EXPECT_EQ(s.value("HTTP_PORT"), "8011");
    QFile bak(paths.mainCfg() + ".bak");
    ASSERT_TRUE(bak.open(QIODevice::ReadOnly));
    EXPECT_EQ(bak.readAll(), QByteArray("this is not base64 !"));
}

TEST(AppPaths, BaseFolderChoice)
{
    QTemporaryDir dir;
    const QString prog = dir.filePath("bin");
    QDir().mkpath(prog);
    const QString home = dir.filePath("home");
    EXPECT_EQ(AppPaths::resolve({"relaydeck"}, prog).appPath, prog + "/");
    EXPECT_EQ(AppPaths::resolve({"relaydeck", "--home", home}, prog).appPath, home + "/");
    EXPECT_EQ(AppPaths::resolve({"relaydeck", "--home=" + home}, prog).appPath, home + "/");
    EXPECT_EQ(AppPaths::resolve({"relaydeck", "--home=" + home}, prog).programDir, prog + "/");
    // A program folder that cannot be written to (here: one that is not there).
    const AppPaths p = AppPaths::resolve({"relaydeck"}, dir.filePath("missing"));
    EXPECT_EQ(p.appPath, QDir::cleanPath(AppPaths::userDataDir()) + "/");
    EXPECT_EQ(p.tmpPath, p.appPath + "_tmp/");
    // An installed program's folder, even when writable (root and /usr/bin): the per-user one.
    QDir().mkpath(dir.filePath("share/relaydeck"));
    EXPECT_EQ(AppPaths::resolve({"relaydeck"}, prog).appPath, QDir::cleanPath(AppPaths::userDataDir()) + "/");
}

// An installed program finds its announcements in share/relaydeck/sounds beside bin/ and
// gives a base folder the files it lacks; the operator's own files stay as they are.
TEST(AppPaths, ShippedAnnouncementsFillTheBaseFolderWithoutReplacingOwnFiles)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath("usr");
    QDir().mkpath(prefix + "/bin");
    for (const char* lang : {"de_DE", "en_US"}) {
        QDir().mkpath(prefix + "/share/relaydeck/sounds/" + lang);
        for (const char* name : {"S0001.wav", "S0002.wav"}) {
            QFile f(prefix + "/share/relaydeck/sounds/" + lang + "/" + name);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("shipped ") + name);
        }
    }
    const AppPaths p = AppPaths::resolve({"relaydeck", "--home", dir.filePath("home")}, prefix + "/bin");
    EXPECT_EQ(p.shippedSounds(), prefix + "/share/relaydeck/sounds/");
    QDir().mkpath(p.sndPath + "en_US");
    {
        QFile own(p.sndPath + "en_US/S0001.wav");
        ASSERT_TRUE(own.open(QIODevice::WriteOnly));
        own.write("my own recording");
    }
    ASSERT_TRUE(p.prepare());
    auto read = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    };
    EXPECT_EQ(read(p.sndPath + "en_US/S0001.wav"), "my own recording");
    EXPECT_EQ(read(p.sndPath + "en_US/S0002.wav"), "shipped S0002.wav");
    EXPECT_EQ(read(p.sndPath + "de_DE/S0001.wav"), "shipped S0001.wav");

    // A portable folder whose sounds/ is the program's own: nothing to copy from.
    const AppPaths portable = AppPaths::forBase(prefix + "/share/relaydeck", prefix + "/share/relaydeck");
    EXPECT_EQ(portable.shippedSounds(), QString());
}
