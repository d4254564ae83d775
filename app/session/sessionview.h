// What the plugin session shows. The main window implements it; tests record the calls.
#pragma once
#include <QString>

class SessionView {
public:
    enum class LinkColour { Green, Red, White };
    virtual ~SessionView() = default;
    // The link state panel at the right end of the toolbar.
    virtual void setLinkPanel(const QString& text, LinkColour colour) = 0;
    // Status bar panel 0: link state text.
    virtual void setLinkStatus(const QString& text) = 0;
    // Status bar panel 1: last error, or "No Error".
    virtual void setErrorStatus(const QString& text) = 0;
    // Status bar panel 3: round trip of the last ping.
    virtual void setPingStatus(const QString& text) = 0;
    // The 20 s ping timer runs only while the session is connected.
    virtual void setPingTimerEnabled(bool on) = 0;
    // Tray balloon after a good identification of the plugin.
    virtual void showBalloon(const QString& title, const QString& text) = 0;
    // A message box with an OK button (information) or an Abort button (error). It must
    // not block the caller: it is raised while a received block is being handled.
    enum class MessageKind { Information, Error };
    virtual void showMessage(MessageKind kind, const QString& text) = 0;
};

// The link monitor window, while one is open.
class LinkMonitorSink {
public:
    virtual ~LinkMonitorSink() = default;
    virtual void clearTraffic() = 0;
    virtual void appendTraffic(const QString& line) = 0;
};
