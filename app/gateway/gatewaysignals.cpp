// Tone signals, the beacon and wave announcements of a gateway.
//
// Every signal is rendered anew into its own file in the temporary folder (one file per
// server connection, so gateways never overwrite each other's signals) and handed to the
// plugin with PLAYWAVE; the plugin's WAVEPLAYER answer then keeps the radio keyed for the
// announced length. Announcements go the same way while the TeamSpeak connection is up
// and to a local output device while it is down.
#include "app/gateway/gatewayengine.h"

#include "app/audio/tones.h"
#include "app/config/texts.h"
#include "app/gateway/gatewaytones.h"
#include "app/gateway/gatewaywire.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kWavePlay = QStringLiteral("HF-WAVE-PLAY");

std::string nativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The design-driven beeps differ only in their keys, rolls and file.
struct BeepKind {
    const char* switchKey;
    const char* designKey;
    const char* volumeKey;
    const char* fileStem;
    // Pre- and post-roll: a fixed length in ms, or (key != nullptr) a count of 100 ms
    // taken from that setting.
    int preMs;
    const char* preKey;
    int postMs;
    const char* postKey;
};

const BeepKind kRoger{"HF-ROGER-BEEP", "HF-ROGER-DATA", "HF-ROGER-VOLUME", "_ROGER[", 0, "HF-WAVE-VORLAUF", 0, "HF-WAVE-NACHLAUF"};
const BeepKind kRxEnd{"HF-RXEND-BEEP", "HF-RXEND-DATA", "HF-RXEND-VOLUME", "_RXEND[", 50, nullptr, 50, nullptr};
const BeepKind kRxStart{"HF-RXSTART-BEEP", "HF-RXSTART-DATA", "HF-RXSTART-VOLUME", "_RXSTART[", 50, nullptr, 50, nullptr};
const BeepKind kRxInfo{"HF-RXINFO-BEEP", "HF-RXINFO-DATA", "HF-RXINFO-VOLUME", "_RXINFO[", 100, nullptr, 0, "HF-WAVE-NACHLAUF"};

// The length of a roll in ms, false when its setting is not a number (the signal is then
// not sent at all rather than sent with a guessed length).
bool rollMs(const SettingsList& d, int fixedMs, const char* key, int& out)
{
    if (!key) {
        out = fixedMs;
        return true;
    }
    const QString v = d.value(QLatin1String(key));
    if (!IsInteger(v))
        return false;
    out = StrToIntDef(v, 0) * 100;
    return true;
}

QString signalFile(GatewayEngine& e, const char* stem)
{
    return e.host().tempFolder() + QLatin1String(stem) + QString::number(e.TS3_scHandlerID()) + QStringLiteral("].wav");
}

// PLAYWAVE for a rendered signal: level = the level last sent, len = the wave's tenths + 1.
void playSignalFile(GatewayEngine& e, const QString& file)
{
    if (!QFileInfo::exists(file))
        return;
    const int len = rdaudio::WavePlayTicks(nativePath(file), 0, 1);
    e.send(QStringLiteral("PLAYWAVE"), e.scHandlerItem() + QStringLiteral(" level=") + QString::number(e.WAVE_LV_IST) +
                                           QStringLiteral(" file=") + LinkEscape(file) + QStringLiteral(" len=") +
                                           QString::number(len));
}

void playBeep(GatewayEngine& e, const BeepKind& k)
{
    const SettingsList& d = e.DATARRAY;
    if (e.TS3_scHandlerID() <= 0 || !d.boolValue(QLatin1String(k.switchKey)))
        return;
    int pre = 0;
    int post = 0;
    if (!rollMs(d, k.preMs, k.preKey, pre) || !rollMs(d, k.postMs, k.postKey, post))
        return;
    const BeepArrays a = ReadBeepDesign(e.host().configFolder() + QStringLiteral("rogerbeep.cfg"),
                                        d.value(QLatin1String(k.designKey)), pre, post);
    const int volume = d.intValue(QLatin1String(k.volumeKey), 50);
    const QString file = signalFile(e, k.fileStem);
    const rdaudio::RenderResult r = rdaudio::RenderToneSequence(a.frequencies, a.durations, volume, nativePath(file));
    // A file left from an earlier render must not go on the air in place of this one.
    if (!r.ok()) {
        e.WriteLog(QString::fromStdString(r.message), GwColor::Red);
        return;
    }
    playSignalFile(e, file);
}

} // namespace

void GatewayEngine::PlayRogerBeep() { playBeep(*this, kRoger); }
void GatewayEngine::PlayRxInfoBeep() { playBeep(*this, kRxInfo); }
void GatewayEngine::PlayRxStartBeep() { playBeep(*this, kRxStart); }
void GatewayEngine::PlayRxEndBeep() { playBeep(*this, kRxEnd); }

void GatewayEngine::PlayCallTone()
{
    const SettingsList& d = DATARRAY;
    if (m_scHandlerID <= 0 || !d.boolValue(QStringLiteral("REM-CALL-ON")))
        return;
    const QString file = signalFile(*this, "_CALL[");
    const rdaudio::RenderResult r =
        rdaudio::RenderTone(d.intValue(QStringLiteral("HF-CALL-FREQ"), 1750), d.intValue(QStringLiteral("HF-CALL-LENG"), 3000),
                            d.intValue(QStringLiteral("HF-CALL-VOLU"), 50), nativePath(file), true);
    if (!r.ok())
        WriteLog(QString::fromStdString(r.message), GwColor::Red);   // an older file stays off the air
    else
        playSignalFile(*this, file);
    flushDisplay();
}

// ---------------------------------------------------------------------------------------
// Announcements

