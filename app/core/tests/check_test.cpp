// relaydeck --headless --check on prepared base folders.
#include "app/config/globalfunct.h"
#include "app/config/texts.h"
#include "app/core/headless.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void ensureApp()
{
    static int argc = 1;
    static char name[] = "rd_core_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    InitTexte();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

// Each broken piece is named in plain words and makes the check fail; a sound folder
// passes. The link port, or the web port, is taken by a program that is not the plugin in
// the last cases.
TEST(HeadlessCheck, NamesWhatIsWrongAndPassesOnlyWhenAllIsWell)
{
    ensureApp();
    QTcpServer stranger; // listens and never greets
    ASSERT_TRUE(stranger.listen(QHostAddress::LocalHost, 0));
    quint16 freePort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        freePort = probe.serverPort();
    }
    enum class Web { Off, FreePort, TakenPort };
    const struct {
        const char* what;
        const char* gatewayFile; // contents of config/x.rdk ("" = none)
        const char* comport;     // contents of comport.cfg ("" = none)
        bool strangerOnLinkPort;
        Web web;
        bool ok;
        const char* says;
    } cases[] = {
        {"sound folder", "", "", false, Web::Off, true, "all is well"},
        {"broken gateway file", "not a gateway", "", false, Web::Off, false, "problem: the gateway file x.rdk"},
        {"missing serial device", "", "[COM5]\r\nident=5\r\nactiv=1\r\ndevice=/dev/relaydeck-no-such-tty\r\n", false,
         Web::Off, false, "COM5 (/dev/relaydeck-no-such-tty) does not exist"},
        {"another program on the link port", "", "", true, Web::Off, false, "is taken by another program"},
        {"web interface on a free port", "", "", false, Web::FreePort, true, "ok: web port"},
        {"web interface on a port in use", "", "", false, Web::TakenPort, false, "problem: web port"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir home;
        QDir().mkpath(home.filePath(QStringLiteral("config")));
        const quint16 port = c.strangerOnLinkPort ? stranger.serverPort() : freePort;
        SettingsList cfg({QStringLiteral("LINK_PORT=%1").arg(port)});
        if (c.web != Web::Off) {
            cfg.setValue(QStringLiteral("HTTP_ACTIVE"), QStringLiteral("True"));
            cfg.setValue(QStringLiteral("HTTP_PORT"),
                         QString::number(c.web == Web::TakenPort ? stranger.serverPort() : freePort));
        }
        ASSERT_TRUE(SaveSettingsFile(home.filePath(QStringLiteral("config/main.cfg")), cfg));
        if (*c.gatewayFile)
            write(home.filePath(QStringLiteral("config/x.rdk")), c.gatewayFile);
        if (*c.comport)
            write(home.filePath(QStringLiteral("config/comport.cfg")), c.comport);
        QString out;
        QTextStream stream(&out);
        EXPECT_EQ(CheckBaseFolder(AppPaths::forBase(home.path()), stream), c.ok) << out.toStdString();
        EXPECT_TRUE(out.contains(QLatin1String(c.says))) << out.toStdString();
        EXPECT_EQ(out.contains(QLatin1String("web port")), c.web != Web::Off) << out.toStdString();
    }
}
