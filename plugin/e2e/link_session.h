// Shared pieces of the end-to-end tests: the plugin library loaded by the substitute
// client, one Relaydeck session on a real loopback socket, and a way to run one command
// line and collect exactly what it caused: the client calls made by the session thread,
// the reply bytes, the event lines written meanwhile and the calls the plugin made from
// the client's event thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "clientsim/client.h"

namespace e2e {

// The client the suite runs against: RD_E2E_GENERATION (a clientsim generation, default
// the 3.1 client) and RD_E2E_CONNECT_DELAY_MS (the steps of a connection, default 20).
inline clientsim::LoadOptions clientFromEnvironment(clientsim::Client& client)
{
    clientsim::LoadOptions options;
    if (const char* g = std::getenv("RD_E2E_GENERATION"))
        options.generation = g;
    if (const char* d = std::getenv("RD_E2E_CONNECT_DELAY_MS"))
        client.setConnectStepDelay(std::chrono::milliseconds(std::atoi(d)));
    return options;
}

inline int freePort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

inline int connectTo(int port)
{
    for (int attempt = 0; attempt < 500; ++attempt) { // the server thread may still be starting
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            return fd;
        ::close(fd);
        ::poll(nullptr, 0, 10);
    }
    return -1;
}

inline void sendAll(int fd, const std::string& data)
{
    ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
}

inline std::string readUntil(int fd, const std::string& until, int timeoutMs = 5000, bool* closed = nullptr)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (until.empty() || got.find(until) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
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

// Reads from fd into pending until a whole line starting with prefix has arrived; takes
// everything up to and including that line out of pending and returns it. On time-out
// returns nothing and leaves what was read in pending.
inline std::optional<std::string> takeThroughLine(int fd, std::string& pending, const std::string& prefix,
                                                  int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t at = pending.rfind(prefix, 0) == 0 ? 0 : pending.find("\r" + prefix);
        if (at != std::string::npos) {
            size_t end = pending.find('\r', at + 1);
            if (end != std::string::npos) {
                std::string out = pending.substr(0, end + 1);
                pending.erase(0, end + 1);
                return out;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pending += readUntil(fd, "\r", int(left.count()));
    }
}

// Connects until the plugin greets the connection as its session (a session that was just
// closed may still be ending, and then the new connection is refused with QUIT 88).
// Returns the socket after the greeting, or -1. Event lines may follow the greeting in the
// same read (a session that just ended leaves events of its own on their way, such as the
// SELFVAR of a microphone it closed): they go to *after when given.
inline int greetedConnection(int port, int timeoutMs = 5000, std::string* after = nullptr)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = connectTo(port);
        if (fd < 0)
            return -1;
        const std::string hello(std::string("<HELLO>\r\0", 9));
        const std::string got = readUntil(fd, std::string("\r\0", 2), 2000);
        if (got.rfind(hello, 0) == 0) {
            if (after)
                after->append(got, hello.size());
            return fd;
        }
        ::close(fd);
        if (got != "QUIT errorID=88")
            return -1;
        ::poll(nullptr, 0, 10);
    }
    return -1;
}

// Lines as written by the plugin, each with its CR.
inline std::vector<std::string> splitLines(const std::string& bytes)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\r', start);
        if (end == std::string::npos) {
            out.push_back(bytes.substr(start));
            break;
        }
        out.push_back(bytes.substr(start, end + 1 - start));
        start = end + 1;
    }
    return out;
}

inline std::string wordOf(const std::string& line)
{
    return line.substr(0, line.find_first_of(" \r"));
}

// Return codes differ from run to run: "PR:<plugin>:<n>" reads as RC.
inline std::string normalised(const std::string& callText)
{
    static const std::regex rc("\"PR:[^\"]*\"");
    return std::regex_replace(callText, rc, "RC");
}

// Return codes inside event lines (ERRORMSG, PERMERROR) read as RC too.
inline std::string normalisedLine(const std::string& line)
{
    static const std::regex rc("PR:[A-Za-z0-9_]+:[0-9]+");
    return std::regex_replace(line, rc, "RC");
}

