// The screenshot server on a free loopback port: the picture and the page, the server
// name, a failed capture, a busy port, stopping; the capture from a server thread through
// the user interface thread; the settings that switch the server on.
#include "app/web/guicapture.h"
#include "app/web/hostcheck.h"
#include "app/web/jpegencoder.h"
#include "app/web/screenshotserver.h"
#include "app/web/webinterface.h"
#include "app/web/webwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

QApplication& app()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "rd_web_tests";
        static char* argv[] = {name, nullptr};
        // Left alive to the end of the process: destroying it among the static objects
        // crashes in Qt's input device teardown.
        new QApplication(argc, argv);
    }
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

// Width and height from the frame header of a JPEG file; {-1, -1} when there is none.
std::pair<int, int> jpegSize(const std::string& b)
{
    size_t i = 2;
    while (i + 9 < b.size()) {
        if (static_cast<unsigned char>(b[i]) != 0xFF)
            return {-1, -1};
        const unsigned char marker = static_cast<unsigned char>(b[i + 1]);
        const size_t len = (static_cast<unsigned char>(b[i + 2]) << 8) | static_cast<unsigned char>(b[i + 3]);
        if (marker >= 0xC0 && marker <= 0xC3) {
            const int h = (static_cast<unsigned char>(b[i + 5]) << 8) | static_cast<unsigned char>(b[i + 6]);
            const int w = (static_cast<unsigned char>(b[i + 7]) << 8) | static_cast<unsigned char>(b[i + 8]);
            return {w, h};
        }
        i += 2 + len;
    }
    return {-1, -1};
}

