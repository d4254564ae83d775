// clientsim::Client: a substitute TeamSpeak 3 client. It loads a plugin library the
// way the real client does, hands it a complete function table implemented over the
// Model, records every call the plugin makes, and fires the plugin's callbacks from
// its own event thread when the simulated world changes.
//
// Typical test:
//   clientsim::Client client;
//   client.addServer("S1", "127.0.0.1:9987", "Test Server");
//   client.addChannel("S1", 1, "Lobby");
//   ASSERT_TRUE(client.load(pluginPath));
//   clientsim::u64 h = client.connect("127.0.0.1:9987", "Gateway");
//   client.waitIdle();
//   client.userJoin("S1", 7, "Alice", 1);
//   client.waitIdle();
//   EXPECT_TRUE(client.hasCall("getChannelClientList"));
//
// Only one Client can have a plugin loaded at a time (the function table is a set of
// plain C functions that reach the loaded client through one process-wide pointer).
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "clientsim/eventloop.h"
#include "clientsim/model.h"
#include "plugin/ts3_abi.h"

namespace clientsim {

struct TraceEntry {
    enum class Kind { Call, Event, Note };
    Kind kind = Kind::Note;
    std::string name;         // function or callback name; the text for notes
    std::string args;         // formatted arguments (see format.h)
    std::string result;       // return value as text; empty for void
    std::string text() const; // name(args)
    std::string line() const; // "CALL name(args) = result", "EVENT ...", "NOTE ..."
};

struct LoadOptions {
    // The real client's order is not documented: the id may come before or after init.
    bool registerBeforeInit = true;
    std::string pluginId;   // empty: the library's file name without extension
    int minApiVersion = 21; // accepted range (an API-22 client accepts 21 and 22)
    int maxApiVersion = 22;
    bool skipInit = false; // only read the identity functions, then unload
    // A client generation to emulate: "3.1", "3.3", "3.5" or "3.6" (see Generation);
    // empty: the 3.1 client as above, with its accepted range and one apiVersion call.
    std::string generation;
    // The Qt version the process exports as qVersion (Linux; the program and tests that
    // export their symbols): empty = the generation's own ("5.6.1" for 3.1, "5.12.3"
    // for 3.3 and 3.5, "5.15.2" for 3.6; none without a generation), "none" = no Qt.
    std::string qtVersion;
};

// What a generation of the real client does differently for a plugin.
struct Generation {
    const char* name;
    int minApi, maxApi;       // accepted interface numbers
    int tableSize;            // members of the function table handed over
    const char* version;      // getClientLibVersion text
    bool sixArgPluginCommand; // onPluginCommandEvent with the invoker's id, name, uid
};
// nullptr for an unknown name.
const Generation* findGeneration(const std::string& name);

struct PluginInfo {
    std::string path, pluginId;
    std::string name, version, author, description;
    int apiVersion = 0;
    int initResult = 0;
    int offersConfigure = 0;
    int requestAutoload = 0;
    std::string commandKeyword, infoTitle;
    struct Menu {
        int type = 0;
        int id = 0;
        std::string text, icon;
    };
    std::vector<Menu> menus;
    std::string menuIcon;
    std::vector<std::pair<std::string, std::string>> hotkeys; // keyword, description
};

// A simulated user joining a server.
struct UserSpec {
    anyid id = 0; // 0 = lowest free id
    std::string nickname = "User";
    std::string uid;    // empty: derived from the id
    u64 databaseId = 0; // 0: derived from the id
    u64 channel = 0;    // 0: the server's default channel
    bool inputMuted = false;
    bool outputMuted = false;
    bool away = false;
};

struct Exports;

class Client {
public:
    Client();
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    Model& model() { return model_; }

    // ---- plugin lifecycle ----------------------------------------------------
    // dlopen, resolve, apiVersion check, identity texts, setFunctionPointers (by value),
    // registerPluginID and init in the configured order, initMenus, initHotkeys.
    // False (with lastError()) when the plugin is refused or init fails.
    bool load(const std::string& path, const LoadOptions& options = {});
    // Waits for pending events, calls shutdown, drops events that arise meanwhile,
    // dlcloses the library.
    void unload();
    bool loaded() const { return loaded_.load(); }
    const PluginInfo& info() const { return info_; }
    std::string lastError() const;

