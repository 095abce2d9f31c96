#include "rdm_line_sim.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

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

void RdmLineSim::run()
{
    char buf[4096];
    for (;;) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
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
            if (m_bootBaud > 0)
                ::usleep(useconds_t(m_bootBytes * 10 * 1000000 / m_bootBaud));
            m_bootBytes = 0;
            writeReply(bootReply);
        }
        m_framer.append(QByteArrayView(buf, n));
        while (auto message = m_framer.takeRdm()) {
            QByteArray reply;
            {
                std::lock_guard lock(m_mutex);
                reply = m_line.handle(*message);
            }
            ++m_handled;
            if (!reply.isEmpty())
                writeReply(reply);
        }
    }
}

void RdmLineSim::writeReply(const QByteArray &reply)
{
    if (m_gapMs > 0 && reply.size() > 1) {
        // Two pieces, the second after the pause a USB interface's latency timer makes.
        const qsizetype half = reply.size() / 2;
        writeAll(reply.left(half));
        ::usleep(useconds_t(m_gapMs) * 1000);
        writeAll(reply.sliced(half));
        return;
    }
    writeAll(reply);
}

void RdmLineSim::writeAll(const QByteArray &reply)
{
    qsizetype sent = 0;
    while (sent < reply.size()) {
        qsizetype piece = reply.size() - sent;
        if (m_split) {
            piece = qMin<qsizetype>(piece, 1 + ::rand_r(&m_pieceSeed) % 7);
            if (sent > 0)
                ::usleep(1000);
        }
        const ssize_t n = ::write(m_master, reply.constData() + sent, size_t(piece));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return;
        }
        sent += n;
    }
}
