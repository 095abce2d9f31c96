#include "sim/rdm/rdm_line_sim.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <termios.h>
#include <unistd.h>

namespace {
// The line's own timing, for a test that fails under load: when each message was taken and when
// each piece of a reply went out, against when it was due. Logging from the line's thread can
// hold it up (the log's lock, its file), so a run that looks for the line's own delays asks only
// for the summary: how late the line was, told when it stops.
Q_LOGGING_CATEGORY(lcLineSim, "glintwork.sim.rdm", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcLineSimSummary, "glintwork.sim.rdm.summary", QtCriticalMsg)
} // namespace

RdmLineSim::RdmLineSim(QList<VirtualQuorix> controllers) : m_line(std::move(controllers)) {}

RdmLineSim::~RdmLineSim()
{
    stop();
}

bool RdmLineSim::start(QString *error)
{
    const auto fail = [&](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("grantpt/unlockpt");
    const char *name = ::ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);
    // Holding the slave open keeps the master readable while the PC has its port closed, and
    // raw mode keeps the line discipline from echoing or editing the bytes in the meantime.
    m_slaveHeld = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slaveHeld < 0)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(m_slaveHeld, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slaveHeld, TCSANOW, &tio);
    }
    if (::pipe(m_wake) != 0)
        return fail("pipe");
    m_thread = std::thread([this] { run(); });
    return true;
}

