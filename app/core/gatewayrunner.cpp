#include "app/core/gatewayrunner.h"

GatewayRunner::GatewayRunner(std::unique_ptr<GatewayEngine> engine, QObject* parent)
    : QObject(parent), m_engine(std::move(engine))
{
    m_engine->setView(this);
    GatewayEngine* e = m_engine.get();
    const struct {
        QTimer& timer;
        int ms;
        void (GatewayEngine::*tick)();
    } timers[] = {
        {m_relay, kRelayMs, &GatewayEngine::relayTick},   {m_counter, kCounterMs, &GatewayEngine::secondTick},
        {m_blinker, kBlinkMs, &GatewayEngine::blinkTick}, {m_ping, kPingMs, &GatewayEngine::pingTick},
        {m_dtmf, kDtmfMs, &GatewayEngine::DTMFTimerTick},
    };
    for (const auto& t : timers) {
        t.timer.setInterval(t.ms);
        connect(&t.timer, &QTimer::timeout, this, [e, tick = t.tick] { (e->*tick)(); });
    }
}

GatewayRunner::~GatewayRunner()
{
    stopTimers();
    m_engine->setView(nullptr);
}

void GatewayRunner::startTimers()
{
    m_relay.start();
    m_counter.start();
    m_blinker.start();
    m_ping.start();
    // DTMF decoding runs only when the gateway opened its capture.
    if (m_engine->dtmfRunning())
        m_dtmf.start();
}

void GatewayRunner::stopTimers()
{
    for (QTimer* t : {&m_relay, &m_ping, &m_dtmf, &m_blinker, &m_counter})
        t->stop();
}

void GatewayRunner::displayChanged()
{
    if (m_view)
        m_view->displayChanged();
}

void GatewayRunner::logAppended(const GwLogLine& line)
{
    if (onLogLine)
        onLogLine(line);
    if (m_view)
        m_view->logAppended(line);
}

void GatewayRunner::logCleared()
{
    if (m_view)
        m_view->logCleared();
}

void GatewayRunner::closeWindow()
{
    if (m_view) {
        m_view->closeWindow();
        return;
    }
    if (m_engine->CloseQuery()) {
        stopTimers();
        if (onClosed)
            onClosed();
    }
}

void GatewayRunner::windowPosition(int& left, int& top)
{
    if (m_view)
        m_view->windowPosition(left, top);
}
