#include "app/audio/dtmf.h"

#include <chrono>
#include <cmath>
#include <numbers>
#include <cstring>
#include <new>

namespace rdaudio {
namespace {

using namespace std::chrono_literals;

struct Coefficients {
    double k[8];
    Coefficients()
    {
        for (int i = 0; i < 8; ++i)
            k[i] = 2.0 * std::cos(2.0 * std::numbers::pi * DtmfDetector::kFrequencies[i] / 8000.0);
    }
};
const Coefficients& coefficients()
{
    static const Coefficients c;
    return c;
}

// A sample of `bytesPerSample` little-endian bytes brought to 16 bits: 8-bit is unsigned
// and centred on 128, wider samples keep their most significant 16 bits.
inline int sampleTo16(const unsigned char* p, int bytesPerSample)
{
    if (bytesPerSample == 1)
        return (int(p[0]) - 128) * 256;
    return static_cast<std::int16_t>(std::uint16_t(p[bytesPerSample - 2]) | std::uint16_t(p[bytesPerSample - 1]) << 8);
}

} // namespace

const char* AudioResultName(AudioResult r)
{
    switch (r) {
    case AudioResult::Success: return "success";
    case AudioResult::InvalidArgument: return "invalid argument";
    case AudioResult::Fail: return "fail";
    case AudioResult::NotImplemented: return "not implemented";
    }
    return "?";
}

void DtmfBlock::pickPeaks()
{
    double mx = -1;
    row = 0;
    for (int i = 0; i < 4; ++i)
        if (m[i] > mx) {
            mx = m[i];
            row = i + 1;
        }
    mx = -1;
    column = 0;
    for (int i = 0; i < 4; ++i)
        if (m[4 + i] > mx) {
            mx = m[4 + i];
            column = i + 1;
        }
    auto ratio = [](double a, double b) { return b != 0 ? a / b : 0.0; };
    r[0] = ratio(total, level);
    r[1] = ratio(low, total);
    r[2] = ratio(high, total);
    r[3] = ratio(m[row - 1], low);
    r[4] = ratio(m[4 + column - 1], high);
    quality = r[0] * r[1] * r[2] * r[3] * r[4];
}

char DtmfBlock::digit() const
{
    if (row < 1 || row > 4 || column < 1 || column > 4)
        return 0;
    return DtmfDetector::kDigits[(column - 1) * 4 + row - 1];
}

DtmfDetector::DtmfDetector() { coefficients(); }

AudioResult DtmfDetector::setFormat(int samplingRate, int bitsPerSample, int numChannels)
{
    std::unique_lock lk(lock_, std::defer_lock);
    if (!lk.try_lock_for(2000ms))
        return AudioResult::Fail;
    if (samplingRate <= 0 || bitsPerSample < 8 || numChannels < 1)
        return AudioResult::InvalidArgument;
    samplingRate_ = samplingRate;
    bitsPerSample_ = bitsPerSample;
    numChannels_ = numChannels;
    sampleCount_ = 0;
    blockStart_ = 0;
    state_ = 0;
    return AudioResult::Success;
}

void DtmfDetector::reset()
{
    std::unique_lock lk(lock_);
    sampleCount_ = 0;
    blockStart_ = 0;
    state_ = 0;
}

void DtmfDetector::setThreshold(int t)
{
    std::unique_lock lk(lock_);
    levelThreshold_ = t;
}

int DtmfDetector::threshold() const
{
    std::unique_lock lk(lock_);
    return levelThreshold_;
}
int DtmfDetector::samplingRate() const
{
    std::unique_lock lk(lock_);
    return samplingRate_;
}
int DtmfDetector::bitsPerSample() const
{
    std::unique_lock lk(lock_);
    return bitsPerSample_;
}
int DtmfDetector::numChannels() const
{
    std::unique_lock lk(lock_);
    return numChannels_;
}
int DtmfDetector::state() const
{
    std::unique_lock lk(lock_);
    return state_;
}
int DtmfDetector::sampleCount() const
{
    std::unique_lock lk(lock_);
    return sampleCount_;
}
int DtmfDetector::blockStart() const
{
    std::unique_lock lk(lock_);
    return blockStart_;
}

void DtmfDetector::convert(const void* data, std::size_t bytes, int samplingRate, int bitsPerSample,
                           int numChannels, std::vector<std::int16_t>& out)
{
    out.clear();
    const int bytesPerSample = (bitsPerSample + 7) / 8;
    const std::size_t frameBytes = std::size_t(bytesPerSample) * std::size_t(numChannels);
    const std::size_t frames = bytes / frameBytes;
    const auto* p = static_cast<const unsigned char*>(data);

    if (samplingRate == 8000 && numChannels == 1 && (bitsPerSample == 16 || bitsPerSample == 8)) {
        out.resize(frames);
        for (std::size_t i = 0; i < frames; ++i)
            out[i] = static_cast<std::int16_t>(sampleTo16(p + i * bytesPerSample, bytesPerSample));
        return;
    }

    // Average the channels, then emit each averaged frame as often as needed to bring the
    // number of emitted samples up to the running sum of 8000 / rate, rounded to nearest.
    // The sum starts at 0 for every chunk. No low-pass filter.
    const double step = 8000.0 / double(samplingRate);
    out.reserve(static_cast<std::size_t>(double(frames) * step) + 2);
    double sum = 0;
    long long emitted = 0;
    for (std::size_t f = 0; f < frames; ++f) {
        const unsigned char* frame = p + f * frameBytes;
        long long acc = 0;
        for (int c = 0; c < numChannels; ++c)
            acc += sampleTo16(frame + std::size_t(c) * bytesPerSample, bytesPerSample);
        const auto sample = static_cast<std::int16_t>(acc / numChannels);
        sum += step;
        const long long target = std::llround(sum);
        for (; emitted < target; ++emitted)
            out.push_back(sample);
    }
}

AudioResult DtmfDetector::write(const void* data, std::ptrdiff_t bytes)
{
    if (bytes <= 0 || data == nullptr)
        return AudioResult::InvalidArgument;
    // Exclusive: two writes at once would share the sample buffer.
    std::unique_lock lk(lock_, std::defer_lock);
    if (!lk.try_lock_for(100ms))
        return AudioResult::Fail;
    try {
        convert(data, std::size_t(bytes), samplingRate_, bitsPerSample_, numChannels_, converted_);
    } catch (const std::bad_alloc&) {
        return AudioResult::NotImplemented;
    }
    feed(converted_.data(), converted_.size());
    return AudioResult::Success;
}

void DtmfDetector::feed(const std::int16_t* x, std::size_t n)
{
    while (n > 0) {
        const std::size_t take = std::min<std::size_t>(n, std::size_t(kBufferSize - sampleCount_));
        std::memcpy(samples_.data() + sampleCount_, x, take * sizeof(std::int16_t));
        sampleCount_ += int(take);
        x += take;
        n -= take;
        processPass();
    }
}

void DtmfDetector::processPass()
{
    // The best block is kept from one pass to the next (it is reset whenever a tone
    // starts). A capture chunk of 1/50 s makes passes of one or two blocks; forgetting
    // the best block at every pass made a key press count only when its maximum fell
    // inside a two-block pass, so clean presses were lost depending on the chunk size.
    current_ = DtmfBlock{};
    while (sampleCount_ - blockStart_ >= kBlockLength) {
        analyseBlock(samples_.data() + blockStart_, current_);
        trackBlock(current_);
        blockStart_ += kBlockStep;
    }
    if (sampleCount_ > 0 && blockStart_ > 0) {
        const int rest = sampleCount_ - blockStart_;
        if (rest > 0)
            std::memmove(samples_.data(), samples_.data() + blockStart_, std::size_t(rest) * sizeof(std::int16_t));
        sampleCount_ -= blockStart_;
        blockStart_ = 0;
    }
}

void DtmfDetector::analyseBlock(const std::int16_t* x, DtmfBlock& out)
{
    const double* k = coefficients().k;
    double s1[8] = {}, s2[8] = {};
    double energy = 0;
    for (int i = 0; i < kBlockLength; ++i) {
        const double v = x[i];
        energy += v * v;
        for (int f = 0; f < 8; ++f) {
            const double s = k[f] * s1[f] + v - s2[f];
            s2[f] = s1[f];
            s1[f] = s;
        }
    }
    double low2 = 0, high2 = 0;
    for (int f = 0; f < 8; ++f) {
        const double p = s1[f] * s1[f] + s2[f] * s2[f] - k[f] * s1[f] * s2[f];
        out.m[std::size_t(f)] = std::sqrt(p < 0 ? 0 : p) / kBlockLength;
        (f < 4 ? low2 : high2) += out.m[std::size_t(f)] * out.m[std::size_t(f)];
    }
    out.low = std::sqrt(low2);
    out.high = std::sqrt(high2);
    out.total = std::sqrt(out.low * out.low + out.high * out.high);
    out.level = std::sqrt(energy) / kBlockLength;
    out.row = out.column = 0;
    out.r = {};
    out.quality = 0;
}

void DtmfDetector::trackBlock(DtmfBlock& cur)
{
    const double t = levelThreshold_;
    switch (state_) {
    case 0:
        if (cur.total > t) {
            cur.pickPeaks();
            best_.total = 0;
            state_ = 1;
        }
        break;
    case 1:
        if (cur.total > best_.total) {
            cur.pickPeaks();
            best_ = cur;
        } else if (best_.quality > kMinQuality) {
            if (onCode)
                onCode(best_.digit(), static_cast<float>(best_.quality));
            best_.total = 0;
            state_ = 2;
        } else if (cur.total < t) {
            // What rose above the threshold was no clean pair (a single tone near a DTMF
            // frequency, speech) and has gone: wait for the next onset. Staying here would
            // need a block louder than that signal before any key press could count.
            state_ = 0;
        }
        break;
    default:
        if (cur.total < t)
            state_ = 0;
        break;
    }
}

DtmfDecoder::DtmfDecoder()
{
    detector_.onCode = [this](char digit, float quality) {
        if (onDTMFCodeDetected)
            onDTMFCodeDetected(digit, quality);
    };
}

void DtmfDecoder::setActive(bool on)
{
    if (active_.exchange(on) && !on)
        detector_.reset();
}

bool DtmfDecoder::isActive() const { return active_; }

void DtmfDecoder::audioFormat(int samplingRate, int bitsPerSample, int numChannels)
{
    detector_.setFormat(samplingRate, bitsPerSample, numChannels);
}

bool DtmfDecoder::audioData(const void* data, std::size_t bytes)
{
    if (!active_)
        return false;
    return detector_.write(data, static_cast<std::ptrdiff_t>(bytes)) == AudioResult::Success;
}

} // namespace rdaudio
