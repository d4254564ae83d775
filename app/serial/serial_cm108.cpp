// The CM108 backend: a port whose lines are GPIO pins of a CM108-family sound card,
// driven through the card's hidraw node (see cm108.h for the reports and the names).
//
// The node is normally /dev/hidrawN, found through sysfs at every open. A node path that
// is a Unix socket is a stand-in device (a simulator or a test) speaking the same reports
// as SOCK_SEQPACKET messages.
//
// Opening sets the mapped outputs as output pins driven low; closing drives them low
// again before the node is released. A write is a USB control transfer that the kernel
// may wait up to 5 s for, so line changes are written in order by a writer thread of the
// port, never on the caller's (the main) thread. The chip keeps its last state when the program dies,
// which `relaydeck-cli unkey` (unkeyOutputs below) covers.
#include "app/serial/cm108.h"
#include "app/serial/unkey.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <thread>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "cm108:";

struct Target {
    std::string node;                // the node to open
    std::optional<cm108::Card> card; // what sysfs says about it (none for a stand-in)
    std::string missing;             // why nothing was found
};

Target findTarget(const std::string& device, const std::string& sysRoot = "/sys")
{
    Target t;
    const std::string what = device.substr(std::strlen(kPrefix));
    if (!what.empty() && what[0] == '/') {
        t.node = what;
        std::error_code ec;
        const fs::path real = fs::canonical(what, ec);
        if (ec) {
            t.missing = "no device " + what;
            return t;
        }
        t.card = cm108::cardOfHidraw(real.filename().string(), sysRoot);
        return t;
    }
    t.card = cm108::resolve(what, sysRoot);
    if (!t.card) {
        t.missing = what.empty() || what == "auto" ? "no CM108 sound card found" : "no CM108 sound card at " + what;
        return t;
    }
    t.node = "/dev/" + t.card->hidraw;
    return t;
}

