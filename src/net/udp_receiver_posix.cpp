// The receiver on POSIX systems: its own sockets, read a batch at a time.
//
// Unicast is taken by several sockets that share the adapter's address and port (where the system
// spreads datagrams over them by sender), each with a receive buffer of its own: without
// CAP_NET_ADMIN one socket holds some 330 replies, fewer than a large installation sends while the
// receive thread waits a few milliseconds for a processor. Broadcasts are taken by sockets bound
// to the broadcast addresses (a socket bound to a unicast address never sees one here) and kept
// only when they came through the chosen adapter.
//
// Every datagram carries the time the system received it, and the thread hands on what it read in
// that order, so a burst spread over several sockets is listed as it arrived.

#include "net/udp_receiver.h"

#ifdef GLW_POSIX_UDP

#include "common/log_categories.h"

#include <QSocketNotifier>
#include <QNetworkProxy>
#include <QUdpSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

#ifdef Q_OS_LINUX
constexpr int UnicastSocketCount = 4;
#else
constexpr int UnicastSocketCount = 1; // elsewhere a shared port hands unicast to one socket only
#endif
// Longer than any datagram of the family; naming it spares asking the system for each size.
constexpr int MaxDatagram = 4096;
// How many datagrams one turn reads at most before it hands them on and lets a send in: a flood
// never leaves every socket empty.
constexpr int TurnLimit = 4096;

#ifdef IP_RECVPKTINFO
constexpr int PacketInfoOption = IP_RECVPKTINFO;
#else
constexpr int PacketInfoOption = IP_PKTINFO;
#endif

#ifdef SO_TIMESTAMPNS
constexpr int StampOption = SO_TIMESTAMPNS;
constexpr int StampMessage = SCM_TIMESTAMPNS;
using Stamp = timespec;
qint64 nanoseconds(const timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; }
#else
constexpr int StampOption = SO_TIMESTAMP;
constexpr int StampMessage = SCM_TIMESTAMP;
using Stamp = timeval;
qint64 nanoseconds(const timeval &t) { return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_usec) * 1000; }
#endif

sockaddr_in ipv4(quint32 address, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    return a;
}

// Where one read puts its datagrams, with what the system says of each.
struct Slots {
    static constexpr int Count = 32;
    char data[Count][MaxDatagram];
    sockaddr_in from[Count];
    alignas(cmsghdr) char control[Count][CMSG_SPACE(sizeof(in_pktinfo)) + CMSG_SPACE(sizeof(Stamp))];
    iovec iov[Count];
#ifdef Q_OS_LINUX
    mmsghdr messages[Count];
#else
    struct {
        msghdr msg_hdr;
        unsigned msg_len;
    } messages[Count];
#endif

    // Reads what waits, up to Count datagrams; fewer means the socket was found empty.
    int receive(int fd)
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
        }
        int n = 0;
#ifdef Q_OS_LINUX
        do
            n = ::recvmmsg(fd, messages, Count, MSG_DONTWAIT, nullptr);
        while (n < 0 && errno == EINTR);
#else
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
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                qCWarning(lcNet) << "receiving on the UDP port failed:" << qt_error_string(errno);
            return 0;
        }
        return n;
    }

    QByteArrayView datagram(int i) const { return {data[i], qsizetype(messages[i].msg_len)}; }
    quint32 sender(int i) const { return ntohl(from[i].sin_addr.s_addr); }

    // When the system received datagram i (0 if it did not say), and through which interface
    // (0 where that was not asked for).
    void details(int i, qint64 &receivedNs, uint &interfaceIndex) const
    {
        receivedNs = 0;
        interfaceIndex = 0;
        const msghdr &h = messages[i].msg_hdr;
        for (cmsghdr *c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(const_cast<msghdr *>(&h), c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                interfaceIndex = uint(info.ipi_ifindex);
            } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == StampMessage) {
                Stamp stamp;
                std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                receivedNs = nanoseconds(stamp);
            }
        }
    }
};

