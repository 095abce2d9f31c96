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

#if defined(Q_OS_UNIX)
#define GLW_NATIVE_UDP
#include <QSocketNotifier>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#include <memory>
#include <vector>

namespace {

// Room for a large installation's answers while the receive thread is descheduled. A process
// without CAP_NET_ADMIN gets what net.core.rmem_max allows, which the thread makes enough.
constexpr int DefaultReceiveBufferBytes = 8 * 1024 * 1024;
// How long the GUI thread hands on datagrams before it lets the window handle its own events.
constexpr int SliceMs = 15;
// How many datagrams one socket's turn takes before the thread looks at its other sockets and
// calls again (a send waits for that).
constexpr int ReadBatch = 256;
// Longer than any datagram of the family; naming it spares asking the system for each size.
constexpr int MaxDatagram = 4096;
#ifdef GLW_NATIVE_UDP
// Asks for each datagram's arrival interface (in_pktinfo).
#ifdef IP_RECVPKTINFO
constexpr int PacketInfoOption = IP_RECVPKTINFO;
#else
constexpr int PacketInfoOption = IP_PKTINFO;
#endif
#endif

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

// One bound socket of the receive thread. `Sink` gets each datagram read from it with the index of
// the interface it came through (0 where that was not asked for); `Flush` follows each batch.
//
// On POSIX systems Qt binds the socket (so binding behaves and fails as it does for every other
// socket here), then the thread reads and sends on its own copy of the descriptor: a batch of
// datagrams per system call, straight into buffers of its own. Elsewhere the Qt socket does it all.
class Listener {
public:
    using Sink = std::function<void(QByteArrayView datagram, uint interfaceIndex, const QHostAddress &sender)>;
    using Flush = std::function<void()>;

    Listener(Sink sink, Flush flush) : m_sink(std::move(sink)), m_flush(std::move(flush)) {}
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;
    ~Listener();

    // Empty on success, else the reason. `withInterface` asks for the arrival interface of each
    // datagram.
    QString open(const QHostAddress &address, quint16 port, QAbstractSocket::BindMode mode, int bufferRequest,
                 bool withInterface);
    QHostAddress localAddress() const { return m_local; }
    // Empty on success, else the reason.
    QString send(const QByteArray &datagram, const QHostAddress &to, quint16 port);
    int receiveBufferSize() const;

private:
    void readPending();

    const Sink m_sink;
    const Flush m_flush;
    QHostAddress m_local;
#ifdef GLW_NATIVE_UDP
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    struct Slots;
    std::unique_ptr<Slots> m_slots;
#else
    QUdpSocket *m_socket = nullptr;
#endif
};

#ifdef GLW_NATIVE_UDP

// Where one system call puts its datagrams.
struct Listener::Slots {
    static constexpr int Count = 32;
    char data[Count][MaxDatagram];
    sockaddr_in from[Count];
    alignas(cmsghdr) char control[Count][CMSG_SPACE(sizeof(in_pktinfo))];
    iovec iov[Count];
    mmsghdr messages[Count];

    // Ready for the next call (the system shortens the lengths it fills in).
    void reset()
    {
        for (int i = 0; i < Count; ++i) {
            iov[i] = {data[i], MaxDatagram};
            msghdr &h = messages[i].msg_hdr;
            h = {};
            h.msg_name = &from[i];
            h.msg_namelen = sizeof from[i];
            h.msg_iov = &iov[i];
            h.msg_iovlen = 1;
            h.msg_control = control[i];
            h.msg_controllen = sizeof control[i];
            messages[i].msg_len = 0;
        }
    }

