#include "app/gateway/gatewayengine.h"

#include "app/config/gatewayconfig.h"
#include "app/config/gatewaykeys.h"
#include "app/config/texts.h"
#include "app/gateway/gatewaynames.h"
#include "app/gateway/remotecommands.h"
#include "link/qt/linkqt.h"

#include <QFileInfo>
#include <QHash>

#include <exception>

namespace {
const QString kSched = QStringLiteral("scHandler");
// Keys of the lines every gateway gets many of (PLUGINCMD: every other gateway's ping).
const QString kCmd = QStringLiteral("cmd");
const QString kFromID = QStringLiteral("fromID");
const QString kTimestamp = QStringLiteral("timestamp");

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
    return LinkEscape(remote::BBCode(colour, body));
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
    return tickSettings().vox;
}

const GatewayEngine::TickSettings& GatewayEngine::tickSettings() const
{
    const SettingsList& d = DATARRAY;
    if (m_tickSettings.revision == d.revision())
        return m_tickSettings;
    TickSettings t;
    t.revision = d.revision();
    const QString txPin = d.value(gwkey::TS3_TX_PIN);
    t.vox = txPin == QLatin1String("VOX");
    t.comKeyed = txPin == QLatin1String("COM");
    auto line = [&d](const QString& on, const QString& num, const QString& pin, const QString& invert) {
        return TickSettings::Line{d.boolValue(on), d.intValue(num, 0), d.value(pin), d.boolValue(invert)};
    };
    t.in = line(gwkey::COM_IN_ON, gwkey::COM_IN_NUM, gwkey::COM_IN_PIN, gwkey::COM_IN_INVERT);
    t.out = line(gwkey::COM_OUT_ON, gwkey::COM_OUT_NUM, gwkey::COM_OUT_PIN, gwkey::COM_OUT_INVERT);
    t.txOut = line(gwkey::COM_OUT_TX_ON, gwkey::COM_OUT_TX_NUM, gwkey::COM_OUT_TX_PIN, gwkey::COM_OUT_TX_INVERT);
    t.hfTxMaxOn = d.boolValue(gwkey::HF_TX_MAX_ON);
    t.beaconOn = d.boolValue(gwkey::HF_BAKE_ON);
    t.beaconAfterTx = d.intValue(gwkey::HF_BAKE_AFTX, 0);
    t.beaconAfterRx = d.intValue(gwkey::HF_BAKE_AFRX, 0);
    t.beaconFile = d.value(gwkey::HF_BAKE_FILE);
    t.beaconTime = d.value(gwkey::HF_BAKE_TIME);
    m_tickSettings = std::move(t);
    return m_tickSettings;
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
    line.text =
        QLatin1Char('[') + m_clock.now().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("] > ") + message;
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

    if (!loadSettings(file)) {
        m_host.showError(text("0060"));
        return false;
    }
    m_display.dtmfLine = text("0111") + QLatin1Char(' ') + text("0122");
    if (DATARRAY.boolValue(gwkey::DTMF_ON) && DATARRAY.intValue(gwkey::DTMF_INPUT_DEVICE, -1) >= 0)
        OpenDtmf();
    PrepareLocalPlayer();

    refreshLimitLamps();
    m_ptt.holder = QStringLiteral("GATE_") + m_gateUID;
    m_txOut.holder = QStringLiteral("GATE_TX_") + m_gateUID;
    m_display.pttLamp = {GwColor::Silver, {}};
    m_display.txOutLamp = {GwColor::Silver, {}};
    UpdateSquelchLamp();

    m_display.title = DATARRAY.value(gwkey::gateName);
    m_windowLeft = DATARRAY.intValue(gwkey::windowLPos, 10);
    m_windowTop = DATARRAY.intValue(gwkey::windowTPos, 10);
    StartDirectoryChecks();
    m_started = true;
    changed();
    StarteGateway(0);
    flushDisplay();
    return true;
}

