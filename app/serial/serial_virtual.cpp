// Virtual serial port: the modem lines of a port that another process drives over a
// Unix-domain socket, so a simulated radio can see the PTT outputs and set the inputs.
//
// Opening the port listens on the socket path (its folder is created; a stale socket left
// by a dead program is replaced; a path on which another live port listens means "busy").
// One peer at a time; a new connection replaces the old one. Text lines ending in "\n":
//   port -> peer:  "RTS 1", "DTR 0", "BREAK 0"   on connect (all three) and on every write
//   peer -> port:  "CTS 1", "DSR 0", "RI 1" (or "RING 1"), "DCD 1" (or "RLSD 1"),
//                  "STATUS" (the port answers with its three output lines)
// Unknown lines are ignored. The inputs read 0 while no peer is connected. Closing the
// port (or the program ending) closes the socket, which the peer sees as all lines down.
#include "app/serial/serialbackend.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool fillAddress(const std::string& path, sockaddr_un& addr)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.data(), path.size());
    return true;
}

class VirtualBackend final : public SerialBackend {
public:
    ~VirtualBackend() override { close(); }

    bool open(const std::string& device) override
    {
        if (m_listen >= 0)
            return true;
        std::string path = device.substr(std::strlen("virtual:"));
        sockaddr_un addr;
        if (!fillAddress(path, addr))
            return false;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        // Someone listening there already: the port is in use.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe >= 0) {
            const bool live = ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            ::close(probe);
            if (live)
                return false;
        }
        ::unlink(path.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
            ::close(fd);
            return false;
        }
        int pipefd[2];
        if (::pipe2(pipefd, O_CLOEXEC | O_NONBLOCK) != 0) {
            ::close(fd);
            ::unlink(path.c_str());
            return false;
        }
        std::lock_guard lk(m_mutex);
        m_listen = fd;
        m_wakeRead = pipefd[0];
        m_wakeWrite = pipefd[1];
        m_path = path;
        m_rts = m_dtr = true; // raised on open
        m_break = false;
        m_inputs = {};
        return true;
    }

    void close() override
    {
        std::lock_guard lk(m_mutex);
        if (m_listen < 0)
            return;
        dropPeer();
        ::close(m_listen);
        ::unlink(m_path.c_str());
        ::close(m_wakeRead);
        ::close(m_wakeWrite);
        m_listen = m_wakeRead = m_wakeWrite = -1;
    }

    bool isOpen() const override { return m_listen >= 0; }
    bool setRts(bool on) override { return setOut(m_rts, "RTS", on); }
    bool setDtr(bool on) override { return setOut(m_dtr, "DTR", on); }
    bool setBreak(bool on) override { return setOut(m_break, "BREAK", on); }

    bool readInputs(ModemInputs& out) override
    {
        std::lock_guard lk(m_mutex);
        if (m_listen < 0)
            return false;
        out = m_inputs;
        return true;
    }

    void waitForChange(int maxMs) override
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
        for (;;) {
            pollfd fds[3];
            int n = 0;
            {
                std::lock_guard lk(m_mutex);
                if (m_listen < 0)
                    return;
                fds[n++] = {m_wakeRead, POLLIN, 0};
                fds[n++] = {m_listen, POLLIN, 0};
                if (m_peer >= 0)
                    fds[n++] = {m_peer, POLLIN, 0};
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                    .count();
            if (left <= 0)
                return;
            const int r = ::poll(fds, n, static_cast<int>(left));
            if (r <= 0)
                return;
            std::lock_guard lk(m_mutex);
            if (fds[0].revents) {
                char buf[64];
                while (::read(m_wakeRead, buf, sizeof buf) > 0) {
                }
                return;
            }
            bool changed = false;
            if (fds[1].revents & POLLIN)
                changed |= acceptPeer();
            if (n > 2 && fds[2].fd == m_peer && fds[2].revents)
                changed |= readPeer();
            if (changed)
                return;
        }
    }

    void wake() override
    {
        std::lock_guard lk(m_mutex);
        if (m_wakeWrite >= 0) {
            const char c = 1;
            [[maybe_unused]] auto r = ::write(m_wakeWrite, &c, 1);
        }
    }

private:
    bool setOut(bool& field, const char* name, bool on)
    {
        std::lock_guard lk(m_mutex);
        if (m_listen < 0)
            return false;
        field = on;
        sendLine(std::string(name) + (on ? " 1" : " 0"));
        return true;
    }

    // With m_mutex held.
    void sendLine(const std::string& line)
    {
        if (m_peer < 0)
            return;
        const std::string data = line + "\n";
        const ssize_t w = ::send(m_peer, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            dropPeer();
    }

    void sendOutputs()
    {
        sendLine(std::string("RTS ") + (m_rts ? "1" : "0"));
        sendLine(std::string("DTR ") + (m_dtr ? "1" : "0"));
        sendLine(std::string("BREAK ") + (m_break ? "1" : "0"));
    }

    bool acceptPeer()
    {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return false;
        dropPeer();
        m_peer = fd;
        sendOutputs();
        return true;
    }

    void dropPeer()
    {
        if (m_peer >= 0)
            ::close(m_peer);
        m_peer = -1;
        m_buffer.clear();
        m_inputs = {}; // cable pulled: every input reads low
    }

    bool readPeer()
    {
        char buf[512];
        const ssize_t r = ::recv(m_peer, buf, sizeof buf, 0);
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            dropPeer();
            return true;
        }
        if (r < 0)
            return false;
        m_buffer.append(buf, static_cast<size_t>(r));
        if (m_buffer.size() > 4096 && m_buffer.find('\n') == std::string::npos)
            m_buffer.clear(); // a peer that never ends a line
        const ModemInputs before = m_inputs;
        size_t pos;
        while ((pos = m_buffer.find('\n')) != std::string::npos) {
            std::string line = m_buffer.substr(0, pos);
            m_buffer.erase(0, pos + 1);
            handleLine(line);
        }
        return !(before == m_inputs);
    }

    void handleLine(std::string line)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream in(line);
        std::string name, value;
        in >> name >> value;
        for (auto& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name == "STATUS") {
            sendOutputs();
            return;
        }
        bool v;
        if (value == "1")
            v = true;
        else if (value == "0")
            v = false;
        else
            return;
        if (name == "CTS")
            m_inputs.cts = v;
        else if (name == "DSR")
            m_inputs.dsr = v;
        else if (name == "RI" || name == "RING")
            m_inputs.ring = v;
        else if (name == "DCD" || name == "RLSD" || name == "CD")
            m_inputs.dcd = v;
    }

    mutable std::mutex m_mutex;
    int m_listen = -1;
    int m_peer = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::string m_path;
    std::string m_buffer;
    bool m_rts = false, m_dtr = false, m_break = false;
    ModemInputs m_inputs;
};

} // namespace

std::unique_ptr<SerialBackend> makeVirtualBackend()
{
    return std::make_unique<VirtualBackend>();
}
