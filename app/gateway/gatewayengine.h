// One gateway: a radio on a serial port joined with one TeamSpeak server connection of
// the client that runs the Link plugin. The engine keeps the gateway's settings and
// runtime lists, answers the lines the plugin session routes to it, runs the voice relay
// and the one-second counters, and keeps what the gateway window shows. The window (or a
// test) drives the ticks: relayTick() every 100 ms, secondTick() and blinkTick() every
// second, pingTick() every 5 s. Everything runs on the main thread.
#pragma once
#include "app/config/clock.h"
#include "app/config/gatewaykeys.h"
#include "app/config/settingslist.h"
#include "app/config/sharedsettings.h"
#include "app/gateway/gatewaydisplay.h"
#include "app/gateway/gatewayhost.h"
#include "app/gateway/gatewaystate.h"
#include "app/session/gatewayendpoint.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <memory>

class GatewayDtmfInput;       // app/gateway/gatewaydtmfinput.h: decoder, capture, digit queue
class GatewayLocalPlayer;     // app/gateway/gatewaytones.h: offline player
class GatewayDirectoryChecks; // app/gateway/gatewaydirectory.cpp: block check and hourly report timers

class GatewayEngine : public GatewayEndpoint {
public:
    GatewayEngine(LinkSender& sender, GatewayHost& host, const Clock& clock = SystemClock::instance());
    ~GatewayEngine() override;
    GatewayEngine(const GatewayEngine&) = delete;
    GatewayEngine& operator=(const GatewayEngine&) = delete;

    void setView(GatewayView* view) { m_view = view; }

    // --- GatewayEndpoint ---------------------------------------------------------------
    int TS3_scHandlerID() const override { return m_scHandlerID; }
    QString gateUID() const override { return m_gateUID; }
    bool TS3_IstConnected() const override { return m_connected; }
    QString windowTitle() const override { return m_display.title; }
    void ResetGateway() override;
    void StarteGateway(int n) override;
    void TS3_Disconnect() override;
    void ParseIncomingTS3Data(const QString& command, const SettingsList& items) override;
    void WriteConfig(std::shared_ptr<SettingsList> settings) override;
    // A copy of the list becomes the live settings.
    void WriteConfig(const SettingsList& settings) { WriteConfig(std::make_shared<SettingsList>(settings)); }
    void CloseGateway() override;

    // --- Lifecycle ---------------------------------------------------------------------
    // Loads the gateway file named by CFG_FILE, completes it with defaults and asks for
    // the server connection. False when the file is missing or unusable (the error has
    // been shown; the window must close).
    bool StarteForm(const SettingsList& loadParams);
    void StoppeGateway();
    void BeendeForm(int n = 0);
    // Stores activTime and the window position and writes the gateway file.
    bool ConfigSpeichern();
    // The window's close request: true when the window may close now.
    bool CloseQuery();
    bool isEnded() const { return m_ended; }
    bool runTimerActive() const { return m_runTimerOn && !m_ended; }
    void setWindowPosition(int left, int top);
    int windowLeft() const { return m_windowLeft; }
    int windowTop() const { return m_windowTop; }

    // --- Ticks ---------------------------------------------------------------------------
    void relayTick();  // 100 ms, once StarteGateway ran
    void secondTick(); // 1 s, counters and time limits
    void pingTick();   // 5 s, gateway ping
    void blinkTick();  // 1 s, connection lamp
    // 1 s (from secondTick): logs once when a serial port this gateway uses is lost and
    // when it is back (gatewaycomwatch.cpp).
    void comPortWatch();

    // --- Voice relay ---------------------------------------------------------------------
    void TxVoiceChanged(bool on);
    // False when the talker is blocked in the user register (nothing goes to the radio).
    // clientTalking: the talker's own status in the event (-1: not known, as for a count).
    bool RxVoiceChanged(bool active, const QString& clientID, int speakers, const QString& clientUID,
                        int clientTalking = -1);
    void RadioPttOn();
    void RadioPttOff();
    void TxOutputOn();
    void TxOutputOff();
    void UpdateSquelchLamp();
    // Sends SETWAVELEVEL (while a handler id is known) and remembers the level.
    void SetWaveLevel(int level);

    // Tallies for the status page and the metrics, since the gateway opened.
    struct Tally {
        int talkers = 0;        // TeamSpeak users talking, as the last talk event said
        quint64 dtmfDigits = 0; // digits decoded
        quint64 errors = 0;     // error events of the plugin for this gateway
    };
    const Tally& tally() const { return m_tally; }