    // ---- trace ---------------------------------------------------------------
    std::vector<TraceEntry> trace() const;
    std::vector<TraceEntry> calls() const;      // Kind::Call only
    std::vector<std::string> callTexts() const; // "name(args)" of every call
    std::vector<std::string> callNames() const;
    std::vector<TraceEntry> callsNamed(const std::string& name) const;
    bool hasCall(const std::string& name) const { return !callsNamed(name).empty(); }
    std::vector<TraceEntry> events() const; // Kind::Event only
    size_t traceSize() const;
    void clearTrace();
    void note(const std::string& text);
    // Called (under the trace lock, in trace order) for every new entry.
    void setListener(std::function<void(const TraceEntry&)> listener);
    // Waits until an entry at index >= from satisfies pred.
    bool waitForTrace(const std::function<bool(const TraceEntry&)>& pred, std::chrono::milliseconds timeout,
                      size_t from = 0) const;
    // Waits until the event thread has nothing left to do.
    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // ---- behaviour switches ------------------------------------------------
    // The next `count` calls of `function` return `code` without doing anything.
    void failNext(const std::string& function, unsigned code, int count = 1);
    // Delay between the steps of a connection (status 1, 2, 3, 4).
    void setConnectStepDelay(std::chrono::milliseconds delay) { connectStepMs_ = static_cast<int>(delay.count()); }
    // Requests with a return code get an onServerErrorEvent with error 0 on success, as
    // the real client does (default on).
    void setOkServerErrors(bool on) { okServerErrors_ = on; }
    // The sender also receives its own text messages and plugin commands (default on).
    void setEcho(bool on) { echo_ = on; }
    // guiConnect and guiConnectBookmark deliver the whole connection (status 1 to 4)
    // before they return, as a real client may when the server answers quickly
    // (default off).
    void setStatusInsideConnect(bool on) { statusInsideConnect_ = on; }

    // ---- memory handed to the plugin ----------------------------------------
    size_t outstandingBlocks() const; // blocks not yet given back through freeMemory
    size_t invalidFrees() const { return invalidFrees_.load(); }
    // Calls that reached the table while no plugin was loaded (process-wide).
    size_t lateCalls() const;

    // ---- the simulated world (changes the model, fires the callbacks) ---------
    void addServer(const std::string& key, const std::string& address, const std::string& name);
    void setServerReachable(const std::string& key, bool reachable);
    void addChannel(const std::string& key, u64 id, const std::string& name, u64 parent = 0,
                    const std::string& password = "", bool isDefault = false);
    void addChannelPermission(const std::string& key, u64 channel, PermRow row);
    void addClientPermission(const std::string& key, u64 databaseId, PermRow row);
    anyid userJoin(const std::string& key, const UserSpec& user);
    anyid userJoin(const std::string& key, anyid id, const std::string& nickname, u64 channel = 0);
    void userLeave(const std::string& key, anyid id, const std::string& message = "");
    // by = 0: the user moved itself; otherwise moved by client `by`.
    void userMove(const std::string& key, anyid id, u64 channel, anyid by = 0, const std::string& message = "");
    void userTalk(const std::string& key, anyid id, int status);
    void userWhisper(const std::string& key, anyid from, anyid to, int status);
    // mode 1 private (target = client id), 2 channel (target = channel id, 0 = sender's),
    // 3 server.
    void userText(const std::string& key, anyid from, int mode, u64 target, const std::string& text, int ffIgnored = 0);
    void userPoke(const std::string& key, anyid from, anyid to, const std::string& text, int ffIgnored = 0);
    // A plugin command from client `from` to everybody on the server.
    void userPluginCommand(const std::string& key, anyid from, const std::string& text,
                           const std::string& pluginName = "");
    void setUserVariable(const std::string& key, anyid id, int flag, const std::string& value);
    // The user connects from the GUI: a new tab (or the current one when it is free).
    u64 connect(const std::string& address, const std::string& nickname, const std::string& channelPath = "",
                const std::string& channelPassword = "", const std::string& serverPassword = "");
    // The server drops a connection (error: the error number reported with status 0).
    void dropConnection(u64 handler, unsigned error = ERROR_connection_lost, const std::string& message = "");
    // The user stops a connection from the GUI.
    void disconnect(u64 handler, const std::string& message = "");
    void setCurrentTab(u64 handler);
    // The user changes an own setting in the GUI (fires onClientSelfVariableUpdateEvent).
    void selfVariableChange(u64 handler, int flag, const std::string& value);
    void serverError(u64 handler, unsigned error, const std::string& message, const std::string& returnCode = "",
                     const std::string& extra = "");
    void permissionError(u64 handler, unsigned error, const std::string& message, const std::string& returnCode,
                         unsigned permissionId);
    void addProfile(int kind, const std::string& name, bool isDefault = false);
    // folderPath "" = top level, "A/B" = inside folders A then B (created as needed).
    void addBookmark(const std::string& folderPath, const Bookmark& bookmark);

