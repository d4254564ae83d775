// Identity, menus, hotkeys, info line, chat console commands, the settings file and the
// configuration dialog, and the plugin's escaping.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "link/wire.h"
#include "plugin/escaping.h"
#include "plugin/ini_file.h"
#include "plugin_fixture.h"

using V = std::vector<std::string>;

TEST(PluginIdentity, TextsMenusHotkeysAndInfoLine)
{
    EXPECT_STREQ(rdplugin::kPluginName, "Relaydeck [LINK]");
    EXPECT_STREQ(rdplugin::kPluginVersion, "3.1.21");
    EXPECT_STREQ(rdplugin::kPluginAuthor, "Wavenest");
    EXPECT_STREQ(rdplugin::kCommandKeyword, "Relaydeck");
    EXPECT_STREQ(
        rdplugin::kPluginDescription,
        "Dieses Plugin stellt die Verbindung zwischen Teamspeak-Client und dem Relaydeck zur Verf\xC3\xBCgung.\r\r"
        "This plugin provides the connection between TeamSpeak3 client and the Relaydeck available.");

    PluginMenuItem** items = nullptr;
    char* icon = nullptr;
    rdplugin::LinkPlugin::initMenus(&items, &icon);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items[0]->type, PLUGIN_MENU_TYPE_CLIENT);
    EXPECT_EQ(items[0]->id, 1);
    EXPECT_STREQ(items[0]->text, "Register Client");
    EXPECT_STREQ(items[0]->icon, "1.png");
    EXPECT_EQ(items[1]->type, PLUGIN_MENU_TYPE_CHANNEL);
    EXPECT_EQ(items[1]->id, 2);
    EXPECT_STREQ(items[1]->text, "MOVE in Channel");
    EXPECT_EQ(items[2], nullptr);
    EXPECT_STREQ(icon, "t.png");
    for (int i = 0; items[i]; ++i)
        std::free(items[i]);
    std::free(items);
    std::free(icon);

    PluginHotkey** keys = nullptr;
    rdplugin::LinkPlugin::initHotkeys(&keys);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(std::string(keys[i]->keyword), "keyword_" + std::to_string(i + 1));
        EXPECT_EQ(std::string(keys[i]->description), "Test hotkey " + std::to_string(i + 1));
        std::free(keys[i]);
    }
    EXPECT_EQ(keys[3], nullptr);
    std::free(keys);

    rdplugin::LinkPlugin plugin;
    char* data = nullptr;
    plugin.infoData(1, 5, PLUGIN_CLIENT, &data);
    ASSERT_NE(data, nullptr);
    const std::string expected =
        "Version: [b][color=#008000]\"3.1.21\" - " + std::to_string(sizeof(void*) * 8) + "Bit[/color][/b]";
    EXPECT_EQ(data, expected);
    EXPECT_LE(std::strlen(data), 127u);
    std::free(data);
}

TEST(PluginEscaping, MatchesTheSharedWireFormat)
{
    const struct {
        const char* text;
        const char* escaped;
    } cases[] = {{"A B", "A^sB"},
                 {"x=y/z", "x^gy^cz"},
                 {"Room 1/2 = ok|x", "Room^s1^c2^s^g^sok^px"},
                 {"", ""},
                 {"\r\n\t\v\\\f\b\a", "^r^n^t^v^b^f^d^a"},
                 {"caret ^ stays", "caret^s^^sstays"}};
    for (const auto& c : cases) {
        EXPECT_EQ(rdplugin::string_escape(c.text), c.escaped) << c.text;
        EXPECT_EQ(rdplugin::string_unescape(c.escaped), c.text) << c.text;
    }
    EXPECT_EQ(rdplugin::string_unescape("^s"), " ");
    EXPECT_EQ(rdplugin::string_unescape("50^s"), "50 ");
    // The same results as the shared wire format, over every byte pair.
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; b += 3) {
            const std::string t{char(a), char(b), '^', char(b)};
            ASSERT_EQ(rdplugin::string_escape(t), rdlink::escape(t));
            ASSERT_EQ(rdplugin::string_unescape(t), rdlink::unescape(t));
        }
}

class SettingsFile : public PluginFixture {};

TEST_F(SettingsFile, IniKeepsOtherLinesAndWritesAtomically)
{
    const std::string path = (dir / "other.ini").string();
    std::ofstream(path) << "; comment\n[General]\nPORT=1\n[linksettings]\nName = x\n\n[Last]\nA=1\n";
    EXPECT_EQ(rdplugin::iniRead(path, "LINKSettings", "PORT", "26001"), "26001");
    ASSERT_TRUE(rdplugin::iniWrite(path, "LINKSettings", "PORT", "26010"));
    EXPECT_EQ(rdplugin::iniRead(path, "LINKSettings", "PORT", "26001"), "26010");
    EXPECT_EQ(rdplugin::iniRead(path, "General", "port", ""), "1");
    EXPECT_EQ(rdplugin::iniRead(path, "Last", "A", ""), "1");
    EXPECT_EQ(rdplugin::iniRead(path, "LINKSettings", "name", ""), "x");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    ASSERT_TRUE(rdplugin::iniWrite(path, "LINKSettings", "PORT", "26011"));
    EXPECT_EQ(rdplugin::iniRead(path, "LINKSettings", "PORT", "26001"), "26011");
    const std::string fresh = (dir / "new.ini").string();
    ASSERT_TRUE(rdplugin::iniWrite(fresh, "LINKSettings", "PORT", "26012"));
    EXPECT_EQ(rdplugin::iniRead(fresh, "LINKSettings", "PORT", ""), "26012");
}

