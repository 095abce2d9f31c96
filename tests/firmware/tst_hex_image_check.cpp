// Whether a file picked for a network controller is a firmware image, checked before the
// controller is connected to.

#include "firmware/hex_image_check.h"
#include "hex_fixture.h"

#include <QBuffer>
#include <QTest>

class TestHexImageCheck : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
};

void TestHexImageCheck::check_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("problem"); // empty: sent

    const QByteArray data16 = ":10000000000102030405060708090A0B0C0D0E0F78";
    const QByteArray end = ":00000001FF";

    // Every well-formed Intel HEX goes out, whatever its layout: both families ship HEX, and
    // nothing in a file names the family it is for.
    QTest::newRow("the USB family's layout") << hexfixture::file(hexfixture::pattern(300)) << QString();
    QTest::newRow("LF, lower case, break after the end")
        << QByteArray(data16.toLower() + "\n" + end + "\n") << QString();
    QTest::newRow("32-byte records, extended and start addresses")
        << QByteArray(":020000040800F2\r\n" + hexfixture::record(0, 0, hexfixture::pattern(32)) + "\r\n"
                      + ":0400000508000131BD\r\n" + end + "\r\n")
        << QString();
    QTest::newRow("blank lines between records") << QByteArray(data16 + "\r\n\r\n" + end) << QString();

    QTest::newRow("a text file") << QByteArray("Stage left\nV1.5.0\n") << "line 1 is not a HEX record";
    QTest::newRow("a binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "line 1 is not a HEX record";
    QTest::newRow("a letter among the digits")
        << QByteArray(data16 + "\r\n:10001000G01112131415161718191A1B1C1D1E1F68\r\n" + end)
        << "line 2 is not a HEX record";
    QTest::newRow("odd number of digits") << QByteArray(data16 + "0\r\n" + end) << "line 1 is not a HEX record";
    QTest::newRow("checksum wrong") << QByteArray(":10000000000102030405060708090A0B0C0D0E0F79\r\n" + end)
                                    << "line 1 fails its checksum";
    QTest::newRow("shorter than its byte count")
        << QByteArray(":10000000000102030405060708090A0B0C0D0E69\r\n" + end)
        << "line 1 is not as long as its byte count says";
    QTest::newRow("unknown record type") << QByteArray(data16 + "\r\n:00000006FA\r\n" + end)
                                         << "line 2 has a record type HEX files do not have";
    QTest::newRow("cut short") << QByteArray(data16 + "\r\n" + data16.left(20))
                               << "line 2 is not a HEX record";
    QTest::newRow("cut at a line break") << QByteArray(data16 + "\r\n")
                                         << "it ends without its end-of-file record, so it was cut short";
    QTest::newRow("records after the end") << QByteArray(data16 + "\r\n" + end + "\r\n" + data16)
                                           << "line 3 follows the end-of-file record";
    QTest::newRow("no data") << QByteArray(end) << "it holds no firmware data";
    QTest::newRow("one endless line") << QByteArray(":" + QByteArray(4000, '0')) << "line 1 is too long for a HEX record";
}

void TestHexImageCheck::check()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, problem);
    QBuffer in(&file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(firmware::hexImageProblem(in), problem);
}

QTEST_GUILESS_MAIN(TestHexImageCheck)
#include "tst_hex_image_check.moc"
