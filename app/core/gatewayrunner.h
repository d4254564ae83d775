// One open gateway: its engine and the timers that drive its ticks (100 ms relay, 1 s
// counters, 1 s lamp blinker, 5 s gateway ping and, while the capture runs, 250 ms DTMF).
// A window shows it by becoming its view; without a window the runner is the engine's view
// itself, and a gateway that asks to close ends here.
#pragma once
#include "app/gateway/gatewaydisplay.h"
#include "app/gateway/gatewayengine.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class GatewayRunner : public QObject, public GatewayView {
    Q_OBJECT
public:
    static constexpr int kRelayMs = 100;
    static constexpr int kCounterMs = 1000;
    static constexpr int kBlinkMs = 1000;
    static constexpr int kPingMs = 5000;
    static constexpr int kDtmfMs = 250;

    explicit GatewayRunner(std::unique_ptr<GatewayEngine> engine, QObject* parent = nullptr);
    ~GatewayRunner() override;

    GatewayEngine& engine() { return *m_engine; }
    const GatewayEngine& engine() const { return *m_engine; }
    // The engine ignores the relay tick until StarteGateway ran and every tick once it has
    // ended, so the timers simply run from the start until the gateway closes.
    void startTimers();
    void stopTimers();
    bool timersRunning() const { return m_relay.isActive(); }

    // The window that shows this gateway (nullptr: none); it gets every display and log
    // change and the engine's close request.
    void setView(GatewayView* view) { m_view = view; }
    GatewayView* view() const { return m_view; }
    // Every log line of the gateway, also with a window (the headless program's log).
    std::function<void(const GwLogLine& line)> onLogLine;
    // Without a window: the gateway closed (it agreed to its close request); the owner
    // frees the runner afterwards.
    std::function<void()> onClosed;

    // GatewayView
    void displayChanged() override;
    void logAppended(const GwLogLine& line) override;
    void logCleared() override;
    void closeWindow() override;
    void windowPosition(int& left, int& top) override;

private:
    std::unique_ptr<GatewayEngine> m_engine;
    GatewayView* m_view = nullptr;
    QTimer m_relay, m_counter, m_blinker, m_ping, m_dtmf;
};