// A complete JPEG file of the given size: SOI first, EOI last, frame header with the size.
void expectJpeg(const std::string& body, int w, int h)
{
    ASSERT_GT(body.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(body[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(body[1]), 0xD8);
    EXPECT_EQ(static_cast<unsigned char>(body[body.size() - 2]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(body[body.size() - 1]), 0xD9);
    EXPECT_EQ(jpegSize(body), std::make_pair(w, h));
}

QImage testPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(0x40, 0x80, 0xC0));
    return img;
}

// Runs the event loop until done() or the deadline; for work posted to this thread.
template <class F>
bool processUntil(F done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace

TEST(JpegEncoder, EncodesAtTheImageSizeAndDecodesBack)
{
    const QByteArray jpeg = EncodeJpeg(testPicture(123, 45));
    expectJpeg(jpeg.toStdString(), 123, 45);
    QImage back;
    ASSERT_TRUE(back.loadFromData(jpeg, "JPEG"));
    EXPECT_EQ(back.size(), QSize(123, 45));
    const QColor c = back.pixelColor(60, 20);
    EXPECT_NEAR(c.red(), 0x40, 6);
    EXPECT_NEAR(c.green(), 0x80, 6);
    EXPECT_NEAR(c.blue(), 0xC0, 6);

    QString error;
    EXPECT_TRUE(EncodeJpeg(QImage(), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

class ServerTest : public ::testing::Test {
protected:
    void startWith(ScreenshotServer::Capture capture)
    {
        server = std::make_unique<ScreenshotServer>(std::move(capture), QStringLiteral("Relaydeck 4.0.2"));
        QString error;
        ASSERT_TRUE(server->start(0, &error, QStringLiteral("127.0.0.1"))) << error.toStdString();
        ASSERT_GT(server->port(), 0);
    }
    httplib::Result get(const std::string& path)
    {
        httplib::Client cli("127.0.0.1", server->port());
        cli.set_connection_timeout(5);
        cli.set_read_timeout(5);
        return cli.Get(path.c_str());
    }
    std::unique_ptr<ScreenshotServer> server;
};

TEST_F(ServerTest, PictureForItsPathAndThePageForEveryOther)
{
    std::atomic<int> captures{0};
    startWith([&] {
        ++captures;
        return testPicture(640, 480);
    });

    for (const char* path : {"/screen.jpg", "/screen.jpg?size=large"}) {
        SCOPED_TRACE(path);
        auto res = get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "image/jpeg");
        EXPECT_EQ(res->get_header_value("Server"), "Relaydeck 4.0.2");
        expectJpeg(res->body, 640, 480);
    }
    EXPECT_EQ(captures.load(), 2);

    for (const char* path : {"/", "/index.html", "/?refresh=5", "/SCREEN.JPG", "/img/screen.jpg", "/screen.jpeg"}) {
        SCOPED_TRACE(path);
        auto res = get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/HTML");
        EXPECT_EQ(res->get_header_value("Server"), "Relaydeck 4.0.2");
        EXPECT_EQ(res->body, ScreenshotServer::page().toStdString());
    }
    EXPECT_EQ(captures.load(), 2); // the page does not capture
    EXPECT_NE(ScreenshotServer::page().indexOf("<img src=\"/screen.jpg\""), -1);

    // The server offers nothing but reading.
    httplib::Client cli("127.0.0.1", server->port());
    auto post = cli.Post("/screen.jpg", "x", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 404);
}

TEST(HostCheck, IpAddressesLocalhostOwnAndListedNamesOnly)
{
    const HostCheck check({QStringLiteral("relais.example.org")},
                          {QStringLiteral("funkpc"), QStringLiteral("funkpc.local")});
    struct Case {
        const char* host;
        bool allowed;
    };
    const Case cases[] = {
        {"127.0.0.1", true},
        {"127.0.0.1:8011", true},
        {"192.168.1.20:8011", true},
        {"[::1]:8011", true},
        {"[fe80::1]", true},
        {"::1", true},
        {"localhost", true},
        {"LOCALHOST:8011", true},
        {"localhost.", true},
        {"funkpc:8011", true},
        {"FunkPC.local", true},
        {"relais.example.org:8011", true},
        {"", true}, // no Host header at all (HTTP/1.0)
        {"attacker.example", false},
        {"attacker.example:8011", false},
        {"localhost.attacker.example", false},
        {"127.0.0.1.attacker.example", false},
        {"funkpc.attacker.example", false},
        {"example.org", false},
        {"[not-an-address]", false},
        {"[::1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check.allows(QString::fromLatin1(c.host)), c.allowed) << c.host;

    EXPECT_EQ(HostCheck::parseList(QStringLiteral(" relais.example.org, Funk.Example.ORG:8011;other \n")),
              (QStringList{QStringLiteral("relais.example.org"), QStringLiteral("funk.example.org"),
                           QStringLiteral("other")}));
    EXPECT_TRUE(HostCheck::parseList(QString()).isEmpty());
    const QStringList own = HostCheck::MachineNames();
    ASSERT_FALSE(own.isEmpty());
    EXPECT_TRUE(HostCheck().allows(own.first() + QStringLiteral(":8011")));
}

TEST_F(ServerTest, ForeignHostNameIsRefusedAndLoggedOnce)
{
    server = std::make_unique<ScreenshotServer>([] { return testPicture(32, 16); }, QStringLiteral("Relaydeck 4.0.2"));
    server->setAllowedHosts({QStringLiteral("relais.example.org")});
    std::mutex logMutex;
    QStringList log;
    server->setLogSink([&](const QString& line) {
        std::lock_guard lock(logMutex);
        log.append(line);
    });
    ASSERT_TRUE(server->start(0, nullptr, QStringLiteral("127.0.0.1")));
    const std::string port = ":" + std::to_string(server->port());
    auto getWithHost = [&](const std::string& path, const std::string& host) {
        httplib::Client cli("127.0.0.1", server->port());
        cli.set_read_timeout(5);
        return cli.Get(path.c_str(), httplib::Headers{{"Host", host}});
    };
    const std::string machine = HostCheck::MachineNames().first().toStdString();
    for (const std::string& host : {"127.0.0.1" + port, "localhost" + port, "[::1]" + port, machine + port, machine,
                                    "relais.example.org" + port}) {
        SCOPED_TRACE(host);
        auto page = getWithHost("/", host);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 200);
        EXPECT_EQ(page->body, ScreenshotServer::page().toStdString());
        auto picture = getWithHost("/screen.jpg", host);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->status, 200);
        expectJpeg(picture->body, 32, 16);
    }
    {
        std::lock_guard lock(logMutex);
        EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('\n')).toStdString();
    }

    for (int i = 0; i < 3; ++i)
        for (const char* path : {"/", "/screen.jpg"}) {
            auto res = getWithHost(path, i == 2 ? "Rebind.Attacker.Example" + port : "rebind.attacker.example" + port);
            ASSERT_TRUE(res);
            EXPECT_EQ(res->status, 403);
            EXPECT_EQ(res->body.find("<img"), std::string::npos);
            EXPECT_NE(res->get_header_value("Content-Type"), "image/jpeg");
        }
    auto other = getWithHost("/", "second.attacker.example");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 403);
    std::lock_guard lock(logMutex);
    ASSERT_EQ(log.size(), 2) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("\"rebind.attacker.example\""))) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("HTTP_HOSTS")));
    EXPECT_TRUE(log[1].contains(QStringLiteral("second.attacker.example")));
}

