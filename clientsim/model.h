// The state of the substitute TeamSpeak 3 client: virtual servers with their channel
// trees and clients, the client's server connection handlers (tabs), the own client's
// variables per handler, sound settings, profiles, bookmarks, wave playback, the log and
// the current tab. One mutex guards all of it; every access goes through Model::with().
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace clientsim {

using u64 = std::uint64_t;
using anyid = std::uint16_t;

// Property numbers used by the model (same numbering as the plugin interface).
namespace prop {
inline constexpr int UniqueIdentifier = 0, Nickname = 1, Version = 2, Platform = 3, FlagTalking = 4, InputMuted = 5,
                     OutputMuted = 6, InputDeactivated = 10, MetaData = 15, IsMuted = 16, DatabaseId = 32, Away = 38,
                     AwayMessage = 39, Type = 40, TalkPower = 42, Description = 45, IsTalker = 46,
                     NicknamePhonetic = 53, ChannelCommander = 57, ClientEnd = 61;
inline constexpr int ChannelName = 0, ChannelTopic = 1, ChannelDescription = 2, ChannelPassword = 3, ChannelOrder = 8,
                     ChannelFlagDefault = 11, ChannelFlagPassword = 12, ChannelEnd = 33;
inline constexpr int ServerUid = 0, ServerName = 1, ServerWelcome = 2, ServerPlatform = 3, ServerVersion = 4,
                     ServerMaxClients = 5, ServerClientsOnline = 7, ServerChannelsOnline = 8, ServerEnd = 83;
} // namespace prop

struct Channel {
    u64 id = 0;
    u64 parent = 0;
    std::map<int, std::string> vars;
    std::string name() const;
    std::string password() const;
};

// A client on a virtual server: a simulated user (handler 0) or the own client of one
// of our handlers.
struct User {
    anyid id = 0;
    u64 channel = 0; // 0 while leaving (kept until the leave events were delivered)
    u64 handler = 0; // the handler whose own client this is; 0 = simulated user
    bool gone = false;
    std::map<int, std::string> vars;
    std::string get(int flag) const;
    long long getInt(int flag) const;
    std::string nickname() const { return get(prop::Nickname); }
    std::string uid() const { return get(prop::UniqueIdentifier); }
};

struct PermRow {
    unsigned id = 0;
    int value = 0;
    int negated = 0;
    int skip = 0;
};

struct Server {
    std::string key; // name used by the control script
    std::string host;
    unsigned port = 9987;
    bool reachable = true;
    std::map<int, std::string> vars;
    std::vector<u64> channelOrder; // creation order = the client's list order
    std::map<u64, Channel> channels;
    std::map<anyid, User> users;
    std::map<u64, std::vector<PermRow>> channelPerms; // by channel id
    std::map<u64, std::vector<PermRow>> clientPerms;  // by client database id
    u64 defaultChannel() const;
    // "Main/Lobby" → channel id, 0 when no such path.
    u64 channelByPath(const std::string& path) const;
    std::string channelPath(u64 id) const;
    anyid freeClientId() const;
    const User* user(anyid id) const;
    User* user(anyid id);
};

struct Handler {
    u64 id = 0;
    int status = 0;          // ConnectStatus 0..4
    unsigned generation = 0; // bumped on every connect/stop so stale steps are skipped
    std::string server;      // key of the server it is connected (or connecting) to
    anyid ownId = 0;
    bool subscribeAll = true;
    std::set<u64> subscribed;
    std::map<int, std::string> self;    // own variables while not on a server
    std::map<int, std::string> pending; // set but not yet flushed
    std::map<std::string, std::string> preProcessor;
    std::map<std::string, std::string> playback;
    std::map<anyid, float> volumes;
    std::set<anyid> muted;   // clients muted locally on this handler
    std::set<anyid> leaving; // clients whose leave-view move is being delivered
    std::string captureMode, captureDevice, playbackMode, playbackDevice;
    // what the connection was opened with
    std::string label, address, serverPassword, nickname, channelPath, channelPassword;
    std::string captureProfile, playbackProfile, hotkeyProfile, soundProfile, identity, phonetic;
};

struct Bookmark {
    std::string name;
    bool folder = false;
    std::string uuid; // bookmarks only
    std::string address, nickname, channel, serverPassword, channelPassword;
    std::string captureProfile, playbackProfile, identity;
    std::vector<Bookmark> children; // folders only
};

struct WavePlay {
    u64 handler = 0;
    std::string path;
    u64 handle = 0; // 0 for playWaveFile
    bool loop = false;
    bool paused = false;
    bool closed = false;
};

struct LogLine {
    std::string message;
    int level = 0;
    std::string channel;
    u64 logId = 0;
};

struct CustomDevice {
    std::string id, displayName;
    int capFrequency = 0, capChannels = 0, playFrequency = 0, playChannels = 0;
    long long samplesCaptured = 0;
};

// Everything the client knows. Plain data; guarded by Model's mutex.
struct State {
    std::map<std::string, Server> servers;
    std::map<u64, Handler> handlers;
    u64 current = 0;                                  // the current tab's handler
    u64 nextHandlerId = 0;                            // 0 = lowest free id; otherwise the next new handler gets this
    std::map<int, std::vector<std::string>> profiles; // PluginGuiProfile → names
    std::map<int, int> profileDefault;
    std::vector<Bookmark> bookmarks;
    std::vector<WavePlay> waves;
    u64 nextWaveHandle = 1;
    std::map<std::string, CustomDevice> customDevices;
    std::vector<std::string> captureDevices{"default"}, playbackDevices{"default"};
    std::vector<LogLine> log;
    std::vector<std::string> tabMessages; // printMessageToCurrentTab / printMessage
    std::vector<std::string> shown;       // what the client itself showed (chat, pokes, errors)
    std::map<int, bool> menuEnabled;
    std::string appPath = "/opt/teamspeak3/", resourcesPath = "/opt/teamspeak3/", configPath = "/tmp/clientsim/config/",
                pluginPath = "/tmp/clientsim/plugins/";
    std::string clientVersion = "3.1.10 [Build: 1528536950]";
    u64 clientVersionNumber = 1528536950;
    unsigned returnCodeCounter = 0;
    std::string lastReturnCode;

    Handler* handler(u64 id);
    Server* serverOf(const Handler& h);
    Server* server(const std::string& key);
    Server* serverByAddress(const std::string& address); // "host" or "host:port"
    // The own client of an established handler, or nullptr.
    User* ownUser(const Handler& h);
    u64 ownChannel(const Handler& h);
    // Whether handler h sees clients in channel ch (own channel or subscribed).
    bool seesChannel(const Handler& h, u64 ch);
    // Creates a handler (lowest free id unless nextHandlerId is set).
    Handler& newHandler();
};

class Model {
public:
    Model();

    template <class F>
    auto with(F&& f)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(state_);
    }
    template <class F>
    auto with(F&& f) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(static_cast<const State&>(state_));
    }

    // Convenience reads for tests (each takes the lock once).
    int connectionStatus(u64 handler) const; // -1 = no such handler
    anyid ownClientId(u64 handler) const;    // 0 = none
    u64 ownChannel(u64 handler) const;       // 0 = none
    std::optional<std::string> selfVariable(u64 handler, int flag) const;
    std::optional<std::string> preProcessor(u64 handler, const std::string& ident) const;
    std::optional<std::string> playbackConfig(u64 handler, const std::string& ident) const;
    std::optional<float> volumeModifier(u64 handler, anyid client) const;
    bool isMuted(u64 handler, anyid client) const;
    std::vector<u64> handlerIds() const;
    std::vector<LogLine> log() const;
    std::vector<std::string> tabMessages() const;
    std::vector<std::string> shown() const;
    std::vector<WavePlay> waves() const;
    std::optional<u64> userChannel(const std::string& server, anyid client) const;
    std::optional<std::string> userVariable(const std::string& server, anyid client, int flag) const;
    u64 currentHandler() const;

private:
    mutable std::mutex mutex_;
    State state_;
};

// Helpers shared by the table and the simulator.
std::string errorText(unsigned code);
// True for a readable file that starts like a RIFF/WAVE file with a "fmt " chunk.
bool isReadableWave(const std::string& path);
// Splits "host:port" (port optional, default 9987); accepts "[v6]:port".
void splitAddress(const std::string& address, std::string& host, unsigned& port);

} // namespace clientsim
