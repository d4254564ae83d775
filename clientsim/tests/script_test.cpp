// The control script: word splitting, commands driving the client, errors, and the
// clientsim program run end to end with a script on stdin.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "clientsim/client.h"
#include "clientsim/script.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

TEST(ScriptSplit, QuotesEscapesAndNamedValues)
{
    std::vector<clientsim::Script::Word> words;
    std::string error;
    ASSERT_TRUE(clientsim::Script::split(R"(msg S1 7 private 1 "a \"b\"\tc" channel="Radio Room" x)", words, error));
    std::vector<std::string> texts;
    for (const auto& w : words)
        texts.push_back(w.text);
    EXPECT_THAT(texts, ElementsAre("msg", "S1", "7", "private", "1", "a \"b\"\tc", "channel=Radio Room", "x"));
    EXPECT_TRUE(words[5].quoted);
    EXPECT_FALSE(words[6].quoted);

    words.clear();
    EXPECT_FALSE(clientsim::Script::split("say \"open", words, error));
    EXPECT_EQ(error, "unterminated quote");
}

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        script.setPluginPath(CLIENTSIM_TESTPLUGIN);
        client.setListener([this](const clientsim::TraceEntry& e) { out(e.line()); });
    }
    // The client's event loop thread and the test's thread both print.
    void out(const std::string& line)
    {
        {
            std::lock_guard<std::mutex> lock(linesMutex);
            lines.push_back(line);
        }
        script.noteOutput(line);
    }
    std::vector<std::string> seen()
    {
        std::lock_guard<std::mutex> lock(linesMutex);
        return lines;
    }
    bool run(const std::string& line)
    {
        script.execute(line);
        return script.lastError().empty();
    }

    clientsim::Client client;
    std::mutex linesMutex;
    std::vector<std::string> lines;
    clientsim::Script script{client, [this](const std::string& l) { out(l); }};
};

TEST_F(ScriptTest, BuildsAWorldAndDrivesThePlugin)
{
    for (const char* line :
         {"# a comment", "option connectdelay 0", "server S1 127.0.0.1:9987 Test Server", "channel S1 1 Lobby default",
          "channel S1 2 \"Radio Room\" parent=1", "load register=after id=gw",
          "connect 127.0.0.1 nick=Gate channel=\"Lobby/Radio Room\"", "join S1 7 Alice channel=2 inmuted",
          "talk S1 7 start", "msg S1 7 private 1 \"hello, gateway\"", "poke S1 7 1 \"wake up\"",
          "servererror 1 1538 \"invalid parameter\" rc=abc", "expect \"onClientPokeEvent(1, 7\""})
        EXPECT_TRUE(run(line)) << line << ": " << script.lastError();
    EXPECT_EQ(client.info().pluginId, "gw");
    EXPECT_EQ(client.model().ownChannel(1), 2u);
    EXPECT_EQ(client.model().userVariable("S1", 7, clientsim::prop::InputMuted), "1");
    EXPECT_THAT(seen(), Contains("INFO handler 1"));
    EXPECT_THAT(seen(), Contains("EVENT onTalkStatusChangeEvent(1, 1, 0, 7)"));
    EXPECT_THAT(seen(),
                Contains("EVENT onTextMessageEvent(1, 1, 1, 7, \"Alice\", \"user7uid=\", \"hello, gateway\", 0)"));
    EXPECT_THAT(seen(), Contains("EVENT onServerErrorEvent(1, \"invalid parameter\", 1538, \"abc\", \"\")"));
    // expect only looks forward: the same text again is not found
    EXPECT_FALSE(run("expect \"onClientPokeEvent(1, 7\" timeout=50"));
    EXPECT_TRUE(run("unload"));
    EXPECT_THAT(seen(), Contains("EVENT shutdown()"));
}

