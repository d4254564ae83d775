#include "app/gateway/gatewayengine.h"

#include "app/config/gatewayconfig.h"
#include "app/config/texts.h"
#include "app/gateway/gatewaywire.h"

#include <QFileInfo>

#include <exception>

namespace {
const QString kSched = QStringLiteral("scHandler");

// Thrown where a line needs a number and does not carry one; the line is dropped.
struct LineError : std::exception {};

qint64 needInt64(const QString& text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw LineError();
    return v;
}

int needInt(const QString& text)
{
    if (!IsInteger(text))
        throw LineError();
    return StrToIntDef(text, 0);
}
} // namespace

GatewayEngine::GatewayEngine(LinkSender& sender, GatewayHost& host, const Clock& clock)
    : m_sender(sender), m_host(host), m_clock(clock)
{
    m_display.connLabel = {text("0104"), GwColor::Grey};
    m_display.txLabel = {text("0121"), GwColor::Grey};
    m_display.rxLabel = {text("0121"), GwColor::Grey};
    m_display.serverField = text("0124");
    m_display.channelField = text("0125");
    m_display.beaconLine = QStringLiteral("[x] ") + text("0120");
    m_display.dtmfLine = text("0111") + QLatin1Char(' ') + text("0122");
    m_display.chcomButton.hint = QString();
    m_display.chcomButton.glyph = 2;
    m_display.awayButton.glyph = 4;
    m_display.playbackButton.glyph = 8;
    m_display.recordingButton.glyph = 6;
    m_display.settingsButton = {true, -1, text("0136")};
    m_display.remoteButton = {true, -1, text("0147")};
    m_display.saveChannelButton = {false, -1, text("0143")};
}

GatewayEngine::~GatewayEngine()
{
    // Whatever happened before, a gateway that goes away leaves no output keyed.
    releaseOutputs();
}

QString GatewayEngine::text(const char* id) const
{
    return GetText(QLatin1String(id));
}

QString GatewayEngine::bbcode(const char* colour, const QString& body) const
{
    return LinkEscape(QStringLiteral("[b][color=#") + QLatin1String(colour) + QStringLiteral("]") + body +
                      QStringLiteral("[/color][/b]"));
}

QString GatewayEngine::scHandlerItem() const
{
    return kSched + QLatin1Char('=') + QString::number(m_scHandlerID);
}

void GatewayEngine::send(const QString& command, const QString& params)
{
    m_sender.SendToTS3(command, params);
}

bool GatewayEngine::voxMode() const
{
    return DATARRAY.value(QStringLiteral("TS3-TX-PIN")) == QLatin1String("VOX");
}

void GatewayEngine::flushDisplay()
{
    if (m_dirty && m_view) {
        m_dirty = false;
        m_view->displayChanged();
    }
}

// ---------------------------------------------------------------------------------------
// Log

void GatewayEngine::WriteLog(const QString& message, GwColor color, GwStyle style)
{
    GwLogLine line;
    line.text = QLatin1Char('[') + m_clock.now().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("] > ") + message;
    line.color = color;
    line.style = style;
    m_log.append(line);
    if (m_view)
        m_view->logAppended(line);
}

void GatewayEngine::clearLog()
{
    m_log.clear();
    if (m_view)
        m_view->logCleared();
}

// ---------------------------------------------------------------------------------------
// Lifecycle

bool GatewayEngine::StarteForm(const SettingsList& loadParams)
{
    RDK3_LoadParams = loadParams;
    const QString file = cfgFile();
    if (file.isEmpty() || !QFileInfo::exists(file)) {
        m_host.showError(text("0060"));
        return false;
    }
    clearLog();
    WriteLog(text("0131") + QStringLiteral(": ") + QFileInfo(file).fileName(), GwColor::Grey, GwStyle::Italic);

    SettingsList loaded;
    if (!LoadGatewayFile(file, loaded) || loaded.value(QStringLiteral("gateUID")).isEmpty() ||
        loaded.value(QStringLiteral("gateName")).isEmpty()) {
        m_host.showError(text("0060"));
        return false;
    }
    DATARRAY = loaded;
    m_gateUID = DATARRAY.value(QStringLiteral("gateUID"));
    CompleteWithDefaults(DATARRAY);
    for (const gatewayconfig::Replaced& r : gatewayconfig::replaceOutOfRange(DATARRAY))
        WriteLog(text("0618") + QStringLiteral(": ") + r.key + QLatin1Char('=') + r.value + QStringLiteral(" -> ") +
                     r.fallback,
                 GwColor::DarkRed);

    m_display.dtmfLine = text("0111") + QLatin1Char(' ') + text("0122");
    if (DATARRAY.boolValue(QStringLiteral("DTMF-ON")) && DATARRAY.intValue(QStringLiteral("DTMF-INPUT-DEVICE"), -1) >= 0)
        OpenDtmf();
    PrepareLocalPlayer();

    refreshLimitLamps();
    m_ptt.holder = QStringLiteral("GATE_") + m_gateUID;
    m_txOut.holder = QStringLiteral("GATE_TX_") + m_gateUID;
    m_display.pttLamp = {GwColor::Silver, {}};
    m_display.txOutLamp = {GwColor::Silver, {}};
    UpdateSquelchLamp();

    m_display.title = DATARRAY.value(QStringLiteral("gateName"));
    m_windowLeft = DATARRAY.intValue(QStringLiteral("windowLPos"), 10);
    m_windowTop = DATARRAY.intValue(QStringLiteral("windowTPos"), 10);
    StartDirectoryChecks();
    m_started = true;
    changed();
    StarteGateway(0);
    flushDisplay();
    return true;
}