    // --- Beacon and DTMF control (gatewaysignals.cpp, gatewaydtmf.cpp) -------------------
    void SendBeacon();
    void DTMFTimerTick();  // every 250 ms while dtmfRunning()
    void OnDigit(QChar c); // one decoded digit, on the main thread
    void ExecuteDtmfCommand(const QString& s);
    bool dtmfRunning() const { return m_dtmfInput != nullptr; }
    GatewayDtmfInput* dtmfInput() const { return m_dtmfInput.get(); }
    GatewayLocalPlayer* localPlayer() const { return OFFWAV.get(); }

    // --- Directory service (gatewaydirectory.cpp) ----------------------------------------
    // Block check, every 5 s from StarteForm until the service has answered (then
    // CheckAppAbuse is true and the check ends); hourly status report (GATE-ONLINE while
    // connected, GATE-OFFLINE otherwise).
    void abuseCheckTick();
    void statPingTick();

    // --- Event handling ------------------------------------------------------------------
    void OnServerConnected(const SettingsList& items);
    void OnServerDisconnected(const SettingsList& items);
    void HandleGatewayError(const SettingsList& items, const QString& errorCode);
    void HandlePluginCommand(const QString& cmd, const SettingsList& items);

    // --- Window actions ------------------------------------------------------------------
    void pressChannelCommander();
    void pressAway();
    void pressPlayback();
    void pressRecording();
    void pressSaveStartChannel(); // asks through the host, then GETCHANPATH
    void releaseCallTone();
    void radioLampPressed(); // keys the radio by hand
    void radioLampReleased();

    // --- Display and log -----------------------------------------------------------------
    const GatewayDisplay& display() const { return m_display; }
    const QList<GwLogLine>& log() const { return m_log; }
    void WriteLog(const QString& text, GwColor color, GwStyle style = GwStyle::Normal);
    void clearLog();
    QString cfgFile() const { return RDK3_LoadParams.value(gwkey::CFG_FILE); }
    GatewayHost& host() { return m_host; }
    const Clock& clock() const { return m_clock; }
    // Sends one command through the session; items are already escaped.
    void send(const QString& command, const QString& params);
    QString scHandlerItem() const; // "scHandler=<id>"

    // --- State (names as the rest of the program and the files know them) ---------------
    SettingsList RDK3_LoadParams;
    SharedSettingsList DATARRAY;
    SettingsList TS3FLAGS;
    SettingsList SPEAKERS;
    SettingsList COUNTER;
    bool CheckAppAbuse = false;

    // The engine's own state, grouped by what runs it (gatewaystate.h).
    const RelayState& relay() const { return m_relay; }
    const BeaconState& beacon() const { return m_beacon; }
    const DtmfState& dtmf() const { return m_dtmf; }
    const PingState& ping() const { return m_ping; }

protected:
    // --- Hooks of the features built in their own files ----------------------------------
    // Tone signals and announcements (gatewaysignals.cpp).
    virtual void PlayRogerBeep();
    virtual void PlayRxInfoBeep();
    virtual void PlayRxStartBeep();
    virtual void PlayRxEndBeep();
    virtual void PlayCallTone();
    // reduced: lower the level while somebody talks.
    virtual void PlayAnnouncement(const QString& file, bool reduced);
    virtual void WavePlayUpkeep();     // keeps HF-WAVE-PLAY in step with the local player
    virtual void BeaconTick();         // beacon step of the relay tick
    virtual void PrepareLocalPlayer(); // offline announcements on HF-OFFLINE-DEVICE
    virtual void ReleaseLocalPlayer();
    // DTMF control (gatewaydtmf.cpp).
    virtual void OpenDtmf();
    virtual void CloseDtmf();
    // Chat commands of TeamSpeak users (gatewayremote.cpp); cmd is upper case.
    virtual void HandleRemoteCommand(const QString& cmd, const SettingsList& items);
    // Directory service requests (gatewaydirectory.cpp).
    virtual void DirectoryRequest(const QString& action, const SettingsList& items);
    virtual void StartDirectoryChecks();

    // Rules of one TeamSpeak user from the gateway's user register (gatewayfile.cpp).
    struct UserRules {
        int volume = 0;
        bool notp = false;
    };
    virtual UserRules ReadUserRules(const QString& clientUID);

    // Gateway file access (gatewayfile.cpp).
    virtual bool LoadGatewayFile(const QString& path, SettingsList& out);
    virtual bool SaveGatewayFile(const QString& path, const SettingsList& list);
    virtual void CompleteWithDefaults(SettingsList& list);

private:
    struct Output {
        QString holder;
        bool held = false;
        int port = 0;
        QString pin;
        bool invert = false;
    };
    enum class OutKind { Ptt, Tx };
    // What differs between the TeamSpeak-side and the radio-side transmit time limit.
    struct AirtimeLimit {
        const QString& onKey;        // the limit is switched on
        const QString& resetKey;     // seconds of the block
        const QString& blockCounter; // COUNTER entry of the running block
        GwLamp& lamp;
        GwBar& bar;
        const char* command; // what blocks and frees the direction
    };

