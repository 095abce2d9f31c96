// Benchmark: one Search answered by a burst of N virtual controllers. Prints how many were listed
// and the time from Search to the last row. Run by scripts/bench-discovery inside its namespaces.

#include "app/form1.h"
#include "net/network_link.h"
#include "app/glw_application.h"
#include "net/network_tab.h"
#include "net/udp_port.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

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
    QObject::connect(net, &NetworkTab::countChanged, [&](int rows) {
        if (rows > 0)
            lastRowMs = clock.elapsed();
    });
    QTimer::singleShot(200, [&] {
        std::printf("adapter %s, receive buffer %d bytes in each of %d sockets\n",
                    qPrintable(net->link().udpPort()->localAddress().toString()), net->link().udpPort()->receiveBufferSize(),
                    net->link().udpPort()->unicastSockets());
        clock.start();
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
    return net->rowCount() == expected ? 0 : 1;
}
