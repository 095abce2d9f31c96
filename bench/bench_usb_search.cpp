// Benchmark, not a test: how long the USB tab takes to discover and read N virtual controllers
// over a pseudo-terminal, paced and fast, without and with a USB adapter's latency timer. For both
// it also prints the time their pacing alone prescribes for the same run (Timer1 intervals that ran
// out, the response gaps of a fast search, the waits after un-mute, 1 ms per line break). Run by
// scripts/bench-rdm.
//
//   bench_usb_search [--awake] [N ...]     (default 1 10 32 100)
//
// --awake keeps every processor busy with a thread of the lowest priority there is, which gives way
// at once to any other. On a virtual machine a processor with nothing to do halts, and waking it
// for a thread made ready on another one can take milliseconds (seen here: a ready thread left
// waiting 5.6 ms beside an idle processor). Both ends of the virtual line wake that way many times
// per message, so the round trips spread out far more than a real adapter's; a machine whose idle
// processors wake at once is what the rows then show.
//
// First it prints what the machine itself adds to a round trip over a pseudo-terminal, without Qt
// or any of the program's code (bareRoundTripsUs): the search's round trips spread at least as much.
// The adapters: none holding replies, a latency timer of 1 ms and of 16 ms, and one of 16 ms that
// drops to 1 ms when the port asks for low latency (as the program does when it opens a port).
// Beside each fast row: the line time of the frames the fast search sent and got back (break
// 176 µs, mark-after-break 12 µs, 44 µs a byte, a responder's 176 µs turnaround, the 176 µs a
// controller leaves the line after a response or a broadcast, the 2.8 ms after which a response
// counts as lost), and the fast search's ratio to it; then the wait for a discovery reply it had
// learnt by its end, how many replies came after a learnt wait had given them up, and the
// distribution of the round trips it learnt from (from before a request's write to the first byte back).
//
// Exits non-zero when a search misses a controller, the fast search sends other messages or reads
// other values than the paced one, the paced search takes 1.1 times its pacing or more (without
// latency), or the fast search misses its targets (32 and 100 controllers, see fastTargetMs).

#include "sim/rdm/rdm_line_sim.h"
#include "rdm/quorix_link.h"
#include "rdm/serial_line.h"
#include "rdm/usb_tab.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cstdio>
#include <memory>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace {

struct Adapter {
    const char *name;
    int latencyMs;
    int loweredMs; // 0: its latency cannot be lowered
};
constexpr Adapter Adapters[] = {{"0 ms", 0, 0}, {"1 ms", 1, 0}, {"16 ms", 16, 0}, {"16>1 ms", 16, 1}};
constexpr double PacedOverheadLimit = 1.1;
// The fast search's targets: 32 controllers in 1.5 s without latency and 2 s on an adapter
// whose latency can be lowered (5 s on one whose latency cannot), 100 in 4.5 s without latency.
// 0: no target.
qint64 fastTargetMs(int n, const Adapter &a)
{
    if (n == 32)
        return a.latencyMs == 0 ? 1500 : a.loweredMs > 0 ? 2000 : 5000;
    if (n == 100 && a.latencyMs == 0)
        return 4500;
    return 0;
}

struct Run {
    bool ended = false;
    qint64 ms = 0;
    qint64 prescribedMs = 0;
    QList<TQuorixCtrl> records;
    QList<QByteArray> messages;
    QList<qsizetype> replySizes;
    bool allFound = false;
    bool lowered = false;
    int learntWaitMs = 0; // the fast search's wait for a discovery reply at its end
    int lateReplies = 0;
    QList<qint32> roundTripsUs; // of the discovery requests answered
};

// The distribution of the fast search's discovery round trips: median, 90th and 99th percentile
// and the longest, µs.
QString roundTripText(QList<qint32> us)
{
    if (us.isEmpty())
        return QStringLiteral("-");
    std::sort(us.begin(), us.end());
    const auto at = [&us](double q) { return us[qMin<qsizetype>(us.size() - 1, qsizetype(q * double(us.size())))]; };
    return QStringLiteral("%1/%2/%3/%4").arg(at(0.5)).arg(at(0.9)).arg(at(0.99)).arg(us.last());
}

// The line time of the messages and their replies (see the top of the file), µs.
qint64 lineTimeUs(const QList<QByteArray> &messages, const QList<qsizetype> &replySizes)
{
    constexpr qint64 Break = 176, Mab = 12, Byte = 44, Turnaround = 176, Gap = 176, Lost = 2800;
    qint64 us = 0;
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const QByteArray &m = messages[i];
        const qsizetype reply = replySizes.value(i);
        const quint16 pid = m.size() > 22 ? quint16(quint8(m[21]) << 8 | quint8(m[22])) : 0;
        const bool broadcast = m.size() > 8 && m.mid(3, 6) == QByteArray(6, char(0xFF));
        us += Break + Mab + Byte * m.size();
        if (reply > 0) // a discovery reply comes without a break
            us += Turnaround + (pid == rdm::PID_DISC_UNIQUE_BRANCH ? 0 : Break + Mab) + Byte * reply + Gap;
        else
            us += broadcast && pid != rdm::PID_DISC_UNIQUE_BRANCH ? Gap : Lost;
    }
    return us;
}