class PosixUdpReceiver final : public UdpReceiver {
public:
    PosixUdpReceiver(Filter accept, std::function<void()> wake, int queueLimit)
        // Left as the allocator gives it: each read fills what it then reads, and a port that
        // hears nothing keeps the 130 kB of slots out of memory.
        : UdpReceiver(std::move(accept), std::move(wake), queueLimit), m_slots(std::make_unique_for_overwrite<Slots>())
    {
    }
    ~PosixUdpReceiver() override { closeAll(); }

    BindResult bind(const QHostAddress &address, quint16 port, int bufferRequest) override
    {
        closeAll();
        reset();
        BindResult result;
        {
            // Qt's bind says whether the port is free, in its words. It shares nothing, so it fails
            // against any program on the port, another of ours among them: a second program must
            // be told, not silently share the replies.
            QUdpSocket probe;
            // A proxy lookup would start a thread and load the proxy library for a local bind.
            probe.setProxy(QNetworkProxy::NoProxy);
            if (!probe.bind(address, port, QAbstractSocket::DontShareAddress)) {
                result.error = probe.errorString();
                return result;
            }
            result.local = probe.localAddress();
        }
        // Bound to all addresses (at start, until an adapter is chosen) the sockets would hear
        // broadcasts too, and a broadcast reaches every socket that shares a port: one socket then.
        const bool everyAddress = address == QHostAddress(QHostAddress::AnyIPv4);
        m_unicastSockets = everyAddress ? 1 : UnicastSocketCount;
        const int share = m_unicastSockets > 1 ? SO_REUSEPORT : 0;
        for (int i = 0; i < m_unicastSockets && result.error.isEmpty(); ++i)
            result.error = open(address, port, share, false, bufferRequest);
        if (result.error.isEmpty() && !everyAddress) {
            for (const QHostAddress &b : broadcastsReaching(address)) {
                // Shared, so that another program listening on another adapter hears its own.
                const QString error = open(b, port, SO_REUSEADDR, true, bufferRequest);
                if (!error.isEmpty()) {
                    result.error = QStringLiteral("%1: %2").arg(b.toString(), error);
                    break;
                }
            }
        }
        if (!result.error.isEmpty()) {
            closeAll();
            reset();
            return result;
        }
        result.ok = true;
        return result;
    }

    QString send(const QByteArray &datagram, const QHostAddress &to, quint16 port) override
    {
        if (m_sockets.empty())
            return QStringLiteral("not bound");
        bool isIPv4 = false;
        const quint32 address = to.toIPv4Address(&isIPv4);
        if (!isIPv4)
            return QStringLiteral("%1 is not an IPv4 address").arg(to.toString());
        const sockaddr_in target = ipv4(address, port);
        ssize_t sent;
        do
            sent = ::sendto(m_sockets.front().fd, datagram.constData(), size_t(datagram.size()), 0,
                            reinterpret_cast<const sockaddr *>(&target), sizeof target);
        while (sent < 0 && errno == EINTR);
        if (sent < 0)
            return qt_error_string(errno);
        if (sent != datagram.size())
            return QStringLiteral("only %1 of %2 bytes were sent").arg(sent).arg(datagram.size());
        return {};
    }

    int receiveBufferSize() const override
    {
        int size = 0;
        socklen_t length = sizeof size;
        if (m_sockets.empty() || ::getsockopt(m_sockets.front().fd, SOL_SOCKET, SO_RCVBUF, &size, &length) != 0)
            return 0;
        return size;
    }
    int unicastSockets() const override { return m_sockets.empty() ? 0 : m_unicastSockets; }

private:
    struct Socket {
        int fd = -1;
        bool broadcast = false;
        QSocketNotifier *notifier = nullptr;
    };
    struct Kept {
        qint64 receivedNs;
        QByteArray datagram;
    };