void GatewayEngine::StarteGateway(int n)
{
    if (m_ended)
        return;
    m_runTimerOn = true;
    if (n < 1)
        send(QStringLiteral("GW_START"), LinkItems({{QStringLiteral("gateUID"), m_gateUID}}));
    else
        COUNTER.setInt(QStringLiteral("TS3-START-CONNECT-WAIT"), 5 * qint64(n));
}

void GatewayEngine::sendGwConnect()
{
    const SettingsList& d = DATARRAY;
    if (d.value(QStringLiteral("TS3-CONNECT-TYPE")) == QLatin1String("1")) {
        // The plugin unescapes bookUID, so it is escaped like every other value (a UID is
        // normally a plain GUID and goes out unchanged).
        send(QStringLiteral("GW_CONNECT"),
             LinkItems({{QStringLiteral("type"), QStringLiteral("bookmark")},
                        {QStringLiteral("gateUID"), LinkEscape(m_gateUID)},
                        {QStringLiteral("bookUID"), LinkEscape(d.value(QStringLiteral("TS3-BOOK-UID")))}}));
        return;
    }
    auto e = [&d](const char* key) { return LinkEscape(d.value(QLatin1String(key))); };
    send(QStringLiteral("GW_CONNECT"),
         LinkItems({{QStringLiteral("type"), QStringLiteral("gui")},
                    {QStringLiteral("gateUID"), LinkEscape(m_gateUID)},
                    {QStringLiteral("nick"), e("TS3-NICK")},
                    {QStringLiteral("host"), e("TS3-HOST")},
                    {QStringLiteral("SndIn"), e("TS3-SND-IN-PROF")},
                    {QStringLiteral("SndOut"), e("TS3-SND-OUT-PROF")},
                    {QStringLiteral("channel"), e("TS3-START-CHANNEL")},
                    {QStringLiteral("ident"), e("TS3-IDENTIS-PROF")},
                    {QStringLiteral("servPass"), e("TS3-SERV-PASSWD")},
                    {QStringLiteral("chanPass"), e("TS3-CHAN-PASSWD")}}));
}

void GatewayEngine::StoppeGateway()
{
    send(QStringLiteral("GW_STOP"),
         LinkItems({{QStringLiteral("gateUID"), LinkEscape(m_gateUID)}, {kSched, QString::number(m_scHandlerID)}}));
}

void GatewayEngine::TS3_Disconnect()
{
    SettingsList items;
    items.setValue(QStringLiteral("status"), QStringLiteral("0"));
    ParseIncomingTS3Data(QStringLiteral("CONNECT"), items);
    m_scHandlerID = 0;
    m_connected = false;
    flushDisplay();
}

void GatewayEngine::ResetGateway()
{
    OnServerDisconnected(SettingsList());
    m_scHandlerID = 0;
    m_connected = false;
    SPEAKERS.remove(QStringLiteral("TS3-RX"));
    flushDisplay();
}

void GatewayEngine::BeendeForm(int)
{
    if (m_ended)
        return;
    StoppeGateway();
    TS3_Disconnect();
    ConfigSpeichern();
    m_ended = true;
    m_runTimerOn = false;
    // With the relay tick stopped nothing would release the outputs any more: a hold
    // entry left in SPEAKERS (a relay delay, a hand-keyed lamp) must not leave the radio
    // transmitting after the window has gone.
    releaseOutputs();
    CloseDtmf();
    ReleaseLocalPlayer();
    flushDisplay();
}

bool GatewayEngine::ConfigSpeichern()
{
    if (m_view)
        m_view->windowPosition(m_windowLeft, m_windowTop);
    gatewayconfig::stampForSave(DATARRAY, m_windowTop, m_windowLeft, m_clock);
    const QString file = cfgFile();
    if (file.isEmpty())
        return false;
    return SaveGatewayFile(file, DATARRAY);
}

