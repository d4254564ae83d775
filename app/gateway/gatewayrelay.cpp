// The voice relay: TeamSpeak speech keys the radio, radio reception keys TeamSpeak, and
// each direction waits for the other.
#include "app/gateway/gatewayengine.h"

#include "app/config/texts.h"
#include "app/gateway/gatewaywire.h"

namespace {
const QString kRx = QStringLiteral("TS3-RX");
const QString kWavePlay = QStringLiteral("HF-TS3W-PLAY");
} // namespace

void GatewayEngine::relayTick()
{
    if (!runTimerActive())
        return;
    const SettingsList& d = DATARRAY;
    const bool vox = voxMode();

    // 1. Roger beep countdown.
    if (TS3_ROG_DELAY > 0) {
        --TS3_ROG_DELAY;
    } else if (TS3_ROG_DELAY == 0) {
        TS3_ROG_DELAY = -1;
        PlayRogerBeep();
    }
    // 2. Acknowledgement beep countdown.
    if (RXINFO_DELAY > 0) {
        --RXINFO_DELAY;
    } else if (RXINFO_DELAY == 0) {
        RXINFO_DELAY = -1;
        if (SPEAKERS.isEmpty())
            PlayRxInfoBeep();
    }
    // 3. Local player.
    WavePlayUpkeep();
    // 4. A wave the plugin plays holds the radio for its length.
    if (COUNT_WPLAY > 0)
        --COUNT_WPLAY;
    if (COUNT_WPLAY == 0 && SPEAKERS.contains(kWavePlay)) {
        SPEAKERS.remove(kWavePlay);
        COUNT_WPLAY = -1;
    }
    // 5. Pause after TeamSpeak speech before the squelch may key TeamSpeak.
    if (TS3_PTT_DELAY > 0 && SPEAKERS.isEmpty())
        --TS3_PTT_DELAY;
    if (TS3_PTT_DELAY == 0)
        TS3_PTT_DELAY = -1;
    // 6. Squelch input keys the client's push-to-talk (COM mode).
    if (!vox && d.boolValue(QStringLiteral("COM-IN-ON"))) {
        const int port = d.intValue(QStringLiteral("COM-IN-NUM"), 0);
        const bool busy = m_host.COMPortIsOpen(port) &&
                          m_host.GetCOMStatus(port, d.value(QStringLiteral("COM-IN-PIN")), d.boolValue(QStringLiteral("COM-IN-INVERT")));
        const QString flag10 = TS3FLAGS.value(QStringLiteral("10"));
        if (busy) {
            if (m_connected && SPEAKERS.isEmpty() && TS3_PTT_DELAY < 0 && flag10 != QLatin1String("0"))
                send(QStringLiteral("SETPTT"), scHandlerItem() + QStringLiteral(" status=1"));
        } else if (m_connected && flag10 == QLatin1String("0")) {
            send(QStringLiteral("SETPTT"), scHandlerItem() + QStringLiteral(" status=0"));
        }
    }
    UpdateSquelchLamp();
    // 7. Hold entries count down.
    for (int i = SPEAKERS.size() - 1; i >= 0; --i) {
        // A command sent below may come back into the engine (a failed send disconnects
        // every gateway), so the list is checked again on every step.
        if (i >= SPEAKERS.size())
            continue;
        const QString v = SPEAKERS.valueAt(i);
        if (!IsInteger(v)) {
            SPEAKERS.lines().removeAt(i);
            continue;
        }
        const int n = StrToIntDef(v, 0);
        if (n > 0) {
            SPEAKERS.lines()[i] = SPEAKERS.nameAt(i) + QLatin1Char('=') + QString::number(n - 1);
        } else if (n == 0) {
            SPEAKERS.lines().removeAt(i);
            if (m_connected && SPEAKERS.isEmpty() && d.boolValue(QStringLiteral("TS3-CMDR-ON-RX")) &&
                d.boolValue(QStringLiteral("TS3-CMDR-ON-ACT")))
                send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=0"));
        }
    }
    // 8. The radio PTT follows the hold list.
    if (!SPEAKERS.isEmpty()) {
        RadioPttOn();
        // A pause that was still running ends here: voice activation may come back only
        // its full delay after the radio has been released again.
        if (vox)
            TS3_VOX_DELAY = -1;
        if (vox && VOX_IST_AKTIV) {
            TS3_PTT_DELAY = -1;
            send(QStringLiteral("SETVOX"), scHandlerItem() + QStringLiteral(" status=0"));
            VOX_IST_AKTIV = false;
        }
    } else {
        RadioPttOff();
        UpdateSquelchLamp();
        if (vox && !VOX_IST_AKTIV && TS3_VOX_DELAY < 0)
            TS3_VOX_DELAY = d.intValue(QStringLiteral("TS3-VOX-DELAY"), 5);
    }
    // 9. Beacon.
    BeaconTick();
    // 10. Voice activation comes back after the pause.
    if (TS3_VOX_DELAY > 0 && SPEAKERS.isEmpty()) {
        --TS3_VOX_DELAY;
    } else if (TS3_VOX_DELAY == 0) {
        if (vox)
            send(QStringLiteral("SETVOX"), scHandlerItem() + QStringLiteral(" status=1 level=") + d.value(QStringLiteral("TS3-TX-VOX-LV")));
        TS3_VOX_DELAY = -1;
        VOX_IST_AKTIV = true;
    }
    flushDisplay();
}

