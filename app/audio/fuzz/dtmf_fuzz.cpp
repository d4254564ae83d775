// libFuzzer target: the DTMF detector with any capture format and any bytes, written in
// chunks of any size, with format changes, resets and threshold changes in between.
// Layout: 8 header bytes (rate 4000..192000 Hz, bits, channels, threshold), then chunks:
// one length byte, that many bytes of audio. A length byte of 0 changes the format to
// the next 4 bytes, 0xFF resets the detector.
// Checks: no crash or sanitizer report; reported digits are DTMF digits with a quality
// above the minimum; from 8000 Hz up, the stand-alone conversion gives at most one
// sample per frame.
#include "app/audio/dtmf.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Format {
    int rate, bits, channels;
};

Format readFormat(const uint8_t* p)
{
    static const int kBits[] = {8, 16, 24, 32, 12, 7, 0, 64};
    Format f;
    // Rates a sound card can report; far below 8000 Hz every frame becomes many samples.
    f.rate = 4000 + int((unsigned(p[0]) | unsigned(p[1]) << 8 | unsigned(p[2] & 0x0F) << 16) % 188001);
    f.bits = kBits[p[3] & 7];
    f.channels = (p[3] >> 3) & 7;
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    rdaudio::DtmfDetector detector;
    detector.onCode = [](char digit, float quality) {
        if (!digit || !std::strchr(rdaudio::DtmfDetector::kDigits, digit) ||
            !(quality > rdaudio::DtmfDetector::kMinQuality)) {
            std::fprintf(stderr, "bad report: digit %d quality %f\n", digit, double(quality));
            std::abort();
        }
    };
    Format f = readFormat(data);
    detector.setFormat(f.rate, f.bits, f.channels);
    detector.setThreshold(int(unsigned(data[4]) | unsigned(data[5]) << 8) - 100);
    size_t pos = 8;
    std::vector<std::int16_t> converted;
    while (pos < size) {
        const uint8_t len = data[pos++];
        if (len == 0) {
            if (size - pos < 4)
                break;
            f = readFormat(data + pos);
            detector.setFormat(f.rate, f.bits, f.channels);
            pos += 4;
            continue;
        }
        if (len == 0xFF) {
            detector.reset();
            continue;
        }
        const size_t n = std::min<size_t>(size_t(len) * 8, size - pos);
        detector.write(data + pos, std::ptrdiff_t(n));
        const int bits = detector.bitsPerSample(), channels = detector.numChannels();
        rdaudio::DtmfDetector::convert(data + pos, n, detector.samplingRate(), bits, channels, converted);
        const size_t frameBytes = size_t((bits + 7) / 8) * size_t(channels);
        if (frameBytes && detector.samplingRate() >= 8000 && converted.size() > n / frameBytes) {
            std::fprintf(stderr, "%zu samples from %zu frames\n", converted.size(), n / frameBytes);
            std::abort();
        }
        pos += n;
    }
    return 0;
}
