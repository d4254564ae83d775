// Test doubles for the plugin session: a scripted transport, recording gateways, a
// recording view and monitor, and a fixture that wires them to a LinkSession.
#pragma once
#include "app/session/linksession.h"

#include <QMap>
#include <gtest/gtest.h>

class FakeTransport : public LinkTransport {
public:
    bool acceptConnect = true;
    QString connectError = QStringLiteral("Connection refused");
    bool connected = false;
    bool writeFails = false;
    bool inBackground = false; // startConnect answers Pending; the test reports the result
    int connectAttempts = 0;
    QString lastHost;
    quint16 lastPort = 0;
    int lastTimeout = 0;
    QByteArray written;
    QList<bool> disconnects; // graceful flags

    bool connectTo(const QString& host, quint16 port, int timeoutMs, QString* error) override
    {
        ++connectAttempts;
        lastHost = host;
        lastPort = port;
        lastTimeout = timeoutMs;
        if (!acceptConnect) {
            *error = connectError;
            return false;
        }
        connected = true;
        return true;
    }
    Start startConnect(const QString& host, quint16 port, int timeoutMs, QString* error) override
    {
        if (!inBackground)
            return LinkTransport::startConnect(host, port, timeoutMs, error);
        ++connectAttempts;
        lastHost = host;
        lastPort = port;
        lastTimeout = timeoutMs;
        return Start::Pending;
    }
    bool isConnected() const override { return connected; }
    bool write(const QByteArray& bytes) override
    {
        if (writeFails)
            return false;
        written += bytes;
        return true;
    }
    void disconnect(bool graceful) override
    {
        if (connected)
            disconnects.append(graceful);
        connected = false;
    }
    // Lines written since the last call, split on the CR CR LF every command ends with.
    QStringList takeLines()
    {
        QStringList out;
        for (const QByteArray& l : written.split('\n'))
            if (!l.isEmpty())
                out.append(QString::fromLatin1(l).remove(QLatin1Char('\r')));
        written.clear();
        return out;
    }
};

class FakeGateway : public GatewayEndpoint {
public:
    FakeGateway(QString uid, int handler, bool connected, QString title = QStringLiteral("GW"))
        : uid(std::move(uid)), handler(handler), connected(connected), title(std::move(title))
    {}
    QString uid;
    int handler;
    bool connected;
    QString title;
    QStringList calls; // "Reset", "Start n", "Disconnect", "Parse CMD", "Write", "Close"
    SettingsList lastItems;
    std::function<void()> onParse;

    int TS3_scHandlerID() const override { return handler; }
    QString gateUID() const override { return uid; }
    bool TS3_IstConnected() const override { return connected; }
    QString windowTitle() const override { return title; }
    void ResetGateway() override { calls << QStringLiteral("Reset"); }
    void StarteGateway(int n) override { calls << QStringLiteral("Start %1").arg(n); }
    void TS3_Disconnect() override
    {
        calls << QStringLiteral("Disconnect");
        connected = false;
    }
    void ParseIncomingTS3Data(const QString& command, const SettingsList& items) override
    {
        calls << QStringLiteral("Parse ") + command;
        lastItems = items;
        if (onParse)
            onParse();
    }
    void WriteConfig(std::shared_ptr<SettingsList>) override { calls << QStringLiteral("Write"); }
    void CloseGateway() override { calls << QStringLiteral("Close"); }
};

class FakeDirectory : public GatewayDirectory {
public:
    QList<GatewayEndpoint*> list;
    QList<GatewayEndpoint*> gatewaysInWindowOrder() const override { return list; }
};

class RecordingView : public SessionView {
public:
    QString linkPanel;
    LinkColour colour = LinkColour::White;
    QString linkStatus, errorStatus, pingStatus;
    bool pingTimer = false;
    QStringList balloons, messages;
    void setLinkPanel(const QString& t, LinkColour c) override
    {
        linkPanel = t;
        colour = c;
    }
    void setLinkStatus(const QString& t) override { linkStatus = t; }
    void setErrorStatus(const QString& t) override { errorStatus = t; }
    void setPingStatus(const QString& t) override { pingStatus = t; }
    void setPingTimerEnabled(bool on) override { pingTimer = on; }
    void showBalloon(const QString& title, const QString& t) override { balloons << title + QLatin1Char('|') + t; }
    void showMessage(MessageKind, const QString& t) override { messages << t; }
};

class RecordingMonitor : public LinkMonitorSink {
public:
    QStringList lines;
    int clears = 0;
    void clearTraffic() override
    {
        ++clears;
        lines.clear();
    }
    void appendTraffic(const QString& l) override { lines << l; }
};

inline QString testText(const QString& id)
{
    static const QMap<QString, QString> t{
        {QStringLiteral("0007"), QStringLiteral("Not connected with Teamspeak")},
        {QStringLiteral("0008"), QStringLiteral("connected with Teamspeak")},
        {QStringLiteral("0018"), QStringLiteral("No Error")},
        {QStringLiteral("0021"), QStringLiteral("Reconnect")},
        {QStringLiteral("0064"), QStringLiteral("*** Connection failed ***")},
        {QStringLiteral("0065"), QStringLiteral("The Relaydeck can be only one connection to the Teamspeak-Client!!")},
        {QStringLiteral("0069"), QStringLiteral("This Relaydeck is not compatible with the Link-Plugin used")},
        {QStringLiteral("0070"), QStringLiteral("Please perform Update")},
        {QStringLiteral("0071"), QStringLiteral("Link-API is")},
        {QStringLiteral("0072"), QStringLiteral("Needed")},
    };
    return t.value(id, id);
}

class SessionFixture : public ::testing::Test {
protected:
    FakeTransport transport;
    FakeDirectory directory;
    RecordingView view;
    ManualClock clock{1700000000000};
    SettingsList settings;
    std::unique_ptr<LinkSession> session;

    void SetUp() override { makeSession(); }
    void makeSession()
    {
        LinkSession::Deps d;
        d.transport = &transport;
        d.gateways = &directory;
        d.view = &view;
        d.clock = &clock;
        d.settings = &settings;
        d.text = testText;
        d.appLang = QStringLiteral("en_US");
        session = std::make_unique<LinkSession>(d);
    }
    // First tick connects; nothing written yet.
    void connectNow()
    {
        session->secondTick();
        ASSERT_TRUE(transport.connected);
        transport.written.clear();
    }
    void receive(const QByteArray& bytes) { session->onBlock(bytes); }
    // The peer closes the connection.
    void peerCloses()
    {
        transport.connected = false;
        session->onDisconnected();
    }
};
