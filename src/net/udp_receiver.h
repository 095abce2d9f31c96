#pragma once
// The receive thread's half of UdpPort: the sockets, and the queue the GUI thread lists from.
//
// A receiver lives on the port's receive thread and owns every socket; the GUI thread reaches it
// only through blocking calls (bind, send) and `take`. What it reads passes `wanted` on this thread,
// so only well-formed poll replies that came through the chosen adapter are queued.

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#ifdef Q_OS_UNIX
// Reads with the system's socket calls: several datagrams per call, each with its arrival time.
#define GLW_POSIX_UDP 1
#endif

struct BindResult {
    bool ok = false;
    QString error;
    QHostAddress local;
};

class UdpReceiver : public QObject {
public:
    using Filter = std::function<bool(QByteArrayView)>;

    // The receiver this platform has. `wake` is called (on the receive thread) when the queue gets
    // its first datagram since `take` last found it empty.
    static UdpReceiver *create(Filter accept, std::function<void()> wake, int queueLimit);

    // Closes every socket, empties the queue, and binds to `address` on `port`.
    virtual BindResult bind(const QHostAddress &address, quint16 port, int bufferRequest) = 0;
    // Empty on success, else the reason.
    virtual QString send(const QByteArray &datagram, const QHostAddress &to, quint16 port) = 0;
    // What the system granted each socket that takes unicast, in bytes; 0 when not bound.
    virtual int receiveBufferSize() const = 0;
    // How many sockets take unicast (they share the port, each with a buffer of its own).
    virtual int unicastSockets() const = 0;

    // GUI thread: the next datagram in arrival order, or false when none waits (the next arrival
    // then wakes the GUI thread again).
    bool take(QByteArray &out);

protected:
    UdpReceiver(Filter accept, std::function<void()> wake, int queueLimit);

    // The broadcast addresses that reach `address`'s interface (limited, and its subnet's); from
    // now on a broadcast is wanted only when it came through that interface.
    QList<QHostAddress> broadcastsReaching(const QHostAddress &address);
    // Whether the window wants the datagram; logs why not. `sender` is an IPv4 address.
    bool wanted(QByteArrayView datagram, bool broadcast, uint interfaceIndex, quint32 sender) const;
    // Appends the datagrams, in order, as far as the queue has room, and wakes the GUI thread.
    void queue(std::vector<QByteArray> &datagrams);
    // Forgets the interface and what waits: it belongs to a table that is being emptied.
    void reset();

private:
    const Filter m_accept;
    const std::function<void()> m_wake;
    const size_t m_queueLimit;
    uint m_interfaceIndex = 0;

    QMutex m_mutex; // guards the queue and the wake flag
    std::deque<QByteArray> m_queue;
    bool m_wakePending = false;
    bool m_overflowing = false; // said so once per flood
};
