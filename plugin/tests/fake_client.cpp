#include "fake_client.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace fake {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

char* dup(Model& m, const std::string& s)
{
    char* p = static_cast<char*>(std::malloc(s.size() + 1));
    std::memcpy(p, s.c_str(), s.size() + 1);
    ++m.outstanding;
    return p;
}

template <class T>
T* block(Model& m, size_t bytes)
{
    ++m.outstanding;
    return static_cast<T*>(std::calloc(1, bytes));
}

std::string s(const char* p)
{
    return p ? std::string(p) : std::string("NULL");
}

template <class... A>
std::string call(const char* name, const A&... args)
{
    std::ostringstream o;
    o << name << "(";
    int i = 0;
    ((o << (i++ ? "," : "") << args), ...);
    o << ")";
    return o.str();
}

template <class T>
std::string list(const T* ids)
{
    std::string out = "[";
    for (const T* p = ids; p && *p; ++p)
        out += (p == ids ? "" : ",") + std::to_string(*p);
    return out + "]";
}

Model& M()
{
    return model();
}

#define FAILS(name)                                                                                                    \
    if (M().fails(name))                                                                                               \
    return ERROR_undefined

// --- the implemented members ---------------------------------------------------------

unsigned int getClientLibVersion(char** result)
{
    Lock l(M().mutex);
    M().record("getClientLibVersion()");
    FAILS("getClientLibVersion");
    *result = dup(M(), M().libVersion);
    return ERROR_ok;
}

unsigned int freeMemory(void* p)
{
    Lock l(M().mutex);
    if (p) {
        --M().outstanding;
        std::free(p);
    }
    return ERROR_ok;
}

unsigned int logMessage(const char* text, LogLevel level, const char* channel, uint64)
{
    Lock l(M().mutex);
    M().log.push_back(std::to_string(int(level)) + "|" + s(channel) + "|" + s(text));
    return ERROR_ok;
}

void copyPath(char* path, size_t maxLen, const std::string& v)
{
    std::snprintf(path, maxLen, "%s", v.c_str());
}
void getAppPath(char* path, size_t maxLen)
{
    Lock l(M().mutex);
    M().record("getAppPath()");
    copyPath(path, maxLen, M().appPath);
}
void getResourcesPath(char* path, size_t maxLen)
{
    copyPath(path, maxLen, "/opt/ts3client/res/");
}
void getConfigPath(char* path, size_t maxLen)
{
    copyPath(path, maxLen, "/home/op/.ts3client/");
}
void getPluginPath(char* path, size_t maxLen, const char* id)
{
    Lock l(M().mutex);
    M().record(call("getPluginPath", s(id)));
    copyPath(path, maxLen, "/home/op/.ts3client/plugins/");
}

void printMessageToCurrentTab(const char* message)
{
    Lock l(M().mutex);
    M().tab.push_back(s(message));
}

void setPluginMenuEnabled(const char* id, int menu, int enabled)
{
    Lock l(M().mutex);
    M().record(call("setPluginMenuEnabled", s(id), menu, enabled));
}

unsigned int guiConnect(PluginConnectTab tab, const char* label, const char* address, const char* serverPassword,
                        const char* nickname, const char* channel, const char* channelPassword, const char* capture,
                        const char* playback, const char* hotkey, const char* sound, const char* identity,
                        const char* oneTimeKey, const char* phonetic, uint64* handler)
{
    Lock l(M().mutex);
    M().record(call("guiConnect", int(tab), s(label), s(address), s(serverPassword), s(nickname), s(channel),
                    s(channelPassword), s(capture), s(playback), s(hotkey), s(sound), s(identity), s(oneTimeKey),
                    s(phonetic)));
    FAILS("guiConnect");
    *handler = M().nextHandler++;
    M().handler(*handler).status = STATUS_CONNECTING;
    return ERROR_ok;
}

unsigned int guiConnectBookmark(PluginConnectTab tab, const char* uuid, uint64* handler)
{
    Lock l(M().mutex);
    M().record(call("guiConnectBookmark", int(tab), s(uuid)));
    FAILS("guiConnectBookmark");
    *handler = M().nextHandler++;
    M().handler(*handler).status = STATUS_CONNECTING;
    return ERROR_ok;
}

