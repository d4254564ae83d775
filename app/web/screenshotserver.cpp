#include "app/web/screenshotserver.h"

#include "app/web/jpegencoder.h"
#include "app/web/statuspages.h"

#include <httplib.h>

#include <QDir>

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <utility>

namespace {
constexpr size_t kMaxRefusedNamesLogged = 100;

// A name from a request, safe for one log line.
QString printable(const QString& name)
{
    QString out;
    for (QChar c : name.left(80))
        out += c.isPrint() ? c : QLatin1Char('?');
    return out;
}

// The port a socket is bound to locally, -1 when it is no TCP socket.
int localPort(int fd)
{
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return -1;
    if (addr.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
    if (addr.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
    return -1;
}
} // namespace

QByteArray ScreenshotServer::page()
{
    return QByteArrayLiteral(
        "<html><body><div align=\"center\"><h1 style=\"color:#000080;font-family:Verdana;font-size:20px;\">"
        "Relaydeck / Screenshot</h1><br><img src=\"/screen.jpg\" style=\"width:80%;border:1px solid #000000;"
        "padding:2px;border-radius:10px;\"></div></body></html>");
}

QByteArray ScreenshotServer::noScreenText()
{
    return QByteArrayLiteral("No screen: the program runs without windows. The status is at /status, /api/status "
                             "and /metrics.");
}

ScreenshotServer::ScreenshotServer(Capture capture, QString serverName)
    : m_capture(std::move(capture)), m_serverName(std::move(serverName))
{
    m_log = [](const QString& line) { qWarning("%s", qPrintable(line)); };
}

ScreenshotServer::~ScreenshotServer()
{
    stop();
}

void ScreenshotServer::setupRoutes()
{
    m_server->set_default_headers({{"Server", m_serverName.toStdString()}});
    // The library's default also sets SO_REUSEPORT, which lets a second program bind the
    // same port without an error and take half of the requests. Only SO_REUSEADDR here,
    // so a busy port is reported.
    m_server->set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    m_server->new_task_queue = [] { return new httplib::ThreadPool(kMaxConnections); };

    // Another site's name in the Host header: a page that reached this server through a
    // name of its own (DNS rebinding). Nothing of the request is served.
    const HostCheck hosts(m_allowedHosts);
    m_server->set_pre_routing_handler([this, hosts](const httplib::Request& req, httplib::Response& res) {
        const QString host = QString::fromStdString(req.get_header_value("Host"));
        if (hosts.allows(host))
            return httplib::Server::HandlerResponse::Unhandled;
        noteRefused(HostCheck::nameOf(host));
        res.status = 403;
        res.set_content("Forbidden", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });

    // Without a window there is nothing to capture, nor a page around the picture.
    const auto noScreen = [](const httplib::Request&, httplib::Response& res) {
        const QByteArray text = noScreenText();
        res.status = 503;
        res.set_header("Cache-Control", "no-store");
        res.set_content(text.constData(), size_t(text.size()), "text/plain; charset=utf-8");
    };
    m_server->Get("/screen.jpg", [this, noScreen](const httplib::Request& req, httplib::Response& res) {
        if (!m_capture)
            return noScreen(req, res);
        const QImage picture = m_capture();
        const QByteArray jpeg = EncodeJpeg(picture);
        if (jpeg.isEmpty()) {
            // No picture (the window could not be captured in time, or the program is
            // closing): say so instead of an empty success.
            res.status = 503;
            res.set_content("Screenshot not available", "text/plain");
            return;
        }
        res.status = 200;
        res.set_content(jpeg.constData(), size_t(jpeg.size()), "image/jpeg");
    });
    if (std::shared_ptr<const StatusProvider> status = m_status) {
        struct Route {
            const char* path;
            QByteArray (*render)(const StatusSnapshot&);
            const char* type;
        };
        static const Route routes[] = {
            {"/status", statuspages::html, "text/html; charset=utf-8"},
            {"/api/status", statuspages::json, "application/json; charset=utf-8"},
            {"/metrics", statuspages::metrics, "text/plain; version=0.0.4; charset=utf-8"},
        };
        for (const Route& r : routes)
            m_server->Get(r.path, [status, r](const httplib::Request&, httplib::Response& res) {
                const QByteArray body = r.render(status->statusSnapshot());
                res.status = 200;
                res.set_header("Cache-Control", "no-store");
                res.set_content(body.constData(), size_t(body.size()), r.type);
            });
    }
    if (!m_capture) {
        m_server->Get(".*", noScreen);
        return;
    }
    m_server->Get(".*", [](const httplib::Request&, httplib::Response& res) {
        const QByteArray html = page();
        res.status = 200;
        res.set_content(html.constData(), size_t(html.size()), "text/HTML");
    });
}

bool ScreenshotServer::start(int port, QString* error, const QString& host)
{
    stop();
    std::lock_guard lock(m_mutex);
    m_server = std::make_unique<httplib::Server>();
    setupRoutes();
    const std::string h = host.toStdString();
    int bound = -1;
    if (port == 0)
        bound = m_server->bind_to_any_port(h);
    else if (port > 0 && port < 65536 && m_server->bind_to_port(h, port))
        bound = port;
    if (bound <= 0) {
        if (error)
            *error = QStringLiteral("HTTP server: port %1 cannot be opened").arg(port);
        m_server.reset();
        return false;
    }
    m_port = bound;
    httplib::Server* server = m_server.get();
    m_listener = std::thread([server] { server->listen_after_bind(); });
    // stop() only reaches a server that is already in its accept loop: wait until the
    // listener thread got there (it does at once; the bound is only a safeguard).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void ScreenshotServer::noteRefused(const QString& name)
{
    QString line;
    {
        std::lock_guard lock(m_refusedMutex);
        if (m_refused.count(name) || m_refused.size() > kMaxRefusedNamesLogged)
            return;
        m_refused.insert(name);
        if (m_refused.size() > kMaxRefusedNamesLogged)
            line = QStringLiteral("Web interface: more host names refused; they are no longer logged");
        else
            line = QStringLiteral("Web interface: refused a request for the host name \"%1\" (not a name of this "
                                  "machine; names to serve go into the setting HTTP_HOSTS)")
                       .arg(printable(name));
    }
    if (m_log)
        m_log(line);
}

void ScreenshotServer::shutdownConnections()
{
    // The accepted sockets are the TCP sockets of this process whose local port is the
    // server's and that are not the listening one.
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& entry : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        if (!ok || localPort(fd) != m_port)
            continue;
        int listening = 0;
        socklen_t len = sizeof(listening);
        if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) == 0 && !listening)
            ::shutdown(fd, SHUT_RDWR);
    }
}

void ScreenshotServer::stop()
{
    std::lock_guard lock(m_mutex);
    if (!m_server)
        return;
    m_server->stop();
    shutdownConnections();
    if (m_listener.joinable())
        m_listener.join();
    m_server.reset();
    m_port = 0;
}

bool ScreenshotServer::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_server && m_listener.joinable();
}
