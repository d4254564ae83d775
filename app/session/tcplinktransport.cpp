#include "app/session/tcplinktransport.h"

TcpLinkTransport::TcpLinkTransport(QObject* parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray block = m_socket.readAll();
        if (!block.isEmpty())
            emit blockArrived(block);
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { emit connectionEnded(); });
}

bool TcpLinkTransport::connectTo(const QString& host, quint16 port, int timeoutMs, QString* error)
{
    m_socket.abort();
    m_socket.connectToHost(host, port);
    if (m_socket.waitForConnected(timeoutMs)) {
        // Without TCP_NODELAY the second command of a burst (SETPTT 0 then SETVOX 0) waits
        // for the first one's acknowledgement. The option only reaches a socket that is open.
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    if (error)
        *error = m_socket.state() == QAbstractSocket::ConnectedState ? QString() : m_socket.errorString();
    m_socket.abort();
    return false;
}

bool TcpLinkTransport::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState && m_socket.isValid();
}

bool TcpLinkTransport::write(const QByteArray& bytes)
{
    if (!isConnected())
        return false;
    if (m_socket.write(bytes) != bytes.size())
        return false;
    m_socket.flush();
    return true;
}

void TcpLinkTransport::disconnect(bool graceful)
{
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    if (graceful)
        m_socket.disconnectFromHost();
    else
        m_socket.abort();
}
