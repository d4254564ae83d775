#include "app/web/screenshotserver.h"

#include "app/web/jpegencoder.h"

#include <httplib.h>

#include <sys/socket.h>

#include <chrono>
#include <utility>

QByteArray ScreenshotServer::page()
{
    return QByteArrayLiteral(
        "<html><body><div align=\"center\"><h1 style=\"color:#000080;font-family:Verdana;font-size:20px;\">"
        "Relaydeck / Screenshot</h1><br><img src=\"/screen.jpg\" style=\"width:80%;border:1px solid #000000;"
        "padding:2px;border-radius:10px;\"></div></body></html>");
}

ScreenshotServer::ScreenshotServer(Capture capture, QString serverName)
    : m_capture(std::move(capture)), m_serverName(std::move(serverName))
{
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

    m_server->Get("/screen.jpg", [this](const httplib::Request&, httplib::Response& res) {
        const QImage picture = m_capture ? m_capture() : QImage();
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

void ScreenshotServer::stop()
{
    std::lock_guard lock(m_mutex);
    if (!m_server)
        return;
    m_server->stop();
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