void RdmLineSim::stop()
{
    if (m_thread.joinable()) {
        const char c = 1;
        [[maybe_unused]] auto r = ::write(m_wake[1], &c, 1);
        m_thread.join();
        qCDebug(lcLineSimSummary).nospace() << "line: " << m_deliveriesMade << " deliveries, " << m_deliveriesLate
                                            << " more than 5 ms after they were due, the latest by " << m_latestUs
                                            << " us";
    }
    for (int *fd : {&m_master, &m_slaveHeld, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

QList<VirtualQuorix> RdmLineSim::controllers() const
{
    std::lock_guard lock(m_mutex);
    return m_line.controllers;
}

QList<QByteArray> RdmLineSim::messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

QList<qsizetype> RdmLineSim::replySizes() const
{
    std::lock_guard lock(m_mutex);
    return m_replySizes;
}

void RdmLineSim::keepRealTime()
{
    // Controllers and a USB adapter are hardware: they answer within their own time whatever the
    // PC is doing. On a pseudo-terminal this thread stands in for them, and on a loaded machine an
    // ordinary thread can wait 20-50 ms for a processor, both to take a request and to hand its
    // reply over, which turns into lost replies the real line never has. A real-time thread runs as
    // soon as it is due. It spends its life in poll(), so it takes a processor only for moments.
    // Not permitted (an ordinary user without a real-time allowance): the line runs as before.
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    const int rc = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param);
    if (rc != 0)
        qCDebug(lcLineSim) << "line thread runs without real-time priority:" << std::strerror(rc);
}

void RdmLineSim::run()
{
    keepRealTime();
    char buf[4096];
    for (;;) {
        timespec wait{};
        timespec *timeout = nullptr;
        if (!m_deliveries.empty()) {
            const auto left = std::chrono::ceil<std::chrono::microseconds>(m_deliveries.front().at - Clock::now());
            const qint64 us = qMax<qint64>(0, left.count());
            wait.tv_sec = time_t(us / 1000000);
            wait.tv_nsec = long(us % 1000000) * 1000;
            timeout = &wait;
        }
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = ::ppoll(fds, 2, timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            return;
        deliverDue();
        if (ready <= 0)
            continue;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const Clock::time_point received = Clock::now();
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            ::usleep(1000);
            continue;
        }
        QByteArray bootReply;
        bool bootloaderListens = false;
        {
            std::lock_guard lock(m_mutex);
            bootReply = m_line.handleBootloader(QByteArrayView(buf, n));
            for (const VirtualQuorix &c : m_line.controllers)
                bootloaderListens = bootloaderListens || c.inBootloader;
        }
        if (bootloaderListens || !bootReply.isEmpty())
            m_bootBytes += n;
        if (!bootReply.isEmpty()) {
            const auto lineTime = std::chrono::microseconds(m_bootBaud > 0 ? m_bootBytes * 10 * 1000000 / m_bootBaud : 0);
            m_bootBytes = 0;
            schedule({Delivery{received + lineTime, bootReply}});
        }
        m_framer.append(QByteArrayView(buf, n));
        while (auto message = m_framer.takeRdm()) {
            QByteArray reply, late;
            int lateMs = 0;
            {
                std::lock_guard lock(m_mutex);
                m_messages.append(*message);
                reply = m_line.handle(*message);
                m_replySizes.append(reply.size());
                late = m_line.lateReply;
                lateMs = m_line.lateReplyMs;
            }
            ++m_handled;
            qCDebug(lcLineSim).nospace() << "took message cc 0x" << Qt::hex << quint8(message->at(20)) << " pid 0x"
                                         << (quint8(message->at(21)) << 8 | quint8(message->at(22))) << Qt::dec
                                         << ", reply " << reply.size() << " bytes, late reply " << late.size();
            if (!reply.isEmpty())
                scheduleReply(*message, reply, received);
            if (!late.isEmpty())
                scheduleReply(*message, late, received + std::chrono::milliseconds(lateMs));
        }
    }
}

void RdmLineSim::scheduleReply(const QByteArray &request, const QByteArray &reply, Clock::time_point received)
{
    using std::chrono::microseconds;
    using std::chrono::milliseconds;
    constexpr microseconds ByteTime{44};     // 11 bits at 250000 baud
    constexpr microseconds Turnaround{500}; // E1.20 allows a responder 2 ms
    const Clock::time_point start = received + ByteTime * request.size() + Turnaround;
    const qsizetype size = reply.size();
    const int latencyMs = m_latencyLowered ? m_loweredLatencyMs : m_latencyMs;

    // What the adapter hands over, and when: all of it once it is off the wire; with a latency
    // timer, what has come in when the timer runs out, and the rest when it runs out again.
    QList<Delivery> pieces;
    if ((latencyMs > 0 || m_gapMs > 0) && size > 1) {
        const qsizetype cut = m_gapMs > 0 ? size / 2 : 1 + ::rand_r(&m_pieceSeed) % (size - 1);
        const int pauseMs = m_gapMs > 0 ? m_gapMs : 1 + ::rand_r(&m_pieceSeed) % latencyMs;
        const Clock::time_point first = start + ByteTime * cut;
        const Clock::time_point rest
            = std::max<Clock::time_point>(first + milliseconds(pauseMs), start + ByteTime * size);
        pieces << Delivery{first, reply.left(cut)} << Delivery{rest, reply.mid(cut)};
    } else {
        pieces << Delivery{start + ByteTime * size, reply};
    }
    if (m_split) {
        QList<Delivery> small;
        for (const Delivery &d : pieces) {
            Clock::time_point at = d.at;
            for (qsizetype sent = 0; sent < d.bytes.size(); at += milliseconds(1)) {
                const qsizetype n = qMin<qsizetype>(d.bytes.size() - sent, 1 + ::rand_r(&m_pieceSeed) % 7);
                small << Delivery{at, d.bytes.mid(sent, n)};
                sent += n;
            }
        }
        pieces = small;
    }
    schedule(std::move(pieces));
}

void RdmLineSim::schedule(QList<Delivery> pieces)
{
    for (Delivery &d : pieces) {
        if (!m_deliveries.empty())
            d.at = std::max(d.at, m_deliveries.back().at);
        m_deliveries.push_back(std::move(d));
    }
}

void RdmLineSim::deliverDue()
{
    while (!m_deliveries.empty() && m_deliveries.front().at <= Clock::now()) {
        const qint64 lateUs
            = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_deliveries.front().at).count();
        ++m_deliveriesMade;
        m_deliveriesLate += lateUs > 5000 ? 1 : 0;
        m_latestUs = qMax(m_latestUs, lateUs);
        qCDebug(lcLineSim) << "wrote" << m_deliveries.front().bytes.size() << "bytes," << lateUs
                           << "us after they were due";
        writeAll(m_deliveries.front().bytes);
        m_deliveries.pop_front();
    }
}

void RdmLineSim::writeAll(const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + sent, size_t(bytes.size() - sent));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return;
        }
        sent += n;
    }
}
