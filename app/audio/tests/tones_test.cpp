#include "app/audio/tones.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace rdaudio;

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

std::vector<std::uint8_t> readFile(const std::string& name)
{
    std::ifstream f(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("rd_tones_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string path(const char* name) const { return (dir / name).string(); }
    std::filesystem::path dir;
};

// A three-tone roger beep in the layout the gateway uses: pre-roll, tone, pause, tone,
// pause, tone, post-roll, two unused entries and the two ignored ones.
const std::array<int, 11> kBeepFreq{11, 1000, 11, 1500, 11, 2000, 11, 0, 0, 0, 0};
const std::array<int, 11> kBeepMs{100, 80, 20, 80, 20, 80, 100, 0, 0, 0, 0};

} // namespace

TEST(ToneBytes, CallToneMatchesTheKnownFile)
{
    std::vector<std::uint8_t> b;
    ASSERT_TRUE(ToneBytes(1750, 3000, 30, true, b).ok());
    ASSERT_EQ(b.size(), 264646u);
    EXPECT_EQ(le32(b, 4), 264638u);  // RIFF size 38 + D: file length - 8
    EXPECT_EQ(le32(b, 40), 264600u); // D
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 44), ToneHeader(264600));
    EXPECT_EQ((std::vector<std::uint8_t>(b.begin() + 44, b.begin() + 48)), (std::vector<std::uint8_t>{10, 13, 17, 20}));
    // The header's fixed fields.
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(b, 16), 16u);
    EXPECT_EQ(le32(b, 20), 1u | 1u << 16); // PCM, mono
    EXPECT_EQ(le32(b, 24), 44100u);
    EXPECT_EQ(le32(b, 28), 88200u);
    EXPECT_EQ(le32(b, 32), 2u | 16u << 16); // block align 2, 16 bits
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
}

TEST(ToneBytes, EveryByteIsAHalfFrequencySineWithOffsetTen)
{
    // Independent restatement of the byte rule on a few thousand bytes, including the
    // negative half-wave where the low 8 bits wrap (e.g. -20 + 10 -> 246).
    std::vector<std::uint8_t> b;
    ASSERT_TRUE(ToneBytes(1000, 50, 100, false, b).ok());
    ASSERT_EQ(b.size(), std::size_t(SegmentSize(50) + 2));
    const double w = 500 * 6.283185307179586;
    int wrapped = 0;
    for (std::size_t k = 0; k < b.size(); ++k) {
        const long long v = static_cast<long long>(std::trunc(100 * std::sin(k * w / 44100.0))) + 10;
        ASSERT_EQ(b[k], static_cast<std::uint8_t>(v & 0xFF)) << "byte " << k;
        wrapped += v < 0;
    }
    EXPECT_GT(wrapped, 100);
}

TEST(ToneBytes, SegmentSizesAndVolumeAndFrequencyRules)
{
    std::vector<std::uint8_t> a, b;
    // 0 ms: nothing counted, two bytes written.
    ASSERT_TRUE(ToneBytes(1000, 0, 30, true, a).ok());
    EXPECT_EQ(a.size(), 46u);
    EXPECT_EQ(le32(a, 40), 0u);
    EXPECT_EQ(le32(a, 4), 38u);
    // n = (d * 44100 div 1000) * 2, truncating: 1 ms -> 88, 3 ms -> 264, 7 ms -> 616.
    for (auto [ms, n] : std::vector<std::pair<int, std::int64_t>>{{1, 88}, {3, 264}, {7, 616}, {1000, 88200}}) {
        EXPECT_EQ(SegmentSize(ms), n) << ms;
        ASSERT_TRUE(ToneBytes(1000, ms, 30, false, a).ok());
        EXPECT_EQ(a.size(), std::size_t(n + 2)) << ms;
    }
    // Only the low 8 bits of the volume count.
    ASSERT_TRUE(ToneBytes(1750, 200, 300, true, a).ok());
    ASSERT_TRUE(ToneBytes(1750, 200, 44, true, b).ok());
    EXPECT_EQ(a, b);
    // Only frequency div 2 enters the phase.
    ASSERT_TRUE(ToneBytes(1751, 200, 30, true, a).ok());
    ASSERT_TRUE(ToneBytes(1750, 200, 30, true, b).ok());
    EXPECT_EQ(a, b);
    ASSERT_TRUE(ToneBytes(1752, 200, 30, true, a).ok());
    EXPECT_NE(a, b);
}

