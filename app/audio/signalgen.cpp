#include "app/audio/signalgen.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>

namespace rdaudio {

bool DtmfFrequencies(char digit, double& low, double& high)
{
    static const char* const kDigits = "147*2580369#ABCD";
    static const double kLow[4] = {697, 770, 852, 941};
    static const double kHigh[4] = {1209, 1336, 1477, 1633};
    const char* p = digit ? std::strchr(kDigits, digit) : nullptr;
    if (!p)
        return false;
    const int i = int(p - kDigits);
    low = kLow[i % 4];
    high = kHigh[i / 4];
    return true;
}

SignalBuilder& SignalBuilder::digit(char d, int ms, double lowAmplitude, double highAmplitude)
{
    double lo = 0, hi = 0;
    if (!DtmfFrequencies(d, lo, hi))
        throw std::invalid_argument(std::string("not a DTMF digit: ") + d);
    return tones(lo, lowAmplitude, hi, highAmplitude, ms);
}

SignalBuilder& SignalBuilder::tone(double frequencyHz, int ms, double amplitude)
{
    return tones(frequencyHz, amplitude, 0, 0, ms);
}

SignalBuilder& SignalBuilder::tones(double f1, double a1, double f2, double a2, int ms)
{
    const long n = long(ms) * rate_ / 1000;
    const double w1 = 2 * std::numbers::pi * f1 / rate_;
    const double w2 = 2 * std::numbers::pi * f2 / rate_;
    mono_.reserve(mono_.size() + std::size_t(n));
    for (long i = 0; i < n; ++i)
        mono_.push_back(a1 * std::sin(w1 * double(i)) + a2 * std::sin(w2 * double(i)));
    return *this;
}

SignalBuilder& SignalBuilder::silence(int ms)
{
    mono_.resize(mono_.size() + std::size_t(long(ms) * rate_ / 1000), 0.0);
    return *this;
}

SignalBuilder& SignalBuilder::noise(double rms, unsigned seed)
{
    std::mt19937 gen(seed);
    // Uniform on [-a, a] has RMS a / sqrt(3).
    std::uniform_real_distribution<double> dist(-rms * std::sqrt(3.0), rms * std::sqrt(3.0));
    for (double& v : mono_)
        v += dist(gen);
    return *this;
}

std::vector<std::int16_t> SignalBuilder::samples() const
{
    std::vector<std::int16_t> out;
    out.reserve(mono_.size() * std::size_t(channels_));
    for (double v : mono_) {
        const long s = std::lround(std::fmax(-32768.0, std::fmin(32767.0, v)));
        for (int c = 0; c < channels_; ++c)
            out.push_back(static_cast<std::int16_t>(s));
    }
    return out;
}

bool SignalBuilder::writeWav(const std::string& fileName) const
{
    const std::vector<std::int16_t> s = samples();
    const std::uint32_t dataBytes = std::uint32_t(s.size() * 2);
    std::ofstream f(fileName, std::ios::binary | std::ios::trunc);
    auto u32 = [&](std::uint32_t v) {
        const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        f.write(b, 4);
    };
    auto u16 = [&](std::uint16_t v) {
        const char b[2] = {char(v), char(v >> 8)};
        f.write(b, 2);
    };
    f.write("RIFF", 4);
    u32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(std::uint16_t(channels_));
    u32(std::uint32_t(rate_));
    u32(std::uint32_t(rate_ * channels_ * 2));
    u16(std::uint16_t(channels_ * 2));
    u16(16);
    f.write("data", 4);
    u32(dataBytes);
    for (std::int16_t v : s)
        u16(static_cast<std::uint16_t>(v));
    return bool(f);
}

} // namespace rdaudio
