// Linux tty backend: termios for the line settings, modem ioctls for the lines.
//
// Input changes: a watcher thread blocks in TIOCMIWAIT where the driver supports it (most
// UART and many USB drivers) and wakes the port worker at once. The wait cannot be woken
// by closing the descriptor, so the watcher is interrupted with a signal whose handler
// does nothing. Drivers without TIOCMIWAIT (pseudo terminals, some adapters) are polled
// every 10 ms instead.
#include "app/serial/serialbackend.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

int watcherSignal()
{
    static const int sig = [] {
        const int s = SIGRTMIN + 4;
        struct sigaction sa {};
        sa.sa_handler = [](int) {};
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0; // no SA_RESTART: the ioctl must return EINTR
        sigaction(s, &sa, nullptr);
        return s;
    }();
    return sig;
}

constexpr int kInputMask = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD;

class LinuxTtyBackend final : public SerialBackend {
public:
    ~LinuxTtyBackend() override { close(); }

    bool open(const std::string& device) override
    {
        if (m_fd >= 0)
            return true;
        m_failure = {};
        m_lost = false;
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            m_failure = failureFromErrno(errno, device);
            return false;
        }
        // Exclusive use: other programs that lock the device (or open it later) are kept out.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            m_failure = failureFromErrno(EBUSY, device);
            ::close(fd);
            return false;
        }
        termios tio{};
        if (::tcgetattr(fd, &tio) != 0) {
            m_failure = {OpenFailure::Kind::Failed, device, {}, "not a serial port"};
            ::close(fd);
            return false;
        }
        ::ioctl(fd, TIOCEXCL);
        cfmakeraw(&tio);
        tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
        // HUPCL: the kernel drops DTR and RTS on the last close, also when the program dies.
        tio.c_cflag |= CS8 | CREAD | CLOCAL | HUPCL;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
            m_failure = {OpenFailure::Kind::Failed, device, {}, std::strerror(errno)};
            ::close(fd);
            return false;
        }
        ::tcflush(fd, TCIOFLUSH);
        m_fd = fd;
        setBits(TIOCM_DTR, true);
        setBits(TIOCM_RTS, true);
        m_miwait = true;
        m_watchStop = false;
        m_watchDone = false;
        watcherSignal();
        m_watcher = std::thread([this] { watch(); });
        return true;
    }

    void close() override
    {
        if (m_fd < 0)
            return;
        stopWatcher();
        ::tcflush(m_fd, TCIOFLUSH);
        ::ioctl(m_fd, TIOCCBRK);
        ::close(m_fd);
        m_fd = -1;
    }

    bool isOpen() const override { return m_fd >= 0; }
    OpenFailure failure() const override { return m_failure; }
    bool lost() const override { return m_lost.load(); }
    bool setRts(bool on) override { return setBits(TIOCM_RTS, on); }
    bool setDtr(bool on) override { return setBits(TIOCM_DTR, on); }
    bool setBreak(bool on) override { return m_fd >= 0 && ::ioctl(m_fd, on ? TIOCSBRK : TIOCCBRK) == 0; }

    bool readInputs(ModemInputs& out) override
    {
        int bits = 0;
        if (m_fd < 0)
            return false;
        if (::ioctl(m_fd, TIOCMGET, &bits) != 0) {
            // An adapter pulled out (or a hung-up line) reads as all inputs low, so a
            // squelch that was open does not stay open for ever; other failures keep the
            // last values.
            if (errno == EIO || errno == ENODEV || errno == ENXIO) {
                m_lost = true;
                out = {};
                return true;
            }
            return false;
        }
        out.cts = bits & TIOCM_CTS;
        out.dsr = bits & TIOCM_DSR;
        out.ring = bits & TIOCM_RNG;
        out.dcd = bits & TIOCM_CD;
        return true;
    }

    void waitForChange(int maxMs) override
    {
        drainInput();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
        std::unique_lock lk(m_mutex);
        if (m_miwait) {
            const unsigned long seen = m_changes;
            m_cv.wait_until(lk, deadline, [&] { return m_woken || m_changes != seen || !m_miwait; });
            if (m_woken || m_changes != seen) {
                m_woken = false;
                return;
            }
        }
        // Polling: look at the lines every 10 ms until one changes.
        int last = -1;
        while (!m_woken) {
            lk.unlock();
            int bits = 0;
            const bool ok = m_fd >= 0 && ::ioctl(m_fd, TIOCMGET, &bits) == 0;
            lk.lock();
            bits &= kInputMask;
            if (ok && last >= 0 && bits != last)
                break;
            if (ok)
                last = bits;
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            m_cv.wait_for(lk, std::chrono::milliseconds(10), [&] { return m_woken; });
        }
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
    bool setBits(int bit, bool on) { return m_fd >= 0 && ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0; }

    void drainInput()
    {
        if (m_fd < 0)
            return;
        // A hung-up tty (adapter pulled out, the far side of a pseudo terminal closed)
        // reports POLLHUP, or POLLERR, and fails its reads with EIO.
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            m_lost = true;
        char buf[512];
        ssize_t n;
        while ((n = ::read(m_fd, buf, sizeof buf)) > 0) {
        }
        if (n < 0 && (errno == EIO || errno == ENODEV || errno == ENXIO))
            m_lost = true;
    }

    void watch()
    {
        int spurious = 0;
        int last = -1;
        while (!m_watchStop.load()) {
            const int r = ::ioctl(m_fd, TIOCMIWAIT, kInputMask);
            if (r != 0 && errno == EINTR)
                continue;
            if (r != 0)
                break; // not supported by this driver, or the device went away
            int bits = 0;
            ::ioctl(m_fd, TIOCMGET, &bits);
            bits &= kInputMask;
            // A driver that returns at once without a change would spin; poll it instead.
            spurious = bits == last ? spurious + 1 : 0;
            last = bits;
            if (spurious > 50)
                break;
            {
                std::lock_guard lk(m_mutex);
                ++m_changes;
            }
            m_cv.notify_all();
        }
        {
            std::lock_guard lk(m_mutex);
            m_miwait = false;
            m_watchDone = true;
        }
        m_cv.notify_all();
    }

    void stopWatcher()
    {
        if (!m_watcher.joinable())
            return;
        m_watchStop = true;
        const pthread_t h = m_watcher.native_handle();
        std::unique_lock lk(m_mutex);
        // The signal can land just before the thread enters the wait; repeat until it is out.
        for (int i = 0; i < 400 && !m_watchDone; ++i) {
            ::pthread_kill(h, watcherSignal());
            m_cv.wait_for(lk, std::chrono::milliseconds(5), [&] { return m_watchDone; });
        }
        lk.unlock();
        if (m_watchDone)
            m_watcher.join();
        else
            m_watcher.detach(); // never seen; keeps the process from hanging on close
    }

    int m_fd = -1;
    OpenFailure m_failure;
    std::atomic<bool> m_lost{false};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_woken = false;
    bool m_miwait = false;
    bool m_watchDone = true;
    unsigned long m_changes = 0;
    std::atomic<bool> m_watchStop{false};
    std::thread m_watcher;
};

