#include "app/session/linksession.h"

#include "link/qt/linkqt.h"

namespace {
const QLatin1String kHost("localhost");
constexpr int kConnectTimeoutMs = 500;
constexpr int kDefaultPort = 26001;
constexpr int kReconnectDelay = 10;
constexpr int kRefusalDelay = 2;
constexpr int kErrorShowSeconds = 60;
constexpr int kMaxLostPings = 7; // the eighth unanswered ping drops the session

QString afterFirstBlank(const QString& line)
{
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : line.mid(blank + 1);
}
} // namespace

LinkSession::LinkSession(Deps deps)
    : m_transport(deps.transport), m_gateways(deps.gateways), m_view(deps.view),
      m_clock(deps.clock ? deps.clock : &SystemClock::instance()), m_settings(deps.settings),
      m_text(std::move(deps.text)), m_appLang(deps.appLang)
{
    Q_ASSERT(m_transport && m_view);
}

QString LinkSession::text(const char* id) const
{
    const QString key = QString::fromLatin1(id);
    return m_text ? m_text(key) : key;
}

int LinkSession::linkPort() const
{
    const int port =
        m_settings ? StrToIntDef(m_settings->value(QStringLiteral("LINK_PORT")), kDefaultPort) : kDefaultPort;
    return (port > 0 && port <= 65535) ? port : kDefaultPort;
}

QList<GatewayEndpoint*> LinkSession::gateways() const
{
    return m_gateways ? m_gateways->gatewaysInWindowOrder() : QList<GatewayEndpoint*>();
}

// ---------------------------------------------------------------------------- ticks

void LinkSession::secondTick()
{
    if (m_errDelay > 0)
        --m_errDelay;
    if (m_errDelay == 0) {
        m_view->setErrorStatus(text("0018"));
        m_errDelay = -1;
    }
    if (m_stopped)
        return;

    if (m_transport->isConnected()) {
        m_conDelay = -1;
        m_view->setLinkPanel(text("0008"), SessionView::LinkColour::Green);
        if (!m_pingEnabled) {
            m_pingEnabled = true;
            m_view->setPingTimerEnabled(true);
        }
        return;
    }
    if (m_connecting)
        return; // its result (or its time-out) comes before the next tick
    if (m_conDelay == -1)
        m_conDelay = kReconnectDelay;
    m_blinkRed = !m_blinkRed;
    m_view->setLinkPanel(text("0007"), m_blinkRed ? SessionView::LinkColour::Red : SessionView::LinkColour::White);
    if (m_pingEnabled) {
        m_pingEnabled = false;
        m_view->setPingTimerEnabled(false);
    }

    if (m_conDelay == 0) {
        dropConnection(false); // a half-open connection
        m_conDelay = -1;
        // Nothing on the main thread waits for the connection: a transport that connects in
        // the background reports through onConnected() or onConnectFailed().
        QString error;
        switch (m_transport->startConnect(kHost, quint16(linkPort()), kConnectTimeoutMs, &error)) {
        case LinkTransport::Start::Connected:
            onConnected();
            break;
        case LinkTransport::Start::Failed:
            onConnectFailed(error);
            break;
        case LinkTransport::Start::Pending:
            m_connecting = true;
            break;
        }
    } else if (m_conDelay > 0) {
        --m_conDelay;
        m_view->setLinkStatus(QStringLiteral("[TCP] -> ") + text("0021") + QStringLiteral(" [") +
                              QString::number(m_conDelay) + QLatin1Char(']'));
    }
}

void LinkSession::pingTick()
{
    if (!m_pingEnabled || !m_clientConkt)
        return;
    const qint64 t = m_clock->nowMs();
    SendToTS3(QStringLiteral("PING"), QStringLiteral("timestamp=") + QString::number(t) + QStringLiteral(" err=") +
                                          QString::number(m_piPoErrors));
    m_lastPing = t;
    ++m_piPoErrors;
    if (m_piPoErrors > kMaxLostPings)
        dropConnection(false);
}

void LinkSession::close()
{
    dropConnection(true);
}

// --------------------------------------------------------------- transport reports

void LinkSession::onConnected()
{
    m_connecting = false;
    if (m_linkUp)
        return;
    m_linkUp = true;
    ++m_tally.connects;
    m_conDelay = -1;
    m_piPoErrors = 0;
    m_lines.reset();
    m_view->setLinkStatus(text("0008"));
}

