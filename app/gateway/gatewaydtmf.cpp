// DTMF remote control from the radio side. A command is "#", a two-digit group, an
// argument and "*" ("#0102*"). While one is keyed the gateway mutes the TeamSpeak
// playback, shows the digits and ignores a digit repeated within the repeat guard; after
// "*" the command runs after a short delay, once the mute has been lifted again, so its
// spoken answer reaches the radio.
//
// The decoder reports digits on the audio thread; they wait in the input's queue until
// the next 250 ms tick takes them, in arrival order, on the gateway's own thread.
#include "app/gateway/gatewayengine.h"

#include "app/config/texts.h"
#include "app/gateway/gatewaydtmfinput.h"

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
    const QString r = d.value(QStringLiteral("DTMF-RESET-TIME"));
    const QString w = d.value(QStringLiteral("DTMF-AKTIV-TIME"));
    const QString p = d.value(QStringLiteral("DTMF-PROC-DELAY"));
    if (!IsInteger(r) || !IsInteger(w) || !IsInteger(p))
        return false;
    t = {StrToIntDef(r, 0), StrToIntDef(w, 0), StrToIntDef(p, 0)};
    return true;
}

} // namespace

void GatewayEngine::OpenDtmf()
{
    CloseDtmf();
    const int device = DATARRAY.intValue(QStringLiteral("DTMF-INPUT-DEVICE"), -1);
    auto input = std::make_shared<GatewayDtmfInput>();
    if (DATARRAY.boolValue(QStringLiteral("DTMF-ON")) && device >= 0 && input->open(device)) {
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
    const bool canMute = m_scHandlerID > 0;

    if (c == QLatin1Char('#')) {
        DTMF_CODE.clear();
        DTMF_CHAR = QLatin1Char('X');
        DTMF_WAIT = t.reset;
        DTMF_AWAIT = t.window;
        if (!DTMF_AKTIV) {
            if (TS3FLAGS.value(QStringLiteral("6")) != QLatin1String("1") && canMute) {
                send(QStringLiteral("SETMUTE"), scHandlerItem() + QStringLiteral(" status=1"));
                DTMF_MUTED = true;
            }
            DTMF_AKTIV = true;
            setLamp(m_display.dtmfLamp1, {GwColor::BrightGreen, {}});
        }
    }
    if (DTMF_AKTIV) {
        if (c == DTMF_CHAR) {
            // The same key again within the repeat guard: only the countdowns restart.
            DTMF_WAIT = t.reset;
            DTMF_AWAIT = c == QLatin1Char('*') ? t.reset : t.window;
        } else {
            DTMF_CODE += c;
            m_display.dtmfLine = DTMF_CODE;
            m_display.dtmfColor = GwColor::Navy;
            m_display.dtmfStyle = GwStyle::Bold;
            changed();
            if (c == QLatin1Char('*')) {
                DTMF_DCODE = DTMF_CODE;
                DTMF_DELAY = t.delay;
                DTMF_WAIT = t.reset;
                DTMF_AWAIT = t.reset + 1;
                WriteLog(QStringLiteral("DTMF: ") + DTMF_CODE, GwColor::Navy);
            } else {
                DTMF_WAIT = t.reset;
                DTMF_AWAIT = t.window;
            }
            DTMF_CHAR = c;
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

    const bool canMute = m_scHandlerID > 0;
    // 1. Repeat guard.
    if (DTMF_WAIT > 0) {
        --DTMF_WAIT;
        setLamp(m_display.dtmfLamp2, {GwColor::Red, {}});
    } else if (DTMF_WAIT == 0) {
        DTMF_CHAR = QLatin1Char('X');
        DTMF_WAIT = -1;
        setLamp(m_display.dtmfLamp2, {GwColor::DarkRed, {}});
    }
    // 2. Input window.
    if (DTMF_AWAIT > 0) {
        --DTMF_AWAIT;
        if (!DTMF_AKTIV) {
            if (TS3FLAGS.value(QStringLiteral("6")) != QLatin1String("1") && canMute) {
                send(QStringLiteral("SETMUTE"), scHandlerItem() + QStringLiteral(" status=1"));
                DTMF_MUTED = true;
            }
            DTMF_AKTIV = true;
            setLamp(m_display.dtmfLamp1, {GwColor::BrightGreen, {}});
            m_display.dtmfColor = GwColor::Navy;
            m_display.dtmfStyle = GwStyle::Bold;
            changed();
        }
    } else if (DTMF_AWAIT == 0) {
        if (DTMF_AKTIV) {
            // Only a mute this input set is lifted; the operator's own mute stays.
            if (DTMF_MUTED && TS3FLAGS.value(QStringLiteral("6")) == QLatin1String("1") && canMute)
                send(QStringLiteral("SETMUTE"), scHandlerItem() + QStringLiteral(" status=0"));
            DTMF_MUTED = false;
            DTMF_AKTIV = false;
        }
        DTMF_CODE.clear();
        DTMF_CHAR = QLatin1Char('X');
        DTMF_AWAIT = -1;
        setLamp(m_display.dtmfLamp1, {GwColor::Green, {}});
        m_display.dtmfLine = text("0111") + QLatin1Char(' ') + text("0123");
        m_display.dtmfColor = GwColor::Green;
        m_display.dtmfStyle = GwStyle::Normal;
        changed();
    }
    // 3. Execution.
    if (DTMF_DELAY >= 0 && !DTMF_DCODE.isEmpty()) {
        if (DTMF_DELAY > 0) {
            --DTMF_DELAY;
        } else {
            const QString code = DTMF_DCODE;
            DTMF_DELAY = -1;
            DTMF_DCODE.clear();
            ExecuteDtmfCommand(code);
        }
    }
    flushDisplay();
}

void GatewayEngine::ExecuteDtmfCommand(const QString& s)
{
    const SettingsList& d = DATARRAY;
    if (s.size() < 4 || !s.startsWith(QLatin1Char('#')) || !s.endsWith(QLatin1Char('*')))
        return;
    const QString group = s.mid(1, 2);
    const QString arg = s.mid(3, s.size() - 4);
    const QString sounds = m_host.soundFolder() + m_host.appLang() + QLatin1Char('/');

    if (group == QLatin1String("01") && d.boolValue(QStringLiteral("DTMF-INFO-ON")) && IsInteger(arg)) {
        const bool online = m_connected && m_scHandlerID > 0;
        if (arg == QLatin1String("02")) {
            PlayAnnouncement(sounds + (online ? QStringLiteral("S0004.wav") : QStringLiteral("S0003.wav")), true);
        } else if (arg == QLatin1String("03")) {
            if (!online)
                PlayAnnouncement(sounds + QStringLiteral("S0003.wav"), true);
        } else if (arg == QLatin1String("04")) {
            if (d.boolValue(QStringLiteral("HF-BAKE-ON"))) {
                m_display.beaconLine = QStringLiteral("[+] ") + text("0146");
                changed();
                PlayAnnouncement(d.value(QStringLiteral("HF-BAKE-FILE")), true);
                const QString time = d.value(QStringLiteral("HF-BAKE-TIME"));
                BAKE_WAIT = IsInteger(time) ? StrToIntDef(time, 0) * 10 : -1;
            } else {
                BAKE_WAIT = -1;
            }
        } else if (arg == QLatin1String("05") || arg == QLatin1String("06")) {
            const QString file = d.value(arg == QLatin1String("05") ? QStringLiteral("DTMF-INFO-WAVE") : QStringLiteral("DTMF-INFO-WAVE-2"));
            if (!file.isEmpty() && QFileInfo::exists(file))
                PlayAnnouncement(file, true);
        }
        // "01" and any other number: nothing.
    } else if (group == QLatin1String("02") && d.boolValue(QStringLiteral("DTMF-MOVE-ON"))) {
        // Reserved: the argument is checked, nothing is done yet.
        (void)IsInteger(arg);
    }
    DTMF_CODE.clear();
    flushDisplay();
}
