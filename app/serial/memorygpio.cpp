// In-memory GPIO chips for tests (see gpiochip.h): lines with a level, a direction and a
// holder, as the kernel keeps them.
#include "app/serial/gpiochip.h"

#include <algorithm>
#include <cerrno>

namespace {

class MemoryChip final : public GpioChip {
public:
    MemoryChip(std::shared_ptr<MemoryGpio::Shared> s, std::string name) : m_s(std::move(s)), m_name(std::move(name)) {}
    ~MemoryChip() override
    {
        std::lock_guard lk(m_s->mutex);
        auto it = m_s->chips.find(m_name);
        if (it == m_s->chips.end())
            return;
        // Closing the chip releases what is still requested (like the kernel).
        for (unsigned l : m_mine)
            it->second.line[l].requested = false;
    }
    unsigned lineCount() const override
    {
        std::lock_guard lk(m_s->mutex);
        auto it = m_s->chips.find(m_name);
        return it == m_s->chips.end() ? 0 : it->second.lines;
    }
    bool requestOutput(unsigned offset, const std::string& consumer, int value) override
    {
        return request(offset, consumer, true, value);
    }
    bool requestInput(unsigned offset, const std::string& consumer) override
    {
        return request(offset, consumer, false, 0);
    }
    bool setValue(unsigned offset, int value) override
    {
        std::lock_guard lk(m_s->mutex);
        MemoryGpio::Line* l = mine(offset);
        if (!l || !l->output)
            return false;
        l->level = value;
        l->writes.push_back(value);
        return true;
    }
    int value(unsigned offset) override
    {
        std::lock_guard lk(m_s->mutex);
        MemoryGpio::Line* l = mine(offset);
        return l ? l->level : -1;
    }
    void release(unsigned offset) override
    {
        // Also when the chip is gone: the kernel frees the request with the device.
        std::lock_guard lk(m_s->mutex);
        auto it = m_s->chips.find(m_name);
        if (it != m_s->chips.end() && std::find(m_mine.begin(), m_mine.end(), offset) != m_mine.end())
            it->second.line[offset].requested = false;
        std::erase(m_mine, offset);
    }

private:
    MemoryGpio::Chip* chip()
    {
        auto it = m_s->chips.find(m_name);
        if (it == m_s->chips.end() || it->second.gone) {
            errno = ENODEV;
            return nullptr;
        }
        return &it->second;
    }
    MemoryGpio::Line* mine(unsigned offset)
    {
        MemoryGpio::Chip* c = chip();
        if (!c)
            return nullptr;
        if (std::find(m_mine.begin(), m_mine.end(), offset) == m_mine.end()) {
            errno = EPERM;
            return nullptr;
        }
        return &c->line[offset];
    }
    bool request(unsigned offset, const std::string& consumer, bool output, int value)
    {
        std::lock_guard lk(m_s->mutex);
        MemoryGpio::Chip* c = chip();
        if (!c)
            return false;
        if (offset >= c->lines) {
            errno = EINVAL;
            return false;
        }
        MemoryGpio::Line& l = c->line[offset];
        if (l.requested) {
            errno = EBUSY;
            return false;
        }
        l.requested = true;
        l.output = output;
        l.consumer = consumer;
        if (output) {
            l.level = value;
            l.writes.push_back(value);
        }
        m_mine.push_back(offset);
        return true;
    }

    std::shared_ptr<MemoryGpio::Shared> m_s;
    std::string m_name;
    std::vector<unsigned> m_mine;
};

} // namespace

void MemoryGpio::addChip(const std::string& name, unsigned lines)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->chips[name].lines = lines;
}

void MemoryGpio::setGone(const std::string& name, bool gone)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->chips[name].gone = gone;
}

void MemoryGpio::setDenied(const std::string& name, bool denied)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->chips[name].denied = denied;
}

void MemoryGpio::setLevel(const std::string& name, unsigned offset, int level)
{
    std::lock_guard lk(m_shared->mutex);
    m_shared->chips[name].line[offset].level = level;
}

MemoryGpio::Line MemoryGpio::line(const std::string& name, unsigned offset) const
{
    std::lock_guard lk(m_shared->mutex);
    auto it = m_shared->chips.find(name);
    if (it == m_shared->chips.end())
        return {};
    auto l = it->second.line.find(offset);
    return l == it->second.line.end() ? Line{} : l->second;
}

GpioChipOpener MemoryGpio::opener()
{
    auto s = m_shared;
    return [s](const std::string& name) -> std::unique_ptr<GpioChip> {
        std::lock_guard lk(s->mutex);
        auto it = s->chips.find(name);
        if (it == s->chips.end() || it->second.gone) {
            errno = ENOENT;
            return nullptr;
        }
        if (it->second.denied) {
            errno = EACCES;
            return nullptr;
        }
        return std::make_unique<MemoryChip>(s, name);
    };
}
