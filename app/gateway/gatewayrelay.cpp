// The voice relay: TeamSpeak speech keys the radio, radio reception keys TeamSpeak, and
// each direction waits for the other.
#include "app/gateway/gatewayengine.h"

#include "app/config/gatewaykeys.h"
#include "app/config/texts.h"
#include "app/gateway/gatewaynames.h"
#include "link/qt/linkqt.h"

void GatewayEngine::relayTick()
{
    if (!runTimerActive())
        return;
    // 1. Roger beep countdown.
    if (countDown(m_relay.TS3_ROG_DELAY) == Countdown::Fired)
        PlayRogerBeep();
    // 2. Acknowledgement beep countdown.
    if (countDown(m_relay.RXINFO_DELAY) == Countdown::Fired && SPEAKERS.isEmpty())
        PlayRxInfoBeep();
    // 3. Local player.
    WavePlayUpkeep();
    // 4. A wave the plugin plays holds the radio for its length: released on the tick its
    // count reaches 0.
    if (m_relay.COUNT_WPLAY > 0)
        --m_relay.COUNT_WPLAY;
    if (m_relay.COUNT_WPLAY == 0 && SPEAKERS.contains(hold::HF_TS3W_PLAY)) {
        SPEAKERS.remove(hold::HF_TS3W_PLAY);
        m_relay.COUNT_WPLAY = -1;
    }
    // 5. Pause after TeamSpeak speech before the squelch may key TeamSpeak; it is over on
    // the tick it reaches 0.
    if (m_relay.TS3_PTT_DELAY > 0 && SPEAKERS.isEmpty())
        --m_relay.TS3_PTT_DELAY;
    if (m_relay.TS3_PTT_DELAY == 0)
        m_relay.TS3_PTT_DELAY = -1;
    // 6. Squelch input keys the client's push-to-talk.
    squelchStep();
    // 7. Hold entries count down.
    holdStep();
    // 8. The radio PTT follows the hold list.
    pttStep();
    // 9. Beacon.
    BeaconTick();
    // 10. Voice activation comes back after the pause (held while the radio is keyed).
    if (countDown(m_relay.TS3_VOX_DELAY, !SPEAKERS.isEmpty()) == Countdown::Fired) {
        if (voxMode())
            send(QStringLiteral("SETVOX"),
                 scHandlerItem() + QStringLiteral(" status=1 level=") + DATARRAY.value(gwkey::TS3_TX_VOX_LV));
        m_relay.VOX_IST_AKTIV = true;
    }
    flushDisplay();
}

// In COM mode the squelch line keys the client's push-to-talk, unless the radio is keyed
// or the pause after TeamSpeak speech runs. The command repeats every tick until the
// client's flag shows the new state.
void GatewayEngine::squelchStep()
{
    const TickSettings& t = tickSettings();
    if (!t.vox && t.in.on) {
        const int port = t.in.num;
        const QString pin = t.in.pin;
        const bool busy = m_host.COMPortIsOpen(port) && m_host.GetCOMStatus(port, pin, t.in.invert);
        const bool clientPtt = TS3FLAGS.value(clientflag::INPUT_DEACTIVATED) == QLatin1String("0");
        if (busy) {
            if (m_connected && SPEAKERS.isEmpty() && m_relay.TS3_PTT_DELAY < 0 && !clientPtt)
                send(QStringLiteral("SETPTT"), scHandlerItem() + QStringLiteral(" status=1"));
        } else if (m_connected && clientPtt) {
            send(QStringLiteral("SETPTT"), scHandlerItem() + QStringLiteral(" status=0"));
        }
    }
    UpdateSquelchLamp();
}

// Every hold entry counts down; one that runs out goes, and with the last one the channel
// commander the relay took.
void GatewayEngine::holdStep()
{
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
        int n = StrToIntDef(v, 0);
        switch (countDown(n)) {
        case Countdown::Running:
            SPEAKERS.lines()[i] = SPEAKERS.nameAt(i) + QLatin1Char('=') + QString::number(n);
            break;
        case Countdown::Fired:
            SPEAKERS.lines().removeAt(i);
            if (m_connected && SPEAKERS.isEmpty() && DATARRAY.boolValue(gwkey::TS3_CMDR_ON_RX) &&
                DATARRAY.boolValue(gwkey::TS3_CMDR_ON_ACT))
                send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=0"));
            break;
        case Countdown::Idle: // -1: held until taken away
            break;
        }
    }
}

