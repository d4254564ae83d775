// The gateway window: a thin view over one gateway (its engine and timers, a GatewayRunner)
// inside the main window's multi-document area. The program core runs the gateway; the
// window shows the engine's display state and log and passes button presses to the engine.
#pragma once
#include "app/core/gatewayrunner.h"
#include "app/gateway/gatewaydisplay.h"
#include "app/gateway/gatewayengine.h"
#include "app/session/childwindow.h"

#include <QWidget>

#include <functional>
#include <memory>

class AppCore;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QToolButton;
class GatewayLamp;

class GatewayWindow : public QWidget, public ChildWindow, public GatewayView {
    Q_OBJECT
public:
    // A view over a gateway someone else runs (the program core); release is called with
    // the runner when the window goes, and frees the gateway.
    GatewayWindow(GatewayRunner& runner, std::function<void(GatewayRunner*)> release, QWidget* parent = nullptr);
    // A window that runs its gateway itself: the engine is created by the caller (so a
    // program can hand in a subclass) and owned by the window from then on.
    GatewayWindow(std::unique_ptr<GatewayEngine> engine, QWidget* parent = nullptr);
    ~GatewayWindow() override;

    GatewayEngine& engine() { return m_runner->engine(); }
    GatewayRunner& runner() { return *m_runner; }
    // Starts the timers; the program calls it once the engine has started.
    void startTimers() { m_runner->startTimers(); }

    // ChildWindow
    ChildKind childKind() const override { return ChildKind::Gateway; }
    GatewayEndpoint* gatewayEndpoint() override { return &m_runner->engine(); }
    void endForQuit() override;

    // GatewayView
    void displayChanged() override;
    void logAppended(const GwLogLine& line) override;
    void logCleared() override;
    void closeWindow() override;
    void windowPosition(int& left, int& top) override;

    // Colour of a display colour name on screen.
    static QColor colorOf(GwColor c);
    // The log as HTML (tests and the screenshot page).
    QString logHtml() const;
    GatewayLamp* pttLamp() const { return m_pttLamp; }

signals:
    // Opening the gateway setup and the remote user register belongs to the main window.
    void settingsRequested(const QString& gateUID, const QString& cfgFile);
    void remotePermissionsRequested(const QString& gateUID, const QString& cfgFile);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* frameWidget();
    void placeOnce();
    void build();

    std::unique_ptr<GatewayRunner> m_ownRunner; // set when the window runs the gateway itself
    GatewayRunner* m_runner = nullptr;
    std::function<void(GatewayRunner*)> m_release;
    bool m_placed = false;

    GatewayLamp* m_connLamp = nullptr;
    QLabel* m_connLabel = nullptr;
    GatewayLamp* m_txLamp = nullptr;
    QLabel* m_txLabel = nullptr;
    GatewayLamp* m_rxLamp = nullptr;
    QLabel* m_rxLabel = nullptr;
    GatewayLamp* m_pttLamp = nullptr;
    GatewayLamp* m_txOutLamp = nullptr;
    GatewayLamp* m_sqlLamp = nullptr;
    QLabel* m_server = nullptr;
    QLabel* m_channel = nullptr;
    QLabel* m_ping = nullptr;
    GatewayLamp* m_ts3LimitLamp = nullptr;
    QProgressBar* m_ts3Bar = nullptr;
    GatewayLamp* m_hfLimitLamp = nullptr;
    QProgressBar* m_hfBar = nullptr;
    QLabel* m_beacon = nullptr;
    QLabel* m_dtmf = nullptr;
    GatewayLamp* m_dtmfLamp1 = nullptr;
    GatewayLamp* m_dtmfLamp2 = nullptr;
    QTextEdit* m_log = nullptr;
    QToolButton* m_buttons[9] = {};
};

// A round lamp. The radio PTT lamp reports presses so the radio can be keyed by hand.
class GatewayLamp : public QWidget {
    Q_OBJECT
public:
    explicit GatewayLamp(QWidget* parent = nullptr);
    void setLamp(const GwLamp& lamp);
    GwColor color() const { return m_lamp.color; }
    QSize sizeHint() const override { return {16, 16}; }

signals:
    void pressed();
    void released();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    GwLamp m_lamp;
};

// Opens a gateway window for the load parameters (CFG_FILE = the gateway file): builds the
// engine, starts it and its timers. nullptr when the file cannot be used (the error has
// been shown through the host).
GatewayWindow* CreateGatewayWindow(LinkSender& sender, GatewayHost& host, const SettingsList& params,
                                   QWidget* parent = nullptr);
// The same for a gateway the core runs (its session and host); the core frees the gateway
// when the window goes.
GatewayWindow* CreateGatewayWindow(AppCore& core, const SettingsList& params, QWidget* parent = nullptr);