TEST_F(SettingsFile, ConfigurationDialogSavesOnlyNumbers)
{
    std::ofstream(settings, std::ios::trunc) << "[LINKSettings]\r\nPORT=26005\r\n";
    auto content = [&] {
        std::ifstream in(settings);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    const std::string before = content();
    const struct {
        const char* text;
        bool saved;
    } cases[] = {{"abc", false}, {"", false}, {"12a", false}, {"99999", false}, {"0", false}, {"26010", true}};
    for (const auto& c : cases) {
        rdplugin::ConfigDialog dialog(settings);
        EXPECT_EQ(dialog.portText(), c.saved ? "26005" : dialog.portText());
        dialog.setPortText(c.text);
        EXPECT_EQ(dialog.save(), c.saved) << c.text;
        EXPECT_EQ(dialog.errorVisible(), !c.saved) << c.text;
        EXPECT_EQ(dialog.closed(), c.saved) << c.text;
        if (!c.saved) {
            EXPECT_EQ(content(), before) << c.text;
        }
    }
    EXPECT_EQ(rdplugin::iniRead(settings, "LINKSettings", "PORT", ""), "26010");
    rdplugin::ConfigDialog reopened(settings);
    EXPECT_EQ(reopened.portText(), "26010");

    // ts3plugin_configure shows the dialog through the presenter, over the client's
    // widget; a dialog that cannot be shown says why in the client log.
    std::string shown;
    void* parentSeen = nullptr;
    int parentWidget = 0;
    rdplugin::setDialogPresenter([&](rdplugin::ConfigDialog& d, void* parent) {
        shown = d.portText();
        parentSeen = parent;
        return std::string();
    });
    plugin->configure(nullptr, &parentWidget);
    EXPECT_EQ(shown, "26010");
    EXPECT_EQ(parentSeen, &parentWidget);
    rdplugin::setDialogPresenter([](rdplugin::ConfigDialog&, void*) { return std::string("no Qt here"); });
    fake::model().log.clear();
    plugin->configure(nullptr, nullptr);
    rdplugin::setDialogPresenter(nullptr);
    EXPECT_EQ(fake::model().log, V{"3|Relaydeck[LINK]|Configuration dialog: no Qt here"});
}

TEST_F(SettingsFile, ChatConsoleCommands)
{
    gateway(3, 10, 5);
    fake::model().clearCalls();
    const struct {
        const char* text;
        int result;
        V actions;
        V tab;
    } cases[] = {
        {"join 6 pw", 0, {"requestClientMove(3,10,6,pw,rc)"}, {}},
        {"join", 0, {}, {"Missing channel ID parameter."}},
        {"command GATE_HELLO", 0, {"sendPluginCommand(3,rdtest,GATE_HELLO,0,NULL,rc)"}, {}},
        {"command", 0, {}, {"Missing command parameter."}},
        {"serverinfo", 0, {}, {"Server Connect Info: radio.example.org:9987"}},
        {"channelinfo", 0, {}, {"Channel Connect Info: Lobby"}},
        {"enablemenu 2 0", 0, {"setPluginMenuEnabled(rdtest,2,0)"}, {}},
        {"subscribe 6", 0, {"requestChannelSubscribe(3,[6],rc)"}, {}},
        {"unsubscribe 6", 0, {"requestChannelUnsubscribe(3,[6],rc)"}, {}},
        {"subscribeall", 0, {"requestChannelSubscribeAll(3,rc)"}, {}},
        {"unsubscribeall", 0, {"requestChannelUnsubscribeAll(3,rc)"}, {}},
        {"avatar 10", 0, {}, {}},
        {"dance", 1, {}, {}},
    };
    for (const auto& c : cases) {
        fake::model().clearCalls();
        EXPECT_EQ(plugin->processCommand(3, c.text), c.result) << c.text;
        EXPECT_EQ(fake::model().actions(), c.actions) << c.text;
        std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
        EXPECT_EQ(fake::model().tab, c.tab) << c.text;
    }
    fake::model().failing = {"getServerConnectInfo", "requestChannelSubscribe"};
    fake::model().clearCalls();
    plugin->processCommand(3, "serverinfo");
    plugin->processCommand(3, "subscribe 6");
    std::lock_guard<std::recursive_mutex> l(fake::model().mutex);
    EXPECT_EQ(fake::model().tab, V{"No server connect info available."});
    EXPECT_EQ(fake::model().log, V{"1|Plugin|Error subscribing channel"});
}
