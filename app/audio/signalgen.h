// Test and demonstration signals: DTMF key presses, single tones, silence and noise as
// interleaved 16-bit PCM. Used by the tests, the benchmarks and `relaydeck-cli dtmf-gen`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rdaudio {

class SignalBuilder {
public:
    SignalBuilder(int samplingRate, int channels) : rate_(samplingRate), channels_(channels) {}

    // A key press: the digit's low and high tone, each with its own amplitude (twist is
    // highAmplitude / lowAmplitude). Unknown digits throw std::invalid_argument.
    SignalBuilder& digit(char d, int ms, double lowAmplitude, double highAmplitude);
    SignalBuilder& digit(char d, int ms, double amplitude) { return digit(d, ms, amplitude, amplitude); }
    SignalBuilder& tone(double frequencyHz, int ms, double amplitude);
    SignalBuilder& tones(double f1, double a1, double f2, double a2, int ms);
    SignalBuilder& silence(int ms);
    // Adds uniform white noise of the given RMS over everything built so far.
    SignalBuilder& noise(double rms, unsigned seed = 1);

    // Interleaved samples (every channel carries the same signal), clipped to 16 bits.
    std::vector<std::int16_t> samples() const;
    const std::vector<double>& mono() const { return mono_; }
    int samplingRate() const { return rate_; }
    int channels() const { return channels_; }
    std::size_t frames() const { return mono_.size(); }

    // Writes a 16-bit PCM WAV file; false on error.
    bool writeWav(const std::string& fileName) const;

private:
    int rate_;
    int channels_;
    std::vector<double> mono_;
};

// Row and column frequencies of a digit of "147*2580369#ABCD"; false for other characters.
bool DtmfFrequencies(char digit, double& low, double& high);

} // namespace rdaudio
