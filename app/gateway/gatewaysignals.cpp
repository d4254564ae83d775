// Tone signals, the beacon and wave announcements of a gateway.
//
// Every signal is rendered anew into its own file in the temporary folder (one file per
// server connection, so gateways never overwrite each other's signals) and handed to the
// plugin with PLAYWAVE; the plugin's WAVEPLAYER answer then keeps the radio keyed for the
// announced length. Announcements go the same way while the TeamSpeak connection is up
// and to a local output device while it is down.
#include "app/gateway/gatewayengine.h"

#include "app/audio/tones.h"
#include "app/config/gatewaykeys.h"
#include "app/config/texts.h"
#include "app/gateway/gatewaynames.h"
#include "app/gateway/gatewaytones.h"
#include "link/qt/linkqt.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::string nativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The design-driven beeps differ only in their keys, rolls and file.
struct BeepKind {
    const QString& switchKey;
    const QString& designKey;
    const QString& volumeKey;
    const char* fileStem;
    // Pre- and post-roll: a fixed length in ms, or (key != nullptr) a count of 100 ms
    // taken from that setting.
    int preMs;
    const QString* preKey;
    int postMs;
    const QString* postKey;
};

const BeepKind kRoger{
    gwkey::HF_ROGER_BEEP,    gwkey::HF_ROGER_DATA, gwkey::HF_ROGER_VOLUME, "_ROGER[", 0, &gwkey::HF_WAVE_VORLAUF, 0,
    &gwkey::HF_WAVE_NACHLAUF};
const BeepKind kRxEnd{
    gwkey::HF_RXEND_BEEP, gwkey::HF_RXEND_DATA, gwkey::HF_RXEND_VOLUME, "_RXEND[", 50, nullptr, 50, nullptr};
const BeepKind kRxStart{
    gwkey::HF_RXSTART_BEEP, gwkey::HF_RXSTART_DATA, gwkey::HF_RXSTART_VOLUME, "_RXSTART[", 50, nullptr, 50, nullptr};
const BeepKind kRxInfo{
    gwkey::HF_RXINFO_BEEP,   gwkey::HF_RXINFO_DATA, gwkey::HF_RXINFO_VOLUME, "_RXINFO[", 100, nullptr, 0,
    &gwkey::HF_WAVE_NACHLAUF};

// The length of a roll in ms, false when its setting is not a number (the signal is then
// not sent at all rather than sent with a guessed length).
bool rollMs(const SettingsList& d, int fixedMs, const QString* key, int& out)
{
    if (!key) {
        out = fixedMs;
        return true;
    }
    const QString v = d.value(*key);
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
    e.send(QStringLiteral("PLAYWAVE"), e.scHandlerItem() + QStringLiteral(" level=") +
                                           QString::number(e.relay().WAVE_LV_IST) + QStringLiteral(" file=") +
                                           LinkEscape(file) + QStringLiteral(" len=") + QString::number(len));
}

void playBeep(GatewayEngine& e, const BeepKind& k)
{
    const SettingsList& d = e.DATARRAY;
    if (e.TS3_scHandlerID() <= 0 || !d.boolValue(k.switchKey))
        return;
    int pre = 0;
    int post = 0;
    if (!rollMs(d, k.preMs, k.preKey, pre) || !rollMs(d, k.postMs, k.postKey, post))
        return;
    const BeepArrays a =
        ReadBeepDesign(e.host().configFolder() + QStringLiteral("rogerbeep.cfg"), d.value(k.designKey), pre, post);
    const int volume = d.intValue(k.volumeKey, 50);
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

void GatewayEngine::PlayRogerBeep()
{
    playBeep(*this, kRoger);
}
void GatewayEngine::PlayRxInfoBeep()
{
    playBeep(*this, kRxInfo);
}
void GatewayEngine::PlayRxStartBeep()
{
    playBeep(*this, kRxStart);
}
void GatewayEngine::PlayRxEndBeep()
{
    playBeep(*this, kRxEnd);
}

void GatewayEngine::PlayCallTone()
{
    const SettingsList& d = DATARRAY;
    if (m_scHandlerID <= 0 || !d.boolValue(gwkey::REM_CALL_ON))
        return;
    const QString file = signalFile(*this, "_CALL[");
    const rdaudio::RenderResult r =
        rdaudio::RenderTone(d.intValue(gwkey::HF_CALL_FREQ, 1750), d.intValue(gwkey::HF_CALL_LENG, 3000),
                            d.intValue(gwkey::HF_CALL_VOLU, 50), nativePath(file), true);
    if (!r.ok())
        WriteLog(QString::fromStdString(r.message), GwColor::Red); // an older file stays off the air
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
        const QString level =
            d.value(reduced && !SPEAKERS.isEmpty() ? gwkey::WAVE_REDUZIERUNG : gwkey::AUDIO_WAVE_VOLUME);
        const int len = rdaudio::WavePlayTicks(nativePath(file), d.intValue(gwkey::HF_TX_DELAY, 1),
                                               d.intValue(gwkey::HF_WAVE_VORLAUF, 1));
        send(QStringLiteral("PLAYWAVE"), scHandlerItem() + QStringLiteral(" level=") + LinkEscape(level) +
                                             QStringLiteral(" file=") + LinkEscape(file) + QStringLiteral(" len=") +
                                             QString::number(len));
        m_relay.WAVE_LV_IST = StrToIntDef(level, -20);
        return;
    }
    // Offline: the radio still hears it, from a sound card of this PC.
    OFFWAV.reset();
    std::shared_ptr<GatewayLocalPlayer> player(MakeLocalPlayer());
    if (player)
        player->play(file, d.intValue(gwkey::HF_OFFLINE_DEVICE, 0), d.intValue(gwkey::HF_OFFLINE_VOLUME, 100));
    OFFWAV = std::move(player);
    SPEAKERS.setValue(hold::HF_WAVE_PLAY, QStringLiteral("-1"));
}

