// Benchmark: one Search answered by a burst of N virtual controllers. Prints how many were listed,
// the time from Search to the last row, and what listing cost per row: the window thread's CPU time
// from Search to the 1000th and to the last row, divided by those rows, and for each thousand rows
// on its own. Listing that grows linearly costs the same per row however long the list is already
// (a ratio near 1); a check that scanned the whole list for each reply would make the ratio grow
// with N. CPU time rather than wall time: the window waits for replies that are still on their way,
// which says nothing about listing.
//
// The window thread also runs what has nothing to do with listing, and a busy machine makes that
// vary, so the same number of replies is then handed to the link once more without the network,
// a hundred at a time with the window's events run between (it paints and lays out as it does
// for replies from the network): what that costs per row is the listing alone.
// Run by scripts/bench-discovery inside its namespaces.

#include "app/form1.h"
#include "app/glw_application.h"
#include "net/network_link.h"
#include "net/network_tab.h"
#include "net/orvantic.h"
#include "net/udp_port.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// CPU time the calling thread has used.
qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

constexpr int Block = 1000;

void printPerRow(const char *what, qint64 firstNs, int first, qint64 allNs, int all)
{
    const double atFirst = double(firstNs) / first / 1000.0;
    const double atAll = double(allNs) / all / 1000.0;
    std::printf("%s: %.1f us per row at %d replies, %.1f us at %d; ratio %.2f\n", what, atFirst, first, atAll, all,
                atFirst > 0 ? atAll / atFirst : 0.0);
}

// Hands `count` poll replies from distinct addresses straight to the link; returns the window
// thread's CPU time at the `first`th row and at the last.
std::pair<qint64, qint64> listWithoutNetwork(NetworkLink &link, int count, int first)
{
    QList<QByteArray> replies;
    for (int i = 0; i < count; ++i) {
        TTessaraCtrl c;
        c.CurrentIP = {10, 79, quint8(i >> 8), quint8(i)};
        c.Temperature = 215;
        replies << net::orvantic::buildPollReply(c, QStringLiteral("Tessara 16"));
    }
    link.clear();
    QCoreApplication::processEvents();
    const qint64 start = threadCpuNs();
    qint64 atFirst = 0;
    for (int i = 0; i < count; ++i) {
        link.IdUDPServer1UDPRead(replies[i]);
        if (i % 100 == 99 || i == count - 1)
            QCoreApplication::processEvents();
        if (i == first - 1)
            atFirst = threadCpuNs() - start;
    }
    return {atFirst, threadCpuNs() - start};
}

} // namespace

int main(int argc, char *argv[])
{
    GlwApplication app(argc, argv);
    const int expected = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    const int settleMs = 3000; // how long to wait after the last row for stragglers

    TForm1 form(0);
    form.show();
    NetworkTab *net = form.NetworkDevices;
    QElapsedTimer clock;
    qint64 lastRowMs = -1;
    qint64 searchCpuNs = 0;
    // The window thread's CPU time at Search, then at every thousandth row and at the last one.
    std::vector<qint64> cpuAt;
    int lastRow = 0;
    QObject::connect(net, &NetworkTab::countChanged, [&](int rows) {
        if (rows <= 0)
            return;
        lastRowMs = clock.elapsed();
        if (rows % Block == 0 || rows == expected) {
            cpuAt.resize(size_t((rows + Block - 1) / Block) + 1, -1);
            cpuAt[size_t((rows + Block - 1) / Block)] = threadCpuNs() - searchCpuNs;
            lastRow = rows;
        }
    });
    QTimer::singleShot(200, [&] {
        UdpPort *port = net->link().udpPort();
        std::printf("adapter %s, receive buffer %d bytes in each of %d sockets\n",
                    qPrintable(port->localAddress().toString()), port->receiveBufferSize(), port->unicastSockets());
        cpuAt.assign(1, 0);
        clock.start();
        searchCpuNs = threadCpuNs();
        net->Net_Search->click();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (clock.isValid() && clock.elapsed() > (lastRowMs < 0 ? 10000 : lastRowMs + settleMs))
            app.quit();
    });
    poll.start(50);
    app.exec();

    std::printf("listed %d/%d; last row %lld ms after Search\n", net->rowCount(), expected,
                static_cast<long long>(lastRowMs));
    const auto perRowUs = [](qint64 ns, int rows) { return rows > 0 ? double(ns) / rows / 1000.0 : 0.0; };
    const bool allListed = net->rowCount() == expected;
    if (lastRow > 0 && cpuAt.size() > 1 && cpuAt[1] >= 0) {
        printPerRow("window thread CPU", cpuAt[1], qMin(Block, lastRow), cpuAt.back(), lastRow);
        std::printf("each thousand rows on its own, us per row:");
        for (size_t i = 1; i < cpuAt.size(); ++i) {
            const int rows = qMin(int(i) * Block, lastRow) - (int(i) - 1) * Block;
            if (cpuAt[i] >= 0 && cpuAt[i - 1] >= 0)
                std::printf(" %.1f", perRowUs(cpuAt[i] - cpuAt[i - 1], rows));
            else
                std::printf(" ?");
        }
        std::printf("\n");
    }
    if (expected > 0) {
        const int first = qMin(Block, expected);
        const auto [atFirst, atAll] = listWithoutNetwork(net->link(), expected, first);
        printPerRow("listing alone (replies handed to the link)", atFirst, first, atAll, expected);
    }
    return allListed ? 0 : 1;
}
