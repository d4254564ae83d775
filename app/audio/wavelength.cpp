// Reading the play length of WAV files (any WAV, not only the rendered tones).
#include "app/audio/tones.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

namespace rdaudio {
namespace {

struct ChunkHeader {
    char id[4];
    std::uint32_t size = 0;
    std::uint64_t dataPos = 0; // position after the 8-byte header
};

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

bool readHeaderAt(std::ifstream& f, std::uint64_t pos, std::uint64_t end, ChunkHeader& h)
{
    if (pos + 8 > end)
        return false;
    unsigned char buf[8];
    f.clear();
    f.seekg(static_cast<std::streamoff>(pos));
    if (!f.read(reinterpret_cast<char*>(buf), 8))
        return false;
    std::memcpy(h.id, buf, 4);
    h.size = le32(buf + 4);
    h.dataPos = pos + 8;
    return true;
}

// Chunks are padded to an even length.
std::uint64_t nextChunk(const ChunkHeader& h)
{
    return h.dataPos + h.size + (h.size & 1u);
}

// Walks the chunks from `pos` up to `end` and stops at the first with id `id`.
bool findChunk(std::ifstream& f, std::uint64_t pos, std::uint64_t end, const char* id, ChunkHeader& out)
{
    ChunkHeader h;
    while (readHeaderAt(f, pos, end, h)) {
        if (std::memcmp(h.id, id, 4) == 0) {
            out = h;
            return true;
        }
        pos = nextChunk(h);
    }
    return false;
}

} // namespace

std::uint32_t WaveInfo::avgBytesPerSec() const
{
    return format.size() >= 12 ? le32(format.data() + 8) : 0;
}

std::int64_t WaveInfo::lengthMs() const
{
    const std::uint64_t avg = avgBytesPerSec();
    if (!valid || avg == 0)
        return 0;
    return static_cast<std::int64_t>((1000ull * dataSize + avg / 2) / avg);
}

WaveInfo ReadWaveInfo(const std::string& fileName)
{
    WaveInfo info;
    std::ifstream f(fileName, std::ios::binary);
    if (!f)
        return info;
    f.seekg(0, std::ios::end);
    const std::streamoff fileSize = f.tellg();
    if (fileSize <= 0)
        return info;
    const auto fileEnd = static_cast<std::uint64_t>(fileSize);

    // The RIFF chunk of form type WAVE, searched from the start of the file.
    ChunkHeader riff;
    std::uint64_t pos = 0;
    bool found = false;
    while (findChunk(f, pos, fileEnd, "RIFF", riff)) {
        char form[4];
        f.clear();
        f.seekg(static_cast<std::streamoff>(riff.dataPos));
        if (riff.size >= 4 && f.read(form, 4) && std::memcmp(form, "WAVE", 4) == 0) {
            found = true;
            break;
        }
        pos = nextChunk(riff);
    }
    if (!found)
        return info;
    const std::uint64_t riffEnd = std::min<std::uint64_t>(riff.dataPos + riff.size, fileEnd);

    ChunkHeader fmt;
    if (!findChunk(f, riff.dataPos + 4, riffEnd, "fmt ", fmt) || fmt.size < 14 || fmt.dataPos + fmt.size > fileEnd)
        return info;
    info.format.assign(std::max<std::size_t>(18, fmt.size), 0);
    f.clear();
    f.seekg(static_cast<std::streamoff>(fmt.dataPos));
    if (!f.read(reinterpret_cast<char*>(info.format.data()), fmt.size))
        return WaveInfo{};

    ChunkHeader data;
    if (!findChunk(f, nextChunk(fmt), riffEnd, "data", data))
        return WaveInfo{};
    // Only the bytes really in the file play: a streaming header (0xFFFFFFFF) or a
    // truncated copy must not announce hours of audio.
    info.dataSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(data.size, fileEnd - data.dataPos));
    info.dataOffset = data.dataPos;
    info.valid = true;
    return info;
}

std::int64_t WaveLengthMs(const std::string& fileName)
{
    return ReadWaveInfo(fileName).lengthMs();
}

int WaveDurationTenths(const std::string& fileName)
{
    const std::int64_t ms = WaveLengthMs(fileName);
    if (ms < 100)
        return 1;
    return static_cast<int>(std::min<std::int64_t>(ms / 100, std::numeric_limits<int>::max()));
}

int WavePlayTicks(const std::string& fileName, int extra1, int extra2)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec))
        return 0;
    return std::max(0, WaveDurationTenths(fileName)) + extra1 + extra2;
}

} // namespace rdaudio
