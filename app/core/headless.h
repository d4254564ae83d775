// Relaydeck without a window (`relaydeck --headless`): the program core, the serial ports
// of comport.cfg, the gateways marked for autostart opened 2 s apart as the start window
// opens them, every gateway log line on standard error (gateway name first, one line each,
// for the journal) and in logs/<gateName>.log under the base folder; the web interface's
// status pages when the settings switch it on (no screenshot: there is no window). A
// termination signal runs the ordered quit. `--check` validates the base folder instead and says what is wrong.
#pragma once
#include "app/core/appcore.h"
#include "app/core/gatewayrunner.h"
#include "app/core/rotatinglog.h"
#include "app/session/sessionview.h"

#include <QObject>
#include <QTextStream>
#include <QTimer>

#include <map>
#include <memory>

class WebInterface;
class WebStatusFeed;

class HeadlessProgram : public QObject, public SessionView {
    Q_OBJECT
public:
    static constexpr int kGatewayDelayMs = 2000; // before the first and after each started gateway
    static constexpr int kSkipDelayMs = 150;     // after a file that is not started

    // out: where the log lines go (standard error in the program).
    HeadlessProgram(AppCore::Options options, QTextStream& out, QObject* parent = nullptr);
    ~HeadlessProgram() override;

    AppCore& core() { return *m_core; }
    // Opens the ports of comport.cfg, starts the web interface when HTTP_ACTIVE and arms
    // the autostart of the gateways.
    void start();
    // Opens a gateway file now; false when it cannot be used (said on the log).
    bool openGateway(const QString& path);
    // The ordered quit: the web interface stops, every gateway sends GW_STOP and saves,
    // the session closes with notice, main.cfg is saved and the ports are closed. Then
    // finished() is emitted.
    void quit();
    // The port the web interface listens on; 0 while it does not run.
    int webPort() const;
    // What feeds the status pages while the web interface runs (else nullptr).
    WebStatusFeed* webStatus() { return m_webFeed.get(); }

    // --- SessionView ----------------------------------------------------------------------
    void setLinkPanel(const QString&, LinkColour) override {}
    void setLinkStatus(const QString& text) override;
    void setErrorStatus(const QString& text) override;
    void setPingStatus(const QString&) override {}
    void setPingTimerEnabled(bool on) override;
    void showBalloon(const QString& title, const QString& text) override;
    void showMessage(MessageKind kind, const QString& text) override;

signals:
    void finished();

private:
    void log(const QString& who, const QString& text);
    void autostartNext();
    void startWeb();
    void stopWeb();

    QTextStream& m_out;
    std::unique_ptr<AppCore> m_core;
    // While the web interface runs; both go before the core, which the feed reads.
    std::unique_ptr<WebInterface> m_web;
    std::unique_ptr<WebStatusFeed> m_webFeed;
    std::map<GatewayRunner*, std::unique_ptr<RotatingLog>> m_logs; // per open gateway
    QStringList m_autostart;
    QTimer m_autostartTimer;
    QString m_lastLinkStatus;
    QString m_lastError;
    bool m_quitting = false;
};

// `relaydeck --headless --check`: every gateway file decodes, every port of comport.cfg
// exists and may be opened, the link port is free or served by the plugin, the web port is
// free when the web interface is on. Writes one line per finding in plain words; returns
// true when all is well.
bool CheckBaseFolder(const AppPaths& paths, QTextStream& out);
