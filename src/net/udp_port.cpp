#include "udp_port.h"

#include "log_categories.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QVariant>
#include <deque>
#include <optional>
#include <stdexcept>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif

namespace {

// Room for a large installation's answers while the receive thread is descheduled. A process
// without CAP_NET_ADMIN gets what net.core.rmem_max allows, which the thread makes enough.
constexpr int DefaultReceiveBufferBytes = 8 * 1024 * 1024;
// How long the GUI thread hands on datagrams before it lets the window handle its own events.
constexpr int SliceMs = 15;
// How many datagrams one socket read takes before the thread looks at its other sockets and
// calls again (a send waits for that).
constexpr int ReadBatch = 256;
// Longer than any datagram of the family; naming it spares asking the system for each size.
constexpr int MaxDatagram = 4096;

struct BindResult {
    bool ok = false;
    QString error;
    QHostAddress local;
};

// The interface that holds `address` (or, failing that, whose subnet contains it, as loopback's
// 127/8 holds every 127.x address) and the broadcast addresses that reach it there.
struct Arrival {
    int interfaceIndex = 0;
    QList<QHostAddress> broadcasts;
};

Arrival arrivalFor(const QHostAddress &address)
{
    Arrival found;
    std::optional<QNetworkAddressEntry> chosen;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    auto pick = [&](auto matches) {
        for (const QNetworkInterface &i : interfaces)
            for (const QNetworkAddressEntry &e : i.addressEntries())
                if (e.ip().protocol() == QAbstractSocket::IPv4Protocol && matches(e)) {
                    chosen = e;
                    found.interfaceIndex = i.index();
                    return true;
                }
        return false;
    };
    if (!pick([&](const QNetworkAddressEntry &e) { return e.ip() == address; }))
        pick([&](const QNetworkAddressEntry &e) { return address.isInSubnet(e.ip(), e.prefixLength()); });
    if (!chosen)
        return found;
    found.broadcasts << QHostAddress(QHostAddress::Broadcast);
    const int prefix = chosen->prefixLength();
    if (prefix >= 0 && prefix <= 30) { // /31 and /32 have no broadcast address of their own
        const quint32 mask = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
        const QHostAddress directed((address.toIPv4Address() & mask) | ~mask);
        if (directed != found.broadcasts.front())
            found.broadcasts << directed;
    }
    return found;
}

} // namespace

// Lives on the port's receive thread and owns every socket; the GUI thread reaches it only through
// blocking calls (bind, send) and the queue.
class UdpReceiver : public QObject {
public:
    UdpReceiver(UdpPort::Filter accept, std::function<void()> wake)
        : m_accept(std::move(accept)), m_wake(std::move(wake))
    {
    }

