// glw-netsim: virtual Ethernet controllers for tests and demos.
//
//   glw-netsim --file controllers.txt
//   glw-netsim --count 1000 --first-ip 10.77.1.10 [--mask 255.255.0.0] [--model "Tessara 4"]
//   [--firmware-dir DIR]   store each uploaded firmware image as DIR/<address>.hex
//   [--print-config]       print each configuration datagram taken as "config <address> <hex>"
//   [--reply-to sender|broadcast|subnet]   answer discovery to its sender (the default), to
//                          255.255.255.255, or to each controller's subnet broadcast address
//   glw-netsim --search-from ADDR   sends one discovery request from ADDR to 255.255.255.255, as
//                          another PC on the LAN searching would, and ends
//
// Every controller's address must be assigned to an interface of the host (or namespace) it runs
// in. Prints "ready N" once all sockets are bound, one line per answered discovery ("answered N in
// T ms", the time its replies took to send), and one line per
// bootloader event: "bootloader <address>" (or "bootloader <address> failed: <why>"),
// "uploaded <address> <bytes> <firmware>", "refused <address>: <why>"; and one line per settings
// datagram taken: "configured <address>", "readdressed <address>" (the address it now has) or
// "readdressed <address> failed: <why>" (the address it stays at).

#include "sim/net_sim.h"
#include "net/orvantic.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <QUdpSocket>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2];

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] auto r = ::write(g_signalPipe[1], &c, 1);
}