void LinkSession::onConnectFailed(const QString& reason)
{
    m_connecting = false;
    m_view->setLinkStatus(QStringLiteral("[TCP] -> ") + reason);
    m_conDelay = kReconnectDelay;
}

void LinkSession::onBlock(const QByteArray& block)
{
    if (!m_linkUp)
        return;
    handleLines(m_lines.feed(block));
}

void LinkSession::onDisconnected()
{
    if (!m_linkUp || m_dropping)
        return;
    // The plugin's refusal comes without a line end, right before it closes: a line still
    // pending when the connection ends is handled as a complete one.
    const QString pending = m_lines.takePending();
    if (!pending.isEmpty())
        handleLines(QStringList{pending});
    if (m_linkUp)
        linkDown();
}

void LinkSession::dropConnection(bool graceful)
{
    // The transport may report the end of the connection from inside disconnect(); that
    // report belongs to this drop and is not handled a second time.
    m_dropping = true;
    m_transport->disconnect(graceful);
    m_dropping = false;
    m_connecting = false; // an attempt under way is given up with it
    if (m_linkUp)
        linkDown();
}

void LinkSession::linkDown()
{
    m_linkUp = false;
    m_lines.reset();
    for (GatewayEndpoint* gw : gateways())
        if (gw->TS3_IstConnected())
            gw->TS3_Disconnect();
    m_conDelay = kReconnectDelay;
    m_clientConkt = false;
    m_view->setLinkStatus(text("0007"));
}

void LinkSession::disconnectAllGateways()
{
    // A gateway that is told it lost its connection may try to send again; that send
    // fails too and must not start another round.
    if (m_disconnectingGateways)
        return;
    m_disconnectingGateways = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_disconnectingGateways};
    for (GatewayEndpoint* gw : gateways())
        gw->TS3_Disconnect();
}

void LinkSession::applicationError(const QString& message)
{
    m_errDelay = kErrorShowSeconds;
    m_view->setErrorStatus(m_clock->now().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral(" [ERROR] -> ") +
                           message);
    if (message.startsWith(QLatin1String("Socket Error")))
        dropConnection(false);
}

// ------------------------------------------------------------------ line handling

void LinkSession::handleLines(const QStringList& lines)
{
    for (const QString& line : lines) {
        try {
            handleLine(line);
        } catch (const SessionError& e) {
            applicationError(QString::fromUtf8(e.what()));
            return; // the rest of the block is dropped
        } catch (const std::exception& e) {
            applicationError(QStringLiteral("E006 ") + QString::fromUtf8(e.what()));
            return;
        }
    }
}

void LinkSession::handleLine(const QString& line)
{
    ++m_tally.linesIn;
    if (line.size() <= 3)
        return;
    GatewayEndpoint* target = nullptr;
    QString command;
    SettingsList items;
    int shownHandler = 0;
    if (!handleSessionLine(line) && line.size() > 10) {
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        command = blank < 0 ? QString() : line.left(blank);
        const QString rest = blank < 0 ? line : line.mid(blank + 1);
        if (rest.size() > 10) {
            items = splitItems(rest);
            if (items.contains(QStringLiteral("scHandler")) || items.contains(QStringLiteral("gateUID"))) {
                const int sc = StrToIntDef(items.value(QStringLiteral("scHandler")), -1);
                const QString uid = items.value(QStringLiteral("gateUID"));
                for (GatewayEndpoint* gw : gateways()) {
                    if ((sc > 0 && sc == gw->TS3_scHandlerID()) || (uid.size() > 10 && uid == gw->gateUID())) {
                        target = gw;
                        shownHandler = sc;
                        break;
                    }
                }
            }
        }
    }
    if (m_monitor && !DebugPause && ShowEmpf)
        m_monitor->appendTraffic(QStringLiteral(">[") + QString::number(shownHandler) + QStringLiteral("]> ") + line);
    if (target)
        target->ParseIncomingTS3Data(command, items);
}