bool GatewayEngine::CloseQuery()
{
    if (m_ended || m_host.appIsClosing())
        return true;
    if (!DATARRAY.boolValue(QStringLiteral("gateExitDlg")) ||
        m_host.askYesNo(m_display.title + QLatin1Char(' ') + text("0126"))) {
        StoppeGateway();
        BeendeForm(0);
        return true;
    }
    return false;
}

void GatewayEngine::CloseGateway()
{
    if (m_view)
        m_view->closeWindow();
    else
        CloseQuery();
}

void GatewayEngine::setWindowPosition(int left, int top)
{
    m_windowLeft = left;
    m_windowTop = top;
}

void GatewayEngine::WriteConfig(const SettingsList& settings)
{
    DATARRAY = settings;
    refreshLimitLamps();
    flushDisplay();
}

// ---------------------------------------------------------------------------------------
// Ticks

void GatewayEngine::blinkTick()
{
    if (m_ended)
        return;
    if (!m_connected && m_display.connLamp.color != GwColor::Blue)
        m_display.connLamp.color = GwColor::Blue;
    else
        m_display.connLamp.color = GwColor::LightBlue;
    changed();
    flushDisplay();
}

void GatewayEngine::pingTick()
{
    if (m_ended || m_scHandlerID <= 0)
        return;
    send(QStringLiteral("GW_PING"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                               {QStringLiteral("timestamp"), QString::number(m_clock.nowMs())},
                                               {QStringLiteral("err"), QString::number(PiPoErrors)}}));
    PiPoErrors += 1;
    if (PiPoErrors > 7) {
        SettingsList items;
        items.setValue(QStringLiteral("cmd"), QStringLiteral("RESET_CONNECTION"));
        OnServerDisconnected(items);
    }
    flushDisplay();
}

void GatewayEngine::secondTick()
{
    if (m_ended)
        return;
    comPortWatch();
    // Walk a snapshot from the last entry to the first: entries added by an action are
    // not visited in this pass, and an entry removed meanwhile is skipped.
    QStringList names;
    names.reserve(COUNTER.size());
    for (int i = 0; i < COUNTER.size(); ++i)
        names << COUNTER.nameAt(i);
    for (qsizetype i = names.size() - 1; i >= 0; --i) {
        const QString& name = names[i];
        if (!COUNTER.contains(name))
            continue;
        const int v = COUNTER.intValue(name, -1);
        if (v >= 1) {
            COUNTER.setInt(name, v - 1);
            showCounterProgress(name, v - 1);
        } else if (v < 0) {
            COUNTER.remove(name);
        } else {
            // Removed before its action, so an action may arm the same entry again.
            COUNTER.remove(name);
            counterAction(name);
        }
    }
    if (SPAM_COUNT_VAR > 0)
        SPAM_COUNT_VAR -= 1;
    flushDisplay();
}

void GatewayEngine::showCounterProgress(const QString& name, int left)
{
    const SettingsList& d = DATARRAY;
    if (name == QLatin1String("TXTIME-TS3-ON")) {
        const int max = d.intValue(QStringLiteral("TS3-TX-MAXTIME"), 0);
        m_display.ts3Bar = {max, max - left, GwColor::Green};
        m_display.ts3LimitLamp.color = GwColor::BrightGreen;
    } else if (name == QLatin1String("TXTIME-TS3-OFF")) {
        m_display.ts3Bar = {d.intValue(QStringLiteral("TS3-TX-MAXRESET"), 0), left, GwColor::Red};
        m_display.ts3LimitLamp.color = GwColor::Red;
    } else if (name == QLatin1String("TXTIME-HF-ON")) {
        const int max = d.intValue(QStringLiteral("HF-TX-MAXTIME"), 0);
        m_display.hfBar = {max, max - left, GwColor::Green};
        m_display.hfLimitLamp.color = GwColor::BrightGreen;
    } else if (name == QLatin1String("TXTIME-HF-OFF")) {
        m_display.hfBar = {d.intValue(QStringLiteral("HF-TX-MAXRESET"), 0), left, GwColor::Red};
        m_display.hfLimitLamp.color = GwColor::Red;
    } else {
        return;
    }
    changed();
}

