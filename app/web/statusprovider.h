// What the status page, its JSON and the metrics show, and where the web server gets it.
// The server runs on its own threads and never touches windows or engines: the program
// publishes a snapshot on its main thread (StatusBoard::publish) and the server reads the
// latest one. Works the same with windows or without.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>

struct LimitStatus {
    bool enabled = false;  // the limit is switched on
    bool counting = false; // a transmission is being counted
    bool blocked = false;  // the limit ran out; this side waits for its reset time
    int value = 0;         // progress shown (seconds counted or waited)
    int max = 0;
};

struct GatewayStatus {
    QString gateUID;
    QString name;
    bool connected = false; // the gateway's TeamSpeak server connection is up
    QString server;
    QString channel;
    bool radioPtt = false;   // the radio transmitter is keyed
    bool squelch = false;    // the radio's squelch is open (it receives)
    bool tsTransmit = false; // the gateway transmits into TeamSpeak
    int talkers = 0;         // TeamSpeak users talking
    QString beacon;          // the beacon line as the window shows it
    QString dtmf;            // the DTMF line as the window shows it
    LimitStatus radioLimit;  // transmit time limit of the radio side
    LimitStatus tsLimit;     // and of the TeamSpeak side
    QStringList log;         // the last log lines, oldest first
    // Counters since the gateway opened.
    double radioKeyedSeconds = 0;
    double tsKeyedSeconds = 0;
    quint64 reconnects = 0;
    quint64 dtmfDigits = 0;
    quint64 errors = 0;
};

struct LinkStatus {
    bool connected = false; // the session with the plugin is up
    int port = 0;
    quint64 linesIn = 0;
    quint64 linesOut = 0;
    quint64 reconnects = 0;
};

struct StatusSnapshot {
    LinkStatus link;
    QList<GatewayStatus> gateways;
};

// Called on the server's threads: implementations must be safe for that.
class StatusProvider {
public:
    virtual ~StatusProvider() = default;
    virtual StatusSnapshot statusSnapshot() const = 0;
};

// The usual provider: holds the snapshot the program published last.
class StatusBoard : public StatusProvider {
public:
    static constexpr int kLogLines = 20;

    void publish(StatusSnapshot snapshot)
    {
        std::lock_guard lock(m_mutex);
        m_snapshot = std::move(snapshot);
    }
    StatusSnapshot statusSnapshot() const override
    {
        std::lock_guard lock(m_mutex);
        return m_snapshot;
    }

private:
    mutable std::mutex m_mutex;
    StatusSnapshot m_snapshot;
};
