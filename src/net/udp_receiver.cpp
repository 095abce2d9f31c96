#include "net/udp_receiver.h"

#include "common/log_categories.h"

#include <QMutexLocker>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <optional>

UdpReceiver::UdpReceiver(Filter accept, std::function<void()> wake, int queueLimit)
    : m_accept(std::move(accept)), m_wake(std::move(wake)), m_queueLimit(size_t(queueLimit))
{
}

bool UdpReceiver::take(QByteArray &out)
{
    QMutexLocker lock(&m_mutex);
    if (m_queue.empty()) {
        m_wakePending = false;
        return false;
    }
    out = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

QList<QHostAddress> UdpReceiver::broadcastsReaching(const QHostAddress &address)
{
    // The interface that holds `address` or, failing that, whose subnet contains it (as loopback's
    // 127/8 holds every 127.x address).
    std::optional<QNetworkAddressEntry> chosen;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    auto pick = [&](auto matches) {
        for (const QNetworkInterface &i : interfaces)
            for (const QNetworkAddressEntry &e : i.addressEntries())
                if (e.ip().protocol() == QAbstractSocket::IPv4Protocol && matches(e)) {
                    chosen = e;
                    m_interfaceIndex = uint(i.index());
                    return true;
                }
        return false;
    };
    if (!pick([&](const QNetworkAddressEntry &e) { return e.ip() == address; }))
        pick([&](const QNetworkAddressEntry &e) { return address.isInSubnet(e.ip(), e.prefixLength()); });
    if (!chosen)
        return {};
    QList<QHostAddress> broadcasts{QHostAddress(QHostAddress::Broadcast)};
    const int prefix = chosen->prefixLength();
    if (prefix >= 0 && prefix <= 30) { // /31 and /32 have no broadcast address of their own
        const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
        const QHostAddress directed((address.toIPv4Address() & mask) | ~mask);
        if (directed != broadcasts.front())
            broadcasts << directed;
    }
    return broadcasts;
}

bool UdpReceiver::wanted(QByteArrayView datagram, bool broadcast, uint interfaceIndex, quint32 sender) const
{
    if (broadcast && interfaceIndex != m_interfaceIndex) {
        qCDebug(lcNet).noquote() << "broadcast from" << QHostAddress(sender).toString()
                                 << "dropped: it came through another adapter";
        return false;
    }
    if (m_accept && !m_accept(datagram)) {
        qCDebug(lcNet).noquote() << "datagram of" << datagram.size() << "bytes from"
                                 << QHostAddress(sender).toString() << "dropped: not a poll reply";
        return false;
    }
    return true;
}

void UdpReceiver::queue(std::vector<QByteArray> &datagrams)
{
    if (datagrams.empty())
        return;
    bool wake = false;
    {
        QMutexLocker lock(&m_mutex);
        for (QByteArray &datagram : datagrams) {
            if (m_queue.size() >= m_queueLimit) {
                // The GUI thread is behind a flood: the newest give way.
                if (!m_overflowing)
                    qCWarning(lcNet) << "receive queue full:" << m_queueLimit
                                     << "datagrams wait for the window; newer ones are dropped until it catches up";
                m_overflowing = true;
                break;
            }
            m_overflowing = false;
            m_queue.push_back(std::move(datagram));
        }
        wake = !m_wakePending && !m_queue.empty();
        if (wake)
            m_wakePending = true;
    }
    datagrams.clear();
    if (wake)
        m_wake();
}

void UdpReceiver::reset()
{
    m_interfaceIndex = 0;
    QMutexLocker lock(&m_mutex);
    m_queue.clear();
}

#ifndef GLW_POSIX_UDP

#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QUdpSocket>
#include <QVariant>
#include <memory>

namespace {

// Longer than any datagram of the family; naming it spares asking the system for each size.
constexpr int MaxDatagram = 4096;
// How many datagrams one socket's turn takes before the thread looks at its other sockets.
constexpr int ReadBatch = 256;

// Where there is no POSIX socket interface, Qt's sockets do it all, one datagram at a time.
class QtUdpReceiver final : public UdpReceiver {
public:
    using UdpReceiver::UdpReceiver;

    BindResult bind(const QHostAddress &address, quint16 port, int bufferRequest) override
    {
        m_socket.reset();
        reset();
        BindResult result;
        m_socket = std::make_unique<QUdpSocket>();
        m_socket->setProxy(QNetworkProxy::NoProxy); // broadcasts on the local network: no proxy applies
        // Not shared: a second program on this port must be told, not silently share the replies.
        if (!m_socket->bind(address, port, QAbstractSocket::DontShareAddress)) {
            result.error = m_socket->errorString();
            m_socket.reset();
            return result;
        }
        m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, bufferRequest);
        // Windows hands an adapter's broadcasts to a socket bound to its address.
        broadcastsReaching(address);
        connect(m_socket.get(), &QUdpSocket::readyRead, this, [this] { readPending(); });
        result.ok = true;
        result.local = m_socket->localAddress();
        return result;
    }

    QString send(const QByteArray &datagram, const QHostAddress &to, quint16 port) override
    {
        if (!m_socket)
            return QStringLiteral("not bound");
        if (m_socket->writeDatagram(datagram, to, port) != datagram.size())
            return m_socket->errorString();
        return {};
    }

    int receiveBufferSize() const override
    {
        return m_socket ? m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() : 0;
    }
    int unicastSockets() const override { return 1; }

private:
    void readPending()
    {
        std::vector<QByteArray> kept;
        for (int n = 0; n < ReadBatch && m_socket->hasPendingDatagrams(); ++n) {
            const QNetworkDatagram d = m_socket->receiveDatagram(MaxDatagram);
            if (!d.isValid())
                break;
            if (wanted(d.data(), false, uint(d.interfaceIndex()), d.senderAddress().toIPv4Address()))
                kept.push_back(d.data());
        }
        queue(kept);
    }

    std::unique_ptr<QUdpSocket> m_socket;
};

} // namespace

UdpReceiver *UdpReceiver::create(Filter accept, std::function<void()> wake, int queueLimit)
{
    return new QtUdpReceiver(std::move(accept), std::move(wake), queueLimit);
}

#endif