// What one command line (or one change of the simulated world) caused.
struct Outcome {
    std::vector<std::string> calls;      // client calls of the session thread, "name(args)"
    std::string reply;                   // reply lines, bytes in order
    std::vector<std::string> events;     // event lines (CONNECT, MOVED, ...), in order
    std::vector<std::string> eventCalls; // client calls made from the client's event thread
    std::vector<std::string> results;    // "callback = value" of the int callbacks
};

class LinkSession : public ::testing::Test {
protected:
    // Lines the plugin writes on its own; everything else before the sentinel is a reply.
    static bool isEventWord(const std::string& word)
    {
        static const std::set<std::string> words = {
            "CONNECT", "SERVERINFO", "SELFVAR", "MOVED",    "USERIN",    "USEROUT",   "RXVOICE", "TXVOICE",
            "REMOTE",  "PRIVMSG",    "POKEMSG", "ERRORMSG", "PERMERROR", "PLUGINCMD", "CHPERM",  "CLIENTPERM"};
        return words.count(word) > 0;
    }

    // The world before the plugin is loaded; tests may override to add more.
    virtual void buildWorld()
    {
        client.addServer("S1", "radio.example.org", "Radio Net");
        client.addChannel("S1", 1, "Main");
        client.addChannel("S1", 2, "Lobby", 1, "", true);
        client.addChannel("S1", 3, "Ops", 1);
    }

    void SetUp() override
    {
        old = std::filesystem::current_path();
        dir =
            std::filesystem::temp_directory_path() / ("rd_e2e_plugin_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        port = freePort();
        std::ofstream("Relaydeck[LINK].ini") << "[LINKSettings]\r\nPORT=" << port << "\r\n";
        client.setListener([this](const clientsim::TraceEntry& e) {
            std::lock_guard<std::mutex> lock(logMutex);
            if (e.kind == clientsim::TraceEntry::Kind::Event && e.name.rfind("on", 0) == 0)
                eventThread = std::this_thread::get_id();
            log.push_back({std::this_thread::get_id(), e});
        });
        buildWorld();
        ASSERT_TRUE(client.load(RD_PLUGIN_PATH, clientFromEnvironment(client))) << client.lastError();
        fd = connectTo(port);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(readUntil(fd, std::string("\r\0", 2)), std::string("<HELLO>\r\0", 9));
        // The thread that reads the library version for WHOAMI is the session thread.
        const size_t from = logSize();
        send("WHOAMI ");
        ASSERT_EQ(waitFor("WHOAMI").rfind("WHOAMI libVersion=", 0), 0u);
        std::lock_guard<std::mutex> lock(logMutex);
        for (size_t i = from; i < log.size(); ++i)
            if (log[i].entry.name == "getClientLibVersion")
                sessionThread = log[i].thread;
        ASSERT_NE(sessionThread, std::thread::id());
    }

    void TearDown() override
    {
        if (client.loaded())
            client.unload();
        client.setListener(nullptr);
        if (fd >= 0)
            ::close(fd);
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);
    }

    void send(const std::string& line) { sendAll(fd, line + "\r\r\n"); }

    // Reads until a whole line starting with prefix has arrived; returns everything read
    // up to and including that line and keeps the rest for the next call.
    std::string waitFor(const std::string& prefix, int timeoutMs = 5000)
    {
        if (auto line = takeThroughLine(fd, pending, prefix, timeoutMs))
            return *line;
        std::string out;
        out.swap(pending);
        return out;
    }

    // Sends PING with a unique stamp and returns every line that arrived before its PONG.
    // Commands are handled one at a time, so whatever an earlier command replied is in.
    std::string sentinel()
    {
        const std::string stamp = "e2e" + std::to_string(++sentinels);
        send("PING timestamp=" + stamp);
        const std::string pong = "PONG timestamp=" + stamp + "\r";
        std::string got = waitFor(pong.substr(0, pong.size() - 1));
        if (got.size() >= pong.size() && got.compare(got.size() - pong.size(), pong.size(), pong) == 0)
            got.erase(got.size() - pong.size());
        else
            ADD_FAILURE() << "no " << pong << " after: " << got;
        return got;
    }

