#include "app/core/gatewayticker.h"

#include <QCoreApplication>

#include <algorithm>

GatewayTicker* GatewayTicker::shared()
{
    static QPointer<GatewayTicker> ticker;
    if (!ticker)
        ticker = new GatewayTicker(QCoreApplication::instance());
    return ticker;
}

GatewayTicker::GatewayTicker(QObject* parent) : QObject(parent)
{
    const struct {
        QTimer& timer;
        int ms;
        void (GatewayTicker::*step)();
    } timers[] = {
        {m_relay, kRelayMs, &GatewayTicker::relayStep},
        {m_second, kSecondMs, &GatewayTicker::secondStep},
        {m_ping, kPingMs, &GatewayTicker::pingStep},
        {m_dtmf, kDtmfMs, &GatewayTicker::dtmfStep},
    };
    for (const auto& t : timers) {
        t.timer.setInterval(t.ms);
        connect(&t.timer, &QTimer::timeout, this, t.step);
    }
}

void GatewayTicker::enrol(TickTarget* target)
{
    if (!isEnrolled(target))
        m_targets.push_back(target);
    updateTimers();
}

void GatewayTicker::withdraw(TickTarget* target)
{
    m_targets.erase(std::remove(m_targets.begin(), m_targets.end(), target), m_targets.end());
    updateTimers();
}

bool GatewayTicker::isEnrolled(const TickTarget* target) const
{
    return std::find(m_targets.begin(), m_targets.end(), target) != m_targets.end();
}

// Over a copy: a tick may close its gateway or another one (a window that goes withdraws
// its runner), and a target withdrawn meanwhile is skipped.
template <typename Fn>
void GatewayTicker::each(Fn fn)
{
    const std::vector<TickTarget*> targets = m_targets;
    for (TickTarget* t : targets)
        if (isEnrolled(t))
            fn(*t);
}

void GatewayTicker::relayStep()
{
    each([](TickTarget& t) { t.relayTick(); });
    // A gateway opens or closes its capture at run time; the DTMF timer follows within a
    // relay tick.
    updateTimers();
}

void GatewayTicker::secondStep()
{
    each([](TickTarget& t) { t.secondTick(); });
}

void GatewayTicker::pingStep()
{
    each([](TickTarget& t) { t.pingTick(); });
}

void GatewayTicker::dtmfStep()
{
    each([](TickTarget& t) {
        if (t.dtmfRunning())
            t.dtmfTick();
    });
}

void GatewayTicker::updateTimers()
{
    if (m_targets.empty()) {
        for (QTimer* t : {&m_relay, &m_second, &m_ping, &m_dtmf})
            t->stop();
        return;
    }
    for (QTimer* t : {&m_relay, &m_second, &m_ping})
        if (!t->isActive())
            t->start();
    const bool dtmf =
        std::any_of(m_targets.begin(), m_targets.end(), [](const TickTarget* t) { return t->dtmfRunning(); });
    if (dtmf && !m_dtmf.isActive())
        m_dtmf.start();
    else if (!dtmf)
        m_dtmf.stop();
}