// The gateway file becomes DATARRAY, completed with the defaults; a value that can never
// be right is replaced by its default, with a log line. False when the file is unusable.
bool GatewayEngine::loadSettings(const QString& file)
{
    SettingsList loaded;
    if (!LoadGatewayFile(file, loaded) || loaded.value(gwkey::gateUID).isEmpty() ||
        loaded.value(gwkey::gateName).isEmpty())
        return false;
    DATARRAY = loaded;
    m_gateUID = DATARRAY.value(gwkey::gateUID);
    CompleteWithDefaults(DATARRAY);
    for (const gatewayconfig::Replaced& r : gatewayconfig::replaceOutOfRange(DATARRAY))
        WriteLog(text("0618") + QStringLiteral(": ") + r.key + QLatin1Char('=') + r.value + QStringLiteral(" -> ") +
                     r.fallback,
                 GwColor::DarkRed);
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
        COUNTER.setInt(counter::TS3_START_CONNECT_WAIT, 5 * qint64(n));
}

void GatewayEngine::sendGwConnect()
{
    const SettingsList& d = DATARRAY;
    if (d.value(gwkey::TS3_CONNECT_TYPE) == QLatin1String("1")) {
        // The plugin unescapes bookUID, so it is escaped like every other value (a UID is
        // normally a plain GUID and goes out unchanged).
        send(QStringLiteral("GW_CONNECT"),
             LinkItems({{QStringLiteral("type"), QStringLiteral("bookmark")},
                        {QStringLiteral("gateUID"), LinkEscape(m_gateUID)},
                        {QStringLiteral("bookUID"), LinkEscape(d.value(gwkey::TS3_BOOK_UID))}}));
        return;
    }
    auto e = [&d](const QString& key) { return LinkEscape(d.value(key)); };
    send(QStringLiteral("GW_CONNECT"), LinkItems({{QStringLiteral("type"), QStringLiteral("gui")},
                                                  {QStringLiteral("gateUID"), LinkEscape(m_gateUID)},
                                                  {QStringLiteral("nick"), e(gwkey::TS3_NICK)},
                                                  {QStringLiteral("host"), e(gwkey::TS3_HOST)},
                                                  {QStringLiteral("SndIn"), e(gwkey::TS3_SND_IN_PROF)},
                                                  {QStringLiteral("SndOut"), e(gwkey::TS3_SND_OUT_PROF)},
                                                  {QStringLiteral("channel"), e(gwkey::TS3_START_CHANNEL)},
                                                  {QStringLiteral("ident"), e(gwkey::TS3_IDENTIS_PROF)},
                                                  {QStringLiteral("servPass"), e(gwkey::TS3_SERV_PASSWD)},
                                                  {QStringLiteral("chanPass"), e(gwkey::TS3_CHAN_PASSWD)}}));
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
    SPEAKERS.remove(hold::TS3_RX);
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
    if (!DATARRAY.boolValue(gwkey::gateExitDlg) || m_host.askYesNo(m_display.title + QLatin1Char(' ') + text("0126"))) {
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

void GatewayEngine::WriteConfig(std::shared_ptr<SettingsList> settings)
{
    DATARRAY.share(std::move(settings));
    refreshLimitLamps();
    flushDisplay();
}

// ---------------------------------------------------------------------------------------
// Ticks

void GatewayEngine::blinkTick()
{
    if (m_ended)
        return;
    // Blinks while disconnected, steady while connected: the view is refreshed only when
    // the lamp changes.
    const GwColor next = !m_connected && m_display.connLamp.color != GwColor::Blue ? GwColor::Blue : GwColor::LightBlue;
    if (m_display.connLamp.color != next) {
        m_display.connLamp.color = next;
        changed();
    }
    flushDisplay();
}

void GatewayEngine::pingTick()
{
    if (m_ended || m_scHandlerID <= 0)
        return;
    send(QStringLiteral("GW_PING"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                               {QStringLiteral("timestamp"), QString::number(m_clock.nowMs())},
                                               {QStringLiteral("err"), QString::number(m_ping.PiPoErrors)}}));
    m_ping.PiPoErrors += 1;
    if (m_ping.PiPoErrors > 7) {
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
        int v = COUNTER.intValue(name, -1);
        switch (countDown(v)) {
        case Countdown::Running:
            COUNTER.setInt(name, v);
            showCounterProgress(name, v);
            break;
        case Countdown::Fired:
            // Removed before its action, so an action may arm the same entry again.
            COUNTER.remove(name);
            counterAction(name);
            break;
        case Countdown::Idle: // not a number or below 0: nothing to count
            COUNTER.remove(name);
            break;
        }
    }
    if (m_relay.SPAM_COUNT_VAR > 0)
        m_relay.SPAM_COUNT_VAR -= 1;
    flushDisplay();
}

void GatewayEngine::showCounterProgress(const QString& name, int left)
{
    const SettingsList& d = DATARRAY;
    if (name == counter::TXTIME_TS3_ON) {
        const int max = d.intValue(gwkey::TS3_TX_MAXTIME, 0);
        m_display.ts3Bar = {max, max - left, GwColor::Green};
        m_display.ts3LimitLamp.color = GwColor::BrightGreen;
    } else if (name == counter::TXTIME_TS3_OFF) {
        m_display.ts3Bar = {d.intValue(gwkey::TS3_TX_MAXRESET, 0), left, GwColor::Red};
        m_display.ts3LimitLamp.color = GwColor::Red;
    } else if (name == counter::TXTIME_HF_ON) {
        const int max = d.intValue(gwkey::HF_TX_MAXTIME, 0);
        m_display.hfBar = {max, max - left, GwColor::Green};
        m_display.hfLimitLamp.color = GwColor::BrightGreen;
    } else if (name == counter::TXTIME_HF_OFF) {
        m_display.hfBar = {d.intValue(gwkey::HF_TX_MAXRESET, 0), left, GwColor::Red};
        m_display.hfLimitLamp.color = GwColor::Red;
    } else {
        return;
    }
    changed();
}

void GatewayEngine::counterAction(const QString& name)
{
    auto status = [this](const char* cmd, int s) {
        send(QLatin1String(cmd),
             LinkItems({{kSched, QString::number(m_scHandlerID)}, {QStringLiteral("status"), QString::number(s)}}));
    };
    const QString n = name.toUpper();
    if (n == counter::TS3_MUTE_0)
        status("SETMUTE", 0);
    else if (n == counter::TS3_MUTE_1)
        status("SETMUTE", 1);
    else if (n == counter::TS3_RUHE_0)
        status("SETRUHE", 0);
    else if (n == counter::TS3_RUHE_1)
        status("SETRUHE", 1);
    else if (n == counter::TS3_AWAY_0)
        status("SETAFK", 0);
    else if (n == counter::TS3_AWAY_1)
        status("SETAFK", 1);
    else if (n == counter::TXTIME_TS3_ON)
        airtimeBlocked(ts3Limit());
    else if (n == counter::TXTIME_TS3_OFF)
        airtimeFree(ts3Limit());
    else if (n == counter::TXTIME_HF_ON)
        airtimeBlocked(hfLimit());
    else if (n == counter::TXTIME_HF_OFF)
        airtimeFree(hfLimit());
    else if (n == counter::TS3_RECONNECT)
        sendGwConnect();
    else if (n == counter::TS3_START_CONNECT_WAIT)
        send(QStringLiteral("GW_START"), LinkItems({{QStringLiteral("gateUID"), m_gateUID}}));
}

// The two transmit time limits: the TeamSpeak side blocks the client's microphone
// (SETRUHE), the radio side mutes the playback that goes to the radio (SETMUTE).
GatewayEngine::AirtimeLimit GatewayEngine::ts3Limit()
{
    return {gwkey::TS3_TX_MAX_ON,   gwkey::TS3_TX_MAXRESET, counter::TXTIME_TS3_OFF,
            m_display.ts3LimitLamp, m_display.ts3Bar,       "SETRUHE"};
}

GatewayEngine::AirtimeLimit GatewayEngine::hfLimit()
{
    return {gwkey::HF_TX_MAX_ON,   gwkey::HF_TX_MAXRESET, counter::TXTIME_HF_OFF,
            m_display.hfLimitLamp, m_display.hfBar,       "SETMUTE"};
}

// The airtime ran out: the block counts down and the channel is told for how long.
void GatewayEngine::airtimeBlocked(const AirtimeLimit& l)
{
    const QString reset = DATARRAY.value(l.resetKey);
    COUNTER.setValue(l.blockCounter, reset);
    const int r = StrToIntDef(reset, 0);
    l.lamp.color = GwColor::Red;
    l.bar = {r, r, GwColor::Red};
    changed();
    send(QLatin1String(l.command), scHandlerItem() + QStringLiteral(" status=1"));
    channelMessage(bbcode("FF0000", text("0607") + QStringLiteral(" >> ") + reset + QLatin1Char(' ') + text("0609")));
}

// The block is over.
void GatewayEngine::airtimeFree(const AirtimeLimit& l)
{
    l.lamp.color = DATARRAY.boolValue(l.onKey) ? GwColor::Green : GwColor::Silver;
    l.bar.pos = 0;
    l.bar.color = GwColor::Green;
    changed();
    send(QLatin1String(l.command), scHandlerItem() + QStringLiteral(" status=0"));
    channelMessage(bbcode("008000", text("0608")));
}

void GatewayEngine::channelMessage(const QString& escaped)
{
    send(QStringLiteral("MSGTOCHAN"),
         LinkItems({{kSched, QString::number(m_scHandlerID)}, {QStringLiteral("message"), escaped}}));
}

void GatewayEngine::refreshLimitLamps()
{
    // Only the "off" state is decided here; a running count or block keeps its colour.
    auto refresh = [this](const QString& key, GwLamp& lamp) {
        if (!DATARRAY.boolValue(key))
            lamp.color = GwColor::Silver;
        else if (lamp.color == GwColor::Silver)
            lamp.color = GwColor::Green;
    };
    refresh(gwkey::TS3_TX_MAX_ON, m_display.ts3LimitLamp);
    refresh(gwkey::HF_TX_MAX_ON, m_display.hfLimitLamp);
    changed();
}

// ---------------------------------------------------------------------------------------
// Incoming lines

namespace {

// The words the plugin sends to a gateway, and which lines of a word concern this gateway.
enum class In {
    GwPong,
    Connect,
    ServerInfo,
    TxVoice,
    RxVoice,
    Speakers,
    GwStart,
    GwConnect,
    GwError,
    PluginCmd,
    SelfVar,
    Moved,
    UserIn,
    UserOut,
    ErrorMsg,
    PermError,
    Remote,
    ChannelPath,
    Channels,
    WavePlayer
};
enum class For {
    Anyone,  // no test (or the handler tests the gateUID itself)
    Handler, // the line's scHandler (not a number: 0) is this gateway's
};
struct Route {
    In what;
    For target;
};

const QHash<QString, Route>& routes()
{
    static const QHash<QString, Route> table = {
        {QStringLiteral("GW_PONG"), {In::GwPong, For::Anyone}},
        {QStringLiteral("CONNECT"), {In::Connect, For::Anyone}},
        {QStringLiteral("SERVERINFO"), {In::ServerInfo, For::Handler}},
        {QStringLiteral("TXVOICE"), {In::TxVoice, For::Handler}},
        {QStringLiteral("RXVOICE"), {In::RxVoice, For::Handler}},
        {QStringLiteral("SPEAKERS"), {In::Speakers, For::Handler}},
        {QStringLiteral("GW_START"), {In::GwStart, For::Anyone}},
        {QStringLiteral("GW_CONNECT"), {In::GwConnect, For::Anyone}},
        {QStringLiteral("GW_ERROR"), {In::GwError, For::Handler}},
        {QStringLiteral("PLUGINCMD"), {In::PluginCmd, For::Handler}},
        {QStringLiteral("SELFVAR"), {In::SelfVar, For::Handler}},
        {QStringLiteral("MOVED"), {In::Moved, For::Handler}},
        {QStringLiteral("USERIN"), {In::UserIn, For::Handler}},
        {QStringLiteral("USEROUT"), {In::UserOut, For::Handler}},
        {QStringLiteral("ERRORMSG"), {In::ErrorMsg, For::Anyone}},
        {QStringLiteral("PERMERROR"), {In::PermError, For::Anyone}},
        {QStringLiteral("REMOTE"), {In::Remote, For::Handler}},
        {QStringLiteral("CHANNELPATH"), {In::ChannelPath, For::Handler}},
        {QStringLiteral("CHANNELS"), {In::Channels, For::Handler}},
        {QStringLiteral("WAVEPLAYER"), {In::WavePlayer, For::Handler}},
    };
    return table;
}

// The numbers some words need are read before the line is matched to this gateway, so a
// line that cannot be read is dropped before it does anything. False: the line is ignored.
bool numbersAllow(In what, const SettingsList& items)
{
    auto val = [&items](const char* key) { return items.value(QLatin1String(key)); };
    switch (what) {
    case In::ErrorMsg:
    case In::PermError:
        return needInt(val("error")) > 0;
    case In::Remote:
        return needInt(val("fromID")) > 0;
    case In::WavePlayer:
        return StrToIntDef(val("len"), 0) > 0 && needInt(val("status")) == 1;
    default:
        return true;
    }
}

} // namespace

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
    } catch (const LineError&) {
        // A line without a number where one is needed is dropped; what was done stays
        // done. Any other error goes on to the program's error hook.
    }
    flushDisplay();
}

