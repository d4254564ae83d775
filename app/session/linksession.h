// Relaydeck's one session to the Link plugin: connecting and reconnecting from the
// one-second tick, the greeting and the plugin check, pings, the session-level messages,
// and the routing of every other received line to at most one open gateway. Every
// command of every gateway leaves through SendToTS3.
//
// A plain engine: the main window calls secondTick() every second and pingTick() every
// 20 s (while the view has the ping timer enabled), and forwards the transport's
// reports (onConnected, onBlock, onDisconnected). Everything runs on the main thread.
#pragma once
#include "app/config/clock.h"
#include "app/config/settingslist.h"
#include "app/session/blocklines.h"
#include "app/session/gatewayendpoint.h"
#include "app/session/linktransport.h"
#include "app/session/sessionview.h"

#include <QStringList>
#include <functional>
#include <stdexcept>

// An error raised while a received line is handled; the rest of the block is dropped.
class SessionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class LinkSession : public LinkSender {
public:
    using TextLookup = std::function<QString(const QString& id)>;

    struct Deps {
        LinkTransport* transport = nullptr;
        GatewayDirectory* gateways = nullptr;
        SessionView* view = nullptr;
        const Clock* clock = nullptr;
        const SettingsList* settings = nullptr; // LINK_PORT
        TextLookup text;                        // text table in the current language
        QString appLang = QStringLiteral("de_DE");
    };
    explicit LinkSession(Deps deps);

    // --- ticks ---------------------------------------------------------------------
    void secondTick(); // connection step and error panel countdown
    void pingTick();   // PING while the link is up; drops it after 8 lost pings
    // No more connection attempts (quitting). close() then ends the session.
    void stop() { m_stopped = true; }
    // Ends the session with notice to the peer.
    void close();

    // --- transport reports -----------------------------------------------------------
    void onConnected();
    void onConnectFailed(const QString& reason);
    void onBlock(const QByteArray& block);
    void onDisconnected();

    // --- application-wide error hook ---------------------------------------------------
    // Shows the message for 60 s; a "Socket Error" drops the session.
    void applicationError(const QString& message);

    // --- operations for gateways and windows -------------------------------------------
    void SendToTS3(const QString& command, const QString& params) override;
    int GetscHandlerFromGateway(const QString& gateUID) const;
    bool GatewayIstAktiv(const QString& gateUID) const;
    // The gateway reads the list itself from then on (no copy).
    bool WriteConfigToGateway(const QString& gateUID, std::shared_ptr<SettingsList> settings);
    bool WriteConfigToGateway(const QString& gateUID, const SettingsList& settings)
    {
        return WriteConfigToGateway(gateUID, std::make_shared<SettingsList>(settings));
    }
    void StoppeGateway(const QString& gateUID);

    // --- link monitor --------------------------------------------------------------------
    void setAppLang(const QString& lang) { m_appLang = lang; }

    void setMonitor(LinkMonitorSink* monitor) { m_monitor = monitor; }
    LinkMonitorSink* monitor() const { return m_monitor; }
    bool DebugPause = false;
    bool ShowSend = true;
    bool ShowEmpf = true;

    // --- state, read by windows and tests -------------------------------------------------
    int TS3conDelay() const { return m_conDelay; }
    int TS3E88Cons() const { return m_e88Cons; }
    int PiPoErrors() const { return m_piPoErrors; }
    qint64 LastPing() const { return m_lastPing; }
    qint64 LastPong() const { return m_lastPong; }
    int ERR_ANZ_DELAY() const { return m_errDelay; }
    bool TS3_CLIENT_CONKT() const { return m_clientConkt; }
    bool isConnected() const { return m_transport->isConnected(); }
    int linkPort() const;
    // Tallies for the status page and the metrics, since the program started.
    struct Tally {
        quint64 linesIn = 0;  // lines received from the plugin
        quint64 linesOut = 0; // commands written to it
        quint64 connects = 0; // sessions that came up
    };
    const Tally& tally() const { return m_tally; }

    const QStringList& TS3_PROF_CAPTURE() const { return m_profCapture; }
    const QStringList& TS3_PROF_PLAYBAK() const { return m_profPlayback; }
    const QStringList& TS3_PROF_IDENTIS() const { return m_profIdentities; }
    struct Bookmark {
        QString name;
        QString uid;
        bool operator==(const Bookmark&) const = default;
    };
    const QList<Bookmark>& TS3_PROF_BOOKMARKS() const { return m_profBookmarks; }

    // The items of a received line's parameter text: split on blanks, empty pieces skipped.
    static SettingsList splitItems(QStringView paramText);
    // The bytes SendToTS3 writes for a command: 7-bit ASCII, CR then CR LF.
    static QByteArray encodeCommand(const QString& command, const QString& params);
    // Unescape of a link value (the twelve caret codes).
    static QString unescape(const QString& value);

private:
    void handleLines(const QStringList& lines);
    void handleLine(const QString& line);
    bool handleSessionLine(const QString& line); // true: consumed
    void handlePong(const SettingsList& items);
    bool handleWhoami(const SettingsList& items);
    void handleStarting();
    void handleQuit(const SettingsList& items);
    void handleProfiles(const SettingsList& items);
    GatewayEndpoint* route(const QString& line, QString* scHandlerText);
    void dropConnection(bool graceful);
    void linkDown();
    void disconnectAllGateways();
    QList<GatewayEndpoint*> gateways() const;
    QString text(const char* id) const;
    void showTraffic(const QString& line, bool offline);

    LinkTransport* m_transport;
    GatewayDirectory* m_gateways;
    SessionView* m_view;
    const Clock* m_clock;
    const SettingsList* m_settings;
    TextLookup m_text;
    QString m_appLang;
    LinkMonitorSink* m_monitor = nullptr;

    BlockLines m_lines;
    Tally m_tally;
    int m_conDelay = 0;
    int m_e88Cons = 0;
    qint64 m_lastPing = 0;
    qint64 m_lastPong = 0;
    int m_piPoErrors = 0;
    int m_errDelay = -1;
    bool m_clientConkt = false;
    bool m_linkUp = false;     // onConnected seen, disconnection not yet handled
    bool m_connecting = false; // a connection is being made in the background
    bool m_pingEnabled = false;
    bool m_blinkRed = false;
    bool m_stopped = false;
    bool m_dropping = false;
    bool m_disconnectingGateways = false;

    QStringList m_profCapture, m_profPlayback, m_profIdentities;
    QList<Bookmark> m_profBookmarks;
};
