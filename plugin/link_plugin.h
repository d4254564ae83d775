// The core of Relaydeck_Link: the copy of the client function table, the per-connection
// table, the link server with its session and status threads, the command handler and
// the event handlers. The exported ts3plugin_* functions are thin wrappers over one
// instance of this class; tests drive an instance directly with a table of their own.
#pragma once

#include <array>
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/wire.h"
#include "plugin/net.h"
#include "plugin/client_api.h"
#include "plugin/ts3_abi.h"

namespace rdplugin {

// Identity of the plugin as the client shows it.
extern const char* const kPluginName;        // "Relaydeck [LINK]"
extern const char* const kPluginVersion;     // "3.1.21"
extern const char* const kPluginAuthor;      // "Wavenest"
extern const char* const kPluginDescription; // German sentence, CR CR, English sentence
extern const char* const kCommandKeyword;    // "Relaydeck"
extern const char* const kLogChannel;        // "Relaydeck[LINK]"
extern const char* const kSettingsFile;      // "./Relaydeck[LINK].ini"
extern const char* const kDefaultPort;       // "26001"

// The menu entries and their ids.
constexpr int kMenuRegisterClient = 1;
constexpr int kMenuMoveInChannel = 2;

// One entry of the per-connection table, indexed by the server connection handler id.
struct TS3StatusData {
    bool isGateway = false;
    bool isConnected = false;
    int32_t lastPingTime = 0;
    int32_t speakers = 0;
    int32_t users = 0;
    uint64_t ownChannelID = 0;
    anyID ownClientID = 0;
    uint64_t prevChannelID = 0;
    int32_t pingMisses = 0;
    // The last connection status the client reported for this handler.
    int32_t lastStatus = 0;
    // GW_CONNECT has marked the handler but not yet written its reply: the established
    // connection is announced only after that reply (Relaydeck learns the handler id
    // from it).
    bool replyPending = false;
    // SETPTT opened the microphone path (input deactivated 0) and nothing closed it since.
    bool micOpenByPtt = false;
    // CONNECT status=4 and SERVERINFO have been written for the current connection.
    bool announced = false;
};

constexpr size_t kTableSize = 200;
// The longest command line the plugin reads; longer ones are dropped with a log line.
constexpr size_t kCommandLineLimit = 4095;

class LinkPlugin {
public:
    struct Options {
        // The settings file, resolved against the working directory.
        std::string settingsPath = kSettingsFile;
        // Unix time in whole seconds (GetTimestamp).
        std::function<int64_t()> clock;
        // The status thread's pause between passes, in milliseconds.
        int statusPeriodMs = 10000;
        // Starts the status thread at init; tests that call statusPass() themselves
        // switch it off.
        bool runStatusThread = true;
        // A session whose peer takes no byte of waiting output for this long ends as if
        // the peer had closed it.
        int stallTimeoutMs = 5000;
        // The waits of EXITCLIENT and the end of the client process. Tests replace them.
        std::function<void(int ms)> sleepMs;
        std::function<void(int code)> exitProcess;
    };

    LinkPlugin();
    explicit LinkPlugin(Options options);
    ~LinkPlugin();
    LinkPlugin(const LinkPlugin&) = delete;
    LinkPlugin& operator=(const LinkPlugin&) = delete;

    // --- entry points -----------------------------------------------------------
    // The interface number reported to the client (WHOAMI's API=, the log line at init).
    void setClientApi(const ClientApiChoice& choice);
    int clientApi() const;
    void setFunctionPointers(const TS3Functions& funcs);
    void registerPluginID(const char* id);
    int init();
    void shutdown();
    int processCommand(uint64 h, const char* command);
    void infoData(uint64 h, uint64 id, PluginItemType type, char** data);
    static void initMenus(PluginMenuItem*** menuItems, char** menuIcon);
    static void initHotkeys(PluginHotkey*** hotkeys);
    // The configuration dialog: shown through the presenter set here (the plugin has no
    // GUI toolkit of its own); without one it does nothing.
    void configure(void* handle, void* qParentWidget);