void GatewayEngine::dispatch(const QString& cmd, const SettingsList& items)
{
    const auto route = routes().constFind(cmd);
    if (route == routes().constEnd())
        return;
    if (!numbersAllow(route->what, items) || (route->target == For::Handler && !forThisGateway(items)))
        return;
    auto val = [&items](const char* key) { return items.value(QLatin1String(key)); };
    auto has = [&items](const char* key) { return items.contains(QLatin1String(key)); };
    switch (route->what) {
    case In::GwPong:
        onGwPong(items.value(kTimestamp));
        break;
    case In::Connect:
        onConnectionStatus(val("status"), items, has("cmd"));
        break;
    case In::ServerInfo:
        onConnectionStatus(val("connected"), items, false);
        break;
    case In::TxVoice:
        TxVoiceChanged(val("status") == QLatin1String("1"));
        break;
    case In::RxVoice:
        onTalk(items, val("clientID"), LinkUnescape(val("clientUID")));
        break;
    case In::Speakers:
        if (m_recountAsked) {
            m_recountAsked = false;
            onTalkersCounted(items);
            break;
        }
        // The count answers GETSPEAKER (sent on every connect). "Nobody talks" ends a
        // reception only when one was being relayed; otherwise every connect would key the
        // radio for the release delay and send the end and roger beeps with nobody speaking.
        if (val("speakers") != QLatin1String("0") || SPEAKERS.contains(hold::TS3_RX))
            onTalk(items, QStringLiteral("0"), QString());
        break;
    case In::GwStart:
        if (has("gateUID") && val("gateUID") == m_gateUID)
            sendGwConnect();
        break;
    case In::GwConnect:
        if (has("scHandler") && val("gateUID") == m_gateUID) {
            m_scHandlerID = needInt(val("scHandler"));
            m_ping.PiPoErrors = 0;
        }
        break;
    case In::GwError:
        if (has("errorCode"))
            HandleGatewayError(items, val("errorCode").trimmed());
        break;
    case In::PluginCmd:
        if (items.contains(kCmd) && items.contains(kFromID))
            HandlePluginCommand(items.value(kCmd), items);
        break;
    case In::SelfVar:
        onSelfVar(val("flag"), val("newValue"));
        break;
    case In::Moved:
        handleMoved(items);
        m_blockedTalking.clear();
        recountTalkers();
        break;
    case In::UserIn:
        onUserInOut(true, val("nickname"));
        break;
    case In::UserOut:
        m_blockedTalking.remove(val("userID"));
        onUserInOut(false, val("nickname"));
        recountTalkers();
        break;
    case In::ErrorMsg:
        WriteLog(text("0129") + QStringLiteral(": ") + LinkText(val("errorMSG")) + QStringLiteral(" (") +
                     LinkText(val("extraMSG")) + QLatin1Char(')'),
                 GwColor::Red);
        break;
    case In::PermError:
        WriteLog(text("0134") + QStringLiteral(": ") + LinkText(val("permID")), GwColor::Red);
        break;
    case In::Remote:
        HandleRemoteCommand(remote::AsciiUpper(val("cmd")), items);
        break;
    case In::ChannelPath:
        onChannelPath(items);
        break;
    case In::Channels:
        handleChannels(items);
        break;
    case In::WavePlayer:
        onWavePlayer(StrToIntDef(val("len"), 0));
        break;
    }
}

