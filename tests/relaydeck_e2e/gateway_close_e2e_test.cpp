// Closing a gateway window while the gateway keys the radio releases the radio's PTT line:
// the whole program in-process (main window, start window opening a virtual serial port,
// gateway window) against the real plugin in the substitute client, with the test as the
// radio at the other end of the virtual port.
#include "app/config/globalfunct.h"
#include "app/gateway/gatewayengine.h"
#include "app/ui/gatewaywindow.h"
#include "app/ui/childwindows.h"
#include "app/ui/mainwindow.h"
#include "clientsim/client.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

int g_argc = 1;
char g_arg0[] = "relaydeck_e2e_tests";
char* g_argv[] = {g_arg0, nullptr};

void app()
{
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(g_argc, g_argv);
    }
}

quint16 freePort()
{
    for (;;) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        if (probe.serverPort() != 26001)
            return probe.serverPort();
    }
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// The radio: reads the port's output lines ("RTS 1", ...).
struct Radio {
    QLocalSocket socket;
    QByteArray buffer;
    QStringList lines;
    void pump()
    {
        buffer += socket.readAll();
        int nl;
        while ((nl = buffer.indexOf('\n')) >= 0) {
            lines << QString::fromLatin1(buffer.left(nl)).trimmed();
            buffer.remove(0, nl + 1);
        }
    }
    bool saw(const QString& line, int from) const { return lines.indexOf(line, from) >= 0; }
};

TEST(GatewayCloseEndToEnd, ClosingTheWindowWhileTheRadioIsKeyedReleasesThePtt)
{
    app();
    QTemporaryDir work, home;
    ASSERT_TRUE(work.isValid() && home.isValid());
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(work.path());
    const quint16 port = freePort();
    {
        QFile ini(work.filePath(QStringLiteral("Relaydeck[LINK].ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[LINKSettings]\r\nPORT=%1\r\n").arg(port).toLatin1());
    }
    const QString cfg = home.filePath(QStringLiteral("config"));
    QDir().mkpath(cfg);
    const QString sock = home.filePath(QStringLiteral("COM7.sock"));
    {
        QFile com(cfg + QStringLiteral("/comport.cfg"));
        ASSERT_TRUE(com.open(QIODevice::WriteOnly));
        com.write(
            QStringLiteral("[COM7]\r\nident=7\r\nactiv=1\r\nstatus=0\r\ndevice=virtual:%1\r\n").arg(sock).toLatin1());
    }
    ASSERT_TRUE(
        SaveSettingsFile(cfg + QStringLiteral("/main.cfg"),
                         SettingsList({QStringLiteral("appLang=en_US"), QStringLiteral("LINK_PORT=%1").arg(port),
                                       QStringLiteral("appExitDlg=False"), QStringLiteral("LINK_EXIT=False"),
                                       QStringLiteral("appMAXWin=False")})));
    const QString uid = QStringLiteral("{6E2A0C1D-0000-4000-8000-00000000C105}");
    const QString gwFile = cfg + QLatin1Char('/') + uid + QStringLiteral(".rdk");
    ASSERT_TRUE(SaveSettingsFile(
        gwFile,
        SettingsList(
            {QStringLiteral("gateUID=") + uid, QStringLiteral("gateName=Close Test"),
             QStringLiteral("gateAutorun=False"), QStringLiteral("gateExitDlg=False"), QStringLiteral("SPRACHE=en_US"),
             QStringLiteral("TS3-HOST=127.0.0.1:9987"), QStringLiteral("TS3-NICK=Close Test"),
             QStringLiteral("TS3-TX-PIN=COM"), QStringLiteral("COM-OUT-NUM=7"), QStringLiteral("COM-OUT-ON=True"),
             QStringLiteral("COM-OUT-PIN=RTS"), QStringLiteral("COM-IN-NUM=7"), QStringLiteral("COM-IN-ON=True"),
             QStringLiteral("COM-IN-PIN=CTS"), QStringLiteral("HF-ROGER-BEEP=False")})));

    clientsim::Client client;
    client.setConnectStepDelay(std::chrono::milliseconds(20));
    client.addServer("S1", "127.0.0.1:9987", "Close Test Server");
    client.addChannel("S1", 1, "Lobby", 0, "", true);
    ASSERT_TRUE(client.load(RD_PLUGIN_PATH)) << client.lastError();
    {
        MainWindow::Options o;
        o.home = home.path();
        MainWindow main(std::move(o));
        RegisterChildWindows(main);
        main.show();
        // The start window opens the ports of comport.cfg; the test connects as the radio.
        Radio radio;
        ASSERT_TRUE(waitFor(
            [&] {
                if (radio.socket.state() != QLocalSocket::ConnectedState) {
                    radio.socket.abort();
                    radio.socket.connectToServer(sock);
                    radio.socket.waitForConnected(50);
                }
                return radio.socket.state() == QLocalSocket::ConnectedState;
            },
            10000))
            << "virtual port never listened";

        QPointer<QWidget> window = main.openGatewayFile(gwFile);
        ASSERT_TRUE(window);
        auto* gateway = qobject_cast<GatewayWindow*>(window.data());
        ASSERT_NE(gateway, nullptr);
        // The link comes up at the first one-second tick; the gateway asks after STARTING.
        ASSERT_TRUE(waitFor(
            [&] {
                radio.pump();
                return gateway->engine().TS3_IstConnected();
            },
            20000));
        const int h = gateway->engine().TS3_scHandlerID();
        ASSERT_GT(h, 0);

        // A user talks in the gateway's channel: the radio is keyed.
        int mark = int(radio.lines.size());
        client.userJoin("S1", 7, "Alice", 1);
        client.userTalk("S1", 7, 1);
        ASSERT_TRUE(waitFor(
            [&] {
                radio.pump();
                return radio.saw(QStringLiteral("RTS 1"), mark);
            },
            3000))
            << radio.lines.join(QLatin1Char('|')).toStdString();

        // The gateway window is closed while the user still talks.
        mark = int(radio.lines.size());
        auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
        ASSERT_NE(sub, nullptr);
        sub->close();
        EXPECT_TRUE(waitFor(
            [&] {
                radio.pump();
                return radio.saw(QStringLiteral("RTS 0"), mark);
            },
            3000))
            << "PTT left keyed after closing the gateway: "
            << radio.lines.mid(mark).join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(waitFor(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return window.isNull();
            },
            3000))
            << "gateway window freed";
        // The port itself stays open for other gateways; the TeamSpeak connection is stopped.
        EXPECT_EQ(radio.socket.state(), QLocalSocket::ConnectedState);
        EXPECT_TRUE(waitFor([&] { return client.hasCall("stopConnection"); }, 3000)) << "GW_STOP reached the plugin";
        client.userTalk("S1", 7, 0);
        radio.socket.abort();
    }
    client.unload();
    QDir::setCurrent(oldDir);
}

} // namespace