    // Opens, sets up and binds one socket, and reads from it from now on. Empty on success, else
    // the reason. `share` is the option that lets it share the port (0 for none).
    QString open(const QHostAddress &address, quint16 port, int share, bool broadcast, int bufferRequest)
    {
        Socket &s = m_sockets.emplace_back();
        s.broadcast = broadcast;
        s.fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (s.fd < 0)
            return qt_error_string(errno);
        const int on = 1;
        auto set = [&](int level, int option, const void *value, socklen_t size) {
            return ::setsockopt(s.fd, level, option, value, size) == 0;
        };
        const bool ready = ::fcntl(s.fd, F_SETFD, FD_CLOEXEC) == 0
            && ::fcntl(s.fd, F_SETFL, ::fcntl(s.fd, F_GETFL) | O_NONBLOCK) == 0
            && set(SOL_SOCKET, SO_BROADCAST, &on, sizeof on) // a Search goes to 255.255.255.255
            && (share == 0 || set(SOL_SOCKET, share, &on, sizeof on))
            && set(SOL_SOCKET, StampOption, &on, sizeof on)
            && (!broadcast || set(IPPROTO_IP, PacketInfoOption, &on, sizeof on));
        if (!ready)
            return qt_error_string(errno);
        const sockaddr_in local = ipv4(address.toIPv4Address(), port);
        if (::bind(s.fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
            return qt_error_string(errno);
#ifdef Q_OS_LINUX
        // A privileged process may go past the system's cap; otherwise take what the cap allows.
        if (!set(SOL_SOCKET, SO_RCVBUFFORCE, &bufferRequest, sizeof bufferRequest))
#endif
            set(SOL_SOCKET, SO_RCVBUF, &bufferRequest, sizeof bufferRequest);
        s.notifier = new QSocketNotifier(qintptr(s.fd), QSocketNotifier::Read, this);
        connect(s.notifier, &QSocketNotifier::activated, this, &PosixUdpReceiver::drain);
        return {};
    }

    void closeAll()
    {
        for (Socket &s : m_sockets) {
            delete s.notifier;
            if (s.fd >= 0)
                ::close(s.fd);
        }
        m_sockets.clear();
    }

    // Reads every socket until one whole round finds them all empty, then hands on what it kept in
    // the order the system received it. Waiting for an empty round makes that order the order of
    // arrival: whatever arrived before a datagram that was read had reached its own socket by the
    // time that socket was last found empty, so it was read too.
    void drain()
    {
        int read = 0;
        for (bool more = true; more && read < TurnLimit;) {
            more = false;
            for (const Socket &s : m_sockets) {
                for (int n = Slots::Count; n == Slots::Count && read < TurnLimit;) {
                    n = m_slots->receive(s.fd);
                    read += n;
                    more = more || n > 0;
                    for (int i = 0; i < n; ++i)
                        keep(s, i);
                }
            }
        }
        std::stable_sort(m_kept.begin(), m_kept.end(),
                         [](const Kept &a, const Kept &b) { return a.receivedNs < b.receivedNs; });
        for (Kept &k : m_kept)
            m_inOrder.push_back(std::move(k.datagram));
        m_kept.clear();
        queue(m_inOrder);
    }

    void keep(const Socket &s, int i)
    {
        qint64 receivedNs;
        uint interfaceIndex;
        m_slots->details(i, receivedNs, interfaceIndex);
        const QByteArrayView datagram = m_slots->datagram(i);
        if (wanted(datagram, s.broadcast, interfaceIndex, m_slots->sender(i)))
            m_kept.push_back({receivedNs, datagram.toByteArray()});
    }

    std::vector<Socket> m_sockets; // the unicast ones first; the first also sends
    int m_unicastSockets = 0;
    const std::unique_ptr<Slots> m_slots;
    std::vector<Kept> m_kept;          // read this turn, not yet in order
    std::vector<QByteArray> m_inOrder; // in order, on the way to the queue
};

} // namespace

UdpReceiver *UdpReceiver::create(Filter accept, std::function<void()> wake, int queueLimit)
{
    return new PosixUdpReceiver(std::move(accept), std::move(wake), queueLimit);
}

#endif
