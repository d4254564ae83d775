#include "app/audio/dtmf.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <numbers>
#include <type_traits>

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

// A sample of B little-endian bytes brought to 16 bits: 8-bit is unsigned and centred on
// 128, wider samples keep their most significant 16 bits. B = 0: the width is given at run
// time (`bytes`).
template <int B>
inline int sampleTo16(const unsigned char* p, int bytes = B)
{
    const int n = B ? B : bytes;
    if (n == 1)
        return (int(p[0]) - 128) * 256;
    return static_cast<std::int16_t>(std::uint16_t(p[n - 2]) | std::uint16_t(p[n - 1]) << 8);
}

// Output sample j of a chunk is the channel average of source frame plan[j] (j for a
// chunk that needs no rate conversion): a gather without a branch per sample.
// C = 0: the channel count is given at run time.
template <int B, int C, bool Direct>
void gather(const unsigned char* data, const std::uint32_t* plan, std::size_t first, std::size_t n, std::int16_t* out,
            int bytes, int channels)
{
    const int b = B ? B : bytes;
    const int c = C ? C : channels;
    const std::size_t frameBytes = std::size_t(b) * std::size_t(c);
    for (std::size_t j = 0; j < n; ++j) {
        const unsigned char* frame = data + (Direct ? first + j : plan[first + j]) * frameBytes;
        std::conditional_t<C == 0, long long, int> acc = 0; // any channel count fits
        for (int ch = 0; ch < c; ++ch)
            acc += sampleTo16<B>(frame + ch * b, b);
        out[j] = static_cast<std::int16_t>(acc / c);
    }
}

using GatherFn = void (*)(const unsigned char*, const std::uint32_t*, std::size_t, std::size_t, std::int16_t*, int,
                          int);

template <int B, bool Direct>
GatherFn gatherFor(int channels)
{
    switch (channels) {
    case 1:
        return &gather<B, 1, Direct>;
    case 2:
        return &gather<B, 2, Direct>;
    default:
        return &gather<B, 0, Direct>;
    }
}

template <bool Direct>
GatherFn gatherFor(int bytes, int channels)
{
    switch (bytes) {
    case 1:
        return gatherFor<1, Direct>(channels);
    case 2:
        return gatherFor<2, Direct>(channels);
    case 3:
        return gatherFor<3, Direct>(channels);
    case 4:
        return gatherFor<4, Direct>(channels);
    default:
        return gatherFor<0, Direct>(channels);
    }
}

// The Goertzel filter bank over N blocks that start kBlockStep samples apart, all eight
// filters of a block in one pass over its samples, the blocks interleaved so that their
// independent recurrences overlap in the pipeline. Every filter step and the energy sum
// are evaluated in the same order and precision as the plain formula (the file is built
// without contraction into fused multiply-adds), so the results are the same to the bit.
using V4 = double __attribute__((vector_size(32)));

template <int N>
inline __attribute__((always_inline)) void goertzel(const std::int16_t* x, DtmfBlock* out)
{
    const double* k = coefficients().k;
    const V4 kLow = {k[0], k[1], k[2], k[3]};
    const V4 kHigh = {k[4], k[5], k[6], k[7]};
    V4 low1[N], low2[N], high1[N], high2[N];
    double energy[N];
    for (int b = 0; b < N; ++b) {
        low1[b] = low2[b] = high1[b] = high2[b] = V4{};
        energy[b] = 0;
    }
    for (int i = 0; i < DtmfDetector::kBlockLength; ++i) {
        for (int b = 0; b < N; ++b) {
            const double v = x[b * DtmfDetector::kBlockStep + i];
            energy[b] += v * v;
            const V4 vv = {v, v, v, v};
            const V4 l = kLow * low1[b] + vv - low2[b];
            low2[b] = low1[b];
            low1[b] = l;
            const V4 h = kHigh * high1[b] + vv - high2[b];
            high2[b] = high1[b];
            high1[b] = h;
        }
    }
    for (int b = 0; b < N; ++b) {
        DtmfBlock& o = out[b];
        double low = 0, high = 0;
        for (int f = 0; f < 8; ++f) {
            const double s1 = f < 4 ? low1[b][f] : high1[b][f - 4];
            const double s2 = f < 4 ? low2[b][f] : high2[b][f - 4];
            const double p = s1 * s1 + s2 * s2 - k[f] * s1 * s2;
            const double m = std::sqrt(p < 0 ? 0 : p) / DtmfDetector::kBlockLength;
            o.m[std::size_t(f)] = m;
            (f < 4 ? low : high) += m * m;
        }
        o.low = std::sqrt(low);
        o.high = std::sqrt(high);
        o.total = std::sqrt(o.low * o.low + o.high * o.high);
        o.level = std::sqrt(energy[b]) / DtmfDetector::kBlockLength;
        o.row = o.column = 0;
        o.r = {};
        o.quality = 0;
    }
}

#if defined(__SANITIZE_THREAD__)
#define RD_DTMF_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define RD_DTMF_TSAN 1
#endif
#endif
#if defined(__x86_64__) && defined(__ELF__) && !defined(__AVX2__) && !defined(RD_DTMF_TSAN)
// Wider registers where the processor has them, chosen once at load time. Not under
// ThreadSanitizer: the chooser runs while the loader relocates, before its runtime is up.
#define RD_DTMF_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define RD_DTMF_CLONES
#endif