TEST_F(ScriptTest, ReportsBadCommandsAndKeepsGoing)
{
    struct Case {
        const char* line;
        const char* error;
    };
    for (const Case& c :
         {Case{"frobnicate", "unknown command: frobnicate"}, Case{"join S9 1 X", "unknown server: S9"},
          Case{"wait soon", "not a number for milliseconds: soon"}, Case{"talk", "missing server key"},
          Case{"menu 1 1 1 1", "no plugin loaded"}, Case{"load /nonexistent.so", "Plugin failed to load"}}) {
        EXPECT_FALSE(run(c.line)) << c.line;
        EXPECT_THAT(script.lastError(), HasSubstr(c.error)) << c.line;
    }
    EXPECT_TRUE(run("print still alive"));
    EXPECT_THAT(seen(), Contains("INFO still alive"));
    EXPECT_FALSE(script.execute("quit"));
    EXPECT_TRUE(script.quitRequested());
}

// The program itself, with a script on stdin: output lines are what a demo would see.
TEST(ClientsimProgram, RunsAScriptFromStdin)
{
    std::string workdir = std::string(RD_BINARY_DIR) + "/clientsim_program_test";
    std::string script = workdir + ".txt";
    {
        FILE* f = std::fopen(script.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("option connectdelay 0\n"
                   "server S1 127.0.0.1 Demo\n"
                   "channel S1 1 Lobby default\n"
                   "connect 127.0.0.1 nick=Gate\n"
                   "join S1 9 Carol\n"
                   "unknowncommand\n"
                   "quit\n",
                   f);
        std::fclose(f);
    }
    std::string cmd =
        std::string(CLIENTSIM_PROGRAM) + " --plugin " + CLIENTSIM_TESTPLUGIN + " --workdir " + workdir + " < " + script;
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::vector<std::string> lines;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, p)) {
        std::string l(buf);
        if (!l.empty() && l.back() == '\n')
            l.pop_back();
        lines.push_back(l);
    }
    EXPECT_EQ(pclose(p), 0);
    EXPECT_THAT(lines, Contains("EVENT apiVersion() -> 21"));
    EXPECT_THAT(lines, Contains("CALL logMessage(\"init id=clientsim_testplugin app=" + workdir +
                                "/\", 4, \"testplugin\", 0) = 0"));
    EXPECT_THAT(lines, Contains("EVENT onConnectStatusChangeEvent(1, 4, 0)"));
    EXPECT_THAT(lines, Contains("EVENT onClientMoveEvent(1, 9, 0, 1, 0, \"\")"));
    EXPECT_THAT(lines, Contains("ERROR unknown command: unknowncommand: unknowncommand"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "NOTE plugin unloaded");
}

// The control socket: one command per line, each answered OK or ERROR; quit ends the program.
TEST(ClientsimProgram, ServesTheControlSocket)
{
    std::string base = std::string(RD_BINARY_DIR) + "/clientsim_control_test";
    std::string sock = "/tmp/clientsim_test_" + std::to_string(getpid()) + ".sock";
    std::string outFile = base + ".out";
    std::string program = CLIENTSIM_PROGRAM;
    std::string cmd = program + " --plugin " + CLIENTSIM_TESTPLUGIN + " --workdir " + base + " --control " + sock +
                      " < /dev/null > " + outFile + " 2>&1";
    pid_t pid = 0;
    const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);

    int fd = -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
            break;
        close(fd);
        fd = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_GE(fd, 0) << "control socket never came up";
    auto ask = [&](const std::string& line) {
        std::string text = line + "\n";
        EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        std::string reply;
        char ch;
        while (read(fd, &ch, 1) == 1 && ch != '\n')
            reply += ch;
        return reply;
    };
    EXPECT_EQ(ask("server S1 127.0.0.1 Demo"), "OK");
    EXPECT_EQ(ask("option connectdelay 0"), "OK");
    EXPECT_EQ(ask("connect 127.0.0.1 nick=Gate"), "OK");
    EXPECT_EQ(ask("join S1 4 Dave"), "OK");
    EXPECT_EQ(ask("expect \"onClientMoveEvent(1, 4, 0\""), "OK");
    EXPECT_EQ(ask("leave S9 4"), "ERROR unknown server: S9");
    ask("quit");
    close(fd);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(outFile);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_THAT(all, HasSubstr("EVENT onConnectStatusChangeEvent(1, 4, 0)"));
    EXPECT_THAT(all, HasSubstr("EVENT shutdown()"));
}

} // namespace