unsigned int startConnection(uint64 h, const char* identity, const char* ip, unsigned int port, const char* nick,
                             const char** defaultChannel, const char* channelPassword, const char* serverPassword)
{
    Lock l(M().mutex);
    M().record(call("startConnection", h, s(identity), s(ip), port, s(nick), defaultChannel ? "chan" : "NULL",
                    s(channelPassword), s(serverPassword)));
    return ERROR_ok;
}

unsigned int stopConnection(uint64 h, const char* quit)
{
    Lock l(M().mutex);
    M().record(call("stopConnection", h, s(quit)));
    FAILS("stopConnection");
    M().handler(h).status = STATUS_DISCONNECTED;
    return ERROR_ok;
}

unsigned int getConnectionStatus(uint64 h, int* result)
{
    Lock l(M().mutex);
    M().record(call("getConnectionStatus", h));
    FAILS("getConnectionStatus");
    auto it = M().handlers.find(h);
    if (it == M().handlers.end())
        return ERROR_invalid_server_connection_handler_id;
    *result = it->second.status;
    return ERROR_ok;
}

unsigned int getServerConnectionHandlerList(uint64** result)
{
    Lock l(M().mutex);
    M().record("getServerConnectionHandlerList()");
    FAILS("getServerConnectionHandlerList");
    auto* out = block<uint64>(M(), (M().handlers.size() + 1) * sizeof(uint64));
    size_t i = 0;
    for (const auto& kv : M().handlers)
        out[i++] = kv.first;
    *result = out;
    return ERROR_ok;
}

unsigned int requestServerVariables(uint64 h)
{
    Lock l(M().mutex);
    M().record(call("requestServerVariables", h));
    return ERROR_ok;
}

unsigned int getServerVariableAsString(uint64 h, size_t flag, char** result)
{
    Lock l(M().mutex);
    M().record(call("getServerVariableAsString", h, flag));
    FAILS("getServerVariableAsString");
    auto& hd = M().handler(h);
    if (flag != VIRTUALSERVER_NAME || !hd.serverNameReadable)
        return ERROR_undefined;
    *result = dup(M(), hd.serverName);
    return ERROR_ok;
}

unsigned int getServerConnectInfo(uint64 h, char* host, unsigned short* port, char* password, size_t maxLen)
{
    Lock l(M().mutex);
    M().record(call("getServerConnectInfo", h));
    FAILS("getServerConnectInfo");
    std::snprintf(host, maxLen, "radio.example.org");
    std::snprintf(password, maxLen, "%s", "");
    *port = 9987;
    return ERROR_ok;
}

unsigned int getChannelConnectInfo(uint64 h, uint64 channel, char* path, char* password, size_t maxLen)
{
    Lock l(M().mutex);
    M().record(call("getChannelConnectInfo", h, channel));
    FAILS("getChannelConnectInfo");
    std::snprintf(path, maxLen, "%s", M().handler(h).channels[channel].name.c_str());
    std::snprintf(password, maxLen, "%s", "");
    return ERROR_ok;
}

unsigned int getClientID(uint64 h, anyID* result)
{
    Lock l(M().mutex);
    M().record(call("getClientID", h));
    FAILS("getClientID");
    auto& hd = M().handler(h);
    if (!hd.ownClient)
        return ERROR_not_connected;
    *result = hd.ownClient;
    return ERROR_ok;
}

unsigned int getClientSelfVariableAsString(uint64 h, size_t flag, char** result)
{
    Lock l(M().mutex);
    M().record(call("getClientSelfVariableAsString", h, flag));
    FAILS("getClientSelfVariableAsString");
    auto& hd = M().handler(h);
    auto it = hd.clients.find(hd.ownClient);
    if (it == hd.clients.end())
        return ERROR_not_connected;
    if (flag == CLIENT_NICKNAME)
        *result = dup(M(), it->second.nick);
    else if (flag == CLIENT_UNIQUE_IDENTIFIER)
        *result = dup(M(), it->second.uid);
    else
        return ERROR_parameter_invalid;
    return ERROR_ok;
}

