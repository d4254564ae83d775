// The play length of WAV files whose header promises more than the file holds.
#include "app/audio/tones.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// A 16-bit mono 44100 Hz PCM header declaring `declared` data bytes, followed by
// `present` bytes of silence.
std::vector<std::uint8_t> wav(std::uint32_t declared, std::uint32_t present, std::uint32_t riffSize = 0)
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
    auto u16 = [&](std::uint16_t v) {
        b.push_back(std::uint8_t(v));
        b.push_back(std::uint8_t(v >> 8));
    };
    id("RIFF");
    u32(riffSize ? riffSize : 36 + declared);
    id("WAVE");
    id("fmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(44100);
    u32(88200);
    u16(2);
    u16(16);
    id("data");
    u32(declared);
    b.resize(b.size() + present, 0);
    return b;
}

} // namespace

TEST(WaveLength, CountsOnlyTheDataBytesInTheFile)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "rd_wavelength_test";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "x.wav").string();
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::int64_t ms;
    } cases[] = {
        {"complete", wav(88200, 88200), 1000},
        {"more bytes than declared", wav(8820, 88200), 100},
        {"streaming header", wav(0xFFFFFFFFu, 26460, 0xFFFFFFFFu), 300},
        {"truncated copy", wav(264600, 44100), 500},
        {"header only", wav(88200, 0), 0},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(c.bytes.data()), std::streamsize(c.bytes.size()));
        EXPECT_EQ(rdaudio::WaveLengthMs(file), c.ms) << c.what;
        EXPECT_EQ(rdaudio::WavePlayTicks(file, 0, 1), (c.ms >= 100 ? c.ms / 100 : 1) + 1) << c.what;
    }
    std::filesystem::remove_all(dir);
}