TEST_F(TempDir, TooHighFrequencyIsRefusedAndLeavesTheOldFile)
{
    const std::string f = path("tone.wav");
    ASSERT_TRUE(RenderTone(26460, 10, 30, f, true).ok()); // exactly 0.6 x 44100 is allowed
    const auto before = readFile(f);
    EXPECT_EQ(before.size(), 46u + SegmentSize(10));

    const RenderResult r = RenderTone(30000, 10, 30, f, true);
    EXPECT_EQ(r.status, RenderResult::Status::FrequencyTooHigh);
    EXPECT_EQ(r.message, "Sample rate of 44100 is too Low to play a tone of 30000Hz");
    EXPECT_EQ(readFile(f), before);
    EXPECT_EQ(RenderTone(26461, 10, 30, path("other.wav"), true).status, RenderResult::Status::FrequencyTooHigh);
    EXPECT_FALSE(std::filesystem::exists(path("other.wav")));
}

TEST_F(TempDir, RenderedFilesHoldTheRenderedBytes)
{
    std::vector<std::uint8_t> expect;
    ASSERT_TRUE(RenderTone(1750, 3000, 30, path("call.wav"), true).ok());
    ASSERT_TRUE(ToneBytes(1750, 3000, 30, true, expect).ok());
    EXPECT_EQ(readFile(path("call.wav")), expect);

    ASSERT_TRUE(RenderTone(1750, 100, 30, path("raw.wav"), false).ok());
    ASSERT_TRUE(ToneBytes(1750, 100, 30, false, expect).ok());
    EXPECT_EQ(readFile(path("raw.wav")), expect);
    EXPECT_EQ(expect.size(), 8822u);

    ASSERT_TRUE(RenderToneSequence(kBeepFreq, kBeepMs, 30, path("beep.wav")).ok());
    ASSERT_TRUE(ToneSequenceBytes(kBeepFreq, kBeepMs, 30, expect).ok());
    EXPECT_EQ(readFile(path("beep.wav")), expect);

    // Overwrites an existing file; an unwritable path is an error.
    ASSERT_TRUE(RenderTone(1000, 10, 30, path("call.wav"), true).ok());
    EXPECT_EQ(readFile(path("call.wav")).size(), 46u + 882u);
    EXPECT_EQ(RenderTone(1000, 10, 30, path("missing/x.wav"), true).status, RenderResult::Status::WriteFailed);
}

