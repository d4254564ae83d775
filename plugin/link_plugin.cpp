#include "plugin/link_plugin.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>

#include "plugin/client_memory.h"
#include "plugin/host.h"
#include "plugin/ini_file.h"
#include "plugin/net.h"

// The plugin's lifecycle (construction, init, shutdown), the client's other entry
// points, the configuration dialog and what the threads share. The threads themselves:
// link_server.cpp (accept), link_session.cpp (session, writer, send path) and
// link_status.cpp (status).
namespace rdplugin {

const char* const kPluginName = "Relaydeck [LINK]";
const char* const kPluginVersion = "3.1.21";
const char* const kPluginAuthor = "Wavenest";
const char* const kPluginDescription =
    "Dieses Plugin stellt die Verbindung zwischen Teamspeak-Client und dem Relaydeck zur Verf\xC3\xBCgung."
    "\r\r"
    "This plugin provides the connection between TeamSpeak3 client and the Relaydeck available.";
const char* const kCommandKeyword = "Relaydeck";
const char* const kLogChannel = "Relaydeck[LINK]";
const char* const kSettingsFile = "./Relaydeck[LINK].ini";
const char* const kDefaultPort = "26001";

namespace {

constexpr size_t kPathBuf = 512;

// The words of a chat console command: the command word and up to two arguments, split at
// blanks, from the first 127 characters.
struct ConsoleWords {
    std::string word, arg1, arg2;
};

ConsoleWords consoleWords(const char* command)
{
    std::string text = command ? std::string(command).substr(0, 127) : std::string();
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < text.size() && words.size() < 3) {
        size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string::npos)
            break;
        size_t end = text.find(' ', start);
        words.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        pos = end == std::string::npos ? text.size() : end;
    }
    ConsoleWords out;
    out.word = words.size() > 0 ? words[0] : std::string();
    out.arg1 = words.size() > 1 ? words[1] : std::string();
    out.arg2 = words.size() > 2 ? words[2] : std::string();
    return out;
}

} // namespace

LinkPlugin::LinkPlugin() : LinkPlugin(Options{}) {}

LinkPlugin::LinkPlugin(Options options) : m_opt(std::move(options))
{
    if (!m_opt.sleepMs)
        m_opt.sleepMs = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    if (!m_opt.exitProcess)
        m_opt.exitProcess = [](int code) { endProcess(code); };
}

LinkPlugin::~LinkPlugin()
{
    // The client always calls shutdown before unloading; this only makes sure no thread
    // outlives the object when it did not.
    if (m_running.load()) {
        m_stop = true;
        wake();
        {
            std::lock_guard<std::mutex> lock(m_sendMutex);
            rdnet::shutdownBoth(m_sessionFd);
            m_sessionFd = rdnet::kNoSocket;
            m_sendCv.notify_all();
        }
        if (m_server.joinable())
            m_server.join();
        if (m_session.joinable())
            m_session.join();
        if (m_status.joinable())
            m_status.join();
        m_waker.closeAll();
        if (m_netStarted.exchange(false))
            rdnet::stop();
    }
}

// ---------------------------------------------------------------------------------
// Entry points

void LinkPlugin::setFunctionPointers(const TS3Functions& funcs)
{
    m_ts3 = funcs; // a copy: the client's table is a temporary
    m_haveFunctions = true;
}

void LinkPlugin::setClientApi(const ClientApiChoice& choice)
{
    std::lock_guard<std::mutex> lock(m_infoMutex);
    m_api = choice;
}

int LinkPlugin::clientApi() const
{
    std::lock_guard<std::mutex> lock(m_infoMutex);
    return m_api.number;
}

void LinkPlugin::registerPluginID(const char* id)
{
    std::lock_guard<std::mutex> lock(m_infoMutex);
    m_pluginID = id ? id : "";
}

std::string LinkPlugin::pluginID() const
{
    std::lock_guard<std::mutex> lock(m_infoMutex);
    return m_pluginID;
}

std::string LinkPlugin::linkPort() const
{
    std::lock_guard<std::mutex> lock(m_infoMutex);
    return m_linkPort;
}

std::string LinkPlugin::appPath() const
{
    std::lock_guard<std::mutex> lock(m_infoMutex);
    return m_appPath;
}

