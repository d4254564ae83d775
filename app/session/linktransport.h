// The byte pipe under the plugin session. The program uses TcpLinkTransport; the tests
// use a scripted fake. Whoever implements it reports back into the session on the main
// thread: LinkSession::onConnected(), onBlock(bytes) for every block that arrived and
// onDisconnected() when the connection ended (by the peer or by a disconnect()).
#pragma once
#include <QByteArray>
#include <QString>

class LinkTransport {
public:
    enum class Start { Connected, Failed, Pending };

    virtual ~LinkTransport() = default;
    // Connects to host:port, waiting at most timeoutMs. Returns false with the reason in
    // *error when the attempt fails.
    virtual bool connectTo(const QString& host, quint16 port, int timeoutMs, QString* error) = 0;
    // Starts a connection without waiting for it. A transport that knows at once says
    // Connected or Failed (with the reason in *error); one that connects in the background
    // says Pending and reports later: LinkSession::onConnected() once it is up, or
    // LinkSession::onConnectFailed(reason) once the attempt failed or timeoutMs passed.
    virtual Start startConnect(const QString& host, quint16 port, int timeoutMs, QString* error)
    {
        return connectTo(host, port, timeoutMs, error) ? Start::Connected : Start::Failed;
    }
    // The connection and its socket are both up.
    virtual bool isConnected() const = 0;
    // Writes the bytes at once (flushed). False when they could not go out.
    virtual bool write(const QByteArray& bytes) = 0;
    // Ends the connection. graceful: with notice to the peer (pending bytes go out first);
    // otherwise dropped at once.
    virtual void disconnect(bool graceful) = 0;
};
