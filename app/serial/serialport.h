// One serial port used only for its modem lines: opened by name, drives RTS, DTR and
// BREAK, and keeps the inputs CTS, DSR, RLSD (carrier detect) and RING in flags that a
// worker thread refreshes (never older than about 75 ms while open; a change the backend
// reports wakes the worker at once). The port never sends or receives data.
//
// Output setters and open/close run on the main thread. Input flags are atomics written
// only by the worker.
#pragma once

#include "app/serial/serialbackend.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class SerialPort {
public:
    // The backend is created by the factory for every open, from the device text; the
    // default maps a device text to the system backends.
    using BackendFactory = std::function<std::unique_ptr<SerialBackend>(const QString& device)>;

    explicit SerialPort(BackendFactory factory);
    ~SerialPort(); // closes (lines drop) and stops the worker
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    QString CommPort() const { return m_commPort; }
    // Stores the name; when it differs and the port is open, closes and reopens on the new
    // name at once (Active then tells whether that worked).
    void setCommPort(const QString& name);
    // The device text used for opening (set by the manager from its mapping). Defaults to
    // CommPort.
    QString device() const { return m_device.isEmpty() ? m_commPort : m_device; }
    void setDevice(const QString& device) { m_device = device; }

    bool Active() const { return m_active; }
    void setActive(bool on);

    // The keys of the port's comport.cfg section, handed to the backend before each open.
    void setOptions(PortOptions options) { m_options = std::move(options); }
    // Why the last open failed (Kind::None after a successful one).
    const OpenFailure& lastFailure() const { return m_failure; }
    // The backend's remark about the open device (empty: none).
    QString notice() const { return m_notice; }

    // True once the worker saw the open device disappear (unplugged, hung up): its inputs
    // read low from then on. dropLostDevice() closes it on the main thread; the outputs
    // then read released.
    bool lost() const { return m_lost.load(); }
    void dropLostDevice();

    bool RTSState() const { return m_rts; }
    bool DTRState() const { return m_dtr; }
    bool BREAKState() const { return m_break; }
    // Closed port: ignored and the stored value stays. A failing line write still stores.
    void setRTSState(bool v);
    void setDTRState(bool v);
    void setBREAKState(bool v);

    bool CTSState() const { return m_cts.load(); }
    bool DSRState() const { return m_dsr.load(); }
    bool RLSDState() const { return m_rlsd.load(); }
    bool RingState() const { return m_ring.load(); }

    // Passes of the worker since construction (tests wait on it instead of sleeping).
    unsigned long workerPasses() const { return m_passes.load(); }

private:
    void open();
    void close();
    void workerLoop();
    void applyInputs(const ModemInputs& in);
    std::shared_ptr<SerialBackend> backend();

    BackendFactory m_factory;
    QString m_commPort = QStringLiteral("COM2");
    QString m_device;
    PortOptions m_options;
    OpenFailure m_failure;
    QString m_notice;
    std::atomic<bool> m_lost{false};
    bool m_active = false;
    bool m_rts = true;
    bool m_dtr = true;
    bool m_break = false;
    std::atomic<bool> m_cts{false}, m_dsr{false}, m_rlsd{false}, m_ring{false};
    std::atomic<unsigned long> m_passes{0};

    // Worker hand-over: the main thread installs/removes m_backend under m_mutex; the
    // worker holds m_busy while it uses the backend, and close waits for it to go idle.
    std::shared_ptr<SerialBackend> m_backend;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    bool m_busy = false;
    std::thread m_worker;
};