// Whether the kernel reports a real port behind a tty name (sysfs), when it says anything.
bool sysfsSaysPresent(const std::string& name, bool& known)
{
    namespace fs = std::filesystem;
    known = false;
    const fs::path dir = fs::path("/sys/class/tty") / name;
    std::error_code ec;
    if (!fs::exists(dir, ec))
        return false;
    known = true;
    if (!fs::exists(dir / "device", ec))
        return false; // virtual consoles and the like
    // 8250-style UARTs list every possible port; type 0 means no hardware behind it.
    std::ifstream type(dir / "type");
    int t = -1;
    if (type >> t)
        return t != 0;
    return true;
}

} // namespace

std::unique_ptr<SerialBackend> makeVirtualBackend();
std::unique_ptr<SerialBackend> makeCm108Backend();
std::unique_ptr<SerialBackend> makeGpioBackend();
bool probeCm108Device(const std::string& device);
bool probeGpioDevice(const std::string& device);

std::unique_ptr<SerialBackend> makeSystemBackend(const std::string& device)
{
    if (device.rfind("virtual:", 0) == 0)
        return makeVirtualBackend();
    if (device.rfind("cm108:", 0) == 0)
        return makeCm108Backend();
    if (device.rfind("gpio:", 0) == 0)
        return makeGpioBackend();
    return std::make_unique<LinuxTtyBackend>();
}

OpenFailure failureFromErrno(int err, const std::string& node)
{
    OpenFailure f;
    f.node = node;
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(node, ec);
    if (!ec)
        f.node = real.string();
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        f.kind = OpenFailure::Kind::Missing;
        break;
    case EACCES:
    case EPERM: {
        f.kind = OpenFailure::Kind::NoPermission;
        struct stat st {};
        if (::stat(f.node.c_str(), &st) == 0 && st.st_gid != 0)
            if (const group* g = ::getgrgid(st.st_gid))
                f.group = g->gr_name;
        break;
    }
    case EBUSY:
        f.kind = OpenFailure::Kind::Busy;
        break;
    default:
        f.kind = OpenFailure::Kind::Failed;
        f.detail = std::strerror(err);
        break;
    }
    return f;
}

bool probeSystemDevice(const std::string& device)
{
    namespace fs = std::filesystem;
    if (device.rfind("virtual:", 0) == 0)
        return true;
    if (device.rfind("cm108:", 0) == 0)
        return probeCm108Device(device);
    if (device.rfind("gpio:", 0) == 0)
        return probeGpioDevice(device);
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    std::error_code ec;
    const fs::path real = fs::canonical(device, ec);
    bool known = false;
    const bool present = sysfsSaysPresent(ec ? fs::path(device).filename().string() : real.filename().string(), known);
    return known ? present : true;
}
