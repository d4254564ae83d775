// The plugin library as the client loads it: dlopen through the substitute client, the
// link over a real loopback socket, events fired from the client's own thread.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "clientsim/client.h"
#include "plugin/e2e/link_session.h"

namespace {

using e2e::connectTo;
using e2e::freePort;
using e2e::readUntil;
using e2e::sendAll;

class PluginInClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        old = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() / ("rd_e2e_plugin_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        port = freePort();
        std::ofstream("Relaydeck[LINK].ini") << "[LINKSettings]\r\nPORT=" << port << "\r\n";
        client.addServer("S1", "radio.example.org", "Radio Net");
        client.addChannel("S1", 1, "Lobby", 0, "", true);
        client.addChannel("S1", 2, "Ops", 1);
        ASSERT_TRUE(client.load(RD_PLUGIN_PATH, e2e::clientFromEnvironment(client))) << client.lastError();
        fd = connectTo(port);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(readUntil(fd, std::string("\r\0", 2)), std::string("<HELLO>\r\0", 9));
    }
    void TearDown() override
    {
        if (client.loaded())
            client.unload();
        if (fd >= 0)
            ::close(fd);
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);
    }
    // Reads until a whole line starting with prefix has arrived; returns everything read
    // up to and including that line and keeps the rest for the next call.
    std::string waitFor(const std::string& prefix, int timeoutMs = 5000)
    {
        return e2e::takeThroughLine(fd, pending, prefix, timeoutMs).value_or(pending);
    }

    std::string pending;

    std::string command(const std::string& line, const std::string& until)
    {
        sendAll(fd, line + "\r\r\n");
        return readUntil(fd, until);
    }

    clientsim::Client client;
    std::filesystem::path old, dir;
    int port = 0;
    int fd = -1;
};

TEST_F(PluginInClient, IdentityAndGreeting)
{
    const auto& info = client.info();
    EXPECT_EQ(info.name, "Relaydeck [LINK]");
    EXPECT_EQ(info.version, "3.1.21");
    // The number fits the client: 26 for 3.6 (its Qt 5.15), 21 for 3.1 (Qt 5.6, or no Qt).
    const char* gen = std::getenv("RD_E2E_GENERATION");
    const clientsim::Generation* g = clientsim::findGeneration(gen ? gen : "3.1");
    ASSERT_NE(g, nullptr);
    const int api = g->maxApi == 26 ? 26 : 21;
    EXPECT_EQ(info.apiVersion, api);
    EXPECT_EQ(info.offersConfigure, 2);
    EXPECT_EQ(info.commandKeyword, "Relaydeck");
    ASSERT_EQ(info.menus.size(), 2u);
    EXPECT_EQ(info.menus[0].text, "Register Client");
    EXPECT_EQ(info.hotkeys.size(), 3u);
    const std::string who = command("WHOAMI ", "\r");
    EXPECT_EQ(who.rfind("WHOAMI libVersion=", 0), 0u) << who;
    EXPECT_NE(who.find(" ClientType=TS3 API=" + std::to_string(api) + " gateAPI=1 PORT=" + std::to_string(port) +
                       " ClientPath="),
              std::string::npos)
        << who;
    // One line after init: the client's version text and the number chosen.
    const std::string line = std::string("Client ") + g->version + ": plugin interface " + std::to_string(api) +
                             (gen ? " (client Qt version)" : " (default)");
    int lines = 0;
    for (const auto& l : client.model().log())
        lines += l.message == line;
    EXPECT_EQ(lines, 1) << line;
}

TEST_F(PluginInClient, GatewayConnectsTalksAndUnloadsWithQuitLast)
{
    sendAll(fd, "GW_CONNECT type=gui gateUID={G1} host=radio.example.org nick=Gate1 channel=Lobby\r\r\n");
    const std::string got = waitFor("SERVERINFO");
    EXPECT_NE(got.find("GW_CONNECT gateUID={G1} scHandler="), std::string::npos) << got;
    EXPECT_NE(got.find("CONNECT scHandler="), std::string::npos) << got;
    EXPECT_NE(got.find(" status=4 error=0 serverName=Radio^sNet "), std::string::npos) << got;

    const size_t at = got.find("scHandler=") + 10;
    const std::string h = got.substr(at, got.find_first_of(" \r", at) - at);

    client.clearTrace();
    sendAll(fd, "SETPTT scHandler=" + h + " status=1\r\r\n");
    const std::string ptt = waitFor("SELFVAR scHandler=" + h + " flag=10 oldValue=1");
    // The client reports the changed own setting back as an event.
    EXPECT_NE(ptt.find("SELFVAR scHandler=" + h + " flag=10 oldValue=1 newValue=0 \r"), std::string::npos) << ptt;
    ASSERT_TRUE(client.waitIdle());
    const auto sets = client.callsNamed("setClientSelfVariableAsInt");
    ASSERT_FALSE(sets.empty());
    EXPECT_NE(sets.back().args.find("10"), std::string::npos) << sets.back().args;

    clientsim::UserSpec alice;
    alice.id = 7;
    alice.nickname = "Alice";
    alice.channel = 1;
    client.userJoin("S1", alice);
    ASSERT_TRUE(client.waitIdle());
    const std::string joined = waitFor("USERIN");
    EXPECT_NE(joined.find("USERIN scHandler=" + h + " userID=7 "), std::string::npos) << joined;
    EXPECT_NE(joined.find(" nickname=Alice "), std::string::npos) << joined;

    client.userTalk("S1", 7, 1);
    ASSERT_TRUE(client.waitIdle());
    const std::string talk = waitFor("RXVOICE");
    EXPECT_NE(talk.find("RXVOICE scHandler=" + h + " speakers=1 users=1 status=1 whisper=0 clientID=7 "),
              std::string::npos)
        << talk;

    client.unload();
    bool closed = false;
    const std::string tail = pending + readUntil(fd, "", 5000, &closed);
    EXPECT_TRUE(closed);
    ASSERT_GE(tail.size(), 16u) << tail;
    EXPECT_EQ(tail.substr(tail.size() - 16), "QUIT errorID=0 \r") << tail;
    EXPECT_EQ(client.outstandingBlocks(), 0u);
    EXPECT_EQ(client.invalidFrees(), 0u);
}

TEST_F(PluginInClient, SecondConnectionIsRefusedWhileTheFirstWorks)
{
    int second = connectTo(port);
    ASSERT_GE(second, 0);
    bool closed = false;
    EXPECT_EQ(readUntil(second, "", 5000, &closed), "QUIT errorID=88");
    EXPECT_TRUE(closed);
    ::close(second);
    EXPECT_EQ(command("PING timestamp=1700000000123 err=0", "\r"), "PONG timestamp=1700000000123 err=0\r");
}

} // namespace
