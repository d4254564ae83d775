// Sound devices on PortAudio: device lists, the DTMF capture device, a WAV file used as
// a capture source, and the local WAV player of the offline path and the beep previews.
//
// Devices are numbered per direction in PortAudio's order: capture device 0 is the first
// device with input channels, playback device 0 the first with output channels.
// PortAudio's back ends (ALSA, JACK) print diagnostics on stderr when probing devices that
// are not there; those are kept away from the user.
#pragma once

#include "app/audio/dtmf.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rdaudio {

// Names of the playback / capture devices, index = device number, each at most 31
// characters (cut at a character boundary). Empty without sound devices.
std::vector<std::string> ListWaveOutDevices();
std::vector<std::string> ListWaveInDevices();

// Captures from a device and hands the audio to its consumer: 44100 Hz, 16 bits, 2
// channels (1 if the device has only one), chunks of 882 frames (1/50 s), continuously,
// on PortAudio's thread.
class WaveInDevice {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kBitsPerSample = 16;
    static constexpr int kChannels = 2;
    static constexpr int kChunkFrames = 882;

    WaveInDevice();
    ~WaveInDevice();
    WaveInDevice(const WaveInDevice&) = delete;
    WaveInDevice& operator=(const WaveInDevice&) = delete;

    void setDeviceNumber(int number) { device_ = number; }
    int deviceNumber() const { return device_; }
    // The consumer must outlive the device or be detached before it goes.
    void setConsumer(AudioConsumer* consumer) { consumer_ = consumer; }

    // Opens the device, announces the format to the consumer and starts capturing.
    // False (with lastError) when the device number does not exist or cannot be opened.
    bool activate();
    void deactivate();
    bool isActive() const;
    std::string lastError() const { return error_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int device_ = 0;
    AudioConsumer* consumer_ = nullptr;
    std::string error_;
};

// A WAV file (any PCM libsndfile reads) fed to a consumer like a capture device: format
// (file rate, 16 bits, file channels), then chunks of 1/50 s of frames. Either as fast as
// possible on the caller's thread, or paced in real time on its own thread. The file is
// read as it is fed, about a second at a time: memory does not grow with its length.
class WaveFileSource {
public:
    WaveFileSource();
    ~WaveFileSource();
    WaveFileSource(const WaveFileSource&) = delete;
    WaveFileSource& operator=(const WaveFileSource&) = delete;

    // Opens the file; false with lastError when it cannot be read.
    bool open(const std::string& fileName);
    void setConsumer(AudioConsumer* consumer) { consumer_ = consumer; }

    int samplingRate() const { return rate_; }
    int channels() const { return channels_; }
    // Frames the file holds, as its header says.
    std::int64_t frames() const { return frames_; }
    int chunkFrames() const { return rate_ >= 50 ? rate_ / 50 : 1; }
    // Frames handed to the consumer so far.
    std::int64_t position() const { return position_; }

    // Feeds the rest of the file now, on this thread.
    void runToEnd();
    // Feeds the file from its start in real time on its own thread; stop() or the end
    // ends it.
    bool start();
    void stop();
    bool isActive() const { return running_; }
    std::string lastError() const { return error_; }

private:
    struct File;
    bool feedChunk();
    void rewind();

    std::unique_ptr<File> file_;
    std::vector<std::int16_t> buffer_; // read ahead: whole chunks, interleaved
    std::size_t bufferFrames_ = 0;     // frames in buffer_
    std::size_t bufferAt_ = 0;         // frames of buffer_ already fed
    bool atEnd_ = false;
    int rate_ = 0;
    int channels_ = 0;
    std::int64_t frames_ = 0;
    std::atomic<std::int64_t> position_{0};
    AudioConsumer* consumer_ = nullptr;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::string error_;
};

// Plays a WAV file on a playback device in real time, with a volume in percent.
// Without a usable device play() fails and isPlaying() is false.
class WavePlayer {
public:
    WavePlayer();
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    void setDevice(int number) { device_ = number; }
    int device() const { return device_; }
    // 0..100 and more (amplifies, clipped); negative counts as 0. Applies at once.
    void setVolume(int percent);
    int volume() const { return volumePercent_; }

    // Stops what plays, loads the file and starts playing it. False (with lastError)
    // when the file cannot be read or the device cannot be opened.
    bool play(const std::string& fileName);
    bool isPlaying() const;
    void stop();
    std::string lastError() const { return error_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int device_ = 0;
    int volumePercent_ = 100;
    std::string error_;
};

} // namespace rdaudio
