// The plugin session's transport over a QTcpSocket on the main thread. Received blocks and
// the end of the connection come out as signals; the main window forwards them to the
// session inside its error guard.
#pragma once
#include "app/session/linktransport.h"

#include <QObject>
#include <QTcpSocket>

class TcpLinkTransport : public QObject, public LinkTransport {
    Q_OBJECT
public:
    explicit TcpLinkTransport(QObject* parent = nullptr);

    bool connectTo(const QString& host, quint16 port, int timeoutMs, QString* error) override;
    bool isConnected() const override;
    bool write(const QByteArray& bytes) override;
    void disconnect(bool graceful) override;
    // The connected socket's descriptor (-1 when none), for checks of its options.
    qintptr socketDescriptor() const { return m_socket.socketDescriptor(); }

signals:
    void blockArrived(const QByteArray& block);
    void connectionEnded();

private:
    QTcpSocket m_socket;
};
