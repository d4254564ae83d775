// The program core: everything Relaydeck runs, without a window. It owns the application
// settings and folders, the plugin session with its transport, the COM port manager, the
// directory client with this installation's block check, the one-second tick and the 20 s
// ping, and the open gateways (each engine with its timers). The main window and the
// gateway windows are views over it; the headless program runs it on its own.
//
// What the session shows goes to the SessionView handed in (the main window's panels, or
// the headless log); questions and errors of the gateways go to the dialogs set here.
#pragma once
#include "app/config/appsettings.h"
#include "app/config/settingslist.h"
#include "app/core/gatewayrunner.h"
#include "app/gateway/gatewayhost.h"
#include "app/session/gatewayendpoint.h"
#include "app/session/linksession.h"

#include <QObject>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BlockCheck;
class ComPortManager;
class DirectoryClient;
class QTimer;
class TcpLinkTransport;

class AppCore : public QObject, public GatewayDirectory, public GatewayHost {
    Q_OBJECT
public:
    struct Options {
        QString home;                             // base folder; empty: --home of the
                                                  // command line, else the program folder
                                                  // (or the per-user folder if read-only)
        std::unique_ptr<LinkTransport> transport; // nullptr: TCP to the plugin
        const Clock* clock = nullptr;             // nullptr: the system clock
        bool startTimers = true;                  // false: tests drive the ticks themselves
                                                  // (and the directory client is not shared)
    };
    // view must outlive the core; it is not called before the first tick.
    AppCore(Options options, SessionView& view, QObject* parent = nullptr);
    ~AppCore() override;

    LinkSession& session() { return *m_session; }
    AppSettings& settings() { return m_settings; }
    SettingsList& globalConfig() { return m_settings.list(); }
    const AppPaths& folders() const { return m_settings.paths(); }
    ComPortManager& comPorts() { return *m_comPorts; }
    DirectoryClient& directory() { return *m_directory; }
    // CheckAppAbuse: the directory service has answered this installation's block check.
    bool CheckAppAbuse() const { return m_checkAppAbuse; }

    // The one-second tick and the 20 s ping, as the timers call them.
    void tick();
    void pingTick();
    // The ping timer runs only while the session is connected and the tick runs.
    void setPingTimerEnabled(bool on);
    bool ticking() const;

    // Application-wide error hook: shows the message for 60 s; "Socket Error" drops the
    // session. guarded runs fn and routes any exception it raises to the hook.
    void applicationError(const QString& message);
    void guarded(const std::function<void()>& fn) noexcept;
    // The core that takes errors raised anywhere in the program (nullptr if none).
    static AppCore* errorHookTarget();

    // The quit around the windows. beginQuit: no more ticks, pings, block checks or
    // reconnects; EXITCLIENT when LINK_EXIT. Then the windows or gateways end. endQuit:
    // the session closed with notice to the plugin, main.cfg saved (with the window's
    // normal geometry when given), the serial ports closed.
    void beginQuit();
    void endQuit(const std::optional<QRect>& normalGeometry = std::nullopt);
    // True from beginQuit on (and while a view's close request runs, see setClosing).
    bool appIsClosing() const override { return m_closing; }
    void setClosing(bool on) { m_closing = on; }
    // ConfigSpeichern: main.cfg written.
    bool saveSettings(const std::optional<QRect>& normalGeometry = std::nullopt);

    // A new gateway (engine and timers, not yet started) on this core's session, with the
    // core as its host. The caller attaches its view, then runs StarteForm and startTimers.
    GatewayRunner& createGateway();
    // Frees a gateway (its window went, or it ended on its own). Not from inside a call
    // of that gateway's engine.
    void releaseGateway(GatewayRunner* runner);
    // The open gateways in the order they were opened.
    QList<GatewayRunner*> gateways() const;

    // The open gateways in window order; a program with windows sets its window order
    // (unset: the order they were opened).
    std::function<QList<GatewayEndpoint*>()> gatewayOrder;
    QList<GatewayEndpoint*> gatewaysInWindowOrder() const override;

    // What the gateways ask and report. Unset: questions are answered No, errors go to
    // the error hook.
    std::function<bool(const QString& question)> askYesNoHook;
    std::function<void(const QString& text)> showErrorHook;

    // --- GatewayHost ------------------------------------------------------------------
    bool COMPortIsOpen(int port) override;
    void SetCOMStatus(const QString& holder, int port, const QString& pin, bool on, bool invert) override;
    bool GetCOMStatus(int port, const QString& pin, bool invert) override;
    QString COMPortLostDevice(int port) override;
    QString configFolder() const override { return folders().cfgPath; }
    QString soundFolder() const override { return folders().sndPath; }
    QString tempFolder() const override { return folders().tmpPath; }
    QString appLang() const override;
    SettingsList& appSettings() override { return m_settings.list(); }
    bool askYesNo(const QString& question) override;
    void showError(const QString& text) override;

signals:
    // After every one-second tick (the main window's clock panel follows it).
    void ticked();

private:
    AppSettings m_settings; // folders and main.cfg
    std::unique_ptr<LinkTransport> m_ownedTransport;
    TcpLinkTransport* m_tcp = nullptr;
    std::unique_ptr<LinkSession> m_session;
    std::unique_ptr<ComPortManager> m_comPorts;
    std::unique_ptr<DirectoryClient> m_directory;
    std::unique_ptr<BlockCheck> m_abuseCheck;
    std::vector<std::unique_ptr<GatewayRunner>> m_gateways; // go first: they call the rest
    QTimer* m_tickTimer = nullptr;
    QTimer* m_pingTimer = nullptr;
    bool m_checkAppAbuse = false;
    bool m_closing = false;
};