TEST_F(ServerTest, IdleBrowserConnectionsDoNotDelayStop)
{
    startWith([] { return testPicture(8, 8); });
    // Connections a browser keeps open: one that never sent a request (a preconnect) and
    // one kept alive after its answer.
    std::vector<int> sockets;
    for (int i = 0; i < 2; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uint16_t(server->port()));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        sockets.push_back(fd);
    }
    const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n\r\n";
    ASSERT_EQ(::send(sockets[1], request.data(), request.size(), 0), ssize_t(request.size()));
    char buf[4096];
    ASSERT_GT(::recv(sockets[1], buf, sizeof(buf), 0), 0);

    QElapsedTimer t;
    t.start();
    server->stop();
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_FALSE(server->isRunning());
    for (int fd : sockets)
        ::close(fd);
}

TEST_F(ServerTest, FailedCaptureIsNotAnEmptySuccess)
{
    startWith([] { return QImage(); });
    auto res = get("/screen.jpg");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 503);
    EXPECT_NE(res->get_header_value("Content-Type"), "image/jpeg");
}

TEST_F(ServerTest, ServesMoreClientsThanThreadsAtOnce)
{
    startWith([] { return testPicture(200, 100); });
    std::vector<std::future<int>> clients;
    for (int i = 0; i < 3 * ScreenshotServer::kMaxConnections; ++i)
        clients.push_back(std::async(std::launch::async, [this, i] {
            auto res = get(i % 2 ? "/screen.jpg" : "/");
            return res ? res->status : -1;
        }));
    for (auto& c : clients)
        EXPECT_EQ(c.get(), 200);
}

TEST_F(ServerTest, BusyPortFailsWithAReasonAndStopReleasesThePort)
{
    startWith([] { return testPicture(10, 10); });
    const int port = server->port();

    ScreenshotServer second([] { return QImage(); }, QStringLiteral("x"));
    QString error;
    EXPECT_FALSE(second.start(port, &error, QStringLiteral("127.0.0.1")));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(second.isRunning());
    EXPECT_TRUE(get("/")); // the first one is untouched

    server->stop();
    EXPECT_FALSE(server->isRunning());
    EXPECT_FALSE(get("/"));
    server->stop(); // twice is harmless

    ASSERT_TRUE(second.start(port, &error, QStringLiteral("127.0.0.1"))) << error.toStdString();
    EXPECT_TRUE(second.isRunning());
    second.stop();
}

TEST(WebSettings, OnlyAnActiveServerWithAPositivePortStarts)
{
    struct Case {
        const char* active;
        const char* port;
        bool enabled;
    };
    const Case cases[] = {
        {"False", "8011", false}, {"", "8011", false},    {"True", "0", false},
        {"True", "abc", false},   {"True", "", false},    {"True", "-5", false},
        {"True", "8011", true},   {"true", "9000", true}, {"1", "8011", true},
    };
    for (const Case& c : cases) {
        SettingsList s;
        s.setValue(QStringLiteral("HTTP_ACTIVE"), QString::fromLatin1(c.active));
        s.setValue(QStringLiteral("HTTP_PORT"), QString::fromLatin1(c.port));
        EXPECT_EQ(WebInterface::enabledIn(s), c.enabled) << c.active << " " << c.port;
    }
    SettingsList s;
    EXPECT_TRUE(WebInterface::allowedHostsIn(s).isEmpty());
    s.setValue(QStringLiteral("HTTP_HOSTS"), QStringLiteral("relais.example.org, funk.example.org"));
    EXPECT_EQ(WebInterface::allowedHostsIn(s),
              (QStringList{QStringLiteral("relais.example.org"), QStringLiteral("funk.example.org")}));
    EXPECT_EQ(WebInterface::portIn(s), 8011);
    s.setValue(QStringLiteral("HTTP_PORT"), QStringLiteral("abc"));
    EXPECT_EQ(WebInterface::portIn(s), 8011);
    s.setValue(QStringLiteral("HTTP_PORT"), QStringLiteral("8123"));
    EXPECT_EQ(WebInterface::portIn(s), 8123);
}

TEST(WebSettings, SwitchedOffOpensNoPort)
{
    app();
    QWidget w;
    WebInterface web(WindowScreen(&w));
    SettingsList s;
    s.setValue(QStringLiteral("HTTP_ACTIVE"), QStringLiteral("False"));
    s.setValue(QStringLiteral("HTTP_PORT"), QStringLiteral("1")); // would fail if it were tried
    QString error;
    EXPECT_TRUE(web.startFromSettings(s, &error));
    EXPECT_FALSE(web.isRunning());
    EXPECT_EQ(web.port(), 0);
}

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        window = std::make_unique<QMainWindow>();
        auto* mdi = new QMdiArea;
        window->setCentralWidget(mdi);
        auto* child = mdi->addSubWindow(new QLabel(QStringLiteral("Relais Nord")));
        child->resize(200, 100);
        window->resize(500, 300);
        window->show();
        processUntil([&] { return window->isVisible(); });
    }
    std::unique_ptr<QMainWindow> window;
};

