// Shared fixture of the gateway engine tests: a recording link, a fake serial port
// manager and dialogs, a stepped clock and an engine whose feature hooks are recorded.
#pragma once
#include "app/config/clock.h"
#include "app/config/globalfunct.h"
#include "app/config/texts.h"
#include "app/gateway/gatewayengine.h"

#include <QDir>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class RecordingSender : public LinkSender {
public:
    void SendToTS3(const QString& command, const QString& params) override
    {
        lines << (params.isEmpty() ? command : command + QLatin1Char(' ') + params);
    }
    QStringList take()
    {
        QStringList out = lines;
        lines.clear();
        return out;
    }
    QStringList lines;
};

class FakeHost : public GatewayHost {
public:
    explicit FakeHost(QString folder) : m_folder(std::move(folder)) {}

    bool COMPortIsOpen(int port) override { return openPorts.contains(port); }
    void SetCOMStatus(const QString& holder, int port, const QString& pin, bool on, bool invert) override
    {
        if (!openPorts.contains(port))
            return;
        const QString key = QStringLiteral("COM%1/%2").arg(port).arg(pin);
        if (on)
            holders[key].insert(holder);
        else
            holders[key].remove(holder);
        const bool high = holders[key].isEmpty() ? invert : !invert;
        if (!levels.contains(key) || levels[key] != high)
            edges[key] << high;
        levels[key] = high;
        ++writes;
    }
    bool GetCOMStatus(int port, const QString& pin, bool invert) override
    {
        if (!openPorts.contains(port))
            return invert;
        return inputs.value(QStringLiteral("COM%1/%2").arg(port).arg(pin)) != invert;
    }
    // The physical level of an output (true = high).
    bool level(int port, const QString& pin) const
    {
        return levels.value(QStringLiteral("COM%1/%2").arg(port).arg(pin));
    }
    bool held(int port, const QString& pin) const
    {
        return !holders.value(QStringLiteral("COM%1/%2").arg(port).arg(pin)).isEmpty();
    }
    void setInput(int port, const QString& pin, bool high)
    {
        inputs[QStringLiteral("COM%1/%2").arg(port).arg(pin)] = high;
    }
    QString COMPortLostDevice(int port) override { return lostDevices.value(port); }

    QString configFolder() const override { return m_folder + QLatin1Char('/'); }
    QString soundFolder() const override { return m_folder + QStringLiteral("/sound/"); }
    QString tempFolder() const override { return m_folder + QStringLiteral("/tmp/"); }
    QString appLang() const override { return QStringLiteral("en_US"); }
    SettingsList& appSettings() override { return m_app; }
    bool askYesNo(const QString& question) override
    {
        questions << question;
        return answerYes;
    }
    void showError(const QString& text) override { errors << text; }
    bool appIsClosing() const override { return closing; }

    QSet<int> openPorts;
    QMap<int, QString> lostDevices; // port -> device, while lost
    QMap<QString, QSet<QString>> holders;
    QMap<QString, bool> levels;
    QMap<QString, QList<bool>> edges; // every change of an output's level, in order
    QMap<QString, bool> inputs;
    int writes = 0;
    QStringList questions;
    QStringList errors;
    bool answerYes = true;
    bool closing = false;

private:
    QString m_folder;
    SettingsList m_app;
};

// Records the calls into features that live in their own files.
class ProbeEngine : public GatewayEngine {
public:
    using GatewayEngine::GatewayEngine;
    QStringList hooks;

public:
    void PlayRogerBeep() override { hooks << QStringLiteral("PlayRogerBeep"); }
    void PlayRxInfoBeep() override { hooks << QStringLiteral("PlayRxInfoBeep"); }
    void PlayRxStartBeep() override { hooks << QStringLiteral("PlayRxStartBeep"); }
    void PlayRxEndBeep() override { hooks << QStringLiteral("PlayRxEndBeep"); }
    void PlayCallTone() override { hooks << QStringLiteral("PlayCallTone"); }
    void PlayAnnouncement(const QString& file, bool reduced) override
    {
        hooks << QStringLiteral("PlayAnnouncement ") + file + (reduced ? QStringLiteral(" reduced") : QString());
    }
    void HandleRemoteCommand(const QString& cmd, const SettingsList&) override
    {
        hooks << QStringLiteral("Remote ") + cmd;
    }
    void DirectoryRequest(const QString& action, const SettingsList&) override { hooks << action; }
};

inline SettingsList items(std::initializer_list<const char*> entries)
{
    SettingsList l;
    for (const char* e : entries)
        l.lines() << QString::fromLatin1(e); // link values arrive as bytes
    return l;
}

class GatewayTest : public ::testing::Test {
public:
    static constexpr const char* kUid = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";

