// The control script: word splitting, commands driving the client, errors, and the
// clientsim program run end to end with a script on stdin.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "clientsim/client.h"
#include "clientsim/script.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

TEST(ScriptSplit, QuotesEscapesAndNamedValues) {
    std::vector<clientsim::Script::Word> words;
    std::string error;
    ASSERT_TRUE(clientsim::Script::split(R"(msg S1 7 private 1 "a \"b\"\tc" channel="Radio Room" x)", words, error));
    std::vector<std::string> texts;
    for (const auto& w : words) texts.push_back(w.text);
    EXPECT_THAT(texts, ElementsAre("msg", "S1", "7", "private", "1", "a \"b\"\tc", "channel=Radio Room", "x"));
    EXPECT_TRUE(words[5].quoted);
    EXPECT_FALSE(words[6].quoted);

    words.clear();
    EXPECT_FALSE(clientsim::Script::split("say \"open", words, error));
    EXPECT_EQ(error, "unterminated quote");
}

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        script.setPluginPath(CLIENTSIM_TESTPLUGIN);
        client.setListener([this](const clientsim::TraceEntry& e) { out(e.line()); });
    }
    void out(const std::string& line) {
        lines.push_back(line);
        script.noteOutput(line);
    }
    bool run(const std::string& line) {
        script.execute(line);
        return script.lastError().empty();
    }

    clientsim::Client client;
    std::vector<std::string> lines;
    clientsim::Script script{client, [this](const std::string& l) { out(l); }};
};

TEST_F(ScriptTest, BuildsAWorldAndDrivesThePlugin) {
    for (const char* line : {"# a comment", "option connectdelay 0", "server S1 127.0.0.1:9987 Test Server",
                             "channel S1 1 Lobby default", "channel S1 2 \"Radio Room\" parent=1",
                             "load register=after id=gw", "connect 127.0.0.1 nick=Gate channel=\"Lobby/Radio Room\"",
                             "join S1 7 Alice channel=2 inmuted", "talk S1 7 start",
                             "msg S1 7 private 1 \"hello, gateway\"", "poke S1 7 1 \"wake up\"",
                             "servererror 1 1538 \"invalid parameter\" rc=abc", "expect \"onClientPokeEvent(1, 7\""})
        EXPECT_TRUE(run(line)) << line << ": " << script.lastError();
    EXPECT_EQ(client.info().pluginId, "gw");
    EXPECT_EQ(client.model().ownChannel(1), 2u);
    EXPECT_EQ(client.model().userVariable("S1", 7, clientsim::prop::InputMuted), "1");
    EXPECT_THAT(lines, Contains("INFO handler 1"));
    EXPECT_THAT(lines, Contains("EVENT onTalkStatusChangeEvent(1, 1, 0, 7)"));
    EXPECT_THAT(lines, Contains("EVENT onTextMessageEvent(1, 1, 1, 7, \"Alice\", \"user7uid=\", \"hello, gateway\", 0)"));
    EXPECT_THAT(lines, Contains("EVENT onServerErrorEvent(1, \"invalid parameter\", 1538, \"abc\", \"\")"));
    // expect only looks forward: the same text again is not found
    EXPECT_FALSE(run("expect \"onClientPokeEvent(1, 7\" timeout=50"));
    EXPECT_TRUE(run("unload"));
    EXPECT_THAT(lines, Contains("EVENT shutdown()"));
}

TEST_F(ScriptTest, ReportsBadCommandsAndKeepsGoing) {
    struct Case {
        const char* line;
        const char* error;
    };
    for (const Case& c : {Case{"frobnicate", "unknown command: frobnicate"},
                          Case{"join S9 1 X", "unknown server: S9"},
                          Case{"wait soon", "not a number for milliseconds: soon"},
                          Case{"talk", "missing server key"},
                          Case{"menu 1 1 1 1", "no plugin loaded"},
                          Case{"load /nonexistent.so", "Plugin failed to load"}}) {
        EXPECT_FALSE(run(c.line)) << c.line;
        EXPECT_THAT(script.lastError(), HasSubstr(c.error)) << c.line;
    }
    EXPECT_TRUE(run("print still alive"));
    EXPECT_THAT(lines, Contains("INFO still alive"));
    EXPECT_FALSE(script.execute("quit"));
    EXPECT_TRUE(script.quitRequested());
}

// The program itself, with a script on stdin: output lines are what a demo would see.
TEST(ClientsimProgram, RunsAScriptFromStdin) {
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
    std::string cmd = std::string(CLIENTSIM_PROGRAM) + " --plugin " + CLIENTSIM_TESTPLUGIN + " --workdir " + workdir +
                      " < " + script;
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::vector<std::string> lines;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, p)) {
        std::string l(buf);
        if (!l.empty() && l.back() == '\n') l.pop_back();
        lines.push_back(l);
    }
    EXPECT_EQ(pclose(p), 0);
    EXPECT_THAT(lines, Contains("EVENT apiVersion() -> 21"));
    EXPECT_THAT(lines, Contains("CALL logMessage(\"init id=clientsim_testplugin app=" + workdir + "/\", 4, \"testplugin\", 0) = 0"));
    EXPECT_THAT(lines, Contains("EVENT onConnectStatusChangeEvent(1, 4, 0)"));
    EXPECT_THAT(lines, Contains("EVENT onClientMoveEvent(1, 9, 0, 1, 0, \"\")"));
    EXPECT_THAT(lines, Contains("ERROR unknown command: unknowncommand: unknowncommand"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "NOTE plugin unloaded");
}

}  // namespace
