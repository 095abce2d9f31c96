// Benchmark, not a test: how long the USB tab takes to discover and read N virtual controllers
// over a pseudo-terminal, paced and fast, without and with a USB adapter's latency timer. For both
// it also prints the time their pacing alone prescribes for the same run (Timer1 intervals that ran
// out, the response gaps of a fast search, the waits after un-mute, 1 ms per line break). Run by
// scripts/bench-rdm.
//
//   bench_usb_search [N ...]     (default 1 10 32 100)
//
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
// latency), or the fast search of 32 controllers misses its targets.

#include "sim/rdm/rdm_line_sim.h"
#include "rdm/quorix_link.h"
#include "rdm/serial_line.h"
#include "rdm/usb_tab.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <algorithm>
#include <cstdio>

namespace {

struct Adapter {
    const char *name;
    int latencyMs;
    int loweredMs; // 0: its latency cannot be lowered
};
constexpr Adapter Adapters[] = {{"0 ms", 0, 0}, {"1 ms", 1, 0}, {"16 ms", 16, 0}, {"16>1 ms", 16, 1}};
constexpr double PacedOverheadLimit = 1.1;
constexpr int TargetN = 32;
// 32 controllers: 1.5 s without latency, 2 s on an adapter whose latency can be lowered.
qint64 fastTargetMs(const Adapter &a)
{
    return a.latencyMs == 0 ? 1500 : a.loweredMs > 0 ? 2000 : 5000;
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
    QList<int> sizes{1, 10, TargetN, 100};
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i)
            sizes << QByteArray(argv[i]).toInt();
    }

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
            if (n == TargetN && fast.ms > fastTargetMs(adapter))
                notes << QStringLiteral("fast above %1 ms!").arg(fastTargetMs(adapter));
            if (adapter.loweredMs > 0 && !fast.lowered)
                notes << QStringLiteral("latency not lowered!");
            std::printf("%4d %8s | %9lld %13lld %6.3f | %8lld %13lld %7.1fx %8lld %7.2fx %7d %5d %23s | %s%s%s\n", n,
                        adapter.name, static_cast<long long>(paced.ms), static_cast<long long>(paced.prescribedMs),
                        ratio, static_cast<long long>(fast.ms), static_cast<long long>(fast.prescribedMs),
                        double(paced.ms) / double(qMax<qint64>(1, fast.ms)), static_cast<long long>(lineMs),
                        double(fast.ms) / double(qMax<qint64>(1, lineMs)), fast.learntWaitMs, fast.lateReplies,
                        qPrintable(roundTripText(fast.roundTripsUs)), same ? "yes" : "NO",
                        notes.isEmpty() ? "" : "  ", qPrintable(notes.join(QLatin1Char(' '))));
            std::fflush(stdout);
            allWithin = allWithin && same && notes.isEmpty();
        }
    }
    return allWithin ? 0 : 1;
}
