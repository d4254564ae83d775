// The simulated radio (tools/vradio.py) against a virtual port of the manager: it shows
// the PTT line, drives the squelch input on command, and sees the port closing.
#include "app/serial/comportmanager.h"
#include "app/serial/unkey.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class VRadio {
public:
    explicit VRadio(const QStringList& args)
    {
        proc.setProgram(QStringLiteral("python3"));
        proc.setArguments(QStringList{QStringLiteral(RD_SOURCE_DIR "/tools/vradio.py")} + args);
        proc.start();
    }
    ~VRadio()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.write("quit\n");
            if (!proc.waitForFinished(3000))
                proc.kill();
            proc.waitForFinished(3000);
        }
    }
    void command(const char* line)
    {
        proc.write(line);
        proc.waitForBytesWritten(2000);
    }
    // Waits for an output line containing text; the lines read so far are kept.
    bool waitFor(const QString& text, int timeoutMs = 5000)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (proc.canReadLine()) {
                const QString l = QString::fromUtf8(proc.readLine()).trimmed();
                seen << l;
                if (l.contains(text))
                    return true;
            }
            if (std::chrono::steady_clock::now() >= deadline || proc.state() == QProcess::NotRunning)
                return false;
            proc.waitForReadyRead(50);
        }
    }
    QProcess proc;
    QStringList seen;
};

// A comport.cfg in dir with the given text; empty when it cannot be written.
QString writeComportCfg(const QTemporaryDir& dir, const QString& text)
{
    const QString cfg = dir.filePath(QStringLiteral("comport.cfg"));
    QFile f(cfg);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
        return {};
    return cfg;
}

TEST(VRadio, FollowsThePttLineAndDrivesTheSquelch)
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 not installed";
    QTemporaryDir dir;
    const QString sock = dir.filePath(QStringLiteral("COM7.sock"));
    const QString cfg = writeComportCfg(dir, "[COM7]\ndevice=virtual:" + sock + "\n");
    ASSERT_FALSE(cfg.isEmpty());
    ComPortManager m(cfg);
    m.StarteCOMPort(7);
    ASSERT_TRUE(m.COMPortIsOpen(7));

    VRadio radio({QStringLiteral("--socket"), sock, QStringLiteral("--squelch"), QStringLiteral("DCD")});
    ASSERT_TRUE(radio.waitFor(QStringLiteral("connected"))) << radio.seen.join('\n').toStdString();

    m.SetCOMStatus(QStringLiteral("GATE_A"), 7, QStringLiteral("RTS"), true, false);
    ASSERT_TRUE(radio.waitFor(QStringLiteral("PTT ON"))) << radio.seen.join('\n').toStdString();
    m.SetCOMStatus(QStringLiteral("GATE_A"), 7, QStringLiteral("RTS"), false, false);
    ASSERT_TRUE(radio.waitFor(QStringLiteral("PTT OFF")));

    radio.command("open\n");
    ASSERT_TRUE(waitUntil([&] { return m.carrierDetect(7); }, 5000));
    radio.command("CTS 1\n");
    ASSERT_TRUE(waitUntil([&] { return m.GetCOMStatus(7, QStringLiteral("CTS"), false); }, 5000));
    radio.command("close\n");
    ASSERT_TRUE(waitUntil([&] { return !m.carrierDetect(7); }, 5000));

    m.SetCOMStatus(QStringLiteral("GATE_A"), 7, QStringLiteral("RTS"), true, false);
    ASSERT_TRUE(radio.waitFor(QStringLiteral("PTT ON")));
    m.StoppeCOMPort(7);
    ASSERT_TRUE(radio.waitFor(QStringLiteral("PTT OFF"))) << radio.seen.join('\n').toStdString();

    // The port coming back is picked up again.
    m.StarteCOMPort(7);
    ASSERT_TRUE(radio.waitFor(QStringLiteral("connected")));
}

// The CM108 mode: the chip at the node of a cm108: port, wired as a port section names
// it. It keeps its pins when a connection ends without releasing them (a killed
// program), until a report says otherwise (the unkey after it).
TEST(VRadio, Cm108StandInFollowsTheReportsAndKeepsItsPins)
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 not installed";
    QTemporaryDir dir;
    const QString sock = dir.filePath(QStringLiteral("COM7.sock"));
    const QString cfg = writeComportCfg(dir, "[COM7]\ndevice=cm108:" + sock + "\nrts=GPIO4\ncts=GPIO1\n");
    ASSERT_FALSE(cfg.isEmpty());
    VRadio radio({QStringLiteral("--cm108"), sock, QStringLiteral("--ptt"), QStringLiteral("GPIO4"),
                  QStringLiteral("--squelch"), QStringLiteral("GPIO1")});
    ASSERT_TRUE(radio.waitFor(QStringLiteral("simulated radio"))) << radio.seen.join('\n').toStdString();
    {
        ComPortManager m(cfg);
        m.StarteCOMPort(7);
        ASSERT_TRUE(m.COMPortIsOpen(7)) << m.openProblem(7).toStdString();
        ASSERT_TRUE(radio.waitFor(QStringLiteral("opened")));
        m.SetCOMStatus(QStringLiteral("GATE_A"), 7, QStringLiteral("RTS"), true, false);
        ASSERT_TRUE(radio.waitFor(QStringLiteral("PTT ON  (GPIO4 1)"))) << radio.seen.join('\n').toStdString();
        m.SetCOMStatus(QStringLiteral("GATE_A"), 7, QStringLiteral("RTS"), false, false);
        ASSERT_TRUE(radio.waitFor(QStringLiteral("PTT OFF")));
        radio.command("open\n");
        ASSERT_TRUE(waitUntil([&] { return m.GetCOMStatus(7, QStringLiteral("CTS"), false); }, 5000));
        radio.command("close\n");
        ASSERT_TRUE(waitUntil([&] { return !m.GetCOMStatus(7, QStringLiteral("CTS"), false); }, 5000));
    }
    // A program that keyed and went away without a word.
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray path = sock.toLocal8Bit();
    ASSERT_LT(static_cast<size_t>(path.size()), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << std::strerror(errno);
    const unsigned char keyed[5] = {0, 0, 0x08, 0x08, 0};
    ASSERT_EQ(::write(fd, keyed, sizeof keyed), 5);
    ::close(fd);
    ASSERT_TRUE(radio.waitFor(QStringLiteral("keeps its pins (GPIO4 high)"))) << radio.seen.join('\n').toStdString();
    radio.command("status\n");
    ASSERT_TRUE(radio.waitFor(QStringLiteral("squelch closed")));
    EXPECT_TRUE(radio.seen.last().contains(QStringLiteral("GPIO4=1"))) << radio.seen.last().toStdString();
    EXPECT_EQ(radio.seen.filter(QStringLiteral("PTT OFF")).size(), 1) << "the chip let go by itself";

    const auto results = unkeyConfiguredLines(cfg);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].ok) << results[0].message;
    ASSERT_TRUE(radio.waitFor(QStringLiteral("PTT OFF"))) << radio.seen.join('\n').toStdString();
}

} // namespace