    // ---- GUI actions and raw callbacks (run on the event thread, wait for the result)
    void menuItem(u64 handler, int type, int menuId, u64 selected);
    void hotkey(const std::string& keyword);
    int processCommand(u64 handler, const std::string& text); // -1 when not exported
    std::optional<std::string> infoData(u64 handler, u64 id, int type);
    void configure();
    void fireConnectStatus(u64 handler, int status, unsigned error);
    void fireClientMove(u64 handler, anyid client, u64 from, u64 to, int visibility, const std::string& message);
    void fireTalkStatus(u64 handler, int status, int whisper, anyid client);
    int fireTextMessage(u64 handler, int mode, anyid to, anyid from, const std::string& fromName,
                        const std::string& fromUid, const std::string& message, int ffIgnored);
    int firePoke(u64 handler, anyid from, const std::string& name, const std::string& uid, const std::string& message,
                 int ffIgnored);
    void fireSelfVariable(u64 handler, int flag, const std::string& oldValue, const std::string& newValue);
    int fireServerError(u64 handler, const std::string& message, unsigned error, const std::string& returnCode,
                        const std::string& extra);
    void firePluginCommand(u64 handler, const std::string& pluginName, const std::string& command);

    // ---- used by the function table (not for tests) ------------------------
    struct Internal;
    Internal& internal() { return *in_; }
    // Posts a job to the event thread. Inside a DeferScope (on the same thread) the job
    // is held back until the scope flushes: a client call is recorded before the events
    // it causes.
    void post(std::function<void()> job, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    class DeferScope {
    public:
        explicit DeferScope(Client& client);
        ~DeferScope();
        void flush();

    private:
        Client& client_;
        void* previous_;
        std::vector<std::pair<std::function<void()>, std::chrono::milliseconds>> jobs_;
        bool flushed_ = false;
    };
    void record(TraceEntry entry);
    std::optional<unsigned> takeFault(const char* function);
    void* allocate(size_t size);
    char* allocateString(const std::string& text);
    bool release(void* block);
    std::string pluginId() const { return info_.pluginId; }
    bool okServerErrors() const { return okServerErrors_; }
    bool echo() const { return echo_; }
    int connectStepMs() const { return connectStepMs_; }
    // Runs job on the event thread and waits for it (directly when already there).
    void runOnLoop(const std::function<void()>& job);
    const Exports& exports() const { return *exports_; }
    bool delivering() const { return delivering_.load(); }
    bool hasPlugin() const { return hasPlugin_.load(); }

    // Event-thread parts of the simulation, shared with the function table.
    // stepMs < 0: the configured delay between the steps.
    void startConnectSteps(u64 handler, int stepMs = -1);
    // The connection started by a GUI connect call (guiConnect, guiConnectBookmark).
    void startGuiConnectSteps(u64 handler);
    void stopConnectionNow(u64 handler, unsigned error, const std::string& message, bool local);
    // Moves client `id` (own or simulated) and fires the move callbacks on every handler
    // that sees it. by = 0: a move of its own.
    void moveClient(const std::string& key, anyid id, u64 channel, anyid by, const std::string& message);
    void finishRequest(u64 handler, const std::string& returnCode, unsigned error, const std::string& extra = "");
    void deliverText(const std::string& key, anyid from, int mode, u64 target, const std::string& text, int ffIgnored);
    // Fires onPluginCommandEvent as the loaded generation does (3 or 6 arguments).
    void callPluginCommand(u64 handler, const std::string& pluginName, const std::string& text, anyid from);
    void deliverPluginCommand(const std::string& key, anyid from, int targetMode, std::vector<anyid> targets,
                              const std::string& pluginName, const std::string& text);

private:
    Model model_;
    std::unique_ptr<Internal> in_;
    std::unique_ptr<Exports> exports_;
    std::unique_ptr<EventLoop> loop_;
    PluginInfo info_;
    void* library_ = nullptr;
    std::atomic<bool> loaded_{false};
    std::atomic<bool> delivering_{false};
    std::atomic<bool> hasPlugin_{false};
    std::atomic<size_t> invalidFrees_{0};
    std::atomic<int> connectStepMs_{20};
    std::atomic<bool> okServerErrors_{true};
    std::atomic<bool> echo_{true};
    std::atomic<bool> statusInsideConnect_{false};
    std::atomic<bool> sixArgPluginCommand_{false};
};

// The function table handed to plugins; every member set. Calls reach the Client that
// currently has a plugin loaded (or are counted as late calls).
TS3Functions makeFunctionTable();
void setActiveClient(Client* client);
size_t lateCallCount();
Client* activeClient();
// Names of the 209 table members in table order.
const std::vector<std::string>& functionNames();

} // namespace clientsim
