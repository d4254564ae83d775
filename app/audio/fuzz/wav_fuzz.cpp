// libFuzzer target: the WAV length reader (announcements, beacon files and rendered tones
// are measured with it before PLAYWAVE goes out).
// Checks: no crash or sanitizer report; a valid header's data chunk lies inside the file;
// lengths are never negative.
#include "app/audio/tones.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_file;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_file = "/tmp/rd-fuzz-wav-" + std::to_string(::getpid()) + ".wav";
    std::atexit([] { std::remove(g_file.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(g_file.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);

    const rdaudio::WaveInfo info = rdaudio::ReadWaveInfo(g_file);
    if (info.valid) {
        if (info.dataOffset > size || info.dataSize > size - info.dataOffset) {
            std::fprintf(stderr, "data chunk %llu+%u beyond a file of %zu bytes\n",
                         static_cast<unsigned long long>(info.dataOffset), info.dataSize, size);
            std::abort();
        }
        if (info.format.size() < 18)
            std::abort();
    }
    const std::int64_t ms = info.lengthMs();
    if (ms < 0 || rdaudio::WaveLengthMs(g_file) != ms)
        std::abort();
    if (rdaudio::WaveDurationTenths(g_file) < 1 || rdaudio::WavePlayTicks(g_file, 3, 2) < 0)
        std::abort();
    return 0;
}