    bool loadSettings(const QString& file);
    // Incoming lines: the table and one handler per word that needs more than a line.
    void dispatch(const QString& command, const SettingsList& items);
    bool forThisGateway(const SettingsList& items) const;
    void onGwPong(const QString& timestamp);
    void onConnectionStatus(const QString& status, const SettingsList& items, bool withReason);
    void onTalk(const SettingsList& items, const QString& clientID, const QString& clientUID);
    void onSelfVar(const QString& flag, const QString& newValue);
    void onUserInOut(bool in, const QString& nickname);
    void recountTalkers();
    void onTalkersCounted(const SettingsList& items);
    void onChannelPath(const SettingsList& items);
    void onWavePlayer(int len);
    void handleMoved(const SettingsList& items);
    void handleChannels(const SettingsList& items);
    void showConnected(const SettingsList& items);
    void showDisconnected();
    void sendGwConnect();
    // Steps of the relay tick and of the talk events (gatewayrelay.cpp).
    void squelchStep();
    void holdStep();
    void pttStep();
    void ts3AirtimeFollows(bool transmitting);
    void rxStarts(const QString& clientID, int speakers);
    void rxEnds(int speakers);
    // Beacon and DTMF input (gatewaysignals.cpp, gatewaydtmf.cpp).
    void beaconCountRule(bool on);
    void dtmfInputStarts();
    void dtmfInputEnds();
    // One-second counters and the transmit time limits.
    void counterAction(const QString& name);
    AirtimeLimit ts3Limit();
    AirtimeLimit hfLimit();
    void airtimeBlocked(const AirtimeLimit& limit);
    void airtimeFree(const AirtimeLimit& limit);
    void channelMessage(const QString& escaped);
    void showCounterProgress(const QString& name, int left);
    void refreshLimitLamps();
    void setButtonsConnected(bool connected);
    void setFlagButton(const QString& flag);
    void toggleFlag(const QString& flag, const char* command);
    void driveOutput(OutKind kind, bool on);
    void outputOff(OutKind kind);
    void startRadioTxTime();
    void releaseOutputs();
    void radioPttOffUnlessHeld();
    QString text(const char* id) const;
    QString bbcode(const char* colour, const QString& body) const;
    bool voxMode() const;
    // The settings every relay tick of every gateway reads, taken from DATARRAY again
    // whenever its revision has moved on (the setup changes the live list at any time).
    struct TickSettings {
        struct Line {
            bool on = false;
            int num = 0;
            QString pin;
            bool invert = false;
        };
        quint64 revision = 0;  // 0: not taken yet
        bool vox = false;      // TS3-TX-PIN is "VOX"
        bool comKeyed = false; // TS3-TX-PIN is "COM"
        Line in, out, txOut;   // COM-IN-*, COM-OUT-*, COM-OUT-TX-*
        bool hfTxMaxOn = false;
        bool beaconOn = false;
        int beaconAfterTx = 0;
        int beaconAfterRx = 0;
        QString beaconFile;
        QString beaconTime;
    };
    const TickSettings& tickSettings() const;
    void changed() { m_dirty = true; }
    void setLamp(GwLamp& lamp, const GwLamp& to)
    {
        if (lamp.color != to.color || lamp.hint != to.hint) {
            lamp = to;
            m_dirty = true;
        }
    }
    void flushDisplay();

    LinkSender& m_sender;
    GatewayHost& m_host;
    const Clock& m_clock;
    GatewayView* m_view = nullptr;

    QString m_gateUID;
    int m_scHandlerID = 0;
    bool m_connected = false;
    Tally m_tally;
    QSet<QString> m_blockedTalking; // blocked users who talk now (they are in the client's count)
    bool m_recountAsked = false;    // a GETSPEAKER after a talker may have gone is unanswered
    bool m_runTimerOn = false;
    bool m_ended = false;
    QMap<int, QString> m_lostComPorts; // port -> device, as logged
    bool m_started = false;
    int m_windowLeft = 10;
    int m_windowTop = 10;
    QStringList _CHS;
    Output m_ptt;
    Output m_txOut;
    std::shared_ptr<GatewayDtmfInput> m_dtmfInput;
    std::shared_ptr<GatewayLocalPlayer> OFFWAV;
    std::shared_ptr<GatewayDirectoryChecks> m_directoryChecks;

    mutable TickSettings m_tickSettings;
    RelayState m_relay;
    BeaconState m_beacon;
    DtmfState m_dtmf;
    PingState m_ping;

    GatewayDisplay m_display;
    QList<GwLogLine> m_log;
    bool m_dirty = false;
};
