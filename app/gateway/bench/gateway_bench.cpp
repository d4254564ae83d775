// Cost of the ticks of 20 connected, idle gateways: one benchmark iteration is what a
// 100 ms period does (20 relay ticks; every tenth period also the second and blink ticks).
#include "app/config/clock.h"
#include "app/config/gatewayconfig.h"
#include "app/config/globalfunct.h"
#include "app/config/texts.h"
#include "app/gateway/gatewayengine.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {
class NullSender : public LinkSender {
public:
    void SendToTS3(const QString&, const QString&) override { ++count; }
    long count = 0;
};

class BenchHost : public GatewayHost {
public:
    explicit BenchHost(QString folder) : m_folder(std::move(folder)) {}
    bool COMPortIsOpen(int) override { return true; }
    void SetCOMStatus(const QString&, int, const QString&, bool, bool) override {}
    bool GetCOMStatus(int, const QString&, bool) override { return false; }
    QString configFolder() const override { return m_folder + QLatin1Char('/'); }
    QString soundFolder() const override { return m_folder + QLatin1Char('/'); }
    QString tempFolder() const override { return m_folder + QLatin1Char('/'); }
    QString appLang() const override { return QStringLiteral("en_US"); }
    SettingsList& appSettings() override { return m_app; }
    bool askYesNo(const QString&) override { return false; }
    void showError(const QString&) override {}
    bool appIsClosing() const override { return false; }

private:
    QString m_folder;
    SettingsList m_app;
};

void BM_TwentyIdleGatewaysPer100ms(benchmark::State& state)
{
    QTemporaryDir dir;
    ManualClock clock;
    NullSender sender;
    BenchHost host(dir.path());
    std::vector<std::unique_ptr<GatewayEngine>> engines;
    for (int i = 0; i < 20; ++i) {
        SettingsList s = gatewayconfig::newGateway(clock);
        s.setValue(QStringLiteral("COM-OUT-ON"), QStringLiteral("True"));
        s.setValue(QStringLiteral("COM-OUT-NUM"), QString::number(i + 1));
        s.setValue(QStringLiteral("COM-IN-ON"), QStringLiteral("True"));
        s.setValue(QStringLiteral("TS3-TX-PIN"), QStringLiteral("COM"));
        const QString file =
            dir.path() + QLatin1Char('/') + s.value(QStringLiteral("gateUID")) + QStringLiteral(".rdk");
        SaveSettingsFile(file, s);
        auto e = std::make_unique<GatewayEngine>(sender, host, clock);
        SettingsList params;
        params.setValue(QStringLiteral("CFG_FILE"), file);
        e->StarteForm(params);
        SettingsList c;
        c.setValue(QStringLiteral("gateUID"), e->gateUID());
        c.setInt(QStringLiteral("scHandler"), i + 1);
        e->ParseIncomingTS3Data(QStringLiteral("GW_CONNECT"), c);
        c.setValue(QStringLiteral("status"), QStringLiteral("4"));
        e->ParseIncomingTS3Data(QStringLiteral("CONNECT"), c);
        engines.push_back(std::move(e));
    }
    int period = 0;
    for (auto _ : state) {
        clock.advance(100);
        for (auto& e : engines)
            e->relayTick();
        if (++period % 10 == 0)
            for (auto& e : engines) {
                e->secondTick();
                e->blinkTick();
            }
    }
    state.counters["commands"] = double(sender.count);
}
BENCHMARK(BM_TwentyIdleGatewaysPer100ms);
} // namespace
