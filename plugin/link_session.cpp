// The session with Relaydeck: the session thread reads and runs the command lines, the
// writer thread sends what the socket did not take at once, and the send path every
// thread writes through. A session ends when Relaydeck closes or drops the connection,
// sends a web request, or stops reading its output; the microphone paths SETPTT opened
// are closed then.
#include "plugin/link_plugin.h"

#include <chrono>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "plugin/net.h"
#include "plugin/web_guard.h"

namespace rdplugin {

namespace {

constexpr const char* kStalled = "Relaydeck does not read its output for the stall time; session ended";
constexpr const char* kQueueFull = "Relaydeck does not read its output (queue full); session ended";

} // namespace

// ---------------------------------------------------------------------------------
// Session thread

void LinkPlugin::sessionThread(rdnet::Socket fd)
{
    std::thread writer(&LinkPlugin::writerThread, this, fd);
    // Relaydeck's longest line is a GW_CONNECT with a deep channel path and long profile
    // names; its lines are read up to kCommandLineLimit bytes (the reply limit is larger).
    rdlink::LineAssembler assembler(kCommandLineLimit);
    char buf[512];
    while (!stopping()) {
        const rdnet::Wait w = rdnet::waitReadable(fd, &m_waker, -1);
        if (w == rdnet::Wait::Failed || w == rdnet::Wait::Woken)
            break;
        if (w != rdnet::Wait::Ready)
            continue;
        const long n = rdnet::receive(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        bool webRequest = false;
        size_t overlong = 0;
        assembler.feed(
            std::string_view(buf, size_t(n)),
            [&](std::string_view line) {
                // Nothing after an HTTP line runs, the rest of this block included.
                if (webRequest || (webRequest = isWebRequestLine(line)))
                    return;
                rdlink::SplitLine split = rdlink::splitLine(line);
                if (!split.hasBlank)
                    return;
                try {
                    ProcessRecvCommand(split.command, split.params);
                } catch (const std::exception& e) {
                    logError(e.what(), 300);
                }
            },
            [&](size_t bytes) { overlong = bytes; });
        if (overlong > 0)
            logWarning(("Command line of " + std::to_string(overlong) + " bytes is longer than " +
                        std::to_string(kCommandLineLimit) + " bytes; dropped")
                           .c_str());
        if (webRequest) {
            if (m_haveFunctions)
                ts3().logMessage(kWebRequestRefused, LogLevel_WARNING, kLogChannel, 0);
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        if (m_sessionFd == fd) {
            m_sessionFd = rdnet::kNoSocket;
            m_outbox.clear();
        }
        m_sendCv.notify_all();
    }
    writer.join();
    rdnet::close(fd);
    // Nobody is left to release a transmission Relaydeck keyed (closed, stalled or
    // dropped alike); at unload the connections are stopped anyway.
    if (!stopping())
        closeOpenMicrophones();
    m_sessionActive = false;
}

void LinkPlugin::closeOpenMicrophones()
{
    std::vector<uint64> open;
    {
        std::lock_guard<std::mutex> lock(m_tableMutex);
        for (uint64 h = 0; h < kTableSize; ++h)
            if (m_table[h].micOpenByPtt) {
                m_table[h].micOpenByPtt = false;
                open.push_back(h);
            }
    }
    for (uint64 h : open)
        if (setSelfInt(h, CLIENT_INPUT_DEACTIVATED, 1))
            flush(h);
}

// ---------------------------------------------------------------------------------
// Send path

void LinkPlugin::adoptSession(rdnet::Socket fd)
{
    std::lock_guard<std::mutex> lock(m_sendMutex);
    m_sessionFd = fd;
    m_outbox.clear();
    if (fd != rdnet::kNoSocket)
        rdnet::setNonBlocking(fd, true);
}

// Nothing here waits on Relaydeck: the client's threads, the session thread and the
// status thread all write through this, and a peer that stops reading must not hold any
// of them. What the socket does not take at once waits in the queue for the writer.
int LinkPlugin::SendToSocket(std::string_view line)
{
    const char* ended = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_sendMutex);
        if (m_sessionFd == rdnet::kNoSocket)
            return -1;
        if (m_outbox.size() + line.size() > kOutboxLimit) {
            ended = kQueueFull;
        } else {
            const bool queued = !m_outbox.empty();
            if (!queued)
                m_lastProgress = std::chrono::steady_clock::now();
            m_outbox.append(line);
            // With nothing queued before, nobody waits for the queue to empty: a line the
            // socket takes at once wakes no other thread.
            if (!drainOutboxLocked(queued)) {
                endSessionLocked();
                return -1;
            }
            if (m_outbox.empty())
                return int(line.size());
            if (std::chrono::steady_clock::now() - m_lastProgress <= std::chrono::milliseconds(m_opt.stallTimeoutMs)) {
                m_sendCv.notify_all(); // the writer sends the rest
                return int(line.size());
            }
            ended = kStalled;
        }
        endSessionLocked();
    }
    logWarning(ended);
    return -1;
}

bool LinkPlugin::drainOutboxLocked(bool notify)
{
    size_t done = 0;
    while (done < m_outbox.size()) {
        const long n = rdnet::sendSome(m_sessionFd, m_outbox.data() + done, m_outbox.size() - done);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += size_t(n);
    }
    if (done > 0) {
        m_outbox.erase(0, done);
        m_lastProgress = std::chrono::steady_clock::now();
        if (notify)
            m_sendCv.notify_all();
    }
    return true;
}

void LinkPlugin::endSessionLocked()
{
    if (m_sessionFd == rdnet::kNoSocket)
        return;
    // The session thread sees the connection end and finishes the session as for a
    // peer that closed it.
    rdnet::shutdownBoth(m_sessionFd);
    m_sessionFd = rdnet::kNoSocket;
    m_outbox.clear();
    m_sendCv.notify_all();
}

void LinkPlugin::flushOutbox(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_sendMutex);
    m_sendCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [this] { return m_outbox.empty() || m_sessionFd == rdnet::kNoSocket; });
}

void LinkPlugin::writerThread(rdnet::Socket fd)
{
    std::unique_lock<std::mutex> lock(m_sendMutex);
    const auto stall = std::chrono::milliseconds(m_opt.stallTimeoutMs);
    for (;;) {
        m_sendCv.wait(lock, [&] { return m_sessionFd != fd || !m_outbox.empty(); });
        if (m_sessionFd != fd)
            return;
        if (!drainOutboxLocked(true)) {
            endSessionLocked();
            return;
        }
        if (m_outbox.empty())
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_lastProgress + stall -
                                                                                std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            endSessionLocked();
            lock.unlock();
            logWarning(kStalled);
            return;
        }
        lock.unlock();
        const rdnet::Wait w = rdnet::waitWritable(fd, &m_waker, int(left.count()));
        lock.lock();
        if (w == rdnet::Wait::Woken || w == rdnet::Wait::Failed)
            return; // the plugin stops, or the socket is gone
    }
}

} // namespace rdplugin