int LinkPlugin::init()
{
    try {
        if (m_running.load())
            return 0;
        // The client's folders. The plugin id may not have arrived yet; the client then
        // answers for an empty id.
        char buf[kPathBuf];
        const std::string id = pluginID();
        auto readPath = [&](auto fn) {
            std::memset(buf, 0, sizeof buf);
            fn();
            buf[kPathBuf - 1] = '\0';
            return std::string(buf);
        };
        std::string app = readPath([&] { ts3().getAppPath(buf, kPathBuf); });
        std::string res = readPath([&] { ts3().getResourcesPath(buf, kPathBuf); });
        std::string cfg = readPath([&] { ts3().getConfigPath(buf, kPathBuf); });
        std::string plg = readPath([&] { ts3().getPluginPath(buf, kPathBuf, id.c_str()); });
        {
            std::lock_guard<std::mutex> lock(m_infoMutex);
            m_appPath = app;
            m_resourcesPath = res;
            m_configPath = cfg;
            m_pluginPath = plg;
            m_linkPort.clear();
        }

        m_stop = false;
        m_listening = false;
        m_serverDone = false;
        m_boundPort = 0;
        if (!m_waker.open())
            throw std::runtime_error("cannot create the wake-up for the link threads");
        m_running = true;
        m_server = std::thread(&LinkPlugin::serverThread, this);
        if (m_opt.runStatusThread)
            m_status = std::thread(&LinkPlugin::statusThread, this);
        ts3().logMessage("*** Plugin started ***", LogLevel_DEBUG, kLogChannel, 0);
        logClientApi();
        return 0;
    } catch (const std::exception& e) {
        if (m_haveFunctions)
            ts3().logMessage(e.what(), LogLevel_DEBUG, kLogChannel, 100);
        return 1;
    }
}

void LinkPlugin::logClientApi()
{
    ClientApiChoice api;
    {
        std::lock_guard<std::mutex> lock(m_infoMutex);
        api = m_api;
    }
    if (!api.ignoredKey.empty())
        logWarning(("ClientAPI=" + api.ignoredKey + " in section LINKSettings is not 21 to 26; ignored").c_str());
    const std::string version =
        takeText(ts3(), [&](char** lib) { return ts3().getClientLibVersion(lib); }).value_or("?");
    const std::string text =
        "Client " + version + ": plugin interface " + std::to_string(api.number) + " (" + api.source + ")";
    ts3().logMessage(text.c_str(), LogLevel_INFO, kLogChannel, 0);
}

void LinkPlugin::shutdown()
{
    if (!m_running.load())
        return;
    try {
        stopAllConnections("*** QRT ***");
        SendToSocket("QUIT errorID=0 \r");
    } catch (const std::exception& e) {
        logError(e.what(), 200);
    }
    flushOutbox(1000); // a peer that reads gets everything up to QUIT
    // Nothing may follow the QUIT line: the session is closed for writers right here.
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        rdnet::shutdownBoth(m_sessionFd);
        m_sessionFd = rdnet::kNoSocket;
        m_outbox.clear();
        m_sendCv.notify_all();
    }
    m_stop = true;
    wake();
    if (m_server.joinable())
        m_server.join();
    {
        std::lock_guard<std::mutex> lock(m_sessionThreadMutex);
        if (m_session.joinable())
            m_session.join();
    }
    if (m_status.joinable())
        m_status.join();
    m_waker.closeAll();
    if (m_netStarted.exchange(false))
        rdnet::stop(); // the socket library, started by the link server thread
    m_listening = false;
    m_running = false;
    std::lock_guard<std::mutex> lock(m_infoMutex);
    m_pluginID.clear();
}

void LinkPlugin::infoData(uint64, uint64, PluginItemType, char** data)
{
    if (!data)
        return;
    constexpr size_t kInfoBuf = 128;
    char* text = static_cast<char*>(std::malloc(kInfoBuf));
    if (!text) {
        *data = nullptr;
        return;
    }
    std::snprintf(text, kInfoBuf, "Version: [b][color=#008000]\"%s\" - %dBit[/color][/b]", kPluginVersion,
                  int(sizeof(void*) * 8));
    *data = text;
}