TEST(ToneSequenceBytes, ShortBeepLayoutAndLength)
{
    const std::array<int, 11> f{11, 1000, 11, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::array<int, 11> d{100, 100, 100, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> b;
    ASSERT_TRUE(ToneSequenceBytes(f, d, 30, b).ok());
    EXPECT_EQ(le32(b, 40), 26460u);
    EXPECT_EQ(le32(b, 4), 38u + 26460u);
    ASSERT_EQ(b.size(), 44u + 3 * (8820u + 2));
    // Pause bytes: 1, except 2 and 0 where the 5 Hz sine of the pause reaches +1 and -1
    // (a quarter and three quarters of its 8820-byte period).
    for (std::size_t k = 0; k < 8822; ++k)
        ASSERT_EQ(b[44 + k], k == 2205 ? 2 : k == 6615 ? 0 : 1) << k;
    // The tone restarts its phase at 0: first bytes of segment 2 are 10, 10 + trunc(30 sin ...).
    const std::size_t t = 44 + 8822;
    EXPECT_EQ(b[t], 10);
    EXPECT_EQ(b[t + 1], 10 + static_cast<int>(30 * std::sin(500 * 6.283185307179586 / 44100)));
    EXPECT_TRUE(std::equal(b.begin() + 44, b.begin() + 44 + 8822, b.begin() + t + 8822));
}

TEST(ToneSequenceBytes, SegmentRules)
{
    std::vector<std::uint8_t> base, other;
    ASSERT_TRUE(ToneSequenceBytes(kBeepFreq, kBeepMs, 30, base).ok());
    // D: 100+80+20+80+20+80+100 ms = 480 ms -> sum of n; 7 segments add 2 bytes each.
    std::int64_t d = 0;
    for (int i = 0; i < 7; ++i)
        d += SegmentSize(kBeepMs[i]);
    EXPECT_EQ(le32(base, 40), std::uint32_t(d));
    EXPECT_EQ(base.size(), std::size_t(44 + d + 7 * 2));

    struct Case {
        const char* what;
        int index, freq, ms;
        bool sameBytes;
    };
    const Case cases[] = {
        {"entry 9 ignored", 9, 1000, 500, true},
        {"entry 10 ignored", 10, 2000, 500, true},
        {"frequency 10 skipped even with a duration", 7, 10, 500, true},
        {"frequency 0 skipped", 8, 0, 300, true},
        {"entry 8 used", 8, 1000, 100, false},
    };
    for (const Case& c : cases) {
        auto f = kBeepFreq;
        auto ms = kBeepMs;
        f[c.index] = c.freq;
        ms[c.index] = c.ms;
        ASSERT_TRUE(ToneSequenceBytes(f, ms, 30, other).ok());
        EXPECT_EQ(other == base, c.sameBytes) << c.what;
    }

    // A skipped first entry: no header at all, just the segments.
    auto f = kBeepFreq;
    f[0] = 0;
    ASSERT_TRUE(ToneSequenceBytes(f, kBeepMs, 30, other).ok());
    EXPECT_EQ(other.size(), base.size() - 44 - (SegmentSize(100) + 2));
    EXPECT_EQ(std::vector<std::uint8_t>(other.begin(), other.end()),
              std::vector<std::uint8_t>(base.begin() + 44 + SegmentSize(100) + 2, base.end()));

    // Shorter arrays behave as if the missing entries were skipped.
    const int shortF[] = {11, 1000};
    const int shortD[] = {100, 100};
    std::array<int, 11> fullF{11, 1000}, fullD{100, 100};
    ASSERT_TRUE(ToneSequenceBytes(shortF, shortD, 30, other).ok());
    ASSERT_TRUE(ToneSequenceBytes(fullF, fullD, 30, base).ok());
    EXPECT_EQ(other, base);
}

TEST(ToneSequenceBytes, NegativeDurationsAndLowTones)
{
    // A negative duration writes nothing and does not reduce the data size.
    std::array<int, 11> f{11, 1000, 11}, d{100, -50, 100};
    std::vector<std::uint8_t> b;
    ASSERT_TRUE(ToneSequenceBytes(f, d, 30, b).ok());
    EXPECT_EQ(le32(b, 40), 2u * 8820u);
    EXPECT_EQ(b.size(), 44u + 2 * 8822u);
    // Single tone with a negative duration: an empty data chunk, no sample bytes.
    ASSERT_TRUE(ToneBytes(1000, -5, 30, true, b).ok());
    EXPECT_EQ(b.size(), 44u);
    EXPECT_EQ(le32(b, 40), 0u);
    // 12..40 Hz is written like a tone and counted like one.
    std::array<int, 11> low{11, 30, 11}, ms{100, 100, 100};
    ASSERT_TRUE(ToneSequenceBytes(low, ms, 30, b).ok());
    EXPECT_EQ(le32(b, 40), 26460u);
    EXPECT_EQ(b[44 + 8822], 10);
}

// Long double and double agree on every byte except where volume x sine is mathematically
// an exact integer (for 1750 Hz: sin = +-1/2 at k x 875 / 22050 = 1/6 + m/2... turns).
// There the rounded omega puts the product a hair below or above the integer and the two
// precisions truncate differently. This checks that every difference is such a point.
namespace {
int differencesOutsideExactPoints(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b,
                                  std::size_t first, int frequencyHz, int volume, int* exactPoints)
{
    int bad = 0;
    *exactPoints = 0;
    const long long h = frequencyHz / 2;
    for (std::size_t i = first; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        const long long k = static_cast<long long>(i - first);
        // Exact phase: pi x (k h mod 44100) / 22050, reduced with integers first.
        const long double phase = 3.14159265358979323846264L * static_cast<long double>((k * h) % 44100) / 22050.0L;
        const long double x = (volume & 0xFF) * std::sin(phase);
        const bool nearInteger = std::fabs(x - std::round(x)) < 1e-9L;
        const int step = std::abs(int(a[i]) - int(b[i]));
        if (nearInteger && (step == 1 || step == 255))
            ++*exactPoints;
        else
            ++bad;
    }
    return bad;
}
} // namespace

TEST(ToneBytes, DoublePrecisionDiffersOnlyAtExactIntegerPoints)
{
    std::vector<std::uint8_t> a, b;
    struct Tone {
        int f, ms, vol;
        int exactPoints; // bytes where the two precisions truncate differently
    };
    for (Tone t : {Tone{1750, 3000, 30, 510}, Tone{1751, 3000, 30, 510}, Tone{1750, 200, 300, 32},
                   Tone{26460, 100, 30, 0}, Tone{1000, 1000, 30, 0}, Tone{1000, 0, 30, 0}, Tone{440, 1000, 117, 0}}) {
        ASSERT_TRUE(ToneBytes(t.f, t.ms, t.vol, true, a, SinePrecision::LongDouble).ok());
        ASSERT_TRUE(ToneBytes(t.f, t.ms, t.vol, true, b, SinePrecision::Double).ok());
        ASSERT_EQ(a.size(), b.size());
        EXPECT_TRUE(std::equal(a.begin(), a.begin() + std::min<std::size_t>(48, a.size()), b.begin())) << t.f;
        int exact = 0;
        EXPECT_EQ(differencesOutsideExactPoints(a, b, 44, t.f, t.vol, &exact), 0) << t.f << " Hz " << t.ms << " ms";
        EXPECT_EQ(exact, t.exactPoints) << t.f << " Hz " << t.ms << " ms";
    }
    // The first such point of the call tone: k = 105, where 30 x sin is 15 in exact
    // arithmetic; the file (long double) has 14 + 10, double would give 15 + 10.
    ASSERT_TRUE(ToneBytes(1750, 3000, 30, true, a, SinePrecision::LongDouble).ok());
    EXPECT_EQ(a[44 + 105], 24);

    const std::array<int, 11> f{11, 1000, 11}, d{100, 100, 100};
    ASSERT_TRUE(ToneSequenceBytes(f, d, 30, a, SinePrecision::LongDouble).ok());
    ASSERT_TRUE(ToneSequenceBytes(f, d, 30, b, SinePrecision::Double).ok());
    EXPECT_EQ(a, b);
    ASSERT_TRUE(ToneSequenceBytes(kBeepFreq, kBeepMs, 30, a, SinePrecision::LongDouble).ok());
    ASSERT_TRUE(ToneSequenceBytes(kBeepFreq, kBeepMs, 30, b, SinePrecision::Double).ok());
    EXPECT_EQ(a, b);
}

// The default (checked double with extended fallback) must give exactly the bytes of the
// extended-precision sine everywhere, including at the points where double alone differs
// and at the large phase arguments of long tones.
TEST(ToneBytes, CheckedSineEqualsExtendedPrecision)
{
    std::vector<std::uint8_t> a, b;
    struct Tone {
        int f, ms, vol;
    };
    for (Tone t :
         {Tone{1750, 3000, 30}, Tone{1750, 200, 300}, Tone{26460, 500, 30}, Tone{1000, 500, 0}, Tone{1000, 500, 255},
          Tone{440, 1000, 117}, Tone{2205, 1000, 100}, Tone{1750, 20000, 200}, Tone{22050, 5000, 127},
          Tone{-1000, 100, 30}, Tone{2999, 2000, 255}, Tone{997, 4000, 64}, Tone{11, 1000, 30}}) {
        ASSERT_TRUE(ToneBytes(t.f, t.ms, t.vol, true, a, SinePrecision::Checked).ok());
        ASSERT_TRUE(ToneBytes(t.f, t.ms, t.vol, true, b, SinePrecision::LongDouble).ok());
        EXPECT_EQ(a, b) << t.f << " Hz " << t.ms << " ms vol " << t.vol;
    }
    const std::array<int, 11> f{11, 1750, 11, 2205, 11, 700, 11}, d{2000, 500, 300, 500, 20, 500, 1000};
    for (int vol : {30, 44, 255}) {
        ASSERT_TRUE(ToneSequenceBytes(f, d, vol, a, SinePrecision::Checked).ok());
        ASSERT_TRUE(ToneSequenceBytes(f, d, vol, b, SinePrecision::LongDouble).ok());
        EXPECT_EQ(a, b) << vol;
    }
}

// --- length reader -------------------------------------------------------------

namespace {
// A WAV file built by hand: RIFF/WAVE, optional extra chunk, fmt of `fmtSize`, data.
std::vector<std::uint8_t> handWav(std::uint32_t avgBytes, std::uint32_t dataSize, std::uint32_t fmtSize = 16,
                                  bool junkBeforeFmt = false, bool dataBeforeFmt = false)
{
    std::vector<std::uint8_t> b;
    auto id = [&](const char* s) {
        for (int i = 0; i < 4; ++i)
            b.push_back(std::uint8_t(s[i]));
    };
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(std::uint8_t(v >> (8 * i)));
    };
    auto chunkData = [&](std::uint32_t n) { b.resize(b.size() + n + (n & 1), 0); };
    id("RIFF");
    u32(0);
    id("WAVE");
    if (junkBeforeFmt) {
        id("LIST");
        u32(3);
        chunkData(3); // odd size: padded
    }
    if (dataBeforeFmt) {
        id("data");
        u32(dataSize);
        chunkData(dataSize);
    }
    id("fmt ");
    u32(fmtSize);
    std::vector<std::uint8_t> fmt(fmtSize, 0);
    if (fmtSize >= 12)
        for (int i = 0; i < 4; ++i)
            fmt[8 + i] = std::uint8_t(avgBytes >> (8 * i));
    for (std::uint8_t v : fmt)
        b.push_back(v);
    if (fmtSize & 1)
        b.push_back(0);
    if (!dataBeforeFmt) {
        id("data");
        u32(dataSize);
        chunkData(dataSize);
    }
    const std::uint32_t riff = std::uint32_t(b.size() - 8);
    for (int i = 0; i < 4; ++i)
        b[4 + i] = std::uint8_t(riff >> (8 * i));
    return b;
}
void writeFile(const std::string& name, const std::vector<std::uint8_t>& b)
{
    std::ofstream f(name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}
} // namespace

TEST_F(TempDir, LengthOfRenderedFiles)
{
    const std::array<int, 11> f{11, 1000, 11}, d{100, 100, 100};
    ASSERT_TRUE(RenderToneSequence(f, d, 30, path("beep.wav")).ok());
    EXPECT_EQ(WaveLengthMs(path("beep.wav")), 300);
    EXPECT_EQ(WaveDurationTenths(path("beep.wav")), 3);
    EXPECT_EQ(WavePlayTicks(path("beep.wav"), 0, 1), 4);

    ASSERT_TRUE(RenderTone(1750, 3000, 30, path("call.wav"), true).ok());
    const WaveInfo info = ReadWaveInfo(path("call.wav"));
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.dataSize, 264600u);
    EXPECT_EQ(info.dataOffset, 44u);
    EXPECT_EQ(info.format.size(), 18u);
    EXPECT_EQ(info.avgBytesPerSec(), 88200u);
    EXPECT_EQ(info.lengthMs(), 3000);
    EXPECT_EQ(WavePlayTicks(path("call.wav"), 0, 1), 31);

    struct Case {
        int ms;
        std::int64_t lengthMs;
        int tenths;
    };
    for (Case c : {Case{40, 40, 1}, Case{250, 250, 2}, Case{99, 99, 1}, Case{100, 100, 1}, Case{0, 0, 1},
                   Case{1999, 1999, 19}}) {
        ASSERT_TRUE(RenderTone(800, c.ms, 30, path("t.wav"), true).ok());
        EXPECT_EQ(WaveLengthMs(path("t.wav")), c.lengthMs) << c.ms;
        EXPECT_EQ(WaveDurationTenths(path("t.wav")), c.tenths) << c.ms;
        EXPECT_EQ(WavePlayTicks(path("t.wav"), 2, 3), c.tenths + 5) << c.ms;
    }
}

TEST_F(TempDir, LengthOfOtherAndBrokenFiles)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::int64_t ms;
    };
    auto noWave = handWav(88200, 8820);
    noWave[8] = 'X';
    auto truncated = handWav(88200, 8820);
    truncated.resize(30);
    const std::vector<Case> cases = {
        {"plain", handWav(88200, 8820), 100},
        {"rounds to nearest, down", handWav(3000, 1), 0}, // 0.333 ms
        {"rounds to nearest, up", handWav(3000, 2), 1},   // 0.667 ms
        {"stereo 44.1k", handWav(176400, 176400 * 2 + 88), 2000},
        {"chunk before fmt", handWav(88200, 8820, 16, true), 100},
        {"short fmt of 14 bytes", handWav(88200, 8820, 14), 100},
        {"long fmt of 40 bytes", handWav(16000, 16000, 40), 1000},
        {"fmt of 12 bytes", handWav(88200, 8820, 12), 0},
        {"data only before fmt", handWav(88200, 8820, 16, false, true), 0},
        {"average 0", handWav(0, 8820), 0},
        {"not WAVE", noWave, 0},
        {"truncated header", truncated, 0},
        {"empty", {}, 0},
        {"text", {'h', 'e', 'l', 'l', 'o'}, 0},
    };
    for (const Case& c : cases) {
        writeFile(path("x.wav"), c.bytes);
        EXPECT_EQ(WaveLengthMs(path("x.wav")), c.ms) << c.what;
        EXPECT_EQ(WaveDurationTenths(path("x.wav")), c.ms >= 100 ? c.ms / 100 : 1) << c.what;
        EXPECT_EQ(WavePlayTicks(path("x.wav"), 0, 1), (c.ms >= 100 ? c.ms / 100 : 1) + 1) << c.what;
    }
    EXPECT_EQ(WaveDurationTenths(path("none.wav")), 1);
    EXPECT_EQ(WavePlayTicks(path("none.wav"), 5, 7), 0);
    EXPECT_EQ(WavePlayTicks(dir.string(), 5, 7), 0); // a folder is not a file
}

