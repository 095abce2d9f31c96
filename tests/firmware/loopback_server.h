#pragma once
// A TCP server on 127.0.0.1 that plays a controller's bootloader from a thread of its own, so the
// upload's blocking calls can run on the test's thread. It takes one connection and records every
// byte and when it came; it can drop the connection at a chosen point.

#include <QByteArray>
#include <QElapsedTimer>
#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class LoopbackServer {
public:
    enum class Drop {
        Never,      // read until the PC closes
        CloseAfter, // close normally once `dropAfter` bytes have arrived
        ResetAfter, // reset the connection once `dropAfter` bytes have arrived
        StallAfter, // stop reading once `dropAfter` bytes have arrived, keep the connection open
    };

    struct Received {
        QByteArray bytes;
        bool accepted = false;   // a connection was made
        bool peerClosed = false; // the PC closed its end (end of stream seen)
        qint64 gapAfterLineMs = -1; // from the line's last byte to the next byte (or the close)
    };

    // A controller that is slow to read and talks back: `readPauseMs` before each read, `answer`
    // sent after each read.
    explicit LoopbackServer(Drop drop = Drop::Never, qint64 dropAfter = 0, QByteArray answer = {}, int readPauseMs = 0)
        : m_drop(drop), m_dropAfter(dropAfter), m_answer(std::move(answer)), m_readPauseMs(readPauseMs)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(m_listener, 1) != 0
            || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            qFatal("loopback server cannot listen");
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }

    ~LoopbackServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }

    quint16 port() const { return m_port; }

    // Waits until the connection has ended (or none came within the time) and returns what arrived.
    Received result()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_received;
    }

    static constexpr int LineSize = 21;

private:
    bool waitReadable(int fd)
    {
        // Gives up after 20 s without a byte, so a broken upload ends the test instead of hanging it.
        for (int waited = 0; waited < 20000 && !m_stop; waited += 50) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0)
                return true;
        }
        return false;
    }

    void run()
    {
        if (!waitReadable(m_listener))
            return;
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0)
            return;
        m_received.accepted = true;
        QElapsedTimer clock;
        qint64 lineDoneAt = -1;
        char buf[65536];
        while (waitReadable(fd)) {
            const qint64 wanted = m_drop == Drop::Never ? qint64(sizeof buf)
                                                        : qMin<qint64>(sizeof buf, m_dropAfter - m_received.bytes.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(m_readPauseMs));
            const ssize_t n = wanted > 0 ? ::recv(fd, buf, size_t(wanted), 0) : 0;
            if (n > 0 && !m_answer.isEmpty())
                ::send(fd, m_answer.constData(), size_t(m_answer.size()), MSG_NOSIGNAL);
            if (wanted > 0 && n <= 0) {
                m_received.peerClosed = n == 0;
                if (lineDoneAt >= 0 && m_received.gapAfterLineMs < 0)
                    m_received.gapAfterLineMs = clock.elapsed() - lineDoneAt;
                break;
            }
            if (n > 0) {
                const qint64 before = m_received.bytes.size();
                m_received.bytes.append(buf, n);
                if (lineDoneAt >= 0 && m_received.gapAfterLineMs < 0)
                    m_received.gapAfterLineMs = clock.elapsed() - lineDoneAt;
                if (before < LineSize && m_received.bytes.size() >= LineSize) {
                    clock.start();
                    lineDoneAt = 0;
                    if (m_received.bytes.size() > LineSize)
                        m_received.gapAfterLineMs = 0;
                }
            }
            if (m_drop != Drop::Never && m_received.bytes.size() >= m_dropAfter) {
                while (m_drop == Drop::StallAfter && !m_stop)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                if (m_drop == Drop::ResetAfter) {
                    const linger l{1, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
                }
                break;
            }
        }
        ::close(fd);
    }

    Drop m_drop;
    qint64 m_dropAfter;
    QByteArray m_answer;
    int m_readPauseMs;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    Received m_received;
};

// A loopback port on which nothing listens: connecting to it is refused.
inline quint16 closedLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}