void LinkPlugin::initMenus(PluginMenuItem*** menuItems, char** menuIcon)
{
    auto item = [](PluginMenuType type, int id, const char* text, const char* icon) {
        auto* m = static_cast<PluginMenuItem*>(std::calloc(1, sizeof(PluginMenuItem)));
        m->type = type;
        m->id = id;
        std::snprintf(m->text, PLUGIN_MENU_BUFSZ, "%s", text);
        std::snprintf(m->icon, PLUGIN_MENU_BUFSZ, "%s", icon);
        return m;
    };
    if (menuItems) {
        auto** list = static_cast<PluginMenuItem**>(std::calloc(3, sizeof(PluginMenuItem*)));
        list[0] = item(PLUGIN_MENU_TYPE_CLIENT, kMenuRegisterClient, "Register Client", "1.png");
        list[1] = item(PLUGIN_MENU_TYPE_CHANNEL, kMenuMoveInChannel, "MOVE in Channel", "1.png");
        list[2] = nullptr;
        *menuItems = list;
    }
    if (menuIcon) {
        *menuIcon = static_cast<char*>(std::calloc(PLUGIN_MENU_BUFSZ, 1));
        std::snprintf(*menuIcon, PLUGIN_MENU_BUFSZ, "%s", "t.png");
    }
}

void LinkPlugin::initHotkeys(PluginHotkey*** hotkeys)
{
    if (!hotkeys)
        return;
    auto** list = static_cast<PluginHotkey**>(std::calloc(4, sizeof(PluginHotkey*)));
    for (int i = 0; i < 3; ++i) {
        auto* k = static_cast<PluginHotkey*>(std::calloc(1, sizeof(PluginHotkey)));
        std::snprintf(k->keyword, PLUGIN_HOTKEY_BUFSZ, "keyword_%d", i + 1);
        std::snprintf(k->description, PLUGIN_HOTKEY_BUFSZ, "Test hotkey %d", i + 1);
        list[i] = k;
    }
    list[3] = nullptr;
    *hotkeys = list;
}

