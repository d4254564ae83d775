// One clock for every open gateway: a 100 ms relay tick, a 1 s tick (counters and time
// limits, then the connection lamp), a 5 s gateway ping and, while some gateway decodes
// DTMF, a 250 ms DTMF tick. Each wake-up runs that tick of every enrolled gateway in the
// order they were enrolled (the order their windows opened), so twenty idle gateways cost
// four timers instead of a hundred. With nothing enrolled no timer runs; the DTMF timer runs
// only while a gateway's capture feeds its decoder.
#pragma once
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <vector>

// What the ticker drives (GatewayRunner, over its engine).
class TickTarget {
public:
    virtual ~TickTarget() = default;
    virtual void relayTick() = 0;
    virtual void secondTick() = 0; // counters and limits, then the lamp blinker
    virtual void pingTick() = 0;
    virtual bool dtmfRunning() const = 0;
    virtual void dtmfTick() = 0; // only while dtmfRunning()
};

class GatewayTicker : public QObject {
    Q_OBJECT
public:
    static constexpr int kRelayMs = 100;
    static constexpr int kSecondMs = 1000;
    static constexpr int kPingMs = 5000;
    static constexpr int kDtmfMs = 250;

    // The main thread's ticker; it lives as long as the application object.
    static GatewayTicker* shared();

    explicit GatewayTicker(QObject* parent = nullptr);

    // A target enrolled twice keeps its first place. Withdrawing during a tick is fine:
    // a withdrawn target gets no further call of that tick.
    void enrol(TickTarget* target);
    void withdraw(TickTarget* target);
    bool isEnrolled(const TickTarget* target) const;
    int enrolled() const { return static_cast<int>(m_targets.size()); }

    bool timersActive() const { return m_relay.isActive(); }
    bool dtmfTimerActive() const { return m_dtmf.isActive(); }

    // One tick of every enrolled target, as the timers run them.
    void relayStep();
    void secondStep();
    void pingStep();
    void dtmfStep();

private:
    template <typename Fn>
    void each(Fn fn);
    void updateTimers();

    std::vector<TickTarget*> m_targets;
    QTimer m_relay, m_second, m_ping, m_dtmf;
};