// ---------------------------------------------------------------------------------------
// Serial lines

void GatewayEngine::driveOutput(OutKind kind, bool on)
{
    const SettingsList& d = DATARRAY;
    const bool ptt = kind == OutKind::Ptt;
    Output& out = ptt ? m_ptt : m_txOut;
    GwLamp& lamp = ptt ? m_display.pttLamp : m_display.txOutLamp;
    const int port = d.intValue(ptt ? QStringLiteral("COM-OUT-NUM") : QStringLiteral("COM-OUT-TX-NUM"), 0);
    const QString pin = d.value(ptt ? QStringLiteral("COM-OUT-PIN") : QStringLiteral("COM-OUT-TX-PIN"));
    const bool invert = d.boolValue(ptt ? QStringLiteral("COM-OUT-INVERT") : QStringLiteral("COM-OUT-TX-INVERT"));
    const bool enabled = d.boolValue(ptt ? QStringLiteral("COM-OUT-ON") : QStringLiteral("COM-OUT-TX-ON"));
    const bool available = enabled && m_host.COMPortIsOpen(port);

    // A line this gateway keyed earlier is released when it is no longer the configured
    // one or has been switched off, so a settings change never leaves it keyed.
    if (out.held && (!available || out.port != port || out.pin != pin || out.invert != invert || !on)) {
        m_host.SetCOMStatus(out.holder, out.port, out.pin, false, out.invert);
        out.held = false;
    }
    if (!available) {
        setLamp(lamp, {GwColor::Silver, {}});
        return;
    }
    m_host.SetCOMStatus(out.holder, port, pin, on, invert);
    if (on) {
        out.held = true;
        out.port = port;
        out.pin = pin;
        out.invert = invert;
    }
    setLamp(lamp, {on ? GwColor::Red : GwColor::DarkRed, QStringLiteral("COM") + QString::number(port) + QStringLiteral(" / ") + pin + QStringLiteral("-PIN")});
}

void GatewayEngine::releaseOutputs()
{
    for (Output* out : {&m_ptt, &m_txOut}) {
        if (out->held) {
            m_host.SetCOMStatus(out->holder, out->port, out->pin, false, out->invert);
            out->held = false;
        }
    }
}

void GatewayEngine::startRadioTxTime()
{
    if (DATARRAY.boolValue(QStringLiteral("HF-TX-MAX-ON")) && !COUNTER.contains(QStringLiteral("TXTIME-HF-ON")) &&
        !COUNTER.contains(QStringLiteral("TXTIME-HF-OFF"))) {
        COUNTER.setValue(QStringLiteral("TXTIME-HF-ON"), DATARRAY.value(QStringLiteral("HF-TX-MAXTIME")));
        m_display.hfLimitLamp.color = GwColor::BrightGreen;
        changed();
    }
}

