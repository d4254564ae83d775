// The application setup window: five pages (general, language, web interface, plugin
// update, program update) chosen with the buttons on the left. Every change is written
// into the application settings at once; closing the window, or its save button, writes
// them to main.cfg. A thin view over appsetup::AppSetupModel.
#pragma once
#include "app/session/childwindow.h"
#include "app/ui/appsetup_model.h"

#include <QWidget>

#include <functional>
#include <memory>

class DirectoryClient;
class MainWindow;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

class AppSetupWindow : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    enum Page { GeneralPage, LanguagePage, WebPage, PluginPage, ProgramPage, PageCount };

    struct Deps {
        SettingsList* settings = nullptr;
        QString pluginDir;          // ts3plugin/ of the base folder
        QString bundledPlugin;      // the plugin file beside the program ("" = none)
        std::function<bool()> save; // ConfigSpeichern
        std::function<std::unique_ptr<appsetup::PluginUpdateService>()> service; // empty: unavailable
        // Dialogs; empty ones are message boxes and file dialogs over the window.
        std::function<QString(const QString& start)> chooseFolder; // "" = cancelled
        std::function<QString(const QString& start)> chooseFile;   // "" = cancelled
        std::function<bool(const QString& question)> ask;
        std::function<void(bool error, const QString& text)> message;
        // Errors of the directory service also go to the application's error hook.
        std::function<void(const QString& text)> reportError;
        std::function<bool(const QString&)> inUse; // empty: IsFileInUse
        // Whether the directory service has an address (empty: assumed so, the service
        // factory decides), and where a new address from the plugin page goes.
        std::function<bool()> directoryConfigured;
        std::function<void(const QString& url)> setDirectoryUrl;
    };
    explicit AppSetupWindow(Deps deps, QWidget* parent = nullptr);
    ~AppSetupWindow() override;

    ChildKind childKind() const override { return ChildKind::AppSetup; }
    appsetup::AppSetupModel& model() { return *m_model; }

    void showPage(int index);
    int currentPage() const;
    QToolButton* pageButton(int index) const { return m_buttons[index]; }

    // Page controls, for tests.
    QLineEdit* linkPortEdit() const { return m_linkPort; }
    QLineEdit* linkExeEdit() const { return m_linkExe; }
    QRadioButton* startOptionButton(appsetup::StartOption o) const { return m_start[int(o)]; }
    QCheckBox* endClientBox() const { return m_endClient; }
    QCheckBox* exitQuestionBox() const { return m_exitQuestion; }
    QComboBox* languageBox() const { return m_language; }
    QCheckBox* httpActiveBox() const { return m_httpActive; }
    QLineEdit* httpPortEdit() const { return m_httpPort; }
    QLineEdit* httpHostsEdit() const { return m_httpHosts; }
    QLineEdit* directoryUrlEdit() const { return m_directoryUrl; }
    // "The directory service is not configured." while it has no address, else empty.
    QString directoryStateText() const;
    QTreeWidget* pluginList() const { return m_plugins; }
    // The TeamSpeak client generation the plugin is installed for.
    QComboBox* clientGenerationBox() const { return m_clientGeneration; }
    QPushButton* checkUpdatesButton() const { return m_checkUpdates; }
    // True from the click on "check for updates" until its last answer: the button is off
    // and the state line says the service is asked.
    bool checkingForUpdates() const { return m_checking; }

    // Fills the plugin version list again.
    void fillPluginList();
    // A click on a version row: choose the folder, confirm and install.
    void installVersion(int row);
    // Asks the service for new versions and fetches them; returns at once, the messages
    // follow when the service has answered. Does nothing while a check is under way.
    void checkForUpdates();
    // The save button: save and close.
    void saveAndClose();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildGeneral();
    QWidget* buildLanguage();
    QWidget* buildWeb();
    QWidget* buildPlugin();
    QWidget* buildProgram();
    void showMessage(bool error, const QString& text);
    bool saveSettings(); // false (reported) when main.cfg could not be written
    void markPort(QLineEdit* edit, bool valid);
    bool directoryConfigured() const;
    void updateDirectoryState();
    void finishUpdateCheck(const appsetup::UpdateCheck& r);
    void cancelUpdateCheck();

    Deps m_deps;
    std::unique_ptr<appsetup::AppSetupModel> m_model;
    QToolButton* m_buttons[PageCount] = {};
    QStackedWidget* m_stack = nullptr;
    QLineEdit* m_linkPort = nullptr;
    QLineEdit* m_linkExe = nullptr;
    QRadioButton* m_start[3] = {};
    QCheckBox* m_endClient = nullptr;
    QCheckBox* m_exitQuestion = nullptr;
    QComboBox* m_language = nullptr;
    QCheckBox* m_httpActive = nullptr;
    QLineEdit* m_httpPort = nullptr;
    QLineEdit* m_httpHosts = nullptr;
    QLineEdit* m_directoryUrl = nullptr;
    QLabel* m_directoryState = nullptr;
    QTreeWidget* m_plugins = nullptr;
    QComboBox* m_clientGeneration = nullptr;
    QPushButton* m_checkUpdates = nullptr;
    QList<appsetup::PluginVersion> m_versions;
    // The service of the check under way; its answers are dropped with it.
    std::unique_ptr<appsetup::PluginUpdateService> m_updateService;
    bool m_checking = false;
    bool m_saved = false;
};

// The plugin list and downloads through the directory client: "ts3plugin.php" with action
// SHOW-NEW and "download.php" with action DOWNLOAD, plugVERS and plugFILE, each with the
// installation's appUID. Without a client every request fails.
std::unique_ptr<appsetup::PluginUpdateService> MakeDirectoryPluginService(DirectoryClient* client,
                                                                          const QString& appUid);

// The window for the main window's child factory.
AppSetupWindow* CreateAppSetupWindow(MainWindow& main);
// Registers the application setup window's factory with the main window.
void RegisterAppSetupWindow(MainWindow& main);