unsigned int setClientSelfVariableAsInt(uint64 h, size_t flag, int value)
{
    Lock l(M().mutex);
    M().record(call("setClientSelfVariableAsInt", h, flag, value));
    FAILS("setClientSelfVariableAsInt");
    return ERROR_ok;
}

unsigned int setClientSelfVariableAsString(uint64 h, size_t flag, const char* value)
{
    Lock l(M().mutex);
    M().record(call("setClientSelfVariableAsString", h, flag, s(value)));
    FAILS("setClientSelfVariableAsString");
    return ERROR_ok;
}

unsigned int flushClientSelfUpdates(uint64 h, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("flushClientSelfUpdates", h, M().rc(rc)));
    FAILS("flushClientSelfUpdates");
    return ERROR_ok;
}

unsigned int requestClientEditDescription(uint64 h, anyID client, const char* text, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestClientEditDescription", h, client, s(text), M().rc(rc)));
    return ERROR_ok;
}

unsigned int setPreProcessorConfigValue(uint64 h, const char* ident, const char* value)
{
    Lock l(M().mutex);
    M().record(call("setPreProcessorConfigValue", h, s(ident), s(value)));
    FAILS(("setPreProcessorConfigValue:" + s(ident)).c_str());
    return ERROR_ok;
}

unsigned int setPlaybackConfigValue(uint64 h, const char* ident, const char* value)
{
    Lock l(M().mutex);
    M().record(call("setPlaybackConfigValue", h, s(ident), s(value)));
    FAILS("setPlaybackConfigValue");
    return ERROR_ok;
}

unsigned int setClientVolumeModifier(uint64 h, anyID client, float value)
{
    Lock l(M().mutex);
    M().record(call("setClientVolumeModifier", h, client, value));
    FAILS("setClientVolumeModifier");
    return ERROR_ok;
}

unsigned int playWaveFile(uint64 h, const char* path)
{
    Lock l(M().mutex);
    M().record(call("playWaveFile", h, s(path)));
    return M().readableWaves.count(s(path)) ? ERROR_ok : ERROR_undefined;
}

unsigned int registerCustomDevice(const char* id, const char* name, int cf, int cc, int pf, int pc)
{
    Lock l(M().mutex);
    M().record(call("registerCustomDevice", s(id), s(name), cf, cc, pf, pc));
    return ERROR_ok;
}

unsigned int openCaptureDevice(uint64 h, const char* mode, const char* device)
{
    Lock l(M().mutex);
    M().record(call("openCaptureDevice", h, s(mode), s(device)));
    return ERROR_ok;
}

unsigned int processCustomCaptureData(const char* device, const short* buffer, int samples)
{
    Lock l(M().mutex);
    M().record(call("processCustomCaptureData", s(device), buffer ? "buf" : "NULL", samples));
    return ERROR_ok;
}

unsigned int getProfileList(PluginGuiProfile kind, int* defaultIdx, char*** result)
{
    Lock l(M().mutex);
    M().record(call("getProfileList", int(kind)));
    auto it = M().profiles.find(int(kind));
    if (it == M().profiles.end())
        return ERROR_undefined;
    char** names = block<char*>(M(), (it->second.size() + 1) * sizeof(char*));
    for (size_t i = 0; i < it->second.size(); ++i)
        names[i] = dup(M(), it->second[i]);
    *defaultIdx = M().profileDefault[int(kind)];
    *result = names;
    return ERROR_ok;
}

PluginBookmarkList* makeList(const std::vector<Bookmark>& items)
{
    const size_t bytes =
        sizeof(PluginBookmarkList) + (items.empty() ? 0 : (items.size() - 1)) * sizeof(PluginBookmarkItem);
    auto* list = block<PluginBookmarkList>(M(), bytes);
    list->itemcount = int(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        PluginBookmarkItem& it = list->items[i];
        it.name = dup(M(), items[i].name);
        it.isFolder = items[i].folder ? 1 : 0;
        if (items[i].folder)
            it.folder = makeList(items[i].children);
        else
            it.uuid = dup(M(), items[i].uuid);
    }
    return list;
}

unsigned int getBookmarkList(PluginBookmarkList** list)
{
    Lock l(M().mutex);
    M().record("getBookmarkList()");
    if (!M().bookmarksReadable)
        return ERROR_undefined;
    *list = makeList(M().bookmarks);
    return ERROR_ok;
}

