// The substitute client loading our small test plugin: load order, the function table,
// the simulated world's callbacks and the model behind the client functions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <algorithm>
#include <fstream>
#include <string>
#include <thread>

#include "clientsim/client.h"

using namespace std::chrono_literals;
using clientsim::Client;
using clientsim::TraceEntry;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        client.setConnectStepDelay(0ms);
        client.addServer("S1", "127.0.0.1:9987", "Test Server");
        client.addChannel("S1", 1, "Lobby", 0, "", true);
        client.addChannel("S1", 2, "Main");
        client.addChannel("S1", 3, "Sub", 2);
        client.addChannel("S1", 4, "Locked", 0, "secret");
    }

    // What the test plugin reported through logMessage, in order.
    std::vector<std::string> pluginLog()
    {
        client.waitIdle();
        std::vector<std::string> out;
        for (const auto& l : client.model().log())
            if (l.channel == "testplugin")
                out.push_back(l.message);
        return out;
    }

    bool logHas(const std::string& text)
    {
        for (const auto& l : pluginLog())
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }

    clientsim::u64 loadAndConnect(const std::string& nick = "Gate")
    {
        EXPECT_TRUE(client.load(CLIENTSIM_TESTPLUGIN)) << client.lastError();
        clientsim::u64 h = client.connect("127.0.0.1:9987", nick);
        client.waitIdle();
        return h;
    }

    std::vector<std::string> eventNames()
    {
        std::vector<std::string> out;
        for (const auto& e : client.events())
            if (!e.args.empty() || e.result.empty())
                out.push_back(e.name);
        return out;
    }

    Client client;
};

TEST_F(ClientTest, LoadsInClientOrderWithIdBeforeInit)
{
    ASSERT_TRUE(client.load(CLIENTSIM_TESTPLUGIN)) << client.lastError();
    std::vector<std::string> order;
    for (const auto& e : client.events())
        order.push_back(e.name);
    // identity first, then the table, the id, init and the menus and hotkeys
    ASSERT_GE(order.size(), 9u);
    EXPECT_THAT(std::vector<std::string>(order.begin(), order.begin() + 9),
                ElementsAre("apiVersion", "name", "version", "author", "description", "setFunctionPointers",
                            "registerPluginID", "init", "init"));
    EXPECT_EQ(client.info().name, "Test Plugin");
    EXPECT_EQ(client.info().apiVersion, 21);
    EXPECT_EQ(client.info().pluginId, "clientsim_testplugin");
    EXPECT_EQ(client.info().commandKeyword, "test");
    // init already knew the id; the plugin kept a copy of the table although the
    // client's own copy was wiped right after setFunctionPointers returned
    EXPECT_THAT(pluginLog(), ElementsAre("registered clientsim_testplugin",
                                         AllOf(HasSubstr("init id=clientsim_testplugin"), HasSubstr("app=/"))));
    ASSERT_EQ(client.info().menus.size(), 2u);
    EXPECT_EQ(client.info().menus[0].text, "Client item");
    EXPECT_EQ(client.info().menus[1].type, PLUGIN_MENU_TYPE_CHANNEL);
    EXPECT_EQ(client.info().menuIcon, "t.png");
    ASSERT_EQ(client.info().hotkeys.size(), 1u);
    EXPECT_EQ(client.info().hotkeys[0].first, "key_1");
    // what init took from the client went back through freeMemory
    EXPECT_EQ(client.outstandingBlocks(), 0u);

    client.unload();
    EXPECT_FALSE(client.loaded());
    EXPECT_THAT(pluginLog().back(), HasSubstr("shutdown"));
}

TEST_F(ClientTest, CanRegisterTheIdAfterInit)
{
    clientsim::LoadOptions options;
    options.registerBeforeInit = false;
    options.pluginId = "custom-id";
    ASSERT_TRUE(client.load(CLIENTSIM_TESTPLUGIN, options));
    auto log = pluginLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_THAT(log[0], HasSubstr("init id=none"));
    EXPECT_EQ(log[1], "registered custom-id");
}

TEST_F(ClientTest, RefusesPluginsItCannotRun)
{
    EXPECT_FALSE(client.load(CLIENTSIM_BADAPIPLUGIN));
    EXPECT_THAT(client.lastError(), HasSubstr("Api version is not compatible: Test Plugin (minimum: 21, current: 22)"));
    for (const auto& e : client.events())
        EXPECT_NE(e.name, "init");

    EXPECT_FALSE(client.load("/nonexistent/plugin.so"));
    EXPECT_THAT(client.lastError(), HasSubstr("Plugin failed to load"));

    setenv("TESTPLUGIN_FAIL_INIT", "1", 1);
    bool loaded = client.load(CLIENTSIM_TESTPLUGIN);
    unsetenv("TESTPLUGIN_FAIL_INIT");
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(client.loaded());
    // a plugin whose init failed can be loaded again afterwards
    EXPECT_TRUE(client.load(CLIENTSIM_TESTPLUGIN));
}

