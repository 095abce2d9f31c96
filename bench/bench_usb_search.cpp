// Benchmark, not a test: how long the USB tab takes to discover and read N virtual controllers
// over a pseudo-terminal, paced and fast, without and with a USB adapter's latency timer. For both
// it also prints the time their pacing alone prescribes for the same run (Timer1 intervals that ran
// out, the response gaps of a fast search, the waits after un-mute, 1 ms per line break). Run by
// scripts/bench-rdm.
//
//   bench_usb_search [N ...]     (default 1 10 32 100)
//
// Exits non-zero when a search misses a controller, the fast search sends other messages or reads
// other values than the paced one, the paced search takes 1.1 times its pacing or more (without
// latency), or the fast search of 32 controllers misses its targets.

#include "sim/rdm/rdm_line_sim.h"
#include "rdm/usb_tab.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <cstdio>

namespace {

constexpr int Latencies[] = {0, 16};
constexpr double PacedOverheadLimit = 1.1;
constexpr int TargetN = 32;
constexpr qint64 FastTargetMs(int latencyMs) { return latencyMs == 0 ? 3000 : 5000; }

struct Run {
    bool ended = false;
    qint64 ms = 0;
    qint64 prescribedMs = 0;
    QList<TQuorixCtrl> records;
    QList<QByteArray> messages;
    bool allFound = false;
};

Run search(const QList<VirtualQuorix> &line, int latencyMs, bool fast)
{
    Run run;
    RdmLineSim sim(line);
    sim.setLatencyMs(latencyMs);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "pty: %s\n", qPrintable(error));
        return run;
    }
    UsbTab tab;
    tab.setPortName(sim.slavePath());
    tab.Link->Session.fastSearch = fast;
    QSignalSpy ended(&tab, &UsbTab::searchEnded);
    QElapsedTimer clock;
    clock.start();
    tab.USB_SearchClick();
    run.ended = !ended.isEmpty() || ended.wait(900000);
    run.ms = clock.elapsed();
    run.prescribedMs = tab.Link->pacing().prescribedMs();
    run.records = tab.VControllers;
    run.messages = sim.messages();
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

    std::printf("%4s %7s | %10s %13s %6s | %10s %13s %8s | %s\n", "N", "latency", "paced ms", "prescribed ms",
                "ratio", "fast ms", "prescribed ms", "speed-up", "fast = paced");
    bool allWithin = true;
    QRandomGenerator rng(4711);
    for (int n : sizes) {
        const QList<VirtualQuorix> line = randomLine(n, rng);
        for (int latency : Latencies) {
            const Run paced = search(line, latency, false);
            const Run fast = search(line, latency, true);
            if (!paced.ended || !fast.ended) {
                std::fprintf(stderr, "N=%d latency %d ms: a search did not end\n", n, latency);
                return 1;
            }
            const double ratio = double(paced.ms) / double(qMax<qint64>(1, paced.prescribedMs));
            const bool same = paced.records == fast.records && paced.messages == fast.messages;
            QStringList notes;
            if (!paced.allFound || !fast.allFound)
                notes << QStringLiteral("not all found!");
            if (latency == 0 && ratio >= PacedOverheadLimit)
                notes << QStringLiteral("paced overhead!");
            if (n == TargetN && fast.ms > FastTargetMs(latency))
                notes << QStringLiteral("fast above %1 ms!").arg(FastTargetMs(latency));
            std::printf("%4d %4d ms | %10lld %13lld %6.3f | %10lld %13lld %7.1fx | %s%s%s\n", n, latency,
                        static_cast<long long>(paced.ms), static_cast<long long>(paced.prescribedMs), ratio,
                        static_cast<long long>(fast.ms), static_cast<long long>(fast.prescribedMs),
                        double(paced.ms) / double(qMax<qint64>(1, fast.ms)),
                        same ? "yes" : "NO", notes.isEmpty() ? "" : "  ", qPrintable(notes.join(QLatin1Char(' '))));
            std::fflush(stdout);
            allWithin = allWithin && same && notes.isEmpty();
        }
    }
    return allWithin ? 0 : 1;
}
