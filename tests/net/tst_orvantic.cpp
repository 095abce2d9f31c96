// The Orvantic header and the poll reply codec, against hand-built bytes.

#include "net/orvantic.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QTest>
#include <cstring>

namespace {

// A poll reply whose bytes 12..377 are the low byte of their own offset, with a valid model name:
// every field then reads back as a function of where it sits, so any offset slip shows.
QByteArray offsetPatternReply(const char *model = "Tessara 16")
{
    QByteArray d = net::orvantic::header(net::orvantic::OpPollReply);
    d.resize(378);
    for (int i = 12; i < 378; ++i)
        d[i] = char(i & 0xFF);
    std::memset(d.data() + 12, 0, 20);
    std::memcpy(d.data() + 12, model, std::strlen(model));
    return d;
}

quint16 be(int offset)
{
    return quint16((offset & 0xFF) << 8 | ((offset + 1) & 0xFF));
}

} // namespace

class TestOrvantic : public QObject {
    Q_OBJECT
private slots:
    // A search that nobody answered still says that it ran.
    void searchStatusSaysHowManyAnswered_data()
    {
        QTest::addColumn<bool>("searching");
        QTest::addColumn<int>("answered");
        QTest::addColumn<QString>("text");
        QTest::newRow("started") << true << 0 << QString::fromUtf8("Searching\u2026");
        QTest::newRow("answers coming") << true << 3 << QString::fromUtf8("Searching\u2026 3 answered");
        QTest::newRow("nobody") << false << 0 << "No controller answered the search";
        QTest::newRow("one") << false << 1 << "1 controller answered the search";
        QTest::newRow("five") << false << 5 << "5 controllers answered the search";
    }
    void searchStatusSaysHowManyAnswered()
    {
        QFETCH(bool, searching);
        QFETCH(int, answered);
        QFETCH(QString, text);
        QCOMPARE(net::tessara::searchStatusText(searching, answered), text);
    }

    void discoveryRequestBytes()
    {
        QCOMPARE(net::orvantic::discoveryRequest(), QByteArray("Orvantic\0\0\x01\x02", 12));
        QCOMPARE(net::orvantic::bootloaderTrigger(), QByteArray("Orvantic\0\0\x06\x02", 12));
        QCOMPARE(net::orvantic::header(0x0105, 9), QByteArray("Orvantic\0\x01\x05\x09", 12));
    }

