// The serial firmware update's core: CRC, the firmware file reader, XMODEM blocks, and the PC's
// side of the exchange driven against a virtual controller's bootloader with time taken out.

#include "rdm/firmware_hex.h"
#include "hex_fixture.h"
#include "rdm/rdm_session.h"
#include "rdm/serial_bootloader.h"
#include "sim/rdm/virtual_bootloader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace rdm::boot;

namespace {

// The exchange's host: bytes go to a virtual bootloader, its answers come back on the next step;
// the one timer fires when nothing else is pending.
struct BootHost : BootloaderHost {
    VirtualBootloader device;
    BootloaderExchange exchange{*this};
    QByteArray inbound;
    QList<QByteArray> written;
    int armedMs = -1;
    QList<int> percents;
    int finishes = 0;
    int keysUnheard = 0; // the bootloader is not up yet for this many keys

    void writeBytes(const QByteArray &bytes) override
    {
        written << bytes;
        if (keysUnheard > 0 && bytes == QByteArray(1, char(CONNECT_KEY))) {
            --keysUnheard;
            return;
        }
        inbound += device.handle(bytes);
    }
    void armTimer(int ms) override { armedMs = ms; }
    void stopTimer() override { armedMs = -1; }
    void progress(int percent) override { percents << percent; }
    void finished() override { ++finishes; }

    void run(int maxSteps = 100000)
    {
        for (int i = 0; i < maxSteps; ++i) {
            if (!inbound.isEmpty()) {
                const QByteArray bytes = std::exchange(inbound, {});
                exchange.bytesReceived(bytes);
            } else if (armedMs >= 0) {
                armedMs = -1;
                exchange.timerFired();
            } else {
                return;
            }
        }
    }

    QList<QByteArray> blocks() const
    {
        QList<QByteArray> out;
        for (const QByteArray &w : written)
            if (w.size() == BLOCK_SIZE)
                out << w;
        return out;
    }
};

QByteArray padded(const QByteArray &data)
{
    QByteArray image = data;
    image.append(QByteArray((BLOCK_DATA - data.size() % BLOCK_DATA) % BLOCK_DATA, char(FILLER)));
    return image;
}

} // namespace