    // --- events -----------------------------------------------------------------
    void onConnectStatusChange(uint64 h, int newStatus, unsigned int errorNumber);
    void onClientMove(uint64 h, anyID clientID, uint64 oldChannelID, uint64 newChannelID, int visibility,
                      const char* moveMessage);
    void onClientMoveMoved(uint64 h, anyID clientID, uint64 oldChannelID, uint64 newChannelID, int visibility,
                           anyID moverID, const char* moverName, const char* moverUniqueIdentifier,
                           const char* moveMessage);
    void onTalkStatusChange(uint64 h, int status, int isReceivedWhisper, anyID clientID);
    int onTextMessage(uint64 h, anyID targetMode, anyID toID, anyID fromID, const char* fromName,
                      const char* fromUniqueIdentifier, const char* message, int ffIgnored);
    int onClientPoke(uint64 h, anyID fromClientID, const char* pokerName, const char* pokerUniqueIdentity,
                     const char* message, int ffIgnored);
    void onClientSelfVariableUpdate(uint64 h, int flag, const char* oldValue, const char* newValue);
    int onServerError(uint64 h, const char* errorMessage, unsigned int error, const char* returnCode,
                      const char* extraMessage);
    int onServerPermissionError(uint64 h, const char* errorMessage, unsigned int error, const char* returnCode,
                                unsigned int failedPermissionID);
    void onPluginCommand(uint64 h, const char* pluginName, const char* pluginCommand);
    void onChannelPermList(uint64 h, uint64 channelID, unsigned int permissionID, int permissionValue,
                           int permissionNegated, int permissionSkip);
    void onClientPermList(uint64 h, uint64 clientDatabaseID, unsigned int permissionID, int permissionValue,
                          int permissionNegated, int permissionSkip);
    void onClientDBIDfromUID(uint64 h, const char* uniqueClientIdentifier, uint64 clientDatabaseID);
    void onMenuItem(uint64 h, PluginMenuType type, int menuItemID, uint64 selectedItemID);

    // --- link -------------------------------------------------------------------
    // Hands one complete line to the session: written at once as far as the socket
    // takes it, the rest queued for the session's writer. Never waits for the peer.
    // The line's size, or -1 without a session, when the connection failed, or when the
    // session had to end (output queue full, or the peer stalled).
    int SendToSocket(std::string_view line);
    // Most output a session may have waiting for its peer.
    static constexpr size_t kOutboxLimit = 256 * 1024;
    // The command handler: one received line, split into command word and parameters.
    void ProcessRecvCommand(std::string_view command, std::string_view params);
    // One pass of the status thread.
    void statusPass();
    int64_t GetTimestamp() const;

    // Makes fd the session socket without the link server (fuzzing and benchmarks write
    // the lines into a socket pair). The caller keeps owning fd; rdnet::kNoSocket
    // detaches it.
    void adoptSession(rdnet::Socket fd);

    // Writes an error text to the client log (level 3, channel "Relaydeck[LINK]").
    void logErrorText(const std::string& text, uint64 logID) { logError(text, logID); }

    // --- inspection (tests, diagnostics) -----------------------------------------
    std::optional<TS3StatusData> entry(uint64 h) const;
    void setEntry(uint64 h, const TS3StatusData& data);
    bool sessionActive() const;
    // Output waiting for the session's peer, in bytes.
    size_t queuedBytes() const;
    // True once the link server thread has reached its accept loop.
    bool listening() const { return m_listening.load(); }
    // The port actually bound (0 before listening); the setting text is linkPort().
    int boundPort() const { return m_boundPort.load(); }
    std::string linkPort() const;
    std::string appPath() const;
    std::string pluginID() const;
    // Waits (bounded) until the server listens or has given up; true when listening.
    bool waitListening(int timeoutMs) const;

private:
    // --- helpers ----------------------------------------------------------------
    const TS3Functions& ts3() const { return m_ts3; }
    std::string returnCode();
    void logError(const std::string& text, uint64 logID);
    void tabMessage(const std::string& text);

