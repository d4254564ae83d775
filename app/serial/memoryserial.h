// In-memory serial devices for tests: a hub of named devices whose output lines can be
// inspected and whose input lines can be set from the test, as if a radio were attached.
// Input changes wake the port worker at once.
#pragma once

#include "app/serial/serialbackend.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class MemorySerialHub {
public:
    struct Device {
        bool busy = false;       // in use by another program: open fails
        bool denied = false;     // the user may not open it
        bool unplugged = false;  // gone: an open port on it is lost, opens fail
        std::string refused;     // opening is refused with this reason (a GPIO pin the chip lacks)
        bool failWrites = false; // line writes fail (the port still stores the level)
        bool open = false;
        bool rts = false, dtr = false, brk = false;
        ModemInputs inputs;
        int opens = 0;
        std::vector<std::string> writes; // "RTS 1", "DTR 0"... in order, incl. the open's
    };

    MemorySerialHub();
    // Adds a device (closed, lines low). Devices not added do not exist.
    void addDevice(const QString& device);
    void removeDevice(const QString& device);
    Device device(const QString& device) const;
    void setBusy(const QString& device, bool busy);
    void setDenied(const QString& device, bool denied);
    void setRefused(const QString& device, const std::string& reason);
    // The adapter is pulled out (an open port on it notices) and plugged in again.
    void unplug(const QString& device);
    void replug(const QString& device);
    void setFailWrites(const QString& device, bool fail);
    void setInputs(const QString& device, const ModemInputs& in);
    void clearWrites(const QString& device);
    bool exists(const QString& device) const;

    // Backend factory for SerialPort and ComPortManager.
    std::function<std::unique_ptr<SerialBackend>(const QString&)> factory();

    struct Shared {
        mutable std::mutex mutex;
        std::condition_variable cv;
        unsigned long changes = 0;
        std::map<std::string, Device> devices;
    };

private:
    std::shared_ptr<Shared> m_shared;
};