unsigned int getChannelOfClient(uint64 h, anyID client, uint64* result)
{
    Lock l(M().mutex);
    M().record(call("getChannelOfClient", h, client));
    FAILS("getChannelOfClient");
    auto& hd = M().handler(h);
    auto it = hd.clients.find(client);
    if (it == hd.clients.end())
        return ERROR_client_invalid_id;
    *result = it->second.channel;
    return ERROR_ok;
}

unsigned int getChannelClientList(uint64 h, uint64 channel, anyID** result)
{
    Lock l(M().mutex);
    M().record(call("getChannelClientList", h, channel));
    FAILS("getChannelClientList");
    auto& hd = M().handler(h);
    if (!hd.channels.count(channel))
        return ERROR_channel_invalid_id;
    std::vector<anyID> ids;
    for (const auto& kv : hd.clients)
        if (kv.second.channel == channel)
            ids.push_back(kv.first);
    anyID* out = block<anyID>(M(), (ids.size() + 1) * sizeof(anyID));
    for (size_t i = 0; i < ids.size(); ++i)
        out[i] = ids[i];
    *result = out;
    return ERROR_ok;
}

unsigned int getChannelList(uint64 h, uint64** result)
{
    Lock l(M().mutex);
    M().record(call("getChannelList", h));
    auto& hd = M().handler(h);
    std::vector<uint64> ids = hd.channelOrder;
    if (ids.empty())
        for (const auto& kv : hd.channels)
            ids.push_back(kv.first);
    auto* out = block<uint64>(M(), (ids.size() + 1) * sizeof(uint64));
    for (size_t i = 0; i < ids.size(); ++i)
        out[i] = ids[i];
    *result = out;
    return ERROR_ok;
}

unsigned int getChannelVariableAsString(uint64 h, uint64 channel, size_t flag, char** result)
{
    Lock l(M().mutex);
    M().record(call("getChannelVariableAsString", h, channel, flag));
    auto& hd = M().handler(h);
    auto it = hd.channels.find(channel);
    if (it == hd.channels.end() || flag != CHANNEL_NAME)
        return ERROR_channel_invalid_id;
    *result = dup(M(), it->second.name);
    return ERROR_ok;
}

unsigned int getParentChannelOfChannel(uint64 h, uint64 channel, uint64* result)
{
    Lock l(M().mutex);
    M().record(call("getParentChannelOfChannel", h, channel));
    auto& hd = M().handler(h);
    auto it = hd.channels.find(channel);
    if (it == hd.channels.end())
        return ERROR_channel_invalid_id;
    *result = it->second.parent;
    return ERROR_ok;
}

unsigned int getClientVariableAsInt(uint64 h, anyID client, size_t flag, int* result)
{
    Lock l(M().mutex);
    M().record(call("getClientVariableAsInt", h, client, flag));
    FAILS("getClientVariableAsInt");
    auto& hd = M().handler(h);
    auto it = hd.clients.find(client);
    if (it == hd.clients.end())
        return ERROR_client_invalid_id;
    switch (flag) {
    case CLIENT_FLAG_TALKING:
        *result = it->second.talking;
        return ERROR_ok;
    case CLIENT_INPUT_MUTED:
        *result = it->second.inputMuted;
        return ERROR_ok;
    case CLIENT_OUTPUT_MUTED:
        *result = it->second.outputMuted;
        return ERROR_ok;
    default:
        return ERROR_parameter_invalid;
    }
}

unsigned int getClientVariableAsString(uint64 h, anyID client, size_t flag, char** result)
{
    Lock l(M().mutex);
    M().record(call("getClientVariableAsString", h, client, flag));
    FAILS("getClientVariableAsString");
    auto& hd = M().handler(h);
    auto it = hd.clients.find(client);
    if (it == hd.clients.end())
        return ERROR_client_invalid_id;
    if (flag == CLIENT_UNIQUE_IDENTIFIER)
        *result = dup(M(), it->second.uid);
    else if (flag == CLIENT_NICKNAME)
        *result = dup(M(), it->second.nick);
    else
        return ERROR_parameter_invalid;
    return ERROR_ok;
}