TEST_F(ClientTest, TableHasEveryMemberAndAnswersUnknownOnesWithAnError)
{
    TS3Functions table = clientsim::makeFunctionTable();
    void* slots[RD_TS3_FUNCTION_COUNT];
    static_assert(sizeof slots == sizeof table);
    std::memcpy(slots, &table, sizeof table);
    for (int i = 0; i < RD_TS3_FUNCTION_COUNT; ++i)
        EXPECT_NE(slots[i], nullptr) << clientsim::functionNames()[i];
    EXPECT_EQ(clientsim::functionNames()[182], "getPluginPath");

    clientsim::u64 h = loadAndConnect();
    EXPECT_EQ(client.processCommand(h, "unknown"), 0);
    EXPECT_TRUE(logHas("unknown 2")); // ERROR_not_implemented
    auto calls = client.callsNamed("requestBanList");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].result, "0x0002 [not implemented]");
}

TEST_F(ClientTest, ConnectsStepByStepAndRecordsThePluginsCalls)
{
    clientsim::u64 h = loadAndConnect("Gateway One");
    EXPECT_EQ(h, 1u); // the empty first tab is used
    auto log = pluginLog();
    EXPECT_THAT(log, Contains("status h=1 1 err=0"));
    EXPECT_THAT(log, Contains("status h=1 4 err=0 own=1 ch=1 server=Test Server"));
    EXPECT_EQ(client.model().connectionStatus(h), 4);
    EXPECT_EQ(client.model().selfVariable(h, clientsim::prop::Nickname), "Gateway One");
    // the calls made in the status-4 callback, with their arguments and results
    std::vector<std::string> texts = client.callTexts();
    EXPECT_THAT(texts, Contains("getServerVariableAsString(1, 1, <out>)"));
    EXPECT_THAT(texts,
                Contains("logMessage(\"status h=1 4 err=0 own=1 ch=1 server=Test Server\", 4, \"testplugin\", 0)"));
    EXPECT_EQ(client.outstandingBlocks(), 0u);

    // an unknown server: connecting, then disconnected with an error
    clientsim::u64 h2 = client.connect("10.9.9.9", "Nobody");
    client.waitIdle();
    EXPECT_NE(h2, h);
    EXPECT_TRUE(logHas("status h=" + std::to_string(h2) + " 0 err=" + std::to_string(ERROR_connection_lost)));
    EXPECT_EQ(client.model().connectionStatus(h2), 0);
}

TEST_F(ClientTest, UsersJoinMoveAndLeaveWithVisibility)
{
    clientsim::u64 h = loadAndConnect();
    client.userJoin("S1", 7, "Alice", 1);
    client.userMove("S1", 7, 2);
    client.userMove("S1", 7, 1, 1, ""); // moved back by our own client (id 1)
    client.userLeave("S1", 7, "bye");
    auto log = pluginLog();
    EXPECT_THAT(log, Contains("move h=1 client=7 Alice 0->1 vis=0 msg="));
    EXPECT_THAT(log, Contains("move h=1 client=7 Alice 1->2 vis=1 msg="));
    EXPECT_THAT(log, Contains("moved h=1 client=7 2->1 vis=1 by=1 Gate"));
    // the leaving user's name is still readable during its leave callback
    EXPECT_THAT(log, Contains("move h=1 client=7 Alice 1->0 vis=2 msg=bye"));
    EXPECT_FALSE(client.model().userChannel("S1", 7).has_value());

    // after unsubscribing everything only moves touching the own channel are seen
    TS3Functions f = clientsim::makeFunctionTable();
    ASSERT_EQ(f.requestChannelUnsubscribeAll(h, ""), ERROR_ok);
    client.userJoin("S1", 8, "Bob", 2);
    client.userMove("S1", 8, 3);
    client.userMove("S1", 8, 1);
    log = pluginLog();
    EXPECT_THAT(log, Not(Contains(HasSubstr("client=8 Bob 0->2"))));
    EXPECT_THAT(log, Contains("move h=1 client=8 Bob 3->1 vis=0 msg="));
    clientsim::u64 ch = 0;
    EXPECT_EQ(f.getChannelOfClient(h, 8, &ch), ERROR_ok);
    EXPECT_EQ(ch, 1u);
}

