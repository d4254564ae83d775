#include "app/audio/sounddevices.h"

#include <portaudio.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace rdaudio {
namespace {

// --- keeping the back ends quiet ---------------------------------------------------

extern "C" void silentAlsaHandler(const char*, int, const char*, int, const char*, ...) {}
extern "C" void silentJackHandler(const char*) {}

// ALSA and JACK have their own hooks for their messages; install silent ones if the
// libraries are loaded (PortAudio links them).
void installSilentHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Probing must not start a JACK server as a side effect.
        ::setenv("JACK_NO_START_SERVER", "1", 0);
        using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
        if (auto set = reinterpret_cast<int (*)(AlsaHandler)>(::dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler")))
            set(&silentAlsaHandler);
        using JackHandler = void (*)(const char*);
        if (auto set = reinterpret_cast<void (*)(JackHandler)>(::dlsym(RTLD_DEFAULT, "jack_set_error_function")))
            set(&silentJackHandler);
        if (auto set = reinterpret_cast<void (*)(JackHandler)>(::dlsym(RTLD_DEFAULT, "jack_set_info_function")))
            set(&silentJackHandler);
    });
}

std::mutex& paMutex()
{
    static std::mutex m;
    return m;
}

// Runs fn with file descriptor 2 pointed at /dev/null: what the back ends print while
// probing devices goes nowhere. Serialised; other threads' stderr output during these
// few milliseconds is lost too.
template <class Fn>
auto quietly(Fn fn)
{
    installSilentHandlers();
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0)
        ::dup2(null, 2);
    struct Restore {
        int saved, null;
        ~Restore()
        {
            std::fflush(stderr);
            if (saved >= 0 && null >= 0)
                ::dup2(saved, 2);
            if (saved >= 0)
                ::close(saved);
            if (null >= 0)
                ::close(null);
        }
    } restore{saved, null};
    return fn();
}

// Holds PortAudio initialised for as long as it lives.
class PaSession {
public:
    PaSession()
    {
        std::lock_guard lk(paMutex());
        ok_ = quietly([] { return Pa_Initialize(); }) == paNoError;
    }
    ~PaSession()
    {
        if (ok_) {
            std::lock_guard lk(paMutex());
            quietly([] { return Pa_Terminate(); });
        }
    }
    PaSession(const PaSession&) = delete;
    PaSession& operator=(const PaSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

enum class Direction { In, Out };

int channelsOf(const PaDeviceInfo* info, Direction d)
{
    return d == Direction::In ? info->maxInputChannels : info->maxOutputChannels;
}

// PortAudio's index of the `number`-th device of a direction, or paNoDevice.
PaDeviceIndex deviceIndex(int number, Direction d)
{
    if (number < 0)
        return paNoDevice;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    int seen = 0;
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && channelsOf(info, d) > 0 && seen++ == number)
            return i;
    }
    return paNoDevice;
}

// At most `limit` bytes, not cutting a UTF-8 sequence.
std::string cutName(const char* name, std::size_t limit)
{
    std::string s = name ? name : "";
    if (s.size() <= limit)
        return s;
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    return s.substr(0, n);
}

std::vector<std::string> listDevices(Direction d)
{
    std::vector<std::string> names;
    PaSession pa;
    if (!pa.ok())
        return names;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && channelsOf(info, d) > 0)
            names.push_back(cutName(info->name, 31));
    }
    return names;
}

// Stops and closes a stream at once (pending buffers dropped) and forgets it.
void closeStream(PaStream*& stream)
{
    if (!stream)
        return;
    std::lock_guard lk(paMutex());
    quietly([stream] {
        Pa_AbortStream(stream);
        return Pa_CloseStream(stream);
    });
    stream = nullptr;
}

} // namespace

std::vector<std::string> ListWaveOutDevices()
{
    return listDevices(Direction::Out);
}
std::vector<std::string> ListWaveInDevices()
{
    return listDevices(Direction::In);
}

// --- capture ----------------------------------------------------------------------------

struct WaveInDevice::Impl {
    PaSession pa;
    PaStream* stream = nullptr;
    std::atomic<AudioConsumer*> consumer{nullptr};
    int channels = kChannels;

    static int callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* user)
    {
        auto* self = static_cast<Impl*>(user);
        AudioConsumer* c = self->consumer.load();
        if (input && c)
            c->audioData(input, frames * std::size_t(self->channels) * sizeof(std::int16_t));
        return paContinue;
    }

    void close() { closeStream(stream); }
};

WaveInDevice::WaveInDevice() = default;
WaveInDevice::~WaveInDevice()
{
    deactivate();
}

