#include "app/audio/dtmf.h"
#include "app/audio/signalgen.h"
#include "app/audio/sounddevices.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace rdaudio;

namespace {

struct Decoded {
    std::string digits;
    std::vector<float> quality;
};

// Feeds a signal to a decoder the way a capture device does: format first, then chunks
// of `chunkFrames` frames (0: 1/50 s, the capture chunk).
Decoded decode(const SignalBuilder& s, std::size_t chunkFrames = 0)
{
    DtmfDecoder dec;
    Decoded out;
    dec.onDTMFCodeDetected = [&](char d, float q) {
        out.digits += d;
        out.quality.push_back(q);
    };
    dec.audioFormat(s.samplingRate(), 16, s.channels());
    dec.setActive(true);
    const std::vector<std::int16_t> pcm = s.samples();
    if (chunkFrames == 0)
        chunkFrames = std::size_t(s.samplingRate() / 50);
    const std::size_t step = chunkFrames * std::size_t(s.channels());
    for (std::size_t i = 0; i < pcm.size(); i += step) {
        const std::size_t n = std::min(step, pcm.size() - i);
        EXPECT_TRUE(dec.audioData(pcm.data() + i, n * 2));
    }
    return out;
}

SignalBuilder press(int rate, int channels, const std::string& keys, double amplitude, int onMs = 100, int gapMs = 100)
{
    SignalBuilder s(rate, channels);
    s.silence(200);
    for (char k : keys)
        s.digit(k, onMs, amplitude).silence(gapMs);
    return s.silence(200);
}

} // namespace

TEST(DtmfDetector, OneKeyPressIsReportedOnceAtEveryCaptureFormat)
{
    struct Format {
        int rate, channels;
    };
    for (Format f :
         {Format{8000, 1}, Format{44100, 2}, Format{44100, 1}, Format{22050, 1}, Format{48000, 2}, Format{11025, 2}}) {
        const Decoded d = decode(press(f.rate, f.channels, "5", 8000));
        EXPECT_EQ(d.digits, "5") << f.rate << " Hz x" << f.channels;
        for (float q : d.quality) {
            EXPECT_GT(q, 2.5f);
            EXPECT_LT(q, 6.0f); // about 10 x 0.71 x 0.71 x 1 x 1
        }
    }
}

// All digits, fed in large writes (passes of 1000 samples) and in capture chunks of
// 1/50 s (passes of one or two blocks): the chunk size must not decide what is heard.
TEST(DtmfDetector, AllSixteenDigits)
{
    const std::string keys = "123A456B789C*0#D";
    EXPECT_EQ(decode(press(8000, 1, keys, 8000), 100000).digits, keys);
    EXPECT_EQ(decode(press(44100, 2, keys, 6000), 100000).digits, keys);
    EXPECT_EQ(decode(press(8000, 1, keys, 8000)).digits, keys);
    EXPECT_EQ(decode(press(44100, 2, keys, 6000)).digits, keys);
}

