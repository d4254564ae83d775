// The link server thread: listens on the loopback port of the settings file and accepts
// Relaydeck's connections, one session at a time. A connection that arrives while a
// session runs is refused with QUIT errorID=88; an accepted one is greeted and handed to
// a new session thread (link_session.cpp), which also refuses web requests.
#include "plugin/link_plugin.h"

#include <chrono>
#include <string>
#include <thread>

#include "plugin/ini_file.h"
#include "plugin/net.h"

namespace rdplugin {

namespace {

constexpr int kServerThreadLogId = 0;

} // namespace

void LinkPlugin::serverThread()
{
    rdnet::Socket fd = openListener();
    if (fd == rdnet::kNoSocket)
        return;
    m_boundPort = rdnet::localPort(fd);
    m_listenFd = fd;
    {
        std::lock_guard<std::mutex> lock(m_waitMutex);
        m_listening = true;
        m_waitCv.notify_all();
    }

    while (!stopping()) {
        const rdnet::Wait w = rdnet::waitReadable(fd, &m_waker, -1);
        if (w == rdnet::Wait::Failed || w == rdnet::Wait::Woken || stopping())
            break;
        if (w != rdnet::Wait::Ready)
            continue;
        rdnet::Socket conn = rdnet::accept(fd);
        if (conn == rdnet::kNoSocket)
            continue;
        admitConnection(conn);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_listenFd = rdnet::kNoSocket;
    rdnet::close(fd);
    m_serverDone = true;
    (void)kServerThreadLogId;
}

rdnet::Socket LinkPlugin::openListener()
{
    auto giveUp = [this](const char* msg) {
        tabMessage(msg);
        m_serverDone = true;
        std::lock_guard<std::mutex> lock(m_waitMutex);
        m_waitCv.notify_all();
    };

    if (!rdnet::start()) {
        giveUp("*ERROR* Listen 2!!!");
        return rdnet::kNoSocket;
    }
    m_netStarted = true;
    std::string port = iniRead(m_opt.settingsPath, "LINKSettings", "PORT", kDefaultPort).substr(0, 9);
    {
        std::lock_guard<std::mutex> lock(m_infoMutex);
        m_linkPort = port;
    }
    rdnet::ListenStep failed{};
    rdnet::Socket fd = rdnet::listenLoopback(port, failed);
    if (fd == rdnet::kNoSocket) {
        switch (failed) {
        case rdnet::ListenStep::Resolve:
            giveUp("*ERROR* Listen 1!!!");
            break;
        case rdnet::ListenStep::Create:
            giveUp("*ERROR* Listen!!!");
            break;
        case rdnet::ListenStep::Bind:
            giveUp("*BIND* Gateway-Socket failed!!!");
            break;
        case rdnet::ListenStep::Listen:
            giveUp("*LISTEN* Gateway-Socket failed!!!");
            break;
        }
    }
    return fd;
}

void LinkPlugin::admitConnection(rdnet::Socket conn)
{
    if (m_sessionActive.load()) {
        static const char kRefusal[] = "QUIT errorID=88";
        rdnet::sendSome(conn, kRefusal, sizeof kRefusal - 1);
        rdnet::close(conn);
        return;
    }
    std::lock_guard<std::mutex> lock(m_sessionThreadMutex);
    if (m_session.joinable())
        m_session.join(); // the previous session has ended
    m_sessionActive = true;
    tabMessage("*** CONNECTED to Relaydeck ***");
    {
        // The greeting is the first thing on the session: set and write under the send
        // lock so no event line can come before it.
        std::lock_guard<std::mutex> sendLock(m_sendMutex);
        rdnet::setNonBlocking(conn, true); // writes never wait for the peer
        m_sessionFd = conn;
        m_outbox.clear();
        static const char kHello[] = "<HELLO>\r";
        rdnet::sendSome(conn, kHello, sizeof kHello); // with the NUL
    }
    m_session = std::thread(&LinkPlugin::sessionThread, this, conn);
}

} // namespace rdplugin