void GatewayEngine::counterAction(const QString& name)
{
    const SettingsList& d = DATARRAY;
    auto status = [this](const char* cmd, int s) {
        send(QLatin1String(cmd), LinkItems({{kSched, QString::number(m_scHandlerID)}, {QStringLiteral("status"), QString::number(s)}}));
    };
    auto chanMsg = [this](const QString& escaped) {
        send(QStringLiteral("MSGTOCHAN"), LinkItems({{kSched, QString::number(m_scHandlerID)}, {QStringLiteral("message"), escaped}}));
    };
    const QString n = name.toUpper();
    if (n == QLatin1String("TS3-MUTE-0")) status("SETMUTE", 0);
    else if (n == QLatin1String("TS3-MUTE-1")) status("SETMUTE", 1);
    else if (n == QLatin1String("TS3-RUHE-0")) status("SETRUHE", 0);
    else if (n == QLatin1String("TS3-RUHE-1")) status("SETRUHE", 1);
    else if (n == QLatin1String("TS3-AWAY-0")) status("SETAFK", 0);
    else if (n == QLatin1String("TS3-AWAY-1")) status("SETAFK", 1);
    else if (n == QLatin1String("TXTIME-TS3-ON")) {
        const QString reset = d.value(QStringLiteral("TS3-TX-MAXRESET"));
        COUNTER.setValue(QStringLiteral("TXTIME-TS3-OFF"), reset);
        const int r = StrToIntDef(reset, 0);
        m_display.ts3LimitLamp.color = GwColor::Red;
        m_display.ts3Bar = {r, r, GwColor::Red};
        changed();
        status("SETRUHE", 1);
        chanMsg(bbcode("FF0000", text("0607") + QStringLiteral(" >> ") + reset + QLatin1Char(' ') + text("0609")));
    } else if (n == QLatin1String("TXTIME-TS3-OFF")) {
        m_display.ts3LimitLamp.color = d.boolValue(QStringLiteral("TS3-TX-MAX-ON")) ? GwColor::Green : GwColor::Silver;
        m_display.ts3Bar.pos = 0;
        m_display.ts3Bar.color = GwColor::Green;
        changed();
        status("SETRUHE", 0);
        chanMsg(bbcode("008000", text("0608")));
    } else if (n == QLatin1String("TXTIME-HF-ON")) {
        const QString reset = d.value(QStringLiteral("HF-TX-MAXRESET"));
        COUNTER.setValue(QStringLiteral("TXTIME-HF-OFF"), reset);
        const int r = StrToIntDef(reset, 0);
        m_display.hfLimitLamp.color = GwColor::Red;
        m_display.hfBar = {r, r, GwColor::Red};
        changed();
        status("SETMUTE", 1);
        chanMsg(bbcode("FF0000", text("0607") + QStringLiteral(" >> ") + reset + QLatin1Char(' ') + text("0609")));
    } else if (n == QLatin1String("TXTIME-HF-OFF")) {
        m_display.hfLimitLamp.color = d.boolValue(QStringLiteral("HF-TX-MAX-ON")) ? GwColor::Green : GwColor::Silver;
        m_display.hfBar.pos = 0;
        m_display.hfBar.color = GwColor::Green;
        changed();
        status("SETMUTE", 0);
        chanMsg(bbcode("008000", text("0608")));
    } else if (n == QLatin1String("TS3-RECONNECT")) {
        sendGwConnect();
    } else if (n == QLatin1String("TS3-START-CONNECT-WAIT")) {
        send(QStringLiteral("GW_START"), LinkItems({{QStringLiteral("gateUID"), m_gateUID}}));
    }
}

void GatewayEngine::refreshLimitLamps()
{
    // Only the "off" state is decided here; a running count or block keeps its colour.
    auto refresh = [this](const char* key, GwLamp& lamp) {
        if (!DATARRAY.boolValue(QLatin1String(key)))
            lamp.color = GwColor::Silver;
        else if (lamp.color == GwColor::Silver)
            lamp.color = GwColor::Green;
    };
    refresh("TS3-TX-MAX-ON", m_display.ts3LimitLamp);
    refresh("HF-TX-MAX-ON", m_display.hfLimitLamp);
    changed();
}

// ---------------------------------------------------------------------------------------
// Incoming lines

bool GatewayEngine::forThisGateway(const SettingsList& items) const
{
    return StrToIntDef(items.value(kSched), 0) == m_scHandlerID;
}

void GatewayEngine::ParseIncomingTS3Data(const QString& command, const SettingsList& items)
{
    if (m_ended)
        return;
    try {
        dispatch(command, items);
    } catch (...) {
        // A line that cannot be handled is dropped; what was done stays done.
    }
    flushDisplay();
}