TEST(DtmfDetector, GapsLevelsAndNonDtmfTones)
{
    struct Case {
        const char* what;
        SignalBuilder signal;
        std::string expect;
    };
    auto twoPresses = [](int gapMs) {
        SignalBuilder s(8000, 1);
        return s.silence(200).digit('5', 100, 8000).silence(gapMs).digit('5', 100, 8000).silence(200);
    };
    const Case cases[] = {
        {"10 ms gap: one key press", twoPresses(10), "5"},
        {"60 ms gap: two key presses", twoPresses(60), "55"},
        {"1000 per tone is below the threshold", press(8000, 1, "5", 1000), ""},
        {"1300 per tone is above it", press(8000, 1, "5", 1300), "5"},
        {"1300 per tone, from 44.1 kHz stereo", press(44100, 2, "5", 1300), "5"},
        {"1000 Hz alone", SignalBuilder(8000, 1).silence(100).tone(1000, 200, 16000).silence(200), ""},
        {"697 Hz alone (one DTMF row)", SignalBuilder(8000, 1).silence(100).tone(697, 200, 8000).silence(200), ""},
        {"silence", SignalBuilder(44100, 2).silence(1000), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decode(c.signal).digits, c.expect) << c.what;
}

// A loud single tone near a DTMF frequency (a one-tone beep, a CW identification) starts a
// detection that never becomes a clean pair. Once the level falls below the threshold the
// tracker must wait again: a softer key press afterwards is heard.
TEST(DtmfDetector, LoudSingleToneDoesNotDeafenTheDecoder)
{
    auto afterTone = [](int rate, int channels, double hz, double amplitude) {
        SignalBuilder s(rate, channels);
        return s.silence(100).tone(hz, 400, amplitude).silence(300).digit('5', 100, 4000).silence(200);
    };
    auto afterCw = [] {
        // "CQ" keyed at 700 Hz (dit 60 ms), then two key presses.
        SignalBuilder s(44100, 2);
        s.silence(100);
        for (const char* letter : {"-.-.", "--.-"}) {
            for (const char* e = letter; *e; ++e)
                s.tone(700, *e == '-' ? 180 : 60, 16000).silence(60);
            s.silence(120);
        }
        return s.silence(300).digit('5', 100, 4000).silence(100).digit('2', 100, 4000).silence(200);
    };
    struct Case {
        const char* what;
        SignalBuilder signal;
        std::string expect;
    };
    const Case cases[] = {
        {"697 Hz beep", afterTone(8000, 1, 697, 16000), "5"},
        {"700 Hz beep, 44.1 kHz stereo", afterTone(44100, 2, 700, 16000), "5"},
        {"941 Hz beep", afterTone(8000, 1, 941, 12000), "5"},
        {"1209 Hz beep, 44.1 kHz stereo", afterTone(44100, 2, 1209, 16000), "5"},
        {"CW identification at 700 Hz", afterCw(), "52"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decode(c.signal).digits, c.expect) << c.what;
        EXPECT_EQ(decode(c.signal, 100000).digits, c.expect) << c.what << ", large writes";
    }
}

TEST(DtmfDetector, ChunksSmallerThanABlockAreBuffered)
{
    DtmfDetector det;
    std::string got;
    det.onCode = [&](char d, float) { got += d; };
    const std::vector<std::int16_t> pcm = press(8000, 1, "9", 8000).samples();
    // 50 samples at a time: nothing is analysed until 200 are there; then one block, and
    // the 100 samples after its first half move to the front.
    struct Step {
        int sampleCount;
    };
    const int expectCount[] = {50, 100, 150, 100, 150, 100, 150, 100};
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(det.write(pcm.data() + 50 * i, 100), AudioResult::Success);
        EXPECT_EQ(det.sampleCount(), expectCount[i]) << i;
        EXPECT_EQ(det.blockStart(), 0);
    }
    // One chunk larger than the 1000-sample buffer is fed in pieces: nothing is lost.
    det.reset();
    ASSERT_EQ(det.write(pcm.data(), std::ptrdiff_t(pcm.size() * 2)), AudioResult::Success);
    EXPECT_EQ(got, "9");
    EXPECT_LT(det.sampleCount(), DtmfDetector::kBlockLength);
}

// The tracker's best block survives the end of a processing pass, so a press is heard
// whatever the chunk size, down to chunks of a single sample.
TEST(DtmfDetector, ChunkSizeDoesNotDecideWhetherThePeakIsSeen)
{
    for (std::size_t chunk : {1, 80, 99, 160, 400, 1000, 100000})
        EXPECT_EQ(decode(press(8000, 1, "5", 8000), chunk).digits, "5") << chunk;
    // At 8000 Hz nothing is resampled, so however the blocks fall into passes (one, two or
    // four analysed together) the qualities are the same to the bit.
    SignalBuilder keys = press(8000, 1, "123A456B789C*0#D", 2500, 60, 50);
    keys.noise(700);
    const Decoded one = decode(keys, 1);
    EXPECT_EQ(one.digits, "123A456B789C*0#D");
    for (std::size_t chunk : {150, 160, 250, 399, 1000, 100000}) {
        const Decoded d = decode(keys, chunk);
        EXPECT_EQ(d.digits, one.digits) << chunk;
        EXPECT_EQ(d.quality, one.quality) << chunk;
    }
}