// Opens a hidraw node, or connects to a stand-in device listening on a socket there.
int openNode(const std::string& node, int& err, bool& socket)
{
    socket = false;
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 || errno != ENXIO) {
        err = errno;
        return fd;
    }
    struct stat st {};
    if (::stat(node.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) {
        err = ENXIO;
        return -1;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (node.size() >= sizeof addr.sun_path) {
        err = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(addr.sun_path, node.data(), node.size());
    const int s = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0 || ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        err = errno == ECONNREFUSED ? ENOENT : errno;
        if (s >= 0)
            ::close(s);
        return -1;
    }
    socket = true;
    return s;
}

bool writeReport(int fd, const std::array<uint8_t, 5>& r)
{
    // One 5-byte write: report number 0 and the 4 report bytes (a shorter write stalls
    // the chip).
    return ::write(fd, r.data(), r.size()) == static_cast<ssize_t>(r.size());
}

// The chip of a port: the `chip` key, else what the USB id says, else what the node says.
std::optional<cm108::Chip> chipOf(const PortOptions& options, const Target& t, int fd)
{
    if (auto it = options.find("chip"); it != options.end() && !it->second.empty())
        return cm108::chipByName(it->second);
    if (t.card)
        return cm108::chipForId(t.card->vid, t.card->pid);
    hidraw_devinfo info{};
    if (fd >= 0 && ::ioctl(fd, HIDIOCGRAWINFO, &info) == 0)
        return cm108::chipForId(static_cast<uint16_t>(info.vendor), static_cast<uint16_t>(info.product));
    return cm108::chipByName("CM108"); // a stand-in: the common four pins
}

class Cm108Backend final : public SerialBackend {
public:
    explicit Cm108Backend(cm108::Host host) : m_host(std::move(host)) {}
    ~Cm108Backend() override { close(); }

    void setOptions(const PortOptions& o) override { m_options = o; }
    OpenFailure failure() const override { return m_failure; }
    std::string notice() const override { return m_notice; }
    bool raisesLinesOnOpen() const override { return false; }
    bool lost() const override { return m_lost.load(); }

    bool open(const std::string& device) override
    {
        if (m_fd >= 0)
            return true;
        m_failure = {};
        m_notice.clear();
        m_lost = false;
        const Target t = findTarget(device, m_host.sysRoot);
        if (t.node.empty()) {
            m_failure = {OpenFailure::Kind::Missing, device, {}, t.missing};
            return false;
        }
        int err = 0;
        bool socket = false;
        const int fd = openNode(t.node, err, socket);
        if (fd < 0) {
            m_failure = failureFromErrno(err, t.node);
            if (m_failure.kind == OpenFailure::Kind::Missing)
                m_failure.detail = t.missing.empty() ? "no device " + t.node : t.missing;
            return false;
        }
        const std::optional<cm108::Chip> chip = chipOf(m_options, t, fd);
        std::string why;
        if (!chip)
            why = "chip=" + m_options["chip"] + " is not a CM108-family chip with GPIO pins";
        else
            why = cm108::parseMapping(m_options, *chip, m_map);
        if (!why.empty()) {
            ::close(fd);
            m_failure = {OpenFailure::Kind::Refused, t.node, {}, why};
            return false;
        }
        // One writer per chip: two writers would overwrite each other's pins.
        if (!socket && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            m_failure = failureFromErrno(EBUSY, t.node);
            return false;
        }
        if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
            ::close(fd);
            m_failure = {OpenFailure::Kind::Failed, t.node, {}, std::strerror(errno)};
            return false;
        }
        m_chip = *chip;
        m_fd = fd;
        m_rts = m_dtr = m_brk = false;
        // The mapped outputs become output pins, driven low.
        if (!writeReport(m_fd, cm108::outputReport(m_map, m_chip, false, false, false)) && errno == ENODEV)
            m_lost = true;
        // The interrupt pipe only reports changes: ask once for the present state.
        uint8_t buf[5] = {0, 0, 0, 0, 0};
        if (!socket && ::ioctl(m_fd, HIDIOCGINPUT(5), buf) == 5)
            m_in.apply(buf + 1, 4);
        grabVolumeKeys(t);
        m_writerStop = false;
        m_writer = std::thread([this] { writeQueued(); });
        return true;
    }

    void close() override
    {
        if (m_fd < 0)
            return;
        {
            std::lock_guard lk(m_writeMutex);
            m_writerStop = true;
        }
        m_writeCv.notify_all();
        if (m_writer.joinable())
            m_writer.join();
        // Whatever was queued, the chip is left with every output low.
        writeReport(m_fd, cm108::outputReport(m_map, m_chip, false, false, false));
        if (m_input >= 0)
            ::close(m_input); // also ends the grab
        ::close(m_fd);
        ::close(m_wake[0]);
        ::close(m_wake[1]);
        m_fd = m_input = m_wake[0] = m_wake[1] = -1;
    }

    bool isOpen() const override { return m_fd >= 0; }
    bool setRts(bool on) override { return set(m_rts, on); }
    bool setDtr(bool on) override { return set(m_dtr, on); }
    bool setBreak(bool on) override { return set(m_brk, on); }

    bool readInputs(ModemInputs& out) override
    {
        if (m_fd < 0)
            return false;
        std::lock_guard lk(m_mutex);
        // Drain every queued report (the kernel drops new ones when its queue is full).
        uint8_t buf[64];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                m_in.apply(buf, static_cast<size_t>(n));
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                m_lost = true; // EIO/ENODEV: unplugged; 0: the stand-in went away
            break;
        }
        out = m_lost ? ModemInputs{} : cm108::decodeInputs(m_map, m_chip, m_in);
        return true;
    }

    void waitForChange(int maxMs) override
    {
        if (m_fd < 0)
            return;
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, maxMs) <= 0)
            return;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            m_lost = true;
        if (fds[1].revents) {
            char b[16];
            while (::read(m_wake[0], b, sizeof b) > 0) {
            }
        }
    }

    void wake() override
    {
        if (m_wake[1] >= 0) {
            const char c = 1;
            [[maybe_unused]] auto r = ::write(m_wake[1], &c, 1);
        }
    }

