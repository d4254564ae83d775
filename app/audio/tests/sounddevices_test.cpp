#include "app/audio/signalgen.h"
#include "app/audio/sounddevices.h"
#include "app/audio/tones.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

using namespace rdaudio;

namespace {

std::string tempFile(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("rd_snd_" + std::to_string(::getpid()) + "_" + name)).string();
}

// Captures what is written to file descriptor 2 while fn runs.
template <class Fn>
std::string stderrOf(Fn fn)
{
    const std::string path = tempFile("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(2);
    FILE* f = std::fopen(path.c_str(), "w");
    ::dup2(::fileno(f), 2);
    fn();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::fclose(f);
    std::ifstream in(path);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::filesystem::remove(path);
    return text;
}

// Records format and chunk sizes; chunks may arrive on another thread.
struct Collect : AudioConsumer {
    std::atomic<int> rate = 0, bits = 0, channels = 0;
    std::mutex m;
    std::vector<std::size_t> chunkList;
    std::vector<std::size_t> chunks()
    {
        std::lock_guard lk(m);
        return chunkList;
    }
    void audioFormat(int r, int b, int c) override
    {
        rate = r;
        bits = b;
        channels = c;
    }
    bool audioData(const void*, std::size_t bytes) override
    {
        std::lock_guard lk(m);
        chunkList.push_back(bytes);
        return true;
    }
};

} // namespace

TEST(SoundDevices, ListsAndMissingDevicesAreQuietAndSafe)
{
    std::vector<std::string> out, in;
    const std::string noise = stderrOf([&] {
        out = ListWaveOutDevices();
        in = ListWaveInDevices();
        WavePlayer p;
        p.setDevice(int(out.size()) + 5);
        EXPECT_FALSE(p.play(RD_SOURCE_DIR "/CMakeLists.txt"));
        WaveInDevice d;
        d.setDeviceNumber(int(in.size()) + 5);
        EXPECT_FALSE(d.activate());
        EXPECT_FALSE(d.lastError().empty());
        EXPECT_FALSE(d.isActive());
        d.deactivate();
    });
    EXPECT_EQ(noise, "") << "the sound back ends must not print";
    for (const auto& n : out)
        EXPECT_LE(n.size(), 31u);
    for (const auto& n : in)
        EXPECT_LE(n.size(), 31u);
}