TEST(DtmfDetector, TrackerEdgesAtTheThreshold)
{
    auto block = [](double total, double quality) {
        DtmfBlock b;
        // A clean "5": row 2, column 2.
        b.m = {0, total / std::sqrt(2.0), 0, 0, 0, total / std::sqrt(2.0), 0, 0};
        b.low = b.high = total / std::sqrt(2.0);
        b.total = total;
        b.level = quality > 0 ? total / (quality * 2) : 0; // r1 x 0.5 = quality
        return b;
    };
    DtmfDetector det;
    std::string got;
    det.onCode = [&](char d, float) { got += d; };

    DtmfBlock b = block(900, 5);
    det.trackBlock(b);
    EXPECT_EQ(det.state(), 0) << "exactly at the threshold does not start";
    b = block(900.001, 5);
    det.trackBlock(b);
    EXPECT_EQ(det.state(), 1);
    b = block(3000, 5);
    det.trackBlock(b); // louder: becomes the best block
    b = block(2000, 5);
    det.trackBlock(b); // the maximum has passed: report
    EXPECT_EQ(got, "5");
    EXPECT_EQ(det.state(), 2);
    b = block(900, 5);
    det.trackBlock(b);
    EXPECT_EQ(det.state(), 2) << "exactly at the threshold does not end";
    b = block(899.999, 5);
    det.trackBlock(b);
    EXPECT_EQ(det.state(), 0);

    // A peak of quality 2.5 is not clean enough: state 1 stays, nothing changes until a
    // louder block comes.
    got.clear();
    for (auto [total, quality] : {std::pair{1000.0, 2.5}, {5000.0, 2.5}, {4000.0, 9.0}, {3000.0, 9.0}}) {
        b = block(total, quality);
        det.trackBlock(b);
    }
    EXPECT_EQ(det.state(), 1);
    EXPECT_EQ(got, "");
    b = block(6000, 2.6);
    det.trackBlock(b);
    b = block(100, 9.0);
    det.trackBlock(b);
    EXPECT_EQ(got, "5");

    // An unclean peak is given up once a block falls below the threshold (exactly at it
    // is not below); the next onset starts afresh and a softer clean peak is reported.
    b = block(899, 9.0);
    det.trackBlock(b);
    ASSERT_EQ(det.state(), 0);
    got.clear();
    for (auto [total, quality] : {std::pair{8000.0, 1.0}, {9000.0, 1.0}, {2000.0, 1.0}, {900.0, 1.0}}) {
        b = block(total, quality);
        det.trackBlock(b);
    }
    EXPECT_EQ(det.state(), 1);
    b = block(899.999, 9.0);
    det.trackBlock(b);
    EXPECT_EQ(det.state(), 0);
    for (auto [total, quality] : {std::pair{1500.0, 5.0}, {3000.0, 5.0}, {2000.0, 5.0}}) {
        b = block(total, quality);
        det.trackBlock(b);
    }
    EXPECT_EQ(got, "5");
}

TEST(DtmfBlock, PeakPickingRatiosAndDigitTable)
{
    DtmfBlock b;
    b.m = {3, 5, 5, 1, 2, 2, 1, 0}; // equal maxima: the first wins
    b.low = 4;
    b.high = 2;
    b.total = 8;
    b.level = 2;
    b.pickPeaks();
    EXPECT_EQ(b.row, 2);
    EXPECT_EQ(b.column, 1);
    EXPECT_EQ(b.digit(), '4');
    EXPECT_DOUBLE_EQ(b.r[0], 4.0);
    EXPECT_DOUBLE_EQ(b.r[1], 0.5);
    EXPECT_DOUBLE_EQ(b.r[2], 0.25);
    EXPECT_DOUBLE_EQ(b.r[3], 1.25);
    EXPECT_DOUBLE_EQ(b.r[4], 1.0);
    EXPECT_DOUBLE_EQ(b.quality, 4.0 * 0.5 * 0.25 * 1.25);

    DtmfBlock zero;
    zero.pickPeaks(); // divisors of 0 give ratios of 0, not NaN
    EXPECT_EQ(zero.quality, 0.0);
    EXPECT_EQ(zero.digit(), '1');

    const std::string table = "147*2580369#ABCD";
    for (int column = 1; column <= 4; ++column)
        for (int row = 1; row <= 4; ++row) {
            DtmfBlock d;
            d.row = row;
            d.column = column;
            EXPECT_EQ(d.digit(), table[std::size_t((column - 1) * 4 + row - 1)]);
        }
}

