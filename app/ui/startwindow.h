// The start window: at every program start it opens the serial ports listed in
// comport.cfg (and their status windows), then works through the gateway files and opens
// every gateway marked gateAutorun, one every 2 s, files without autostart passed over in
// 150 ms steps. Two seconds after its "Done" line it closes itself.
//
// StartSequence is the whole behaviour without a screen: the window only shows its log
// lines and runs one single-shot timer for whichever of its two timers is armed, so a
// test steps the sequence with timerFired() instead of waiting.
#pragma once
#include "app/session/childwindow.h"

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class ComPortManager;
class MainWindow;
class QTextEdit;

enum class StartLogStyle {
    Info,  // grey italics: starting, done
    Ok,    // green: a port or a gateway being opened
    Error, // red: a port that stayed closed, a gateway file that cannot be used
};

class StartSequence {
public:
    static constexpr int kGatewayDelayMs = 2000; // before the first and after each started gateway
    static constexpr int kSkipDelayMs = 150;     // after a file that is not started
    static constexpr int kCloseDelayMs = 2000;   // from "Done" to closing

    struct Hooks {
        std::function<void(const QString& text, StartLogStyle style)> log;
        // Opens the status window of a port (from the port's comport.cfg section).
        std::function<void(int port, int top, int left)> openComStatus;
        // GatewayIstAktiv: a gateway window with this gateUID is open.
        std::function<bool(const QString& gateUID)> gatewayIsActive;
        // Opens the gateway window (CFG_FILE = path); false when it did not open.
        std::function<bool(const QString& path, const QString& gateName)> openGateway;
        // The window closes and is freed.
        std::function<void()> close;
    };

    enum class Timer {
        None,           // not yet shown, or closed
        GateStartDelay, // next gateway file due
        Closing,        // "Done" written; closes when it fires
    };

    // Creation: clears the log, writes " -> starting" and lists the gateway files of
    // cfgFolder (*.rdk, not directories). Both timers stopped. ports may be nullptr (no
    // serial ports in this build).
    StartSequence(QString cfgFolder, ComPortManager* ports, Hooks hooks);

    // The window was shown: opens the ports of comport.cfg and their status windows,
    // then arms gateStartDelay with 2000 ms. Only the first call does anything.
    void shown();
    // The armed timer fired (the window's timer, or a test stepping the sequence).
    void timerFired();

    Timer armed() const { return m_armed; }
    int intervalMs() const { return m_interval; }
    bool finished() const { return m_closed; }
    // The file names still to check, first one next.
    const QStringList& gateFiles() const { return m_gateFiles; }

private:
    void arm(Timer t, int ms);
    void log(const QString& text, StartLogStyle style);
    int checkNextFile();

    QString m_cfgFolder;
    ComPortManager* m_ports;
    Hooks m_hooks;
    QStringList m_gateFiles;
    Timer m_armed = Timer::None;
    int m_interval = 0;
    bool m_shown = false;
    bool m_closed = false;
};

// The start window itself: a read-only coloured log, placed at 10/10, without a close
// button. It starts its sequence once it is first shown.
class StartWindow : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    StartWindow(MainWindow& main, QWidget* parent = nullptr);
    ~StartWindow() override;

    ChildKind childKind() const override { return ChildKind::StartWindow; }
    StartSequence& sequence() { return *m_seq; }
    QTimer& timer() { return m_timer; }
    // The log as plain text, one line per entry.
    QString logText() const;
    // Runs the armed timer's work now (what the timer does when it fires).
    void fireTimer();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void appendLog(const QString& text, StartLogStyle style);
    void syncTimer();
    void closeSelf();

    MainWindow& m_main;
    QTextEdit* m_log = nullptr;
    std::unique_ptr<StartSequence> m_seq;
    QTimer m_timer;
    bool m_placed = false;
};

// Registers the factories of the start window, the gateway list, the COM port editor and
// the COM status window with the main window.
void RegisterStartAndListWindows(MainWindow& main);