TEST_F(ClientTest, TalkWhisperTextAndPokeReachTheRightHandler)
{
    clientsim::u64 h = loadAndConnect();
    client.userJoin("S1", 7, "Alice", 1);
    client.userJoin("S1", 9, "Far", 2);
    client.userTalk("S1", 7, 1);
    client.userTalk("S1", 9, 1); // another channel: not heard
    client.userWhisper("S1", 9, 1, 1);
    client.userText("S1", 7, TextMessageTarget_CLIENT, 1, "hello there");
    client.userText("S1", 7, TextMessageTarget_CLIENT, 1, "hide me");
    client.userText("S1", 7, TextMessageTarget_CHANNEL, 0, "to the channel");
    client.userPoke("S1", 7, 1, "wake up");
    auto log = pluginLog();
    EXPECT_THAT(log, Contains("talk h=1 client=7 status=1 whisper=0"));
    EXPECT_THAT(log, Not(Contains(HasSubstr("client=9 status=1 whisper=0"))));
    EXPECT_THAT(log, Contains("talk h=1 client=9 status=1 whisper=1"));
    EXPECT_THAT(log, Contains("text h=1 mode=1 to=1 from=7 Alice: hello there"));
    EXPECT_THAT(log, Contains("text h=1 mode=2 to=0 from=7 Alice: to the channel"));
    EXPECT_THAT(log, Contains("poke h=1 from=7 Alice: wake up"));
    // the client shows what the plugin did not take over (return 0)
    auto shown = client.model().shown();
    EXPECT_THAT(shown, Contains(HasSubstr("hello there")));
    EXPECT_THAT(shown, Not(Contains(HasSubstr("hide me"))));
    EXPECT_THAT(shown, Not(Contains(HasSubstr("wake up"))));

    int talking = 0;
    TS3Functions f = clientsim::makeFunctionTable();
    EXPECT_EQ(f.getClientVariableAsInt(h, 7, CLIENT_FLAG_TALKING, &talking), ERROR_ok);
    EXPECT_EQ(talking, 1);
}

TEST_F(ClientTest, PluginCommandsReachTheOtherHandlersOnTheSameServer)
{
    clientsim::u64 a = loadAndConnect("GateA");
    clientsim::u64 b = client.connect("127.0.0.1:9987", "GateB");
    client.addServer("S2", "other.example:9987", "Other");
    clientsim::u64 c = client.connect("other.example", "GateC");
    client.waitIdle();
    ASSERT_EQ(client.model().connectionStatus(b), 4);
    ASSERT_EQ(client.model().connectionStatus(c), 4);
    // A saw B's own client arrive
    EXPECT_TRUE(logHas("move h=" + std::to_string(a) + " client=2 GateB 0->1 vis=0"));

    client.processCommand(a, "send GATE_PING fromID=1");
    auto log = pluginLog();
    EXPECT_THAT(log, Contains("plugincmd h=" + std::to_string(b) + " clientsim_testplugin: GATE_PING fromID=1"));
    EXPECT_THAT(log, Contains("plugincmd h=" + std::to_string(a) + " clientsim_testplugin: GATE_PING fromID=1"));
    EXPECT_THAT(log, Not(Contains(HasSubstr("plugincmd h=" + std::to_string(c)))));

    client.setEcho(false);
    client.processCommand(a, "send SECOND");
    log = pluginLog();
    EXPECT_THAT(log, Contains(HasSubstr("plugincmd h=" + std::to_string(b) + " clientsim_testplugin: SECOND")));
    EXPECT_THAT(log, Not(Contains(HasSubstr("plugincmd h=" + std::to_string(a) + " clientsim_testplugin: SECOND"))));
}

