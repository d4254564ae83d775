// The gateway setup editor without a screen: the settings list being edited, the rules of
// every page (ranges, inverted boxes, the channel commander modes, the wave level pair,
// the port and file checks), renaming, the nickname and info text commands, saving and
// the question when the window closes. The window (GatewaySetupWindow) only shows
// controls and forwards what the user does; tests drive this class directly.
#pragma once
#include "app/config/clock.h"
#include "app/config/settingslist.h"
#include "app/config/sharedsettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class LinkSession;

namespace gatewaysetup {

// A slider bound to an integer key: shown clamped to [min, max]; a stored text that is
// not an integer shows as fallback.
struct SliderSpec {
    const char* key;
    int min;
    int max;
    int fallback;
};

// A field that shows a setting counted in tenths of a second as milliseconds (stored
// value x 100). Accepted input: an integer in [min, max]; it stores input / 100.
struct MsSpec {
    const char* key;
    int min;
    int max;
    int fallback; // the stored value shown when the stored text is not an integer
};

// A number field stored as typed (no conversion), accepted in [min, max].
struct NumberSpec {
    const char* key;
    int min;
    int max;
};

// The bound controls of the pages, one table entry per control.
namespace spec {
// Page 0: airtime limits.
inline constexpr SliderSpec kTs3MaxTime{"TS3-TX-MAXTIME", 60, 600, 300};
inline constexpr SliderSpec kTs3MaxReset{"TS3-TX-MAXRESET", 10, 180, 30};
inline constexpr SliderSpec kHfMaxTime{"HF-TX-MAXTIME", 60, 600, 300};
inline constexpr SliderSpec kHfMaxReset{"HF-TX-MAXRESET", 10, 180, 30};
// Page 2: audio.
inline constexpr SliderSpec kVoxLevel{"TS3-TX-VOX-LV", -50, 50, -10};
inline constexpr MsSpec kVoxDelay{"TS3-VOX-DELAY", 100, 1000, 3};
inline constexpr SliderSpec kOfflineVolume{"HF-OFFLINE-VOLUME", 1, 100, 100};
inline constexpr SliderSpec kUserVolume{"AUDIO-USER-VOLUME", -40, 20, 0};
inline constexpr SliderSpec kWaveVolume{"AUDIO-WAVE-VOLUME", -40, 0, 0};
inline constexpr SliderSpec kWaveReduction{"WAVE-REDUZIERUNG", -40, 0, -20};
inline constexpr MsSpec kWaveLeadIn{"HF-WAVE-VORLAUF", 100, 1000, 4};
inline constexpr MsSpec kWaveLeadOut{"HF-WAVE-NACHLAUF", 100, 1000, 1};
// Page 3: serial lines and relay delays.
inline constexpr MsSpec kHfTxDelay{"HF-TX-DELAY", 0, 1000, 5};
inline constexpr MsSpec kTs3RxDelay{"TS3-RX-DELAY", 0, 1000, 5};
// Page 4: roger beep, receipt beep, beacon, RX end/start beeps.
inline constexpr SliderSpec kRogerVolume{"HF-ROGER-VOLUME", 0, 100, 0};
inline constexpr MsSpec kRogerWait{"HF-ROGER-WAIT", 100, 2000, 5};
inline constexpr SliderSpec kRxInfoVolume{"HF-RXINFO-VOLUME", 0, 100, 0};
inline constexpr MsSpec kRxInfoDelay{"HF-RXINFO-DELAY", 100, 2000, 5};
inline constexpr NumberSpec kBeaconTime{"HF-BAKE-TIME", 300, 6000};
inline constexpr NumberSpec kBeaconAfterTx{"HF-BAKE-AFTX", 0, 99};
inline constexpr NumberSpec kBeaconAfterRx{"HF-BAKE-AFRX", 0, 99};
inline constexpr SliderSpec kRxEndVolume{"HF-RXEND-VOLUME", 0, 100, 50};
inline constexpr SliderSpec kRxStartVolume{"HF-RXSTART-VOLUME", 0, 100, 50};
// Page 5: remote control.
inline constexpr NumberSpec kDtmfInputTime{"DTMF-AKTIV-TIME", 11, 59};
inline constexpr int kDtmfInputTimeFallback = 10;
inline constexpr NumberSpec kCallFreq{"HF-CALL-FREQ", 100, 20000};
inline constexpr NumberSpec kCallLength{"HF-CALL-LENG", 1000, 8000};
inline constexpr SliderSpec kCallVolume{"HF-CALL-VOLU", 1, 100, 30};
} // namespace spec

// Channel commander modes (radio buttons of the connection page).
enum class CommanderMode { NotUsed = 0, AlwaysOn = 1, WhenActivity = 2 };

// The plugin's name lists a pick button offers.
enum class ProfileKind { Identity, Capture, Playback, Bookmark };

// Questions and messages; the window uses message boxes, tests record them.
struct SetupDialogs {
    std::function<void(const QString& text)> error; // with an Abort button
    std::function<void(const QString& text)> information;
    std::function<bool(const QString& question)> askYesNo; // true for Yes
    // The text the user typed; std::nullopt on Cancel.
    std::function<std::optional<QString>(const QString& caption, const QString& prompt)> inputText;
};

// What the editor needs of the program around it. Empty functions mean "none".
struct SetupDeps {
    LinkSession* session = nullptr; // link, profiles and the running gateways
    std::function<bool(int port)> comPortIsOpen;
    std::function<QList<int>()> listComPorts;    // existing serial ports, ascending
    std::function<QStringList()> waveOutDevices; // playback devices in device order
    std::function<QStringList()> waveInDevices;  // capture devices in device order
    QString configFolder;                        // gateway files and rogerbeep.cfg
    QString soundFolder;                         // announcement files, one folder per language
    const Clock* clock = nullptr;                // nullptr: the system clock
    SetupDialogs dialogs;
};

class GatewaySetupModel {
public:
    explicit GatewaySetupModel(SetupDeps deps);