    void opcodeOf_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("opcode"); // -1: dropped
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("magic only") << QByteArray("Orvantic") << -1;
        QTest::newRow("10 bytes") << QByteArray("Orvantic\0\0", 10) << -1;
        QTest::newRow("11 bytes suffice") << QByteArray("Orvantic\0\0\x02", 11) << 2;
        QTest::newRow("no NUL after magic") << QByteArray("Orvantic!\0\x02\x02", 12) << -1;
        QTest::newRow("other case") << QByteArray("orvantic\0\0\x02\x02", 12) << -1;
        QTest::newRow("opcode high byte") << QByteArray("Orvantic\0\x01\x02\x02", 12) << 0x0102;
        QTest::newRow("own discovery") << net::orvantic::discoveryRequest() << 1;
    }
    void opcodeOf()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, opcode);
        const auto got = net::orvantic::opcodeOf(datagram);
        QCOMPARE(got ? int(*got) : -1, opcode);
    }

    void pollReplyFieldsLandAtTheirOffsets()
    {
        const auto r = net::orvantic::parsePollReply(offsetPatternReply());
        QVERIFY(r);
        const TTessaraCtrl &c = r->ctrl;
        QCOMPARE(c.CurrentIP, (std::array<quint8, 4>{32, 33, 34, 35}));
        QCOMPARE(c.DHCP, quint8(36));
        QCOMPARE(c.Nickname[0], char16_t(38));
        QCOMPARE(c.Nickname[39], char16_t(77));
        QCOMPARE(c.Firmware[0], char16_t(78));
        QCOMPARE(c.Firmware[19], char16_t(97));
        QCOMPARE(c.MAC, (std::array<quint8, 6>{98, 99, 100, 101, 102, 103}));
        QCOMPARE(c.Temperature, be(104));
        QCOMPARE(c.NumNodes[0], be(106));
        QCOMPARE(c.NumNodes[15], be(136));
        QCOMPARE(c.Protocol, quint8(138));
        QCOMPARE(c.DmxMix, quint8(139));
        QCOMPARE(c.MixMode, quint8(140));
        QCOMPARE(c.StaticIP, (std::array<quint8, 4>{141, 142, 143, 144}));
        QCOMPARE(c.SM, (std::array<quint8, 4>{145, 146, 147, 148}));
        QCOMPARE(c.DmxStart, be(149));
        QCOMPARE(c.SacnUniv, be(151));
        QCOMPARE(c.SacnChan, be(153));
        QCOMPARE(c.DriverChip, quint8(155));
        QCOMPARE(c.Gamma, (std::array<quint8, 3>{156, 157, 158}));
        QCOMPARE(c.Voltage[0], be(159));
        QCOMPARE(c.Voltage[1], be(161));
        QCOMPARE(c.AdvUniv[0], be(163));
        QCOMPARE(c.AdvUniv[15], be(193));
        QCOMPARE(c.AdvChan[0], be(195));
        QCOMPARE(c.AdvChan[15], be(225));
        QCOMPARE(c.AdvNull[0], quint8(227));
        QCOMPARE(c.AdvNull[15], quint8(242));
        QCOMPARE(c.AdvZig[0], be(243));
        QCOMPARE(c.AdvZig[15], be(273));
        QCOMPARE(c.AdvReverse[0], quint8(275));
        QCOMPARE(c.AdvReverse[15], quint8(290 & 0xFF));
        QCOMPARE(c.RgbOrder, (std::array<quint8, 3>{291 & 0xFF, 292 & 0xFF, 293 & 0xFF}));
        QCOMPARE(c.DmxOutOn, (std::array<quint8, 4>{294 & 0xFF, 295 & 0xFF, 296 & 0xFF, 297 & 0xFF}));
        QCOMPARE(c.DmxOutUniv[0], be(298));
        QCOMPARE(c.DmxOutUniv[3], be(304));
        QCOMPARE(c.HwRev, quint8(306 & 0xFF));
        QCOMPARE(c.ProtocolSpeed, quint8(307 & 0xFF));
        QCOMPARE(c.AdvRgbOrder[0], quint8(308 & 0xFF));
        QCOMPARE(c.AdvRgbOrder[15], quint8(323 & 0xFF));
        QCOMPARE(c.Grouping[0], be(324));
        QCOMPARE(c.Grouping[15], be(354));
        QCOMPARE(c.Brightness[0], quint8(356 & 0xFF));
        QCOMPARE(c.Brightness[15], quint8(371 & 0xFF));
        QCOMPARE(c.HoldLastFrame, quint8(372 & 0xFF));
        QCOMPARE(c.FanTemp, quint8(373 & 0xFF));
        QCOMPARE(c.CurrentSM, (std::array<quint8, 4>{374 & 0xFF, 375 & 0xFF, 376 & 0xFF, 377 & 0xFF}));
    }

    void modelNameAndSize_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("model"); // empty: dropped
        QTest::addColumn<int>("numStrings");
        QTest::newRow("Tessara 16") << offsetPatternReply("Tessara 16") << "Tessara 16" << 16;
        QTest::newRow("Tessara 4") << offsetPatternReply("Tessara 4") << "Tessara 4" << 4;
        QTest::newRow("Corvel 16") << offsetPatternReply("Corvel 16") << "Corvel 16" << 16;
        QTest::newRow("Tessara 5") << offsetPatternReply("Tessara 5") << "" << 0;
        QTest::newRow("lower case") << offsetPatternReply("tessara 16") << "" << 0;
        QTest::newRow("Tessara 160") << offsetPatternReply("Tessara 160") << "" << 0;
        QByteArray strayByte = offsetPatternReply("Tessara 16");
        strayByte[25] = 'x';
        QTest::newRow("non-NUL at offset 25") << strayByte << "" << 0;
        QByteArray lastByte = offsetPatternReply("Tessara 4");
        lastByte[31] = 1;
        QTest::newRow("non-NUL at offset 31") << lastByte << "" << 0;
        QTest::newRow("377 bytes") << offsetPatternReply().left(377) << "" << 0;
        QTest::newRow("400 bytes") << offsetPatternReply() + QByteArray(22, '\xFF') << "Tessara 16" << 16;
        QByteArray version0 = offsetPatternReply("Corvel 16");
        version0[11] = 0;
        QTest::newRow("version 0") << version0 << "Corvel 16" << 16;
        QByteArray version9 = offsetPatternReply("Tessara 4");
        version9[11] = 9;
        QTest::newRow("version 9") << version9 << "Tessara 4" << 4;
        QByteArray otherOpcode = offsetPatternReply();
        otherOpcode[10] = 1;
        QTest::newRow("discovery opcode") << otherOpcode << "" << 0;
    }
    void modelNameAndSize()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, model);
        QFETCH(int, numStrings);
        const auto r = net::orvantic::parsePollReply(datagram);
        QCOMPARE(bool(r), !model.isEmpty());
        // The receive thread's quick check keeps exactly what the parser takes.
        QCOMPARE(net::orvantic::isPollReply(datagram), bool(r));
        if (r) {
            QCOMPARE(r->model, model);
            QCOMPARE(int(r->ctrl.NumStrings), numStrings);
            QVERIFY(net::orvantic::isKnownModel(r->model));
        }
    }

    // The names whose settings can be changed: exactly the three, as the reply spells them.
    void knownModelNames()
    {
        for (const char *name : {"Tessara 16", "Tessara 4", "Corvel 16"})
            QVERIFY2(net::orvantic::isKnownModel(QString::fromLatin1(name)), name);
        for (const char *name : {"", "Tessara", "Tessara 5", "tessara 16", "Tessara 16 ", " Corvel 16", "Tessara 160"})
            QVERIFY2(!net::orvantic::isKnownModel(QString::fromLatin1(name)), name);
    }

    void tailBeyondTheLayoutIsIgnored()
    {
        const auto plain = net::orvantic::parsePollReply(offsetPatternReply());
        const auto longer = net::orvantic::parsePollReply(offsetPatternReply() + QByteArray(100, '\x55'));
        QVERIFY(plain && longer);
        QVERIFY(plain->ctrl == longer->ctrl);
    }

    void goldenFieldValues()
    {
        QByteArray d = offsetPatternReply();
        d[104] = 0x00;
        d[105] = char(0xD7);
        d[106] = 0x01;
        d[107] = 0x2C;
        d[38] = char(0xE9);
        const auto r = net::orvantic::parsePollReply(d);
        QVERIFY(r);
        QCOMPARE(r->ctrl.Temperature, quint16(215));
        QCOMPARE(r->ctrl.NumNodes[0], quint16(300));
        QCOMPARE(r->ctrl.Nickname[0], char16_t(0x00E9));
        // A nickname of 40 non-NUL bytes keeps all 40 characters.
        QCOMPARE(net::tessara::fixedText(r->ctrl.Nickname).size(), 40);
    }

    void encoderAndDecoderAgree()
    {
        QRandomGenerator rng(7);
        TTessaraCtrl c;
        auto fill = [&](auto &arr) {
            for (auto &v : arr)
                v = decltype(+v)(rng.bounded(1, 65536));
        };
        fill(c.NumNodes);
        fill(c.AdvUniv);
        fill(c.Grouping);
        c.CurrentIP = {10, 1, 2, 3};
        c.Temperature = 333;
        for (int i = 0; i < 40; ++i)
            c.Nickname[i] = char16_t(rng.bounded(1, 256));
        c.NumStrings = 4;
        const QByteArray bytes = net::orvantic::buildPollReply(c, QStringLiteral("Tessara 4"));
        QCOMPARE(bytes.size(), 378);
        const auto back = net::orvantic::parsePollReply(bytes);
        QVERIFY(back);
        QVERIFY(back->ctrl == c);
    }

    void temperatureText_data()
    {
        QTest::addColumn<int>("tenths");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("21.5") << 215 << "V1.4.5" << "C" << QString::fromUtf8("21.5°C / 70.7°F");
        QTest::newRow("zero") << 0 << "V1.4.5" << "C" << QString::fromUtf8("0.0°C / 32.0°F");
        QTest::newRow("91.94 rounds") << 333 << "V1.4.5" << "C" << QString::fromUtf8("33.3°C / 91.9°F");
        QTest::newRow("decimal comma") << 215 << "V1.4.5" << "de_DE" << QString::fromUtf8("21,5°C / 70,7°F");
        // The locale's separator, never digit grouping.
        QTest::newRow("grouping en_US") << 65535 << "V1.4.5" << "en_US" << QString::fromUtf8("6553.5°C / 11828.3°F");
        QTest::newRow("grouping de_DE") << 65535 << "V1.4.5" << "de_DE" << QString::fromUtf8("6553,5°C / 11828,3°F");
        QTest::newRow("bootloader") << 215 << "Bootloader V2" << "C" << QString();
        QTest::newRow("Bootload only") << 215 << "Bootload" << "C" << QString::fromUtf8("21.5°C / 70.7°F");
    }
    void temperatureText()
    {
        QFETCH(int, tenths);
        QFETCH(QString, firmware);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        TTessaraCtrl c;
        c.Temperature = quint16(tenths);
        net::tessara::setFixedText(c.Firmware, firmware);
        const QString got = net::tessara::temperatureText(c);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(got, text);
    }

    // Whatever arrives, parsing never reads past the datagram (the sanitizers watch) and only a
    // well-formed reply is accepted.
    void arbitraryDatagramsAreSafe()
    {
        QRandomGenerator rng(1234);
        const QByteArray valid = offsetPatternReply();
        for (int n = 0; n < 3000; ++n) {
            const int size = int(rng.bounded(0, 420));
            QByteArray d = valid.left(size);
            d.resize(size);
            for (int flips = int(rng.bounded(0, 4)); flips > 0 && size > 0; --flips)
                d[int(rng.bounded(0, size))] = char(rng.bounded(0, 256));
            const auto opcode = net::orvantic::opcodeOf(d);
            const auto r = net::orvantic::parsePollReply(d);
            QCOMPARE(net::orvantic::isPollReply(d), bool(r));
            if (r) {
                QVERIFY(size >= 378);
                QCOMPARE(opcode, std::optional<quint16>(net::orvantic::OpPollReply));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOrvantic)
#include "tst_orvantic.moc"