TEST_F(ClientTest, RequestsAnswerThroughServerErrorsWithTheReturnCode)
{
    clientsim::u64 h = loadAndConnect();
    client.clearTrace();
    client.processCommand(h, "move 2");
    client.waitIdle();
    // the call is recorded before the move it causes, then the ok with the return code
    std::vector<std::string> order;
    for (const auto& e : client.trace())
        if (e.name == "requestClientMove" || e.name == "onClientMoveEvent" || e.name == "onServerErrorEvent")
            order.push_back(e.name + (e.result.empty() ? "" : " " + e.result));
    EXPECT_THAT(order,
                ElementsAre("requestClientMove 0", "onClientMoveEvent", "onServerErrorEvent", "onServerErrorEvent 1"));
    EXPECT_TRUE(logHas("error h=1 0 ok rc=PR:clientsim_testplugin:1"));
    EXPECT_EQ(client.model().ownChannel(h), 2u);

    client.processCommand(h, "move 99");
    EXPECT_TRUE(logHas("error h=1 " + std::to_string(ERROR_channel_invalid_id) + " invalid channelID rc=PR:"));
    client.processCommand(h, "move 4"); // password protected
    EXPECT_TRUE(logHas("error h=1 " + std::to_string(ERROR_parameter_invalid)));
    EXPECT_EQ(client.model().ownChannel(h), 2u);

    // an injected fault answers the call itself
    client.failNext("requestClientMove", ERROR_not_connected);
    client.processCommand(h, "move 1");
    EXPECT_EQ(client.callsNamed("requestClientMove").back().result, "0x0702 [injected]");
    EXPECT_EQ(client.model().ownChannel(h), 2u);
}

TEST_F(ClientTest, OwnVariablesChangeOnFlush)
{
    clientsim::u64 h = loadAndConnect();
    client.processCommand(h, "ptt 0"); // input deactivated 0 -> 1
    client.processCommand(h, "ptt 0"); // unchanged
    client.processCommand(h, "ptt 1"); // 1 -> 0
    auto log = pluginLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "selfvar h=1 flag=10 0->1"), 1);
    EXPECT_THAT(log, Contains("selfvar h=1 flag=10 1->0"));
    auto flushes = client.callsNamed("flushClientSelfUpdates");
    ASSERT_EQ(flushes.size(), 3u);
    EXPECT_EQ(flushes[0].result, "0");
    EXPECT_EQ(flushes[1].result, "0x0003"); // nothing changed: ERROR_ok_no_update
    EXPECT_EQ(client.model().selfVariable(h, CLIENT_INPUT_DEACTIVATED), "0");

    TS3Functions f = clientsim::makeFunctionTable();
    EXPECT_EQ(f.setClientSelfVariableAsInt(h, CLIENT_DATABASE_ID, 5), ERROR_parameter_invalid);
    EXPECT_EQ(f.setClientSelfVariableAsInt(h, CLIENT_AWAY, 1), ERROR_ok);
    EXPECT_EQ(client.model().selfVariable(h, CLIENT_AWAY), "0"); // not before the flush
    EXPECT_EQ(f.flushClientSelfUpdates(h, ""), ERROR_ok);
    EXPECT_EQ(client.model().selfVariable(h, CLIENT_AWAY), "1");
    EXPECT_TRUE(logHas("selfvar h=1 flag=38 0->1"));
}

TEST_F(ClientTest, PlaysOnlyReadableWaveFiles)
{
    clientsim::u64 h = loadAndConnect();
    std::string wav = std::string(RD_BINARY_DIR) + "/clientsim_test_tone.wav";
    {
        std::ofstream out(wav, std::ios::binary);
        const char header[] = "RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00";
        out.write(header, sizeof header - 1);
    }
    std::string text = std::string(RD_BINARY_DIR) + "/clientsim_test_not.wav";
    std::ofstream(text) << "just text, not a wave file";
    client.processCommand(h, "wave " + wav);
    client.processCommand(h, "wave " + text);
    client.processCommand(h, "wave /nonexistent.wav");
    auto log = pluginLog();
    EXPECT_THAT(log, Contains("wave 0"));
    EXPECT_EQ(std::count(log.begin(), log.end(), "wave " + std::to_string(ERROR_parameter_invalid)), 2);
    auto waves = client.model().waves();
    ASSERT_EQ(waves.size(), 1u);
    EXPECT_EQ(waves[0].path, wav);
    EXPECT_EQ(waves[0].handler, h);
}

TEST_F(ClientTest, TracksMemoryHandedToThePlugin)
{
    clientsim::u64 h = loadAndConnect();
    EXPECT_EQ(client.outstandingBlocks(), 0u);
    client.processCommand(h, "leak");
    EXPECT_EQ(client.outstandingBlocks(), 1u);
    TS3Functions f = clientsim::makeFunctionTable();
    int local = 0;
    EXPECT_EQ(f.freeMemory(&local), ERROR_parameter_invalid);
    EXPECT_EQ(client.invalidFrees(), 1u);
}