void GatewayEngine::dispatch(const QString& cmd, const SettingsList& items)
{
    auto has = [&items](const char* key) { return items.contains(QLatin1String(key)); };
    auto val = [&items](const char* key) { return items.value(QLatin1String(key)); };

    if (cmd == QLatin1String("GW_PONG")) {
        const QString raw = val("timestamp");
        const qint64 ts = needInt64(raw);
        if (ts > 0) {
            const qint64 rtt = m_clock.nowMs() - ts;
            if (rtt >= 0 && rtt < 9999) {
                m_display.pingLabel = QStringLiteral("Ping: ") + QString::number(rtt) + QStringLiteral(" ms");
                changed();
            }
            send(QStringLiteral("GW_PQNG"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                                       {QStringLiteral("timestamp"), raw},
                                                       {QStringLiteral("err"), QString::number(PiPoErrors)}}));
            LastPong = ts;
            PiPoErrors = 0;
        }
    } else if (cmd == QLatin1String("CONNECT")) {
        const QString status = val("status");
        if (status == QLatin1String("4") && !m_connected)
            OnServerConnected(items);
        if (status != QLatin1String("4") && m_connected)
            OnServerDisconnected(items);
        else if (status != QLatin1String("4") && has("cmd"))
            OnServerDisconnected(items);
    } else if (cmd == QLatin1String("TXVOICE")) {
        if (forThisGateway(items))
            TxVoiceChanged(val("status") == QLatin1String("1"));
    } else if (cmd == QLatin1String("RXVOICE")) {
        if (forThisGateway(items)) {
            const bool relayed = RxVoiceChanged(val("speakers") != QLatin1String("0"), val("clientID"),
                                                StrToIntDef(val("speakers"), 0), LinkUnescape(val("clientUID")));
            // A blocked talker gets no beeps either.
            if (relayed && val("status") == QLatin1String("0"))
                PlayRxEndBeep();
            else if (relayed)
                PlayRxStartBeep();
        }
    } else if (cmd == QLatin1String("SPEAKERS")) {
        // The count answers GETSPEAKER (sent on every connect). "Nobody talks" ends a
        // reception only when one was being relayed; otherwise every connect would key the
        // radio for the release delay and send the end and roger beeps with nobody speaking.
        const bool nobodyTalks = val("speakers") == QLatin1String("0");
        if (forThisGateway(items) && !(nobodyTalks && !SPEAKERS.contains(QStringLiteral("TS3-RX")))) {
            RxVoiceChanged(val("speakers") != QLatin1String("0"), QStringLiteral("0"), StrToIntDef(val("speakers"), 0),
                           QString());
            if (val("status") == QLatin1String("0"))
                PlayRxEndBeep();
            else
                PlayRxStartBeep();
        }
    } else if (cmd == QLatin1String("GW_START")) {
        if (has("gateUID") && val("gateUID") == m_gateUID)
            sendGwConnect();
    } else if (cmd == QLatin1String("GW_CONNECT")) {
        if (has("scHandler") && val("gateUID") == m_gateUID) {
            m_scHandlerID = needInt(val("scHandler"));
            PiPoErrors = 0;
        }
    } else if (cmd == QLatin1String("GW_ERROR")) {
        if (has("errorCode") && forThisGateway(items))
            HandleGatewayError(items, val("errorCode").trimmed());
    } else if (cmd == QLatin1String("PLUGINCMD")) {
        if (has("cmd") && has("fromID") && forThisGateway(items))
            HandlePluginCommand(val("cmd"), items);
    } else if (cmd == QLatin1String("SELFVAR")) {
        if (forThisGateway(items)) {
            const QString flag = val("flag");
            const QString newValue = LinkUnescape(val("newValue"));
            TS3FLAGS.setValue(flag, newValue);
            if (flag == QLatin1String("1")) {
                m_display.title = LinkText(val("newValue"));
                changed();
            } else if (flag == QLatin1String("57") || flag == QLatin1String("38") || flag == QLatin1String("5") ||
                       flag == QLatin1String("6")) {
                setFlagButton(flag);
            }
        }
    } else if (cmd == QLatin1String("MOVED")) {
        if (forThisGateway(items))
            handleMoved(items);
    } else if (cmd == QLatin1String("SERVERINFO")) {
        if (forThisGateway(items)) {
            const QString c = val("connected");
            if (c == QLatin1String("4") && !m_connected)
                OnServerConnected(items);
            if (c != QLatin1String("4") && m_connected)
                OnServerDisconnected(items);
        }
    } else if (cmd == QLatin1String("USEROUT") || cmd == QLatin1String("USERIN")) {
        if (forThisGateway(items)) {
            const bool in = cmd == QLatin1String("USERIN");
            WriteLog(text(in ? "0127" : "0128") + QStringLiteral(": ") + LinkText(val("nickname")), GwColor::Green);
            if (DATARRAY.boolValue(in ? QStringLiteral("HF-WAVE-USERIN") : QStringLiteral("HF-WAVE-USEROUT")))
                PlayAnnouncement(m_host.soundFolder() + m_host.appLang() +
                                     (in ? QStringLiteral("/S0001.wav") : QStringLiteral("/S0002.wav")),
                                 true);
        }
    } else if (cmd == QLatin1String("ERRORMSG")) {
        if (needInt(val("error")) > 0)
            WriteLog(text("0129") + QStringLiteral(": ") + LinkText(val("errorMSG")) + QStringLiteral(" (") +
                         LinkText(val("extraMSG")) + QLatin1Char(')'),
                     GwColor::Red);
    } else if (cmd == QLatin1String("PERMERROR")) {
        if (needInt(val("error")) > 0)
            WriteLog(text("0134") + QStringLiteral(": ") + LinkText(val("permID")), GwColor::Red);
    } else if (cmd == QLatin1String("REMOTE")) {
        if (needInt(val("fromID")) > 0 && forThisGateway(items)) {
            QString up = val("cmd");
            for (QChar& ch : up)
                if (ch >= QLatin1Char('a') && ch <= QLatin1Char('z'))
                    ch = QChar(ch.unicode() - 32);
            HandleRemoteCommand(up, items);
        }
    } else if (cmd == QLatin1String("CHANNELPATH")) {
        if (StrToIntDef(val("save"), 0) > 0 && forThisGateway(items)) {
            DATARRAY.setValue(QStringLiteral("TS3-START-CHANNEL"), LinkText(val("path")));
            DATARRAY.setInt(QStringLiteral("TS3-START-CHAN-ID"), StrToIntDef(val("channelID"), 0));
            ConfigSpeichern();
        }
    } else if (cmd == QLatin1String("CHANNELS")) {
        if (forThisGateway(items))
            handleChannels(items);
    } else if (cmd == QLatin1String("WAVEPLAYER")) {
        const int len = StrToIntDef(val("len"), 0);
        if (len > 0 && needInt(val("status")) == 1 && forThisGateway(items)) {
            COUNT_WPLAY = len;
            SPEAKERS.setValue(QStringLiteral("HF-TS3W-PLAY"), QStringLiteral("-1"));
            if (DATARRAY.boolValue(QStringLiteral("TS3-CMDR-ON-RX")) && DATARRAY.boolValue(QStringLiteral("TS3-CMDR-ON-ACT")))
                send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=1"));
        }
    }
}