    size_t logSize()
    {
        std::lock_guard<std::mutex> lock(logMutex);
        return log.size();
    }

    // Starts collecting: what happens from now on belongs to the next settle().
    void begin()
    {
        mark = logSize();
        early.clear();
    }

    // Waits until the client's events are delivered and every line written meanwhile has
    // arrived, then sorts lines and calls into an Outcome.
    Outcome settle()
    {
        EXPECT_TRUE(client.waitIdle());
        const std::string late = sentinel();
        Outcome o;
        auto take = [&](const std::string& bytes, bool repliesAllowed) {
            for (const std::string& line : splitLines(bytes)) {
                const std::string word = wordOf(line);
                if (word == "STATUS" || word == "PING_ERROR") // status thread, every 10 s
                    continue;
                if (isEventWord(word))
                    o.events.push_back(normalisedLine(line));
                else if (repliesAllowed)
                    o.reply += line;
                else
                    ADD_FAILURE() << "reply after the client went idle: " << line;
            }
        };
        take(early, true);
        take(late, false);
        std::lock_guard<std::mutex> lock(logMutex);
        for (size_t i = mark; i < log.size(); ++i) {
            const auto& [thread, e] = log[i];
            if (e.kind == clientsim::TraceEntry::Kind::Call) {
                if (thread == sessionThread)
                    o.calls.push_back(normalised(e.text()));
                else if (thread == eventThread)
                    o.eventCalls.push_back(normalised(e.text()));
            } else if (e.kind == clientsim::TraceEntry::Kind::Event && e.args.empty() && !e.result.empty()) {
                o.results.push_back(e.name + " = " + e.result);
            }
        }
        mark = log.size();
        return o;
    }

    // One command line: its calls, its reply (everything before the sentinel's PONG) and
    // the events it caused once the client is idle again.
    Outcome run(const std::string& line)
    {
        begin();
        send(line);
        early = sentinel();
        return settle();
    }

    struct Gateway {
        clientsim::u64 h = 0;
        clientsim::anyid own = 0;
        std::string hs; // the handler id as text
    };

    // GW_CONNECT through the GUI path and wait for the established connection.
    Gateway openGateway(const std::string& gateUID, const std::string& nick, const std::string& extra = "")
    {
        Gateway g;
        send("GW_CONNECT type=gui gateUID=" + gateUID + " host=radio.example.org nick=" + nick + extra);
        const std::string reply = waitFor("GW_CONNECT");
        const size_t at = reply.find("GW_CONNECT gateUID=" + gateUID + " scHandler=");
        if (at == std::string::npos) {
            ADD_FAILURE() << reply;
            return g;
        }
        const size_t from = reply.find("scHandler=", at) + 10;
        g.hs = reply.substr(from, reply.find('\r', from) - from);
        g.h = std::stoull(g.hs);
        const std::string info = waitFor("SERVERINFO scHandler=" + g.hs);
        EXPECT_NE(info.find("SERVERINFO scHandler=" + g.hs), std::string::npos) << info;
        EXPECT_TRUE(client.waitIdle());
        g.own = client.model().ownClientId(g.h);
        pending.clear();
        sentinel();
        return g;
    }

    clientsim::Client client;
    std::filesystem::path old, dir;
    int port = 0;
    int fd = -1;
    std::string pending;

private:
    struct Logged {
        std::thread::id thread;
        clientsim::TraceEntry entry;
    };
    std::mutex logMutex;
    std::vector<Logged> log;
    std::thread::id sessionThread, eventThread;
    size_t mark = 0;
    std::string early;
    int sentinels = 0;
};

} // namespace e2e
