// Settings lookups run on every gateway's 100 ms tick; this measures them on a full
// gateway list.
#include "app/config/gatewayconfig.h"
#include "app/config/settingslist.h"

#include <benchmark/benchmark.h>

static void BM_LookupLastKey(benchmark::State& state)
{
    ManualClock clock;
    SettingsList list = gatewayconfig::newGateway(clock);
    const QString key = QStringLiteral("dtmf-proc-delay"); // near the end, other case
    for (auto _ : state)
        benchmark::DoNotOptimize(list.intValue(key, 0));
}
BENCHMARK(BM_LookupLastKey);

static void BM_LookupMissingKey(benchmark::State& state)
{
    ManualClock clock;
    SettingsList list = gatewayconfig::newGateway(clock);
    const QString key = QStringLiteral("TS3-START-CHANNEL");
    for (auto _ : state)
        benchmark::DoNotOptimize(list.value(key));
}
BENCHMARK(BM_LookupMissingKey);

static void BM_LookupEarlyKey(benchmark::State& state)
{
    ManualClock clock;
    SettingsList list = gatewayconfig::newGateway(clock);
    const QString key = QStringLiteral("TS3-TX-PIN");
    for (auto _ : state)
        benchmark::DoNotOptimize(list.value(key));
}
BENCHMARK(BM_LookupEarlyKey);
