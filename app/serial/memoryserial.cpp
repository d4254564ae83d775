#include "app/serial/memoryserial.h"

#include <chrono>

namespace {

class MemoryBackend final : public SerialBackend {
public:
    explicit MemoryBackend(std::shared_ptr<MemorySerialHub::Shared> s) : m_s(std::move(s)) {}
    ~MemoryBackend() override { close(); }

    bool open(const std::string& device) override
    {
        std::lock_guard lk(m_s->mutex);
        auto it = m_s->devices.find(device);
        m_failure = {};
        m_failure.node = device;
        if (it == m_s->devices.end() || it->second.unplugged)
            m_failure.kind = OpenFailure::Kind::Missing;
        else if (it->second.denied)
            m_failure.kind = OpenFailure::Kind::NoPermission;
        else if (!it->second.refused.empty())
            m_failure = {OpenFailure::Kind::Refused, device, {}, it->second.refused};
        else if (it->second.busy || it->second.open)
            m_failure.kind = OpenFailure::Kind::Busy;
        if (m_failure.kind != OpenFailure::Kind::None)
            return false;
        m_name = device;
        auto& d = it->second;
        d.open = true;
        ++d.opens;
        d.dtr = true;
        d.writes.push_back("DTR 1");
        d.rts = true;
        d.writes.push_back("RTS 1");
        d.brk = false;
        return true;
    }

    void close() override
    {
        std::lock_guard lk(m_s->mutex);
        if (m_name.empty())
            return;
        auto it = m_s->devices.find(m_name);
        if (it != m_s->devices.end()) {
            // Like HUPCL: the lines drop when the device is released.
            it->second.open = false;
            it->second.rts = it->second.dtr = it->second.brk = false;
            it->second.writes.push_back("CLOSE");
        }
        m_name.clear();
    }

    bool isOpen() const override { return !m_name.empty(); }
    OpenFailure failure() const override { return m_failure; }
    bool lost() const override
    {
        std::lock_guard lk(m_s->mutex);
        auto it = m_s->devices.find(m_name);
        return !m_name.empty() && (it == m_s->devices.end() || it->second.unplugged);
    }
    bool setRts(bool on) override { return write(&MemorySerialHub::Device::rts, "RTS", on); }
    bool setDtr(bool on) override { return write(&MemorySerialHub::Device::dtr, "DTR", on); }
    bool setBreak(bool on) override { return write(&MemorySerialHub::Device::brk, "BREAK", on); }

    bool readInputs(ModemInputs& out) override
    {
        std::lock_guard lk(m_s->mutex);
        auto it = m_s->devices.find(m_name);
        if (it == m_s->devices.end())
            return false;
        out = it->second.inputs;
        return true;
    }

    void waitForChange(int maxMs) override
    {
        std::unique_lock lk(m_s->mutex);
        const unsigned long seen = m_s->changes;
        m_s->cv.wait_for(lk, std::chrono::milliseconds(maxMs), [&] { return m_s->changes != seen; });
    }

    void wake() override
    {
        {
            std::lock_guard lk(m_s->mutex);
            ++m_s->changes;
        }
        m_s->cv.notify_all();
    }

private:
    bool write(bool MemorySerialHub::Device::*field, const char* name, bool on)
    {
        std::lock_guard lk(m_s->mutex);
        auto it = m_s->devices.find(m_name);
        if (it == m_s->devices.end() || it->second.failWrites || it->second.unplugged)
            return false;
        it->second.*field = on;
        it->second.writes.push_back(std::string(name) + (on ? " 1" : " 0"));
        return true;
    }

    std::shared_ptr<MemorySerialHub::Shared> m_s;
    std::string m_name;
    OpenFailure m_failure;
};

} // namespace

MemorySerialHub::MemorySerialHub() : m_shared(std::make_shared<Shared>()) {}

void MemorySerialHub::addDevice(const QString& device)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->devices.try_emplace(device.toStdString());
}

void MemorySerialHub::removeDevice(const QString& device)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->devices.erase(device.toStdString());
}

MemorySerialHub::Device MemorySerialHub::device(const QString& device) const
{
    std::lock_guard lk(m_shared->mutex);
    auto it = m_shared->devices.find(device.toStdString());
    return it == m_shared->devices.end() ? Device{} : it->second;
}

bool MemorySerialHub::exists(const QString& device) const
{
    std::lock_guard lk(m_shared->mutex);
    auto it = m_shared->devices.find(device.toStdString());
    return it != m_shared->devices.end() && !it->second.unplugged;
}

void MemorySerialHub::setDenied(const QString& device, bool denied)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->devices[device.toStdString()].denied = denied;
}

void MemorySerialHub::setRefused(const QString& device, const std::string& reason)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->devices[device.toStdString()].refused = reason;
}

void MemorySerialHub::unplug(const QString& device)
{
    {
        std::lock_guard lk(m_shared->mutex);
        auto& d = m_shared->devices[device.toStdString()];
        d.unplugged = true;
        d.rts = d.dtr = d.brk = false;
        d.inputs = {};
        ++m_shared->changes;
    }
    m_shared->cv.notify_all();
}

void MemorySerialHub::replug(const QString& device)
{
    std::lock_guard lk(m_shared->mutex);
    auto& d = m_shared->devices[device.toStdString()];
    d.unplugged = false;
    d.open = false;
}

void MemorySerialHub::setBusy(const QString& device, bool busy)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->devices[device.toStdString()].busy = busy;
}

void MemorySerialHub::setFailWrites(const QString& device, bool fail)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->devices[device.toStdString()].failWrites = fail;
}

void MemorySerialHub::setInputs(const QString& device, const ModemInputs& in)
{
    {
        std::lock_guard lk(m_shared->mutex);
        m_shared->devices[device.toStdString()].inputs = in;
        ++m_shared->changes;
    }
    m_shared->cv.notify_all();
}

void MemorySerialHub::clearWrites(const QString& device)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->devices[device.toStdString()].writes.clear();
}

std::function<std::unique_ptr<SerialBackend>(const QString&)> MemorySerialHub::factory()
{
    auto s = m_shared;
    return [s](const QString&) -> std::unique_ptr<SerialBackend> { return std::make_unique<MemoryBackend>(s); };
}
