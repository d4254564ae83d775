// The web interface: a small HTTP server that shows the main window in a browser.
// "/screen.jpg" answers with the window captured as a JPEG picture; every other path
// answers with a page that embeds that picture. It reads no parameters and offers no
// control. Requests are answered on the server's own threads (at most kMaxConnections
// at a time); the capture function is called on those threads and must hand the work to
// the thread that owns the window itself (see GuiThreadCapture). A server without a
// capture function belongs to a program without windows: "/screen.jpg" and the page
// answer 503 then, the status pages as always.
//
// Only requests for this machine's names are answered (see HostCheck); a request with
// another site's name gets 403, and each such name is logged once.
#pragma once
#include "app/web/hostcheck.h"
#include "app/web/statusprovider.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace httplib {
class Server;
}

// A picture source that hands the capture to another thread and so may keep a server
// thread waiting (see GuiThreadCapture). cancel() ends every wait and makes later captures
// fail, for good.
class ScreenSource {
public:
    virtual ~ScreenSource() = default;
    // The picture, or a null picture when there is none.
    virtual QImage capture() = 0;
    virtual void cancel() = 0;
};

class ScreenshotServer {
public:
    static constexpr int kMaxConnections = 5;
    static constexpr int kDefaultPort = 8011;

    // Returns the picture to serve; a null picture means the capture failed. An empty
    // function: there is no window at all.
    using Capture = std::function<QImage()>;

    ScreenshotServer(Capture capture, QString serverName);
    ~ScreenshotServer();
    ScreenshotServer(const ScreenshotServer&) = delete;
    ScreenshotServer& operator=(const ScreenshotServer&) = delete;

    // Stops a running server and listens on host:port (port 0 picks a free port). False,
    // with the reason in error, when the port cannot be opened.
    bool start(int port, QString* error = nullptr, const QString& host = QStringLiteral("0.0.0.0"));
    // Stops listening, waits for the connection threads and the listener to end.
    void stop();
    bool isRunning() const;
    int port() const { return m_port; }

    // Host names served besides IP addresses, localhost and this machine's names (the
    // HTTP_HOSTS setting). Takes effect at the next start().
    void setAllowedHosts(const QStringList& names) { m_allowedHosts = names; }
    // The live status: "/status" (a page that updates itself), "/api/status" (JSON) and
    // "/metrics" (Prometheus). Without a provider those paths answer with the page like
    // every other path. Takes effect at the next start().
    void setStatusProvider(std::shared_ptr<const StatusProvider> provider) { m_status = std::move(provider); }
    // Where the line about a refused host name goes (default: the warning log).
    void setLogSink(std::function<void(const QString&)> sink) { m_log = std::move(sink); }

    // The page every path except the picture answers with.
    static QByteArray page();
    // What "/" and "/screen.jpg" answer (503) when there is no window at all.
    static QByteArray noScreenText();

private:
    void setupRoutes();
    void noteRefused(const QString& name);
    // Ends the connections the server has accepted, so a browser's idle keep-alive
    // connection does not hold the connection threads (and with them stop()) for seconds.
    void shutdownConnections();

    Capture m_capture;
    QString m_serverName;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_listener;
    int m_port = 0;
    QStringList m_allowedHosts;
    std::shared_ptr<const StatusProvider> m_status;
    std::function<void(const QString&)> m_log;
    std::mutex m_refusedMutex;
    std::set<QString> m_refused; // names already logged
    mutable std::mutex m_mutex;
};
