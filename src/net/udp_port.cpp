#include "udp_port.h"

#include <QNetworkDatagram>
#include <QVariant>
#include <QUdpSocket>
#include <stdexcept>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif

namespace {
// Room for a large installation's answers to one search: well over a thousand poll replies can
// be queued before the GUI thread gets to read them.
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
} // namespace

UdpPort::UdpPort(quint16 port, QObject *parent)
    : QObject(parent), m_socket(new QUdpSocket(this)), m_port(port)
{
    connect(m_socket, &QUdpSocket::readyRead, this, &UdpPort::readPending);
}

bool UdpPort::bindTo(const QHostAddress &address)
{
    m_socket->close();
    m_error.clear();
    // Not shared: a second program on this port must be told, not silently share the replies.
    if (!m_socket->bind(address, m_port, QAbstractSocket::DontShareAddress)) {
        m_error = m_socket->errorString();
        m_socket->close();
        return false;
    }
    enlargeReceiveBuffer();
    return true;
}

bool UdpPort::isBound() const
{
    return m_socket->state() == QAbstractSocket::BoundState;
}

QHostAddress UdpPort::localAddress() const
{
    return m_socket->localAddress();
}

void UdpPort::send(const QByteArray &datagram, const QString &host)
{
    if (!isBound())
        throw std::runtime_error(
            QStringLiteral("The network socket is not listening on UDP port %1%2")
                .arg(m_port)
                .arg(m_error.isEmpty() ? QString() : QStringLiteral(": ") + m_error)
                .toStdString());
    // Broadcast is allowed on every socket Qt creates for UDP.
    if (m_socket->writeDatagram(datagram, QHostAddress(host), m_port) != datagram.size())
        throw std::runtime_error(m_socket->errorString().toStdString());
}

int UdpPort::receiveBufferSize() const
{
    return m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
}

void UdpPort::enlargeReceiveBuffer()
{
#ifdef Q_OS_LINUX
    // A privileged process may go past the system's cap; otherwise take what the cap allows.
    const int bytes = ReceiveBufferBytes;
    if (::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0)
        return;
#endif
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
}

void UdpPort::readPending()
{
    // Read everything queued, in arrival order, before returning to the event loop.
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram d = m_socket->receiveDatagram();
        if (!d.isValid())
            break;
        emit datagramReceived(d.data());
    }
}
