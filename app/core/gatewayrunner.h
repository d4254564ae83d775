// One open gateway: its engine, ticked by the shared GatewayTicker (100 ms relay, 1 s
// counters and lamp blinker, 5 s gateway ping and, while the capture runs, 250 ms DTMF).
// A window shows it by becoming its view; without a window the runner is the engine's view
// itself, and a gateway that asks to close ends here.
#pragma once
#include "app/gateway/gatewaydisplay.h"
#include "app/gateway/gatewayengine.h"
#include "app/core/gatewayticker.h"

#include <QObject>

#include <functional>
#include <memory>

class GatewayRunner : public QObject, public GatewayView, private TickTarget {
    Q_OBJECT
public:
    // ticker nullptr: the main thread's shared one.
    explicit GatewayRunner(std::unique_ptr<GatewayEngine> engine, QObject* parent = nullptr,
                           GatewayTicker* ticker = nullptr);
    ~GatewayRunner() override;

    GatewayEngine& engine() { return *m_engine; }
    const GatewayEngine& engine() const { return *m_engine; }
    // The engine ignores the relay tick until StarteGateway ran and every tick once it has
    // ended, so the gateway is ticked from the start until it closes.
    void startTimers();
    void stopTimers();
    bool timersRunning() const { return m_ticker && m_ticker->isEnrolled(this); }

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
    // TickTarget
    void relayTick() override { m_engine->relayTick(); }
    void secondTick() override
    {
        m_engine->secondTick();
        m_engine->blinkTick();
    }
    void pingTick() override { m_engine->pingTick(); }
    bool dtmfRunning() const override { return m_engine->dtmfRunning(); }
    void dtmfTick() override { m_engine->DTMFTimerTick(); }

    std::unique_ptr<GatewayEngine> m_engine;
    GatewayView* m_view = nullptr;
    QPointer<GatewayTicker> m_ticker;
};