void GatewayEngine::pttStep()
{
    const bool vox = voxMode();
    if (!SPEAKERS.isEmpty()) {
        RadioPttOn();
        // A pause that was still running ends here: voice activation may come back only
        // its full delay after the radio has been released again.
        if (vox)
            m_relay.TS3_VOX_DELAY = -1;
        if (vox && m_relay.VOX_IST_AKTIV) {
            m_relay.TS3_PTT_DELAY = -1;
            send(QStringLiteral("SETVOX"), scHandlerItem() + QStringLiteral(" status=0"));
            m_relay.VOX_IST_AKTIV = false;
        }
    } else {
        RadioPttOff();
        UpdateSquelchLamp();
        if (vox && !m_relay.VOX_IST_AKTIV && m_relay.TS3_VOX_DELAY < 0)
            m_relay.TS3_VOX_DELAY = DATARRAY.intValue(gwkey::TS3_VOX_DELAY, 5);
    }
}

// ---------------------------------------------------------------------------------------
// Serial lines

void GatewayEngine::driveOutput(OutKind kind, bool on)
{
    const bool ptt = kind == OutKind::Ptt;
    const TickSettings::Line& line = ptt ? tickSettings().out : tickSettings().txOut;
    Output& out = ptt ? m_ptt : m_txOut;
    GwLamp& lamp = ptt ? m_display.pttLamp : m_display.txOutLamp;
    const int port = line.num;
    const QString pin = line.pin;
    const bool invert = line.invert;
    const bool enabled = line.on;
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
    setLamp(lamp, {on ? GwColor::Red : GwColor::DarkRed, QStringLiteral("COM") + QString::number(port) +
                                                             QStringLiteral(" / ") + pin + QStringLiteral("-PIN")});
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
    if (DATARRAY.boolValue(gwkey::HF_TX_MAX_ON) && !COUNTER.contains(counter::TXTIME_HF_ON) &&
        !COUNTER.contains(counter::TXTIME_HF_OFF)) {
        COUNTER.setValue(counter::TXTIME_HF_ON, DATARRAY.value(gwkey::HF_TX_MAXTIME));
        m_display.hfLimitLamp.color = GwColor::BrightGreen;
        changed();
    }
}

void GatewayEngine::RadioPttOn()
{
    const TickSettings::Line& line = tickSettings().out;
    const bool available = line.on && m_host.COMPortIsOpen(line.num);
    driveOutput(OutKind::Ptt, true);
    if (available)
        startRadioTxTime();
}

void GatewayEngine::TxOutputOn()
{
    const TickSettings::Line& line = tickSettings().txOut;
    const bool available = line.on && m_host.COMPortIsOpen(line.num);
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
    const TickSettings::Line& line = tx ? tickSettings().txOut : tickSettings().out;
    const bool available = line.on && m_host.COMPortIsOpen(line.num);
    if (!available) {
        driveOutput(kind, false);
        return;
    }
    if (m_connected && TS3FLAGS.value(clientflag::CHANNEL_COMMANDER) == QLatin1String("1") && !m_relay.TS_TX_STATUS &&
        !m_relay.TS_RX_STATUS && d.boolValue(tx ? gwkey::TS3_CMDR_ON_TX : gwkey::TS3_CMDR_ON_RX) &&
        d.boolValue(gwkey::TS3_CMDR_ON_ACT))
        send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=0"));
    driveOutput(kind, false);
    // The radio-side transmission lasts while either output is keyed.
    if (m_ptt.held || m_txOut.held)
        return;
    if (tickSettings().hfTxMaxOn && !COUNTER.contains(counter::TXTIME_HF_OFF)) {
        COUNTER.remove(counter::TXTIME_HF_ON);
        if (m_display.hfBar.pos != 0 || m_display.hfLimitLamp.color != GwColor::Green) {
            m_display.hfBar.pos = 0;
            m_display.hfLimitLamp.color = GwColor::Green;
            changed();
        }
    }
}

void GatewayEngine::UpdateSquelchLamp()
{
    const TickSettings& t = tickSettings();
    const int port = t.in.num;
    GwLamp lamp;
    if (t.in.on && t.comKeyed && m_host.COMPortIsOpen(port)) {
        const QString pin = t.in.pin;
        if (m_host.GetCOMStatus(port, pin, t.in.invert))
            lamp = {GwColor::BrightGreen, QStringLiteral("COM") + QString::number(port) + QStringLiteral(" / ") + pin +
                                              QStringLiteral("-PIN")};
        else
            lamp = {GwColor::Green, {}};
    }
    setLamp(m_display.sqlLamp, lamp);
}

void GatewayEngine::SetWaveLevel(int level)
{
    if (m_scHandlerID > 0) {
        send(QStringLiteral("SETWAVELEVEL"), scHandlerItem() + QStringLiteral(" level=") + QString::number(level));
        m_relay.WAVE_LV_IST = level;
    }
}