// A start channel asked for with "save" (the window's button) is stored in the gateway file.
void GatewayEngine::onChannelPath(const SettingsList& items)
{
    if (StrToIntDef(items.value(QStringLiteral("save")), 0) <= 0)
        return;
    DATARRAY.setValue(gwkey::TS3_START_CHANNEL, LinkText(items.value(QStringLiteral("path"))));
    DATARRAY.setInt(gwkey::TS3_START_CHAN_ID, StrToIntDef(items.value(QStringLiteral("channelID")), 0));
    ConfigSpeichern();
}

void GatewayEngine::onGwPong(const QString& raw)
{
    const qint64 ts = needInt64(raw);
    if (ts <= 0)
        return;
    const qint64 rtt = m_clock.nowMs() - ts;
    if (rtt >= 0 && rtt < 9999) {
        const QString label = QStringLiteral("Ping: ") + QString::number(rtt) + QStringLiteral(" ms");
        if (m_display.pingLabel != label) {
            m_display.pingLabel = label;
            changed();
        }
    }
    send(QStringLiteral("GW_PQNG"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                               {QStringLiteral("timestamp"), raw},
                                               {QStringLiteral("err"), QString::number(m_ping.PiPoErrors)}}));
    m_ping.LastPong = ts;
    m_ping.PiPoErrors = 0;
}

