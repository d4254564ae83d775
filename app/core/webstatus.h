// Feeds the web interface's status pages: every quarter second, on the main thread, it
// reads the open gateways and the plugin session into a snapshot and publishes it on a
// StatusBoard, which the server's threads read. It adds up what the metrics count over
// time (seconds keyed per side, reconnects). Nothing here touches a window: the main window
// and the headless program run the same feed.
#pragma once
#include "app/web/statusprovider.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class GatewayDirectory;
class GatewayEngine;
class LinkSession;

class WebStatusFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 250;

    WebStatusFeed(std::shared_ptr<StatusBoard> board, const GatewayDirectory& gateways, const LinkSession& session,
                  QObject* parent = nullptr);

    void start() { m_timer.start(); }
    // One sample; elapsedMs is the time since the previous one (the timer measures it).
    void sample(qint64 elapsedMs);
    const std::shared_ptr<StatusBoard>& board() const { return m_board; }

    // What one gateway shows, without the counters.
    static GatewayStatus statusOf(const GatewayEngine& engine);

private:
    struct Totals {
        double radioSeconds = 0;
        double tsSeconds = 0;
        quint64 connects = 0;
        bool wasConnected = false;
    };
    std::shared_ptr<StatusBoard> m_board;
    const GatewayDirectory& m_gateways;
    const LinkSession& m_session;
    QHash<QString, Totals> m_totals; // by gateUID, for the gateways open now
    QTimer m_timer;
    QElapsedTimer m_clock;
};
