// A small plugin for the substitute client's own tests. It reports what it sees through
// the client's logMessage (channel "testplugin"), so a test reads the plugin's view from
// the client's log, and it drives a few client functions from its chat command.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "plugin/ts3_abi.h"

#ifndef TESTPLUGIN_API_VERSION
#define TESTPLUGIN_API_VERSION 21
#endif

namespace {

TS3Functions funcs;
bool haveFuncs = false;
std::string pluginId;

void say(const std::string& text)
{
    if (haveFuncs)
        funcs.logMessage(text.c_str(), LogLevel_INFO, "testplugin", 0);
}

std::string num(unsigned long long v)
{
    return std::to_string(v);
}

std::string threadTag()
{
    return std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

} // namespace

extern "C" {

RD_TS3_EXPORT const char* ts3plugin_name()
{
    return "Test Plugin";
}
RD_TS3_EXPORT const char* ts3plugin_version()
{
    return "1.0";
}
RD_TS3_EXPORT int ts3plugin_apiVersion()
{
    return TESTPLUGIN_API_VERSION;
}
RD_TS3_EXPORT const char* ts3plugin_author()
{
    return "clientsim";
}
RD_TS3_EXPORT const char* ts3plugin_description()
{
    return "Plugin used by the clientsim tests";
}

RD_TS3_EXPORT void ts3plugin_setFunctionPointers(const struct TS3Functions f)
{
    funcs = f;
    haveFuncs = true;
}

RD_TS3_EXPORT int ts3plugin_init()
{
    char path[512] = {};
    funcs.getAppPath(path, sizeof path);
    char* version = nullptr;
    if (funcs.getClientLibVersion(&version) == ERROR_ok)
        funcs.freeMemory(version);
    say("init id=" + (pluginId.empty() ? std::string("none") : pluginId) + " app=" + path);
    return std::getenv("TESTPLUGIN_FAIL_INIT") ? 1 : 0;
}

RD_TS3_EXPORT void ts3plugin_shutdown()
{
    say("shutdown thread=" + threadTag());
    // The library may stay mapped after dlclose; start clean on the next load.
    pluginId.clear();
    haveFuncs = false;
}

RD_TS3_EXPORT void ts3plugin_registerPluginID(const char* id)
{
    pluginId = id;
    say("registered " + pluginId);
}

RD_TS3_EXPORT const char* ts3plugin_commandKeyword()
{
    return "test";
}

RD_TS3_EXPORT void ts3plugin_freeMemory(void* data)
{
    std::free(data);
}

RD_TS3_EXPORT void ts3plugin_initMenus(struct PluginMenuItem*** menuItems, char** menuIcon)
{
    *menuItems = static_cast<PluginMenuItem**>(std::calloc(3, sizeof(PluginMenuItem*)));
    for (int i = 0; i < 2; ++i) {
        PluginMenuItem* item = static_cast<PluginMenuItem*>(std::calloc(1, sizeof(PluginMenuItem)));
        item->type = i == 0 ? PLUGIN_MENU_TYPE_CLIENT : PLUGIN_MENU_TYPE_CHANNEL;
        item->id = i + 1;
        std::snprintf(item->text, PLUGIN_MENU_BUFSZ, "%s", i == 0 ? "Client item" : "Channel item");
        std::snprintf(item->icon, PLUGIN_MENU_BUFSZ, "1.png");
        (*menuItems)[i] = item;
    }
    *menuIcon = static_cast<char*>(std::calloc(PLUGIN_MENU_BUFSZ, 1));
    std::snprintf(*menuIcon, PLUGIN_MENU_BUFSZ, "t.png");
}

RD_TS3_EXPORT void ts3plugin_initHotkeys(struct PluginHotkey*** hotkeys)
{
    *hotkeys = static_cast<PluginHotkey**>(std::calloc(2, sizeof(PluginHotkey*)));
    PluginHotkey* key = static_cast<PluginHotkey*>(std::calloc(1, sizeof(PluginHotkey)));
    std::snprintf(key->keyword, PLUGIN_HOTKEY_BUFSZ, "key_1");
    std::snprintf(key->description, PLUGIN_HOTKEY_BUFSZ, "First key");
    (*hotkeys)[0] = key;
}

RD_TS3_EXPORT void ts3plugin_onConnectStatusChangeEvent(uint64 h, int status, unsigned int error)
{
    std::string line = "status h=" + num(h) + " " + num(status) + " err=" + num(error);
    if (status == STATUS_CONNECTION_ESTABLISHED) {
        anyID own = 0;
        uint64 channel = 0;
        char* name = nullptr;
        if (funcs.getClientID(h, &own) == ERROR_ok)
            line += " own=" + num(own);
        if (funcs.getChannelOfClient(h, own, &channel) == ERROR_ok)
            line += " ch=" + num(channel);
        if (funcs.getServerVariableAsString(h, 1, &name) == ERROR_ok) {
            line += " server=" + std::string(name);
            funcs.freeMemory(name);
        }
    }
    say(line);
}

RD_TS3_EXPORT void ts3plugin_onClientMoveEvent(uint64 h, anyID client, uint64 from, uint64 to, int visibility,
                                               const char* message)
{
    char name[64] = {};
    funcs.getClientDisplayName(h, client, name, sizeof name);
    say("move h=" + num(h) + " client=" + num(client) + " " + name + " " + num(from) + "->" + num(to) +
        " vis=" + num(visibility) + " msg=" + message);
}

RD_TS3_EXPORT void ts3plugin_onClientMoveMovedEvent(uint64 h, anyID client, uint64 from, uint64 to, int visibility,
                                                    anyID mover, const char* moverName, const char*, const char*)
{
    say("moved h=" + num(h) + " client=" + num(client) + " " + num(from) + "->" + num(to) + " vis=" + num(visibility) +
        " by=" + num(mover) + " " + moverName);
}

RD_TS3_EXPORT void ts3plugin_onTalkStatusChangeEvent(uint64 h, int status, int whisper, anyID client)
{
    say("talk h=" + num(h) + " client=" + num(client) + " status=" + num(status) + " whisper=" + num(whisper));
}

RD_TS3_EXPORT int ts3plugin_onTextMessageEvent(uint64 h, anyID mode, anyID to, anyID from, const char* fromName,
                                               const char*, const char* message, int)
{
    say("text h=" + num(h) + " mode=" + num(mode) + " to=" + num(to) + " from=" + num(from) + " " + fromName + ": " +
        message);
    return std::strncmp(message, "hide", 4) == 0 ? 1 : 0;
}

RD_TS3_EXPORT int ts3plugin_onClientPokeEvent(uint64 h, anyID from, const char* name, const char*, const char* message,
                                              int)
{
    say("poke h=" + num(h) + " from=" + num(from) + " " + name + ": " + message);
    return 1;
}

RD_TS3_EXPORT void ts3plugin_onClientSelfVariableUpdateEvent(uint64 h, int flag, const char* oldValue,
                                                             const char* newValue)
{
    say("selfvar h=" + num(h) + " flag=" + num(flag) + " " + oldValue + "->" + newValue);
}

RD_TS3_EXPORT int ts3plugin_onServerErrorEvent(uint64 h, const char* message, unsigned int error,
                                               const char* returnCode, const char*)
{
    say("error h=" + num(h) + " " + num(error) + " " + message + " rc=" + (returnCode ? returnCode : ""));
    return returnCode && *returnCode ? 1 : 0;
}

RD_TS3_EXPORT void ts3plugin_onPluginCommandEvent(uint64 h, const char* pluginName, const char* command)
{
    say("plugincmd h=" + num(h) + " " + pluginName + ": " + command);
}

RD_TS3_EXPORT void ts3plugin_onMenuItemEvent(uint64 h, enum PluginMenuType type, int id, uint64 selected)
{
    say("menu h=" + num(h) + " type=" + num(type) + " id=" + num(id) + " selected=" + num(selected));
}

RD_TS3_EXPORT void ts3plugin_onHotkeyEvent(const char* keyword)
{
    say(std::string("hotkey ") + keyword + " thread=" + threadTag());
}

// Chat command "/test <word> <arg>": drives client functions for the tests.
RD_TS3_EXPORT int ts3plugin_processCommand(uint64 h, const char* command)
{
    std::string cmd(command);
    std::string word = cmd.substr(0, cmd.find(' '));
    std::string arg = cmd.find(' ') == std::string::npos ? "" : cmd.substr(cmd.find(' ') + 1);
    char rc[128] = {};
    funcs.createReturnCode(pluginId.c_str(), rc, sizeof rc);
    if (word == "move") {
        anyID own = 0;
        if (funcs.getClientID(h, &own) != ERROR_ok)
            return 0;
        funcs.requestClientMove(h, own, std::strtoull(arg.c_str(), nullptr, 10), "", rc);
    } else if (word == "send") {
        funcs.sendPluginCommand(h, pluginId.c_str(), arg.c_str(), PluginCommandTarget_SERVER, nullptr, rc);
    } else if (word == "ptt") {
        if (funcs.setClientSelfVariableAsInt(h, CLIENT_INPUT_DEACTIVATED, arg == "1" ? 0 : 1) == ERROR_ok)
            funcs.flushClientSelfUpdates(h, rc);
    } else if (word == "wave") {
        say("wave " + num(funcs.playWaveFile(h, arg.c_str())));
    } else if (word == "mute") {
        anyID ids[2] = {static_cast<anyID>(std::atoi(arg.c_str())), 0};
        funcs.requestMuteClients(h, ids, rc);
    } else if (word == "stop") {
        funcs.stopConnection(h, arg.c_str());
    } else if (word == "leak") {
        char* v = nullptr;
        funcs.getClientLibVersion(&v); // deliberately not freed
    } else if (word == "unknown") {
        say("unknown " + num(funcs.requestBanList(h, rc)));
    } else {
        return 1;
    }
    return 0;
}

} // extern "C"