void GatewayEngine::PlayAnnouncement(const QString& file, bool reduced)
{
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    const SettingsList& d = DATARRAY;
    if (m_connected && m_scHandlerID > 0) {
        // Under a voice that is being relayed the wave goes out at the reduced level.
        const QString level = d.value(reduced && !SPEAKERS.isEmpty() ? QStringLiteral("WAVE-REDUZIERUNG")
                                                                     : QStringLiteral("AUDIO-WAVE-VOLUME"));
        const int len = rdaudio::WavePlayTicks(nativePath(file), d.intValue(QStringLiteral("HF-TX-DELAY"), 1),
                                               d.intValue(QStringLiteral("HF-WAVE-VORLAUF"), 1));
        send(QStringLiteral("PLAYWAVE"), scHandlerItem() + QStringLiteral(" level=") + LinkEscape(level) +
                                             QStringLiteral(" file=") + LinkEscape(file) + QStringLiteral(" len=") +
                                             QString::number(len));
        WAVE_LV_IST = StrToIntDef(level, -20);
        return;
    }
    // Offline: the radio still hears it, from a sound card of this PC.
    OFFWAV.reset();
    std::shared_ptr<GatewayLocalPlayer> player(MakeLocalPlayer());
    if (player)
        player->play(file, d.intValue(QStringLiteral("HF-OFFLINE-DEVICE"), 0), d.intValue(QStringLiteral("HF-OFFLINE-VOLUME"), 100));
    OFFWAV = std::move(player);
    SPEAKERS.setValue(kWavePlay, QStringLiteral("-1"));
}

void GatewayEngine::WavePlayUpkeep()
{
    if (!OFFWAV) {
        SPEAKERS.remove(kWavePlay);
        return;
    }
    if (OFFWAV->isPlaying()) {
        SPEAKERS.setValue(kWavePlay, QStringLiteral("-1"));
    } else if (SPEAKERS.contains(kWavePlay) && StrToIntDef(SPEAKERS.value(kWavePlay), 0) < 0) {
        // The hold countdown removes it on this tick, releasing the radio.
        SPEAKERS.setValue(kWavePlay, QStringLiteral("0"));
    }
}

void GatewayEngine::PrepareLocalPlayer()
{
    // The player is made for each offline announcement; until the first one there is none.
    OFFWAV.reset();
}

void GatewayEngine::ReleaseLocalPlayer()
{
    OFFWAV.reset();
    SPEAKERS.remove(kWavePlay);
}

// ---------------------------------------------------------------------------------------
// Beacon

namespace {
QString beaconOff()
{
    return QStringLiteral("[X] ") + GetText(QStringLiteral("0120"));
}
} // namespace

void GatewayEngine::SendBeacon()
{
    const SettingsList& d = DATARRAY;
    PlayAnnouncement(d.value(QStringLiteral("HF-BAKE-FILE")), true);
    const QString time = d.value(QStringLiteral("HF-BAKE-TIME"));
    // Without a usable interval the beacon goes idle instead of firing on every tick.
    BAKE_WAIT = IsInteger(time) ? StrToIntDef(time, 0) * 10 : -1;
    BAKE_TX_COUNT = 0;
    BAKE_RX_COUNT = 0;
}

void GatewayEngine::BeaconTick()
{
    const SettingsList& d = DATARRAY;
    const bool on = d.boolValue(QStringLiteral("HF-BAKE-ON"));
    const int afterTx = d.intValue(QStringLiteral("HF-BAKE-AFTX"), 0);
    const int afterRx = d.intValue(QStringLiteral("HF-BAKE-AFRX"), 0);
    auto setLine = [this](const QString& text) {
        if (m_display.beaconLine != text) {
            m_display.beaconLine = text;
            changed();
        }
    };

    // Count rules: a beacon after so many overs in either direction (5 or more).
    if (on && (afterTx >= 5 || afterRx >= 5)) {
        if (WAR_TS3_RX) {
            WAR_TS3_RX = false;
            BAKE_RX_COUNT += 1;
        }
        if ((afterTx >= 5 && BAKE_TX_COUNT >= afterTx) || (afterRx >= 5 && BAKE_RX_COUNT >= afterRx)) {
            BAKE_TX_COUNT = 0;
            BAKE_RX_COUNT = 0;
            BAKE_WAIT = 1;
        }
    }

    // Countdown.
    if (BAKE_WAIT <= -1) {
        const QString file = d.value(QStringLiteral("HF-BAKE-FILE"));
        const QString time = d.value(QStringLiteral("HF-BAKE-TIME"));
        if (on && !file.isEmpty() && QFileInfo::exists(file)) {
            if (IsInteger(time))
                BAKE_WAIT = StrToIntDef(time, 0) * 10;
        } else if (!on && BAKE_WAIT != -1) {
            BAKE_WAIT = -1;
            setLine(beaconOff());
        }
        return;
    }
    if (!on) {
        BAKE_WAIT = -1;
        setLine(beaconOff());
        return;
    }
    if (!SPEAKERS.contains(kWavePlay))
        setLine(QStringLiteral("[*] ") + text("0144") + QLatin1Char(' ') + QString::number(BAKE_WAIT / 10) +
                QLatin1Char(' ') + text("0145"));
    if (BAKE_WAIT <= 0) {
        setLine(QStringLiteral("[+] ") + text("0146"));
        SendBeacon();
    } else if (BAKE_WAIT > 50) {
        --BAKE_WAIT;
    } else {
        // The last five seconds run only while nobody talks.
        const bool busy = (d.boolValue(QStringLiteral("HF-BAKE-WAIT")) && !SPEAKERS.isEmpty()) || TS_TX_STATUS || TS_RX_STATUS;
        if (busy)
            BAKE_WAIT = 50;
        else
            --BAKE_WAIT;
    }
}
