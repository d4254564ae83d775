// The folders under the base folder and the application settings (main.cfg) as the main
// window loads them at creation and saves them on quit. Stands in for the shared settings
// store of app/config until that is available.
#pragma once
#include "app/config/settingslist.h"

#include <QString>

struct AppFolders {
    QString appPath;   // base folder (the program's folder, or --home)
    QString cfgPath;   // config/
    QString sndPath;   // sounds/
    QString tmpPath;   // _tmp/
    static AppFolders under(const QString& base);
};

// Creates the folders (config/, sounds/, an emptied _tmp/), loads main.cfg, applies
// firstrun.ini and fills every missing key with its default. lastActiv := now.
SettingsList LoadAppSettings(const AppFolders& folders);
// Writes main.cfg atomically; false when it could not be written.
bool SaveAppSettings(const AppFolders& folders, SettingsList& settings);