TEST_F(ClientTest, ProfilesAndBookmarkTreeAsClientAllocatedBlocks)
{
    loadAndConnect();
    client.addProfile(PLUGIN_GUI_SOUND_CAPTURE, "Default");
    client.addProfile(PLUGIN_GUI_SOUND_CAPTURE, "Radio 1", true);
    clientsim::Bookmark b;
    b.name = "Club";
    b.uuid = "uuid-1";
    b.address = "127.0.0.1";
    client.addBookmark("", b);
    b.name = "Deep";
    b.uuid = "uuid-2";
    client.addBookmark("Folder/Inner", b);

    TS3Functions f = clientsim::makeFunctionTable();
    int def = -1;
    char** names = nullptr;
    ASSERT_EQ(f.getProfileList(PLUGIN_GUI_SOUND_CAPTURE, &def, &names), ERROR_ok);
    EXPECT_EQ(def, 1);
    EXPECT_STREQ(names[0], "Default");
    EXPECT_STREQ(names[1], "Radio 1");
    EXPECT_EQ(names[2], nullptr);
    for (int i = 0; names[i]; ++i)
        f.freeMemory(names[i]);
    f.freeMemory(names);

    PluginBookmarkList* list = nullptr;
    ASSERT_EQ(f.getBookmarkList(&list), ERROR_ok);
    ASSERT_EQ(list->itemcount, 2);
    EXPECT_STREQ(list->items[0].name, "Club");
    EXPECT_EQ(list->items[0].isFolder, 0);
    EXPECT_STREQ(list->items[0].uuid, "uuid-1");
    EXPECT_STREQ(list->items[1].name, "Folder");
    ASSERT_EQ(list->items[1].isFolder, 1);
    PluginBookmarkList* inner = list->items[1].folder->items[0].folder;
    ASSERT_EQ(inner->itemcount, 1);
    EXPECT_STREQ(inner->items[0].uuid, "uuid-2");
    // released depth-first, every part through freeMemory
    std::function<void(PluginBookmarkList*)> release = [&](PluginBookmarkList* l) {
        for (int i = 0; i < l->itemcount; ++i) {
            if (l->items[i].isFolder)
                release(l->items[i].folder);
            else
                f.freeMemory(l->items[i].uuid);
            f.freeMemory(l->items[i].name);
        }
        f.freeMemory(l);
    };
    release(list);
    EXPECT_EQ(client.outstandingBlocks(), 0u);

    clientsim::u64 h = 0;
    ASSERT_EQ(f.guiConnectBookmark(PLUGIN_CONNECT_TAB_NEW, "uuid-2", &h), ERROR_ok);
    client.waitIdle();
    EXPECT_EQ(client.model().connectionStatus(h), 4);
    EXPECT_EQ(f.guiConnectBookmark(PLUGIN_CONNECT_TAB_NEW, "nope", &h), ERROR_parameter_invalid);
}

TEST_F(ClientTest, StoppingAConnectionAndUnloading)
{
    clientsim::u64 h = loadAndConnect();
    client.processCommand(h, "stop bye");
    EXPECT_TRUE(logHas("status h=1 0 err=0"));
    EXPECT_EQ(client.model().connectionStatus(h), 0);
    TS3Functions f = clientsim::makeFunctionTable();
    EXPECT_EQ(f.stopConnection(h, ""), ERROR_not_connected);

    h = client.connect("127.0.0.1:9987", "Again");
    client.waitIdle();
    ASSERT_EQ(client.model().connectionStatus(h), 4);
    client.unload();
    size_t before = client.traceSize();
    client.userJoin("S1", 12, "Late", 1);
    client.waitIdle();
    EXPECT_EQ(client.traceSize(), before); // no plugin, no callbacks
    // a call through a table kept after unload reaches no client
    size_t late = client.lateCalls();
    f.logMessage("after unload", LogLevel_INFO, "x", 0);
    EXPECT_EQ(client.lateCalls(), late + 1);
}

TEST_F(ClientTest, MenuHotkeyAndInfoEntryPointsRunOnTheEventThread)
{
    clientsim::u64 h = loadAndConnect();
    client.menuItem(h, PLUGIN_MENU_TYPE_CHANNEL, 2, 3);
    client.hotkey("key_1");
    EXPECT_EQ(client.processCommand(h, "nonsense"), 1);
    auto log = pluginLog();
    EXPECT_THAT(log, Contains("menu h=1 type=1 id=2 selected=3"));
    // callbacks come from the client's event thread, shutdown from the caller's
    std::string self = std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
    EXPECT_THAT(log, Contains(AllOf(HasSubstr("hotkey key_1 thread="), Not(HasSubstr("thread=" + self)))));
    client.unload();
    EXPECT_EQ(pluginLog().back(), "shutdown thread=" + self);
    EXPECT_FALSE(client.infoData(h, 0, PLUGIN_SERVER).has_value()); // not exported by the test plugin
}

} // namespace