private:
    // Queues the report of the new levels; false once the device is known to be gone.
    bool set(bool& field, bool on)
    {
        if (m_fd < 0)
            return false;
        {
            std::lock_guard lk(m_writeMutex);
            field = on;
            // Each report carries every pin: behind a stalled device only the newest ones count.
            if (m_queue.size() >= 64)
                m_queue.pop_front();
            m_queue.push_back(cm108::outputReport(m_map, m_chip, m_rts, m_dtr, m_brk));
        }
        m_writeCv.notify_all();
        return !m_lost;
    }

    void writeQueued()
    {
        std::unique_lock lk(m_writeMutex);
        for (;;) {
            m_writeCv.wait(lk, [&] { return m_writerStop || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopped, all written
            const auto report = m_queue.front();
            m_queue.pop_front();
            lk.unlock();
            if (!writeReport(m_fd, report) &&
                (errno == ENODEV || errno == EPIPE || errno == ENOTCONN || errno == ECONNRESET))
                m_lost = true;
            lk.lock();
        }
    }

    // A squelch on the volume-down line would turn the desktop's volume down: hold the
    // card's input device for ourselves, or tell the operator that the rule hiding it from
    // the desktop is missing.
    void grabVolumeKeys(const Target& t)
    {
        if (!t.card || t.card->inputEvent.empty())
            return;
        m_input = m_host.grabInput("/dev/input/" + t.card->inputEvent);
        if (m_input >= 0)
            return;
        if (!cm108::udevRuleInstalled(m_host.rulesRoot))
            m_notice =
                std::string("the volume keys of this card reach the desktop (a squelch on VOLDN turns the volume "
                            "down): install the udev rule ") +
                cm108::kUdevRule;
    }

    cm108::Host m_host;
    PortOptions m_options;
    OpenFailure m_failure;
    std::string m_notice;
    std::atomic<bool> m_lost{false};
    cm108::Chip m_chip;
    cm108::Mapping m_map;
    cm108::InputState m_in;
    std::mutex m_mutex;      // the input state
    std::mutex m_writeMutex; // the output levels and the queue of reports
    std::condition_variable m_writeCv;
    std::deque<std::array<uint8_t, 5>> m_queue;
    bool m_writerStop = false;
    std::thread m_writer;
    int m_fd = -1;
    int m_input = -1;
    int m_wake[2] = {-1, -1};
    bool m_rts = false, m_dtr = false, m_brk = false;
};

} // namespace

int cm108::grabInputDevice(const std::string& node)
{
    const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::ioctl(fd, EVIOCGRAB, 1) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

std::unique_ptr<SerialBackend> makeCm108Backend(cm108::Host host)
{
    return std::make_unique<Cm108Backend>(std::move(host));
}

std::unique_ptr<SerialBackend> makeCm108Backend()
{
    return makeCm108Backend(cm108::Host{});
}

bool probeCm108Device(const std::string& device)
{
    const Target t = findTarget(device);
    std::error_code ec;
    return !t.node.empty() && fs::exists(t.node, ec);
}

bool unkeyCm108(const std::string& device, const PortOptions& options, std::string& message, bool& missing)
{
    const Target t = findTarget(device);
    missing = t.node.empty();
    if (missing) {
        message = t.missing;
        return false;
    }
    int err = 0;
    bool socket = false;
    const int fd = openNode(t.node, err, socket);
    if (fd < 0) {
        missing = err == ENOENT || err == ENODEV || err == ENXIO;
        message = t.node + ": " + std::strerror(err);
        return false;
    }
    cm108::Mapping map;
    const std::optional<cm108::Chip> chip = chipOf(options, t, fd);
    std::string why = chip ? cm108::parseMapping(options, *chip, map) : "unknown chip";
    bool ok = why.empty() && writeReport(fd, cm108::outputReport(map, *chip, false, false, false));
    if (why.empty() && !ok)
        why = std::strerror(errno);
    ::close(fd);
    message = ok ? t.node + ": outputs low" : t.node + ": " + why;
    return ok;
}