void GatewayEngine::RadioPttOn()
{
    const bool available = DATARRAY.boolValue(QStringLiteral("COM-OUT-ON")) &&
                           m_host.COMPortIsOpen(DATARRAY.intValue(QStringLiteral("COM-OUT-NUM"), 0));
    driveOutput(OutKind::Ptt, true);
    if (available)
        startRadioTxTime();
}

void GatewayEngine::TxOutputOn()
{
    const bool available = DATARRAY.boolValue(QStringLiteral("COM-OUT-TX-ON")) &&
                           m_host.COMPortIsOpen(DATARRAY.intValue(QStringLiteral("COM-OUT-TX-NUM"), 0));
    driveOutput(OutKind::Tx, true);
    if (available)
        startRadioTxTime();
}

void GatewayEngine::RadioPttOff()
{
    outputOff(OutKind::Ptt);
}

void GatewayEngine::TxOutputOff()
{
    outputOff(OutKind::Tx);
}

// The off step shared by the PTT output and the second (TeamSpeak transmit) output: the
// channel commander goes off when nothing is transmitted any more, the line is released and
// the radio's transmit time count ends unless a block is running.
void GatewayEngine::outputOff(OutKind kind)
{
    const SettingsList& d = DATARRAY;
    const bool tx = kind == OutKind::Tx;
    const bool available = d.boolValue(tx ? QStringLiteral("COM-OUT-TX-ON") : QStringLiteral("COM-OUT-ON")) &&
                           m_host.COMPortIsOpen(d.intValue(tx ? QStringLiteral("COM-OUT-TX-NUM") : QStringLiteral("COM-OUT-NUM"), 0));
    if (!available) {
        driveOutput(kind, false);
        return;
    }
    if (m_connected && TS3FLAGS.value(QStringLiteral("57")) == QLatin1String("1") && !TS_TX_STATUS && !TS_RX_STATUS &&
        d.boolValue(tx ? QStringLiteral("TS3-CMDR-ON-TX") : QStringLiteral("TS3-CMDR-ON-RX")) &&
        d.boolValue(QStringLiteral("TS3-CMDR-ON-ACT")))
        send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=0"));
    driveOutput(kind, false);
    // The radio-side transmission lasts while either output is keyed.
    if (m_ptt.held || m_txOut.held)
        return;
    if (d.boolValue(QStringLiteral("HF-TX-MAX-ON")) && !COUNTER.contains(QStringLiteral("TXTIME-HF-OFF"))) {
        COUNTER.remove(QStringLiteral("TXTIME-HF-ON"));
        if (m_display.hfBar.pos != 0 || m_display.hfLimitLamp.color != GwColor::Green) {
            m_display.hfBar.pos = 0;
            m_display.hfLimitLamp.color = GwColor::Green;
            changed();
        }
    }
}

void GatewayEngine::UpdateSquelchLamp()
{
    const SettingsList& d = DATARRAY;
    const int port = d.intValue(QStringLiteral("COM-IN-NUM"), 0);
    GwLamp lamp;
    if (d.boolValue(QStringLiteral("COM-IN-ON")) && d.value(QStringLiteral("TS3-TX-PIN")) == QLatin1String("COM") &&
        m_host.COMPortIsOpen(port)) {
        const QString pin = d.value(QStringLiteral("COM-IN-PIN"));
        if (m_host.GetCOMStatus(port, pin, d.boolValue(QStringLiteral("COM-IN-INVERT"))))
            lamp = {GwColor::BrightGreen, QStringLiteral("COM") + QString::number(port) + QStringLiteral(" / ") + pin + QStringLiteral("-PIN")};
        else
            lamp = {GwColor::Green, {}};
    }
    setLamp(m_display.sqlLamp, lamp);
}

