// The plugin session's transport over a QTcpSocket on the main thread. The connection is
// made in the background (startConnect); its result, received blocks and the end of the
// connection come out as signals, which the program core forwards to the session inside its
// error guard.
#pragma once
#include "app/session/linktransport.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

class TcpLinkTransport : public QObject, public LinkTransport {
    Q_OBJECT
public:
    explicit TcpLinkTransport(QObject* parent = nullptr);

    bool connectTo(const QString& host, quint16 port, int timeoutMs, QString* error) override;
    Start startConnect(const QString& host, quint16 port, int timeoutMs, QString* error) override;
    bool isConnected() const override;
    bool write(const QByteArray& bytes) override;
    void disconnect(bool graceful) override;
    // The connected socket's descriptor (-1 when none), for checks of its options.
    qintptr socketDescriptor() const { return m_socket.socketDescriptor(); }

signals:
    void connectionMade();
    void connectFailed(const QString& reason);
    void blockArrived(const QByteArray& block);
    void connectionEnded();

private:
    void connectionUp();
    void endAttempt(const QString& reason);

    QTcpSocket m_socket;
    QTimer m_attemptTimer; // the time-out of a connection made in the background
    bool m_attempt = false;
};
