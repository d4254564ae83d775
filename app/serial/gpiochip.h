// Linux GPIO lines as a port: device text "gpio:gpiochip0" (a chip name, path, label or
// number as libgpiod looks it up); the section keys rts, dtr, break, cts, dsr, ring and
// dcd name line offsets ("17"), "none" or nothing. Outputs are requested driven low and
// are set low again before they are released, on close and on every way out.
//
// The chip sits behind GpioChip so the backend runs against an in-memory stand-in in
// tests (Debian's kernel has no GPIO simulator). The real one is libgpiod 1.6 (v1 API).
#pragma once

#include "app/serial/serialbackend.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class GpioChip {
public:
    virtual ~GpioChip() = default;
    virtual unsigned lineCount() const = 0;
    // Each false/-1 with errno set (EBUSY: another consumer holds the line; ENODEV: the
    // chip is gone).
    virtual bool requestOutput(unsigned offset, const std::string& consumer, int value) = 0;
    virtual bool requestInput(unsigned offset, const std::string& consumer) = 0;
    virtual bool setValue(unsigned offset, int value) = 0;
    virtual int value(unsigned offset) = 0;
    virtual void release(unsigned offset) = 0;
};

// Opens a chip by its name; null with errno set (ENOENT: no such chip).
using GpioChipOpener = std::function<std::unique_ptr<GpioChip>(const std::string& chip)>;
// libgpiod's gpiod_chip_open_lookup; fails with ENOSYS in a build without libgpiod.
GpioChipOpener libgpiodOpener();
std::unique_ptr<SerialBackend> makeGpioBackend(GpioChipOpener opener);
// Drives every mapped output of a "gpio:" port low and releases it (after a crash).
bool unkeyGpio(const std::string& device, const PortOptions& options, const GpioChipOpener& opener,
               std::string& message);

// In-memory chips for tests: lines with a level, a direction and a holder.
class MemoryGpio {
public:
    struct Line {
        bool requested = false;
        bool output = false;
        int level = 0;
        std::string consumer;
        std::vector<int> writes; // every level written, the request's first
    };
    struct Chip {
        unsigned lines = 32;
        bool gone = false;   // unplugged: every call fails with ENODEV
        bool denied = false; // opening fails with EACCES
        std::map<unsigned, Line> line;
    };
    void addChip(const std::string& name, unsigned lines = 32);
    void setGone(const std::string& name, bool gone);
    void setDenied(const std::string& name, bool denied);
    // An input level as the hardware shows it.
    void setLevel(const std::string& name, unsigned offset, int level);
    Line line(const std::string& name, unsigned offset) const;
    GpioChipOpener opener();

    struct Shared {
        mutable std::mutex mutex;
        std::map<std::string, Chip> chips;
    };

private:
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};