    BindResult bind(const QHostAddress &address, quint16 port, int bufferRequest)
    {
        closeAll();
        BindResult result;
        m_main = new QUdpSocket(this);
        // Not shared: a second program on this port must be told, not silently share the replies.
        if (!m_main->bind(address, port, QAbstractSocket::DontShareAddress)) {
            result.error = m_main->errorString();
            closeAll();
            return result;
        }
        enlargeReceiveBuffer(m_main, bufferRequest);
        connect(m_main, &QUdpSocket::readyRead, this, [this] { readPending(m_main, false); });
#ifndef Q_OS_WIN
        // Windows already hands an adapter's broadcasts to a socket bound to its address.
        if (address != QHostAddress(QHostAddress::AnyIPv4)) {
            const Arrival arrival = arrivalFor(address);
            m_interfaceIndex = arrival.interfaceIndex;
            for (const QHostAddress &b : arrival.broadcasts) {
                auto *socket = new QUdpSocket(this);
                // Shared, so that another program listening on another adapter hears its own.
                if (!socket->bind(b, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
                    result.error = QStringLiteral("%1: %2").arg(b.toString(), socket->errorString());
                    closeAll();
                    return result;
                }
                enlargeReceiveBuffer(socket, bufferRequest);
                connect(socket, &QUdpSocket::readyRead, this, [this, socket] { readPending(socket, true); });
                m_broadcast << socket;
            }
        }
#endif
        result.ok = true;
        result.local = m_main->localAddress();
        return result;
    }

    // Empty on success, else the reason.
    QString send(const QByteArray &datagram, const QHostAddress &to, quint16 port)
    {
        if (!m_main)
            return QStringLiteral("not bound");
        // Broadcast is allowed on every socket Qt creates for UDP.
        if (m_main->writeDatagram(datagram, to, port) != datagram.size())
            return m_main->errorString();
        return {};
    }

    int receiveBufferSize() const
    {
        return m_main ? m_main->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() : 0;
    }

    // GUI thread: the next datagram in arrival order, or false when none waits (the next arrival
    // then wakes the GUI thread again).
    bool take(QByteArray &out)
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

private:
    void closeAll()
    {
        delete m_main;
        m_main = nullptr;
        qDeleteAll(m_broadcast);
        m_broadcast.clear();
        m_interfaceIndex = 0;
        QMutexLocker lock(&m_mutex);
        m_queue.clear(); // what the old binding heard belongs to a table that is being emptied
    }

    void readPending(QUdpSocket *socket, bool broadcast)
    {
        for (int n = 0; n < ReadBatch && socket->hasPendingDatagrams(); ++n) {
            const QNetworkDatagram d = socket->receiveDatagram(MaxDatagram);
            if (!d.isValid())
                break;
            if (broadcast && d.interfaceIndex() != uint(m_interfaceIndex)) {
                qCDebug(lcNet).noquote() << "broadcast from" << d.senderAddress().toString()
                                         << "dropped: it came through another adapter";
                continue;
            }
            if (m_accept && !m_accept(d.data())) {
                qCDebug(lcNet).noquote() << "datagram of" << d.data().size() << "bytes from"
                                         << d.senderAddress().toString() << "dropped: not a poll reply";
                continue;
            }
            enqueue(d.data());
        }
    }

    void enqueue(const QByteArray &datagram)
    {
        bool wake = false;
        {
            QMutexLocker lock(&m_mutex);
            if (m_queue.size() >= size_t(UdpPort::QueueLimit)) {
                // The GUI thread is behind a flood: the newest give way.
                if (!m_overflowing)
                    qCWarning(lcNet) << "receive queue full:" << UdpPort::QueueLimit
                                     << "datagrams wait for the window; newer ones are dropped until it catches up";
                m_overflowing = true;
                return;
            }
            m_overflowing = false;
            m_queue.push_back(datagram);
            wake = !m_wakePending;
            m_wakePending = true;
        }
        if (wake)
            m_wake();
    }

    static void enlargeReceiveBuffer(QUdpSocket *socket, int bytes)
    {
#ifdef Q_OS_LINUX
        // A privileged process may go past the system's cap; otherwise take what the cap allows.
        if (::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0)
            return;
#endif
        socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, bytes);
    }

    const UdpPort::Filter m_accept;
    const std::function<void()> m_wake;
    QUdpSocket *m_main = nullptr;
    QList<QUdpSocket *> m_broadcast;
    int m_interfaceIndex = 0;

    QMutex m_mutex; // guards the queue and the wake flag
    std::deque<QByteArray> m_queue;
    bool m_wakePending = false;
    bool m_overflowing = false; // said so once per flood
};

namespace {

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
      m_receiver(new UdpReceiver(std::move(accept),
                                 [this] { QMetaObject::invokeMethod(this, &UdpPort::deliverQueued, Qt::QueuedConnection); })),
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

void UdpPort::send(const QByteArray &datagram, const QString &host)
{
    if (!m_bound)
        throw std::runtime_error(
            QStringLiteral("The network socket is not listening on UDP port %1%2")
                .arg(m_port)
                .arg(m_error.isEmpty() ? QString() : QStringLiteral(": ") + m_error)
                .toStdString());
    const QHostAddress to(host);
    const quint16 port = m_port;
    const QString error = onReceiverThread(m_receiver, [&] { return m_receiver->send(datagram, to, port); });
    if (!error.isEmpty())
        throw std::runtime_error(error.toStdString());
}

int UdpPort::receiveBufferSize() const
{
    return onReceiverThread(m_receiver, [this] { return m_receiver->receiveBufferSize(); });
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