void raiseFileLimit()
{
    // One socket per controller: a thousand controllers need more than the usual 1024 descriptors.
    rlimit lim{};
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < lim.rlim_max) {
        lim.rlim_cur = lim.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &lim);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Virtual Ethernet pixel controllers"));
    cli.addHelpOption();
    cli.addOptions({
        {QStringLiteral("file"), QStringLiteral("Controller file."), QStringLiteral("path")},
        {QStringLiteral("count"), QStringLiteral("Generate this many controllers."), QStringLiteral("n")},
        {QStringLiteral("first-ip"), QStringLiteral("Address of the first generated one."), QStringLiteral("ip"),
         QStringLiteral("10.77.1.10")},
        {QStringLiteral("mask"), QStringLiteral("Subnet mask of generated ones."), QStringLiteral("mask"),
         QStringLiteral("255.255.0.0")},
        {QStringLiteral("model"), QStringLiteral("Model of generated ones."), QStringLiteral("model"),
         QStringLiteral("Tessara 16")},
        {QStringLiteral("port"), QStringLiteral("UDP port."), QStringLiteral("port"), QString::number(net::orvantic::Port)},
        {QStringLiteral("noise"), QStringLiteral("Send datagrams a PC must ignore before the replies.")},
        {QStringLiteral("firmware-dir"), QStringLiteral("Store uploaded firmware images here."), QStringLiteral("dir")},
        {QStringLiteral("print-config"), QStringLiteral("Print each configuration datagram taken, in hex.")},
        {QStringLiteral("reply-to"), QStringLiteral("sender, broadcast or subnet."), QStringLiteral("to"),
         QStringLiteral("sender")},
        {QStringLiteral("search-from"), QStringLiteral("Send one discovery request from this address and end."),
         QStringLiteral("ip")},
    });
    cli.process(app);
    const quint16 port = quint16(cli.value(QStringLiteral("port")).toUInt());

    if (cli.isSet(QStringLiteral("search-from"))) {
        QUdpSocket pc;
        const QHostAddress from(cli.value(QStringLiteral("search-from")));
        if (!pc.bind(from, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
            std::fprintf(stderr, "cannot bind %s: %s\n", qPrintable(from.toString()), qPrintable(pc.errorString()));
            return 1;
        }
        const QByteArray request = net::orvantic::discoveryRequest();
        if (pc.writeDatagram(request, QHostAddress(QHostAddress::Broadcast), port) != request.size()) {
            std::fprintf(stderr, "cannot send: %s\n", qPrintable(pc.errorString()));
            return 1;
        }
        return 0;
    }

    const QMap<QString, NetSim::ReplyTo> replyModes = {{QStringLiteral("sender"), NetSim::ReplyTo::Sender},
                                                      {QStringLiteral("broadcast"), NetSim::ReplyTo::LimitedBroadcast},
                                                      {QStringLiteral("subnet"), NetSim::ReplyTo::SubnetBroadcast}};
    const QString replyTo = cli.value(QStringLiteral("reply-to"));
    if (!replyModes.contains(replyTo)) {
        std::fprintf(stderr, "--reply-to: sender, broadcast or subnet, not %s\n", qPrintable(replyTo));
        return 2;
    }

    QList<VirtualController> controllers;
    if (cli.isSet(QStringLiteral("file"))) {
        QFile f(cli.value(QStringLiteral("file")));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(f.fileName()));
            return 2;
        }
        QString error;
        auto parsed = parseControllerFile(QString::fromUtf8(f.readAll()), &error);
        if (!parsed) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(f.fileName()), qPrintable(error));
            return 2;
        }
        controllers = *parsed;
    }
    if (cli.isSet(QStringLiteral("count")))
        controllers += generateControllers(cli.value(QStringLiteral("count")).toInt(),
                                     cli.value(QStringLiteral("first-ip")), cli.value(QStringLiteral("mask")),
                                     cli.value(QStringLiteral("model")));
    if (controllers.isEmpty()) {
        std::fprintf(stderr, "no controllers: give --file or --count\n");
        return 2;
    }

    raiseFileLimit();
    NetSim sim(controllers);
    sim.setNoise(cli.isSet(QStringLiteral("noise")));
    sim.setReplyTo(replyModes.value(replyTo));
    sim.setFirmwareDir(cli.value(QStringLiteral("firmware-dir")));
    auto address = [&sim](int index) { return net::tessara::ipText(sim.controllers()[index].ctrl.CurrentIP); };
    // "<event> <address>", or "<event> <address> failed: <why>".
    auto report = [address](const char *event, int index, const QString &error) {
        if (error.isEmpty())
            std::printf("%s %s\n", event, qPrintable(address(index)));
        else
            std::printf("%s %s failed: %s\n", event, qPrintable(address(index)), qPrintable(error));
        std::fflush(stdout);
    };
    QObject::connect(&sim, &NetSim::bootloaderStarted,
                     [report](int index, const QString &error) { report("bootloader", index, error); });
    QObject::connect(&sim, &NetSim::firmwareUploaded, [address](int index, qint64 bytes, const QString &firmware) {
        std::printf("uploaded %s %lld %s\n", qPrintable(address(index)), static_cast<long long>(bytes),
                    qPrintable(firmware));
        std::fflush(stdout);
    });
    QObject::connect(&sim, &NetSim::uploadRefused, [address](int index, const QString &why) {
        std::printf("refused %s: %s\n", qPrintable(address(index)), qPrintable(why));
        std::fflush(stdout);
    });
    const bool printConfig = cli.isSet(QStringLiteral("print-config"));
    QObject::connect(&sim, &NetSim::configured, [address, printConfig](int index, const QByteArray &datagram) {
        if (printConfig)
            std::printf("config %s %s\n", qPrintable(address(index)), datagram.toHex().constData());
        std::printf("configured %s\n", qPrintable(address(index)));
        std::fflush(stdout);
    });
    QObject::connect(&sim, &NetSim::readdressed,
                     [report](int index, const QString &error) { report("readdressed", index, error); });
    QString error;
    if (!sim.start(port, &error)) {
        std::fprintf(stderr, "cannot bind %s\n", qPrintable(error));
        return 1;
    }

    // End cleanly on SIGTERM/SIGINT.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
    }

    QObject::connect(&sim, &NetSim::discoveryAnswered, [](int n, qint64 sendNs) {
        std::printf("answered %d in %.1f ms\n", n, double(sendNs) / 1e6);
        std::fflush(stdout);
    });
    std::printf("ready %lld\n", static_cast<long long>(controllers.size()));
    std::fflush(stdout);
    return app.exec();
}