    // Reads what waits, up to Count datagrams; 0 when none does.
    int receive(int fd)
    {
        reset();
#ifdef Q_OS_LINUX
        int n;
        do
            n = ::recvmmsg(fd, messages, Count, MSG_DONTWAIT, nullptr);
        while (n < 0 && errno == EINTR);
#else
        int n = 0;
        for (; n < Count; ++n) {
            ssize_t got;
            do
                got = ::recvmsg(fd, &messages[n].msg_hdr, MSG_DONTWAIT);
            while (got < 0 && errno == EINTR);
            if (got < 0)
                break;
            messages[n].msg_len = unsigned(got);
        }
        if (n == 0)
            n = -1;
#endif
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            qCWarning(lcNet) << "receiving on the UDP port failed:" << qt_error_string(errno);
        return std::max(n, 0);
    }

    uint interfaceIndex(int i) const
    {
        const msghdr &h = messages[i].msg_hdr;
        for (cmsghdr *c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(const_cast<msghdr *>(&h), c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                return uint(info.ipi_ifindex);
            }
        return 0;
    }
};

Listener::~Listener()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

QString Listener::open(const QHostAddress &address, quint16 port, QAbstractSocket::BindMode mode, int bufferRequest,
                       bool withInterface)
{
    QUdpSocket binder;
    if (!binder.bind(address, port, mode))
        return binder.errorString();
    m_local = binder.localAddress();
    m_fd = ::fcntl(int(binder.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (m_fd < 0)
        return qt_error_string(errno);
    binder.close(); // the copy keeps the socket, non-blocking, with its binding and broadcast allowed

#ifdef Q_OS_LINUX
    // A privileged process may go past the system's cap; otherwise take what the cap allows.
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferRequest, sizeof bufferRequest) != 0)
#endif
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bufferRequest, sizeof bufferRequest);
    if (withInterface) {
        const int on = 1;
        if (::setsockopt(m_fd, IPPROTO_IP, PacketInfoOption, &on, sizeof on) != 0)
            return qt_error_string(errno);
    }
    m_slots = std::make_unique<Slots>();
    m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { readPending(); });
    return {};
}

void Listener::readPending()
{
    for (int taken = 0; taken < ReadBatch;) {
        const int n = m_slots->receive(m_fd);
        for (int i = 0; i < n; ++i) {
            const sockaddr_in &from = m_slots->from[i];
            const QByteArrayView datagram(m_slots->data[i], qsizetype(m_slots->messages[i].msg_len));
            m_sink(datagram, m_slots->interfaceIndex(i), QHostAddress(ntohl(from.sin_addr.s_addr)));
        }
        m_flush();
        if (n < Slots::Count)
            break; // drained
        taken += n;
    }
}

QString Listener::send(const QByteArray &datagram, const QHostAddress &to, quint16 port)
{
    bool isIPv4 = false;
    const quint32 address = to.toIPv4Address(&isIPv4);
    if (!isIPv4)
        return QStringLiteral("%1 is not an IPv4 address").arg(to.toString());
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(address);
    ssize_t sent;
    do
        sent = ::sendto(m_fd, datagram.constData(), size_t(datagram.size()), 0,
                        reinterpret_cast<const sockaddr *>(&target), sizeof target);
    while (sent < 0 && errno == EINTR);
    if (sent < 0)
        return qt_error_string(errno);
    if (sent != datagram.size())
        return QStringLiteral("only %1 of %2 bytes were sent").arg(sent).arg(datagram.size());
    return {};
}

int Listener::receiveBufferSize() const
{
    int size = 0;
    socklen_t length = sizeof size;
    return ::getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 ? size : 0;
}

#else // the Qt socket reads and sends

Listener::~Listener()
{
    delete m_socket;
}

QString Listener::open(const QHostAddress &address, quint16 port, QAbstractSocket::BindMode mode, int bufferRequest,
                       bool)
{
    m_socket = new QUdpSocket;
    if (!m_socket->bind(address, port, mode))
        return m_socket->errorString();
    m_local = m_socket->localAddress();
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, bufferRequest);
    QObject::connect(m_socket, &QUdpSocket::readyRead, m_socket, [this] { readPending(); });
    return {};
}

