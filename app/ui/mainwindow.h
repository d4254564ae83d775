// Relaydeck's main window: the multi-document frame with menus, toolbar, the four status
// bar panels and the tray icon, a view over the program core (AppCore: the plugin session,
// the application settings, the COM port manager, the directory client and the one-second
// tick). It opens every child window through OpenNewChildWindow and ends everything in
// order when the program quits.
#pragma once
#include "app/config/settingslist.h"
#include "app/core/appcore.h"
#include "app/gateway/gatewayhost.h"
#include "app/session/childwindow.h"
#include "app/session/linksession.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSystemTrayIcon;
class ComPortManager;

class MainWindow : public QMainWindow, public SessionView, public GatewayDirectory, public GatewayHost {
    Q_OBJECT
public:
    using Options = AppCore::Options;
    explicit MainWindow(Options options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // A child window: builds the widget for a caption and opening parameters, or returns
    // nullptr when the window cannot open. Kinds without a factory open nothing.
    using ChildFactory = std::function<QWidget*(MainWindow& main, const QString& caption, const SettingsList& params)>;
    void setChildFactory(ChildKind kind, ChildFactory factory);

    // Opens a child window; with oneOnly an open window of that kind is brought to the
    // front instead. Returns the window's widget (nullptr when nothing opened).
    QWidget* OpenNewChildWindow(ChildKind kind, const QString& caption, const SettingsList& params, bool oneOnly);
    // Opens a gateway window for a gateway file.
    QWidget* openGatewayFile(const QString& path);
    // The child widgets in window order (the active one first).
    QList<QWidget*> childWindows() const;

    AppCore& core() { return *m_core; }
    LinkSession& session() { return m_core->session(); }
    SettingsList& globalConfig() { return m_core->globalConfig(); }
    const AppPaths& folders() const { return m_core->folders(); }
    ComPortManager& comPorts() { return m_core->comPorts(); }
    bool FCloseQueryExecuting() const { return m_closeQueryExecuting; }
    // CheckAppAbuse: the directory service has answered this installation's block check.
    bool CheckAppAbuse() const { return m_core->CheckAppAbuse(); }
    // Saves the application settings (main.cfg); stores the normal geometry first.
    bool ConfigSpeichern();

    // The one-second tick and the 20 s ping, as the timers call them.
    void tick();
    void pingTimerTimer();

    // Application-wide error hook: shows the message for 60 s; "Socket Error" drops the
    // session. Runs fn and routes any exception it raises to the hook.
    void applicationError(const QString& message);
    void guarded(const std::function<void()>& fn) noexcept;

    // Quitting without the question dialog answers (tests): the answer to give.
    std::function<bool(const QString& question)> askQuit;
    // The ordered quit without the quit question (termination signal, logout): open modal
    // dialogs are dismissed first, then the window closes as through File/Exit.
    void quitWithoutQuestion();

    // The developer entry of the Debug menu: the link monitor behind the built-in access
    // code (asked once; a correct entry is remembered in devPW).
    static QString developerAccessCode();
    void openDeveloperEntry();
    // Answers the access code prompt instead of the input box (tests); nullopt = Cancel.
    std::function<std::optional<QString>(const QString& caption, const QString& prompt)> askAccessCode;

    // Texts the status bar and toolbar show (for tests and the screenshot).
    QString statusText(int panel) const;
    QString linkPanelText() const;
    QString lastBalloon() const { return m_lastBalloon; }
    QString caption() const { return windowTitle(); }
    QMenuBar* mainMenu() const { return menuBar(); }

    // --- SessionView ---------------------------------------------------------------------
    void setLinkPanel(const QString& text, LinkColour colour) override;
    void setLinkStatus(const QString& text) override;
    void setErrorStatus(const QString& text) override;
    void setPingStatus(const QString& text) override;
    void setPingTimerEnabled(bool on) override;
    void showBalloon(const QString& title, const QString& text) override;
    void showMessage(MessageKind kind, const QString& text) override;

    // --- GatewayDirectory ---------------------------------------------------------------
    QList<GatewayEndpoint*> gatewaysInWindowOrder() const override;

    // --- GatewayHost --------------------------------------------------------------------
    bool COMPortIsOpen(int port) override;
    void SetCOMStatus(const QString& holder, int port, const QString& pin, bool on, bool invert) override;
    bool GetCOMStatus(int port, const QString& pin, bool invert) override;
    QString COMPortLostDevice(int port) override;
    QString configFolder() const override { return folders().cfgPath; }
    QString soundFolder() const override { return folders().sndPath; }
    QString tempFolder() const override { return folders().tmpPath; }
    QString appLang() const override;
    SettingsList& appSettings() override { return m_core->globalConfig(); }
    bool askYesNo(const QString& question) override;
    void showError(const QString& text) override;
    bool appIsClosing() const override { return m_closeQueryExecuting; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    bool CloseQuery();
    void closeModalDialogs();
    void closeFromMainLoop();
    void buildStatusBar();
    void buildMenus();
    void buildToolBar();
    void buildTrayIcon();
    void applyWindowState();
    void storeNormalGeometry();
    void rebuildWindowMenu();
    void openGatewayFileDialog();
    void showAbout();
    QMdiSubWindow* subWindowOf(QWidget* child) const;

    std::unique_ptr<AppCore> m_core; // outlives every child window (see the destructor)
    QHash<int, ChildFactory> m_factories;

    QMdiArea* m_mdi = nullptr;
    QLabel* m_panels[4] = {};
    QLabel* m_linkPanel = nullptr;
    QMenu* m_windowMenu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QPointer<QObject> m_web; // the web interface while it runs
    QString m_lastBalloon;
    bool m_closeQueryExecuting = false;
    bool m_firstShow = true;
    bool m_quitting = false;
    bool m_quitWithoutQuestion = false;
    bool m_creating = true;
    SettingsList m_parArray; // scratch list for opening child windows
};