    // Opening with the window's parameters (loadConfig, CFG_FILE, setGateName,
    // newGateName). False when an existing gateway cannot be loaded: text 0060 has been
    // shown and the window must not open.
    bool StarteForm(const SettingsList& params);

    const SettingsList& DATARRAY() const { return m_data; }
    const SettingsList& WIN_LoadParams() const { return m_params; }
    QString gateUID() const { return m_data.value(QStringLiteral("gateUID")); }
    QString gateName() const { return m_data.value(QStringLiteral("gateName")); }
    QString cfgFile() const { return m_params.value(QStringLiteral("CFG_FILE")); }
    bool isNew() const { return !m_existing; }
    bool DAT_IS_CH() const { return m_changed; }

    // --- plain writes: every one marks the list changed, also when the value is the same.
    void setText(const QString& key, const QString& value);
    void setBool(const QString& key, bool on);
    void setInt(const QString& key, qint64 value);
    QString text(const QString& key) const { return m_data.value(key); }
    // A boolean for a check box; a stored text that is no boolean reads as `fallback`.
    bool boolOf(const QString& key, bool fallback = false) const;

    // --- bound controls -----------------------------------------------------------------
    int sliderValue(const SliderSpec& s) const;
    void setSlider(const SliderSpec& s, int value); // clamped
    QString msText(const MsSpec& s) const;          // stored x 100
    // Input of a millisecond field: false (the field turns red, nothing stored) when the
    // text is no integer or out of range; otherwise stores text / 100.
    bool setMs(const MsSpec& s, const QString& text);
    static bool msAccepts(const MsSpec& s, const QString& text);
    // Input of a number field stored as typed; false (red, nothing stored) out of range.
    bool setNumber(const NumberSpec& s, const QString& text);
    static bool numberAccepts(const NumberSpec& s, const QString& text);

    // --- page 1, connection -------------------------------------------------------------
    CommanderMode commanderMode() const;
    void setCommanderMode(CommanderMode mode);
    int connectType() const; // combo index, 0 manual or 1 bookmark
    void setConnectType(int index);
    bool linkUp() const;
    // Sends GETPROFILES while the link is up; with `checked` (the reload buttons) a link
    // that is down shows text 0708.
    bool requestProfiles(bool checked);
    // The names a pick button offers; empty and text 0708 shown when the link is down.
    std::optional<QStringList> pickList(ProfileKind kind);
    // Stores the chosen entry (a bookmark also stores its UID); false for a bad index.
    bool pickProfile(ProfileKind kind, int index);
    static QString profileKey(ProfileKind kind);
    // Stores the nickname, then sends SETNICK when the gateway runs connected to a
    // server, else shows 0746. True when the command was sent.
    bool sendNickname(const QString& nickname);
    // The same for the info text (SETINFO).
    bool sendInfoText(const QString& text);

