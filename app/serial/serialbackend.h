// The platform layer under a SerialPort: one open device and its modem lines. Three
// implementations: the Linux tty (termios + modem ioctls), the virtual port driven by
// another process over a Unix-domain socket, and an in-memory port for tests.
//
// Threads: open/close/set* are called from the main thread; readInputs/waitForChange from
// the port's worker. wake() may be called from any thread and ends a waitForChange early.
#pragma once

#include <memory>
#include <string>

struct ModemInputs {
    bool cts = false;
    bool dsr = false;
    bool ring = false;
    bool dcd = false;   // receive-line-signal-detect (carrier detect)
    bool operator==(const ModemInputs&) const = default;
};

class SerialBackend {
public:
    virtual ~SerialBackend() = default;
    // Opens the device for exclusive use with the fixed line settings (9600 8N1, raw, no
    // flow control) and raises DTR, then RTS. False when missing or busy.
    virtual bool open(const std::string& device) = 0;
    // Releases the device; its output lines drop.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool setRts(bool on) = 0;
    virtual bool setDtr(bool on) = 0;
    virtual bool setBreak(bool on) = 0;
    // Current inputs; false when the read failed (the caller keeps the last values).
    virtual bool readInputs(ModemInputs& out) = 0;
    // Blocks until an input line may have changed or maxMs have passed, or wake() is called.
    virtual void waitForChange(int maxMs) = 0;
    virtual void wake() = 0;
};

// Backend of a device text: "virtual:" + socket path -> the virtual port; anything else is
// a tty device path. Never null.
std::unique_ptr<SerialBackend> makeSystemBackend(const std::string& device);

// Whether a device exists (present, free or in use), without opening it: opening a tty
// raises its modem lines and would key a radio on it. Virtual devices always exist.
bool probeSystemDevice(const std::string& device);
