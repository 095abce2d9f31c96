// Benchmark, not a test: the serial firmware update's time per block over a pseudo-terminal,
// beside what the line itself takes (133 bytes at 19200 baud, about 69 ms, simulated by the
// virtual bootloader) plus the 30 ms pause after each block. Run by scripts/bench-firmware.

#include "bench_args.h"
#include "sim/rdm/rdm_line_sim.h"
#include "rdm/serial_bootloader.h"
#include "rdm/usb_tab.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <cstdio>

int main(int argc, char *argv[])
{
    benchPlatform();
    QApplication app(argc, argv);
    const QList<int> sizes = benchSizes(argc, argv, {16, 64, 256});
    constexpr int Baud = 19200;
    const double wireMs = rdm::boot::BLOCK_SIZE * 10 * 1000.0 / Baud;
    const double prescribedMs = wireMs + rdm::boot::BootloaderExchange::BlockPauseMs;

    std::printf("%7s %12s %13s %15s %7s\n", "blocks", "measured ms", "per block ms", "prescribed ms", "ratio");
    bool allWithin = true;
    for (int blocks : sizes) {
        RdmLineSim sim({makeVirtualQuorix(0x1234, 0)});
        sim.setBootloaderBaud(Baud);
        QString error;
        if (!sim.start(&error)) {
            std::fprintf(stderr, "pty: %s\n", qPrintable(error));
            return 1;
        }
        UsbTab tab;
        tab.setPortName(sim.slavePath());
        tab.Link->VControllers.append(makeVirtualQuorix(0x1234, 0).rec);
        QByteArray image(blocks * rdm::boot::BLOCK_DATA, '\0');
        for (qsizetype i = 0; i < image.size(); ++i)
            image[i] = char(i * 13);

        QSignalSpy finished(tab.Link, &QuorixLink::firmwareFinished);
        QSignalSpy progress(tab.Link, &QuorixLink::firmwareProgress);
        const Result<> started = tab.Link->startFirmwareUpdate(0, image);
        if (!started) {
            std::fprintf(stderr, "%s\n", qPrintable(started.failure().text));
            return 1;
        }
        // From the first accepted block on: the handshake waits for the controller to restart.
        if (!progress.wait(5000) || (progress.size() < 2 && !progress.wait(5000))) {
            std::fprintf(stderr, "no block was accepted\n");
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        if (finished.isEmpty() && !finished.wait(blocks * 1000 + 5000)) {
            std::fprintf(stderr, "%d blocks: the transfer did not end\n", blocks);
            return 1;
        }
        const qint64 measured = clock.elapsed();
        const bool complete = tab.Link->bootloader().state() == rdm::boot::BootloaderExchange::State::Complete
            && sim.controllers().first().firmware == image;
        // The clock started after the first block was accepted.
        const double perBlock = blocks > 1 ? double(measured) / (blocks - 1) : 0;
        const double ratio = perBlock / prescribedMs;
        std::printf("%7d %12lld %13.1f %15.1f %7.3f%s\n", blocks, static_cast<long long>(measured), perBlock,
                    prescribedMs, ratio, complete ? "" : "  (image not stored!)");
        allWithin = allWithin && complete && ratio <= 1.1;
    }
    return allWithin ? 0 : 1;
}
