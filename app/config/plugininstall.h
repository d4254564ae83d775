// Installing the plugin into the TeamSpeak client's plugin folder, shared by the
// application setup's install step and "relaydeck-cli install-plugin": the same file name,
// the same in-use check and the same messages.
#pragma once
#include <QString>
#include <QStringList>

#include <functional>

namespace appsetup {

// --- the client generation -------------------------------------------------------------
//
// The plugin picks the interface number it reports by itself: on Windows from the client
// executable's version, on Linux from the client's Qt (older than 5.12: 21, otherwise 26).
// That is right for every client but a 3.3 to 3.5 one on Linux, which runs Qt 5.12 and
// wants 23 (3.3) or 23 to 25 (3.5). For that one the installers write the number as
// ClientAPI into section LINKSettings of the plugin's settings file, which the plugin
// reads first; for every other client they remove a ClientAPI an earlier install wrote,
// so it does not pin the next client to an old number.

// The generations the installers offer, oldest first, and the one they assume.
QStringList ClientGenerations();
inline constexpr const char* kDefaultClientGeneration = "3.6";
// The minor number of a generation text "3.N" (or "3.N.x"), N 0 to 9; -1 for anything else.
int ClientGenerationMinor(const QString& generation);
// The ClientAPI value a client of that generation needs on this platform, 0 when the
// plugin's own choice is right (or the text is no generation).
int ClientApiNeeded(const QString& generation);

// The plugin's settings file, in the folder the TeamSpeak client runs in (its working
// directory: the folder of its program, where its start script changes to).
inline constexpr const char* kPluginSettingsName = "Relaydeck[LINK].ini";
// That folder: the folder of clientProgram when one is given (the program or its start
// script); else the parent of the plugin folder when it is the "plugins" folder of a client
// installation (beside ts3client_runscript.sh or ts3client_linux_amd64); else "".
QString ClientWorkFolder(const QString& clientProgram, const QString& pluginFolder);

struct ClientApiChange {
    enum Kind { Unchanged, Written, Removed, Failed } kind = Unchanged;
    QString file;    // the settings file
    QString value;   // the value written or removed
    QString message; // Failed: why
    // "ClientAPI=24 written to FILE", "ClientAPI=24 removed from FILE", the failure, or "".
    QString text() const;
};
// Writes ClientAPI into, or removes it from, the settings file in workFolder as the
// generation needs (see above); the file's other lines stay. Needing the key without a
// folder fails; removing needs no folder and no file.
ClientApiChange ApplyClientApi(const QString& workFolder, const QString& generation);

// The plugin file the TeamSpeak client loads, as it is named in the plugin folder and
// beside the program.
inline constexpr const char* kInstalledPluginName = "Relaydeck_Link.so";

enum class InstallStatus { Installed, SourceMissing, FolderMissing, InUse, CopyFailed };
struct InstallResult {
    InstallStatus status = InstallStatus::Installed;
    QString target;  // the plugin file in the chosen folder
    QString message; // what the user is shown ("OK", "ERROR [CODE:2]" ...)
    bool ok() const { return status == InstallStatus::Installed; }
};
// True when a process of this user has the file mapped (a running TeamSpeak client that
// loaded the plugin).
bool IsFileInUse(const QString& path);
// Copies the plugin file to folder/Relaydeck_Link.so, replacing an older one in one step
// (a new file renamed over the old), unless that one is in use.
InstallResult InstallPlugin(const QString& sourceFile, const QString& folder,
                            const std::function<bool(const QString&)>& inUse = IsFileInUse);

// The TeamSpeak client's per-user plugin folder: ~/.ts3client/plugins/
QString DefaultPluginFolder();
// Where the plugin that comes with the program may be: beside the program file (a build
// tree, a portable folder), then the installed ../lib/relaydeck/ (also below a multiarch
// folder such as ../lib/x86_64-linux-gnu/relaydeck/).
QStringList BundledPluginCandidates(const QString& programDir);
// The first of those that exists, or the first candidate when none does (so a message
// can name where it was looked for).
QString BundledPluginFile(const QString& programDir);

} // namespace appsetup