bool LinkSession::handleSessionLine(const QString& line)
{
    if (line.startsWith(QLatin1String("<HELLO>"))) {
        for (GatewayEndpoint* gw : gateways())
            gw->ResetGateway();
        SendToTS3(QStringLiteral(">HELLO<"), QString());
        if (m_monitor)
            m_monitor->clearTraffic();
        m_e88Cons = 0;
        return true;
    }
    if (line.startsWith(QLatin1String("PONG"))) {
        m_e88Cons = 0;
        handlePong(splitItems(afterFirstBlank(line)));
        return true;
    }
    if (line.startsWith(QLatin1String("WHOAMI"))) {
        m_e88Cons = 0;
        return handleWhoami(splitItems(afterFirstBlank(line)));
    }
    if (line.startsWith(QLatin1String("STARTING"))) {
        m_e88Cons = 0;
        handleStarting();
        return true;
    }
    if (line.startsWith(QLatin1String("QUIT"))) {
        handleQuit(splitItems(afterFirstBlank(line)));
        return true;
    }
    if (line.startsWith(QLatin1String("PROFILES")))
        handleProfiles(splitItems(afterFirstBlank(line)));
    return false;
}

void LinkSession::handlePong(const SettingsList& items)
{
    const QString raw = items.value(QStringLiteral("timestamp"));
    bool ok = false;
    const qint64 stamp = raw.trimmed().toLongLong(&ok);
    if (!ok)
        throw SessionError("E006");
    if (stamp <= 0)
        return;
    const qint64 roundTrip = m_clock->nowMs() - stamp;
    if (roundTrip >= 0 && roundTrip < 9999)
        m_view->setPingStatus(QString::number(roundTrip) + QStringLiteral(" ms"));
    SendToTS3(QStringLiteral("PQNG"),
              QStringLiteral("timestamp=") + raw + QStringLiteral(" err=") + QString::number(m_piPoErrors));
    m_lastPong = stamp;
    m_piPoErrors = 0;
}

bool LinkSession::handleWhoami(const SettingsList& items)
{
    const QString gateApi = unescape(items.value(QStringLiteral("gateAPI")));
    if (StrToIntDef(gateApi, 0) == 1) {
        m_view->showBalloon(text("0008"), QStringLiteral("TS3-Client: ") +
                                              unescape(items.value(QStringLiteral("libVersion"))) + QLatin1Char('\r') +
                                              QStringLiteral("Plugin-API: ") +
                                              unescape(items.value(QStringLiteral("API"))) +
                                              QStringLiteral("  /  Link-API: ") + gateApi);
        SendToTS3(QStringLiteral("GETPROFILES"), QString());
        SendToTS3(QStringLiteral("STARTING"), QString());
        SendToTS3(QStringLiteral("GETAPPPATH"), QString());
        SendToTS3(QStringLiteral("SETCONFIG"), QStringLiteral("lang=") + m_appLang);
        return true;
    }
    m_view->showMessage(SessionView::MessageKind::Error, text("0069") + QStringLiteral("\r\r") + text("0070") +
                                                             QStringLiteral("\r\r") + text("0071") +
                                                             QStringLiteral(": ") + gateApi + QStringLiteral(" => ") +
                                                             text("0072") + QStringLiteral(": 1"));
    dropConnection(true);
    m_view->setLinkStatus(text("0070"));
    return false;
}

void LinkSession::handleStarting()
{
    int n = 0;
    for (GatewayEndpoint* gw : gateways())
        if (!gw->TS3_IstConnected())
            gw->StarteGateway(++n);
}

void LinkSession::handleQuit(const SettingsList& items)
{
    for (GatewayEndpoint* gw : gateways())
        if (gw->TS3_IstConnected())
            gw->TS3_Disconnect();
    if (items.value(QStringLiteral("errorID")) != QLatin1String("88"))
        return;
    // The plugin already serves another Relaydeck: try again soon twice, then every 10 s,
    // and tell the operator once.
    ++m_e88Cons;
    dropConnection(true);
    if (m_e88Cons > 2) {
        m_conDelay = kReconnectDelay;
        if (m_e88Cons == 3)
            m_view->showMessage(SessionView::MessageKind::Information,
                                text("0064") + QStringLiteral("\r\r") + text("0065"));
    } else {
        m_conDelay = kRefusalDelay;
    }
}

