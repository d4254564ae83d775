#include "app/session/tcplinktransport.h"

TcpLinkTransport::TcpLinkTransport(QObject* parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray block = m_socket.readAll();
        if (!block.isEmpty())
            emit blockArrived(block);
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { emit connectionEnded(); });
    m_attemptTimer.setSingleShot(true);
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        if (!m_attempt)
            return;
        m_attempt = false;
        m_attemptTimer.stop();
        connectionUp();
        emit connectionMade();
    });
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, [this] {
        if (m_attempt)
            endAttempt(m_socket.errorString());
    });
    connect(&m_attemptTimer, &QTimer::timeout, this, [this] {
        if (m_attempt)
            endAttempt(QStringLiteral("Connection timed out"));
    });
}

void TcpLinkTransport::connectionUp()
{
    // Without TCP_NODELAY the second command of a burst (SETPTT 0 then SETVOX 0) waits
    // for the first one's acknowledgement. The option only reaches a socket that is open.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void TcpLinkTransport::endAttempt(const QString& reason)
{
    m_attempt = false;
    m_attemptTimer.stop();
    m_socket.abort();
    emit connectFailed(reason);
}

LinkTransport::Start TcpLinkTransport::startConnect(const QString& host, quint16 port, int timeoutMs, QString*)
{
    m_attempt = false;
    m_attemptTimer.stop();
    m_socket.abort();
    m_attempt = true;
    m_attemptTimer.start(timeoutMs);
    m_socket.connectToHost(host, port);
    return Start::Pending;
}

// Waits for the connection: for tools and tests only, the program connects in the background.
bool TcpLinkTransport::connectTo(const QString& host, quint16 port, int timeoutMs, QString* error)
{
    m_attempt = false;
    m_attemptTimer.stop();
    m_socket.abort();
    m_socket.connectToHost(host, port);
    if (m_socket.waitForConnected(timeoutMs)) {
        connectionUp();
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
    if (m_attempt) {
        // An attempt still under way is given up without a report.
        m_attempt = false;
        m_attemptTimer.stop();
        m_socket.abort();
        return;
    }
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    if (graceful)
        m_socket.disconnectFromHost();
    else
        m_socket.abort();
}
