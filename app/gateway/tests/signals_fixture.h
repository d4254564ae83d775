// Fixture of the tone signal, beacon and DTMF tests: a real GatewayEngine (its signal and
// DTMF code are what is tested), a recording link, a fake serial port manager, a stepped
// clock, a local player that records what it was asked to play, and a DTMF capture the
// test controls.
#pragma once
#include "app/audio/tones.h"
#include "app/gateway/gatewaydtmfinput.h"
#include "app/gateway/gatewaytones.h"
#include "app/gateway/tests/gatewayfixture.h"

#include <QFile>

// What the fake local players were asked to do; a test switches `playing` off to end a
// playback.
struct PlayerLog {
    QStringList played; // "file device volume"
    bool playing = true;
};

class FakeLocalPlayer final : public GatewayLocalPlayer {
public:
    explicit FakeLocalPlayer(PlayerLog& log) : m_log(log) {}
    bool play(const QString& file, int device, int volume) override
    {
        m_log.played << QStringLiteral("%1 %2 %3").arg(file).arg(device).arg(volume);
        m_started = true;
        return true;
    }
    bool isPlaying() const override { return m_started && m_log.playing; }

private:
    PlayerLog& m_log;
    bool m_started = false;
};

// A capture that starts at once and hands the consumer to the test.
class FakeCapture final : public DtmfCapture {
public:
    bool start(rdaudio::AudioConsumer* c) override
    {
        consumer = c;
        return startResult;
    }
    void stop() override { consumer = nullptr; }
    rdaudio::AudioConsumer* consumer = nullptr;
    bool startResult = true;
};

class SignalsTest : public ::testing::Test {
public:
    void SetUp() override
    {
        SetAppLang(QStringLiteral("en_US"));
        ASSERT_TRUE(dir.isValid());
        host = std::make_unique<FakeHost>(dir.path());
        host->openPorts.insert(1);
        QDir(dir.path()).mkpath(QStringLiteral("tmp"));
        QDir(dir.path()).mkpath(QStringLiteral("sound/en_US"));
        settings = GatewayTest::baseSettings();
        SetLocalPlayerFactory([this] { return std::make_unique<FakeLocalPlayer>(players); });
        SetDtmfCaptureFactory([this](int device) {
            captureDevices << device;
            auto c = std::make_unique<FakeCapture>();
            c->startResult = captureOpens;
            capture = c.get();
            return c;
        });
    }
    void TearDown() override
    {
        engine.reset();
        SetLocalPlayerFactory({});
        SetDtmfCaptureFactory({});
    }

    QString path(const QString& rel) const { return dir.path() + QLatin1Char('/') + rel; }
    QString gatewayFile() const { return path(QLatin1String(GatewayTest::kUid) + QStringLiteral(".rdk")); }

    // A short tone file (ms long) at a path below the test folder.
    QString makeWave(const QString& rel, int ms)
    {
        const QString p = path(rel);
        EXPECT_TRUE(rdaudio::RenderTone(800, ms, 40, QFile::encodeName(p).toStdString(), true).ok());
        return p;
    }

    void set(std::initializer_list<std::pair<const char*, QString>> values)
    {
        for (const auto& [k, v] : values)
            settings.setValue(QLatin1String(k), v);
    }

    void open()
    {
        ASSERT_TRUE(SaveSettingsFile(gatewayFile(), settings));
        engine = std::make_unique<GatewayEngine>(link, *host, clock);
        SettingsList params;
        params.setValue(QStringLiteral("CFG_FILE"), gatewayFile());
        ASSERT_TRUE(engine->StarteForm(params));
        link.take();
    }

    void connect(int handler = 3)
    {
        SettingsList reply;
        reply.setValue(QStringLiteral("gateUID"), QLatin1String(GatewayTest::kUid));
        reply.setInt(QStringLiteral("scHandler"), handler);
        engine->ParseIncomingTS3Data(QStringLiteral("GW_CONNECT"), reply);
        SettingsList c;
        c.setInt(QStringLiteral("scHandler"), handler);
        c.setValue(QStringLiteral("status"), QStringLiteral("4"));
        engine->ParseIncomingTS3Data(QStringLiteral("CONNECT"), c);
        ASSERT_TRUE(engine->TS3_IstConnected());
        link.take();
    }

    void line(const char* command, std::initializer_list<const char*> entries)
    {
        engine->ParseIncomingTS3Data(QString::fromUtf8(command), items(entries));
    }

    void ticks(int n)
    {
        for (int i = 0; i < n; ++i) {
            clock.advance(100);
            engine->relayTick();
        }
    }
    void dtmfTicks(int n)
    {
        for (int i = 0; i < n; ++i) {
            clock.advance(250);
            engine->DTMFTimerTick();
        }
    }
    void keys(const char* digits)
    {
        for (const char* p = digits; *p; ++p)
            engine->OnDigit(QLatin1Char(*p));
    }

    // Lines sent since the last take() that start with the command word.
    QStringList sent(const QString& command)
    {
        QStringList out;
        for (const QString& l : link.take())
            if (l.startsWith(command + QLatin1Char(' ')))
                out << l;
        return out;
    }

    bool radioKeyed() const { return host->held(1, QStringLiteral("RTS")); }

    QTemporaryDir dir;
    ManualClock clock;
    RecordingSender link;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<GatewayEngine> engine;
    SettingsList settings;
    PlayerLog players;
    QList<int> captureDevices;
    FakeCapture* capture = nullptr;
    bool captureOpens = true;
};
