// The plugin as the clientsim program loads it, seen only from outside: the link socket
// from this process and clientsim's control lines (stdin) and trace (stdout). By default
// the Linux pair (bin/clientsim, Relaydeck_Link.so); with RD_E2E_CLIENTSIM (the command
// that starts clientsim, words split at blanks, e.g. "wine64 build/win/bin/clientsim.exe")
// and RD_E2E_PLUGIN (the library it loads) the same tests run against another build, such
// as the Windows pair under Wine. RD_E2E_CLIENTSIM_ARGS adds options (a client generation).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/e2e/link_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using e2e::readUntil;
using e2e::sendAll;

std::vector<std::string> words(const char* text)
{
    std::vector<std::string> out;
    std::istringstream in(text ? text : "");
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// The clientsim program as a child process: control lines in, trace lines out.
class Program {
public:
    bool start(const std::vector<std::string>& argv, const std::filesystem::path& dir)
    {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            if (::chdir(dir.c_str()) != 0)
                ::_exit(127);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
        m_reader = std::thread([this] { readLoop(); });
        return m_pid > 0;
    }

    ~Program()
    {
        if (m_pid > 0 && !m_exit) {
            ::kill(m_pid, SIGKILL);
            waitExit(5000);
        }
        if (m_in >= 0)
            ::close(m_in);
        if (m_reader.joinable())
            m_reader.join();
        if (m_out >= 0)
            ::close(m_out);
    }

    void control(const std::string& line)
    {
        const std::string l = line + "\n";
        [[maybe_unused]] ssize_t n = ::write(m_in, l.data(), l.size());
    }

    // The first trace line after the previous match that contains text.
    std::optional<std::string> expect(const std::string& text, int timeoutMs = 10000)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        std::optional<std::string> found;
        m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (; m_next < m_lines.size(); ++m_next)
                if (m_lines[m_next].find(text) != std::string::npos) {
                    found = m_lines[m_next++];
                    return true;
                }
            return m_eof;
        });
        return found;
    }

    bool traced(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& l : m_lines)
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }

    std::string trace()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string all;
        for (const std::string& l : m_lines)
            all += l + "\n";
        return all;
    }

    // The exit code once the program has ended, nothing on time-out.
    std::optional<int> waitExit(int timeoutMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!m_exit && Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return m_exit;
    }

private:
    void readLoop()
    {
        std::string pending;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_out, buf, sizeof buf);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (n <= 0) {
                m_eof = true;
                m_cv.notify_all();
                return;
            }
            pending.append(buf, size_t(n));
            for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
                std::string line = pending.substr(0, nl);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back(); // the Windows C library writes CR LF
                m_lines.push_back(line);
            }
            m_cv.notify_all();
        }
    }

    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
    std::optional<int> m_exit;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_lines;
    size_t m_next = 0;
    bool m_eof = false;
};

class PluginOverLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("rd_e2e_program_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        port = e2e::freePort();
        std::ofstream(dir / "Relaydeck[LINK].ini") << "[LINKSettings]\r\nPORT=" << port << "\r\n";
        std::vector<std::string> argv = words(std::getenv("RD_E2E_CLIENTSIM"));
        if (argv.empty())
            argv.push_back(RD_CLIENTSIM_PROGRAM);
        const char* plugin = std::getenv("RD_E2E_PLUGIN");
        argv.insert(argv.end(), {"--plugin", plugin && *plugin ? plugin : RD_PLUGIN_PATH});
        for (const std::string& w : words(std::getenv("RD_E2E_CLIENTSIM_ARGS")))
            argv.push_back(w);
        ASSERT_TRUE(program.start(argv, dir));
        ASSERT_TRUE(program.expect("INFO loaded Relaydeck [LINK]", 60000)) << program.trace();
        // The program connects in steps of 20 ms, as a client does over a network.
        for (const char* line : {"server S1 127.0.0.1 \"Radio Net\"", "channel S1 1 Lobby default",
                                 "channel S1 2 Ops parent=1", "print world"})
            program.control(line);
        ASSERT_TRUE(program.expect("INFO world")) << program.trace();
        fd = e2e::greetedConnection(port, 20000);
        ASSERT_GE(fd, 0) << program.trace();
    }

    void TearDown() override
    {
        if (fd >= 0)
            ::close(fd);
        if (!program.waitExit(0)) {
            program.control("quit");
            program.waitExit(20000);
        }
        std::filesystem::remove_all(dir);
    }

    void send(const std::string& line) { sendAll(fd, line + "\r\r\n"); }

    // Every line the plugin wrote up to the PONG of a PING sent after line (not included).
    std::string exchange(const std::string& line)
    {
        if (!line.empty())
            send(line);
        const std::string stamp = "p" + std::to_string(++pings) + "x";
        send("PING timestamp=" + stamp);
        std::string got = e2e::takeThroughLine(fd, pending, "PONG timestamp=" + stamp, 10000).value_or(pending);
        const size_t at = got.rfind("PONG timestamp=" + stamp);
        return at == std::string::npos ? "no PONG after: " + got : got.substr(0, at);
    }

    // What a command line caused: its reply and the event lines of what the client did
    // for it, once the client's event thread is idle again.
    std::string caused(const std::string& line)
    {
        std::string got = exchange(line);
        settleClient();
        return got + exchange("");
    }

    // Waits until the client's event thread has delivered what the last control line caused.
    void settleClient()
    {
        const std::string mark = "settled" + std::to_string(++pings);
        program.control("sync");
        program.control("print " + mark);
        EXPECT_TRUE(program.expect("INFO " + mark)) << program.trace();
    }

    // Opens gateway {G1} as user "Gate" in the Lobby and returns its handler id as text,
    // once the connection is established and reported.
    std::string openGateway()
    {
        const std::string got = caused("GW_CONNECT type=gui gateUID={G1} host=127.0.0.1 nick=Gate channel=Lobby");
        const std::string reply = "GW_CONNECT gateUID={G1} scHandler=";
        const size_t at = got.find(reply);
        if (at == std::string::npos || got.find("SERVERINFO scHandler=") == std::string::npos) {
            ADD_FAILURE() << got;
            return "0";
        }
        const size_t from = at + reply.size();
        return got.substr(from, got.find('\r', from) - from);
    }

    std::filesystem::path dir;
    int port = 0;
    int fd = -1;
    std::string pending;
    int pings = 0;
    Program program;
};

// Each expected piece must appear, in this order, in what the line caused.
void expectInOrder(const std::string& what, const std::string& got, const std::vector<std::string>& pieces)
{
    size_t from = 0;
    for (const std::string& p : pieces) {
        const size_t at = got.find(p, from);
        EXPECT_NE(at, std::string::npos) << what << ": no \"" << p << "\" in\n" << got;
        if (at != std::string::npos)
            from = at + p.size();
    }
}

TEST_F(PluginOverLink, GreetsIdentifiesAndRefusesASecondConnection)
{
    const std::string who = exchange("WHOAMI ");
    expectInOrder("WHOAMI", who,
                  {"WHOAMI libVersion=", " ClientType=TS3 API=",
                   " gateAPI=1 PORT=" + std::to_string(port) + " ClientPath=", "\r"});

    const int second = e2e::connectTo(port);
    ASSERT_GE(second, 0);
    bool closed = false;
    EXPECT_EQ(readUntil(second, "", 5000, &closed), "QUIT errorID=88");
    EXPECT_TRUE(closed);
    ::close(second);
    EXPECT_EQ(exchange("PING timestamp=1700000000123 err=0"), "PONG timestamp=1700000000123 err=0\r");
}

