// The COM port manager: opens serial ports once and shares their modem lines between
// gateways. One port can carry one gateway's PTT on RTS, another's on DTR and the squelch
// inputs of several gateways on CTS, DSR and RING. An output pin stays active while any
// holder holds it.
//
// Gateways key with SetCOMStatus(holder, n, pin, true, invert) and unkey with the same
// call and on=false; they read squelch with GetCOMStatus(n, pin, invert). Before using a
// pin they ask COMPortIsOpen(n) and treat the pin as unavailable when it is false.
//
// Holder names: "GATE_" + gateUID (receive-side output), "GATE_TX_" + gateUID (transmit-
// side output), "STKLICK" + n (hand keying in the status window).
// Pin names: outputs "RTS", "DTR", "BREAK"; inputs "CTS", "DSR", "RING" (exact, upper case).
//
// Adapters that come and go: when an open port's device disappears the port is *lost*:
// COMPortIsOpen reads false, every output reads released and every input low, the
// holders stay registered. tick() (once a second, startWatch) looks for the same device
// again and reopens it; the lines are then driven to what their holders want. Listeners
// hear of both.
//
// Plain class without any window; lives on the main thread. Port numbers 1..50.
#pragma once

#include "app/serial/serialbackend.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <map>
#include <memory>

class QTimer;
class SerialPort;

class ComPortManager {
public:
    static constexpr int kMaxPorts = 50;

    // Makes the backend for a device text ("/dev/ttyUSB0", "virtual:", "memory:x"...).
    // The default factory (defaultBackendFactory()) knows the Linux tty backend and the
    // virtual socket backend; tests inject the in-memory one.
    using BackendFactory = std::function<std::unique_ptr<SerialBackend>(const QString& device)>;
    static BackendFactory defaultBackendFactory();

    // comportCfgPath: full path of comport.cfg (may not exist yet).
    explicit ComPortManager(QString comportCfgPath, BackendFactory factory = defaultBackendFactory());
    // Releases every output line and closes every port (as StoppeCOMPorts).
    ~ComPortManager();
    ComPortManager(const ComPortManager&) = delete;
    ComPortManager& operator=(const ComPortManager&) = delete;

    QString configPath() const { return m_cfgPath; }

    // Opens port n ("COM" + n on the device that deviceForPort(n) names). Restarting an
    // open port drops all its holders and writes its lines low (it is reopened only when
    // its device mapping changed). After a
    // successful open RTS, DTR and BREAK are written low. A port that fails to open leaves
    // the entry empty; no message. Success shows as COMPortIsOpen(n).
    void StarteCOMPort(int n);
    // Writes RTS, DTR, BREAK low, closes port n and empties its entry. Empty entry: nothing.
    void StoppeCOMPort(int n);
    // StoppeCOMPort for n = 50 down to 1.
    void StoppeCOMPorts();
    // True when 1 <= n <= 50 and port n is open.
    bool COMPortIsOpen(int n) const;
    // Writes the port set to comport.cfg: for every open port section "COM"+n gets
    // ident=n and activ=1; every other section "COM"+n (1..50) is erased whole.
    void SaveCOMPortSetup();

    // Adds (on) or removes (!on) holder for the output pin ("RTS", "DTR", "BREAK") of port
    // n, then writes the pin: active exactly when the holder list is non-empty, or, with
    // invert, exactly when it is empty. The level is written on every call. Closed port or
    // other pin names: nothing.
    void SetCOMStatus(const QString& holder, int n, const QString& pin, bool on, bool invert);
    // Raw pin state XOR invert. Outputs read their last written level, inputs the polled
    // flags (no older than about 75 ms). Closed port or unknown pin: false XOR invert.
    bool GetCOMStatus(int n, const QString& pin, bool invert) const;
    // The carrier-detect input, which is not one of the pin names gateways can choose
    // (diagnostics and tests). Closed port: false.
    bool carrierDetect(int n) const;

    // Current holders of an output pin of port n (empty when closed or unknown pin).
    QStringList holders(int n, const QString& pin) const;

