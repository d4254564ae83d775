// Lines per second through the session's receive path: cutting blocks into lines,
// the session-level tests, item split, routing over the open gateways and the dispatch
// call into the matching gateway.
#include "app/session/linksession.h"

#include <benchmark/benchmark.h>

namespace {

class NullTransport : public LinkTransport {
public:
    bool connectTo(const QString&, quint16, int, QString*) override { return up = true; }
    bool isConnected() const override { return up; }
    bool write(const QByteArray& b) override
    {
        bytes += b.size();
        return true;
    }
    void disconnect(bool) override {}
    qint64 bytes = 0;
    bool up = false;
};

class CountingGateway : public GatewayEndpoint {
public:
    CountingGateway(int h, QString uid) : h(h), uid(std::move(uid)) {}
    int TS3_scHandlerID() const override { return h; }
    QString gateUID() const override { return uid; }
    bool TS3_IstConnected() const override { return h > 0; }
    QString windowTitle() const override { return uid; }
    void ResetGateway() override {}
    void StarteGateway(int) override {}
    void TS3_Disconnect() override {}
    void ParseIncomingTS3Data(const QString&, const SettingsList& items) override { received += items.size(); }
    void WriteConfig(std::shared_ptr<SettingsList>) override {}
    void CloseGateway() override {}
    int h;
    QString uid;
    qint64 received = 0;
};

class Gateways : public GatewayDirectory {
public:
    QList<GatewayEndpoint*> list;
    QList<GatewayEndpoint*> gatewaysInWindowOrder() const override { return list; }
};

class NullView : public SessionView {
public:
    void setLinkPanel(const QString&, LinkColour) override {}
    void setLinkStatus(const QString&) override {}
    void setErrorStatus(const QString&) override {}
    void setPingStatus(const QString&) override {}
    void setPingTimerEnabled(bool) override {}
    void showBalloon(const QString&, const QString&) override {}
    void showMessage(MessageKind, const QString&) override {}
};

// A block of typical plugin events for gateways 1..n (the last one routed by gateUID).
QByteArray makeBlock(int gateways, int lines)
{
    QByteArray block;
    for (int i = 0; i < lines; ++i) {
        const int h = 1 + i % gateways;
        switch (i % 4) {
        case 0:
            block +=
                "RXVOICE scHandler=" + QByteArray::number(h) + " speakers=1 users=1 status=1 whisper=0 clientID=7 \r";
            break;
        case 1:
            block += "TALKSTATUS scHandler=" + QByteArray::number(h) + " status=0 clientID=7 \r";
            break;
        case 2:
            block += "TEXTMSG scHandler=" + QByteArray::number(h) +
                     " mode=2 fromID=7 fromName=Anna^sO'Brien fromUID=abcdEFGH+/ijkl= msg=hello^sthere \r";
            break;
        default:
            block += "STATUS scHandler=" + QByteArray::number(h) + " status=4 ping=23 \r";
        }
    }
    return block;
}

void BM_LineHandling(benchmark::State& state)
{
    const int gatewayCount = int(state.range(0));
    const int chunk = int(state.range(1)); // 0: whole blocks; otherwise cut into pieces
    NullTransport transport;
    NullView view;
    Gateways directory;
    std::vector<std::unique_ptr<CountingGateway>> owned;
    for (int i = 0; i < gatewayCount; ++i) {
        owned.push_back(std::make_unique<CountingGateway>(
            i + 1, QStringLiteral("{%1-0000-0000-0000-000000000000}").arg(i, 8, 10, QLatin1Char('0'))));
        directory.list.append(owned.back().get());
    }
    LinkSession::Deps d;
    d.transport = &transport;
    d.gateways = &directory;
    d.view = &view;
    LinkSession session(d);
    session.secondTick(); // connects
    const int lines = 200;
    const QByteArray block = makeBlock(gatewayCount, lines);
    QList<QByteArray> pieces;
    if (chunk == 0) {
        pieces.append(block);
    } else {
        for (int at = 0; at < block.size(); at += chunk)
            pieces.append(block.mid(at, chunk));
    }
    for (auto _ : state)
        for (const QByteArray& p : pieces)
            session.onBlock(p);
    qint64 delivered = 0;
    for (const auto& g : owned)
        delivered += g->received;
    if (delivered == 0)
        state.SkipWithError("no line reached a gateway");
    benchmark::DoNotOptimize(delivered);
    state.SetItemsProcessed(state.iterations() * lines);
    state.SetBytesProcessed(state.iterations() * block.size());
}
BENCHMARK(BM_LineHandling)->Args({1, 0})->Args({10, 0})->Args({50, 0})->Args({10, 512})->Args({10, 37});

void BM_SendToTS3(benchmark::State& state)
{
    NullTransport transport;
    NullView view;
    LinkSession::Deps d;
    d.transport = &transport;
    d.view = &view;
    LinkSession session(d);
    session.secondTick();
    const QString params = QStringLiteral("scHandler=5 nick=J\u00fcrgen^sRadio^sGate status=1");
    for (auto _ : state)
        session.SendToTS3(QStringLiteral("SETNICK"), params);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendToTS3);

} // namespace
