// The GPIO line backend and the libgpiod 1.6 chip under it (see gpiochip.h).
#include "app/serial/gpiochip.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#ifdef RD_HAVE_LIBGPIOD
#include <gpiod.h>
#endif

namespace {

constexpr const char* kPrefix = "gpio:";

struct LineMap {
    // -1: not mapped.
    int rts = -1, dtr = -1, brk = -1;
    int cts = -1, dsr = -1, ring = -1, dcd = -1;
};

// Reads the mapping; "" or why it is refused.
std::string parseLines(const PortOptions& o, unsigned lineCount, const std::string& chip, LineMap& m)
{
    struct {
        const char* key;
        int* line;
    } const keys[] = {{"rts", &m.rts}, {"dtr", &m.dtr},   {"break", &m.brk}, {"cts", &m.cts},
                      {"dsr", &m.dsr}, {"ring", &m.ring}, {"dcd", &m.dcd}};
    std::vector<int> used;
    for (const auto& k : keys) {
        auto it = o.find(k.key);
        std::string v = it == o.end() ? std::string() : it->second;
        for (char& c : v)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (v.empty() || v == "none" || v == "-")
            continue;
        if (v.find_first_not_of("0123456789") != std::string::npos || v.size() > 6)
            return std::string(k.key) + "=" + v + ": a line offset of " + chip + " (0.." +
                   std::to_string(lineCount - 1) + ")";
        const int n = std::stoi(v);
        if (n >= static_cast<int>(lineCount))
            return chip + " has no line " + v + " (lines 0.." + std::to_string(lineCount - 1) + ")";
        for (int u : used)
            if (u == n)
                return "line " + v + " of " + chip + " is mapped twice";
        used.push_back(n);
        *k.line = n;
    }
    if (used.empty())
        return "no line of " + chip + " is mapped: set rts=<line> (and cts=<line>) in the port's section";
    return {};
}

class GpioBackend final : public SerialBackend {
public:
    explicit GpioBackend(GpioChipOpener opener) : m_opener(std::move(opener)) {}
    ~GpioBackend() override { close(); }

    void setOptions(const PortOptions& o) override { m_options = o; }
    OpenFailure failure() const override { return m_failure; }
    bool raisesLinesOnOpen() const override { return false; }
    bool lost() const override { return m_lost.load(); }

    bool open(const std::string& device) override
    {
        if (m_chip)
            return true;
        m_failure = {};
        m_lost = false;
        const std::string name = device.substr(std::strlen(kPrefix));
        std::unique_ptr<GpioChip> chip = m_opener ? m_opener(name) : nullptr;
        if (!chip) {
            const int err = errno;
            m_failure = failureFromErrno(err, name.find('/') == std::string::npos ? "/dev/" + name : name);
            if (m_failure.kind == OpenFailure::Kind::Missing)
                m_failure.detail = "no GPIO chip " + name;
            else if (err == ENOSYS)
                m_failure = {OpenFailure::Kind::Failed, name, {}, "this build has no GPIO support (libgpiod)"};
            return false;
        }
        LineMap map;
        if (std::string why = parseLines(m_options, chip->lineCount(), name, map); !why.empty()) {
            m_failure = {OpenFailure::Kind::Refused, name, {}, why};
            return false;
        }
        // The consumer names the port, so a busy line can be traced to its holder.
        const std::string consumer = "relaydeck-" + name;
        std::vector<unsigned> got;
        auto fail = [&](unsigned line) {
            const int err = errno;
            for (unsigned g : got) {
                chip->setValue(g, 0);
                chip->release(g);
            }
            m_failure = failureFromErrno(err, name);
            if (err == EBUSY)
                m_failure.detail = "line " + std::to_string(line) + " of " + name + " is held by another program";
            return false;
        };
        for (int out : {map.rts, map.dtr, map.brk}) {
            if (out < 0)
                continue;
            if (!chip->requestOutput(static_cast<unsigned>(out), consumer, 0))
                return fail(static_cast<unsigned>(out));
            got.push_back(static_cast<unsigned>(out));
        }
        for (int in : {map.cts, map.dsr, map.ring, map.dcd}) {
            if (in < 0)
                continue;
            if (!chip->requestInput(static_cast<unsigned>(in), consumer))
                return fail(static_cast<unsigned>(in));
            got.push_back(static_cast<unsigned>(in));
        }
        std::lock_guard lk(m_mutex);
        m_chip = std::move(chip);
        m_map = map;
        m_requested = got;
        m_woken = false;
        return true;
    }

    void close() override
    {
        std::lock_guard lk(m_mutex);
        if (!m_chip)
            return;
        // Idle level first: after the release the line may keep what it last drove.
        for (int out : {m_map.rts, m_map.dtr, m_map.brk})
            if (out >= 0)
                m_chip->setValue(static_cast<unsigned>(out), 0);
        for (unsigned l : m_requested)
            m_chip->release(l);
        m_chip.reset();
        m_requested.clear();
    }

    bool isOpen() const override { return m_chip != nullptr; }
    bool setRts(bool on) override { return set(m_map.rts, on); }
    bool setDtr(bool on) override { return set(m_map.dtr, on); }
    bool setBreak(bool on) override { return set(m_map.brk, on); }

