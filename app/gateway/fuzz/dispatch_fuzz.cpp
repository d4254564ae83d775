// libFuzzer target: the gateway engine's handling of incoming lines, in any order and
// mixed with its ticks, squelch changes, DTMF digits, window actions and settings
// changes. Each input opens a fresh gateway from its file (the first two bytes switch
// optional features on), connects it unless the input starts with '!', and then runs one
// step per line:
//   \x01 n  n+1 relay ticks (100 ms each)     \x02     one-second tick
//   \x03    ping tick                         \x04     blink tick
//   \x05 c  DTMF digit c                      \x06 b   squelch input open (b odd) or closed
//   \x07 ..  settings change NAME=VALUE        \x08/\x09 radio lamp pressed/released
//   \x0B    lost connection                   \x0C     reset
//   \x0E b  window button b                   other    a link line "CMD key=value ..."
// Checks: no crash or sanitizer report, no exception out of the engine, and once the
// gateway window has closed no serial output is held by anyone.
#include "app/gateway/tests/gatewayfixture.h"
#include "app/session/linksession.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The real engine without the parts that reach sound devices or the network.
class FuzzEngine : public GatewayEngine {
public:
    using GatewayEngine::GatewayEngine;
    void OpenDtmf() override {}
    void CloseDtmf() override {}
    void PrepareLocalPlayer() override {}
    void ReleaseLocalPlayer() override {}
    void DirectoryRequest(const QString&, const SettingsList&) override {}
    void StartDirectoryChecks() override {}
};

const char* const kSwitches[] = {"COM-IN-ON",         "HF-ROGER-BEEP", "TS3-TX-MAX-ON",  "HF-TX-MAX-ON",
                                 "COM-OUT-TX-ON",     "HF-BAKE-ON",    "TS3-CMDR-ON-RX", "TS3-DOPPEL-RX",
                                 "TS3-MOVING-CLIENT", "REM-DTMF-ON",   "COM-OUT-INVERT", "COM-IN-INVERT",
                                 "HF-BAKE-CALL",      "AUTO-AUS-ON",   "REM-TRX-ON",     "TS3-CMDR-ON-TX"};

std::unique_ptr<QTemporaryDir> g_dir; // removed when the fuzzer exits
const QString kUid = QLatin1String(GatewayTest::kUid);

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    SetAppLang(QStringLiteral("en_US"));
    g_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/rd-fuzz-dispatch-XXXXXX"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = g_dir->path();
    for (const QString& f : QDir(folder).entryList(QDir::Files))
        QFile::remove(folder + QLatin1Char('/') + f);

    SettingsList settings = GatewayTest::baseSettings();
    size_t pos = 0;
    if (size >= 2) {
        const unsigned mask = data[0] | (unsigned(data[1]) << 8);
        for (unsigned i = 0; i < 16; ++i)
            if (mask & (1u << i))
                settings.setValue(QLatin1String(kSwitches[i]), settings.boolValue(QLatin1String(kSwitches[i]))
                                                                   ? QStringLiteral("False")
                                                                   : QStringLiteral("True"));
        settings.setValue(QStringLiteral("COM-OUT-TX-NUM"), QStringLiteral("1"));
        pos = 2;
    }
    const QString file = folder + QLatin1Char('/') + kUid + QStringLiteral(".rdk");
    if (!SaveSettingsFile(file, settings))
        std::abort();

    FakeHost host(folder);
    host.openPorts.insert(1);
    RecordingSender link;
    ManualClock clock;
    FuzzEngine engine(link, host, clock);
    SettingsList params;
    params.setValue(QStringLiteral("CFG_FILE"), file);
    if (!engine.StarteForm(params))
        return 0;

    const bool connect = !(pos < size && data[pos] == '!');
    if (connect) {
        engine.ParseIncomingTS3Data(QStringLiteral("GW_START"),
                                    items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"}));
        engine.ParseIncomingTS3Data(QStringLiteral("GW_CONNECT"),
                                    items({"gateUID={0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "scHandler=3"}));
        engine.ParseIncomingTS3Data(QStringLiteral("CONNECT"), items({"scHandler=3", "status=4"}));
    }

    const char* p = reinterpret_cast<const char*>(data) + pos;
    const char* end = reinterpret_cast<const char*>(data) + size;
    while (p < end) {
        const char* stop = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!stop)
            stop = end;
        const QByteArray line(p, stop - p);
        p = stop + 1;
        if (line.isEmpty())
            continue;
        const unsigned char op = static_cast<unsigned char>(line[0]);
        const unsigned char arg = line.size() > 1 ? static_cast<unsigned char>(line[1]) : 0;
        switch (op) {
        case 0x01:
            for (int i = 0; i <= (arg & 63); ++i) {
                clock.advance(100);
                engine.relayTick();
            }
            break;
        case 0x02:
            clock.advance(1000);
            engine.secondTick();
            break;
        case 0x03:
            engine.pingTick();
            break;
        case 0x04:
            engine.blinkTick();
            break;
        case 0x05:
            engine.OnDigit(QChar::fromLatin1(char(arg)));
            break;
        case 0x06:
            host.setInput(1, QStringLiteral("DSR"), arg & 1);
            break;
        case 0x07: {
            SettingsList changed = engine.DATARRAY;
            const QString entry = QString::fromLatin1(line.mid(1));
            const int eq = entry.indexOf(QLatin1Char('='));
            if (eq > 0)
                changed.setValue(entry.left(eq), entry.mid(eq + 1));
            engine.WriteConfig(changed);
            break;
        }
        case 0x08:
            engine.radioLampPressed();
            break;
        case 0x09:
            engine.radioLampReleased();
            break;
        case 0x0B:
            engine.TS3_Disconnect();
            break;
        case 0x0C:
            engine.ResetGateway();
            break;
        case 0x0E:
            switch (arg % 6) {
            case 0:
                engine.pressChannelCommander();
                break;
            case 1:
                engine.pressAway();
                break;
            case 2:
                engine.pressPlayback();
                break;
            case 3:
                engine.pressRecording();
                break;
            case 4:
                engine.releaseCallTone();
                break;
            default:
                engine.SendBeacon();
                break;
            }
            break;
        default: {
            const int blank = line.indexOf(' ');
            const QString command = QString::fromLatin1(blank < 0 ? line : line.left(blank));
            const QString rest = blank < 0 ? QString() : QString::fromLatin1(line.mid(blank + 1));
            engine.ParseIncomingTS3Data(command, LinkSession::splitItems(rest));
            break;
        }
        }
        link.lines.clear();
    }

    engine.BeendeForm(0);
    for (auto it = host.holders.cbegin(); it != host.holders.cend(); ++it)
        if (!it.value().isEmpty()) {
            std::fprintf(stderr, "%s still held by %s after the gateway stopped\n", qPrintable(it.key()),
                         qPrintable(QStringList(it.value().values()).join(QLatin1Char(','))));
            std::abort();
        }
    return 0;
}