TEST(DtmfDetector, BlockAnalysisOfACleanPair)
{
    const std::vector<std::int16_t> x = SignalBuilder(8000, 1).digit('#', 25, 8000).samples();
    ASSERT_EQ(x.size(), 200u);
    DtmfBlock b;
    DtmfDetector::analyseBlock(x.data(), b);
    b.pickPeaks();
    EXPECT_EQ(b.digit(), '#');
    EXPECT_NEAR(b.m[3], 4000, 200); // about amplitude / 2
    EXPECT_NEAR(b.m[6], 4000, 200);
    EXPECT_NEAR(b.level, 8000 / std::sqrt(200.0), 10); // sqrt(sum x^2) / 200
    EXPECT_NEAR(b.r[0], 10, 0.5);
    EXPECT_NEAR(b.quality, 5, 0.5);

    // The filter bank gives exactly what the plain formula gives, evaluated in order:
    // s = K s1 + x - s2 per sample, m = sqrt(s1^2 + s2^2 - K s1 s2) / 200.
    SignalBuilder mixed(8000, 1);
    mixed.digit('D', 25, 32000).tones(700, 20000, 1650, 12000, 25).silence(25).noise(3000, 7);
    const std::vector<std::int16_t> y = mixed.samples();
    for (std::size_t at = 0; at + 200 <= y.size(); at += 100) {
        DtmfBlock got;
        DtmfDetector::analyseBlock(y.data() + at, got);
        double energy = 0, low2 = 0, high2 = 0;
        for (int f = 0; f < 8; ++f) {
            const double k = 2.0 * std::cos(2.0 * std::numbers::pi * DtmfDetector::kFrequencies[f] / 8000.0);
            double s1 = 0, s2 = 0;
            for (int i = 0; i < 200; ++i) {
                const double s = k * s1 + double(y[at + std::size_t(i)]) - s2;
                s2 = s1;
                s1 = s;
            }
            const double m = std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - k * s1 * s2)) / 200;
            EXPECT_EQ(got.m[std::size_t(f)], m) << at << " " << f;
            (f < 4 ? low2 : high2) += m * m;
        }
        for (int i = 0; i < 200; ++i)
            energy += double(y[at + std::size_t(i)]) * double(y[at + std::size_t(i)]);
        EXPECT_EQ(got.level, std::sqrt(energy) / 200) << at;
        EXPECT_EQ(got.low, std::sqrt(low2)) << at;
        EXPECT_EQ(got.high, std::sqrt(high2)) << at;
    }
}

TEST(DtmfDetector, FormatsAndResultCodes)
{
    DtmfDetector det;
    EXPECT_EQ(det.samplingRate(), 8000);
    EXPECT_EQ(det.bitsPerSample(), 16);
    EXPECT_EQ(det.numChannels(), 1);
    EXPECT_EQ(det.threshold(), 900);
    ASSERT_EQ(det.setFormat(44100, 16, 2), AudioResult::Success);
    struct Bad {
        int rate, bits, channels;
    };
    for (Bad b : {Bad{0, 16, 2}, Bad{-8000, 16, 2}, Bad{8000, 7, 1}, Bad{8000, 0, 1}, Bad{8000, 16, 0}})
        EXPECT_EQ(det.setFormat(b.rate, b.bits, b.channels), AudioResult::InvalidArgument);
    EXPECT_EQ(det.samplingRate(), 44100); // the previous format stays
    EXPECT_EQ(det.numChannels(), 2);

    const std::int16_t s[4] = {};
    EXPECT_EQ(det.write(nullptr, 8), AudioResult::InvalidArgument);
    EXPECT_EQ(det.write(s, 0), AudioResult::InvalidArgument);
    EXPECT_EQ(det.write(s, -2), AudioResult::InvalidArgument);
    EXPECT_EQ(det.write(s, 3), AudioResult::Success); // not even one frame: nothing happens
    EXPECT_EQ(det.sampleCount(), 0);

    // setFormat clears the state.
    det.setFormat(8000, 16, 1);
    det.write(s, 8);
    EXPECT_EQ(det.sampleCount(), 4);
    det.setFormat(8000, 16, 1);
    EXPECT_EQ(det.sampleCount(), 0);
}

