// The simulated radio (tools/vradio.py) against a virtual port of the manager: it shows
// the PTT line, drives the squelch input on command, and sees the port closing.
#include "app/serial/comportmanager.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

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

TEST(VRadio, FollowsThePttLineAndDrivesTheSquelch)
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 not installed";
    QTemporaryDir dir;
    const QString sock = dir.filePath(QStringLiteral("COM7.sock"));
    const QString cfg = dir.filePath(QStringLiteral("comport.cfg"));
    {
        QFile f(cfg);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("[COM7]\ndevice=virtual:" + sock + "\n").toUtf8());
    }
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

} // namespace