// Chat console commands: "/Relaydeck <word> [arg1] [arg2]".
int LinkPlugin::processCommand(uint64 h, const char* command)
{
    const ConsoleWords words = consoleWords(command);
    const std::string& word = words.word;
    const std::string& arg1 = words.arg1;
    const std::string& arg2 = words.arg2;
    auto pluginLog = [&](const char* msg) { ts3().logMessage(msg, LogLevel_ERROR, "Plugin", h); };

    if (word == "join") {
        if (arg1.empty()) {
            tabMessage("Missing channel ID parameter.");
            return 0;
        }
        anyID own = 0;
        if (ts3().getClientID(h, &own) != ERROR_ok) {
            pluginLog("Error querying client ID");
            return 0;
        }
        const uint64 channel = static_cast<uint64>(rdlink::readNumber(arg1));
        if (ts3().requestClientMove(h, own, channel, arg2.c_str(), returnCode().c_str()) != ERROR_ok)
            pluginLog("Error requesting client move");
        return 0;
    }
    if (word == "command") {
        if (arg1.empty()) {
            tabMessage("Missing command parameter.");
            return 0;
        }
        const std::string id = pluginID();
        ts3().sendPluginCommand(h, id.c_str(), arg1.c_str(), PluginCommandTarget_CURRENT_CHANNEL, nullptr,
                                returnCode().c_str());
        return 0;
    }
    if (word == "serverinfo") {
        char host[kPathBuf] = {}, password[kPathBuf] = {};
        unsigned short port = 0;
        if (ts3().getServerConnectInfo(h, host, &port, password, kPathBuf) == ERROR_ok) {
            host[kPathBuf - 1] = '\0';
            char msg[kPathBuf + 64];
            std::snprintf(msg, sizeof msg, "Server Connect Info: %s:%d", host, int(port));
            tabMessage(msg);
        } else {
            tabMessage("No server connect info available.");
        }
        return 0;
    }
    if (word == "channelinfo") {
        anyID own = 0;
        if (ts3().getClientID(h, &own) != ERROR_ok) {
            pluginLog("Error querying client ID");
            return 0;
        }
        uint64 channel = 0;
        if (ts3().getChannelOfClient(h, own, &channel) != ERROR_ok) {
            pluginLog("Error querying channel ID");
            return 0;
        }
        char path[kPathBuf] = {}, password[kPathBuf] = {};
        if (ts3().getChannelConnectInfo(h, channel, path, password, kPathBuf) == ERROR_ok) {
            path[kPathBuf - 1] = '\0';
            tabMessage(std::string("Channel Connect Info: ") + path);
        } else {
            tabMessage("No channel connect info available.");
        }
        return 0;
    }
    if (word == "avatar") {
        char path[kPathBuf] = {};
        const auto client = static_cast<anyID>(rdlink::readNumber(arg1));
        if (ts3().getAvatar(h, client, path, kPathBuf) == ERROR_ok) {
            path[kPathBuf - 1] = '\0';
            std::printf("Avatar of client %d: %s\n", int(client), path);
        } else {
            std::printf("No avatar of client %d\n", int(client));
        }
        return 0;
    }
    if (word == "enablemenu") {
        const std::string id = pluginID();
        ts3().setPluginMenuEnabled(id.c_str(), int(rdlink::readNumber(arg1)), int(rdlink::readNumber(arg2)));
        return 0;
    }
    if (word == "subscribe" || word == "unsubscribe") {
        const uint64 channels[2] = {static_cast<uint64>(rdlink::readNumber(arg1)), 0};
        if (word == "subscribe") {
            if (ts3().requestChannelSubscribe(h, channels, returnCode().c_str()) != ERROR_ok)
                pluginLog("Error subscribing channel");
        } else if (ts3().requestChannelUnsubscribe(h, channels, returnCode().c_str()) != ERROR_ok) {
            pluginLog("Error unsubscribing channel");
        }
        return 0;
    }
    if (word == "subscribeall") {
        if (ts3().requestChannelSubscribeAll(h, returnCode().c_str()) != ERROR_ok)
            pluginLog("Error subscribing channel");
        return 0;
    }
    if (word == "unsubscribeall") {
        if (ts3().requestChannelUnsubscribeAll(h, returnCode().c_str()) != ERROR_ok)
            pluginLog("Error unsubscribing channel");
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------------
// Configuration dialog

namespace {
std::mutex g_presenterMutex;
DialogPresenter g_presenter;

bool isInteger(std::string_view s, long& value)
{
    if (s.empty())
        return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size())
        return false;
    long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
        if (v > 1000000)
            return false;
    }
    value = s[0] == '-' ? -v : v;
    return true;
}
} // namespace

void setDialogPresenter(DialogPresenter presenter)
{
    std::lock_guard<std::mutex> lock(g_presenterMutex);
    g_presenter = std::move(presenter);
}

ConfigDialog::ConfigDialog(std::string settingsPath) : m_path(std::move(settingsPath))
{
    const std::string port = iniRead(m_path, "LINKSettings", "PORT", kDefaultPort);
    setPortText(std::to_string(rdlink::readNumber(port) > 0 ? rdlink::readNumber(port) : 26001));
}

void ConfigDialog::setPortText(std::string_view text)
{
    m_text = std::string(text.substr(0, kMaxLength));
}

bool ConfigDialog::save()
{
    long port = 0;
    // Only a usable TCP port is stored; anything else keeps the dialog open.
    if (!isInteger(m_text, port) || port < 1 || port > 65535) {
        m_errorVisible = true;
        return false;
    }
    if (!iniWrite(m_path, "LINKSettings", "PORT", std::to_string(port))) {
        m_errorVisible = true;
        return false;
    }
    m_errorVisible = false;
    m_closed = true;
    return true;
}

void LinkPlugin::configure(void*, void* qParentWidget)
{
    DialogPresenter presenter;
    {
        std::lock_guard<std::mutex> lock(g_presenterMutex);
        presenter = g_presenter;
    }
    if (!presenter)
        return;
    ConfigDialog dialog(m_opt.settingsPath);
    const std::string why = presenter(dialog, qParentWidget);
    if (!why.empty())
        logError("Configuration dialog: " + why, 300);
}

// ---------------------------------------------------------------------------------
// Helpers

int64_t LinkPlugin::GetTimestamp() const
{
    if (m_opt.clock)
        return m_opt.clock();
    return static_cast<int64_t>(std::time(nullptr));
}