TEST(DtmfDetector, ConversionToEightKiloHertzMono)
{
    std::vector<std::int16_t> out;
    // 8000 Hz mono: 16-bit as it is, 8-bit (b - 128) x 256.
    const std::int16_t s16[3] = {-5, 0, 32767};
    DtmfDetector::convert(s16, sizeof s16, 8000, 16, 1, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{-5, 0, 32767}));
    const std::uint8_t s8[3] = {0, 128, 255};
    DtmfDetector::convert(s8, 3, 8000, 8, 1, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{-32768, 0, 32512}));
    // Channels are averaged, truncating toward zero.
    const std::int16_t st[6] = {-3, 0, 3, 0, -32768, -32767};
    DtmfDetector::convert(st, sizeof st, 8000, 16, 2, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{-1, 1, -32767}));
    // 24 bits keep the top 16; 32 bits too.
    const std::uint8_t s24[6] = {0xff, 0x34, 0x12, 0x00, 0x00, 0x80};
    DtmfDetector::convert(s24, 6, 8000, 24, 1, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{0x1234, -32768}));
    const std::uint8_t s32[4] = {0xff, 0xff, 0xfe, 0xff};
    DtmfDetector::convert(s32, 4, 8000, 32, 1, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{-2}));

    // 44100 Hz: 160 of a chunk's 882 frames, no filtering: emitted where the running
    // sum of 8000/44100 passes the next half.
    std::vector<std::int16_t> ramp(882 * 2);
    for (int i = 0; i < 882; ++i)
        ramp[std::size_t(2 * i)] = ramp[std::size_t(2 * i + 1)] = std::int16_t(i);
    DtmfDetector::convert(ramp.data(), ramp.size() * 2, 44100, 16, 2, out);
    ASSERT_EQ(out.size(), 160u);
    EXPECT_EQ(out[0], 2);     // 3 x 0.1814 = 0.544 rounds to 1
    EXPECT_EQ(out[1], 8);     // 9 x 0.1814 = 1.633 rounds to 2
    EXPECT_EQ(out[159], 879); // 880 x 0.1814 = 159.6 rounds to 160
    // Every chunk starts its own sum: two half chunks give 80 + 80.
    DtmfDetector::convert(ramp.data(), 441 * 4, 44100, 16, 2, out);
    EXPECT_EQ(out.size(), 80u);
    // Lower rates repeat samples: 4000 Hz emits every frame twice.
    const std::int16_t up[2] = {7, 9};
    DtmfDetector::convert(up, 4, 4000, 16, 1, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{7, 7, 9, 9}));
}

TEST(DtmfDecoder, ActivationAndSwitchingOff)
{
    DtmfDecoder dec;
    std::string got;
    dec.onDTMFCodeDetected = [&](char d, float) { got += d; };
    EXPECT_EQ(dec.threshold(), 900);
    dec.audioFormat(44100, 16, 2);
    EXPECT_EQ(dec.detector().samplingRate(), 44100);
    EXPECT_EQ(dec.detector().numChannels(), 2);

    const std::vector<std::int16_t> pcm = press(44100, 2, "7", 8000).samples();
    EXPECT_FALSE(dec.audioData(pcm.data(), 882 * 4)) << "inactive: not consumed";
    EXPECT_EQ(dec.detector().sampleCount(), 0);

    dec.setActive(true);
    // Up to the middle of the key press: the digit is reported shortly after the onset
    // and the tracker waits for the tone to end.
    const std::size_t half = (200 + 50) * 441 / 10 * 2;
    for (std::size_t i = 0; i < half; i += 882 * 2)
        ASSERT_TRUE(dec.audioData(pcm.data() + i, 882 * 4));
    EXPECT_EQ(got, "7");
    EXPECT_EQ(dec.detector().state(), 2);
    EXPECT_GT(dec.detector().sampleCount(), 0);
    dec.setActive(false);
    EXPECT_EQ(dec.detector().state(), 0);
    EXPECT_EQ(dec.detector().sampleCount(), 0);
    EXPECT_EQ(dec.detector().blockStart(), 0);

    dec.setThreshold(100000); // nothing is loud enough now
    dec.setActive(true);
    for (std::size_t i = 0; i + 882 * 2 <= pcm.size(); i += 882 * 2)
        dec.audioData(pcm.data() + i, 882 * 4);
    dec.setThreshold(900);
    for (std::size_t i = 0; i + 882 * 2 <= pcm.size(); i += 882 * 2)
        dec.audioData(pcm.data() + i, 882 * 4);
    EXPECT_EQ(got, "77");
}

