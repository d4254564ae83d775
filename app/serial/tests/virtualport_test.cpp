// The virtual port: a peer process drives the inputs and reads the outputs over the
// port's Unix-domain socket.
#include "app/serial/comportmanager.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The simulated radio's end of the socket.
class Peer {
public:
    explicit Peer(const QString& path)
    {
        fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.toUtf8().constData(), sizeof a.sun_path - 1);
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Peer() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void send(const std::string& s) { ASSERT_EQ(::send(fd, s.data(), s.size(), MSG_NOSIGNAL), ssize_t(s.size())); }
    // Next line, or "" on timeout, "EOF" when the port closed the socket.
    std::string line(int timeoutMs = 2000)
    {
        for (;;) {
            auto nl = buf.find('\n');
            if (nl != std::string::npos) {
                std::string l = buf.substr(0, nl);
                buf.erase(0, nl + 1);
                return l;
            }
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                return "";
            char b[256];
            ssize_t r = ::recv(fd, b, sizeof b, 0);
            if (r <= 0)
                return "EOF";
            buf.append(b, size_t(r));
        }
    }
    int fd = -1;
    bool connected = false;
    std::string buf;
};

class VirtualPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        sock = dir.filePath("vcom/COM7.sock");
        cfg = dir.filePath("comport.cfg");
        QFile f(cfg);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("[COM7]\ndevice=virtual:" + sock + "\n").toUtf8());
    }
    QTemporaryDir dir;
    QString sock, cfg;
};

TEST_F(VirtualPortTest, PeerSeesOutputsAndDrivesInputs)
{
    ComPortManager m(cfg);
    EXPECT_EQ(m.deviceForPort(7), "virtual:" + sock);
    EXPECT_TRUE(m.probePort(7));
    m.StarteCOMPort(7);
    ASSERT_TRUE(m.COMPortIsOpen(7));

    Peer radio(sock);
    ASSERT_TRUE(radio.connected);
    // On connect: the current outputs (lowered right after the open).
    EXPECT_EQ(radio.line(), "RTS 0");
    EXPECT_EQ(radio.line(), "DTR 0");
    EXPECT_EQ(radio.line(), "BREAK 0");

    m.SetCOMStatus("GATE_A", 7, "RTS", true, false);
    EXPECT_EQ(radio.line(), "RTS 1");
    m.SetCOMStatus("GATE_A", 7, "DTR", false, true); // inverted, nobody holds it
    EXPECT_EQ(radio.line(), "DTR 1");

    radio.send("CTS 1\nRI 1\nDCD 1\nbogus line\nDSR 1\r\n");
    ASSERT_TRUE(waitUntil([&] { return m.GetCOMStatus(7, "DSR", false); }));
    EXPECT_TRUE(m.GetCOMStatus(7, "CTS", false));
    EXPECT_TRUE(m.GetCOMStatus(7, "RING", false));
    EXPECT_TRUE(m.carrierDetect(7));
    radio.send("CTS 0\n");
    ASSERT_TRUE(waitUntil([&] { return !m.GetCOMStatus(7, "CTS", false); }));

    radio.send("STATUS\n");
    EXPECT_EQ(radio.line(), "RTS 1");
    EXPECT_EQ(radio.line(), "DTR 1");
    EXPECT_EQ(radio.line(), "BREAK 0");

    // The peer going away reads as all inputs low.
    radio.close();
    ASSERT_TRUE(waitUntil([&] { return !m.GetCOMStatus(7, "DSR", false); }));
    EXPECT_FALSE(m.carrierDetect(7));
}

TEST_F(VirtualPortTest, ClosingThePortReleasesTheLinesAndTheSocket)
{
    ComPortManager m(cfg);
    m.StarteCOMPort(7);
    ASSERT_TRUE(m.COMPortIsOpen(7));
    Peer radio(sock);
    ASSERT_TRUE(radio.connected);
    for (int i = 0; i < 3; ++i)
        radio.line();
    m.SetCOMStatus("GATE_A", 7, "RTS", true, false);
    EXPECT_EQ(radio.line(), "RTS 1");

    m.StoppeCOMPort(7);
    EXPECT_EQ(radio.line(), "RTS 0");
    EXPECT_EQ(radio.line(), "DTR 0");
    EXPECT_EQ(radio.line(), "BREAK 0");
    EXPECT_EQ(radio.line(), "EOF");
    EXPECT_FALSE(QFile::exists(sock));
}

TEST_F(VirtualPortTest, APortInUseDoesNotOpenTwiceAndAStaleSocketIsReplaced)
{
    ComPortManager a(cfg);
    a.StarteCOMPort(7);
    ASSERT_TRUE(a.COMPortIsOpen(7));
    ComPortManager b(cfg);
    b.StarteCOMPort(7);
    EXPECT_FALSE(b.COMPortIsOpen(7));
    EXPECT_TRUE(a.COMPortIsOpen(7));

    // A socket file nobody listens on (left by a program that died) is taken over.
    a.StoppeCOMPort(7);
    {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, sock.toUtf8().constData(), sizeof addr.sun_path - 1);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFile::exists(sock));
    b.StarteCOMPort(7);
    EXPECT_TRUE(b.COMPortIsOpen(7));
    Peer radio(sock);
    EXPECT_TRUE(radio.connected);
    EXPECT_EQ(radio.line(), "RTS 0");
}

TEST_F(VirtualPortTest, TheDefaultSocketLivesInTheTemporaryFolder)
{
    QFile f(cfg);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[COM9]\ndevice=virtual:\n");
    f.close();
    ComPortManager m(cfg);
    EXPECT_EQ(m.deviceForPort(9), "virtual:" + ComPortManager::virtualSocketPath(9));
    EXPECT_TRUE(ComPortManager::virtualSocketPath(9).endsWith("/relaydeck-vcom/COM9.sock"));
}

} // namespace