void GatewayEngine::SetWaveLevel(int level)
{
    if (m_scHandlerID > 0) {
        send(QStringLiteral("SETWAVELEVEL"), scHandlerItem() + QStringLiteral(" level=") + QString::number(level));
        WAVE_LV_IST = level;
    }
}

// ---------------------------------------------------------------------------------------
// Talk events

void GatewayEngine::TxVoiceChanged(bool on)
{
    const SettingsList& d = DATARRAY;
    const bool cmdrAct = d.boolValue(QStringLiteral("TS3-CMDR-ON-ACT"));
    const bool cmdrTx = d.boolValue(QStringLiteral("TS3-CMDR-ON-TX"));
    const bool maxOn = d.boolValue(QStringLiteral("TS3-TX-MAX-ON"));
    if (on) {
        RXINFO_DELAY = -1;
        if (d.boolValue(QStringLiteral("COM-OUT-TX-ON")))
            TxOutputOn();
        m_display.txLamp.color = GwColor::BrightGreen;
        m_display.txLabel = {text("0108"), GwColor::Green};
        if (cmdrTx && cmdrAct)
            send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=1"));
        if (maxOn) {
            if (!COUNTER.contains(QStringLiteral("TXTIME-TS3-ON")) && !COUNTER.contains(QStringLiteral("TXTIME-TS3-OFF"))) {
                COUNTER.setValue(QStringLiteral("TXTIME-TS3-ON"), d.value(QStringLiteral("TS3-TX-MAXTIME")));
                m_display.ts3LimitLamp.color = GwColor::BrightGreen;
            }
        } else {
            COUNTER.remove(QStringLiteral("TXTIME-TS3-ON"));
            m_display.ts3Bar.pos = 0;
            m_display.ts3LimitLamp.color = GwColor::Silver;
        }
    } else {
        // A second output keyed earlier is released even when the settings no longer use it.
        if (d.boolValue(QStringLiteral("COM-OUT-TX-ON")) || m_txOut.held)
            TxOutputOff();
        m_display.txLamp.color = GwColor::Green;
        m_display.txLabel = {text("0106"), GwColor::Grey};
        // The commander stays while relayed TeamSpeak speech still holds the radio; the
        // airtime count ends with the transmission in any case.
        if (!(d.boolValue(QStringLiteral("TS3-CMDR-ON-RX")) && !SPEAKERS.isEmpty()) && cmdrTx && cmdrAct)
            send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=0"));
        if (maxOn) {
            if (!COUNTER.contains(QStringLiteral("TXTIME-TS3-OFF"))) {
                COUNTER.remove(QStringLiteral("TXTIME-TS3-ON"));
                m_display.ts3Bar.pos = 0;
                m_display.ts3LimitLamp.color = GwColor::Green;
            }
        } else {
            COUNTER.remove(QStringLiteral("TXTIME-TS3-ON"));
            m_display.ts3Bar.pos = 0;
            m_display.ts3LimitLamp.color = GwColor::Silver;
        }
        if (d.boolValue(QStringLiteral("HF-RXINFO-BEEP")))
            RXINFO_DELAY = d.intValue(QStringLiteral("HF-RXINFO-DELAY"), 5);
        if (d.intValue(QStringLiteral("HF-BAKE-AFTX"), 0) > 4)
            BAKE_TX_COUNT += 1;
    }
    TS_TX_STATUS = on;
    changed();
    flushDisplay();
}