    template <class F>
    bool withEntry(uint64 h, F&& f)
    {
        if (h >= kTableSize)
            return false;
        std::lock_guard<std::mutex> lock(m_tableMutex);
        f(m_table[h]);
        return true;
    }
    bool isGateway(uint64 h) const;
    bool isGatewayHandler(uint64 h) const; // isGateway and isConnected
    // Closes the microphone path of every connection SETPTT opened (the session ended).
    void closeOpenMicrophones();
    TS3StatusData snapshot(uint64 h) const;

    // Counts the clients of the own channel except the own client: false when the list
    // cannot be read. ids receives the list as read (all clients of the channel).
    struct Count {
        int users = 0;
        int speakers = 0;
        std::vector<anyID> ids;
    };
    bool countChannel(uint64 h, uint64 channel, anyID own, anyID leaveOut, Count& out);
    void unmuteIfQuiet(uint64 h, const std::vector<anyID>& ids);
    bool setSelfInt(uint64 h, size_t flag, int value);
    void flush(uint64 h);
    void stopAllConnections(const char* quitMessage);
    // The established connection: the entry follows it; for a gateway also the closed
    // microphone path, the pre-processor settings and CONNECT and SERVERINFO.
    void connectionEstablished(uint64 h, unsigned int errorNumber, bool gateway);
    void moveEvent(uint64 h, anyID clientID, uint64 oldCh, uint64 newCh, int visibility, const char* moveMessage,
                   bool byOther, anyID moverID, const char* moverName, const char* moverUID);

    // --- commands -----------------------------------------------------------------
    void cmdWhoAmI();
    void cmdGwPqng(const rdlink::Items& items);
    void cmdGwConnect(const rdlink::Items& items);
    void cmdGwStop(const rdlink::Items& items);
    void cmdSetPtt(uint64 h, const rdlink::Items& items);
    void cmdSetVox(uint64 h, const rdlink::Items& items);
    void cmdSetSelfFlag(uint64 h, size_t flag, const rdlink::Items& items);
    void cmdSetNick(uint64 h, const rdlink::Items& items);
    void cmdSetInfo(uint64 h, const rdlink::Items& items);
    void cmdMoveToChan(uint64 h, const rdlink::Items& items);
    void cmdBackToChan(uint64 h, const rdlink::Items& items);
    void cmdMessage(const std::string& command, uint64 h, const rdlink::Items& items);
    void cmdMsgToGates(uint64 h, const rdlink::Items& items);
    void cmdGetUserPerm(uint64 h, const rdlink::Items& items);
    void cmdMuteClient(uint64 h, anyID id, bool mute);
    void cmdVolume(uint64 h, const rdlink::Items& items, bool voice);
    void cmdUnmuteAll(uint64 h);
    void cmdGetProfiles();
    void cmdGetChannels(uint64 h, const rdlink::Items& items);
    void cmdGetChanPath(uint64 h, const rdlink::Items& items);
    void cmdGetSpeaker(uint64 h, const rdlink::Items& items);
    void cmdPlayWave(uint64 h, const rdlink::Items& items);
    void cmdExitClient();
    void cmdSendToTs(uint64 h);
    void cmdAcStart();