std::string LinkPlugin::returnCode()
{
    char buf[128] = {};
    const std::string id = pluginID();
    ts3().createReturnCode(id.c_str(), buf, sizeof buf);
    buf[sizeof buf - 1] = '\0';
    return buf;
}

void LinkPlugin::logError(const std::string& text, uint64 logID)
{
    if (m_haveFunctions)
        ts3().logMessage(text.c_str(), LogLevel_DEBUG, kLogChannel, logID);
}

void LinkPlugin::tabMessage(const std::string& text)
{
    ts3().printMessageToCurrentTab(text.c_str());
}

std::optional<TS3StatusData> LinkPlugin::entry(uint64 h) const
{
    if (h >= kTableSize)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(m_tableMutex);
    return m_table[h];
}

void LinkPlugin::setEntry(uint64 h, const TS3StatusData& data)
{
    withEntry(h, [&](TS3StatusData& e) { e = data; });
}

TS3StatusData LinkPlugin::snapshot(uint64 h) const
{
    return entry(h).value_or(TS3StatusData{});
}

bool LinkPlugin::isGateway(uint64 h) const
{
    return snapshot(h).isGateway;
}

bool LinkPlugin::isGatewayHandler(uint64 h) const
{
    const TS3StatusData e = snapshot(h);
    return h > 0 && e.isGateway && e.isConnected;
}

bool LinkPlugin::sessionActive() const
{
    return m_sessionActive.load();
}

size_t LinkPlugin::queuedBytes() const
{
    std::lock_guard<std::mutex> lock(m_sendMutex);
    return m_outbox.size();
}

bool LinkPlugin::waitListening(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_waitMutex);
    m_waitCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [this] { return m_listening.load() || m_serverDone.load(); });
    return m_listening.load();
}

bool LinkPlugin::countChannel(uint64 h, uint64 channel, anyID own, anyID leaveOut, Count& out)
{
    // The list goes back after the talk flags are read, as the client's own code does.
    ClientMemory<anyID> list(ts3());
    if (ts3().getChannelClientList(h, channel, list.out()) != ERROR_ok || !list)
        return false;
    out = Count{};
    for (const anyID* p = list.get(); *p; ++p) {
        out.ids.push_back(*p);
        if (*p == own)
            continue;
        ++out.users;
        if (*p == leaveOut)
            continue;
        int talking = 0;
        if (ts3().getClientVariableAsInt(h, *p, CLIENT_FLAG_TALKING, &talking) == ERROR_ok && talking == 1)
            ++out.speakers;
    }
    return true;
}

void LinkPlugin::unmuteIfQuiet(uint64 h, const std::vector<anyID>& ids)
{
    if (snapshot(h).speakers >= 1 || ids.empty())
        return;
    std::vector<anyID> list(ids);
    list.push_back(0);
    ts3().requestUnmuteClients(h, list.data(), returnCode().c_str());
}

bool LinkPlugin::setSelfInt(uint64 h, size_t flag, int value)
{
    return ts3().setClientSelfVariableAsInt(h, flag, value) == ERROR_ok;
}

void LinkPlugin::flush(uint64 h)
{
    ts3().flushClientSelfUpdates(h, returnCode().c_str());
}

void LinkPlugin::stopAllConnections(const char* quitMessage)
{
    const std::optional<std::vector<uint64>> listed =
        takeIds<uint64>(ts3(), [&](uint64** list) { return ts3().getServerConnectionHandlerList(list); });
    if (!listed)
        return;
    const std::vector<uint64>& handlers = *listed;
    for (uint64 h : handlers) {
        int status = 0;
        if (ts3().getConnectionStatus(h, &status) != ERROR_ok || status <= STATUS_DISCONNECTED)
            continue;
        ts3().stopConnection(h, quitMessage);
        withEntry(h, [](TS3StatusData& e) { e.isGateway = false; });
    }
}

void LinkPlugin::logWarning(const char* text)
{
    if (m_haveFunctions)
        ts3().logMessage(text, LogLevel_WARNING, kLogChannel, 0);
}

// ---------------------------------------------------------------------------------
// The link threads

void LinkPlugin::wake()
{
    m_waker.raise();
    m_waitCv.notify_all();
}

} // namespace rdplugin
