// A stand-in CM108 for tests: listens on a Unix socket (SOCK_SEQPACKET) at a node path,
// records every report written to it (one message each) and sends input reports to the
// connected program. Unplugging closes the connection and removes the node.
#pragma once

#include "testutil.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class StandinHid {
public:
    ~StandinHid() { stop(); }

    bool listen(const std::string& path)
    {
        stop();
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (path.size() >= sizeof addr.sun_path)
            return false;
        std::memcpy(addr.sun_path, path.data(), path.size());
        ::unlink(path.c_str());
        m_listen = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_listen, 4) != 0)
            return false;
        if (::pipe2(m_stop, O_CLOEXEC) != 0)
            return false;
        m_path = path;
        m_thread = std::thread([this] { run(); });
        return true;
    }

    // The device goes away: the program sees a hang-up, the node is gone.
    void unplug() { stop(); }

    void feed(const std::vector<uint8_t>& report)
    {
        std::lock_guard lk(m_mutex);
        if (m_peer >= 0) [[maybe_unused]]
            auto r = ::send(m_peer, report.data(), report.size(), MSG_NOSIGNAL);
    }

    std::vector<std::vector<uint8_t>> reports() const
    {
        std::lock_guard lk(m_mutex);
        return m_reports;
    }
    void clear()
    {
        std::lock_guard lk(m_mutex);
        m_reports.clear();
    }
    bool waitForReports(size_t n, int ms = 2000)
    {
        return waitUntil([&] { return reports().size() >= n; }, ms);
    }
    bool waitForDisconnect(int ms = 2000)
    {
        return waitUntil(
            [&] {
                std::lock_guard lk(m_mutex);
                return m_peer < 0 && m_connections > 0;
            },
            ms);
    }

private:
    void run()
    {
        for (;;) {
            pollfd fds[3] = {{m_stop[0], POLLIN, 0}, {m_listen, POLLIN, 0}, {-1, POLLIN, 0}};
            {
                std::lock_guard lk(m_mutex);
                fds[2].fd = m_peer;
            }
            if (::poll(fds, 3, -1) < 0)
                continue;
            if (fds[0].revents)
                return;
            if (fds[1].revents & POLLIN) {
                const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                std::lock_guard lk(m_mutex);
                if (m_peer >= 0)
                    ::close(m_peer);
                m_peer = fd;
                ++m_connections;
                continue;
            }
            if (fds[2].fd >= 0 && fds[2].revents) {
                uint8_t buf[64];
                const ssize_t n = ::recv(fds[2].fd, buf, sizeof buf, 0);
                std::lock_guard lk(m_mutex);
                if (n <= 0) {
                    ::close(m_peer);
                    m_peer = -1;
                } else {
                    m_reports.emplace_back(buf, buf + n);
                }
            }
        }
    }

    void stop()
    {
        if (m_thread.joinable()) {
            [[maybe_unused]] auto r = ::write(m_stop[1], "x", 1);
            m_thread.join();
        }
        for (int* fd : {&m_listen, &m_stop[0], &m_stop[1]}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
        std::lock_guard lk(m_mutex);
        if (m_peer >= 0)
            ::close(m_peer);
        m_peer = -1;
        if (!m_path.empty())
            ::unlink(m_path.c_str());
        m_path.clear();
    }

    mutable std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_reports;
    std::string m_path;
    std::thread m_thread;
    int m_listen = -1;
    int m_peer = -1;
    int m_stop[2] = {-1, -1};
    int m_connections = 0;
};
