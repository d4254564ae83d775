#include "app/audio/tones.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

namespace rdaudio {
namespace {

constexpr long double kTwoPi = 6.283185307179586477L;
// The largest data size we accept: the header fields are 32-bit and the whole file is
// built in memory.
constexpr std::int64_t kMaxDataSize = std::numeric_limits<std::int32_t>::max() - 1024;

void put32(std::vector<std::uint8_t>& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(std::vector<std::uint8_t>& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void putId(std::vector<std::uint8_t>& b, const char* id)
{
    b.insert(b.end(), id, id + 4);
}

// ω = h x 2π, evaluated in extended precision and then held as a double.
double omegaOf(int frequencyHz)
{
    const int h = frequencyHz / 2; // truncates toward zero, as the half frequency must
    return static_cast<double>(static_cast<long double>(h) * kTwoPi);
}

// The frequency index h that omegaOf() scaled by 2π.
long double frequencyOf(double omega)
{
    return std::round(static_cast<long double>(omega) / kTwoPi);
}

// sin(2π j / 44100) for j = 0 .. 44099, each value the double nearest the extended sine.
// Built once from a quarter period; the other quarters follow by symmetry.
const std::vector<double>& sineTable()
{
    static const std::vector<double> table = [] {
        std::vector<double> t(44100);
        for (int j = 0; j <= 11025; ++j) {
            const double v = static_cast<double>(std::sin(kTwoPi * j / 44100.0L));
            t[j] = v;
            t[22050 - j] = v;
            if (j > 0)
                t[44100 - j] = -v;
            t[22050 + j] = -v;
        }
        t[0] = t[22050] = 0.0;
        return t;
    }();
    return table;
}

// One segment's bytes: k = 0 .. n + 1. `pause` renders the near-silence of the pause
// frequency. `phaseFirst` selects sin(k x (ω / rate)) (sequences) instead of
// sin(k x ω / rate) (single tones); the two round differently in the last bit.
void appendSegment(std::vector<std::uint8_t>& out, std::int64_t n, double omega, int volume, bool pause,
                   bool phaseFirst, SinePrecision precision)
{
    if (n + 1 < 0)
        return;
    const std::int64_t count = n + 2;
    out.reserve(out.size() + static_cast<std::size_t>(count));
    const int vol = volume & 0xFF;
    // The byte for one sine value: trunc(s x 1.0) + 1 for a pause, else trunc(vol x s) + 10.
    const auto byteOf = [&](auto sv) -> std::uint8_t {
        const long long v = pause ? static_cast<long long>(std::trunc(sv * 1)) + 1
                                  : static_cast<long long>(std::trunc(vol * sv)) + kToneByteOffset;
        return static_cast<std::uint8_t>(v & 0xFF);
    };
    const long double w = omega;
    const long double step = w / 44100.0L;
    const auto argument = [&](std::int64_t k) {
        return phaseFirst ? static_cast<long double>(k) * step : static_cast<long double>(k) * w / 44100.0L;
    };
    switch (precision) {
    case SinePrecision::LongDouble:
        for (std::int64_t k = 0; k < count; ++k)
            out.push_back(byteOf(std::sin(argument(k))));
        break;
    case SinePrecision::Double: {
        const double dstep = omega / 44100.0;
        for (std::int64_t k = 0; k < count; ++k) {
            const double s = phaseFirst ? std::sin(static_cast<double>(k) * dstep)
                                        : std::sin(static_cast<double>(k) * omega / 44100.0);
            out.push_back(byteOf(s));
        }
        break;
    }
    case SinePrecision::Checked: {
        // sin(k x ω / rate) is, up to a tiny drift, sin(2π x (k x h mod 44100) / 44100): the
        // value comes from a table of one period, and the extended sine is evaluated only
        // where the bound on the difference cannot rule out a different truncation.
        const std::vector<double>& table = sineTable();
        const std::int64_t h = static_cast<std::int64_t>(frequencyOf(omega));
        const long double drift = std::fabs(w - static_cast<long double>(h) * kTwoPi) / 44100.0L;
        const double driftPerSample = static_cast<double>(drift) * 4.0;
        const double scale = pause ? 1.0 : double(vol);
        const int offset = pause ? 1 : kToneByteOffset;
        const double dstep = std::fabs(omega) / 44100.0;
        const std::int64_t hmod = ((h % 44100) + 44100) % 44100;
        std::int64_t j = 0;
        const std::size_t first = out.size();
        out.resize(first + static_cast<std::size_t>(count));
        std::uint8_t* dst = out.data() + first;
        for (std::int64_t k = 0; k < count; ++k) {
            const double x = scale * table[static_cast<std::size_t>(j)];
            const double kd = static_cast<double>(k);
            // The drift of the rounded ω, the extended argument's own rounding and the
            // table's rounding, each with a wide margin.
            const double tolerance = scale * (kd * driftPerSample + kd * dstep * 1e-18 + 4e-15) + 1e-12;
            const long long t = static_cast<long long>(x); // truncates toward zero
            const double fraction = std::fabs(x - static_cast<double>(t));
            if (fraction > tolerance && fraction < 1.0 - tolerance)
                dst[k] = static_cast<std::uint8_t>((t + offset) & 0xFF);
            else if (j == 0 || j == 22050)
                // A zero of the sine: the extended value is within the tolerance (far below
                // 1 / 255) of 0, so scaled and truncated it is 0 whatever its sign.
                dst[k] = static_cast<std::uint8_t>(offset);
            else
                dst[k] = byteOf(std::sin(argument(k)));
            j += hmod;
            if (j >= 44100)
                j -= 44100;
        }
        break;
    }
    }
}

RenderResult tooLong()
{
    return {RenderResult::Status::TooLong, "The tone is too long to be written into a WAV file"};
}

RenderResult saveFile(const std::string& fileName, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream f(fileName, std::ios::binary | std::ios::trunc);
    if (f)
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (f)
        f.close();
    if (!f)
        return {RenderResult::Status::WriteFailed, "Cannot write the file " + fileName};
    return {};
}

} // namespace

std::int64_t SegmentSize(std::int64_t durationMs)
{
    return (durationMs * kToneSampleRate / 1000) * 2;
}

std::vector<std::uint8_t> ToneHeader(std::uint32_t dataSize)
{
    std::vector<std::uint8_t> b;
    b.reserve(44);
    putId(b, "RIFF");
    put32(b, 38 + dataSize);
    putId(b, "WAVE");
    putId(b, "fmt ");
    put32(b, 16);
    put16(b, 1);                   // PCM
    put16(b, 1);                   // mono
    put32(b, kToneSampleRate);     // samples per second
    put32(b, kToneSampleRate * 2); // average bytes per second
    put16(b, 2);                   // block alignment
    put16(b, 16);                  // bits per sample
    putId(b, "data");
    put32(b, dataSize);
    return b;
}

RenderResult ToneBytes(int frequencyHz, int durationMs, int volume, bool withHeader, std::vector<std::uint8_t>& out,
                       SinePrecision precision)
{
    out.clear();
    if (static_cast<double>(frequencyHz) > 0.6 * kToneSampleRate) {
        char msg[128];
        std::snprintf(msg, sizeof msg, "Sample rate of %d is too Low to play a tone of %dHz", kToneSampleRate,
                      frequencyHz);
        return {RenderResult::Status::FrequencyTooHigh, msg};
    }
    const std::int64_t n = SegmentSize(durationMs);
    if (n > kMaxDataSize)
        return tooLong();
    // A negative duration writes no sample bytes; its header says 0 bytes of data rather
    // than a negative size that a reader would take for a length of many hours.
    const std::int64_t d = n < 0 ? 0 : n;
    if (withHeader)
        out = ToneHeader(static_cast<std::uint32_t>(d));
    appendSegment(out, n, omegaOf(frequencyHz), volume, false, false, precision);
    return {};
}

RenderResult ToneSequenceBytes(std::span<const int> frequenciesHz, std::span<const int> durationsMs, int volume,
                               std::vector<std::uint8_t>& out, SinePrecision precision)
{
    out.clear();
    const auto entry = [&](std::span<const int> a, int i) { return i < static_cast<int>(a.size()) ? a[i] : 0; };

    // Data size: pauses and every rendered tone. Segments from 12 to 40 Hz are written
    // like tones, so they count as tones here too; negative durations count nothing.
    std::int64_t d = 0;
    for (int i = 0; i < kSequenceSegments; ++i) {
        const int f = entry(frequenciesHz, i);
        if (f > kSkipBound) {
            const std::int64_t n = SegmentSize(entry(durationsMs, i));
            if (n > 0)
                d += n;
        }
    }
    if (d > kMaxDataSize)
        return tooLong();

    for (int i = 0; i < kSequenceSegments; ++i) {
        const int f = entry(frequenciesHz, i);
        if (f <= kSkipBound)
            continue;
        if (i == 0)
            out = ToneHeader(static_cast<std::uint32_t>(d));
        appendSegment(out, SegmentSize(entry(durationsMs, i)), omegaOf(f), volume, f == kPauseFrequency, true,
                      precision);
    }
    return {};
}

RenderResult RenderTone(int frequencyHz, int durationMs, int volume, const std::string& fileName, bool withHeader)
{
    std::vector<std::uint8_t> bytes;
    RenderResult r = ToneBytes(frequencyHz, durationMs, volume, withHeader, bytes);
    if (!r.ok())
        return r;
    return saveFile(fileName, bytes);
}

RenderResult RenderToneSequence(std::span<const int> frequenciesHz, std::span<const int> durationsMs, int volume,
                                const std::string& fileName)
{
    std::vector<std::uint8_t> bytes;
    RenderResult r = ToneSequenceBytes(frequenciesHz, durationsMs, volume, bytes);
    if (!r.ok())
        return r;
    return saveFile(fileName, bytes);
}

} // namespace rdaudio