TEST_F(CaptureTest, ServerThreadGetsThePictureFromTheInterfaceThread)
{
    GuiThreadCapture capture(window.get());
    auto worker = std::async(std::launch::async, [&] { return capture.capture(); });
    // The capture itself happens here, in the event loop of this thread.
    ASSERT_TRUE(processUntil([&] { return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const QImage picture = worker.get();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), window->frameGeometry().size());
}

TEST_F(CaptureTest, WholeRoundTripThroughTheServer)
{
    WebInterface web(WindowScreen(window.get()));
    SettingsList s;
    s.setValue(QStringLiteral("HTTP_ACTIVE"), QStringLiteral("True"));
    s.setValue(QStringLiteral("HTTP_PORT"), QStringLiteral("0"));
    // Port 0 counts as switched off; use the server underneath with a free port instead.
    EXPECT_TRUE(web.startFromSettings(s));
    EXPECT_FALSE(web.isRunning());

    GuiThreadCapture capture(window.get());
    ScreenshotServer server([&] { return capture.capture(); }, WebInterface::serverName());
    ASSERT_TRUE(server.start(0, nullptr, QStringLiteral("127.0.0.1")));
    auto res = std::async(std::launch::async, [&] {
        httplib::Client cli("127.0.0.1", server.port());
        cli.set_read_timeout(10);
        return cli.Get("/screen.jpg");
    });
    ASSERT_TRUE(
        processUntil([&] { return res.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
    auto r = res.get();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    const QSize outer = window->frameGeometry().size();
    expectJpeg(r->body, outer.width(), outer.height());
    EXPECT_EQ(QString::fromStdString(r->get_header_value("Server")), WebInterface::serverName());
    server.stop();
}

TEST_F(CaptureTest, StartedFromTheSettingsAndStoppedWithTheWindow)
{
    // Find a free port, then let the settings name it.
    int port = 0;
    {
        ScreenshotServer probe([] { return QImage(); }, QString());
        ASSERT_TRUE(probe.start(0, nullptr, QStringLiteral("127.0.0.1")));
        port = probe.port();
    }
    SettingsList s;
    s.setValue(QStringLiteral("HTTP_ACTIVE"), QStringLiteral("True"));
    s.setValue(QStringLiteral("HTTP_PORT"), QString::number(port));
    QString error;
    QObject* holder = StartWebInterface(window.get(), s, &error);
    ASSERT_NE(holder, nullptr) << error.toStdString();
    EXPECT_EQ(holder->parent(), window.get());

    // A second program on the same port gets an error, not half of the requests.
    QMainWindow other;
    EXPECT_EQ(StartWebInterface(&other, s, &error), nullptr);
    EXPECT_FALSE(error.isEmpty());

    auto res = std::async(std::launch::async, [&] {
        httplib::Client cli("127.0.0.1", port);
        cli.set_read_timeout(10);
        return cli.Get("/");
    });
    ASSERT_TRUE(processUntil([&] { return res.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    auto r = res.get();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);

    window.reset(); // takes the server with it
    httplib::Client cli("127.0.0.1", port);
    cli.set_connection_timeout(2);
    EXPECT_FALSE(cli.Get("/"));

    s.setValue(QStringLiteral("HTTP_ACTIVE"), QStringLiteral("False"));
    EXPECT_EQ(StartWebInterface(&other, s, &error), nullptr);
}

TEST_F(CaptureTest, BusyInterfaceThreadTimesOutAndCancelEndsWaits)
{
    // This thread does not run its event loop while the worker waits.
    GuiThreadCapture capture(window.get(), 200);
    QElapsedTimer t;
    t.start();
    const QImage late = std::async(std::launch::async, [&] { return capture.capture(); }).get();
    EXPECT_TRUE(late.isNull());
    EXPECT_LT(t.elapsed(), 5000);

    GuiThreadCapture slow(window.get(), 60000);
    auto waiting = std::async(std::launch::async, [&] { return slow.capture(); });
    slow.cancel();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(waiting.get().isNull());
    EXPECT_TRUE(slow.capture().isNull());

    // The calls still queued for this thread run later and change nothing.
    QCoreApplication::processEvents();
}

TEST_F(CaptureTest, MinimizedWindowIsCapturedAndStaysMinimized)
{
    window->showMinimized();
    processUntil([&] { return window->isMinimized(); });
    ASSERT_TRUE(window->isMinimized());
    const QImage picture = GuiThreadCapture::captureWindow(window.get());
    ASSERT_FALSE(picture.isNull());
    // Shown maximized for the picture: the size of the screen's available area, not the
    // window's normal 500 x 300.
    EXPECT_EQ(picture.size(), window->screen()->availableGeometry().size());
    EXPECT_TRUE(window->isMinimized());
}