void GatewayEngine::handleMoved(const SettingsList& items)
{
    const QString moverID = items.value(QStringLiteral("moverID"));
    if (!DATARRAY.boolValue(QStringLiteral("TS3-MOVING-CLIENT")) && StrToIntDef(moverID, 0) > 0) {
        send(QStringLiteral("BACKTOCHAN"), scHandlerItem());
        WriteLog(text("0142"), GwColor::Red);
        send(QStringLiteral("MSGTOUSER"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                                     {QStringLiteral("userID"), moverID},
                                                     {QStringLiteral("message"), bbcode("FF0000", text("0611"))}}));
        return;
    }
    const QString channel = LinkText(items.value(QStringLiteral("channelName")));
    m_display.channelField = channel;
    changed();
    WriteLog(text("0130") + QStringLiteral(": ") + channel, GwColor::Green);
    if (DATARRAY.boolValue(QStringLiteral("TS3-CMDR-ON-ON")) && TS3FLAGS.value(QStringLiteral("57")) != QLatin1String("1"))
        send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=1"));
}

void GatewayEngine::handleChannels(const SettingsList& items)
{
    if (items.value(QStringLiteral("type")) == QLatin1String("info"))
        return;
    _CHS.clear();
    if (items.contains(QStringLiteral("ids")))
        _CHS = items.value(QStringLiteral("ids")).split(QLatin1Char('|'));
    for (const QString& id : std::as_const(_CHS)) {
        if (m_scHandlerID <= 0)
            break;
        send(QStringLiteral("GETCHANNELS"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                                       {QStringLiteral("type"), QStringLiteral("info")},
                                                       {QStringLiteral("chID"), id}}));
    }
    _CHS.clear();
}

