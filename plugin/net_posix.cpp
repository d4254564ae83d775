// POSIX sockets behind plugin/net.h.
#ifndef _WIN32
#include "plugin/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace rdnet {

bool start()
{
    return true;
}

void stop() {}

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
    Socket fd = ::socket(res->ai_family, res->ai_socktype | SOCK_CLOEXEC, res->ai_protocol);
    if (fd < 0) {
        ::freeaddrinfo(res);
        failed = ListenStep::Create;
        return kNoSocket;
    }
    // A restarted plugin gets its port back at once, even with connections in TIME_WAIT.
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const bool bound = ::bind(fd, res->ai_addr, res->ai_addrlen) == 0;
    ::freeaddrinfo(res);
    if (!bound) {
        close(fd);
        failed = ListenStep::Bind;
        return kNoSocket;
    }
    if (::listen(fd, SOMAXCONN) != 0) {
        close(fd);
        failed = ListenStep::Listen;
        return kNoSocket;
    }
    return fd;
}

int localPort(Socket s)
{
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &len) != 0)
        return 0;
    return ntohs(bound.sin_port);
}

Socket accept(Socket listening)
{
    for (;;) {
        Socket fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR)
            continue;
        return fd < 0 ? kNoSocket : fd;
    }
}

long sendSome(Socket s, const char* data, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::send(s, data, size, MSG_NOSIGNAL);
        if (n >= 0)
            return n == 0 && size > 0 ? -1 : long(n);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

long receive(Socket s, char* buf, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::recv(s, buf, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? -1 : long(n);
    }
}

bool setNonBlocking(Socket s, bool on)
{
    const int flags = ::fcntl(s, F_GETFL, 0);
    if (flags < 0)
        return false;
    return ::fcntl(s, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

void shutdownBoth(Socket s)
{
    if (s != kNoSocket)
        ::shutdown(s, SHUT_RDWR);
}

void close(Socket& s)
{
    if (s != kNoSocket) {
        ::close(s);
        s = kNoSocket;
    }
}

bool Waker::open()
{
    closeAll();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    m_read = fds[0];
    m_write = fds[1];
    return true;
}

void Waker::raise()
{
    if (m_write != kNoSocket) {
        const char b = 1;
        [[maybe_unused]] ssize_t n = ::write(m_write, &b, 1);
    }
}

void Waker::closeAll()
{
    close(m_read);
    close(m_write);
}

namespace {

Wait waitFor(Socket s, short events, const Waker* waker, int timeoutMs)
{
    pollfd fds[2] = {{s, events, 0}, {waker && waker->isOpen() ? waker->handle() : -1, POLLIN, 0}};
    for (;;) {
        const int r = ::poll(fds, 2, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return Wait::Failed;
        if (r == 0)
            return Wait::TimedOut;
        if (fds[1].revents & POLLIN)
            return Wait::Woken;
        if (fds[0].revents & (events | POLLHUP | POLLERR | POLLNVAL))
            return Wait::Ready;
    }
}

} // namespace

Wait waitReadable(Socket s, const Waker* waker, int timeoutMs)
{
    return waitFor(s, POLLIN, waker, timeoutMs);
}

Wait waitWritable(Socket s, const Waker* waker, int timeoutMs)
{
    return waitFor(s, POLLOUT, waker, timeoutMs);
}

} // namespace rdnet
#endif
