// relaydeck-cli audio commands: render tone files, read WAV play lengths, decode DTMF from
// a WAV file, and make DTMF test files.
#include "app/audio/dtmf.h"
#include "app/audio/signalgen.h"
#include "app/audio/sounddevices.h"
#include "app/audio/tones.h"
#include "tools/cli.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

int toInt(const std::string& s, const char* what)
{
    std::size_t used = 0;
    int v = 0;
    try {
        v = std::stoi(s, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != s.size() || s.empty())
        throw std::invalid_argument(std::string(what) + " is not an integer: '" + s + "'");
    return v;
}

double toDouble(const std::string& s, const char* what)
{
    std::size_t used = 0;
    double v = 0;
    try {
        v = std::stod(s, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != s.size() || s.empty())
        throw std::invalid_argument(std::string(what) + " is not a number: '" + s + "'");
    return v;
}

int report(const rdaudio::RenderResult& r, const std::string& file)
{
    if (!r.ok()) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    std::printf("%s: %lld ms, %d ticks\n", file.c_str(), static_cast<long long>(rdaudio::WaveLengthMs(file)),
                rdaudio::WavePlayTicks(file, 0, 1));
    return 0;
}

const CliCommand
    renderTone("render-tone", "render-tone FREQ_HZ MS VOLUME OUT.wav [--raw]  render one tone (call tone style)",
               [](const std::vector<std::string>& a) {
                   if (a.size() < 4 || a.size() > 5 || (a.size() == 5 && a[4] != "--raw")) {
                       std::fprintf(stderr, "usage: relaydeck-cli render-tone FREQ_HZ MS VOLUME OUT.wav [--raw]\n");
                       return 2;
                   }
                   const bool header = a.size() == 4;
                   const auto r = rdaudio::RenderTone(toInt(a[0], "FREQ_HZ"), toInt(a[1], "MS"), toInt(a[2], "VOLUME"),
                                                      a[3], header);
                   if (!header) {
                       if (!r.ok())
                           std::fprintf(stderr, "%s\n", r.message.c_str());
                       return r.ok() ? 0 : 1;
                   }
                   return report(r, a[3]);
               });

const CliCommand renderSequence(
    "render-sequence", "render-sequence VOLUME OUT.wav FREQ:MS...  render a beep of up to 9 segments (11 Hz = pause)",
    [](const std::vector<std::string>& a) {
        if (a.size() < 3 || a.size() > 2 + rdaudio::kSequenceArraySize) {
            std::fprintf(stderr, "usage: relaydeck-cli render-sequence VOLUME OUT.wav FREQ:MS... (1 to 11 pairs;"
                                 " entries after the ninth are ignored)\n");
            return 2;
        }
        std::vector<int> f(rdaudio::kSequenceArraySize, 0), ms(rdaudio::kSequenceArraySize, 0);
        for (std::size_t i = 2; i < a.size(); ++i) {
            const auto colon = a[i].find(':');
            if (colon == std::string::npos)
                throw std::invalid_argument("segment '" + a[i] + "' is not FREQ:MS");
            f[i - 2] = toInt(a[i].substr(0, colon), "FREQ");
            ms[i - 2] = toInt(a[i].substr(colon + 1), "MS");
        }
        return report(rdaudio::RenderToneSequence(f, ms, toInt(a[0], "VOLUME"), a[1]), a[1]);
    });

const CliCommand wavTicks(
    "wav-ticks", "wav-ticks FILE.wav [EXTRA1 EXTRA2]  play length of a WAV file in ms, tenths and PLAYWAVE ticks",
    [](const std::vector<std::string>& a) {
        if (a.size() != 1 && a.size() != 3) {
            std::fprintf(stderr, "usage: relaydeck-cli wav-ticks FILE.wav [EXTRA1 EXTRA2]  (extras default to 0 1)\n");
            return 2;
        }
        const int e1 = a.size() == 3 ? toInt(a[1], "EXTRA1") : 0;
        const int e2 = a.size() == 3 ? toInt(a[2], "EXTRA2") : 1;
        const rdaudio::WaveInfo info = rdaudio::ReadWaveInfo(a[0]);
        std::printf("file=%s valid=%d data=%u ms=%lld tenths=%d ticks=%d\n", a[0].c_str(), info.valid ? 1 : 0,
                    info.dataSize, static_cast<long long>(info.lengthMs()), rdaudio::WaveDurationTenths(a[0]),
                    rdaudio::WavePlayTicks(a[0], e1, e2));
        return 0;
    });

// Counts the frames handed to the decoder so that each digit gets a time in the file.
class TimedDecoder : public rdaudio::AudioConsumer {
public:
    TimedDecoder()
    {
        decoder_.setActive(true);
        decoder_.onDTMFCodeDetected = [this](char d, float q) {
            // Reported while the chunk is analysed: its end is the time the digit is known.
            std::printf("%8.3f s  %c  quality %.2f\n", double(framesDone_ + chunkFrames_) / rate_, d, double(q));
            std::fflush(stdout);
            ++digits_;
            text_ += d;
        };
    }
    void audioFormat(int rate, int bits, int channels) override
    {
        rate_ = rate;
        frameBytes_ = std::size_t((bits + 7) / 8 * channels);
        decoder_.audioFormat(rate, bits, channels);
    }
    bool audioData(const void* data, std::size_t bytes) override
    {
        chunkFrames_ = std::int64_t(bytes / frameBytes_);
        const bool ok = decoder_.audioData(data, bytes);
        framesDone_ += chunkFrames_;
        return ok;
    }
    int digits() const { return digits_; }
    const std::string& text() const { return text_; }

private:
    rdaudio::DtmfDecoder decoder_;
    int rate_ = 8000;
    std::size_t frameBytes_ = 2;
    std::int64_t framesDone_ = 0, chunkFrames_ = 0;
    int digits_ = 0;
    std::string text_;
};

const CliCommand dtmf("dtmf", "dtmf FILE.wav [--realtime]  decode DTMF digits from a WAV file (time, digit, quality)",
                      [](const std::vector<std::string>& a) {
                          if (a.empty() || a.size() > 2 || (a.size() == 2 && a[1] != "--realtime")) {
                              std::fprintf(stderr, "usage: relaydeck-cli dtmf FILE.wav [--realtime]\n");
                              return 2;
                          }
                          rdaudio::WaveFileSource src;
                          if (!src.open(a[0])) {
                              std::fprintf(stderr, "%s\n", src.lastError().c_str());
                              return 1;
                          }
                          TimedDecoder dec;
                          src.setConsumer(&dec);
                          if (a.size() == 2) {
                              src.start();
                              while (src.isActive())
                                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
                          } else {
                              src.runToEnd();
                          }
                          std::printf("digits: %s\n", dec.text().c_str());
                          return 0;
                      });

const CliCommand dtmfGen(
    "dtmf-gen",
    "dtmf-gen OUT.wav KEYS [--rate HZ] [--channels N] [--level A] [--on MS] [--gap MS] [--twist DB] [--noise RMS]"
    "  write DTMF key presses to a WAV file",
    [](const std::vector<std::string>& a) {
        if (a.size() < 2 || a.size() % 2 != 0) {
            std::fprintf(stderr, "usage: relaydeck-cli dtmf-gen OUT.wav KEYS [--rate HZ] [--channels N] [--level A]"
                                 " [--on MS] [--gap MS] [--twist DB] [--noise RMS]\n");
            return 2;
        }
        int rate = 44100, channels = 2, on = 100, gap = 100;
        double level = 8000, twist = 0, noise = 0;
        for (std::size_t i = 2; i < a.size(); i += 2) {
            const std::string& k = a[i];
            const std::string& v = a[i + 1];
            if (k == "--rate")
                rate = toInt(v, "HZ");
            else if (k == "--channels")
                channels = toInt(v, "N");
            else if (k == "--level")
                level = toDouble(v, "A");
            else if (k == "--on")
                on = toInt(v, "MS");
            else if (k == "--gap")
                gap = toInt(v, "MS");
            else if (k == "--twist")
                twist = toDouble(v, "DB");
            else if (k == "--noise")
                noise = toDouble(v, "RMS");
            else
                throw std::invalid_argument("unknown option " + k);
        }
        if (rate < 8000 || channels < 1 || channels > 8 || on < 0 || gap < 0)
            throw std::invalid_argument("rate must be >= 8000, channels 1..8, times >= 0");
        rdaudio::SignalBuilder s(rate, channels);
        s.silence(200);
        // Twist: the high tone is `twist` dB above the low one.
        const double high = level * std::pow(10.0, twist / 20.0);
        for (char key : a[1])
            s.digit(key, on, level, high).silence(gap);
        s.silence(200);
        if (noise > 0)
            s.noise(noise);
        if (!s.writeWav(a[0])) {
            std::fprintf(stderr, "cannot write %s\n", a[0].c_str());
            return 1;
        }
        return 0;
    });

const CliCommand soundDevices("sound-devices", "sound-devices  list playback and capture devices by number",
                              [](const std::vector<std::string>&) {
                                  const auto out = rdaudio::ListWaveOutDevices();
                                  const auto in = rdaudio::ListWaveInDevices();
                                  std::printf("playback devices: %zu\n", out.size());
                                  for (std::size_t i = 0; i < out.size(); ++i)
                                      std::printf("  %zu  %s\n", i, out[i].c_str());
                                  std::printf("capture devices: %zu\n", in.size());
                                  for (std::size_t i = 0; i < in.size(); ++i)
                                      std::printf("  %zu  %s\n", i, in[i].c_str());
                                  return 0;
                              });

} // namespace