// CONNECT (status) and SERVERINFO (connected) report the server connection's state; "4" is
// up. A CONNECT with a reason (cmd) runs the on-disconnect handling even while already
// disconnected.
void GatewayEngine::onConnectionStatus(const QString& status, const SettingsList& items, bool withReason)
{
    const bool up = status == QLatin1String("4");
    if (up && !m_connected)
        OnServerConnected(items);
    if (!up && (m_connected || withReason))
        OnServerDisconnected(items);
}

// RXVOICE and SPEAKERS: somebody in the channel started or stopped talking.
void GatewayEngine::onTalk(const SettingsList& items, const QString& clientID, const QString& clientUID)
{
    const QString speakers = items.value(QStringLiteral("speakers"));
    const QString status = items.value(QStringLiteral("status"));
    const int talking = status == QLatin1String("1") ? 1 : status == QLatin1String("0") ? 0 : -1;
    const bool relayed =
        RxVoiceChanged(speakers != QLatin1String("0"), clientID, StrToIntDef(speakers, 0), clientUID, talking);
    // A blocked talker gets no beeps either.
    if (!relayed)
        return;
    if (items.value(QStringLiteral("status")) == QLatin1String("0"))
        PlayRxEndBeep();
    else
        PlayRxStartBeep();
}

void GatewayEngine::onSelfVar(const QString& flag, const QString& newValue)
{
    TS3FLAGS.setValue(flag, LinkUnescape(newValue));
    if (flag == clientflag::NICKNAME) {
        m_display.title = LinkText(newValue);
        changed();
    } else if (flag == clientflag::CHANNEL_COMMANDER || flag == clientflag::AWAY || flag == clientflag::INPUT_MUTED ||
               flag == clientflag::OUTPUT_MUTED) {
        setFlagButton(flag);
    }
}

