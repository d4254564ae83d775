// DTMF remote control from the radio side. A command is "#", a two-digit group, an
// argument and "*" ("#0102*"). While one is keyed the gateway mutes the TeamSpeak
// playback, shows the digits and ignores a digit repeated within the repeat guard; after
// "*" the command runs after a short delay, once the mute has been lifted again, so its
// spoken answer reaches the radio.
//
// The decoder reports digits on the audio thread; they wait in the input's queue until
// the next 250 ms tick takes them, in arrival order, on the gateway's own thread.
#include "app/gateway/gatewayengine.h"

#include "app/config/gatewaykeys.h"
#include "app/config/texts.h"
#include "app/gateway/gatewaydtmfinput.h"
#include "app/gateway/gatewaynames.h"

#include <QFileInfo>

namespace {

// The three DTMF times, each a count of 250 ms ticks. False when one is not a number:
// the digit is then dropped.
struct DtmfTimes {
    int reset = 0;
    int window = 0;
    int delay = 0;
};

bool readTimes(const SettingsList& d, DtmfTimes& t)
{
    const QString r = d.value(gwkey::DTMF_RESET_TIME);
    const QString w = d.value(gwkey::DTMF_AKTIV_TIME);
    const QString p = d.value(gwkey::DTMF_PROC_DELAY);
    if (!IsInteger(r) || !IsInteger(w) || !IsInteger(p))
        return false;
    t = {StrToIntDef(r, 0), StrToIntDef(w, 0), StrToIntDef(p, 0)};
    return true;
}

} // namespace

void GatewayEngine::OpenDtmf()
{
    CloseDtmf();
    const int device = DATARRAY.intValue(gwkey::DTMF_INPUT_DEVICE, -1);
    auto input = std::make_shared<GatewayDtmfInput>();
    if (DATARRAY.boolValue(gwkey::DTMF_ON) && device >= 0 && input->open(device)) {
        m_dtmfInput = std::move(input);
        m_display.dtmfLamp1 = {GwColor::Green, {}};
        m_display.dtmfLamp2 = {GwColor::DarkRed, {}};
        m_display.dtmfLine = text("0111") + QLatin1Char(' ') + text("0123");
        m_display.dtmfColor = GwColor::Green;
        m_display.dtmfStyle = GwStyle::Normal;
    } else {
        // Without a capture device the gateway runs without DTMF.
        m_display.dtmfLamp1 = {GwColor::Grey, {}};
        m_display.dtmfLamp2 = {GwColor::Grey, {}};
        m_display.dtmfLine = text("0111") + QLatin1Char(' ') + text("0122");
        m_display.dtmfColor = GwColor::Grey;
        m_display.dtmfStyle = GwStyle::Normal;
    }
    changed();
}

void GatewayEngine::CloseDtmf()
{
    if (!m_dtmfInput)
        return;
    m_dtmfInput->close();
    m_dtmfInput.reset();
}

void GatewayEngine::OnDigit(QChar c)
{
    DtmfTimes t;
    if (m_ended || !readTimes(DATARRAY, t))
        return;
    ++m_tally.dtmfDigits;

    if (c == QLatin1Char('#')) {
        m_dtmf.DTMF_CODE.clear();
        m_dtmf.DTMF_CHAR = QLatin1Char('X');
        m_dtmf.DTMF_WAIT = t.reset;
        m_dtmf.DTMF_AWAIT = t.window;
        dtmfInputStarts();
    }
    if (m_dtmf.DTMF_AKTIV) {
        if (c == m_dtmf.DTMF_CHAR) {
            // The same key again within the repeat guard: only the countdowns restart.
            m_dtmf.DTMF_WAIT = t.reset;
            m_dtmf.DTMF_AWAIT = c == QLatin1Char('*') ? t.reset : t.window;
        } else {
            m_dtmf.DTMF_CODE += c;
            m_display.dtmfLine = m_dtmf.DTMF_CODE;
            m_display.dtmfColor = GwColor::Navy;
            m_display.dtmfStyle = GwStyle::Bold;
            changed();
            if (c == QLatin1Char('*')) {
                m_dtmf.DTMF_DCODE = m_dtmf.DTMF_CODE;
                m_dtmf.DTMF_DELAY = t.delay;
                m_dtmf.DTMF_WAIT = t.reset;
                m_dtmf.DTMF_AWAIT = t.reset + 1;
                WriteLog(QStringLiteral("DTMF: ") + m_dtmf.DTMF_CODE, GwColor::Navy);
            } else {
                m_dtmf.DTMF_WAIT = t.reset;
                m_dtmf.DTMF_AWAIT = t.window;
            }
            m_dtmf.DTMF_CHAR = c;
        }
    }
    flushDisplay();
}