void LinkSession::handleProfiles(const SettingsList& items)
{
    const QString type = items.value(QStringLiteral("type"));
    const QString list = items.value(QStringLiteral("items"));
    if (type.isEmpty() || list.isEmpty())
        return;
    QStringList entries = list.split(QLatin1Char('|'));
    for (QString& e : entries)
        e = unescape(e);
    if (type == QLatin1String("0")) {
        m_profCapture = entries;
    } else if (type == QLatin1String("1")) {
        m_profPlayback = entries;
    } else if (type == QLatin1String("4")) {
        m_profIdentities = entries;
    } else if (type == QLatin1String("10")) {
        const QStringList uids = items.value(QStringLiteral("uids")).split(QLatin1Char('|'));
        m_profBookmarks.clear();
        for (int i = 0; i < entries.size(); ++i)
            m_profBookmarks.append(Bookmark{entries[i], i < uids.size() ? unescape(uids[i]) : QString()});
    }
}

// ------------------------------------------------------------------------ sending

namespace {
// The text as bytes at out: ASCII as it is, every other character (a surrogate pair is
// one, a lone surrogate too) as "?". Returns the end of what it wrote.
char* putAscii(char* out, const QString& text)
{
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < 0x80) {
            *out++ = char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate())
            ++i;
        *out++ = '?';
    }
    return out;
}
} // namespace

// "command params" and CR, a leading "." doubled, then CR LF; written straight into the
// bytes, since it runs for every line that goes out.
QByteArray LinkSession::encodeCommand(const QString& command, const QString& params)
{
    QByteArray out(command.size() + params.size() + 5, Qt::Uninitialized);
    char* p = out.data();
    if (command.startsWith(QLatin1Char('.')))
        *p++ = '.';
    p = putAscii(p, command);
    *p++ = ' ';
    p = putAscii(p, params);
    *p++ = '\r';
    *p++ = '\r';
    *p++ = '\n';
    out.truncate(p - out.constData());
    return out;
}

void LinkSession::SendToTS3(const QString& command, const QString& params)
{
    // What the link monitor shows is made only while one is attached.
    auto shown = [&] { return command + QLatin1Char(' ') + params; };
    const bool connected = m_transport->isConnected();
    if (connected && m_transport->write(encodeCommand(command, params))) {
        ++m_tally.linesOut;
        m_clientConkt = true;
        if (m_monitor && !DebugPause && ShowSend)
            m_monitor->appendTraffic(QStringLiteral("<[-]< ") + shown());
        return;
    }
    const QString offline = m_monitor ? shown() : QString();
    // The socket took nothing: it is broken, rebuild the session.
    if (connected)
        dropConnection(false);
    m_clientConkt = false;
    disconnectAllGateways();
    if (m_monitor)
        m_monitor->appendTraffic(QStringLiteral("[OFFLINE] <[-]< ") + offline);
}

// ----------------------------------------------------------- gateway operations

int LinkSession::GetscHandlerFromGateway(const QString& gateUID) const
{
    for (GatewayEndpoint* gw : gateways())
        if (gw->gateUID() == gateUID)
            return gw->TS3_IstConnected() ? gw->TS3_scHandlerID() : 0;
    return 0;
}

bool LinkSession::GatewayIstAktiv(const QString& gateUID) const
{
    for (GatewayEndpoint* gw : gateways())
        if (gw->gateUID() == gateUID)
            return true;
    return false;
}

bool LinkSession::WriteConfigToGateway(const QString& gateUID, std::shared_ptr<SettingsList> settings)
{
    for (GatewayEndpoint* gw : gateways())
        if (gw->gateUID() == gateUID) {
            gw->WriteConfig(settings);
            return true;
        }
    return false;
}

void LinkSession::StoppeGateway(const QString& gateUID)
{
    for (GatewayEndpoint* gw : gateways())
        if (gw->gateUID() == gateUID) {
            gw->CloseGateway();
            return;
        }
}

// -------------------------------------------------------------------------- helpers

SettingsList LinkSession::splitItems(QStringView paramText)
{
    QStringList pieces;
    const qsizetype n = paramText.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype blank = paramText.indexOf(QLatin1Char(' '), i);
        const qsizetype end = blank < 0 ? n : blank;
        if (end > i)
            pieces.append(paramText.sliced(i, end - i).toString());
        i = end + 1;
    }
    return SettingsList(std::move(pieces));
}

QString LinkSession::unescape(const QString& value)
{
    return LinkUnescape(value);
}
