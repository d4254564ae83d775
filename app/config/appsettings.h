// The program's folders and its application settings (main.cfg).
//
// Folders: the base folder (AppPath) is the program's own folder; "--home DIR" on the
// command line overrides it, and when the program folder is not writable the per-user
// data folder is used instead. Below it: config/ (main.cfg, gateway files, registers,
// comport.cfg, rogerbeep.cfg), sounds/ (announcements per language), _tmp/ (generated
// tone files, emptied at every start) and ts3plugin/ (downloaded plugin versions).
#pragma once
#include "app/config/clock.h"
#include "app/config/settingslist.h"

#include <QPair>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

struct AppPaths {
    QString programDir; // folder of the program file
    QString appPath;    // base folder; like the others it ends with "/"
    QString cfgPath;    // appPath + "config/"
    QString sndPath;    // appPath + "sounds/"
    QString tmpPath;    // appPath + "_tmp/"

    // The base folder: the value of "--home DIR" (or "--home=DIR") in arguments; else
    // programDir when it is writable and not an installed program's folder (one with
    // share/relaydeck beside it); else the per-user data folder.
    static AppPaths resolve(const QStringList& arguments, const QString& programDir);
    static AppPaths forBase(const QString& baseDir, const QString& programDir = QString());
    // The per-user data folder used when the program folder is read-only.
    static QString userDataDir();

    // Creates config/ and sounds/ if missing; empties _tmp/ (files that cannot be deleted
    // stay) or creates it. False with a message when a folder cannot be created.
    // (A hidden attribute does not exist on this platform; the folder keeps its name.)
    // Announcement files the program ships (shippedSounds()) that the base folder's
    // sounds/<language>/ lacks are copied there; files already there are never replaced,
    // so an operator's own recordings stay.
    bool prepare(QString* error = nullptr) const;

    // The announcements that come with the program: sounds/ beside the program file (a
    // build tree, a portable folder) or ../share/relaydeck/sounds/ (an installed program).
    // Empty when there are none, or when they are the base folder's own sounds/.
    QString shippedSounds() const;

    QString mainCfg() const { return cfgPath + QStringLiteral("main.cfg"); }
    QString pluginPath() const { return appPath + QStringLiteral("ts3plugin/"); }
    // The gateway file of a gateUID: config/<gateUID>.rdk
    QString gatewayFile(const QString& gateUid) const { return cfgPath + gateUid + QStringLiteral(".rdk"); }
};

// Date and time in the system's short date and long time format (without a time zone),
// the form of lastActiv and activTime.
QString DateTimeText(const QDateTime& t);

class AppSettings {
public:
    explicit AppSettings(const Clock& clock = SystemClock::instance()) : m_clock(clock) {}

    // The keys and defaults in the order they are filled in. "" marks keys without a
    // default (they stay absent until they get a value); appUID and lastActiv are
    // computed when filled in.
    static const QList<QPair<QString, QString>>& defaults();

    // The loading steps: folders (prepare), main.cfg if it exists, the language of
    // firstrun.ini (deleted afterwards), every missing default, lastActiv := now.
    // With applyLanguage the language becomes the current one of the text table.
    // A main.cfg that cannot be decoded is copied to main.cfg.bak and the defaults are
    // used; loadProblem() then says so.
    void load(const AppPaths& paths, bool applyLanguage = true);

    // ConfigSpeichern: lastActiv := now; the window geometry (pass it only when the main
    // window is in its normal state) into winTOP/winLEFT/winWIDTH/winHEIGHT; main.cfg
    // written atomically. False when the file could not be written (the old one stays).
    bool save(const std::optional<QRect>& normalGeometry = std::nullopt);

    const AppPaths& paths() const { return m_paths; }
    SettingsList& list() { return m_list; }
    const SettingsList& list() const { return m_list; }
    QString value(const QString& key) const { return m_list.value(key); }
    void setValue(const QString& key, const QString& v) { m_list.setValue(key, v); }
    bool boolValue(const QString& key) const { return m_list.boolValue(key); }
    int intValue(const QString& key, int fallback) const { return m_list.intValue(key, fallback); }
    QString appLang() const { return m_list.value(QStringLiteral("appLang")); }
    const QString& loadProblem() const { return m_loadProblem; }

private:
    const Clock& m_clock;
    AppPaths m_paths;
    SettingsList m_list;
    QString m_loadProblem;
};
