// Time source of the engines. The program uses SystemClock; tests use ManualClock and
// step it, so no test ever sleeps.
#pragma once
#include <QDateTime>
#include <QtGlobal>

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since the Unix epoch (what the link's timestamps carry).
    virtual qint64 nowMs() const = 0;
    QDateTime now() const { return QDateTime::fromMSecsSinceEpoch(nowMs()); }
};

class SystemClock final : public Clock {
public:
    qint64 nowMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
    static SystemClock& instance()
    {
        static SystemClock c;
        return c;
    }
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(qint64 startMs = 1700000000000) : m_ms(startMs) {}
    qint64 nowMs() const override { return m_ms; }
    void advance(qint64 ms) { m_ms += ms; }
    void set(qint64 ms) { m_ms = ms; }

private:
    qint64 m_ms;
};
