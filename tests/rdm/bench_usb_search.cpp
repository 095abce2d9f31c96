// Benchmark, not a test: how long the USB tab takes to discover and read N virtual controllers
// over a pseudo-terminal, beside the time its pacing alone prescribes for the same run (Timer1
// intervals that ran out, the waits after un-mute, 1 ms per line break). Run by scripts/bench-rdm.

#include "bench_args.h"
#include "rdm_line_sim.h"
#include "usb_tab.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>

int main(int argc, char *argv[])
{
    benchPlatform();
    QApplication app(argc, argv);
    const QList<int> sizes = benchSizes(argc, argv, {1, 10, 32});

    std::printf("%4s %9s %8s %8s %12s %14s %7s\n", "N", "messages", "20ms-to", "100ms-to", "measured ms",
                "prescribed ms", "ratio");
    bool allWithin = true;
    QRandomGenerator rng(4711);
    for (int n : sizes) {
        QList<VirtualQuorix> line;
        while (line.size() < n) {
            const quint32 id = rng.generate();
            bool taken = false;
            for (const VirtualQuorix &v : line)
                taken = taken || v.rec.deviceId() == id;
            if (!taken)
                line << makeVirtualQuorix(id, int(line.size()));
        }
        RdmLineSim sim(line);
        QString error;
        if (!sim.start(&error)) {
            std::fprintf(stderr, "pty: %s\n", qPrintable(error));
            return 1;
        }
        UsbTab tab;
        tab.setPortName(sim.slavePath());
        QSignalSpy ended(&tab, &UsbTab::searchEnded);
        QElapsedTimer clock;
        clock.start();
        tab.USB_SearchClick();
        if (ended.isEmpty() && !ended.wait(600000)) {
            std::fprintf(stderr, "N=%d: search did not end\n", n);
            return 1;
        }
        const qint64 measured = clock.elapsed();
        const auto &p = tab.Session.pacing;
        const qint64 prescribed = p.prescribedMs();
        const double ratio = double(measured) / double(prescribed);
        std::printf("%4d %9d %8d %8d %12lld %14lld %7.3f%s\n", n, p.messages, p.discoveryTicks, p.parameterTicks,
                    static_cast<long long>(measured), static_cast<long long>(prescribed), ratio,
                    tab.VControllers.size() == n ? "" : "  (not all found!)");
        allWithin = allWithin && ratio < 1.1 && tab.VControllers.size() == n;
    }
    return allWithin ? 0 : 1;
}
