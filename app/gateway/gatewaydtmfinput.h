// The DTMF input of a gateway: a capture source feeding the decoder, and the queue that
// carries the decoded digits from the capture thread to the gateway's own thread. The
// decoder reports digits on the audio thread; they are queued here under a lock and the
// gateway's 250 ms tick takes them out in arrival order, so digit handling never runs
// beside a tick.
#pragma once
#include "app/audio/dtmf.h"

#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Where the audio comes from: a capture device, or (tests, demonstrations) a WAV file.
class DtmfCapture {
public:
    virtual ~DtmfCapture() = default;
    // Announces the format to the consumer and starts delivering audio. False when the
    // source cannot be opened.
    virtual bool start(rdaudio::AudioConsumer* consumer) = 0;
    // Stops delivering; after it returns the consumer is no longer called.
    virtual void stop() = 0;
};

// Builds the capture for a device number. The program's default opens the capture device
// of that number (44100 Hz, 16 bits, stereo); tests install their own factory, an empty
// factory restores the default.
using DtmfCaptureFactory = std::function<std::unique_ptr<DtmfCapture>(int device)>;
void SetDtmfCaptureFactory(DtmfCaptureFactory factory);
std::unique_ptr<DtmfCapture> MakeDtmfCapture(int device);

class GatewayDtmfInput {
public:
    GatewayDtmfInput();
    ~GatewayDtmfInput();
    GatewayDtmfInput(const GatewayDtmfInput&) = delete;
    GatewayDtmfInput& operator=(const GatewayDtmfInput&) = delete;

    // Creates the capture for `device`, starts it and then the decoder. False (and
    // nothing running) when the capture cannot be opened.
    bool open(int device);
    void close();

    // Called from any thread (the decoder's callback); keeps arrival order.
    void push(char digit);
    // All digits queued so far, oldest first; called on the gateway's thread.
    std::vector<char> take();

    rdaudio::DtmfDecoder& decoder() { return m_decoder; }
    DtmfCapture* capture() const { return m_capture.get(); }

private:
    rdaudio::DtmfDecoder m_decoder;
    std::unique_ptr<DtmfCapture> m_capture;
    std::mutex m_lock;
    std::deque<char> m_digits;
};
