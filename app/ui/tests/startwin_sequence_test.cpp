// The start sequence stepped without a screen and without waiting: ports of comport.cfg
// first, then the gateway files one by one.
#include "app/config/globalfunct.h"
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/serial/memoryserial.h"
#include "app/ui/startwindow.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QString kUidA = QStringLiteral("{10000000-0000-0000-0000-00000000000A}");
const QString kUidB = QStringLiteral("{20000000-0000-0000-0000-00000000000B}");
const QString kUidC = QStringLiteral("{30000000-0000-0000-0000-00000000000C}");

class StartSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        SetAppLang(QStringLiteral("en_US"));
        QDir().mkpath(cfg);
        ports.setProbe([this](const QString& d) { return hub.exists(d); });
    }
    void TearDown() override { SetAppLang(QStringLiteral("de_DE")); }

    void writeGateway(const QString& uid, const QString& name, const QString& autorun)
    {
        SettingsList gw;
        gw.setValue(QStringLiteral("gateUID"), uid);
        gw.setValue(QStringLiteral("gateName"), name);
        gw.setValue(QStringLiteral("gateAutorun"), autorun);
        ASSERT_TRUE(SaveSettingsFile(QDir(cfg).filePath(uid + QStringLiteral(".rdk")), gw));
    }
    void writeRaw(const QString& name, const QByteArray& bytes)
    {
        QFile f(QDir(cfg).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void writeComportCfg(const QByteArray& text) { writeRaw(QStringLiteral("comport.cfg"), text); }

    // A sequence whose hooks record everything in one ordered list.
    std::unique_ptr<StartSequence> make()
    {
        StartSequence::Hooks h;
        h.log = [this](const QString& text, StartLogStyle style) {
            const char* tag = style == StartLogStyle::Info ? "info" : style == StartLogStyle::Ok ? "ok" : "error";
            events << QString::fromLatin1(tag) + QLatin1Char('|') + text;
        };
        h.openComStatus = [this](int port, int top, int left) {
            events << QStringLiteral("status|COM%1 %2/%3").arg(port).arg(top).arg(left);
        };
        h.gatewayIsActive = [this](const QString& uid) { return active.contains(uid); };
        h.openGateway = [this](const QString& path, const QString& name) {
            events << QStringLiteral("open|%1 %2 port3=%3")
                          .arg(QFileInfo(path).fileName(), name,
                               ports.COMPortIsOpen(3) ? QStringLiteral("open") : QStringLiteral("closed"));
            return true;
        };
        h.close = [this] { events << QStringLiteral("close"); };
        return std::make_unique<StartSequence>(cfg, &ports, std::move(h));
    }

    // Fires the armed timer until the sequence closes; the intervals it armed, in order.
    QList<int> runToEnd(StartSequence& s)
    {
        QList<int> intervals;
        for (int guard = 0; guard < 100 && s.armed() != StartSequence::Timer::None; ++guard) {
            intervals << s.intervalMs();
            s.timerFired();
        }
        return intervals;
    }

    QTemporaryDir home;
    QString cfg = home.filePath(QStringLiteral("config"));
    MemorySerialHub hub;
    ComPortManager ports{QDir(cfg).filePath(QStringLiteral("comport.cfg")), hub.factory()};
    QStringList events;
    QStringList active;
};

TEST_F(StartSequenceTest, OpensThePortsThenOnlyTheAutostartGatewaysTwoSecondsApart)
{
    hub.addDevice(ComPortManager::defaultDeviceForPort(3));
    writeComportCfg("[COM3]\r\nident=3\r\nactiv=1\r\nstatus=1\r\ntop=40\r\nleft=50\r\n"
                    "[COM4]\r\nident=4\r\nactiv=0\r\nstatus=1\r\n");
    writeGateway(kUidA, QStringLiteral("Relay North"), QStringLiteral("True"));
    writeGateway(kUidB, QStringLiteral("Relay Idle"), QStringLiteral("False"));
    writeGateway(kUidC, QStringLiteral("Relay South"), QStringLiteral("1"));

    auto s = make();
    EXPECT_EQ(events, QStringList{QStringLiteral("info| -> starting")});
    EXPECT_EQ(s->armed(), StartSequence::Timer::None); // nothing runs before it is shown
    EXPECT_EQ(s->gateFiles().size(), 3);
    EXPECT_FALSE(ports.COMPortIsOpen(3));

    s->shown();
    EXPECT_TRUE(ports.COMPortIsOpen(3));
    EXPECT_FALSE(ports.COMPortIsOpen(4)); // not marked activ
    s->shown();                           // a second show changes nothing

    // First gateway 2 s after the ports, the next 2 s later plus the 150 ms of the file
    // between them, "Done", then 2 s until the window closes.
    EXPECT_EQ(runToEnd(*s), (QList<int>{2000, 2000, 150, 2000, 2000}));
    const QStringList expected{
        QStringLiteral("info| -> starting"),
        QStringLiteral("ok| -> open COM-Port... [ COM3 ]"),
        QStringLiteral("status|COM3 40/50"),
        QStringLiteral("ok| -> Gateway start... [ Relay North ]"),
        QStringLiteral("open|") + kUidA + QStringLiteral(".rdk Relay North port3=open"),
        QStringLiteral("ok| -> Gateway start... [ Relay South ]"),
        QStringLiteral("open|") + kUidC + QStringLiteral(".rdk Relay South port3=open"),
        QStringLiteral("info| -> Done"),
        QStringLiteral("close"),
    };
    EXPECT_EQ(events, expected);
    EXPECT_TRUE(s->finished());
    EXPECT_TRUE(s->gateFiles().isEmpty());
    s->timerFired(); // a late timer event after closing does nothing
    EXPECT_EQ(events.size(), expected.size());
}

TEST_F(StartSequenceTest, APortThatStaysClosedIsLoggedAndTheStartGoesOn)
{
    // COM5's device does not exist; COM7 is fine and comes after it in the file.
    hub.addDevice(ComPortManager::defaultDeviceForPort(7));
    writeComportCfg("[COM5]\r\nident=5\r\nactiv=1\r\nstatus=1\r\n[COM7]\r\nident=7\r\nactiv=1\r\n");
    writeGateway(kUidA, QStringLiteral("Relay North"), QStringLiteral("True"));

    auto s = make();
    s->shown();
    EXPECT_FALSE(ports.COMPortIsOpen(5));
    EXPECT_TRUE(ports.COMPortIsOpen(7));
    runToEnd(*s);
    const QStringList expected{
        QStringLiteral("info| -> starting"),
        QStringLiteral("ok| -> open COM-Port... [ COM5 ]"),
        QStringLiteral("ok| -> open COM-Port... [ COM7 ]"),
        QStringLiteral("error| -> ERROR... [ COM5 ") + ComPortManager::defaultDeviceForPort(5) + QStringLiteral(" ]"),
        QStringLiteral("status|COM5 10/10"), // shows its grey lamps: the operator sees it is closed
        QStringLiteral("ok| -> Gateway start... [ Relay North ]"),
        QStringLiteral("open|") + kUidA + QStringLiteral(".rdk Relay North port3=closed"),
        QStringLiteral("info| -> Done"),
        QStringLiteral("close"),
    };
    EXPECT_EQ(events, expected);
}

TEST_F(StartSequenceTest, APortTheUserMayNotOpenSaysHowToFixIt)
{
    hub.addDevice(ComPortManager::defaultDeviceForPort(33));
    hub.setDenied(ComPortManager::defaultDeviceForPort(33), true);
    writeComportCfg("[COM33]\r\nident=33\r\nactiv=1\r\n");
    auto s = make();
    s->shown();
    EXPECT_FALSE(ports.COMPortIsOpen(33));
    EXPECT_TRUE(events.contains(
        QStringLiteral("error| -> no permission for /dev/ttyUSB0: add the user to the dialout group and log in again")))
        << events.join('\n').toStdString();
}

TEST_F(StartSequenceTest, FilesThatCannotBeUsedArePassedOverAndTheStartFinishes)
{
    writeGateway(kUidB, QStringLiteral("Relay Good"), QStringLiteral("true"));
    writeRaw(QStringLiteral("a-broken.rdk"), "this is %% not base64 !!");
    SettingsList noUid;
    noUid.setValue(QStringLiteral("gateName"), QStringLiteral("Nameless"));
    noUid.setBool(QStringLiteral("gateAutorun"), true);
    ASSERT_TRUE(SaveSettingsFile(QDir(cfg).filePath(QStringLiteral("b-nouid.rdk")), noUid));
    writeRaw(QStringLiteral("c-vanishes.rdk"), "");
    QDir().mkpath(QDir(cfg).filePath(QStringLiteral("d-folder.rdk"))); // a directory is no gateway file
    writeRaw(QStringLiteral("notes.txt"), "x");

    auto s = make();
    EXPECT_EQ(s->gateFiles(), (QStringList{QStringLiteral("a-broken.rdk"), QStringLiteral("b-nouid.rdk"),
                                           QStringLiteral("c-vanishes.rdk"), kUidB + QStringLiteral(".rdk")}));
    QFile::remove(QDir(cfg).filePath(QStringLiteral("c-vanishes.rdk"))); // gone between listing and reading
    s->shown();                                                          // no comport.cfg: no ports, no lines
    EXPECT_EQ(runToEnd(*s), (QList<int>{2000, 150, 150, 150, 2000, 2000}));
    const QStringList expected{
        QStringLiteral("info| -> starting"),
        QStringLiteral("error| -> Failde to load the config file [ a-broken.rdk ]"),
        QStringLiteral("error| -> Failde to load the config file [ b-nouid.rdk ]"),
        QStringLiteral("ok| -> Gateway start... [ Relay Good ]"),
        QStringLiteral("open|") + kUidB + QStringLiteral(".rdk Relay Good port3=closed"),
        QStringLiteral("info| -> Done"),
        QStringLiteral("close"),
    };
    EXPECT_EQ(events, expected);
}

TEST_F(StartSequenceTest, AGatewayAlreadyOpenedByHandIsNotOpenedTwice)
{
    writeGateway(kUidA, QStringLiteral("Relay North"), QStringLiteral("True"));
    active << kUidA;
    auto s = make();
    s->shown();
    EXPECT_EQ(runToEnd(*s), (QList<int>{2000, 150, 2000}));
    EXPECT_EQ(events.filter(QStringLiteral("open|")), QStringList());
    EXPECT_TRUE(events.contains(QStringLiteral("info| -> The Gateway is already started [ Relay North ]")));
}

TEST_F(StartSequenceTest, WithoutGatewaysItSaysDoneAfterTwoSecondsAndCloses)
{
    auto s = make();
    s->shown();
    EXPECT_EQ(runToEnd(*s), (QList<int>{2000, 2000}));
    EXPECT_EQ(events, (QStringList{QStringLiteral("info| -> starting"), QStringLiteral("info| -> Done"),
                                   QStringLiteral("close")}));
}

} // namespace
