#include "app/ui/appfolders.h"

#include "app/config/globalfunct.h"
#include "app/config/inifile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

AppFolders AppFolders::under(const QString& base)
{
    AppFolders f;
    f.appPath = QDir(base).absolutePath() + QLatin1Char('/');
    f.cfgPath = f.appPath + QStringLiteral("config/");
    f.sndPath = f.appPath + QStringLiteral("sounds/");
    f.tmpPath = f.appPath + QStringLiteral("_tmp/");
    return f;
}

namespace {
QString nowText()
{
    const QLocale locale;
    return QDateTime::currentDateTime().toString(locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ')
                                                 + locale.timeFormat(QLocale::LongFormat));
}
} // namespace

SettingsList LoadAppSettings(const AppFolders& folders)
{
    QDir().mkpath(folders.cfgPath);
    QDir().mkpath(folders.sndPath);
    QDir tmp(folders.tmpPath);
    if (tmp.exists()) {
        for (const QString& name : tmp.entryList(QDir::Files | QDir::Hidden))
            tmp.remove(name);
    } else {
        QDir().mkpath(folders.tmpPath);
    }

    SettingsList s;
    if (auto loaded = LoadSettingsFile(folders.cfgPath + QStringLiteral("main.cfg")))
        s = *loaded;
    const QString firstRun = folders.appPath + QStringLiteral("firstrun.ini");
    if (QFile::exists(firstRun)) {
        IniFile ini(firstRun);
        s.setValue(QStringLiteral("appLang"), ini.readString(QStringLiteral("setup"), QStringLiteral("language"), QStringLiteral("de_DE")));
        QFile::remove(firstRun);
    } else if (s.value(QStringLiteral("appLang")).isEmpty()) {
        s.setValue(QStringLiteral("appLang"), QStringLiteral("de_DE"));
    }
    const struct {
        const char* key;
        QString value;
    } defaults[] = {
        {"appUID", QStringLiteral("[APP]#") + NewGuidText() + QStringLiteral("#[RDK4]")},
        {"appMAXWin", QStringLiteral("True")},  {"appMINWin", QStringLiteral("False")},
        {"appExitDlg", QStringLiteral("True")}, {"winTOP", QStringLiteral("10")},
        {"winLEFT", QStringLiteral("10")},      {"winWIDTH", QStringLiteral("800")},
        {"winHEIGHT", QStringLiteral("600")},   {"LINK_ACTIVE", QStringLiteral("True")},
        {"LINK_PORT", QStringLiteral("26001")}, {"LINK_EXIT", QStringLiteral("True")},
        {"HTTP_PORT", QStringLiteral("8011")},  {"HTTP_ACTIVE", QStringLiteral("False")},
        {"AUDIO_PREV_DEV", QStringLiteral("-1")},
    };
    for (const auto& d : defaults)
        if (s.value(QLatin1String(d.key)).isEmpty())
            s.setValue(QLatin1String(d.key), d.value);
    s.setValue(QStringLiteral("lastActiv"), nowText());
    return s;
}

bool SaveAppSettings(const AppFolders& folders, SettingsList& settings)
{
    settings.setValue(QStringLiteral("lastActiv"), nowText());
    QDir().mkpath(folders.cfgPath);
    return SaveSettingsFile(folders.cfgPath + QStringLiteral("main.cfg"), settings);
}