    // --- threads --------------------------------------------------------------------
    // The link server (link_server.cpp): the accept loop; its listening socket
    // (rdnet::kNoSocket once it gave up, the reason in the current tab); one accepted
    // connection, refused while a session runs, otherwise greeted and given a session.
    void serverThread();
    rdnet::Socket openListener();
    void admitConnection(rdnet::Socket conn);
    // The session (link_session.cpp).
    void sessionThread(rdnet::Socket fd);
    // Writes what SendToSocket queued for session fd, until the session ends.
    void writerThread(rdnet::Socket fd);
    // Under m_sendMutex: writes as much of the queue as the socket takes now; false when
    // the connection failed.
    bool drainOutboxLocked(bool notify); // notify: wake those waiting for the queue
    // Under m_sendMutex: the session ends as if the peer had closed it.
    void endSessionLocked();
    void logWarning(const char* text); // client log, level warning
    void logClientApi();               // once after init: client version, number, source
    // Waits (bounded) until the queued output is written or the session is gone.
    void flushOutbox(int timeoutMs);
    void statusThread(); // link_status.cpp
    bool stopping() const { return m_stop.load(); }
    void wake();

    Options m_opt;
    TS3Functions m_ts3{};
    bool m_haveFunctions = false;

    mutable std::mutex m_infoMutex; // pluginID, folders, port text
    std::string m_pluginID;
    std::string m_appPath, m_resourcesPath, m_configPath, m_pluginPath;
    std::string m_linkPort;
    ClientApiChoice m_api;

    mutable std::mutex m_tableMutex;
    std::array<TS3StatusData, kTableSize> m_table{};
    // Per handler, the GATE_PINGs forwarded to Relaydeck and not yet answered: their
    // timestamp text and the pinging client (under m_tableMutex, oldest first, bounded).
    std::array<std::deque<std::pair<std::string, anyID>>, kTableSize> m_pingsToAnswer{};

    mutable std::mutex m_sendMutex; // guards m_sessionFd, the queue and every write
    rdnet::Socket m_sessionFd = rdnet::kNoSocket;
    std::string m_outbox;                                 // output the socket did not take yet, in order
    std::chrono::steady_clock::time_point m_lastProgress; // the queue last shrank or filled
    std::condition_variable m_sendCv;                     // the queue changed or the session ended
    std::atomic<bool> m_sessionActive{false};

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_listening{false};
    std::atomic<bool> m_serverDone{false};
    std::atomic<int> m_boundPort{0};
    rdnet::Waker m_waker;                  // raised at stop: every blocked wait of the link threads returns
    std::atomic<bool> m_netStarted{false}; // the socket library, started by the server thread
    rdnet::Socket m_listenFd = rdnet::kNoSocket;
    std::thread m_server, m_session, m_status;
    std::mutex m_sessionThreadMutex;
    mutable std::mutex m_waitMutex;
    mutable std::condition_variable m_waitCv;
};

// The configuration dialog's logic: the port text box, the save button and the error
// label. The settings file is written only by a successful save.
class ConfigDialog {
public:
    explicit ConfigDialog(std::string settingsPath);

    static constexpr const char* kTitle = "Relaydeck_LINK";
    static constexpr const char* kPortLabel = "Link-Port:";
    static constexpr const char* kSaveButton = "Save";
    static constexpr const char* kErrorText = "ERROR: Numbers only!!";
    static constexpr const char* kNote = "IMPORTANT: After saving the Plugin restart...";
    static constexpr int kMaxLength = 5;

    // The text box content (the current port, at most 5 characters).
    const std::string& portText() const { return m_text; }
    void setPortText(std::string_view text);
    // "Save": true when the port was written and the dialog closes.
    bool save();
    bool errorVisible() const { return m_errorVisible; }
    bool closed() const { return m_closed; }

private:
    std::string m_path;
    std::string m_text;
    bool m_errorVisible = false;
    bool m_closed = false;
};

// Shows a configuration dialog over the client's parent widget; the plugin calls it from
// ts3plugin_configure. Returns "" once shown, otherwise why it could not be (logged).
using DialogPresenter = std::function<std::string(ConfigDialog&, void* parent)>;
void setDialogPresenter(DialogPresenter presenter);

} // namespace rdplugin
