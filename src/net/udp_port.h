#pragma once
// The main window's UDP socket on port 49150: bound to all addresses at start, rebound to the
// chosen adapter's address later, broadcast enabled. Every pending datagram is handed on in
// arrival order on the GUI thread.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

class UdpPort : public QObject {
    Q_OBJECT
public:
    explicit UdpPort(quint16 port, QObject *parent = nullptr);

    // Closes the socket and binds it to `address` on the port. On failure the socket stays
    // closed (no datagram is received or sent) and lastError() says why.
    bool bindTo(const QHostAddress &address);
    bool isBound() const;
    QString lastError() const { return m_error; }
    QHostAddress localAddress() const;
    quint16 port() const { return m_port; }

    // Sends one datagram to `host` (dotted text) on the port. Throws std::runtime_error with the
    // socket's reason when the socket is not bound or the send fails.
    void send(const QByteArray &datagram, const QString &host);

    // The receive buffer the socket actually got, in bytes (for diagnostics and tests).
    int receiveBufferSize() const;

signals:
    void datagramReceived(const QByteArray &datagram);

private:
    void readPending();
    void enlargeReceiveBuffer();

    QUdpSocket *m_socket;
    quint16 m_port;
    QString m_error;
};