void Listener::readPending()
{
    for (int n = 0; n < ReadBatch && m_socket->hasPendingDatagrams(); ++n) {
        const QNetworkDatagram d = m_socket->receiveDatagram(MaxDatagram);
        if (!d.isValid())
            break;
        m_sink(d.data(), d.interfaceIndex(), d.senderAddress());
    }
    m_flush();
}

QString Listener::send(const QByteArray &datagram, const QHostAddress &to, quint16 port)
{
    // Broadcast is allowed on every socket Qt creates for UDP.
    if (m_socket->writeDatagram(datagram, to, port) != datagram.size())
        return m_socket->errorString();
    return {};
}

int Listener::receiveBufferSize() const
{
    return m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
}

#endif

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
        // Not shared: a second program on this port must be told, not silently share the replies.
        m_main = newListener(false);
        result.error = m_main->open(address, port, QAbstractSocket::DontShareAddress, bufferRequest, false);
        if (!result.error.isEmpty()) {
            closeAll();
            return result;
        }
#ifndef Q_OS_WIN
        // Windows already hands an adapter's broadcasts to a socket bound to its address.
        if (address != QHostAddress(QHostAddress::AnyIPv4)) {
            const Arrival arrival = arrivalFor(address);
            m_interfaceIndex = uint(arrival.interfaceIndex);
            for (const QHostAddress &b : arrival.broadcasts) {
                auto &listener = m_broadcast.emplace_back(newListener(true));
                // Shared, so that another program listening on another adapter hears its own.
                const QString error = listener->open(b, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint,
                                                     bufferRequest, true);
                if (!error.isEmpty()) {
                    result.error = QStringLiteral("%1: %2").arg(b.toString(), error);
                    closeAll();
                    return result;
                }
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
        return m_main ? m_main->send(datagram, to, port) : QStringLiteral("not bound");
    }

    int receiveBufferSize() const { return m_main ? m_main->receiveBufferSize() : 0; }

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
    std::unique_ptr<Listener> newListener(bool broadcast)
    {
        return std::make_unique<Listener>(
            [this, broadcast](QByteArrayView datagram, uint interfaceIndex, const QHostAddress &sender) {
                arrived(datagram, broadcast, interfaceIndex, sender);
            },
            [this] { flush(); });
    }

    void closeAll()
    {
        m_main.reset();
        m_broadcast.clear();
        m_interfaceIndex = 0;
        m_incoming.clear();
        QMutexLocker lock(&m_mutex);
        m_queue.clear(); // what the old binding heard belongs to a table that is being emptied
    }

    // Keeps what the window wants, for the next flush.
    void arrived(QByteArrayView datagram, bool broadcast, uint interfaceIndex, const QHostAddress &sender)
    {
        if (broadcast && interfaceIndex != m_interfaceIndex) {
            qCDebug(lcNet).noquote() << "broadcast from" << sender.toString()
                                     << "dropped: it came through another adapter";
            return;
        }
        if (m_accept && !m_accept(datagram)) {
            qCDebug(lcNet).noquote() << "datagram of" << datagram.size() << "bytes from" << sender.toString()
                                     << "dropped: not a poll reply";
            return;
        }
        m_incoming.emplace_back(datagram.toByteArray());
    }

    // Hands what a read kept to the GUI thread, in one go.
    void flush()
    {
        if (m_incoming.empty())
            return;
        bool wake = false;
        {
            QMutexLocker lock(&m_mutex);
            for (QByteArray &datagram : m_incoming) {
                if (m_queue.size() >= size_t(UdpPort::QueueLimit)) {
                    // The GUI thread is behind a flood: the newest give way.
                    if (!m_overflowing)
                        qCWarning(lcNet) << "receive queue full:" << UdpPort::QueueLimit
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
        m_incoming.clear();
        if (wake)
            m_wake();
    }

    const UdpPort::Filter m_accept;
    const std::function<void()> m_wake;
    std::unique_ptr<Listener> m_main;
    std::vector<std::unique_ptr<Listener>> m_broadcast;
    uint m_interfaceIndex = 0;
    std::vector<QByteArray> m_incoming; // kept by the current read, not yet queued

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