void GatewayEngine::DTMFTimerTick()
{
    if (m_ended)
        return;
    // Digits decoded since the last tick, in the order they came.
    if (m_dtmfInput)
        for (char c : m_dtmfInput->take())
            OnDigit(QLatin1Char(c));

    // 1. Repeat guard.
    switch (countDown(m_dtmf.DTMF_WAIT)) {
    case Countdown::Running:
        setLamp(m_display.dtmfLamp2, {GwColor::Red, {}});
        break;
    case Countdown::Fired:
        m_dtmf.DTMF_CHAR = QLatin1Char('X');
        setLamp(m_display.dtmfLamp2, {GwColor::DarkRed, {}});
        break;
    case Countdown::Idle:
        break;
    }
    // 2. Input window.
    switch (countDown(m_dtmf.DTMF_AWAIT)) {
    case Countdown::Running:
        if (!m_dtmf.DTMF_AKTIV) {
            dtmfInputStarts();
            m_display.dtmfColor = GwColor::Navy;
            m_display.dtmfStyle = GwStyle::Bold;
            changed();
        }
        break;
    case Countdown::Fired:
        dtmfInputEnds();
        break;
    case Countdown::Idle:
        break;
    }
    // 3. Execution.
    if (!m_dtmf.DTMF_DCODE.isEmpty() && countDown(m_dtmf.DTMF_DELAY) == Countdown::Fired) {
        const QString code = m_dtmf.DTMF_DCODE;
        m_dtmf.DTMF_DCODE.clear();
        ExecuteDtmfCommand(code);
    }
    flushDisplay();
}

// A command begins: the TeamSpeak playback is muted (unless the operator muted it
// already) so the digits do not go on to the channel.
void GatewayEngine::dtmfInputStarts()
{
    if (m_dtmf.DTMF_AKTIV)
        return;
    if (TS3FLAGS.value(clientflag::OUTPUT_MUTED) != QLatin1String("1") && m_scHandlerID > 0) {
        send(QStringLiteral("SETMUTE"), scHandlerItem() + QStringLiteral(" status=1"));
        m_dtmf.DTMF_MUTED = true;
    }
    m_dtmf.DTMF_AKTIV = true;
    setLamp(m_display.dtmfLamp1, {GwColor::BrightGreen, {}});
}

// The input window ran out: the keyed digits are forgotten and the playback is unmuted.
void GatewayEngine::dtmfInputEnds()
{
    if (m_dtmf.DTMF_AKTIV) {
        // Only a mute this input set is lifted; the operator's own mute stays.
        if (m_dtmf.DTMF_MUTED && TS3FLAGS.value(clientflag::OUTPUT_MUTED) == QLatin1String("1") && m_scHandlerID > 0)
            send(QStringLiteral("SETMUTE"), scHandlerItem() + QStringLiteral(" status=0"));
        m_dtmf.DTMF_MUTED = false;
        m_dtmf.DTMF_AKTIV = false;
    }
    m_dtmf.DTMF_CODE.clear();
    m_dtmf.DTMF_CHAR = QLatin1Char('X');
    setLamp(m_display.dtmfLamp1, {GwColor::Green, {}});
    m_display.dtmfLine = text("0111") + QLatin1Char(' ') + text("0123");
    m_display.dtmfColor = GwColor::Green;
    m_display.dtmfStyle = GwStyle::Normal;
    changed();
}

void GatewayEngine::ExecuteDtmfCommand(const QString& s)
{
    const SettingsList& d = DATARRAY;
    if (s.size() < 4 || !s.startsWith(QLatin1Char('#')) || !s.endsWith(QLatin1Char('*')))
        return;
    const QString group = s.mid(1, 2);
    const QString arg = s.mid(3, s.size() - 4);
    const QString sounds = m_host.soundFolder() + m_host.appLang() + QLatin1Char('/');

    if (group == QLatin1String("01") && d.boolValue(gwkey::DTMF_INFO_ON) && IsInteger(arg)) {
        const bool online = m_connected && m_scHandlerID > 0;
        if (arg == QLatin1String("02")) {
            PlayAnnouncement(sounds + (online ? QStringLiteral("S0004.wav") : QStringLiteral("S0003.wav")), true);
        } else if (arg == QLatin1String("03")) {
            if (!online)
                PlayAnnouncement(sounds + QStringLiteral("S0003.wav"), true);
        } else if (arg == QLatin1String("04")) {
            if (d.boolValue(gwkey::HF_BAKE_ON)) {
                m_display.beaconLine = QStringLiteral("[+] ") + text("0146");
                changed();
                PlayAnnouncement(d.value(gwkey::HF_BAKE_FILE), true);
                const QString time = d.value(gwkey::HF_BAKE_TIME);
                m_beacon.BAKE_WAIT = IsInteger(time) ? StrToIntDef(time, 0) * 10 : -1;
            } else {
                m_beacon.BAKE_WAIT = -1;
            }
        } else if (arg == QLatin1String("05") || arg == QLatin1String("06")) {
            const QString file = d.value(arg == QLatin1String("05") ? gwkey::DTMF_INFO_WAVE : gwkey::DTMF_INFO_WAVE_2);
            if (!file.isEmpty() && QFileInfo::exists(file))
                PlayAnnouncement(file, true);
        }
        // "01" and any other number: nothing.
    } else if (group == QLatin1String("02") && d.boolValue(gwkey::DTMF_MOVE_ON)) {
        // Reserved: the argument is checked, nothing is done yet.
        (void)IsInteger(arg);
    }
    m_dtmf.DTMF_CODE.clear();
    flushDisplay();
}
