// Winsock 2.2 behind plugin/net.h.
#ifdef _WIN32
#include "plugin/net.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

namespace rdnet {

static_assert(sizeof(Socket) == sizeof(SOCKET), "Socket holds a SOCKET");
static_assert(kNoSocket == INVALID_SOCKET, "kNoSocket is INVALID_SOCKET");

bool start()
{
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return false;
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        ::WSACleanup();
        return false;
    }
    return true;
}

void stop()
{
    ::WSACleanup();
}

Socket listenLoopback(const std::string& port, ListenStep& failed)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* res = nullptr;
    if (::getaddrinfo(nullptr, port.c_str(), &hints, &res) != 0 || !res) {
        failed = ListenStep::Resolve;
        return kNoSocket;
    }
    // Not inherited by processes the client starts.
    Socket s = ::WSASocketW(res->ai_family, res->ai_socktype, res->ai_protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == kNoSocket) {
        ::freeaddrinfo(res);
        failed = ListenStep::Create;
        return kNoSocket;
    }
    // SO_REUSEADDR would let another program take the port over on Windows; exclusive
    // use keeps the link port ours while we listen.
    BOOL one = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
    const bool bound = ::bind(s, res->ai_addr, static_cast<int>(res->ai_addrlen)) == 0;
    ::freeaddrinfo(res);
    if (!bound) {
        close(s);
        failed = ListenStep::Bind;
        return kNoSocket;
    }
    if (::listen(s, SOMAXCONN) != 0) {
        close(s);
        failed = ListenStep::Listen;
        return kNoSocket;
    }
    return s;
}

int localPort(Socket s)
{
    sockaddr_in bound{};
    int len = sizeof bound;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &len) != 0)
        return 0;
    return ntohs(bound.sin_port);
}

Socket accept(Socket listening)
{
    const SOCKET s = ::accept(listening, nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    // An accepted socket takes over the listener's non-blocking mode; sessions start
    // blocking, as on POSIX.
    u_long off = 0;
    ::ioctlsocket(s, FIONBIO, &off);
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return s;
}

long sendSome(Socket s, const char* data, std::size_t size)
{
    const int chunk = size > 0x7fffffff ? 0x7fffffff : static_cast<int>(size);
    const int n = ::send(s, data, chunk, 0);
    if (n == SOCKET_ERROR)
        return ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
    return n == 0 && size > 0 ? -1 : n;
}

long receive(Socket s, char* buf, std::size_t size)
{
    const int chunk = size > 0x7fffffff ? 0x7fffffff : static_cast<int>(size);
    const int n = ::recv(s, buf, chunk, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

bool setNonBlocking(Socket s, bool on)
{
    u_long mode = on ? 1 : 0;
    return ::ioctlsocket(s, FIONBIO, &mode) == 0;
}

void shutdownBoth(Socket s)
{
    if (s != kNoSocket)
        ::shutdown(s, SD_BOTH);
}

void close(Socket& s)
{
    if (s != kNoSocket) {
        ::closesocket(s);
        s = kNoSocket;
    }
}

// WSAPoll waits on sockets only: the wake-up is a datagram socket on the loopback
// address connected to itself; one datagram keeps it readable.
bool Waker::open()
{
    closeAll();
    if (!start())
        return false;
    m_library = true;
    Socket s = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == kNoSocket) {
        closeAll();
        return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        closeAll();
        return false;
    }
    m_read = s;
    return true;
}

void Waker::raise()
{
    if (m_read != kNoSocket) {
        const char b = 1;
        ::send(m_read, &b, 1, 0);
    }
}

void Waker::closeAll()
{
    close(m_read);
    close(m_write);
    if (m_library) {
        m_library = false;
        stop();
    }
}

namespace {

Wait waitFor(Socket s, SHORT events, const Waker* waker, int timeoutMs)
{
    WSAPOLLFD fds[2] = {};
    fds[0].fd = s;
    fds[0].events = events;
    ULONG count = 1;
    if (waker && waker->isOpen()) {
        fds[1].fd = waker->handle();
        fds[1].events = POLLRDNORM;
        count = 2;
    }
    const int r = ::WSAPoll(fds, count, timeoutMs < 0 ? -1 : timeoutMs);
    if (r == SOCKET_ERROR)
        return Wait::Failed;
    if (r == 0)
        return Wait::TimedOut;
    if (count == 2 && (fds[1].revents & POLLRDNORM))
        return Wait::Woken;
    if (fds[0].revents & (events | POLLHUP | POLLERR | POLLNVAL))
        return Wait::Ready;
    return Wait::Failed;
}

} // namespace

Wait waitReadable(Socket s, const Waker* waker, int timeoutMs)
{
    return waitFor(s, POLLRDNORM, waker, timeoutMs);
}

Wait waitWritable(Socket s, const Waker* waker, int timeoutMs)
{
    return waitFor(s, POLLWRNORM, waker, timeoutMs);
}

} // namespace rdnet
#endif
