// The plugin escapes every text value it writes and splits every command it reads.
#include "link/wire.h"

#include <benchmark/benchmark.h>

static void BM_EscapeUnescape(benchmark::State& state)
{
    const std::string text = "Channel 1/Sub channel | Relais = Nord \\ test with some more words";
    for (auto _ : state) {
        std::string e = rdlink::escape(text);
        benchmark::DoNotOptimize(rdlink::unescape(e));
    }
}
BENCHMARK(BM_EscapeUnescape);

static void BM_ParseCommand(benchmark::State& state)
{
    const std::string line =
        "GW_CONNECT gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9} host=voice.example.org nick=Relaydeck^s4.0 "
        "SndIn=Default SndOut=Default ident=Default channel=Funk^cNord chanPWD= servPWD=";
    for (auto _ : state) {
        auto s = rdlink::splitLine(line);
        auto items = rdlink::Items::parse(s.params);
        benchmark::DoNotOptimize(items.getInt("scHandler"));
        benchmark::DoNotOptimize(items.get("gateUID"));
    }
}
BENCHMARK(BM_ParseCommand);

static void BM_AssembleStream(benchmark::State& state)
{
    std::string chunk;
    for (int i = 0; i < 50; ++i)
        chunk += "RXVOICE scHandler=1 status=1 clientID=7 userID=abc^s \r";
    size_t lines = 0;
    rdlink::LineAssembler a(4999);
    for (auto _ : state) {
        for (size_t pos = 0; pos < chunk.size(); pos += 512)
            a.feed(std::string_view(chunk).substr(pos, 512), [&](std::string_view) { ++lines; });
    }
    benchmark::DoNotOptimize(lines);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(chunk.size()));
}
BENCHMARK(BM_AssembleStream);
