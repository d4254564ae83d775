// Speed of tone rendering (done inside a gateway's timer tick before every play) and of
// DTMF decoding (runs on the capture thread for as long as a gateway with DTMF is open).
#include "app/audio/dtmf.h"
#include "app/audio/signalgen.h"
#include "app/audio/tones.h"

#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>

using namespace rdaudio;

namespace {

const std::array<int, 11> kBeepFreq{11, 1000, 11, 1500, 11, 2000, 11, 0, 0, 0, 0};
const std::array<int, 11> kBeepMs{100, 80, 20, 80, 20, 80, 100, 0, 0, 0, 0};

void BM_RenderCallTone(benchmark::State& state)
{
    std::vector<std::uint8_t> bytes;
    for (auto _ : state) {
        ToneBytes(1750, 3000, 30, true, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(BM_RenderCallTone)->Unit(benchmark::kMicrosecond);

void BM_RenderRogerBeep(benchmark::State& state)
{
    std::vector<std::uint8_t> bytes;
    for (auto _ : state) {
        ToneSequenceBytes(kBeepFreq, kBeepMs, 30, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(BM_RenderRogerBeep)->Unit(benchmark::kMicrosecond);

// As the gateway does it: render and write the file.
void BM_RenderRogerBeepToFile(benchmark::State& state)
{
    const std::string f = (std::filesystem::temp_directory_path() / "rd_bench_beep.wav").string();
    for (auto _ : state)
        RenderToneSequence(kBeepFreq, kBeepMs, 30, f);
    std::filesystem::remove(f);
}
BENCHMARK(BM_RenderRogerBeepToFile)->Unit(benchmark::kMicrosecond);

// One hour of 44.1 kHz stereo capture in chunks of 882 frames, as the capture device
// delivers it: a minute of key presses in noise, decoded sixty times per iteration.
// "realtime" is seconds of audio decoded per second of CPU time (one core).
void BM_DecodeHourOfCapture(benchmark::State& state)
{
    SignalBuilder s(44100, 2);
    const std::string keys = "0123456789*#ABCD";
    while (s.frames() < 60u * 44100u) {
        s.silence(400);
        for (char k : keys)
            s.digit(k, 100, 6000).silence(100);
    }
    std::vector<std::int16_t> minute = s.samples();
    minute.resize(60u * 44100u * 2u);

    DtmfDecoder dec;
    long digits = 0;
    dec.onDTMFCodeDetected = [&](char, float) { ++digits; };
    dec.audioFormat(44100, 16, 2);
    dec.setActive(true);
    const std::size_t chunk = 882 * 2;
    for (auto _ : state) {
        for (int m = 0; m < 60; ++m)
            for (std::size_t i = 0; i + chunk <= minute.size(); i += chunk)
                dec.audioData(minute.data() + i, chunk * sizeof(std::int16_t));
    }
    state.counters["realtime"] = benchmark::Counter(3600.0 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["digits_per_hour"] = double(digits) / double(state.iterations());
}
BENCHMARK(BM_DecodeHourOfCapture)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