Run search(const QList<VirtualQuorix> &line, const Adapter &adapter, bool fast)
{
    Run run;
    RdmLineSim sim(line);
    sim.setLatencyMs(adapter.latencyMs);
    sim.setLoweredLatencyMs(adapter.loweredMs);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "pty: %s\n", qPrintable(error));
        return run;
    }
    // A pseudo-terminal has no low-latency flag: the virtual adapter takes the request instead.
    auto *io = new rdm::QtSerialPortIo;
    io->setLowLatencyFlag({[&sim](qintptr) -> std::optional<bool> {
                               if (!sim.latencyLowerable())
                                   return std::nullopt;
                               return sim.latencyLowered();
                           },
                           [&sim, &run](qintptr, bool on) {
                               run.lowered = run.lowered || on;
                               return sim.lowerLatency(on);
                           }});
    QuorixLink link(io);
    UsbTab tab(&link);
    tab.setPortName(sim.slavePath());
    tab.Link->Session.fastSearch = fast;
    QSignalSpy ended(&tab, &UsbTab::searchEnded);
    QElapsedTimer clock;
    clock.start();
    tab.USB_SearchClick();
    run.ended = !ended.isEmpty() || ended.wait(900000);
    run.ms = clock.elapsed();
    run.prescribedMs = tab.Link->pacing().prescribedMs();
    run.learntWaitMs = tab.Link->Session.learntWaitMs();
    run.lateReplies = tab.Link->Session.lateReplies();
    run.roundTripsUs = tab.Link->Session.roundTripsUs();
    run.records = tab.Link->VControllers;
    run.messages = sim.messages();
    run.replySizes = sim.replySizes();
    const QList<VirtualQuorix> after = sim.controllers();
    run.allFound = run.records.size() == after.size();
    for (const VirtualQuorix &v : after)
        run.allFound = run.allFound && run.records.contains(v.rec);
    return run;
}

// A message as the walk sees it: a discovery request by its range, any other by parameter and
// destination.
QString messageText(const QByteArray &m)
{
    if (m.size() < 24)
        return QStringLiteral("%1 bytes").arg(m.size());
    const quint16 pid = quint16(quint8(m[21]) << 8 | quint8(m[22]));
    const auto be32 = [&m](int at) {
        return quint32(quint8(m[at])) << 24 | quint32(quint8(m[at + 1])) << 16 | quint32(quint8(m[at + 2])) << 8
               | quint32(quint8(m[at + 3]));
    };
    if (pid == rdm::PID_DISC_UNIQUE_BRANCH && m.size() >= 36)
        return QStringLiteral("branch %1-%2").arg(be32(26), 8, 16, QLatin1Char('0')).arg(be32(32), 8, 16, QLatin1Char('0'));
    return QStringLiteral("pid 0x%1 to %2").arg(pid, 4, 16, QLatin1Char('0')).arg(QString::fromLatin1(m.mid(3, 6).toHex()));
}

// Where the fast search's messages first part from the paced search's, for the reader of a row
// that says they differ.
QString firstDifference(const QList<QByteArray> &paced, const QList<QByteArray> &fast)
{
    const qsizetype n = qMin(paced.size(), fast.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (paced[i] != fast[i])
            return QStringLiteral("message %1 of %2/%3: paced %4, fast %5")
                .arg(i)
                .arg(paced.size())
                .arg(fast.size())
                .arg(messageText(paced[i]), messageText(fast[i]));
    }
    return paced.size() == fast.size() ? QStringLiteral("same messages, other values")
                                       : QStringLiteral("one ends after message %1 of %2/%3").arg(n).arg(paced.size()).arg(fast.size());
}

// Threads that keep the processors from halting while they live (see --awake above).
class AwakeProcessors {
public:
    AwakeProcessors()
    {
        const unsigned n = qMax(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < n; ++i)
            m_threads.emplace_back([this] {
#ifdef SCHED_IDLE
                sched_param param{};
                ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &param);
#endif
                while (!m_stop.load(std::memory_order_relaxed)) {
                }
            });
    }
    ~AwakeProcessors()
    {
        m_stop = true;
        for (std::thread &t : m_threads)
            t.join();
    }
    AwakeProcessors(const AwakeProcessors &) = delete;
    AwakeProcessors &operator=(const AwakeProcessors &) = delete;
    qsizetype size() const { return qsizetype(m_threads.size()); }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// The machine's own share of a round trip over a pseudo-terminal: a bare thread on the master side