    // --- page 2, audio ------------------------------------------------------------------
    // Filling the audio page stores what it shows (clamped sliders, converted fields).
    void storeShownAudioValues();
    // The wave level pair: the reduction never exceeds the announcement volume.
    void resetReductionMemory() { m_reductionMemory = -999; }
    int reductionMemory() const { return m_reductionMemory; }
    // Returns the reduction as stored and to be shown.
    int moveReduction(int value, bool leftButtonHeld);
    // Returns the reduction to show (it may have been moved along).
    int moveWaveVolume(int value);
    int offlineDevice() const; // combo index, -1 none
    void setOfflineDevice(int index);
    QStringList waveOutDevices() const;
    QStringList waveInDevices() const;

    // --- page 3, serial lines -----------------------------------------------------------
    QList<int> comPorts() const; // ListComPorts
    // A port picked in one of the three lists (COM-OUT-NUM, COM-IN-NUM, COM-OUT-TX-NUM).
    // A port that is not open shows 0850/0851, stores nothing and returns false.
    bool choosePort(const QString& key, int port);
    // Filling the COM page stores what it shows (boxes, pins, millisecond fields).
    void storeShownComValues();
    static QString outputPinOf(const QString& stored, const QString& fallback);
    static QString inputPinOf(const QString& stored);

    // --- page 4, beacon and beeps -------------------------------------------------------
    QStringList beepDesigns() const; // section names of rogerbeep.cfg in file order
    // Ticking the beacon: only with an existing file; else 1004 and False. Returns the
    // state the box must show.
    bool setBeaconOn(bool on);
    void setBeaconFile(const QString& path);
    void deleteBeaconFile();

    // --- page 5, remote -----------------------------------------------------------------
    int dtmfInputTime() const; // as shown (11 ... 59)

    // --- page 6, announcements ----------------------------------------------------------
    // HF-WAVE-USERIN (S0001.wav) / HF-WAVE-USEROUT (S0002.wav): ticking needs the file in
    // the sound folder of the current language; else 1004 and False. Returns the state
    // the box must show.
    bool setAnnouncement(const QString& key, bool on);
    QString announcementFile(const QString& key) const;

    // --- window ---------------------------------------------------------------------------
    // Input box 0703/0704; names under 6 characters are refused with 0705. True when the
    // name changed.
    bool rename();
    bool setGateNameChecked(const QString& name);
    void setAutorun(bool on) { setBool(QStringLiteral("gateAutorun"), on); }
    // Writes the gateway file; a running gateway is handed the edited list itself, so from
    // then on every edit acts on it at once. False (the list stays marked changed, an error
    // shown) when the file cannot be written.
    bool save();
    // The program quits without asking: the edits since the last save are dropped (a
    // running gateway that was handed the list gets the saved settings back, so it stores
    // what was saved last) and closeQuery() asks nothing. True when there was something
    // to drop: changed settings or a new gateway never saved.
    bool dropUnsavedEdits();
    // Before the window closes: asks 0061 (existing, changed) or 0062 (new), Yes saves.
    // False when saving failed, so the window stays open.
    bool closeQuery();

    // The wire items of a command value.
    static QString escape(const QString& text);

private:
    void markChanged() { m_changed = true; }
    const Clock& clock() const;
    void error(const QString& id) const;
    bool gatewayServer(int* handler) const;

    SetupDeps m_deps;
    SettingsList m_params;
    SharedSettingsList m_data; // handed to the running gateway once saved
    SettingsList m_lastSaved;  // the settings as they are on disk
    bool m_handedOver = false;
    bool m_dropped = false;
    bool m_changed = false;
    bool m_existing = false;
    bool m_saved = false;
    int m_reductionMemory = -999;
};

} // namespace gatewaysetup