void GatewayEngine::WavePlayUpkeep()
{
    if (!OFFWAV) {
        SPEAKERS.remove(hold::HF_WAVE_PLAY);
        return;
    }
    if (OFFWAV->isPlaying()) {
        SPEAKERS.setValue(hold::HF_WAVE_PLAY, QStringLiteral("-1"));
    } else if (SPEAKERS.contains(hold::HF_WAVE_PLAY) && StrToIntDef(SPEAKERS.value(hold::HF_WAVE_PLAY), 0) < 0) {
        // The hold countdown removes it on this tick, releasing the radio.
        SPEAKERS.setValue(hold::HF_WAVE_PLAY, QStringLiteral("0"));
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
    SPEAKERS.remove(hold::HF_WAVE_PLAY);
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
    PlayAnnouncement(d.value(gwkey::HF_BAKE_FILE), true);
    const QString time = d.value(gwkey::HF_BAKE_TIME);
    // Without a usable interval the beacon goes idle instead of firing on every tick.
    m_beacon.BAKE_WAIT = IsInteger(time) ? StrToIntDef(time, 0) * 10 : -1;
    m_beacon.BAKE_TX_COUNT = 0;
    m_beacon.BAKE_RX_COUNT = 0;
}

// A beacon after so many overs in either direction (5 or more): once reached, the beacon
// goes out at the next tick.
void GatewayEngine::beaconCountRule(bool on)
{
    const int afterTx = tickSettings().beaconAfterTx;
    const int afterRx = tickSettings().beaconAfterRx;
    if (!on || (afterTx < 5 && afterRx < 5))
        return;
    if (m_beacon.WAR_TS3_RX) {
        m_beacon.WAR_TS3_RX = false;
        m_beacon.BAKE_RX_COUNT += 1;
    }
    if ((afterTx >= 5 && m_beacon.BAKE_TX_COUNT >= afterTx) || (afterRx >= 5 && m_beacon.BAKE_RX_COUNT >= afterRx)) {
        m_beacon.BAKE_TX_COUNT = 0;
        m_beacon.BAKE_RX_COUNT = 0;
        m_beacon.BAKE_WAIT = 1;
    }
}

void GatewayEngine::BeaconTick()
{
    const SettingsList& d = DATARRAY;
    const bool on = tickSettings().beaconOn;
    auto setLine = [this](const QString& text) {
        if (m_display.beaconLine != text) {
            m_display.beaconLine = text;
            changed();
        }
    };

    beaconCountRule(on);

    // Countdown.
    if (m_beacon.BAKE_WAIT <= -1) {
        const QString file = tickSettings().beaconFile;
        const QString time = tickSettings().beaconTime;
        if (on && !file.isEmpty() && QFileInfo::exists(file)) {
            if (IsInteger(time))
                m_beacon.BAKE_WAIT = StrToIntDef(time, 0) * 10;
        } else if (!on && m_beacon.BAKE_WAIT != -1) {
            m_beacon.BAKE_WAIT = -1;
            setLine(beaconOff());
        }
        return;
    }
    if (!on) {
        m_beacon.BAKE_WAIT = -1;
        setLine(beaconOff());
        return;
    }
    if (!SPEAKERS.contains(hold::HF_WAVE_PLAY))
        setLine(QStringLiteral("[*] ") + text("0144") + QLatin1Char(' ') + QString::number(m_beacon.BAKE_WAIT / 10) +
                QLatin1Char(' ') + text("0145"));
    if (m_beacon.BAKE_WAIT <= 0) {
        setLine(QStringLiteral("[+] ") + text("0146"));
        SendBeacon();
    } else if (m_beacon.BAKE_WAIT > 50) {
        --m_beacon.BAKE_WAIT;
    } else {
        // The last five seconds run only while nobody talks.
        const bool busy =
            (d.boolValue(gwkey::HF_BAKE_WAIT) && !SPEAKERS.isEmpty()) || m_relay.TS_TX_STATUS || m_relay.TS_RX_STATUS;
        if (busy)
            m_beacon.BAKE_WAIT = 50;
        else
            --m_beacon.BAKE_WAIT;
    }
}