void GatewayEngine::onUserInOut(bool in, const QString& nickname)
{
    WriteLog(text(in ? "0127" : "0128") + QStringLiteral(": ") + LinkText(nickname), GwColor::Green);
    if (DATARRAY.boolValue(in ? gwkey::HF_WAVE_USERIN : gwkey::HF_WAVE_USEROUT))
        PlayAnnouncement(m_host.soundFolder() + m_host.appLang() +
                             (in ? QStringLiteral("/S0001.wav") : QStringLiteral("/S0002.wav")),
                         true);
}

// A talker who leaves the channel, or a channel this gateway leaves, takes no talk-end
// event along: the client reports talk only within the own channel. While a reception is
// relayed, the talkers are counted again after every such change, and a count with nobody
// (or only blocked users) left ends the reception as their talk end would have.
void GatewayEngine::recountTalkers()
{
    if (!m_connected || m_scHandlerID <= 0 || SPEAKERS.value(hold::TS3_RX) != QLatin1String("-1"))
        return;
    m_recountAsked = true;
    send(QStringLiteral("GETSPEAKER"), scHandlerItem());
}

void GatewayEngine::onTalkersCounted(const SettingsList& items)
{
    const int speakers = StrToIntDef(items.value(QStringLiteral("speakers")), 0);
    if (SPEAKERS.value(hold::TS3_RX) != QLatin1String("-1") || speakers > int(m_blockedTalking.size()))
        return;
    if (RxVoiceChanged(false, QStringLiteral("0"), 0, QString(), 0))
        PlayRxEndBeep();
}