bool WaveInDevice::activate()
{
    deactivate();
    impl_ = std::make_unique<Impl>();
    if (!impl_->pa.ok()) {
        error_ = "the sound system cannot be initialised";
        impl_.reset();
        return false;
    }
    const PaDeviceIndex index = deviceIndex(device_, Direction::In);
    const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
    if (!info) {
        error_ = "no capture device number " + std::to_string(device_);
        impl_.reset();
        return false;
    }
    impl_->channels = std::min(kChannels, info->maxInputChannels);
    impl_->consumer = consumer_;
    PaStreamParameters in{};
    in.device = index;
    in.channelCount = impl_->channels;
    in.sampleFormat = paInt16;
    in.suggestedLatency = info->defaultHighInputLatency;
    PaError err;
    {
        std::lock_guard lk(paMutex());
        err = quietly([&] {
            return Pa_OpenStream(&impl_->stream, &in, nullptr, kSampleRate, kChunkFrames, paClipOff, &Impl::callback,
                                 impl_.get());
        });
    }
    if (err != paNoError) {
        error_ = std::string("cannot open the capture device: ") + Pa_GetErrorText(err);
        impl_->stream = nullptr;
        impl_.reset();
        return false;
    }
    if (consumer_)
        consumer_->audioFormat(kSampleRate, kBitsPerSample, impl_->channels);
    {
        std::lock_guard lk(paMutex());
        err = quietly([&] { return Pa_StartStream(impl_->stream); });
    }
    if (err != paNoError) {
        error_ = std::string("cannot start the capture device: ") + Pa_GetErrorText(err);
        impl_->close();
        impl_.reset();
        return false;
    }
    error_.clear();
    return true;
}

void WaveInDevice::deactivate()
{
    if (impl_) {
        impl_->close();
        impl_.reset();
    }
}

bool WaveInDevice::isActive() const
{
    return impl_ && impl_->stream && Pa_IsStreamActive(impl_->stream) == 1;
}

// --- WAV file as a capture source ----------------------------------------------------

struct WaveFileSource::File {
    SNDFILE* f = nullptr;
    ~File()
    {
        if (f)
            sf_close(f);
    }
};

// Chunks read from the file at a time (one second of 1/50 s chunks).
constexpr std::size_t kReadChunks = 50;

WaveFileSource::WaveFileSource() = default;
WaveFileSource::~WaveFileSource()
{
    stop();
}

bool WaveFileSource::open(const std::string& fileName)
{
    stop();
    file_.reset();
    rate_ = channels_ = 0;
    frames_ = 0;
    position_ = 0;
    SF_INFO info{};
    auto file = std::make_unique<File>();
    file->f = sf_open(fileName.c_str(), SFM_READ, &info);
    if (!file->f) {
        error_ = "cannot read " + fileName + ": " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        error_ = "unusable format in " + fileName;
        return false;
    }
    file_ = std::move(file);
    rate_ = info.samplerate;
    channels_ = info.channels;
    frames_ = std::max<sf_count_t>(info.frames, 0);
    buffer_.assign(kReadChunks * std::size_t(chunkFrames()) * std::size_t(channels_), 0);
    bufferFrames_ = bufferAt_ = 0;
    atEnd_ = false;
    error_.clear();
    return true;
}

void WaveFileSource::rewind()
{
    position_ = 0;
    bufferFrames_ = bufferAt_ = 0;
    atEnd_ = !file_ || sf_seek(file_->f, 0, SEEK_SET) != 0;
}

bool WaveFileSource::feedChunk()
{
    const std::size_t chunk = std::size_t(chunkFrames());
    const std::size_t ch = std::size_t(channels_);
    if (bufferFrames_ - bufferAt_ < chunk && !atEnd_) {
        // Keep what is left at the front and fill the rest, so that every chunk but the
        // file's last is whole.
        const std::size_t rest = bufferFrames_ - bufferAt_;
        std::copy(buffer_.begin() + std::ptrdiff_t(bufferAt_ * ch),
                  buffer_.begin() + std::ptrdiff_t(bufferFrames_ * ch), buffer_.begin());
        bufferFrames_ = rest;
        bufferAt_ = 0;
        const std::size_t capacity = buffer_.size() / ch;
        while (bufferFrames_ < chunk && !atEnd_) {
            const sf_count_t got =
                sf_readf_short(file_->f, buffer_.data() + bufferFrames_ * ch, sf_count_t(capacity - bufferFrames_));
            if (got <= 0)
                atEnd_ = true;
            else
                bufferFrames_ += std::size_t(got);
        }
    }
    const std::size_t n = std::min(chunk, bufferFrames_ - bufferAt_);
    if (n == 0)
        return false;
    if (consumer_)
        consumer_->audioData(buffer_.data() + bufferAt_ * ch, n * ch * sizeof(std::int16_t));
    bufferAt_ += n;
    position_ += std::int64_t(n);
    return true;
}

void WaveFileSource::runToEnd()
{
    if (!file_)
        return;
    if (consumer_ && position_ == 0)
        consumer_->audioFormat(rate_, 16, channels_);
    while (feedChunk()) {
    }
}