void GatewayEngine::OnServerConnected(const SettingsList& items)
{
    const SettingsList& d = DATARRAY;
    // 1
    SPEAKERS.remove(QStringLiteral("TS3-RX"));
    TS3FLAGS.clear();
    radioPttOffUnlessHeld();
    // 2
    m_display.connLamp.color = GwColor::LightBlue;
    m_display.connLabel = {text("0105") + QStringLiteral(" [") + QString::number(m_scHandlerID) + QLatin1Char(']'),
                           GwColor::Navy};
    m_connected = true;
    m_display.txLabel = {text("0106"), GwColor::Grey};
    m_display.rxLabel = {text("0106"), GwColor::Grey};
    changed();
    WriteLog(text("0132"), GwColor::Green);
    // 3
    if (items.contains(QStringLiteral("serverName")) && items.contains(QStringLiteral("channelName")) &&
        items.contains(QStringLiteral("myNickname"))) {
        m_display.serverField = LinkText(items.value(QStringLiteral("serverName")));
        m_display.channelField = LinkText(items.value(QStringLiteral("channelName")));
        m_display.title = LinkText(items.value(QStringLiteral("myNickname")));
    }
    // 4
    const QString nick = d.value(QStringLiteral("TS3-NICK"));
    if (d.boolValue(QStringLiteral("TS3-NICK-WRITE")) && TS3FLAGS.value(QStringLiteral("1")) != nick)
        send(QStringLiteral("SETNICK"), scHandlerItem() + QStringLiteral(" nickname=") + LinkEscape(nick));
    // 5
    send(QStringLiteral("SETCHCOM"),
         scHandlerItem() + (d.boolValue(QStringLiteral("TS3-CMDR-ON-ON")) ? QStringLiteral(" status=1") : QStringLiteral(" status=0")));
    // 6
    if (voxMode()) {
        TS3_VOX_DELAY = d.intValue(QStringLiteral("TS3-VOX-DELAY"), 5);
        TS3_PTT_DELAY = -1;
    } else {
        TS3_PTT_DELAY = d.intValue(QStringLiteral("TS3-PTT-DELAY"), 5);
        TS3_VOX_DELAY = -1;
    }
    VOX_IST_AKTIV = false;
    // 7
    WAVE_LV_IST = d.intValue(QStringLiteral("AUDIO-WAVE-VOLUME"), -20);
    send(QStringLiteral("SETWAVELEVEL"), scHandlerItem() + QStringLiteral(" level=") + QString::number(WAVE_LV_IST));
    // 8
    m_display.ts3Bar.pos = 0;
    m_display.hfBar.pos = 0;
    setButtonsConnected(true);
    // 9
    refreshLimitLamps();
    // 10
    send(QStringLiteral("SETAFK"), scHandlerItem() + QStringLiteral(" status=0"));
    send(QStringLiteral("SETMUTE"), scHandlerItem() + QStringLiteral(" status=0"));
    send(QStringLiteral("SETRUHE"), scHandlerItem() + QStringLiteral(" status=0"));
    send(QStringLiteral("GETSPEAKER"), scHandlerItem());
    send(QStringLiteral("SETINFO"), scHandlerItem() + QStringLiteral(" text=") + LinkEscape(d.value(QStringLiteral("TS3-INFO-TXT"))));
    // 11
    SettingsList req;
    req.setValue(QStringLiteral("gateUID"), m_gateUID);
    req.setValue(QStringLiteral("server"), m_display.serverField);
    req.setValue(QStringLiteral("nick"), m_display.title);
    DirectoryRequest(QStringLiteral("GATE-ONLINE"), req);
}

void GatewayEngine::OnServerDisconnected(const SettingsList& items)
{
    // 1
    if (m_connected)
        WriteLog(text("0133"), GwColor::Red);
    m_connected = false;
    // 2
    m_display.connLamp.color = GwColor::Blue;
    m_display.txLamp.color = GwColor::Green;
    m_display.rxLamp.color = GwColor::Green;
    m_display.connLabel = {text("0104"), GwColor::Grey};
    m_display.txLabel = {text("0121"), GwColor::Grey};
    m_display.rxLabel = {text("0121"), GwColor::Grey};
    m_display.serverField = text("0124");
    m_display.channelField = text("0125");
    changed();
    // 3
    if (items.value(QStringLiteral("cmd")) == QLatin1String("RESET_CONNECTION"))
        ResetGateway();
    // 4
    m_display.ts3Bar.pos = 0;
    m_display.hfBar.pos = 0;
    setButtonsConnected(false);
    // 5
    if (SPEAKERS.contains(QStringLiteral("TS3-RX")))
        SPEAKERS.setValue(QStringLiteral("TS3-RX"), DATARRAY.value(QStringLiteral("TS3-RX-DELAY")));
    // The client's own transmission ended with the connection, but no TXVOICE will say
    // so: drop the second output now rather than leave it keyed.
    if (TS_TX_STATUS) {
        TS_TX_STATUS = false;
        driveOutput(OutKind::Tx, false);
        m_display.txLamp.color = GwColor::Green;
        if (!COUNTER.contains(QStringLiteral("TXTIME-TS3-OFF")))
            COUNTER.remove(QStringLiteral("TXTIME-TS3-ON"));
    }
    // TeamSpeak speech relayed to the radio ends with the connection too.
    TS_RX_STATUS = false;
    // 6
    TS3FLAGS.clear();
    radioPttOffUnlessHeld();
    // 7
    SettingsList req;
    req.setValue(QStringLiteral("gateUID"), m_gateUID);
    DirectoryRequest(QStringLiteral("GATE-OFFLINE"), req);
}

