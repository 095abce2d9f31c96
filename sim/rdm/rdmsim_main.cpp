// glw-rdmsim: a line of virtual Quorix controllers behind a pseudo-terminal, for demos and for
// trying the USB tab without hardware.
//
//   glw-rdmsim [--count N] [--first-id HEX] [--step HEX] [--split] [--latency MS] [--gap-ms MS]
//              [--drop-mute N] [--nak-block K] [--silent-bootloader] [--misbehave NAME]...
//
// The n-th --misbehave makes the n-th controller misbehave: never-mutes, bad-checksum, same-uid,
// late, cut-short, phantoms, ignores-nickname or silent-after-set.
//
// Prints the slave side's path (open it as the COM port), then serves until SIGINT or SIGTERM.

#include "sim/rdm/rdm_line_sim.h"

#include <QCoreApplication>
#include <QCommandLineParser>
#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Virtual DMX (RDM) pixel controllers on a pseudo-terminal"));
    cli.addHelpOption();
    cli.addOptions({
        {QStringLiteral("count"), QStringLiteral("Number of controllers."), QStringLiteral("n"), QStringLiteral("3")},
        {QStringLiteral("first-id"), QStringLiteral("Device ID of the first (hex)."), QStringLiteral("id"),
         QStringLiteral("00001000")},
        {QStringLiteral("step"), QStringLiteral("Distance between device IDs (hex)."), QStringLiteral("step"),
         QStringLiteral("1")},
        {QStringLiteral("split"), QStringLiteral("Hand replies over in small pieces.")},
        {QStringLiteral("latency"), QStringLiteral("A USB adapter's latency timer: replies come in pieces up to ms apart."),
         QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("gap-ms"), QStringLiteral("Hand replies over in two halves this many ms apart."),
         QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("nak-block"), QStringLiteral("Bootloaders refuse the k-th firmware block they get (once)."),
         QStringLiteral("k"), QStringLiteral("0")},
        {QStringLiteral("silent-bootloader"), QStringLiteral("Bootloaders answer the connect key but no block.")},
        {QStringLiteral("drop-mute"), QStringLiteral("Swallow the first mute acknowledgement of every n-th controller."),
         QStringLiteral("n"), QStringLiteral("0")},
        {QStringLiteral("misbehave"),
         QStringLiteral("The n-th of these makes the n-th controller misbehave: %1.")
             .arg(misbehaviourNames().join(QStringLiteral(", "))),
         QStringLiteral("name")},
    });
    cli.process(app);

    bool countOk = false, firstOk = false, stepOk = false, latencyOk = false;
    const int count = cli.value(QStringLiteral("count")).toInt(&countOk);
    const quint32 first = cli.value(QStringLiteral("first-id")).toUInt(&firstOk, 16);
    const quint32 step = cli.value(QStringLiteral("step")).toUInt(&stepOk, 16);
    const int dropEvery = cli.value(QStringLiteral("drop-mute")).toInt();
    const int latency = cli.value(QStringLiteral("latency")).toInt(&latencyOk);
    if (!countOk || !firstOk || !stepOk || !latencyOk || count < 0 || latency < 0) {
        std::fprintf(stderr, "bad --count, --first-id, --step or --latency\n");
        return 2;
    }
    QList<VirtualQuorix> controllers;
    for (int i = 0; i < count; ++i) {
        VirtualQuorix v = makeVirtualQuorix(first + quint32(i) * step, i);
        if (dropEvery > 0 && i % dropEvery == 0)
            v.dropMuteReplies = 1;
        v.bootloader.options.nakBlock = cli.value(QStringLiteral("nak-block")).toInt();
        v.bootloader.options.silent = cli.isSet(QStringLiteral("silent-bootloader"));
        controllers.append(v);
    }
    const QStringList misbehaviours = cli.values(QStringLiteral("misbehave"));
    for (qsizetype i = 0; i < misbehaviours.size(); ++i) {
        const std::optional<Misbehaviour> how = misbehaviourNamed(misbehaviours[i]);
        if (!how || i >= controllers.size()) {
            std::fprintf(stderr, "bad --misbehave %s: one of %s, at most one per controller\n",
                         qPrintable(misbehaviours[i]), qPrintable(misbehaviourNames().join(QStringLiteral(", "))));
            return 2;
        }
        misbehave(controllers, i, *how);
    }

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RdmLineSim sim(controllers);
    sim.setSplitReplies(cli.isSet(QStringLiteral("split")));
    sim.setLatencyMs(latency);
    sim.setReplyGapMs(cli.value(QStringLiteral("gap-ms")).toInt());
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(sim.slavePath()));
    std::fflush(stdout);
    int sig = 0;
    sigwait(&stopSignals, &sig);
    sim.stop();
    return 0;
}
