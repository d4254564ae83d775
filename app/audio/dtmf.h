// DTMF detection in captured audio.
//
// DtmfDetector converts any integer PCM to 8000 Hz mono 16-bit (channel average, running-sum
// decimation, no filtering), analyses blocks of 200 samples with 50 % overlap through a
// bank of eight Goertzel filters and runs a three-state peak tracker: a digit is reported
// once, after the tone's energy has passed its maximum, if the tone is clean enough
// (quality > 2.5); a new report needs the level to drop below the threshold first.
// A chunk is converted straight into the fixed 1000-sample buffer (the source frames the
// rate conversion keeps are worked out once per rate), and blocks are analysed up to four
// at a time: nothing is allocated per chunk and the results are those of the plain
// formulas to the bit.
//
// DtmfDecoder is the component a capture device feeds (AudioConsumer): it hands the
// device's format to the detector, writes every captured chunk and raises
// onDTMFCodeDetected on the capture thread. The receiver must pass the digit on to its own
// thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace rdaudio {

enum class AudioResult { Success, InvalidArgument, Fail, NotImplemented };
const char* AudioResultName(AudioResult r);

// Receives captured audio: first the format, then chunks of whole frames. Both are
// called on the capture thread.
class AudioConsumer {
public:
    virtual ~AudioConsumer() = default;
    virtual void audioFormat(int samplingRate, int bitsPerSample, int numChannels) = 0;
    // Returns true when the chunk was consumed.
    virtual bool audioData(const void* data, std::size_t bytes) = 0;
};

// The analysis of one block of 200 samples at 8000 Hz.
struct DtmfBlock {
    double level = 0; // sqrt(sum x^2) / 200
    double total = 0; // sqrt(low^2 + high^2)
    double low = 0;   // sqrt of the sum of squares of the four low-group magnitudes
    double high = 0;
    std::array<double, 8> m{}; // Goertzel magnitudes / 200: 697, 770, 852, 941, 1209, 1336, 1477, 1633 Hz
    int row = 0;               // 1-based index of the largest low magnitude (0 before picking)
    int column = 0;            // 1-based index of the largest high magnitude
    std::array<double, 5> r{}; // total/level, low/total, high/total, m(row)/low, m(column)/high
    double quality = 0;        // r1 x r2 x r3 x r4 x r5

    // Fills row, column, r and quality from the magnitudes. The first of equal maxima
    // wins; a ratio with a divisor of 0 is 0.
    void pickPeaks();
    // The digit of row and column ("147*2580369#ABCD"), or 0 before picking.
    char digit() const;
};

class DtmfDetector {
public:
    static constexpr int kBufferSize = 1000;
    static constexpr int kBlockLength = 200;
    static constexpr int kBlockStep = 100;
    static constexpr int kDefaultThreshold = 900;
    static constexpr double kMinQuality = 2.5;
    static constexpr double kFrequencies[8] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};
    static constexpr const char* kDigits = "147*2580369#ABCD";

    using CodeHandler = std::function<void(char digit, float quality)>;

    // Format 8000 Hz, 16 bits, 1 channel; threshold 900.
    DtmfDetector();

    // Rejects a rate <= 0, fewer than 8 bits or fewer than 1 channel (InvalidArgument,
    // the previous format stays); otherwise stores the format and clears the state.
    // Fail when the lock cannot be had within 2000 ms.
    AudioResult setFormat(int samplingRate, int bitsPerSample, int numChannels);

    // Converts and analyses one chunk; reports digits through onCode on this thread.
    // InvalidArgument for no data or size <= 0; Fail when the lock cannot be had within
    // 100 ms (the chunk is lost for detection); NotImplemented when no conversion buffer
    // could be had. A trailing partial frame is ignored.
    AudioResult write(const void* data, std::ptrdiff_t bytes);

    // Clears sampleCount, blockStart and the tracker state (the component switched off).
    void reset();

    void setThreshold(int t);
    int threshold() const;

    int samplingRate() const;
    int bitsPerSample() const;
    int numChannels() const;
    int state() const;
    int sampleCount() const;
    int blockStart() const;

    // Called with the digit and its quality, on the thread that called write(), while
    // the detector's lock is held (do not call setFormat from it).
    CodeHandler onCode;

    // Analysis of one block of kBlockLength samples (magnitudes, level, totals; no peaks).
    static void analyseBlock(const std::int16_t* x, DtmfBlock& out);

    // One tracker step for an analysed block; public so the tracker's edges can be driven
    // with exact values (takes no lock: not for use while another thread writes).
    // `current` gets its peaks picked when the tracker needs them.
    void trackBlock(DtmfBlock& current);

    // Converts a chunk to 8000 Hz mono 16-bit the way write() does (for tests and tools).
    static void convert(const void* data, std::size_t bytes, int samplingRate, int bitsPerSample, int numChannels,
                        std::vector<std::int16_t>& out);

private:
    void processPass();
    void makePlan(std::size_t frames);
    // Converts one chunk in the current format; calls sink(fill, n) with the number n of
    // samples it gives, where fill(out, first, count) writes samples first..first+count-1.
    template <class Sink>
    void convertChunk(const void* data, std::size_t bytes, Sink&& sink);

    mutable std::timed_mutex lock_;
    int samplingRate_ = 8000;
    int bitsPerSample_ = 16;
    int numChannels_ = 1;
    int sampleCount_ = 0;
    int blockStart_ = 0;
    std::array<std::int16_t, kBufferSize> samples_{};
    int levelThreshold_ = kDefaultThreshold;
    int state_ = 0;
    DtmfBlock best_;
    // Source frame of every sample the rate conversion emits, for chunks of up to
    // planFrames_ frames at the current rate (made once; capture chunks are all alike).
    std::vector<std::uint32_t> plan_;
    std::size_t planFrames_ = 0;
};

// The decoder component between a capture device and the gateway.
class DtmfDecoder : public AudioConsumer {
public:
    using DigitHandler = std::function<void(char digit, float quality)>;

    DtmfDecoder();

    // Raised on the capture thread from inside audioData().
    DigitHandler onDTMFCodeDetected;

    int threshold() const { return detector_.threshold(); }
    void setThreshold(int t) { detector_.setThreshold(t); }

    // Chunks are analysed only while active; switching off clears the detector's state.
    void setActive(bool on);
    bool isActive() const;

    void audioFormat(int samplingRate, int bitsPerSample, int numChannels) override;
    bool audioData(const void* data, std::size_t bytes) override;

    DtmfDetector& detector() { return detector_; }

private:
    DtmfDetector detector_;
    std::atomic<bool> active_{false};
};

} // namespace rdaudio
