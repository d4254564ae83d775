// A plugin instance over the fake client, listening on a free loopback port, with one
// connected test session that reads the bytes the plugin writes.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "fake_client.h"
#include "plugin/link_plugin.h"

namespace testutil {

inline int connectTo(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline void sendAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

// Reads until `until` has arrived (returns everything read, `until` included), the peer
// closed, or the deadline passed.
inline std::string readUntil(int fd, const std::string& until, int timeoutMs = 5000, bool* closed = nullptr)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (closed)
        *closed = false;
    while (until.empty() || got.find(until) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0)
            break;
        char buf[4096];
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            if (closed)
                *closed = true;
            break;
        }
        got.append(buf, size_t(n));
    }
    return got;
}

inline std::string readToClose(int fd, int timeoutMs = 5000, bool* closed = nullptr)
{
    return readUntil(fd, "", timeoutMs, closed);
}

} // namespace testutil

class PluginFixture : public ::testing::Test {
protected:
    static constexpr const char* kSync = "PING timestamp=sync err=0";
    static constexpr const char* kSyncReply = "PONG timestamp=sync err=0\r";

    void SetUp() override
    {
        fake::model().reset();
        dir = std::filesystem::temp_directory_path() /
              ("rdplugin_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
        std::filesystem::create_directories(dir);
        settings = (dir / "Relaydeck[LINK].ini").string();
        std::ofstream(settings) << "[LINKSettings]\r\nPORT=0\r\n";
        start();
    }

    void TearDown() override
    {
        if (fd >= 0)
            ::close(fd);
        plugin.reset();
        std::filesystem::remove_all(dir);
    }

    void start(bool connect = true)
    {
        rdplugin::LinkPlugin::Options o;
        o.settingsPath = settings;
        o.clock = [this] { return now.load(); };
        o.runStatusThread = false;
        o.stallTimeoutMs = stallTimeoutMs;
        o.sleepMs = [this](int ms) { slept += ms; };
        o.exitProcess = [this](int code) { exitCode = code; };
        plugin = std::make_unique<rdplugin::LinkPlugin>(o);
        plugin->setFunctionPointers(fake::table());
        plugin->registerPluginID("rdtest");
        ASSERT_EQ(plugin->init(), 0);
        ASSERT_TRUE(plugin->waitListening(5000));
        port = plugin->boundPort();
        if (connect) {
            fd = testutil::connectTo(port);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(testutil::readUntil(fd, std::string("\r\0", 2)), std::string("<HELLO>\r\0", 9));
        }
    }

    // Sends the lines (each ended as Relaydeck ends them) and returns what the plugin
    // wrote in answer, up to the reply of a closing ping.
    std::string exchange(const std::string& lines = "")
    {
        std::string out;
        if (!lines.empty())
            out = lines + "\r\r\n";
        testutil::sendAll(fd, out + kSync + "\r\r\n");
        std::string got = testutil::readUntil(fd, kSyncReply);
        const size_t at = got.find(kSyncReply);
        EXPECT_NE(at, std::string::npos) << "no sync reply; got: " << got;
        return at == std::string::npos ? got : got.substr(0, at);
    }

    // What the plugin wrote on its own (events) since the last exchange.
    std::string written() { return exchange(); }

    // Makes h a connected gateway handler: own client `own` in channel `channel`.
    void gateway(uint64 h, anyID own = 10, uint64 channel = 5)
    {
        auto& m = fake::model();
        {
            std::lock_guard<std::recursive_mutex> l(m.mutex);
            m.addChannel(h, channel, "Lobby", 0);
            m.addClient(h, own, "Gate", channel);
            m.handler(h).ownClient = own;
            m.handler(h).status = STATUS_CONNECTION_ESTABLISHED;
        }
        rdplugin::TS3StatusData e;
        e.isGateway = true;
        e.isConnected = true;
        e.ownClientID = own;
        e.ownChannelID = channel;
        e.lastPingTime = int32_t(now.load());
        plugin->setEntry(h, e);
    }

    static int& counter()
    {
        static int c = 0;
        return c;
    }

    std::filesystem::path dir;
    std::string settings;
    std::atomic<int64_t> now{1700000000};
    std::atomic<int> slept{0};
    std::atomic<int> exitCode{-1};
    int stallTimeoutMs = 5000;
    std::unique_ptr<rdplugin::LinkPlugin> plugin;
    int port = 0;
    int fd = -1;
};