void GatewayEngine::onWavePlayer(int len)
{
    m_relay.COUNT_WPLAY = len;
    SPEAKERS.setValue(hold::HF_TS3W_PLAY, QStringLiteral("-1"));
    if (DATARRAY.boolValue(gwkey::TS3_CMDR_ON_RX) && DATARRAY.boolValue(gwkey::TS3_CMDR_ON_ACT))
        send(QStringLiteral("SETCHCOM"), scHandlerItem() + QStringLiteral(" status=1"));
}

void GatewayEngine::handleMoved(const SettingsList& items)
{
    const QString moverID = items.value(QStringLiteral("moverID"));
    if (!DATARRAY.boolValue(gwkey::TS3_MOVING_CLIENT) && StrToIntDef(moverID, 0) > 0) {
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
    if (DATARRAY.boolValue(gwkey::TS3_CMDR_ON_ON) &&
        TS3FLAGS.value(clientflag::CHANNEL_COMMANDER) != QLatin1String("1"))
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
    SPEAKERS.remove(hold::TS3_RX);
    TS3FLAGS.clear();
    radioPttOffUnlessHeld();
    // 2, 3
    m_connected = true;
    showConnected(items);
    // 4
    const QString nick = d.value(gwkey::TS3_NICK);
    if (d.boolValue(gwkey::TS3_NICK_WRITE) && TS3FLAGS.value(clientflag::NICKNAME) != nick)
        send(QStringLiteral("SETNICK"), scHandlerItem() + QStringLiteral(" nickname=") + LinkEscape(nick));
    // 5
    send(QStringLiteral("SETCHCOM"),
         scHandlerItem() +
             (d.boolValue(gwkey::TS3_CMDR_ON_ON) ? QStringLiteral(" status=1") : QStringLiteral(" status=0")));
    // 6
    if (voxMode()) {
        m_relay.TS3_VOX_DELAY = d.intValue(gwkey::TS3_VOX_DELAY, 5);
        m_relay.TS3_PTT_DELAY = -1;
    } else {
        m_relay.TS3_PTT_DELAY = d.intValue(gwkey::TS3_PTT_DELAY, 5);
        m_relay.TS3_VOX_DELAY = -1;
    }
    m_relay.VOX_IST_AKTIV = false;
    // 7
    m_relay.WAVE_LV_IST = d.intValue(gwkey::AUDIO_WAVE_VOLUME, -20);
    send(QStringLiteral("SETWAVELEVEL"),
         scHandlerItem() + QStringLiteral(" level=") + QString::number(m_relay.WAVE_LV_IST));
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
    m_recountAsked = false;
    send(QStringLiteral("GETSPEAKER"), scHandlerItem());
    send(QStringLiteral("SETINFO"),
         scHandlerItem() + QStringLiteral(" text=") + LinkEscape(d.value(gwkey::TS3_INFO_TXT)));
    // 11
    SettingsList req;
    req.setValue(QStringLiteral("gateUID"), m_gateUID);
    req.setValue(QStringLiteral("server"), m_display.serverField);
    req.setValue(QStringLiteral("nick"), m_display.title);
    DirectoryRequest(QStringLiteral("GATE-ONLINE"), req);
}

void GatewayEngine::showConnected(const SettingsList& items)
{
    m_display.connLamp.color = GwColor::LightBlue;
    m_display.connLabel = {text("0105") + QStringLiteral(" [") + QString::number(m_scHandlerID) + QLatin1Char(']'),
                           GwColor::Navy};
    m_display.txLabel = {text("0106"), GwColor::Grey};
    m_display.rxLabel = {text("0106"), GwColor::Grey};
    changed();
    WriteLog(text("0132"), GwColor::Green);
    if (items.contains(QStringLiteral("serverName")) && items.contains(QStringLiteral("channelName")) &&
        items.contains(QStringLiteral("myNickname"))) {
        m_display.serverField = LinkText(items.value(QStringLiteral("serverName")));
        m_display.channelField = LinkText(items.value(QStringLiteral("channelName")));
        m_display.title = LinkText(items.value(QStringLiteral("myNickname")));
    }
}

void GatewayEngine::showDisconnected()
{
    m_display.connLamp.color = GwColor::Blue;
    m_display.txLamp.color = GwColor::Green;
    m_display.rxLamp.color = GwColor::Green;
    m_display.connLabel = {text("0104"), GwColor::Grey};
    m_display.txLabel = {text("0121"), GwColor::Grey};
    m_display.rxLabel = {text("0121"), GwColor::Grey};
    m_display.serverField = text("0124");
    m_display.channelField = text("0125");
    changed();
}

void GatewayEngine::OnServerDisconnected(const SettingsList& items)
{
    // 1
    if (m_connected)
        WriteLog(text("0133"), GwColor::Red);
    m_connected = false;
    // 2
    showDisconnected();
    // 3
    if (items.value(QStringLiteral("cmd")) == QLatin1String("RESET_CONNECTION"))
        ResetGateway();
    // 4
    m_display.ts3Bar.pos = 0;
    m_display.hfBar.pos = 0;
    setButtonsConnected(false);
    // 5
    if (SPEAKERS.contains(hold::TS3_RX))
        SPEAKERS.setValue(hold::TS3_RX, DATARRAY.value(gwkey::TS3_RX_DELAY));
    m_blockedTalking.clear();
    m_recountAsked = false;
    // The client's own transmission ended with the connection, but no TXVOICE will say
    // so: drop the second output now rather than leave it keyed.
    if (m_relay.TS_TX_STATUS) {
        m_relay.TS_TX_STATUS = false;
        driveOutput(OutKind::Tx, false);
        m_display.txLamp.color = GwColor::Green;
        if (!COUNTER.contains(counter::TXTIME_TS3_OFF))
            COUNTER.remove(counter::TXTIME_TS3_ON);
    }
    // TeamSpeak speech relayed to the radio ends with the connection too.
    m_relay.TS_RX_STATUS = false;
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
    ++m_tally.errors;
    if (code == QLatin1String("1")) {
        WriteLog(text("0141"), GwColor::DarkRed, GwStyle::Bold);
        COUNTER.setValue(counter::TS3_RECONNECT, QStringLiteral("5"));
    } else if ((code == QLatin1String("101") || code == QLatin1String("102")) &&
               items.contains(QStringLiteral("fromID"))) {
        send(QStringLiteral("MSGTOUSER"), LinkItems({{kSched, QString::number(m_scHandlerID)},
                                                     {QStringLiteral("userID"), items.value(QStringLiteral("fromID"))},
                                                     {QStringLiteral("message"), bbcode("FF0000", text("0610"))}}));
    }
}

void GatewayEngine::HandlePluginCommand(const QString& cmd, const SettingsList& items)
{
    // Every gateway answers every other one's ping: the items are joined at once.
    if (cmd == QLatin1String("GATE_PING"))
        send(QStringLiteral("MSGTOGATES"), kSched + QLatin1Char('=') + QString::number(m_scHandlerID) +
                                               QStringLiteral(" cmd=GATE_PONG timestamp=") + items.value(kTimestamp));
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
        v.saveChannelButton.enabled = StrToIntDef(DATARRAY.value(gwkey::TS3_CONNECT_TYPE), 0) == 0;
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
    if (flag == clientflag::CHANNEL_COMMANDER)
        m_display.chcomButton.glyph = one ? 1 : 0;
    else if (flag == clientflag::AWAY)
        m_display.awayButton.glyph = one ? 3 : 4;
    else if (flag == clientflag::OUTPUT_MUTED)
        m_display.playbackButton.glyph = one ? 7 : 8;
    else if (flag == clientflag::INPUT_MUTED)
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

void GatewayEngine::pressChannelCommander()
{
    toggleFlag(clientflag::CHANNEL_COMMANDER, "SETCHCOM");
}
void GatewayEngine::pressAway()
{
    toggleFlag(clientflag::AWAY, "SETAFK");
}
void GatewayEngine::pressPlayback()
{
    toggleFlag(clientflag::OUTPUT_MUTED, "SETMUTE");
}
void GatewayEngine::pressRecording()
{
    toggleFlag(clientflag::INPUT_MUTED, "SETRUHE");
}

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
    SPEAKERS.setValue(hold::KLICK_LED, QStringLiteral("-1"));
}

void GatewayEngine::radioLampReleased()
{
    if (SPEAKERS.contains(hold::KLICK_LED))
        SPEAKERS.setValue(hold::KLICK_LED, QStringLiteral("0"));
}