// answers every 24 bytes with 24 bytes exactly 3 ms after it read them, and the time from writing
// on the slave side to the first byte back, less those 3 ms, is what the system took to carry the
// bytes both ways and wake both threads. No Qt and no program code run in it; a search's round
// trips cannot spread less than these. µs, one per round trip; empty if no pty could be had.
QList<qint32> bareRoundTripsUs(int count)
{
    using Clock = std::chrono::steady_clock;
    constexpr int Size = 24;
    constexpr auto Turn = std::chrono::milliseconds(3);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0)
            ::close(master);
        return {};
    }
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        ::close(master);
        return {};
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    const auto readAll = [](int fd, int n) {
        char buf[Size];
        for (int got = 0; got < n;) {
            const ssize_t r = ::read(fd, buf, size_t(n - got));
            if (r <= 0)
                return false;
            got += int(r);
        }
        return true;
    };
    std::thread echo([&] {
        const char bytes[Size] = {};
        for (int i = 0; i < count && readAll(master, Size); ++i) {
            std::this_thread::sleep_until(Clock::now() + Turn);
            if (::write(master, bytes, Size) != Size)
                return;
        }
    });
    QList<qint32> us;
    const char bytes[Size] = {};
    for (int i = 0; i < count; ++i) {
        const Clock::time_point sent = Clock::now();
        if (::write(slave, bytes, Size) != Size)
            break;
        char first;
        if (::read(slave, &first, 1) != 1)
            break;
        us << qint32(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent - Turn).count());
        if (!readAll(slave, Size - 1))
            break;
    }
    ::close(slave); // ends the echo thread's read if the loop above broke off
    echo.join();
    ::close(master);
    return us;
}

QList<VirtualQuorix> randomLine(int n, QRandomGenerator &rng)
{
    QList<VirtualQuorix> line;
    QSet<quint32> taken;
    while (line.size() < n) {
        const quint32 id = rng.generate();
        if (!taken.contains(id)) {
            taken.insert(id);
            line << makeVirtualQuorix(id, int(line.size()));
        }
    }
    return line;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> sizes{1, 10, 32, 100};
    bool awake = false;
    QList<int> given;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--awake")
            awake = true;
        else
            given << QByteArray(argv[i]).toInt();
    }
    if (!given.isEmpty())
        sizes = given;
    std::unique_ptr<AwakeProcessors> keepAwake;
    if (awake) {
        keepAwake = std::make_unique<AwakeProcessors>();
        std::printf("processors kept awake by %lld threads of the lowest priority\n",
                    static_cast<long long>(keepAwake->size()));
    }

    std::printf("this machine's own share of a pty round trip (bare threads, 1000 times), µs p50/90/99/max: %s\n",
                qPrintable(roundTripText(bareRoundTripsUs(1000))));
    std::printf("%4s %8s | %9s %13s %6s | %8s %13s %8s %8s %8s %7s %5s %23s | %s\n", "N", "latency", "paced ms",
                "prescribed ms", "ratio", "fast ms", "prescribed ms", "speed-up", "line ms", "to line",
                "wait ms", "late", "round trip p50/90/99/max", "fast = paced");
    bool allWithin = true;
    QRandomGenerator rng(4711);
    for (int n : sizes) {
        const QList<VirtualQuorix> line = randomLine(n, rng);
        for (const Adapter &adapter : Adapters) {
            const int latency = adapter.latencyMs;
            const Run paced = search(line, adapter, false);
            const Run fast = search(line, adapter, true);
            if (!paced.ended || !fast.ended) {
                std::fprintf(stderr, "N=%d latency %s: a search did not end\n", n, adapter.name);
                return 1;
            }
            const qint64 lineMs = (lineTimeUs(fast.messages, fast.replySizes) + 999) / 1000;
            const double ratio = double(paced.ms) / double(qMax<qint64>(1, paced.prescribedMs));
            const bool same = paced.records == fast.records && paced.messages == fast.messages;
            QStringList notes;
            if (!paced.allFound || !fast.allFound)
                notes << QStringLiteral("not all found!");
            if (latency == 0 && ratio >= PacedOverheadLimit)
                notes << QStringLiteral("paced overhead!");
            if (const qint64 target = fastTargetMs(n, adapter); target > 0 && fast.ms > target)
                notes << QStringLiteral("fast above %1 ms!").arg(target);
            if (adapter.loweredMs > 0 && !fast.lowered)
                notes << QStringLiteral("latency not lowered!");
            std::printf("%4d %8s | %9lld %13lld %6.3f | %8lld %13lld %7.1fx %8lld %7.2fx %7d %5d %23s | %s%s%s\n", n,
                        adapter.name, static_cast<long long>(paced.ms), static_cast<long long>(paced.prescribedMs),
                        ratio, static_cast<long long>(fast.ms), static_cast<long long>(fast.prescribedMs),
                        double(paced.ms) / double(qMax<qint64>(1, fast.ms)), static_cast<long long>(lineMs),
                        double(fast.ms) / double(qMax<qint64>(1, lineMs)), fast.learntWaitMs, fast.lateReplies,
                        qPrintable(roundTripText(fast.roundTripsUs)), same ? "yes" : "NO",
                        notes.isEmpty() ? "" : "  ", qPrintable(notes.join(QLatin1Char(' '))));
            if (!same)
                std::printf("      fast != paced: %s\n", qPrintable(firstDifference(paced.messages, fast.messages)));
            std::fflush(stdout);
            allWithin = allWithin && same && notes.isEmpty();
        }
    }
    return allWithin ? 0 : 1;
}
