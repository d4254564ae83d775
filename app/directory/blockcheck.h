// The block check of the installation or of one gateway: every 5 s the service is told
// the identity ("APP-BLACKLIST" with appUID, "GATE-BLACKLIST" with gateUID) until it
// answers with more than 10 characters; then the check stops for the rest of the run.
// A check whose previous request is still under way skips its tick.
#pragma once
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class DirectoryClient;

class BlockCheck : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 5000;

    // client nullptr: the shared client at each tick.
    BlockCheck(DirectoryClient* client, QString action, QString idName, QString idValue, QObject* parent = nullptr);

    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }
    // One tick of the timer.
    void tick();
    // CheckAppAbuse: the service has answered.
    bool answered() const { return m_answered; }
    bool requestPending() const { return m_pending; }
    void setIdValue(const QString& v) { m_idValue = v; }
    // Called once when the service has answered.
    std::function<void()> onAnswered;

private:
    DirectoryClient* m_client;
    QString m_action;
    QString m_idName;
    QString m_idValue;
    QTimer m_timer;
    bool m_answered = false;
    bool m_pending = false;
};