// ---------------------------------------------------------------------------------------
// Talk events

void GatewayEngine::TxVoiceChanged(bool on)
{
    const SettingsList& d = DATARRAY;
    const bool cmdr = d.boolValue(gwkey::TS3_CMDR_ON_TX) && d.boolValue(gwkey::TS3_CMDR_ON_ACT);
    if (on) {
        m_relay.RXINFO_DELAY = -1;
        if (d.boolValue(gwkey::COM_OUT_TX_ON))
            TxOutputOn();
        m_display.txLamp.color = GwColor::BrightGreen;
        m_display.txLabel = {text("0108"), GwColor::Green};
        if (cmdr)
            send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=1"));
    } else {
        // A second output keyed earlier is released even when the settings no longer use it.
        if (d.boolValue(gwkey::COM_OUT_TX_ON) || m_txOut.held)
            TxOutputOff();
        m_display.txLamp.color = GwColor::Green;
        m_display.txLabel = {text("0106"), GwColor::Grey};
        // The commander stays while relayed TeamSpeak speech still holds the radio.
        if (!(d.boolValue(gwkey::TS3_CMDR_ON_RX) && !SPEAKERS.isEmpty()) && cmdr)
            send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=0"));
        if (d.boolValue(gwkey::HF_RXINFO_BEEP))
            m_relay.RXINFO_DELAY = d.intValue(gwkey::HF_RXINFO_DELAY, 5);
        if (d.intValue(gwkey::HF_BAKE_AFTX, 0) > 4)
            m_beacon.BAKE_TX_COUNT += 1;
    }
    ts3AirtimeFollows(on);
    m_relay.TS_TX_STATUS = on;
    changed();
    flushDisplay();
}

// The TeamSpeak-side airtime counts while the own client transmits and ends with the
// transmission, unless a block is running; with the limit off nothing counts.
void GatewayEngine::ts3AirtimeFollows(bool transmitting)
{
    if (!DATARRAY.boolValue(gwkey::TS3_TX_MAX_ON)) {
        COUNTER.remove(counter::TXTIME_TS3_ON);
        m_display.ts3Bar.pos = 0;
        m_display.ts3LimitLamp.color = GwColor::Silver;
        return;
    }
    if (transmitting) {
        if (!COUNTER.contains(counter::TXTIME_TS3_ON) && !COUNTER.contains(counter::TXTIME_TS3_OFF)) {
            COUNTER.setValue(counter::TXTIME_TS3_ON, DATARRAY.value(gwkey::TS3_TX_MAXTIME));
            m_display.ts3LimitLamp.color = GwColor::BrightGreen;
        }
    } else if (!COUNTER.contains(counter::TXTIME_TS3_OFF)) {
        COUNTER.remove(counter::TXTIME_TS3_ON);
        m_display.ts3Bar.pos = 0;
        m_display.ts3LimitLamp.color = GwColor::Green;
    }
}

bool GatewayEngine::RxVoiceChanged(bool active, const QString& clientID, int speakers, const QString& clientUID,
                                   int clientTalking)
{
    UserRules rules;
    const bool rulesApply = clientUID.size() > 10 && StrToIntDef(clientID, 0) > 0;
    if (rulesApply)
        rules = ReadUserRules(clientUID);
    m_tally.talkers = qMax(active ? 1 : 0, speakers);
    if (active && rulesApply)
        send(QStringLiteral("SETVOICEVOLUME"),
             LinkItems({{QStringLiteral("scHandler"), QString::number(m_scHandlerID)},
                        {QStringLiteral("userID"), clientID},
                        {QStringLiteral("block"), rules.notp ? QStringLiteral("1") : QStringLiteral("0")},
                        {QStringLiteral("level"), QString::number(rules.volume) + QStringLiteral(".0")},
                        {QStringLiteral("general"), QString::number(DATARRAY.intValue(gwkey::AUDIO_USER_VOLUME, 0))}}));
    // The client's count holds blocked talkers too. They are counted out, so that one who
    // talks on after the others neither keys the radio anew nor keeps it keyed.
    if (StrToIntDef(clientID, 0) > 0 && clientTalking >= 0) {
        if (rules.notp && clientTalking == 1)
            m_blockedTalking.insert(clientID);
        else
            m_blockedTalking.remove(clientID);
    }
    if (speakers <= 0)
        m_blockedTalking.clear();
    const int relayable = qMax(0, speakers - int(m_blockedTalking.size()));
    // A blocked talker is not relayed: nothing goes to the radio. A reception that was being
    // relayed ends when only blocked talkers are left.
    const bool relaying = SPEAKERS.value(hold::TS3_RX) == QLatin1String("-1");
    if (rules.notp) {
        if (relaying && relayable == 0)
            rxEnds(speakers);
    } else if (active && relayable > 0) {
        rxStarts(clientID, relayable);
    } else if (!active || relaying) {
        rxEnds(speakers);
    }
    m_relay.TS_RX_STATUS = active;
    changed();
    flushDisplay();
    return !rules.notp;
}