namespace {

// What a decoder reported and when: the frame at the end of the chunk that gave it.
struct Report {
    std::int64_t frame;
    char digit;
    float quality;
    bool operator==(const Report&) const = default;
};

class ReportingConsumer : public AudioConsumer {
public:
    ReportingConsumer()
    {
        dec.setActive(true);
        dec.onDTMFCodeDetected = [this](char d, float q) { reports.push_back({frames + chunk, d, q}); };
    }
    void audioFormat(int rate, int bits, int channels) override
    {
        frameBytes = std::size_t(bits / 8 * channels);
        dec.audioFormat(rate, bits, channels);
    }
    bool audioData(const void* data, std::size_t bytes) override
    {
        chunk = std::int64_t(bytes / frameBytes);
        const bool ok = dec.audioData(data, bytes);
        frames += chunk;
        return ok;
    }
    DtmfDecoder dec;
    std::vector<Report> reports;
    std::size_t frameBytes = 4;
    std::int64_t frames = 0, chunk = 0;
};

long peakResidentKb()
{
    std::ifstream f("/proc/self/status");
    for (std::string line; std::getline(f, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

// A recording of several minutes read from disk in capture chunks: every minute gives the
// same digits, qualities and times as that minute decoded from memory (no chunk lost or
// repeated where the reader refills its buffer, the short last chunk included), and the
// reader's memory does not grow with the file.
TEST(DtmfDecoder, LongFileFromDiskIsDecodedMinuteByMinute)
{
    constexpr std::int64_t kMinute = 60 * 44100; // 3000 capture chunks
    constexpr int kMinutes = 8;
    SignalBuilder s(44100, 2);
    const std::string keys = "123A456B789C*0#D";
    for (int round = 0; s.frames() < std::size_t(kMinute - 3 * 44100); ++round) {
        s.silence(300);
        const double level = 1500.0 + 1000.0 * (round % 5);
        for (char k : keys)
            s.digit(k, 50 + 10 * (round % 6), level, level * (0.7 + 0.1 * (round % 7))).silence(60 + 15 * (round % 4));
    }
    s.silence(3000).noise(400);
    std::vector<std::int16_t> minute = s.samples();
    minute.resize(std::size_t(kMinute) * 2);

    ReportingConsumer memory;
    memory.audioFormat(44100, 16, 2);
    for (std::size_t i = 0; i < minute.size(); i += 882 * 2)
        ASSERT_TRUE(memory.audioData(minute.data() + i, 882 * 4));
    ASSERT_GE(memory.reports.size(), 100u);

    const std::string file =
        (std::filesystem::temp_directory_path() / ("rd_dtmf_long_" + std::to_string(::getpid()) + ".wav")).string();
    {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(file.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        for (int m = 0; m < kMinutes; ++m)
            ASSERT_EQ(sf_writef_short(f, minute.data(), kMinute), kMinute);
        const std::int16_t tail[100 * 2] = {};
        ASSERT_EQ(sf_writef_short(f, tail, 100), 100);
        sf_close(f);
    }
    minute = {};
    s = SignalBuilder(44100, 2);

    const long before = peakResidentKb();
    ReportingConsumer disk;
    WaveFileSource src;
    ASSERT_TRUE(src.open(file)) << src.lastError();
    ASSERT_EQ(src.frames(), kMinutes * kMinute + 100);
    src.setConsumer(&disk);
    src.runToEnd();
    const long after = peakResidentKb();
    std::filesystem::remove(file);

    EXPECT_EQ(src.position(), src.frames());
    EXPECT_EQ(disk.frames, src.frames());
    std::vector<Report> expect;
    for (int m = 0; m < kMinutes; ++m)
        for (Report r : memory.reports)
            expect.push_back({r.frame + m * kMinute, r.digit, r.quality});
    EXPECT_EQ(disk.reports, expect);
    // The file is 85 MB; reading it must not cost more than a few of them.
    if (before > 0) {
        EXPECT_LT(after - before, 8 * 1024) << before << " kB before, " << after << " kB after";
    }
}