    bool readInputs(ModemInputs& out) override
    {
        std::lock_guard lk(m_mutex);
        if (!m_chip)
            return false;
        auto level = [&](int line) {
            if (line < 0)
                return false;
            const int v = m_chip->value(static_cast<unsigned>(line));
            if (v < 0 && errno == ENODEV)
                m_lost = true;
            return v > 0;
        };
        ModemInputs in;
        in.cts = level(m_map.cts);
        in.dsr = level(m_map.dsr);
        in.ring = level(m_map.ring);
        in.dcd = level(m_map.dcd);
        out = m_lost ? ModemInputs{} : in;
        return true;
    }

    // The lines are read on every pass (about every 75 ms).
    void waitForChange(int maxMs) override
    {
        std::unique_lock lk(m_mutex);
        m_cv.wait_for(lk, std::chrono::milliseconds(maxMs), [&] { return m_woken; });
        m_woken = false;
    }

    void wake() override
    {
        {
            std::lock_guard lk(m_mutex);
            m_woken = true;
        }
        m_cv.notify_all();
    }

private:
    bool set(int line, bool on)
    {
        std::lock_guard lk(m_mutex);
        if (!m_chip || line < 0)
            return false;
        if (m_chip->setValue(static_cast<unsigned>(line), on ? 1 : 0))
            return true;
        if (errno == ENODEV)
            m_lost = true;
        return false;
    }

    GpioChipOpener m_opener;
    PortOptions m_options;
    OpenFailure m_failure;
    std::atomic<bool> m_lost{false};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_woken = false;
    std::unique_ptr<GpioChip> m_chip;
    LineMap m_map;
    std::vector<unsigned> m_requested;
};

#ifdef RD_HAVE_LIBGPIOD
class LibgpiodChip final : public GpioChip {
public:
    explicit LibgpiodChip(gpiod_chip* chip) : m_chip(chip) {}
    ~LibgpiodChip() override { gpiod_chip_close(m_chip); } // releases every line too

    unsigned lineCount() const override { return gpiod_chip_num_lines(m_chip); }
    bool requestOutput(unsigned offset, const std::string& consumer, int value) override
    {
        gpiod_line* l = gpiod_chip_get_line(m_chip, offset);
        return l && gpiod_line_request_output(l, consumer.substr(0, 31).c_str(), value) == 0;
    }
    bool requestInput(unsigned offset, const std::string& consumer) override
    {
        gpiod_line* l = gpiod_chip_get_line(m_chip, offset);
        return l && gpiod_line_request_input(l, consumer.substr(0, 31).c_str()) == 0;
    }
    bool setValue(unsigned offset, int value) override
    {
        gpiod_line* l = gpiod_chip_get_line(m_chip, offset);
        return l && gpiod_line_set_value(l, value) == 0;
    }
    int value(unsigned offset) override
    {
        gpiod_line* l = gpiod_chip_get_line(m_chip, offset);
        return l ? gpiod_line_get_value(l) : -1;
    }
    void release(unsigned offset) override
    {
        if (gpiod_line* l = gpiod_chip_get_line(m_chip, offset))
            gpiod_line_release(l);
    }

private:
    gpiod_chip* m_chip;
};
#endif

} // namespace

GpioChipOpener libgpiodOpener()
{
    return [](const std::string& name) -> std::unique_ptr<GpioChip> {
#ifdef RD_HAVE_LIBGPIOD
        gpiod_chip* c = gpiod_chip_open_lookup(name.c_str());
        if (!c)
            return nullptr;
        return std::make_unique<LibgpiodChip>(c);
#else
        (void)name;
        errno = ENOSYS;
        return nullptr;
#endif
    };
}

std::unique_ptr<SerialBackend> makeGpioBackend(GpioChipOpener opener)
{
    return std::make_unique<GpioBackend>(std::move(opener));
}

std::unique_ptr<SerialBackend> makeGpioBackend()
{
    return makeGpioBackend(libgpiodOpener());
}

bool probeGpioDevice(const std::string& device)
{
    const std::string name = device.substr(std::strlen(kPrefix));
    std::error_code ec;
    if (name.empty())
        return false;
    if (name[0] == '/')
        return std::filesystem::exists(name, ec);
    if (name.find_first_not_of("0123456789") == std::string::npos)
        return std::filesystem::exists("/dev/gpiochip" + name, ec);
    // A chip name; a label is only known to libgpiod, which opens every chip to look.
    return std::filesystem::exists("/dev/" + name, ec);
}

bool unkeyGpio(const std::string& device, const PortOptions& options, const GpioChipOpener& opener,
               std::string& message)
{
    const std::string name = device.substr(std::strlen(kPrefix));
    std::unique_ptr<GpioChip> chip = opener ? opener(name) : nullptr;
    if (!chip) {
        message = name + ": " + std::strerror(errno);
        return false;
    }
    LineMap map;
    if (std::string why = parseLines(options, chip->lineCount(), name, map); !why.empty()) {
        message = why;
        return false;
    }
    bool ok = true;
    std::string done;
    for (int out : {map.rts, map.dtr, map.brk}) {
        if (out < 0)
            continue;
        const unsigned l = static_cast<unsigned>(out);
        if (chip->requestOutput(l, "relaydeck-unkey", 0)) {
            chip->release(l);
            done += (done.empty() ? "" : ", ") + std::to_string(l);
        } else {
            ok = false;
            message = name + " line " + std::to_string(l) + ": " + std::strerror(errno);
        }
    }
    if (ok)
        message = name + ": lines " + done + " low";
    return ok;
}