// While a hold entry is left (the release delay of a running relay, a lamp held by hand)
// the relay tick keeps the radio keyed and releases it once the holds are gone; switching
// it off here would only key it again at the next tick.
void GatewayEngine::radioPttOffUnlessHeld()
{
    if (SPEAKERS.isEmpty())
        RadioPttOff();
}

void GatewayEngine::HandleGatewayError(const SettingsList& items, const QString& code)
{
    if (code == QLatin1String("1")) {
        WriteLog(text("0141"), GwColor::DarkRed, GwStyle::Bold);
        COUNTER.setValue(QStringLiteral("TS3-RECONNECT"), QStringLiteral("5"));
    } else if ((code == QLatin1String("101") || code == QLatin1String("102")) && items.contains(QStringLiteral("fromID"))) {
        send(QStringLiteral("MSGTOUSER"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                                     {QStringLiteral("userID"), items.value(QStringLiteral("fromID"))},
                                                     {QStringLiteral("message"), bbcode("FF0000", text("0610"))}}));
    }
}

void GatewayEngine::HandlePluginCommand(const QString& cmd, const SettingsList& items)
{
    if (cmd == QLatin1String("GATE_PING"))
        send(QStringLiteral("MSGTOGATES"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                                      {QStringLiteral("cmd"), QStringLiteral("GATE_PONG")},
                                                      {QStringLiteral("timestamp"), items.value(QStringLiteral("timestamp"))}}));
}

// ---------------------------------------------------------------------------------------
// Function buttons

void GatewayEngine::setButtonsConnected(bool connected)
{
    GatewayDisplay& v = m_display;
    if (connected) {
        v.chcomButton = {true, 0, text("0137")};
        v.awayButton = {true, 4, text("0138")};
        v.playbackButton = {true, 8, text("0139")};
        v.recordingButton = {true, 6, text("0140")};
        v.callButton.enabled = true;
        v.saveChannelButton.enabled = StrToIntDef(DATARRAY.value(QStringLiteral("TS3-CONNECT-TYPE")), 0) == 0;
    } else {
        v.chcomButton = {false, 2, QString()};
        v.awayButton.enabled = false;
        v.awayButton.hint.clear();
        v.playbackButton.enabled = false;
        v.playbackButton.hint.clear();
        v.recordingButton.enabled = false;
        v.recordingButton.hint.clear();
        v.callButton.enabled = false;
        v.saveChannelButton.enabled = false;
    }
    changed();
}

void GatewayEngine::setFlagButton(const QString& flag)
{
    const bool one = TS3FLAGS.value(flag) == QLatin1String("1");
    if (flag == QLatin1String("57"))
        m_display.chcomButton.glyph = one ? 1 : 0;
    else if (flag == QLatin1String("38"))
        m_display.awayButton.glyph = one ? 3 : 4;
    else if (flag == QLatin1String("6"))
        m_display.playbackButton.glyph = one ? 7 : 8;
    else if (flag == QLatin1String("5"))
        m_display.recordingButton.glyph = one ? 5 : 6;
    changed();
}

void GatewayEngine::toggleFlag(const QString& flag, const char* command)
{
    if (m_ended || m_scHandlerID <= 0)
        return;
    const bool one = TS3FLAGS.value(flag) == QLatin1String("1");
    send(QLatin1String(command), scHandlerItem() + (one ? QStringLiteral(" status=0") : QStringLiteral(" status=1")));
}

void GatewayEngine::pressChannelCommander() { toggleFlag(QStringLiteral("57"), "SETCHCOM"); }
void GatewayEngine::pressAway() { toggleFlag(QStringLiteral("38"), "SETAFK"); }
void GatewayEngine::pressPlayback() { toggleFlag(QStringLiteral("6"), "SETMUTE"); }
void GatewayEngine::pressRecording() { toggleFlag(QStringLiteral("5"), "SETRUHE"); }

void GatewayEngine::pressSaveStartChannel()
{
    if (m_ended || m_scHandlerID <= 0)
        return;
    if (m_host.askYesNo(text("0143")))
        send(QStringLiteral("GETCHANPATH"), scHandlerItem() + QStringLiteral(" channel=0 save=1"));
}

void GatewayEngine::releaseCallTone()
{
    if (m_ended || !m_connected)
        return;
    PlayCallTone();
}

void GatewayEngine::radioLampPressed()
{
    if (m_ended)
        return;
    SPEAKERS.setValue(QStringLiteral("KLICK-LED"), QStringLiteral("-1"));
}

void GatewayEngine::radioLampReleased()
{
    if (SPEAKERS.contains(QStringLiteral("KLICK-LED")))
        SPEAKERS.setValue(QStringLiteral("KLICK-LED"), QStringLiteral("0"));
}