    void SetUp() override
    {
        m_lang = AppLang();
        SetAppLang(QStringLiteral("en_US"));
        ASSERT_TRUE(dir.isValid());
        host = std::make_unique<FakeHost>(dir.path());
        settings = baseSettings();
    }

    // A complete gateway as a new one is set up, with the values the tests lean on.
    static SettingsList baseSettings()
    {
        return items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}",
                      "gateName=Relais Nord",
                      "windowTPos=10",
                      "windowLPos=10",
                      "gateExitDlg=True",
                      "AUDIO-USER-VOLUME=0",
                      "AUDIO-WAVE-VOLUME=-20",
                      "WAVE-REDUZIERUNG=-40",
                      "TS3-CONNECT-TYPE=0",
                      "TS3-NICK=Relaydeck 4.0.x",
                      "TS3-INFO-TXT=Relaydeck 4.0.x",
                      "TS3-NICK-WRITE=True",
                      "TS3-HOST=voice.example.org",
                      "TS3-IDENTIS-PROF=Default",
                      "TS3-SND-IN-PROF=Default",
                      "TS3-SND-OUT-PROF=Default",
                      "TS3-CMDR-ON-ON=True",
                      "TS3-CMDR-ON-ACT=False",
                      "TS3-CMDR-ON-TX=False",
                      "TS3-CMDR-ON-RX=False",
                      "TS3-TX-VOX-LV=-10",
                      "TS3-VOX-DELAY=3",
                      "TS3-PTT-DELAY=3",
                      "TS3-RX-DELAY=3",
                      "TS3-MOVING-CLIENT=False",
                      "TS3-DOPPEL-RX=False",
                      "TS3-TX-MAX-ON=False",
                      "TS3-TX-MAXTIME=300",
                      "TS3-TX-MAXRESET=30",
                      "TS3-TX-PIN=VOX",
                      "COM-OUT-NUM=1",
                      "COM-OUT-ON=True",
                      "COM-OUT-PIN=RTS",
                      "COM-OUT-INVERT=False",
                      "COM-OUT-TX-NUM=0",
                      "COM-OUT-TX-ON=False",
                      "COM-OUT-TX-PIN=DTR",
                      "COM-OUT-TX-INVERT=False",
                      "COM-IN-NUM=1",
                      "COM-IN-ON=False",
                      "COM-IN-PIN=DSR",
                      "COM-IN-INVERT=False",
                      "HF-TX-MAX-ON=False",
                      "HF-TX-MAXTIME=300",
                      "HF-TX-MAXRESET=30",
                      "HF-ROGER-BEEP=False",
                      "HF-ROGER-WAIT=2"});
    }

    QString gatewayFile() const
    {
        return dir.path() + QStringLiteral("/") + QLatin1String(kUid) + QStringLiteral(".rdk");
    }

    // Writes the settings as the gateway file and opens the gateway from it.
    void open()
    {
        host->openPorts.insert(1);
        ASSERT_TRUE(SaveSettingsFile(gatewayFile(), settings));
        engine = std::make_unique<ProbeEngine>(link, *host, clock);
        SettingsList params;
        params.setValue(QStringLiteral("CFG_FILE"), gatewayFile());
        ASSERT_TRUE(engine->StarteForm(params));
    }

    // Runs the plugin's side of a connection: GW_START and GW_CONNECT replies, CONNECT 4.
    void connect(int handler = 3)
    {
        engine->ParseIncomingTS3Data(QStringLiteral("GW_START"),
                                     items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=0"}));
        SettingsList reply;
        reply.setValue(QStringLiteral("gateUID"), QLatin1String(kUid));
        reply.setInt(QStringLiteral("scHandler"), handler);
        engine->ParseIncomingTS3Data(QStringLiteral("GW_CONNECT"), reply);
        SettingsList c;
        c.setInt(QStringLiteral("scHandler"), handler);
        c.setValue(QStringLiteral("status"), QStringLiteral("4"));
        engine->ParseIncomingTS3Data(QStringLiteral("CONNECT"), c);
        ASSERT_TRUE(engine->TS3_IstConnected());
    }

    void line(const char* command, std::initializer_list<const char*> entries)
    {
        engine->ParseIncomingTS3Data(QString::fromUtf8(command), items(entries));
    }

    // Steps the relay tick n times (and the clock with it).
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i) {
            clock.advance(100);
            engine->relayTick();
        }
    }
    void seconds(int n)
    {
        for (int i = 0; i < n; ++i) {
            clock.advance(1000);
            engine->secondTick();
        }
    }

    void TearDown() override
    {
        engine.reset();
        SetAppLang(m_lang);
    }

    QString m_lang;
    QTemporaryDir dir;
    ManualClock clock;
    RecordingSender link;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<ProbeEngine> engine;
    SettingsList settings;
};
