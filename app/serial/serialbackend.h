// The platform layer under a SerialPort: one open device and its modem lines. The
// implementations: the Linux tty (termios + modem ioctls), the virtual port driven by
// another process over a Unix-domain socket, the GPIO pins of a CM108-family USB sound
// card (hidraw), Linux GPIO lines (libgpiod), and an in-memory port for tests.
//
// Threads: open/close/set* are called from the main thread; readInputs/waitForChange from
// the port's worker. wake() may be called from any thread and ends a waitForChange early.
#pragma once

#include <map>
#include <memory>
#include <string>

struct ModemInputs {
    bool cts = false;
    bool dsr = false;
    bool ring = false;
    bool dcd = false; // receive-line-signal-detect (carrier detect)
    bool operator==(const ModemInputs&) const = default;
};

// Why an open failed. Missing is the quiet case (a port configured on a machine that
// does not have it); the others are worth telling the operator.
struct OpenFailure {
    enum class Kind { None, Missing, Busy, NoPermission, Refused, Failed };
    Kind kind = Kind::None;
    std::string node;   // the device node concerned (/dev/ttyUSB0, /dev/hidraw2)
    std::string group;  // NoPermission: the group that owns the node ("" = root only)
    std::string detail; // Refused/Failed/Missing: what exactly (one line, English)
};

// The keys of a port's comport.cfg section, lower case (pin mapping of GPIO devices).
using PortOptions = std::map<std::string, std::string>;

class SerialBackend {
public:
    virtual ~SerialBackend() = default;
    // Opens the device for exclusive use with the fixed line settings (9600 8N1, raw, no
    // flow control) and raises DTR, then RTS (see raisesLinesOnOpen). False when missing,
    // busy or refused; failure() then says why.
    virtual bool open(const std::string& device) = 0;
    // Handed the port's section before every open.
    virtual void setOptions(const PortOptions&) {}
    virtual OpenFailure failure() const { return {}; }
    // A remark about the open device that the COM editor shows (empty: none).
    virtual std::string notice() const { return {}; }
    // Serial ports raise DTR and RTS when opened; GPIO pins start unkeyed.
    virtual bool raisesLinesOnOpen() const { return true; }
    // True once the open device has gone away (unplugged, hung up). May be called from
    // any thread; set by the thread that noticed.
    virtual bool lost() const { return false; }
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

// Backend of a device text: "virtual:" + socket path -> the virtual port; "cm108:..." ->
// the GPIO pins of a CM108-family sound card; "gpio:..." -> Linux GPIO lines; anything else
// is a tty device path. Never null.
std::unique_ptr<SerialBackend> makeSystemBackend(const std::string& device);

// Whether a device exists (present, free or in use), without opening it: opening a tty
// raises its modem lines and would key a radio on it. Virtual devices always exist.
bool probeSystemDevice(const std::string& device);

// The failure of a plain open(2) of a device node, from its errno (permission: the node's
// group is looked up).
OpenFailure failureFromErrno(int err, const std::string& node);
