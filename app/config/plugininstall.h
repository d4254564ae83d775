// Installing the plugin into the TeamSpeak client's plugin folder, shared by the
// application setup's install step and "relaydeck-cli install-plugin": the same file name,
// the same in-use check and the same messages.
#pragma once
#include <QString>
#include <QStringList>

#include <functional>

namespace appsetup {

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
