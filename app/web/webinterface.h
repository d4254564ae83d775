// The web interface: decides from the application settings whether the screenshot server
// runs and starts it with the picture source of the program's window, if it has one (see
// webwindow.h). Without a window (the headless program) the server answers "/" and
// "/screen.jpg" with 503 and serves the status pages as usual.
#pragma once
#include "app/config/settingslist.h"
#include "app/web/screenshotserver.h"

#include <QString>

#include <functional>
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

    // Makes the picture source for one run of the server (a new one at every start, since
    // a stopped source stays cancelled).
    using ScreenFactory = std::function<std::unique_ptr<ScreenSource>()>;
    // screens empty: the program has no window.
    explicit WebInterface(ScreenFactory screens = {});
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
    ScreenFactory m_screens;
    std::shared_ptr<const StatusProvider> m_status;
    std::unique_ptr<ScreenSource> m_screen;
    std::unique_ptr<ScreenshotServer> m_server;
};