TEST(WavePlayer, WithoutADeviceNothingPlaysAndNothingCrashes)
{
    const std::string f = tempFile("beep.wav");
    ASSERT_TRUE(RenderTone(1000, 300, 30, f, true).ok());
    WavePlayer p;
    EXPECT_FALSE(p.isPlaying());
    p.setVolume(50);
    EXPECT_EQ(p.volume(), 50);
    p.setVolume(-3);
    EXPECT_EQ(p.volume(), 0);
    p.setVolume(100);
    EXPECT_FALSE(p.play(tempFile("missing.wav")));
    EXPECT_FALSE(p.isPlaying());
    if (ListWaveOutDevices().empty()) {
        EXPECT_FALSE(p.play(f));
        EXPECT_FALSE(p.isPlaying());
        EXPECT_NE(p.lastError(), "");
    } else {
        // With a device: it plays (300 ms), stop() ends it at once.
        ASSERT_TRUE(p.play(f)) << p.lastError();
        EXPECT_TRUE(p.isPlaying());
        p.stop();
        EXPECT_FALSE(p.isPlaying());
        ASSERT_TRUE(p.play(f));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (p.isPlaying() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(p.isPlaying());
    }
    p.stop();
    p.stop();
    std::filesystem::remove(f);
}

TEST(WaveFileSource, FeedsAFileLikeACaptureDevice)
{
    const std::string f = tempFile("keys.wav");
    SignalBuilder s(44100, 2);
    s.silence(200).digit('0', 100, 8000).silence(100).digit('#', 100, 8000).silence(200);
    ASSERT_TRUE(s.writeWav(f));

    WaveFileSource src;
    ASSERT_TRUE(src.open(f)) << src.lastError();
    EXPECT_EQ(src.samplingRate(), 44100);
    EXPECT_EQ(src.channels(), 2);
    EXPECT_EQ(src.frames(), std::int64_t(s.frames()));
    EXPECT_EQ(src.chunkFrames(), 882);

    Collect c;
    src.setConsumer(&c);
    src.runToEnd();
    EXPECT_EQ(c.rate, 44100);
    EXPECT_EQ(c.bits, 16);
    EXPECT_EQ(c.channels, 2);
    ASSERT_EQ(c.chunks().size(), (s.frames() + 881) / 882);
    EXPECT_EQ(c.chunks().front(), 882u * 4);
    EXPECT_EQ(src.position(), src.frames());

    DtmfDecoder dec;
    std::string got;
    dec.onDTMFCodeDetected = [&](char d, float) { got += d; };
    dec.setActive(true);
    WaveFileSource again;
    ASSERT_TRUE(again.open(f));
    again.setConsumer(&dec);
    again.runToEnd();
    EXPECT_EQ(got, "0#");

    // A rendered tone file (mono 44.1 kHz, 2 trailing bytes after the data chunk) reads too.
    ASSERT_TRUE(RenderTone(1750, 200, 30, f, true).ok());
    ASSERT_TRUE(again.open(f)) << again.lastError();
    EXPECT_EQ(again.channels(), 1);
    EXPECT_EQ(again.frames(), 8820);

    EXPECT_FALSE(again.open(tempFile("missing.wav")));
    EXPECT_NE(again.lastError(), "");
    std::filesystem::remove(f);
}

TEST(WaveFileSource, RealTimePacing)
{
    const std::string f = tempFile("short.wav");
    ASSERT_TRUE(SignalBuilder(8000, 1).silence(300).writeWav(f));
    WaveFileSource src;
    ASSERT_TRUE(src.open(f));
    Collect c;
    src.setConsumer(&c);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(src.start());
    const auto deadline = t0 + std::chrono::seconds(5);
    while (src.isActive() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_FALSE(src.isActive());
    EXPECT_EQ(c.chunks().size(), 15u); // 300 ms in chunks of 20 ms
    EXPECT_GE(took, std::chrono::milliseconds(250));

    // stop() ends a long run early.
    ASSERT_TRUE(SignalBuilder(8000, 1).silence(10000).writeWav(f));
    ASSERT_TRUE(src.open(f));
    ASSERT_TRUE(src.start());
    src.stop();
    EXPECT_FALSE(src.isActive());
    EXPECT_LT(src.position(), src.frames());
    std::filesystem::remove(f);
}

// With ALSA's null device (a configuration of our own, no sound card needed) the player
// and the capture device go through their whole path. The null device does not pace, so
// the player ends as fast as the device swallows the samples.
TEST(SoundDevices, PlayAndCaptureOnTheNullDevice)
{
    if (!std::filesystem::exists("/usr/share/alsa/alsa.conf"))
        GTEST_SKIP() << "no ALSA configuration";
    const std::string conf = tempFile("alsa.conf");
    {
        std::ofstream c(conf);
        c << "</usr/share/alsa/alsa.conf>\npcm.rdnull { type null }\n";
    }
    const char* old = std::getenv("ALSA_CONFIG_PATH");
    const std::string oldValue = old ? old : "";
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);

    const std::vector<std::string> out = ListWaveOutDevices();
    const std::vector<std::string> in = ListWaveInDevices();
    const auto outIt = std::find(out.begin(), out.end(), "rdnull");
    const auto inIt = std::find(in.begin(), in.end(), "rdnull");
    ASSERT_NE(outIt, out.end());
    ASSERT_NE(inIt, in.end());

    const std::string wav = tempFile("play.wav");
    ASSERT_TRUE(RenderTone(1000, 500, 30, wav, true).ok());
    WavePlayer p;
    p.setDevice(int(outIt - out.begin()));
    p.setVolume(40);
    ASSERT_TRUE(p.play(wav)) << p.lastError();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (p.isPlaying() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(p.isPlaying());
    ASSERT_TRUE(p.play(wav));
    p.stop();
    EXPECT_FALSE(p.isPlaying());

    WaveInDevice dev;
    Collect c;
    dev.setConsumer(&c);
    dev.setDeviceNumber(int(inIt - in.begin()));
    ASSERT_TRUE(dev.activate()) << dev.lastError();
    EXPECT_EQ(c.rate, 44100);
    EXPECT_EQ(c.bits, 16);
    EXPECT_EQ(c.channels, 2);
    while (dev.isActive() && c.chunks().size() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    dev.deactivate();
    EXPECT_FALSE(dev.isActive());
    ASSERT_GE(c.chunks().size(), 3u);
    EXPECT_EQ(c.chunks()[0], 882u * 2 * 2);

    if (old)
        ::setenv("ALSA_CONFIG_PATH", oldValue.c_str(), 1);
    else
        ::unsetenv("ALSA_CONFIG_PATH");
    std::filesystem::remove(conf);
    std::filesystem::remove(wav);
}
