#include "app/serial/serialport.h"

SerialPort::SerialPort(BackendFactory factory) : m_factory(std::move(factory))
{
    m_worker = std::thread([this] { workerLoop(); });
}

SerialPort::~SerialPort()
{
    close();
    {
        std::lock_guard lk(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void SerialPort::setCommPort(const QString& name)
{
    if (name == m_commPort)
        return;
    m_commPort = name;
    if (m_active) {
        close();
        open();
    }
}

void SerialPort::setActive(bool on)
{
    if (on == m_active)
        return;
    if (on)
        open();
    else
        close();
}

void SerialPort::open()
{
    const QString dev = device();
    std::unique_ptr<SerialBackend> be = m_factory ? m_factory(dev) : nullptr;
    m_notice.clear();
    if (!be) {
        m_failure = {OpenFailure::Kind::Failed, dev.toStdString(), {}, "no driver for this device"};
        return;
    }
    be->setOptions(m_options);
    if (!be->open(dev.toStdString())) {
        // Missing, busy or refused: stays closed, flags unchanged.
        m_failure = be->failure();
        if (m_failure.kind == OpenFailure::Kind::None)
            m_failure.kind = OpenFailure::Kind::Failed;
        return;
    }
    m_failure = {};
    m_notice = QString::fromStdString(be->notice());
    m_lost.store(false);
    // A serial port raised DTR and RTS; GPIO pins start unkeyed. Never in break.
    m_dtr = be->raisesLinesOnOpen();
    m_rts = be->raisesLinesOnOpen();
    m_break = false;
    ModemInputs in;
    if (be->readInputs(in))
        applyInputs(in);
    {
        std::lock_guard lk(m_mutex);
        m_backend = std::move(be);
        m_busy = false;
    }
    m_active = true;
    m_cv.notify_all();
}

void SerialPort::close()
{
    if (!m_active)
        return;
    m_active = false;
    std::shared_ptr<SerialBackend> be;
    {
        std::unique_lock lk(m_mutex);
        be = std::move(m_backend);
        m_backend.reset();
        if (be)
            be->wake();
        // The worker finishes its pass (at most one wait of 75 ms, cut short by wake()).
        m_cv.wait(lk, [&] { return !m_busy; });
    }
    if (be)
        be->close();
}

void SerialPort::dropLostDevice()
{
    if (!m_lost.load())
        return;
    close();
    // Gone with the device: nothing is driven, nothing is read.
    m_rts = m_dtr = m_break = false;
    applyInputs({});
}

void SerialPort::setRTSState(bool v)
{
    if (!m_active)
        return;
    if (auto be = backend())
        be->setRts(v);
    m_rts = v;
}

void SerialPort::setDTRState(bool v)
{
    if (!m_active)
        return;
    if (auto be = backend())
        be->setDtr(v);
    m_dtr = v;
}

void SerialPort::setBREAKState(bool v)
{
    if (!m_active)
        return;
    if (auto be = backend())
        be->setBreak(v);
    m_break = v;
}

std::shared_ptr<SerialBackend> SerialPort::backend()
{
    std::lock_guard lk(m_mutex);
    return m_backend;
}

void SerialPort::applyInputs(const ModemInputs& in)
{
    m_cts.store(in.cts);
    m_dsr.store(in.dsr);
    m_ring.store(in.ring);
    m_rlsd.store(in.dcd);
}

void SerialPort::workerLoop()
{
    std::unique_lock lk(m_mutex);
    for (;;) {
        m_cv.wait(lk, [&] { return m_stop || m_backend; });
        if (m_stop)
            return;
        std::shared_ptr<SerialBackend> be = m_backend;
        m_busy = true;
        lk.unlock();

        ModemInputs in;
        if (be->readInputs(in) && !be->lost())
            applyInputs(in);
        be->waitForChange(75);
        const bool read = be->readInputs(in);
        if (be->lost()) {
            // A squelch that was open must not stay open with the adapter gone.
            applyInputs({});
            m_lost.store(true);
        } else if (read) {
            applyInputs(in);
        }
        m_passes.fetch_add(1);

        lk.lock();
        m_busy = false;
        m_cv.notify_all();
    }
}
