#include "app/core/webstatus.h"

#include "app/gateway/gatewayengine.h"
#include "app/session/gatewayendpoint.h"
#include "app/session/linksession.h"

namespace {
LimitStatus limitOf(const GwLamp& lamp, const GwBar& bar)
{
    LimitStatus l;
    // Silver: switched off; green: on and idle; lime: counting; red: ran out, blocked.
    l.enabled = lamp.color != GwColor::Silver;
    l.counting = lamp.color == GwColor::BrightGreen;
    l.blocked = lamp.color == GwColor::Red;
    l.value = bar.pos;
    l.max = bar.max;
    return l;
}
} // namespace

WebStatusFeed::WebStatusFeed(std::shared_ptr<StatusBoard> board, const GatewayDirectory& gateways,
                             const LinkSession& session, QObject* parent)
    : QObject(parent), m_board(std::move(board)), m_gateways(gateways), m_session(session)
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { sample(m_clock.restart()); });
    m_clock.start();
    sample(0);
}

GatewayStatus WebStatusFeed::statusOf(const GatewayEngine& e)
{
    const GatewayDisplay& d = e.display();
    GatewayStatus g;
    g.gateUID = e.gateUID();
    g.name = d.title;
    g.connected = e.TS3_IstConnected();
    g.server = d.serverField;
    g.channel = d.channelField;
    // Red is a keyed output (PTT line or the second output); dark red one held off.
    g.radioPtt = d.pttLamp.color == GwColor::Red || d.txOutLamp.color == GwColor::Red;
    g.squelch = d.sqlLamp.color == GwColor::BrightGreen;
    g.tsTransmit = e.relay().TS_TX_STATUS;
    g.talkers = e.tally().talkers;
    g.beacon = d.beaconLine;
    g.dtmf = d.dtmfLine;
    g.radioLimit = limitOf(d.hfLimitLamp, d.hfBar);
    g.tsLimit = limitOf(d.ts3LimitLamp, d.ts3Bar);
    const QList<GwLogLine>& log = e.log();
    for (qsizetype i = qMax<qsizetype>(0, log.size() - StatusBoard::kLogLines); i < log.size(); ++i)
        g.log.append(log[i].text);
    g.dtmfDigits = e.tally().dtmfDigits;
    g.errors = e.tally().errors;
    return g;
}

void WebStatusFeed::sample(qint64 elapsedMs)
{
    StatusSnapshot s;
    const LinkSession::Tally& t = m_session.tally();
    s.link.connected = m_session.isConnected();
    s.link.port = m_session.linkPort();
    s.link.linesIn = t.linesIn;
    s.link.linesOut = t.linesOut;
    s.link.reconnects = t.connects > 0 ? t.connects - 1 : 0;

    QHash<QString, Totals> still;
    const double seconds = double(elapsedMs) / 1000.0;
    for (GatewayEndpoint* endpoint : m_gateways.gatewaysInWindowOrder()) {
        const auto* engine = dynamic_cast<const GatewayEngine*>(endpoint);
        if (!engine)
            continue;
        GatewayStatus g = statusOf(*engine);
        Totals totals = m_totals.value(g.gateUID);
        // A state seen now counts for the time since the last look.
        if (g.radioPtt)
            totals.radioSeconds += seconds;
        if (g.tsTransmit)
            totals.tsSeconds += seconds;
        if (g.connected && !totals.wasConnected)
            ++totals.connects;
        totals.wasConnected = g.connected;
        g.radioKeyedSeconds = totals.radioSeconds;
        g.tsKeyedSeconds = totals.tsSeconds;
        g.reconnects = totals.connects > 0 ? totals.connects - 1 : 0;
        still.insert(g.gateUID, totals);
        s.gateways.append(std::move(g));
    }
    m_totals = std::move(still);
    m_board->publish(std::move(s));
}
