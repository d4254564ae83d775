// The few socket calls the plugin makes, the same on Linux (POSIX sockets) and Windows
// (Winsock 2.2): net_posix.cpp and net_win32.cpp. Plugin code uses only these, so it has
// no platform branches of its own. Nothing here raises SIGPIPE or is cut short by EINTR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rdnet {

#ifdef _WIN32
using Socket = std::uintptr_t;           // SOCKET
constexpr Socket kNoSocket = ~Socket(0); // INVALID_SOCKET
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
#endif

// The socket library: Winsock 2.2 on Windows (WSAStartup/WSACleanup, counted by the
// system), nothing to do elsewhere. Every successful start() is paired with one stop().
bool start();
void stop();

// Why listenLoopback() gave up: the steps in the order they are taken.
enum class ListenStep { Resolve, Create, Bind, Listen };

// A listening TCP socket on the IPv4 loopback address and the given port text (resolved
// without the "passive" flag, which yields 127.0.0.1). kNoSocket and the failed step on
// failure.
Socket listenLoopback(const std::string& port, ListenStep& failed);
// The local port a socket is bound to, 0 when unknown.
int localPort(Socket s);
// The next connection on a listening socket, kNoSocket when none could be taken.
Socket accept(Socket listening);

// Bytes sent (at least 1), 0 when a non-blocking socket cannot take any now, -1 when the
// connection failed.
long sendSome(Socket s, const char* data, std::size_t size);
// Bytes received (at least 1), 0 when the peer closed the connection, -1 on failure.
long receive(Socket s, char* buf, std::size_t size);
bool setNonBlocking(Socket s, bool on);
// Ends both directions (blocked calls on other threads return); the socket stays open.
void shutdownBoth(Socket s);
// Closes the socket (closesocket on Windows) and sets it to kNoSocket.
void close(Socket& s);

// A wake-up that every thread waiting in waitReadable()/waitWritable() sees: once raised
// it stays raised until closed. A pipe on POSIX; on Windows a loopback datagram socket,
// with its own hold on the socket library, so it works before and after start()/stop().
class Waker {
public:
    Waker() = default;
    ~Waker() { closeAll(); }
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    bool open(); // false when it could not be made
    void raise();
    void closeAll();
    bool isOpen() const { return m_read != kNoSocket; }
    Socket handle() const { return m_read; }

private:
    Socket m_read = kNoSocket;
    Socket m_write = kNoSocket; // POSIX: the pipe's write end
#ifdef _WIN32
    bool m_library = false; // this waker's WSAStartup
#endif
};

enum class Wait { Ready, Woken, TimedOut, Failed };
// Waits until s can be read (data, peer closed or an error, so the next receive() does
// not block), the waker (if any) is raised, or timeoutMs has passed (-1: no time limit).
Wait waitReadable(Socket s, const Waker* waker, int timeoutMs);
// The same for writing.
Wait waitWritable(Socket s, const Waker* waker, int timeoutMs);

} // namespace rdnet
