#include "app/gateway/gatewaydtmfinput.h"

#include "app/audio/sounddevices.h"

namespace {

class DeviceCapture final : public DtmfCapture {
public:
    explicit DeviceCapture(int device) { m_device.setDeviceNumber(device); }
    bool start(rdaudio::AudioConsumer* consumer) override
    {
        m_device.setConsumer(consumer);
        return m_device.activate();
    }
    void stop() override
    {
        m_device.deactivate();
        m_device.setConsumer(nullptr);
    }

private:
    rdaudio::WaveInDevice m_device;
};

std::mutex g_factoryLock;
DtmfCaptureFactory g_factory;

} // namespace

void SetDtmfCaptureFactory(DtmfCaptureFactory factory)
{
    std::lock_guard<std::mutex> g(g_factoryLock);
    g_factory = std::move(factory);
}

std::unique_ptr<DtmfCapture> MakeDtmfCapture(int device)
{
    {
        std::lock_guard<std::mutex> g(g_factoryLock);
        if (g_factory)
            return g_factory(device);
    }
    return std::make_unique<DeviceCapture>(device);
}

GatewayDtmfInput::GatewayDtmfInput()
{
    m_decoder.onDTMFCodeDetected = [this](char digit, float) { push(digit); };
}

GatewayDtmfInput::~GatewayDtmfInput()
{
    close();
}

bool GatewayDtmfInput::open(int device)
{
    close();
    m_capture = MakeDtmfCapture(device);
    if (!m_capture || !m_capture->start(&m_decoder)) {
        m_capture.reset();
        return false;
    }
    m_decoder.setActive(true);
    return true;
}

void GatewayDtmfInput::close()
{
    // The capture stops first, so the decoder's callback cannot run any more.
    if (m_capture) {
        m_capture->stop();
        m_capture.reset();
    }
    m_decoder.setActive(false);
    std::lock_guard<std::mutex> g(m_lock);
    m_digits.clear();
}

void GatewayDtmfInput::push(char digit)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_digits.push_back(digit);
}

std::vector<char> GatewayDtmfInput::take()
{
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<char> out(m_digits.begin(), m_digits.end());
    m_digits.clear();
    return out;
}