class TestSerialBootloader : public QObject {
    Q_OBJECT
private slots:
    void crc_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint16>("crc");
        // CRC-16/XMODEM check value and a few more from an independent implementation.
        QTest::newRow("check string") << QByteArray("123456789") << quint16(0x31C3);
        QTest::newRow("one byte") << QByteArray("A") << quint16(0x58E5);
        QTest::newRow("128 x FF") << QByteArray(128, char(0xFF)) << quint16(0xEDA9);
        QByteArray ramp(128, '\0');
        for (int i = 0; i < 128; ++i)
            ramp[i] = char(i);
        QTest::newRow("0 to 127") << ramp << quint16(0xE80A);
        QTest::newRow("nothing") << QByteArray() << quint16(0);
    }
    void crc()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(quint16, crc);
        QCOMPARE(crc16(bytes), crc);
    }

    void hexReader_data()
    {
        using namespace hexfixture;
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("image"); // expected image; unused when an error is expected
        QTest::addColumn<QString>("error");    // a word the error must contain; empty: no error

        const QByteArray eight = pattern(128), nine = pattern(144);
        QTest::newRow("8 data lines") << file(eight) << eight << QString();
        QTest::newRow("9 data lines") << file(nine) << nine << QString();
        QTest::newRow("only EOF") << QByteArray(":00000001FF") << QByteArray() << QString();
        QTest::newRow("lower-case digits") << file(nine).toLower() << nine << QString();
        QTest::newRow("CR LF after EOF") << file(eight) + "\r\n" << eight << QString();
        QTest::newRow("LF line ends") << QByteArray(file(nine)).replace("\r\n", "\n") << nine << QString();
        QTest::newRow("records of other lengths")
            << record(0, 0, QByteArray("abc")) + "\r\n" + record(3, 0, QByteArray(32, 'z')) + "\r\n:00000001FF"
            << QByteArray("abc") + QByteArray(32, 'z') << QString();

        QByteArray badSum = file(nine);
        badSum[42] = badSum[42] == '0' ? '1' : '0'; // last checksum digit of line 1
        QTest::newRow("bad checksum") << badSum << QByteArray() << QStringLiteral("line 1: the record's checksum");
        QByteArray nonHex = file(nine);
        nonHex[47 + 20] = 'G'; // a data digit of line 2
        QTest::newRow("non-hex digit") << nonHex << QByteArray() << QStringLiteral("line 2: characters that are not");
        QTest::newRow("too large") << file(pattern(int(rdm::hex::HexFileMax / 45 * 16 + 16))) << QByteArray()
                                   << QStringLiteral("too large");
        QTest::newRow("no EOF") << file(eight).chopped(11) << QByteArray() << QStringLiteral("end-of-file record is missing");
        QTest::newRow("empty file") << QByteArray() << QByteArray() << QStringLiteral("colon");
        QTest::newRow("cut short") << file(nine).left(100) << QByteArray() << QStringLiteral("line 3");
        QTest::newRow("gap in addresses")
            << record(0, 0, QByteArray(16, 'a')) + "\r\n" + record(0x20, 0, QByteArray(16, 'b')) + "\r\n:00000001FF"
            << QByteArray() << QStringLiteral("line 2: the address");
        QTest::newRow("jump back, wrapping at 64 KiB")
            << record(0xFFF0, 0, QByteArray(16, 'a')) + "\r\n" + record(0, 0, QByteArray(16, 'b')) + "\r\n:00000001FF"
            << QByteArray() << QStringLiteral("line 2: the address");
        QTest::newRow("extended address record")
            << record(0, 4, QByteArray("\x00\x01", 2)) + "\r\n" + file(eight) << QByteArray()
            << QStringLiteral("record type 04");
        QTest::newRow("text after EOF") << file(eight) + "\r\n" + file(eight) << QByteArray()
                                        << QStringLiteral("after the end-of-file");
        QTest::newRow("count disagrees") << QByteArray(":10000000AA\r\n:00000001FF") << QByteArray()
                                         << QStringLiteral("byte count");
    }
    void hexReader()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, image);
        QFETCH(QString, error);
        const rdm::hex::HexImage read = rdm::hex::parseFirmwareHex(text);
        if (error.isEmpty()) {
            QVERIFY2(read.ok(), qPrintable(read.error));
            QCOMPARE(read.data, image);
        } else {
            QVERIFY(!read.ok());
            QVERIFY2(read.error.contains(error), qPrintable(read.error));
            QVERIFY(read.data.isEmpty());
        }
    }

    void hexFileThatCannotBeRead()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("missing.hex"));
        const rdm::hex::HexImage read = rdm::hex::readFirmwareHex(missing);
        QVERIFY(!read.ok());
        QVERIFY2(read.error.contains(missing), qPrintable(read.error));
        QVERIFY2(read.error.contains(QStringLiteral("cannot be read")), qPrintable(read.error));
        // Update pressed before a file was chosen (or with only spaces typed) says what to do.
        for (const QString &none : {QString(), QStringLiteral("  ")}) {
            const rdm::hex::HexImage unnamed = rdm::hex::readFirmwareHex(none);
            QVERIFY(!unnamed.ok());
            QVERIFY2(unnamed.error.contains(QStringLiteral("press Browse")), qPrintable(unnamed.error));
        }
    }

    void blockLayout()
    {
        const QByteArray image = hexfixture::pattern(300 * BLOCK_DATA + 16);
        QCOMPARE(blockCount(image.size()), 301);
        QCOMPARE(blockCount(0), 0);
        QCOMPARE(blockCount(128), 1);
        QCOMPARE(blockCount(129), 2);
        // Numbers 1, 2 ... 255, 0, 1: the 256th block carries 0 and its complement 255.
        const int indexes[] = {0, 1, 254, 255, 256, 300};
        const quint8 numbers[] = {1, 2, 255, 0, 1, 45};
        for (int i = 0; i < 6; ++i) {
            const QByteArray block = buildBlock(image, indexes[i]);
            QCOMPARE(block.size(), BLOCK_SIZE);
            QCOMPARE(quint8(block[0]), SOH);
            QCOMPARE(quint8(block[1]), numbers[i]);
            QCOMPARE(quint8(block[2]), quint8(255 - numbers[i]));
        }
        const QByteArray last = buildBlock(image, 300);
        QCOMPARE(last.mid(3, 16), image.right(16));
        QCOMPARE(last.mid(19, 112), QByteArray(112, char(FILLER)));
        const quint16 crc = crc16(last.mid(3, 128));
        QCOMPARE(quint8(last[131]), quint8(crc >> 8));
        QCOMPARE(quint8(last[132]), quint8(crc & 0xFF));
    }

    void transferStoresTheImage_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("one block, no filler") << 128;
        QTest::newRow("two blocks, the second mostly filler") << 144;
        QTest::newRow("past block number 255") << 260 * 128 + 5;
    }
    void transferStoresTheImage()
    {
        QFETCH(int, size);
        const QByteArray data = hexfixture::pattern(size);
        BootHost host;
        host.keysUnheard = 3;
        host.exchange.start(data);
        QVERIFY(host.exchange.BootKey());
        // The first key waits for the first tick: the controller is still starting its bootloader.
        QVERIFY(host.written.isEmpty());
        QCOMPARE(host.armedMs, BootloaderExchange::KeyIntervalMs);
        host.run();
        QCOMPARE(host.exchange.state(), BootloaderExchange::State::Complete);
        QCOMPARE(host.finishes, 1);
        QVERIFY(host.device.complete());
        QCOMPARE(host.device.image(), padded(data));
        QCOMPARE(host.written.first(), QByteArray(1, char(CONNECT_KEY)));
        QCOMPARE(host.written.mid(0, 4), QList<QByteArray>(4, QByteArray(1, char(CONNECT_KEY))));
        QCOMPARE(host.written.last(), QByteArray(1, char(EOT)));
        QCOMPARE(host.blocks().size(), blockCount(size));
        QCOMPARE(host.percents.last(), 100);
        QVERIFY(std::is_sorted(host.percents.begin(), host.percents.end()));
        QCOMPARE(host.exchange.resultText(), QStringLiteral("Firmware Upgrade Complete!"));
    }

    void emptyImageSendsEotAtOnce()
    {
        BootHost host;
        host.exchange.start({});
        host.run();
        QCOMPARE(host.written, (QList<QByteArray>{QByteArray(1, char(CONNECT_KEY)), QByteArray(1, char(EOT))}));
        QCOMPARE(host.exchange.state(), BootloaderExchange::State::Complete);
    }

    void refusedThirdBlock()
    {
        BootHost host;
        host.device.options.nakBlock = 3;
        host.exchange.start(hexfixture::pattern(5 * 128));
        host.run();
        QCOMPARE(host.exchange.state(), BootloaderExchange::State::Refused);
        QCOMPARE(host.exchange.resultText(), QStringLiteral("Failed, please retry.."));
        QCOMPARE(host.blocks().size(), 3);
        QCOMPARE(host.exchange.blocksAccepted(), 2);
        QCOMPARE(host.percents.last(), 40); // the two blocks before it
        QVERIFY(!host.written.contains(QByteArray(1, char(EOT))));
        QCOMPARE(host.armedMs, -1);
        QCOMPARE(host.finishes, 1);

        // Starting over succeeds: the bootloader refused that block once.
        host.written.clear();
        host.exchange.start(hexfixture::pattern(5 * 128));
        host.run();
        QCOMPARE(host.exchange.state(), BootloaderExchange::State::Complete);
        QCOMPARE(host.device.image(), hexfixture::pattern(5 * 128));
    }

    void silentBootloaderTimesOut()
    {
        BootHost host;
        host.device.options.silent = true;
        host.exchange.start(hexfixture::pattern(3 * 128));
        host.run(2); // the key, then "C": the first block goes out, its answer awaited
        QCOMPARE(host.armedMs, BootloaderExchange::AnswerTimeoutMs);
        host.run();
        QCOMPARE(host.exchange.state(), BootloaderExchange::State::NoAnswer);
        QCOMPARE(host.blocks().size(), 1);
        QVERIFY2(host.exchange.resultText().contains(QStringLiteral("block 1 of 3")), qPrintable(host.exchange.resultText()));
        QCOMPARE(host.finishes, 1);
    }

    void answersBetweenBlocks()
    {
        BootHost host;
        host.exchange.start(hexfixture::pattern(2 * 128));
        host.run(2); // key, then "C": the first block goes out
        QCOMPARE(host.blocks().size(), 1);
        // Noise and a late "C" do not count as an answer.
        host.inbound.prepend("C\x7f");
        host.run(1);
        QCOMPARE(host.exchange.state(), BootloaderExchange::State::Pausing);
        QCOMPARE(host.armedMs, BootloaderExchange::BlockPauseMs);
        QCOMPARE(host.blocks().size(), 1); // the next block waits for the pause

        // Cancel in the pause: nothing more goes out, a stray tick does nothing.
        host.exchange.cancel();
        QCOMPARE(host.armedMs, -1);
        const int writes = int(host.written.size());
        host.exchange.timerFired();
        host.exchange.bytesReceived(QByteArray(1, char(ACK)));
        QCOMPARE(host.written.size(), writes);
        QCOMPARE(host.exchange.state(), BootloaderExchange::State::Cancelled);
        QCOMPARE(host.finishes, 0);
    }
};

QTEST_MAIN(TestSerialBootloader)
#include "tst_serial_bootloader.moc"