// TeamSpeak speech starts: the radio is keyed (hold entry), the client stops sending, the
// wave level goes down and a second talker is asked to wait.
void GatewayEngine::rxStarts(const QString& clientID, int speakers)
{
    const SettingsList& d = DATARRAY;
    m_relay.TS3_ROG_DELAY = -1;
    m_display.rxLamp.color = GwColor::BrightGreen;
    m_display.rxLabel = {text("0107"), GwColor::Green};
    SPEAKERS.setValue(hold::TS3_RX, QStringLiteral("-1"));
    if (d.boolValue(gwkey::TS3_CMDR_ON_RX) && d.boolValue(gwkey::TS3_CMDR_ON_ACT))
        send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=1"));
    if (!voxMode()) {
        send(QStringLiteral("SETPTT"), scHandlerItem() + QStringLiteral(" status=0"));
        m_relay.TS3_PTT_DELAY = d.intValue(gwkey::TS3_PTT_DELAY, 5);
    } else {
        send(QStringLiteral("SETVOX"), scHandlerItem() + QStringLiteral(" status=0"));
    }
    m_relay.VOX_IST_AKTIV = false;
    const int reduced = d.intValue(gwkey::WAVE_REDUZIERUNG, -40);
    if (reduced != m_relay.WAVE_LV_IST)
        SetWaveLevel(reduced);
    if (d.boolValue(gwkey::TS3_DOPPEL_RX) || speakers <= 1 || StrToIntDef(clientID, 0) <= 0)
        return;
    if (m_relay.SPAM_COUNT_VAR <= 30) {
        send(QStringLiteral("MSGTOUSER"), LinkItems({{QStringLiteral("scHandler"), QString::number(m_scHandlerID)},
                                                     {QStringLiteral("userID"), clientID},
                                                     {QStringLiteral("message"), bbcode("FF0000", text("0615"))}}));
        m_relay.SPAM_COUNT_VAR += 3;
    }
    send(QStringLiteral("MUTECLIENT"), scHandlerItem() + QStringLiteral(" userID=") + clientID);
}

// TeamSpeak speech ends: the radio stays keyed for the release delay (and the roger beep),
// the pause before the client may send again starts, the wave level comes back.
void GatewayEngine::rxEnds(int speakers)
{
    const SettingsList& d = DATARRAY;
    m_display.rxLamp.color = GwColor::Green;
    m_display.rxLabel = {text("0106"), GwColor::Grey};
    SPEAKERS.setValue(hold::TS3_RX,
                      d.boolValue(gwkey::COM_OUT_ON) ? d.value(gwkey::TS3_RX_DELAY) : QStringLiteral("0"));
    if (!voxMode()) {
        m_relay.TS3_VOX_DELAY = -1;
        m_relay.TS3_PTT_DELAY = d.intValue(gwkey::TS3_PTT_DELAY, 5);
    } else {
        m_relay.TS3_PTT_DELAY = -1;
        m_relay.TS3_VOX_DELAY = d.intValue(gwkey::TS3_VOX_DELAY, 5);
    }
    const int normal = d.intValue(gwkey::AUDIO_WAVE_VOLUME, -20);
    if (normal != m_relay.WAVE_LV_IST)
        SetWaveLevel(normal);
    if (d.boolValue(gwkey::HF_ROGER_BEEP)) {
        m_relay.TS3_ROG_DELAY = qMax(1, d.intValue(gwkey::HF_ROGER_WAIT, 1));
        SPEAKERS.setInt(hold::ROGER_WAIT, m_relay.TS3_ROG_DELAY + 1);
    }
    if (d.intValue(gwkey::HF_BAKE_AFRX, 0) > 4)
        m_beacon.WAR_TS3_RX = true;
    if (!d.boolValue(gwkey::HF_TX_MAX_ON)) {
        COUNTER.remove(counter::TXTIME_HF_ON);
        m_display.hfBar.pos = 0;
        m_display.hfLimitLamp.color = GwColor::Silver;
    }
    if (!d.boolValue(gwkey::TS3_DOPPEL_RX) && speakers <= 0)
        send(QStringLiteral("UNMUTEALL"), scHandlerItem());
}