bool WaveFileSource::start()
{
    stop();
    if (!file_)
        return false;
    rewind();
    if (consumer_)
        consumer_->audioFormat(rate_, 16, channels_);
    stopRequested_ = false;
    running_ = true;
    thread_ = std::thread([this] {
        const auto t0 = std::chrono::steady_clock::now();
        const double chunkSeconds = double(chunkFrames()) / rate_;
        for (long i = 1; !stopRequested_; ++i) {
            if (!feedChunk())
                break;
            // The chunk is handed over when it would have been captured completely.
            std::this_thread::sleep_until(t0 + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                   std::chrono::duration<double>(chunkSeconds * double(i))));
        }
        running_ = false;
    });
    return true;
}

void WaveFileSource::stop()
{
    stopRequested_ = true;
    if (thread_.joinable())
        thread_.join();
    running_ = false;
}

// --- local player -------------------------------------------------------------------

struct WavePlayer::Impl {
    PaSession pa;
    PaStream* stream = nullptr;
    std::vector<float> frames; // interleaved, already in the output's channel count
    int channels = 1;
    std::size_t position = 0; // touched only by the callback after start
    std::atomic<float> gain{1.0f};

    static int callback(const void*, void* output, unsigned long count, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* user)
    {
        auto* self = static_cast<Impl*>(user);
        auto* out = static_cast<float*>(output);
        const float g = self->gain.load();
        const std::size_t want = count * std::size_t(self->channels);
        const std::size_t have = std::min(want, self->frames.size() - self->position);
        for (std::size_t i = 0; i < have; ++i)
            out[i] = std::clamp(self->frames[self->position + i] * g, -1.0f, 1.0f);
        std::fill(out + have, out + want, 0.0f);
        self->position += have;
        return self->position >= self->frames.size() ? paComplete : paContinue;
    }

    void close() { closeStream(stream); }
    ~Impl() { close(); }
};

WavePlayer::WavePlayer() = default;
WavePlayer::~WavePlayer()
{
    stop();
}

void WavePlayer::setVolume(int percent)
{
    volumePercent_ = std::max(0, percent);
    if (impl_)
        impl_->gain = float(volumePercent_) / 100.0f;
}

bool WavePlayer::play(const std::string& fileName)
{
    stop();
    SF_INFO info{};
    SNDFILE* f = sf_open(fileName.c_str(), SFM_READ, &info);
    if (!f) {
        error_ = "cannot read " + fileName + ": " + sf_strerror(nullptr);
        return false;
    }
    std::vector<float> data(std::size_t(info.frames) * std::size_t(std::max(info.channels, 1)));
    const sf_count_t got = sf_readf_float(f, data.data(), info.frames);
    sf_close(f);
    const std::size_t frameCount = std::size_t(std::max<sf_count_t>(got, 0));

    auto impl = std::make_unique<Impl>();
    if (!impl->pa.ok()) {
        error_ = "the sound system cannot be initialised";
        return false;
    }
    const PaDeviceIndex index = deviceIndex(device_, Direction::Out);
    const PaDeviceInfo* dev = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
    if (!dev) {
        error_ = "no playback device number " + std::to_string(device_);
        return false;
    }
    // Play in the file's channel count if the device has as many, else mix down.
    const int fileChannels = std::max(info.channels, 1);
    impl->channels = std::min(fileChannels, dev->maxOutputChannels);
    if (impl->channels == fileChannels) {
        impl->frames = std::move(data);
        impl->frames.resize(frameCount * std::size_t(fileChannels));
    } else {
        impl->frames.resize(frameCount * std::size_t(impl->channels));
        for (std::size_t i = 0; i < frameCount; ++i) {
            float sum = 0;
            for (int c = 0; c < fileChannels; ++c)
                sum += data[i * std::size_t(fileChannels) + std::size_t(c)];
            for (int c = 0; c < impl->channels; ++c)
                impl->frames[i * std::size_t(impl->channels) + std::size_t(c)] = sum / float(fileChannels);
        }
    }
    impl->gain = float(volumePercent_) / 100.0f;

    PaStreamParameters out{};
    out.device = index;
    out.channelCount = impl->channels;
    out.sampleFormat = paFloat32;
    out.suggestedLatency = dev->defaultHighOutputLatency;
    PaError err;
    {
        std::lock_guard lk(paMutex());
        err = quietly([&] {
            PaError e = Pa_OpenStream(&impl->stream, nullptr, &out, info.samplerate, paFramesPerBufferUnspecified,
                                      paClipOff, &Impl::callback, impl.get());
            if (e == paNoError) {
                e = Pa_StartStream(impl->stream);
                if (e != paNoError) {
                    Pa_CloseStream(impl->stream);
                    impl->stream = nullptr;
                }
            } else {
                impl->stream = nullptr;
            }
            return e;
        });
    }
    if (err != paNoError) {
        error_ = std::string("cannot play on the playback device: ") + Pa_GetErrorText(err);
        return false;
    }
    impl_ = std::move(impl);
    error_.clear();
    return true;
}

bool WavePlayer::isPlaying() const
{
    return impl_ && impl_->stream && Pa_IsStreamActive(impl_->stream) == 1;
}

void WavePlayer::stop()
{
    impl_.reset();
}

} // namespace rdaudio
