// The configuration and network settings datagrams against hand-computed bytes.

#include "net/config_datagram.h"
#include "net/orvantic.h"

#include <QTest>

namespace {

TTessaraCtrl sample()
{
    TTessaraCtrl c;
    c.CurrentIP = {10, 77, 1, 10};
    c.NumStrings = 16;
    c.DHCP = 0;
    net::tessara::setFixedText(c.Nickname, QStringLiteral("Stage \u0141"));
    c.NumNodes.fill(170);
    c.NumNodes[0] = 300;
    c.Protocol = 1;
    c.DmxMix = 0xA5;
    c.MixMode = 0x5A;
    c.StaticIP = {192, 168, 0, 50};
    c.SM = {255, 255, 255, 0};
    c.DmxStart = 0x1234;
    c.SacnUniv = 0;
    c.SacnChan = 0;
    c.DriverChip = 10;
    c.Gamma = {10, 22, 30};
    for (int i = 0; i < 16; ++i) {
        c.AdvUniv[i] = quint16(1000 + i);
        c.AdvChan[i] = quint16(1 + 3 * i);
        c.AdvNull[i] = quint8(i % 11);
        c.AdvZig[i] = quint16(339 - i);
        c.AdvReverse[i] = quint8(i & 1);
        c.AdvRgbOrder[i] = quint8(i % 6);
        c.Grouping[i] = quint16(i + 1);
        c.Brightness[i] = quint8(100 - i);
    }
    c.RgbOrder = {0xFF, 0xFF, 0xFF};
    c.DmxOutOn = {1, 0, 1, 0};
    c.DmxOutUniv = {1, 2, 63999, 4};
    c.ProtocolSpeed = 1;
    c.HoldLastFrame = 1;
    c.FanTemp = 45;
    c.MAC = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    return c;
}

quint8 at(const QByteArray &d, int offset)
{
    return quint8(d[offset]);
}

} // namespace

class TestConfigDatagram : public QObject {
    Q_OBJECT
private slots:
    void configurationBytes()
    {
        const QByteArray d = net::orvantic::buildConfigDatagram(sample());
        QCOMPARE(d.size(), 336);
        QCOMPARE(d.left(12), QByteArray("Orvantic\0\0\x05\x02", 12));
        QCOMPARE(d.mid(12, 20), QByteArray("Tessara 16\0\0\0\0\0\0\0\0\0\0", 20));
        QCOMPARE(at(d, 32), quint8(0));
        QCOMPARE(d.mid(33, 8), QByteArray("Stage A\0", 8)); // U+0141 goes as its low byte 0x41
        QCOMPARE(at(d, 72), quint8(0));
        QCOMPARE(d.mid(73, 4), QByteArray("\x01\x2C\x00\xAA", 4));
        QCOMPARE(d.mid(105, 3), QByteArray("\x01\xA5\x5A", 3));
        QCOMPARE(d.mid(108, 8), QByteArray("\xC0\xA8\x00\x32\xFF\xFF\xFF\x00", 8));
        QCOMPARE(d.mid(116, 6), QByteArray("\x12\x34\0\0\0\0", 6)); // advanced mapping: 118..121 zero
        QCOMPARE(d.mid(122, 4), QByteArray("\x0A\x0A\x16\x1E", 4));
        QCOMPARE(d.mid(126, 2), QByteArray("\x03\xE8", 2));      // AdvUniv[0] 1000
        QCOMPARE(d.mid(156, 2), QByteArray("\x03\xF7", 2));      // AdvUniv[15] 1015
        QCOMPARE(d.mid(158, 2), QByteArray("\x00\x01", 2));      // AdvChan[0]
        QCOMPARE(d.mid(188, 2), QByteArray("\x00\x2E", 2));      // AdvChan[15] 46
        QCOMPARE(at(d, 190 + 10), quint8(10));                   // AdvNull[10]
        QCOMPARE(d.mid(206, 2), QByteArray("\x01\x53", 2));      // AdvZig[0] 339
        QCOMPARE(at(d, 238 + 1), quint8(1));                     // AdvReverse[1]
        QCOMPARE(d.mid(254, 7), QByteArray("\xFF\xFF\xFF\x01\x00\x01\x00", 7));
        QCOMPARE(d.mid(261, 8), QByteArray("\x00\x01\x00\x02\xF9\xFF\x00\x04", 8));
        QCOMPARE(at(d, 269), quint8(1));
        QCOMPARE(d.mid(270, 16), QByteArray("\x00\x01\x02\x03\x04\x05\x00\x01\x02\x03\x04\x05\x00\x01\x02\x03", 16));
        QCOMPARE(d.mid(286, 2), QByteArray("\x00\x01", 2));      // Grouping[0]
        QCOMPARE(d.mid(316, 2), QByteArray("\x00\x10", 2));      // Grouping[15]
        QCOMPARE(at(d, 318), quint8(100));
        QCOMPARE(at(d, 333), quint8(85));
        QCOMPARE(at(d, 334), quint8(1));
        QCOMPARE(at(d, 335), quint8(45));
    }

