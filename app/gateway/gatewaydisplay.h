// What the gateway window shows, kept by the engine so that the window is a thin view
// and tests can read every lamp, label and log line without a screen.
#pragma once
#include <QList>
#include <QString>

enum class GwColor {
    Blue,
    LightBlue,   // sky blue
    BrightGreen, // lime
    Green,       // dark green
    Red,
    DarkRed, // maroon
    Silver,
    Grey,
    Navy,
};

enum class GwStyle { Normal, Bold, Italic };

struct GwLamp {
    GwColor color = GwColor::Silver;
    QString hint;
};

struct GwLabel {
    QString text;
    GwColor color = GwColor::Grey;
};

struct GwBar {
    int max = 100;
    int pos = 0;
    GwColor color = GwColor::Green;
};

struct GwButton {
    bool enabled = false;
    int glyph = -1; // index into the window's 16-pixel icon list, -1 = none
    QString hint;
};

struct GwLogLine {
    QString text; // "[hh:mm:ss] > " + message
    GwColor color = GwColor::Grey;
    GwStyle style = GwStyle::Normal;
};

struct GatewayDisplay {
    QString title;

    // Teamspeak status
    GwLamp connLamp{GwColor::Blue, {}};
    GwLabel connLabel;
    GwLamp txLamp{GwColor::Green, {}};
    GwLabel txLabel;
    GwLamp rxLamp{GwColor::Green, {}};
    GwLabel rxLabel;

    // COM port status
    GwLamp pttLamp;   // radio PTT output ("RX")
    GwLamp txOutLamp; // second output ("TX")
    GwLamp sqlLamp;   // squelch input

    // Connect info
    QString serverField;
    QString channelField;
    QString pingLabel = QStringLiteral("--");

    // Speaking time limit
    GwLamp ts3LimitLamp;
    GwBar ts3Bar;
    GwLamp hfLimitLamp;
    GwBar hfBar;

    QString beaconLine;
    QString dtmfLine;
    GwColor dtmfColor = GwColor::Grey;
    GwStyle dtmfStyle = GwStyle::Normal;
    GwLamp dtmfLamp1;
    GwLamp dtmfLamp2;

    // Functions
    GwButton chcomButton;
    GwButton awayButton;
    GwButton playbackButton;
    GwButton recordingButton;
    GwButton settingsButton;
    GwButton remoteButton;
    GwButton callButton;
    GwButton saveChannelButton;
    GwButton spareButton;
};

// The window's side: told when something changed. All calls come on the main thread.
class GatewayView {
public:
    virtual ~GatewayView() = default;
    virtual void displayChanged() {}
    virtual void logAppended(const GwLogLine&) {}
    virtual void logCleared() {}
    // The engine asks its window to close through the ordinary close path.
    virtual void closeWindow() {}
    // The window's current left and top, stored when the gateway saves its file.
    virtual void windowPosition(int& /*left*/, int& /*top*/) {}
};