RD_DTMF_CLONES void goertzel1(const std::int16_t* x, DtmfBlock* out)
{
    goertzel<1>(x, out);
}
RD_DTMF_CLONES void goertzel2(const std::int16_t* x, DtmfBlock* out)
{
    goertzel<2>(x, out);
}
RD_DTMF_CLONES void goertzel4(const std::int16_t* x, DtmfBlock* out)
{
    goertzel<4>(x, out);
}

} // namespace

const char* AudioResultName(AudioResult r)
{
    switch (r) {
    case AudioResult::Success:
        return "success";
    case AudioResult::InvalidArgument:
        return "invalid argument";
    case AudioResult::Fail:
        return "fail";
    case AudioResult::NotImplemented:
        return "not implemented";
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

DtmfDetector::DtmfDetector()
{
    coefficients();
}

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
    planFrames_ = 0;
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

void DtmfDetector::makePlan(std::size_t frames)
{
    // Each source frame adds 8000 / rate to a running sum that starts at 0 for every chunk;
    // the frame's average is emitted as often as needed to bring the number of emitted
    // samples up to the sum rounded to nearest. The sequence depends only on the rate, so
    // a chunk of any length up to planFrames_ uses a prefix of this plan.
    if (frames <= planFrames_)
        return;
    const double step = 8000.0 / double(samplingRate_);
    plan_.clear();
    plan_.reserve(static_cast<std::size_t>(double(frames) * step) + 2);
    double sum = 0;
    std::size_t emitted = 0;
    for (std::size_t f = 0; f < frames; ++f) {
        sum += step;
        const auto target = static_cast<std::size_t>(std::llround(sum));
        for (; emitted < target; ++emitted)
            plan_.push_back(std::uint32_t(f));
    }
    planFrames_ = frames;
}

void DtmfDetector::convert(const void* data, std::size_t bytes, int samplingRate, int bitsPerSample, int numChannels,
                           std::vector<std::int16_t>& out)
{
    DtmfDetector det;
    det.samplingRate_ = samplingRate;
    det.bitsPerSample_ = bitsPerSample;
    det.numChannels_ = numChannels;
    out.clear();
    det.convertChunk(data, bytes, [&](const auto& fill, std::size_t n) {
        out.resize(n);
        fill(out.data(), 0, n);
    });
}

template <class Sink>
void DtmfDetector::convertChunk(const void* data, std::size_t bytes, Sink&& sink)
{
    const int bytesPerSample = (bitsPerSample_ + 7) / 8;
    const std::size_t frameBytes = std::size_t(bytesPerSample) * std::size_t(numChannels_);
    const std::size_t frames = bytes / frameBytes;
    const auto* p = static_cast<const unsigned char*>(data);
    const int channels = numChannels_;
    if (samplingRate_ == 8000 && numChannels_ == 1 && (bitsPerSample_ == 16 || bitsPerSample_ == 8)) {
        const GatherFn g = gatherFor<true>(bytesPerSample, 1);
        sink([&](std::int16_t* out, std::size_t first,
                 std::size_t n) { g(p, nullptr, first, n, out, bytesPerSample, 1); },
             frames);
        return;
    }
    if (frames > std::numeric_limits<std::uint32_t>::max())
        throw std::bad_alloc();
    makePlan(frames);
    const std::size_t n =
        std::size_t(std::lower_bound(plan_.begin(), plan_.end(), std::uint32_t(frames)) - plan_.begin());
    const GatherFn g = gatherFor<false>(bytesPerSample, channels);
    const std::uint32_t* plan = plan_.data();
    sink([&](std::int16_t* out, std::size_t first,
             std::size_t m) { g(p, plan, first, m, out, bytesPerSample, channels); },
         n);
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
        // The converted samples go straight into the sample buffer, a buffer-full at a time,
        // each followed by a processing pass.
        convertChunk(data, std::size_t(bytes), [this](const auto& fill, std::size_t n) {
            for (std::size_t done = 0; done < n;) {
                const std::size_t take = std::min<std::size_t>(n - done, std::size_t(kBufferSize - sampleCount_));
                fill(samples_.data() + sampleCount_, done, take);
                sampleCount_ += int(take);
                done += take;
                processPass();
            }
        });
    } catch (const std::bad_alloc&) {
        return AudioResult::NotImplemented;
    }
    return AudioResult::Success;
}

void DtmfDetector::processPass()
{
    // The best block is kept from one pass to the next (it is reset whenever a tone
    // starts). A capture chunk of 1/50 s makes passes of one or two blocks; forgetting
    // the best block at every pass made a key press count only when its maximum fell
    // inside a two-block pass, so clean presses were lost depending on the chunk size.
    // Blocks are analysed up to four at a time and then tracked in order.
    DtmfBlock blocks[4];
    for (;;) {
        const int avail = sampleCount_ - blockStart_;
        if (avail < kBlockLength)
            break;
        const std::int16_t* x = samples_.data() + blockStart_;
        int n = 1;
        if (avail >= kBlockLength + 3 * kBlockStep) {
            goertzel4(x, blocks);
            n = 4;
        } else if (avail >= kBlockLength + kBlockStep) {
            goertzel2(x, blocks);
            n = 2;
        } else {
            goertzel1(x, blocks);
        }
        for (int b = 0; b < n; ++b)
            trackBlock(blocks[b]);
        blockStart_ += n * kBlockStep;
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
    goertzel1(x, &out);
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

bool DtmfDecoder::isActive() const
{
    return active_;
}

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
