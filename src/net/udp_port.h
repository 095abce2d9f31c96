#pragma once
// The main window's UDP port 49150: bound to all addresses at start, rebound to the chosen
// adapter's address later, broadcast enabled.
//
// Receiving runs on a thread of its own, so a burst of replies is drained from the system's small
// socket buffers however busy the window is; `accept` should be cheap, since it is asked about
// every datagram of a burst while more arrive. The thread keeps only what `accept` lets through, in
// arrival order, in a bounded queue; the GUI thread takes it from there in short slices, so a flood
// can neither freeze the window nor grow memory without end.
//
// Bound to an adapter's address, the port hears what is addressed to that address and the
// broadcasts (limited, and the adapter's subnet's) that arrive through that adapter, and nothing
// that arrives through other adapters. Datagrams are always sent from the adapter's address and
// the port. How the sockets do that on each system is the receive thread's business.

#include "common/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>

class UdpReceiver;

class UdpPort : public QObject {
    Q_OBJECT
public:
    // Decides on the receive thread whether a datagram is worth handing to the GUI thread.
    using Filter = std::function<bool(QByteArrayView)>;

    // At most this many datagrams wait for the GUI thread; more are dropped until it catches up.
    static constexpr int QueueLimit = 8192;

    explicit UdpPort(quint16 port, QObject *parent = nullptr, Filter accept = {});
    ~UdpPort() override;

    // Closes the sockets and binds to `address` on the port (all addresses for 0.0.0.0). On
    // failure nothing is bound (no datagram is received or sent) and lastError() says why.
    // Datagrams still waiting from the previous binding are discarded.
    bool bindTo(const QHostAddress &address);
    bool isBound() const { return m_bound; }
    QString lastError() const { return m_error; }
    QHostAddress localAddress() const { return m_local; }
    quint16 port() const { return m_port; }

    // Sends one datagram to `host` (dotted text) on the port. Fails with the socket's reason when
    // the port is not bound or the send fails.
    Result<> send(const QByteArray &datagram, const QString &host);

    // The receive buffer the system granted each socket that takes unicast, in bytes, and how many
    // such sockets share the port.
    int receiveBufferSize() const;
    int unicastSockets() const;
    // Asks for this receive buffer for each socket at the next bind (the system may grant less
    // without privileges).
    void setReceiveBufferRequest(int bytes) { m_bufferRequest = bytes; }

signals:
    void datagramReceived(const QByteArray &datagram);

private:
    void deliverQueued();

    quint16 m_port;
    QThread m_thread;
    UdpReceiver *m_receiver;
    int m_bufferRequest;
    bool m_bound = false;
    QHostAddress m_local;
    QString m_error;
};