bool GatewayEngine::RxVoiceChanged(bool active, const QString& clientID, int speakers, const QString& clientUID)
{
    const SettingsList& d = DATARRAY;
    UserRules rules;
    const bool rulesApply = clientUID.size() > 10 && StrToIntDef(clientID, 0) > 0;
    if (rulesApply)
        rules = ReadUserRules(clientUID);
    const bool doppel = d.boolValue(QStringLiteral("TS3-DOPPEL-RX"));

    if (active) {
        if (rulesApply)
            send(QStringLiteral("SETVOICEVOLUME"),
                 LinkItems({{QStringLiteral("scHandler"), QString::number(m_scHandlerID)},
                            {QStringLiteral("userID"), clientID},
                            {QStringLiteral("block"), rules.notp ? QStringLiteral("1") : QStringLiteral("0")},
                            {QStringLiteral("level"), QString::number(rules.volume) + QStringLiteral(".0")},
                            {QStringLiteral("general"), QString::number(d.intValue(QStringLiteral("AUDIO-USER-VOLUME"), 0))}}));
        if (!rules.notp) {
            TS3_ROG_DELAY = -1;
            m_display.rxLamp.color = GwColor::BrightGreen;
            m_display.rxLabel = {text("0107"), GwColor::Green};
            SPEAKERS.setValue(kRx, QStringLiteral("-1"));
            if (d.boolValue(QStringLiteral("TS3-CMDR-ON-RX")) && d.boolValue(QStringLiteral("TS3-CMDR-ON-ACT")))
                send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=1"));
            if (!voxMode()) {
                send(QStringLiteral("SETPTT"), scHandlerItem() + QStringLiteral(" status=0"));
                TS3_PTT_DELAY = d.intValue(QStringLiteral("TS3-PTT-DELAY"), 5);
            } else {
                send(QStringLiteral("SETVOX"), scHandlerItem() + QStringLiteral(" status=0"));
            }
            VOX_IST_AKTIV = false;
            const int reduced = d.intValue(QStringLiteral("WAVE-REDUZIERUNG"), -40);
            if (reduced != WAVE_LV_IST)
                SetWaveLevel(reduced);
            const int id = StrToIntDef(clientID, 0);
            if (!doppel && speakers > 1 && id > 0) {
                if (SPAM_COUNT_VAR <= 30) {
                    send(QStringLiteral("MSGTOUSER"),
                         LinkItems({{QStringLiteral("scHandler"), QString::number(m_scHandlerID)},
                                    {QStringLiteral("userID"), clientID},
                                    {QStringLiteral("message"), bbcode("FF0000", text("0615"))}}));
                    SPAM_COUNT_VAR += 3;
                }
                send(QStringLiteral("MUTECLIENT"), scHandlerItem() + QStringLiteral(" userID=") + clientID);
            }
        }
    } else if (!rules.notp) {
        m_display.rxLamp.color = GwColor::Green;
        m_display.rxLabel = {text("0106"), GwColor::Grey};
        SPEAKERS.setValue(kRx, d.boolValue(QStringLiteral("COM-OUT-ON")) ? d.value(QStringLiteral("TS3-RX-DELAY")) : QStringLiteral("0"));
        if (!voxMode()) {
            TS3_VOX_DELAY = -1;
            TS3_PTT_DELAY = d.intValue(QStringLiteral("TS3-PTT-DELAY"), 5);
        } else {
            TS3_PTT_DELAY = -1;
            TS3_VOX_DELAY = d.intValue(QStringLiteral("TS3-VOX-DELAY"), 5);
        }
        const int normal = d.intValue(QStringLiteral("AUDIO-WAVE-VOLUME"), -20);
        if (normal != WAVE_LV_IST)
            SetWaveLevel(normal);
        if (d.boolValue(QStringLiteral("HF-ROGER-BEEP"))) {
            int wait = d.intValue(QStringLiteral("HF-ROGER-WAIT"), 1);
            if (wait <= 0)
                wait = 1;
            TS3_ROG_DELAY = wait;
            SPEAKERS.setInt(QStringLiteral("ROGER-WAIT"), TS3_ROG_DELAY + 1);
        }
        if (d.intValue(QStringLiteral("HF-BAKE-AFRX"), 0) > 4)
            WAR_TS3_RX = true;
        if (!d.boolValue(QStringLiteral("HF-TX-MAX-ON"))) {
            COUNTER.remove(QStringLiteral("TXTIME-HF-ON"));
            m_display.hfBar.pos = 0;
            m_display.hfLimitLamp.color = GwColor::Silver;
        }
        if (!doppel && speakers <= 0)
            send(QStringLiteral("UNMUTEALL"), scHandlerItem());
    }
    TS_RX_STATUS = active;
    changed();
    flushDisplay();
    return !rules.notp;
}
