#include "net/udp_port.h"

#include "net/udp_receiver.h"

#include <QElapsedTimer>

namespace {

// Room for a large installation's answers while the receive thread waits for a processor: 8 MiB
// in all, over the sockets that take unicast (four on Linux). A process without CAP_NET_ADMIN gets
// what net.core.rmem_max allows for each; the receive thread and the sockets' number make that
// enough.
#ifdef Q_OS_LINUX
constexpr int DefaultReceiveBufferBytes = 2 * 1024 * 1024;
#else
constexpr int DefaultReceiveBufferBytes = 8 * 1024 * 1024;
#endif
// How long the GUI thread hands on datagrams before it lets the window handle its own events.
constexpr int SliceMs = 15;

// Runs `f` on the receiver's thread and returns its result; the calling (GUI) thread waits.
template <typename F>
auto onReceiverThread(UdpReceiver *receiver, F f)
{
    decltype(f()) result{};
    QMetaObject::invokeMethod(receiver, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

} // namespace

UdpPort::UdpPort(quint16 port, QObject *parent, Filter accept)
    : QObject(parent),
      m_port(port),
      m_receiver(UdpReceiver::create(
          std::move(accept), [this] { QMetaObject::invokeMethod(this, &UdpPort::deliverQueued, Qt::QueuedConnection); },
          QueueLimit)),
      m_bufferRequest(DefaultReceiveBufferBytes)
{
    m_thread.setObjectName(QStringLiteral("UdpReceive"));
    m_receiver->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_receiver, &QObject::deleteLater);
    m_thread.start();
}

UdpPort::~UdpPort()
{
    m_thread.quit();
    m_thread.wait();
}

bool UdpPort::bindTo(const QHostAddress &address)
{
    const quint16 port = m_port;
    const int buffer = m_bufferRequest;
    const BindResult r = onReceiverThread(m_receiver, [&] { return m_receiver->bind(address, port, buffer); });
    m_bound = r.ok;
    m_error = r.error;
    m_local = r.local;
    return r.ok;
}

Result<> UdpPort::send(const QByteArray &datagram, const QString &host)
{
    if (!m_bound)
        return Failure{QStringLiteral("The network socket is not listening on UDP port %1%2")
                           .arg(m_port)
                           .arg(m_error.isEmpty() ? QString() : QStringLiteral(": ") + m_error),
                       m_error};
    const QHostAddress to(host);
    if (to.protocol() != QAbstractSocket::IPv4Protocol) {
        const QString why = QStringLiteral("\"%1\" is not an IPv4 address").arg(host);
        return Failure{why, why};
    }
    const quint16 port = m_port;
    const QString error = onReceiverThread(m_receiver, [&] { return m_receiver->send(datagram, to, port); });
    if (!error.isEmpty())
        return Failure{error, error};
    return {};
}

int UdpPort::receiveBufferSize() const
{
    return onReceiverThread(m_receiver, [this] { return m_receiver->receiveBufferSize(); });
}

int UdpPort::unicastSockets() const
{
    return onReceiverThread(m_receiver, [this] { return m_receiver->unicastSockets(); });
}

void UdpPort::deliverQueued()
{
    QElapsedTimer slice;
    slice.start();
    QByteArray datagram;
    while (m_receiver->take(datagram)) {
        emit datagramReceived(datagram);
        if (slice.elapsed() >= SliceMs) {
            // More waits: let paint and input events in first, then carry on.
            QMetaObject::invokeMethod(this, &UdpPort::deliverQueued, Qt::QueuedConnection);
            return;
        }
    }
}