// The announcement files generated at build time: every language has all four, each a
// 44100 Hz 16-bit mono PCM WAV of speech length.
TEST(AnnouncementSounds, GeneratedForEveryLanguage)
{
    const std::filesystem::path dir = std::filesystem::path(RD_BINARY_DIR) / "bin" / "sounds";
    if (!std::filesystem::exists(dir))
        GTEST_SKIP() << "sounds not generated (espeak-ng or sox missing)";
    for (const char* lang : {"de_DE", "en_US"})
        for (const char* name : {"S0001.wav", "S0002.wav", "S0003.wav", "S0004.wav"}) {
            const std::string file = (dir / lang / name).string();
            const WaveInfo info = ReadWaveInfo(file);
            ASSERT_TRUE(info.valid) << file;
            EXPECT_EQ(info.format[0] | info.format[1] << 8, 1) << file; // PCM
            EXPECT_EQ(info.format[2] | info.format[3] << 8, 1) << file; // mono
            EXPECT_EQ(le32(info.format, 4), 44100u) << file;
            EXPECT_EQ(info.format[14] | info.format[15] << 8, 16) << file;
            EXPECT_GT(info.lengthMs(), 500) << file;
            EXPECT_LT(info.lengthMs(), 4000) << file;
            EXPECT_GE(WavePlayTicks(file, 1, 1), 7) << file;
        }
}
