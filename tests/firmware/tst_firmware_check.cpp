// The firmware version check against the thresholds the configuration workflow asks for.

#include "firmware/firmware_check.h"

#include <QTest>

namespace {

// A record whose Firmware holds `text` byte for byte (NUL-padded; "\0" inside allowed).
TTessaraCtrl withFirmware(QByteArrayView text)
{
    TTessaraCtrl c;
    for (qsizetype i = 0; i < text.size() && i < 20; ++i)
        c.Firmware[std::size_t(i)] = char16_t(quint8(text[i]));
    return c;
}

} // namespace

class TestFirmwareCheck : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
    void versionOf_data();
    void versionOf();
};

void TestFirmwareCheck::check_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("imp");
    QTest::addColumn<int>("minor");
    QTest::addColumn<bool>("atLeast");

    QTest::newRow("1.4.5 >= 1.4.5") << QByteArray("V1.4.5") << 1 << 4 << 5 << true;
    QTest::newRow("1.4.5 < 1.4.6") << QByteArray("V1.4.5") << 1 << 4 << 6 << false;
    QTest::newRow("1.4.5 >= 1.3.9") << QByteArray("V1.4.5") << 1 << 3 << 9 << true;
    QTest::newRow("1.4.5 < 1.5.0") << QByteArray("V1.4.5") << 1 << 5 << 0 << false;
    QTest::newRow("1.4.5 >= 0.9.9") << QByteArray("V1.4.5") << 0 << 9 << 9 << true;
    QTest::newRow("1.4.5 < 2.0.0") << QByteArray("V1.4.5") << 2 << 0 << 0 << false;
    QTest::newRow("two-digit middle >= 1.9.0") << QByteArray("V1.10.2") << 1 << 9 << 0 << true;
    QTest::newRow("two-digit middle < 1.10.3") << QByteArray("V1.10.2") << 1 << 10 << 3 << false;
    QTest::newRow("two-digit major >= 2.0.0") << QByteArray("V12.3.4") << 2 << 0 << 0 << true;
    QTest::newRow("two-digit minor >= 1.2.9") << QByteArray("V1.2.10") << 1 << 2 << 9 << true;
    QTest::newRow("two-digit minor < 1.2.11") << QByteArray("V1.2.10") << 1 << 2 << 11 << false;
    // Read from the last "V": whatever comes before it does not matter.
    QTest::newRow("text before the V") << QByteArray("Build V1.3.0") << 1 << 3 << 0 << true;
    QTest::newRow("minor in the last cell") << QByteArray("abcdefghijklm V1.2.7") << 1 << 2 << 7 << true;
    // Numbers longer than any 32-bit value still compare by value.
    QTest::newRow("tail: 1.4.5b >= 1.4.5") << QByteArray("V1.4.5b") << 1 << 4 << 5 << true;
    QTest::newRow("tail: 1.4.5b < 1.4.6") << QByteArray("V1.4.5b") << 1 << 4 << 6 << false;
    QTest::newRow("huge major") << QByteArray("V99999999999999.1.1") << 2147483647 << 0 << 0 << true;

    // Not a version: counts as 0.0.0, so only 0.0.0 (and lower) is met.
    const QByteArray notVersions[] = {
        QByteArray(),                    // empty
        QByteArray("Bootloader"),        // a controller in its bootloader
        QByteArray("1.4.5"),             // no V
        QByteArray("V1.4"),              // one dot
        QByteArray("V1"),                // no dot
        QByteArray("V"),                 // nothing after the V
        QByteArray("V.4.5"),             // no major digit
        QByteArray("V1..5"),             // no middle digit
        QByteArray("V1.4."),             // no minor digit
        QByteArray("V1.x.5"),            // not a digit
        QByteArray("V1x.4.5"),           // not a digit in the major run
        QByteArray("abcdefghijklmn V1.2."), // dot in the last cell, no minor digit to read
        QByteArray("abcdefghijklmnopqrV1"), // V near the end, digits run out
        QByteArray("abcdefghijklmnopqrsV"), // V in the last cell
        QByteArray("V9999999999999999999"), // 19 digits and no dot: more than 64 bits hold
    };
    for (const QByteArray &text : notVersions) {
        const QByteArray name = "not a version: " + text.toPercentEncoding();
        QTest::newRow((name + " vs 1.2.3").constData()) << text << 1 << 2 << 3 << false;
        QTest::newRow((name + " vs 0.0.1").constData()) << text << 0 << 0 << 1 << false;
        QTest::newRow((name + " vs 0.0.0").constData()) << text << 0 << 0 << 0 << true;
    }
}

void TestFirmwareCheck::check()
{
    QFETCH(QByteArray, firmware);
    QFETCH(int, major);
    QFETCH(int, imp);
    QFETCH(int, minor);
    QFETCH(bool, atLeast);
    QCOMPARE(TessFirmwareCheck(withFirmware(firmware), major, imp, minor), atLeast);
}

void TestFirmwareCheck::versionOf_data()
{
    QTest::addColumn<QByteArray>("firmware");
    QTest::addColumn<qint64>("major");
    QTest::addColumn<qint64>("middle");
    QTest::addColumn<qint64>("minor");

    QTest::newRow("V1.4.5") << QByteArray("V1.4.5") << qint64(1) << qint64(4) << qint64(5);
    QTest::newRow("V0.0.0") << QByteArray("V0.0.0") << qint64(0) << qint64(0) << qint64(0);
    QTest::newRow("V12.34.56") << QByteArray("V12.34.56") << qint64(12) << qint64(34) << qint64(56);
    QTest::newRow("leading zeros") << QByteArray("V01.002.0003") << qint64(1) << qint64(2) << qint64(3);
    QTest::newRow("last V counts") << QByteArray("V9.9.9 V1.2.3") << qint64(1) << qint64(2) << qint64(3);
    // A tail after the minor number says nothing about the settings offered.
    QTest::newRow("letter tail") << QByteArray("V1.4.5b") << qint64(1) << qint64(4) << qint64(5);
    QTest::newRow("blank tail") << QByteArray("V1.4.5 ") << qint64(1) << qint64(4) << qint64(5);
    QTest::newRow("a fourth number") << QByteArray("V1.4.5.6") << qint64(1) << qint64(4) << qint64(5);
    QTest::newRow("after the padding") << QByteArray("V1.4.5\0" "7", 8) << qint64(1) << qint64(4) << qint64(5);
    QTest::newRow("tail with a V") << QByteArray("V1.3.1 HW V2") << qint64(1) << qint64(3) << qint64(1);
    QTest::newRow("trailing V") << QByteArray("V1.4.5V") << qint64(1) << qint64(4) << qint64(5);
    QTest::newRow("fills all 20") << QByteArray("V12345678.12345.1234") << qint64(12345678) << qint64(12345)
                                  << qint64(1234);
}

void TestFirmwareCheck::versionOf()
{
    QFETCH(QByteArray, firmware);
    QFETCH(qint64, major);
    QFETCH(qint64, middle);
    QFETCH(qint64, minor);
    const auto v = tessFirmwareVersion(withFirmware(firmware).Firmware);
    QVERIFY(v.has_value());
    QCOMPARE(*v, (TessFirmwareVersion{major, middle, minor}));
}

QTEST_APPLESS_MAIN(TestFirmwareCheck)
#include "tst_firmware_check.moc"
