// A local stand-in for the directory service: an HTTP server on a free loopback port that
// records what arrives and answers per path as the test sets it up. It runs on its own
// threads, so the client under test keeps the test thread's event loop. Answers can be
// held back until the test lets them go, for a service that answers late.
#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>

#include <httplib.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct SeenRequest {
    std::string method;
    std::string path;
    std::string body;
    std::multimap<std::string, std::string> form; // parsed body
    std::string authorization;
    std::string userAgent;
    std::string contentType;
};

struct CannedAnswer {
    int status = 200;
    std::string body;
    std::string location; // redirect target
};

class DirectoryStandIn {
public:
    DirectoryStandIn()
    {
        auto handler = [this](const httplib::Request& req, httplib::Response& res) {
            SeenRequest seen;
            seen.method = req.method;
            seen.path = req.path;
            seen.body = req.body;
            httplib::Params form;
            httplib::detail::parse_query_text(req.body, form);
            for (const auto& [k, v] : form)
                seen.form.emplace(k, v);
            seen.authorization = req.get_header_value("Authorization");
            seen.userAgent = req.get_header_value("User-Agent");
            seen.contentType = req.get_header_value("Content-Type");
            CannedAnswer a;
            {
                std::unique_lock lock(m_mutex);
                m_seen.push_back(seen);
                m_released.wait(lock, [&] { return !m_holdAll && m_held.count(req.path) == 0; });
                if (auto it = m_answers.find(req.path); it != m_answers.end())
                    a = it->second;
                else
                    a.status = 404;
            }
            res.status = a.status;
            if (!a.location.empty())
                res.set_header("Location", a.location);
            res.set_content(a.body, "text/html");
        };
        m_server.Post(".*", handler);
        m_server.Get(".*", handler);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    ~DirectoryStandIn()
    {
        release();
        m_server.stop();
        m_thread.join();
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    int port() const { return m_port; }
    void answer(const std::string& path, CannedAnswer a)
    {
        std::lock_guard lock(m_mutex);
        m_answers[path] = std::move(a);
    }
    // Requests that arrive from now on (to path, or to any path when none is given) are
    // recorded at once and answered on release().
    void hold(const std::string& path = {})
    {
        std::lock_guard lock(m_mutex);
        if (path.empty())
            m_holdAll = true;
        else
            m_held.insert(path);
    }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_holdAll = false;
            m_held.clear();
        }
        m_released.notify_all();
    }
    std::vector<SeenRequest> seen()
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    size_t count()
    {
        std::lock_guard lock(m_mutex);
        return m_seen.size();
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_holdAll = false;
    std::set<std::string> m_held;
    std::map<std::string, CannedAnswer> m_answers;
    std::vector<SeenRequest> m_seen;
};

// Runs the event loop until done() or the deadline.
template <class F>
bool processUntil(F done, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

inline QCoreApplication& coreApp()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "rd_directory_tests";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv); // alive to the end of the process
    }
    return *QCoreApplication::instance();
}