TEST_F(PluginOverLink, CommandCatalogue)
{
    struct Row {
        std::string line;
        std::vector<std::string> pieces;
    };
    const std::vector<Row> before = {
        {"GW_START gateUID={G1}", {"GW_START gateUID={G1} scHandler=0\r"}},
        {"GETAPPPATH ", {"APPPATH ", "path=", "\r"}},
        {"GETPROFILES ", {"PROFILES type=0 default=", "PROFILES type=1 default=", "PROFILES type=4 default="}},
        {"STARTING ", {"STARTING \r"}},
    };
    for (const Row& r : before)
        expectInOrder(r.line, caused(r.line), r.pieces);

    const std::string h = openGateway();
    ASSERT_NE(h, "0");
    const std::vector<Row> rows = {
        {"GW_PING scHandler=" + h + " timestamp=1700000000123",
         {"GW_PONG scHandler=" + h + " timestamp=1700000000123\r"}},
        {"SETPTT scHandler=" + h + " status=1", {"SELFVAR scHandler=" + h + " flag=10 oldValue=1 newValue=0 \r"}},
        {"SETPTT scHandler=" + h + " status=0", {"SELFVAR scHandler=" + h + " flag=10 oldValue=0 newValue=1 \r"}},
        {"GETCHANNELS scHandler=" + h + " type=ids", {"CHANNELS scHandler=" + h + " type=ids ids=1|2\r"}},
        {"GETSPEAKER scHandler=" + h, {"SPEAKERS scHandler=" + h + " speakers=0 users=0 status=0 \r"}},
        {"GW_STOP scHandler=" + h + " gateUID={G1}", {"GW_STOP gateUID={G1} scHandler=-1\r"}},
    };
    for (const Row& r : rows)
        expectInOrder(r.line, caused(r.line), r.pieces);
}

TEST_F(PluginOverLink, EventCatalogue)
{
    const std::string h = openGateway();
    ASSERT_EQ(h, "1");
    struct Row {
        const char* control;
        std::vector<std::string> pieces;
    };
    const std::vector<Row> rows = {
        {"join S1 7 Alice channel=1 uid=alice-uid",
         {"USERIN scHandler=1 userID=7 fromCH=0 toCH=1 ", " nickname=Alice"}},
        {"talk S1 7 start", {"RXVOICE scHandler=1 speakers=1 users=1 status=1 whisper=0 clientID=7 "}},
        {"talk S1 7 stop", {"RXVOICE scHandler=1 speakers=0 users=1 status=0 "}},
        {"msg S1 7 private 1 hello", {"PRIVMSG scHandler=1 fromID=7 ", "message=hello"}},
        {"poke S1 7 1 wake", {"POKEMSG scHandler=1 ", "wake"}},
        {"plugincmd S1 7 \"GATE_INFO fromID=7 key0=aaa\"", {"PLUGINCMD scHandler=1 cmd=GATE_INFO fromID=7 key0=aaa"}},
        {"servererror 1 768 \"invalid channel\" rc=rc-1",
         {"ERRORMSG scHandler=1 error=768 errorMSG=invalid^schannel "}},
        {"move S1 7 2", {"USEROUT scHandler=1 userID=7 fromCH=1 toCH=2 "}},
        {"drop 1", {"CONNECT scHandler=1 status=0 error=1793"}},
    };
    for (const Row& r : rows) {
        program.control(r.control);
        settleClient();
        expectInOrder(r.control, exchange(""), r.pieces);
    }
}

TEST_F(PluginOverLink, UnloadWritesQuitLastAndClosesTheLink)
{
    ASSERT_EQ(openGateway(), "1");
    program.control("unload");
    bool closed = false;
    const std::string tail = pending + readUntil(fd, "", 15000, &closed);
    EXPECT_TRUE(closed);
    ASSERT_GE(tail.size(), 16u) << tail;
    EXPECT_EQ(tail.substr(tail.size() - 16), "QUIT errorID=0 \r") << tail;
    EXPECT_TRUE(program.expect("NOTE plugin unloaded")) << program.trace();
    // Unloading stopped the open gateway connection.
    EXPECT_TRUE(program.traced("stopConnection(1, \"*** QRT ***\")")) << program.trace();
    program.control("quit");
    EXPECT_EQ(program.waitExit(20000), std::optional<int>(0));
}

TEST_F(PluginOverLink, ExitClientEndsTheClientProcess)
{
    ASSERT_EQ(openGateway(), "1");
    send("EXITCLIENT ");
    bool closed = false;
    const std::string tail = pending + readUntil(fd, "", 15000, &closed);
    EXPECT_TRUE(closed);
    ASSERT_GE(tail.size(), 16u) << tail;
    EXPECT_EQ(tail.substr(tail.size() - 16), "QUIT errorID=0 \r") << tail;
    EXPECT_EQ(program.waitExit(15000), std::optional<int>(0)) << program.trace();
    EXPECT_TRUE(program.traced("stopConnection(1, \"*** QRT ***\")")) << program.trace();
    // The process ended from inside the plugin: the client never got to unload it.
    EXPECT_FALSE(program.traced("EVENT shutdown()")) << program.trace();
}

} // namespace