    void modelText_data()
    {
        QTest::addColumn<int>("numStrings");
        QTest::addColumn<QByteArray>("model");
        QTest::newRow("16 outputs") << 16 << QByteArray("Tessara 16\0\0\0\0\0\0\0\0\0\0", 20);
        QTest::newRow("4 outputs") << 4 << QByteArray("Tessara 4\0\0\0\0\0\0\0\0\0\0\0", 20);
    }
    void modelText()
    {
        QFETCH(int, numStrings);
        QFETCH(QByteArray, model);
        TTessaraCtrl c = sample();
        c.NumStrings = quint8(numStrings);
        const QByteArray d = net::orvantic::buildConfigDatagram(c);
        QCOMPARE(d.size(), 336);
        QCOMPARE(d.mid(12, 20), model);
        QCOMPARE(d.mid(316, 2), QByteArray("\x00\x10", 2)); // all 16 outputs still carried
    }

    // A controller takes back exactly the settings: what it reports must not change.
    void controllerAppliesWhatWasSent()
    {
        const TTessaraCtrl sent = sample();
        TTessaraCtrl controller;
        controller.CurrentIP = {10, 77, 1, 99};
        controller.Temperature = 250;
        controller.HwRev = 5;
        QVERIFY(net::orvantic::applyConfigDatagram(net::orvantic::buildConfigDatagram(sent), controller));
        QCOMPARE(controller.CurrentIP, (std::array<quint8, 4>{10, 77, 1, 99}));
        QCOMPARE(controller.Temperature, quint16(250));
        QCOMPARE(controller.NumNodes, sent.NumNodes);
        QCOMPARE(controller.Nickname[6], char16_t(0x41));
        QCOMPARE(controller.AdvRgbOrder, sent.AdvRgbOrder);
        QCOMPARE(controller.FanTemp, sent.FanTemp);

        TTessaraCtrl untouched = controller;
        QVERIFY(!net::orvantic::applyConfigDatagram(net::orvantic::buildConfigDatagram(sent).left(335), untouched));
        QVERIFY(!net::orvantic::applyConfigDatagram(net::orvantic::buildNetSettingsDatagram(sent), untouched));
        QVERIFY(untouched == controller);
    }

    void networkSettingsBytes()
    {
        TTessaraCtrl c = sample();
        const QByteArray d = net::orvantic::buildNetSettingsDatagram(c);
        QCOMPARE(d, QByteArray("Orvantic\0\0\x07\x02"
                               "\x00\x11\x22\x33\x44\x55"
                               "\x00"
                               "\xC0\xA8\x00\x32"
                               "\xFF\xFF\xFF\x00",
                               27));
        net::orvantic::NetSettings s;
        QVERIFY(net::orvantic::parseNetSettingsDatagram(d, s));
        QCOMPARE(s.MAC, c.MAC);
        QCOMPARE(s.StaticIP, c.StaticIP);
        QVERIFY(!net::orvantic::parseNetSettingsDatagram(d + QByteArray(1, '\0'), s));
    }

    void deviceNetworkAddress_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("network");
        QTest::newRow("/24") << "192.168.0.50" << "255.255.255.0" << "192.168.0.0";
        QTest::newRow("/16") << "192.168.1.50" << "255.255.0.0" << "192.168.0.0";
        QTest::newRow("/8") << "10.0.0.50" << "255.0.0.0" << "10.0.0.0";
        QTest::newRow("no mask") << "10.0.0.50" << "0.0.0.0" << "0.0.0.0";
    }
    void deviceNetworkAddress()
    {
        QFETCH(QString, ip);
        QFETCH(QString, mask);
        QFETCH(QString, network);
        TTessaraCtrl c;
        const QStringList a = ip.split('.'), m = mask.split('.');
        for (int k = 0; k < 4; ++k) {
            c.CurrentIP[k] = quint8(a[k].toUInt());
            c.CurrentSM[k] = quint8(m[k].toUInt());
        }
        QCOMPARE(net::tessara::deviceNetworkAddr(c), network);
    }
};

QTEST_GUILESS_MAIN(TestConfigDatagram)
#include "tst_config_datagram.moc"
