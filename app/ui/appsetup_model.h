// The application setup without a screen: the program-wide settings the setup pages edit
// (plugin link, start option, exit question, language, web interface), the list of
// plugin versions on this PC, installing a version into the TeamSpeak client's plugin
// folder and fetching new versions from the maker's directory service.
//
// Every change goes straight into the application settings list; the window saves the
// list (main.cfg) when it closes.
#pragma once
#include "app/config/plugininstall.h"
#include "app/config/settingslist.h"
#include "app/config/texts.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace appsetup {

// The file a downloaded plugin version keeps in its folder ts3plugin/<version>/.
inline constexpr const char* kVersionPluginFile = "Setup.so";

enum class StartOption { Normal, Maximized, Minimized };

class AppSetupModel {
public:
    explicit AppSetupModel(SettingsList& settings) : m_s(settings) {}

    // --- general ---------------------------------------------------------------------
    QString linkPort() const;
    // Stores a port 1..65535 in LINK_PORT; false (nothing stored) for anything else.
    bool setLinkPort(const QString& text);
    QString linkExe() const;
    void setLinkExe(const QString& path);
    // Maximized when appMAXWin is true, else minimized when appMINWin is true.
    StartOption startOption() const;
    void setStartOption(StartOption option);
    bool endClient() const; // LINK_EXIT
    void setEndClient(bool on);
    bool exitQuestion() const; // appExitDlg
    void setExitQuestion(bool on);

    // --- language --------------------------------------------------------------------
    QList<LanguageItem> languages() const { return ListLanguageItems(); }
    // Index of the current language (AppLang) in languages(), -1 if absent.
    int languageIndex() const;
    // Stores the code of that entry in appLang; the texts shown keep their language
    // until the next start.
    void setLanguage(int index);

    // --- web interface ---------------------------------------------------------------
    bool httpActive() const;
    void setHttpActive(bool on);
    QString httpPort() const;
    // Stores a port 1..65535 in HTTP_PORT; false (nothing stored) for anything else.
    bool setHttpPort(const QString& text);
    // HTTP_HOSTS: further host names the web interface answers, as typed.
    QString allowedHosts() const;
    void setAllowedHosts(const QString& text);

    // --- directory service -------------------------------------------------------------
    // DIRECTORY_URL: the service's address; empty keeps the service off.
    QString directoryUrl() const;
    void setDirectoryUrl(const QString& text);

    // --- plugin folder -----------------------------------------------------------------
    // The folder last installed to (selPlugDir), or the TeamSpeak client's usual plugin
    // folder of this user when none was chosen yet.
    QString pluginFolder() const;
    void setPluginFolder(const QString& folder);

    // --- client generation ---------------------------------------------------------------
    // The TeamSpeak client the plugin is installed for (LINK_CLIENT_GEN, one of
    // ClientGenerations(); today's when none was chosen). Kept, so that the next install
    // (an update) keeps what the client needs.
    QString clientGeneration() const;
    void setClientGeneration(const QString& generation);

    struct InstallStep {
        bool ok = false;
        QString message; // "OK", with the ClientAPI change on a line of its own; or the error
    };
    // The install step for the chosen folder: stores it as selPlugDir, copies the plugin
    // (InstallPlugin) and sets ClientAPI in the plugin's settings file as the client
    // generation needs (ApplyClientApi) in the folder the client runs in: that of LINK_EXE,
    // else the client installation the plugin folder belongs to. When the key is needed but
    // that folder is unknown, nothing is copied.
    InstallStep install(const QString& sourceFile, const QString& folder,
                        const std::function<bool(const QString&)>& inUse = IsFileInUse);

    // A decimal port, or -1 when the text is not one in 1..65535.
    static int portNumber(const QString& text);

private:
    SettingsList& m_s;
};

// --- plugin versions ------------------------------------------------------------------

struct PluginVersion {
    QString version; // the list's caption
    QString file;    // full path of the plugin file
    QDateTime modified;
    qint64 size = 0;
    QString dateText() const; // "d.mm.yyyy"
    QString sizeText() const; // "1024 Bytes", "1 KB"
};
// "n Bytes" up to 1024 bytes, above that n div 1024 with "KB".
QString PluginSizeText(qint64 bytes);
// The plugin shipped beside the program (if that file exists, captioned with the
// program's version) followed by every subfolder of pluginDir holding the version file.
QList<PluginVersion> ListPluginVersions(const QString& pluginDir, const QString& bundledFile = QString());

// --- fetching new versions ------------------------------------------------------------

struct PluginListEntry {
    QString ident; // version text, names the version folder
    QString md5;
    QString sha1; // read, not used
    QString file; // the file name the service gives
};

// The maker's directory service as the plugin page uses it. Nothing waits for the service:
// each request returns at once and its done runs exactly once on the main thread, later
// from the event loop (or, for a service that cannot ask at all, before the call returns).
// A service destroyed with a request out calls nothing; done may destroy the service.
class PluginUpdateService {
public:
    virtual ~PluginUpdateService() = default;
    // The list of plugin versions; false with the error when the service cannot be asked.
    using ListDone = std::function<void(bool ok, const QList<PluginListEntry>& list, const QString& error)>;
    virtual void pluginList(ListDone done) = 0;
    // Downloads one version's file to target; false with the error on failure (a file whose
    // MD5 differs from md5 must not stay behind).
    using DownloadDone = std::function<void(bool ok, const QString& error)>;
    virtual void download(const PluginListEntry& entry, const QString& target, DownloadDone done) = 0;
};
// The service of a build that has no directory client: every request fails.
std::unique_ptr<PluginUpdateService> MakeUnavailableUpdateService();

struct UpdateCheck {
    bool requestFailed = false;
    QString error; // why the list could not be fetched
    int downloaded = 0;
    int failed = 0;
    // The message boxes the user is shown afterwards, in order.
    struct Box {
        bool error = false;
        QString text;
    };
    QList<Box> boxes() const;
};
// Fetches the list and downloads every version not yet present intact into
// pluginDir/<ident>/<file>, one request after the other; done gets the result when all
// is through. The service must outlive the check; when it is destroyed first, done never
// runs.
void CheckForPluginUpdates(PluginUpdateService& service, const QString& pluginDir,
                           std::function<void(const UpdateCheck&)> done);
// MD5 of a file as lower-case hex, "" when it cannot be read.
QString FileMd5(const QString& path);

} // namespace appsetup