unsigned int getClientDisplayName(uint64 h, anyID client, char* result, size_t maxLen)
{
    Lock l(M().mutex);
    M().record(call("getClientDisplayName", h, client));
    auto& hd = M().handler(h);
    auto it = hd.clients.find(client);
    if (it == hd.clients.end())
        return ERROR_client_invalid_id;
    std::snprintf(result, maxLen, "%s", it->second.nick.c_str());
    return ERROR_ok;
}

unsigned int getAvatar(uint64 h, anyID client, char* result, size_t maxLen)
{
    Lock l(M().mutex);
    M().record(call("getAvatar", h, client));
    std::snprintf(result, maxLen, "/tmp/avatar_%d", int(client));
    return ERROR_ok;
}

unsigned int requestClientMove(uint64 h, anyID client, uint64 channel, const char* password, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestClientMove", h, client, channel, s(password), M().rc(rc)));
    FAILS("requestClientMove");
    return ERROR_ok;
}

unsigned int requestClientPoke(uint64 h, anyID client, const char* message, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestClientPoke", h, client, s(message), M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestSendPrivateTextMsg(uint64 h, const char* message, anyID client, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestSendPrivateTextMsg", h, s(message), client, M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestSendChannelTextMsg(uint64 h, const char* message, uint64 channel, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestSendChannelTextMsg", h, s(message), channel, M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestMuteClients(uint64 h, const anyID* ids, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestMuteClients", h, list(ids), M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestUnmuteClients(uint64 h, const anyID* ids, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestUnmuteClients", h, list(ids), M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestClientDBIDfromUID(uint64 h, const char* uid, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestClientDBIDfromUID", h, s(uid), M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestChannelPermList(uint64 h, uint64 channel, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestChannelPermList", h, channel, M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestClientPermList(uint64 h, uint64 dbid, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestClientPermList", h, dbid, M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestChannelSubscribe(uint64 h, const uint64* ids, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestChannelSubscribe", h, list(ids), M().rc(rc)));
    FAILS("requestChannelSubscribe");
    return ERROR_ok;
}

unsigned int requestChannelSubscribeAll(uint64 h, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestChannelSubscribeAll", h, M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestChannelUnsubscribe(uint64 h, const uint64* ids, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestChannelUnsubscribe", h, list(ids), M().rc(rc)));
    return ERROR_ok;
}

unsigned int requestChannelUnsubscribeAll(uint64 h, const char* rc)
{
    Lock l(M().mutex);
    M().record(call("requestChannelUnsubscribeAll", h, M().rc(rc)));
    return ERROR_ok;
}

void createReturnCode(const char* id, char* rc, size_t maxLen)
{
    Lock l(M().mutex);
    M().lastReturnCode = "PLUGIN:" + s(id) + ":" + std::to_string(++M().returnCodes);
    M().lastUsed = false;
    std::snprintf(rc, maxLen, "%s", M().lastReturnCode.c_str());
}

void sendPluginCommand(uint64 h, const char* id, const char* command, int targetMode, const anyID* targets,
                       const char* rc)
{
    Lock l(M().mutex);
    M().record(
        call("sendPluginCommand", h, s(id), s(command), targetMode, targets ? list(targets) : "NULL", M().rc(rc)));
}

} // namespace

void Model::reset()
{
    Lock l(mutex);
    handlers.clear();
    profiles.clear();
    profileDefault.clear();
    bookmarks.clear();
    bookmarksReadable = true;
    failing.clear();
    readableWaves.clear();
    appPath = "/opt/ts3client/";
    libVersion = "3.1.10 [Build: 1500000000]";
    nextHandler = 1;
    returnCodes = 0;
    lastReturnCode.clear();
    lastUsed = true;
    outstanding = 0;
    calls.clear();
    tab.clear();
    log.clear();
}

void Model::record(std::string c)
{
    Lock l(mutex);
    calls.push_back(std::move(c));
}

std::string Model::rc(const char* code)
{
    Lock l(mutex);
    if (code && !lastUsed && lastReturnCode == code) {
        lastUsed = true;
        return "rc";
    }
    return "STALE";
}

std::vector<std::string> Model::actions()
{
    Lock l(mutex);
    std::vector<std::string> out;
    for (const std::string& c : calls)
        if (c.rfind("get", 0) != 0)
            out.push_back(c);
    return out;
}

void Model::clearCalls()
{
    Lock l(mutex);
    calls.clear();
    tab.clear();
    log.clear();
}

void Model::addChannel(uint64 h, uint64 id, std::string name, uint64 parent)
{
    Lock l(mutex);
    handler(h).channels[id] = Channel{std::move(name), parent};
}

void Model::addClient(uint64 h, anyID id, std::string nick, uint64 channel, int talking)
{
    Lock l(mutex);
    Client c;
    c.uid = "uid" + std::to_string(id) + "+/=";
    c.nick = std::move(nick);
    c.channel = channel;
    c.talking = talking;
    handler(h).clients[id] = c;
}

Model& model()
{
    static Model m;
    return m;
}

TS3Functions table()
{
    TS3Functions t{};
    t.getClientLibVersion = getClientLibVersion;
    t.freeMemory = freeMemory;
    t.logMessage = logMessage;
    t.getAppPath = getAppPath;
    t.getResourcesPath = getResourcesPath;
    t.getConfigPath = getConfigPath;
    t.getPluginPath = getPluginPath;
    t.printMessageToCurrentTab = printMessageToCurrentTab;
    t.setPluginMenuEnabled = setPluginMenuEnabled;
    t.guiConnect = guiConnect;
    t.guiConnectBookmark = guiConnectBookmark;
    t.startConnection = startConnection;
    t.stopConnection = stopConnection;
    t.getConnectionStatus = getConnectionStatus;
    t.getServerConnectionHandlerList = getServerConnectionHandlerList;
    t.requestServerVariables = requestServerVariables;
    t.getServerVariableAsString = getServerVariableAsString;
    t.getServerConnectInfo = getServerConnectInfo;
    t.getChannelConnectInfo = getChannelConnectInfo;
    t.getClientID = getClientID;
    t.getClientSelfVariableAsString = getClientSelfVariableAsString;
    t.setClientSelfVariableAsInt = setClientSelfVariableAsInt;
    t.setClientSelfVariableAsString = setClientSelfVariableAsString;
    t.flushClientSelfUpdates = flushClientSelfUpdates;
    t.requestClientEditDescription = requestClientEditDescription;
    t.setPreProcessorConfigValue = setPreProcessorConfigValue;
    t.setPlaybackConfigValue = setPlaybackConfigValue;
    t.setClientVolumeModifier = setClientVolumeModifier;
    t.playWaveFile = playWaveFile;
    t.registerCustomDevice = registerCustomDevice;
    t.openCaptureDevice = openCaptureDevice;
    t.processCustomCaptureData = processCustomCaptureData;
    t.getProfileList = getProfileList;
    t.getBookmarkList = getBookmarkList;
    t.getChannelOfClient = getChannelOfClient;
    t.getChannelClientList = getChannelClientList;
    t.getChannelList = getChannelList;
    t.getChannelVariableAsString = getChannelVariableAsString;
    t.getParentChannelOfChannel = getParentChannelOfChannel;
    t.getClientVariableAsInt = getClientVariableAsInt;
    t.getClientVariableAsString = getClientVariableAsString;
    t.getClientDisplayName = getClientDisplayName;
    t.getAvatar = getAvatar;
    t.requestClientMove = requestClientMove;
    t.requestClientPoke = requestClientPoke;
    t.requestSendPrivateTextMsg = requestSendPrivateTextMsg;
    t.requestSendChannelTextMsg = requestSendChannelTextMsg;
    t.requestMuteClients = requestMuteClients;
    t.requestUnmuteClients = requestUnmuteClients;
    t.requestClientDBIDfromUID = requestClientDBIDfromUID;
    t.requestChannelPermList = requestChannelPermList;
    t.requestClientPermList = requestClientPermList;
    t.requestChannelSubscribe = requestChannelSubscribe;
    t.requestChannelSubscribeAll = requestChannelSubscribeAll;
    t.requestChannelUnsubscribe = requestChannelUnsubscribe;
    t.requestChannelUnsubscribeAll = requestChannelUnsubscribeAll;
    t.createReturnCode = createReturnCode;
    t.sendPluginCommand = sendPluginCommand;
    return t;
}

} // namespace fake