    // --- device mapping ----------------------------------------------------------------
    // The device text used for port n: the `device` key of section "COM"+n in comport.cfg
    // when present, else the default: COM1..COM32 -> /dev/ttyS0..31, COM33..COM42 ->
    // /dev/ttyUSB0..9, COM43..COM50 -> /dev/ttyACM0..7. "virtual:" (optionally followed
    // by a socket path) selects the virtual port driven over a Unix-domain socket.
    QString deviceForPort(int n) const;
    static QString defaultDeviceForPort(int n);
    // Default socket of a virtual port: <temp folder>/relaydeck-vcom/COM<n>.sock.
    static QString virtualSocketPath(int n);
    // Stores (or with an empty text removes) the `device` key of section "COM"+n.
    void setDeviceForPort(int n, const QString& device);

    // Whether port n exists (present, free or in use). Virtual devices always exist. Does
    // not open the device (that would raise its lines and key a radio on it).
    bool probePort(int n) const;
    // Replaces the device probe (tests: the in-memory hub's device list).
    void setProbe(std::function<bool(const QString& device)> probe) { m_probe = std::move(probe); }

    // --- start-up and status window settings in comport.cfg -----------------------------
    struct StartupEntry {
        int ident = 0;
        bool status = false; // open the status window
        int top = 10;
        int left = 10;
    };
    // Reads comport.cfg in file order; for every section with activ true and ident > 0
    // calls log(" -> " + text 0403 + "... [ COM" + ident + " ]"), opens the port and
    // returns the entry (the caller opens the status windows whose `status` is true).
    QList<StartupEntry> startFromConfig(const std::function<void(const QString&)>& log = {});

    bool statusOnAutorun(int n) const;                      // `status` of section "COM"+n
    void setStatusOnAutorun(int n, bool on);                // written at once
    void statusWindowPos(int n, int& top, int& left) const; // defaults 10/10
    void saveStatusWindowPos(int n, int top, int left);

    // The port object of an open port (nullptr when closed). For diagnostics and tests.
    SerialPort* port(int n) const;

    // The keys of section "COM"+n, lower case (handed to the backend: pin mapping).
    PortOptions optionsForPort(int n) const;

    // --- lost devices and reasons ---------------------------------------------------------
    // True while port n is lost (its device went away and is looked for again).
    bool COMPortIsLost(int n) const;
    // The device port n lost ("" when it is not lost).
    QString lostDevice(int n) const;
    // Why port n is not usable, for the editor and the start log: the last failed open
    // (permission, refused pins, not found...), the lost device, or a remark about the open
    // device. Empty when there is nothing to say.
    QString openProblem(int n) const;
    // True when the last open of port n failed only because the device is not there (the
    // quiet case).
    bool openFailedMissing(int n) const;
    // The text for a failed open ("no permission for /dev/ttyUSB0: add the user to ...").
    static QString describeFailure(const OpenFailure& f);

    enum class PortEvent { Lost, Reopened };
    // Called on the main thread, from tick(): "COM7 lost: <device>" / "COM7 reopened: <device>".
    using Listener = std::function<void(int n, PortEvent event, const QString& text)>;
    void setListener(Listener l) { m_listener = std::move(l); }
    // One pass of the watch: lost devices are closed, lost ports whose device is back are
    // reopened. startWatch runs it every intervalMs (never faster than 1 s) on the main
    // thread's event loop.
    void tick();
    static constexpr int kWatchIntervalMs = 1000;
    void startWatch(int intervalMs = kWatchIntervalMs);
    // The interval the watch runs at (0 before startWatch).
    int watchIntervalMs() const;

private:
    struct Entry {
        std::unique_ptr<SerialPort> port;
        QStringList rts, dtr, brk;
        bool invRts = false, invDtr = false, invBrk = false; // invert of the last write
        bool lost = false;
        QString lostDevice;
    };
    Entry* entry(int n) const;
    QStringList* holderList(Entry& e, const QString& pin) const;
    void markLost(int n, Entry& e);
    void tryReopen(int n, Entry& e);
    void applyHolders(Entry& e);

    QString m_cfgPath;
    BackendFactory m_factory;
    std::function<bool(const QString&)> m_probe;
    std::array<std::unique_ptr<Entry>, kMaxPorts + 1> m_table; // index 1..50
    std::array<OpenFailure, kMaxPorts + 1> m_failures;         // last failed open
    Listener m_listener;
    std::unique_ptr<QTimer> m_watch;
};
