// The main window's web interface: decides from the application settings whether the
// screenshot server runs, and joins the server with a capture of the window that is
// made on the user interface thread.
#pragma once
#include "app/config/settingslist.h"
#include "app/web/guicapture.h"
#include "app/web/screenshotserver.h"

#include <QString>
#include <QWidget>

#include <memory>

class WebInterface {
public:
    // HTTP_ACTIVE is true and HTTP_PORT read as an integer (text that is none counts as
    // 0) is greater than 0.
    static bool enabledIn(const SettingsList& settings);
    // HTTP_PORT read as an integer, 8011 when it is none.
    static int portIn(const SettingsList& settings);
    // HTTP_HOSTS: the host names served besides IP addresses, localhost and this
    // machine's own names (separated by commas or blanks).
    static QStringList allowedHostsIn(const SettingsList& settings);
    // "Relaydeck 4.0.2": the Server header.
    static QString serverName();

    explicit WebInterface(QWidget* window, int captureTimeoutMs = 5000);
    ~WebInterface();
    WebInterface(const WebInterface&) = delete;
    WebInterface& operator=(const WebInterface&) = delete;

    // The live status pages' source (see ScreenshotServer::setStatusProvider); set it
    // before starting.
    void setStatusProvider(std::shared_ptr<const StatusProvider> provider) { m_status = std::move(provider); }
    // Starts (or restarts) the server when the settings enable it. Returns false with the
    // reason in error when the port cannot be opened; true when it listens or when the
    // settings keep it off (nothing is opened then).
    bool startFromSettings(const SettingsList& settings, QString* error = nullptr);
    // Ends waiting captures, then the server. Call before the window goes.
    void stop();
    bool isRunning() const { return m_server && m_server->isRunning(); }
    int port() const { return m_server ? m_server->port() : 0; }

private:
    QWidget* m_window;
    int m_timeoutMs;
    std::shared_ptr<const StatusProvider> m_status;
    std::unique_ptr<GuiThreadCapture> m_capture;
    std::unique_ptr<ScreenshotServer> m_server;
};

// For the main window: starts the web interface when the settings enable it and returns
// the object that keeps it, a child of window (the server stops when it goes). nullptr
// when the settings keep it off or the port cannot be opened (error says why then).
// status (may be null) feeds the live status pages.
QObject* StartWebInterface(QWidget* window, const SettingsList& settings, QString* error = nullptr,
                           std::shared_ptr<const StatusProvider> status = nullptr);
