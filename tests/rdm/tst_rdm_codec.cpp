// RDM messages, the discovery reply codec, the ID tree and reply reassembly, against bytes worked
// out by hand.

#include "rdm/rdm_discovery.h"
#include "rdm/rdm_packet.h"
#include "rdm/rdm_params.h"
#include "rdm/rdm_reassembler.h"

#include <QTest>

using namespace rdm;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

TQuorixCtrl controller(quint32 id)
{
    TQuorixCtrl c;
    c.setDeviceId(id);
    return c;
}

QByteArray reply(quint32 id, quint16 pid, QByteArray data)
{
    TRdmPacket request;
    request.srcUID = uidBytes(RDM_SRC_ID);
    request.cc = GET_COMMAND;
    request.pid = pid;
    return buildReply(request, makerUid(id), RESPONSE_TYPE_ACK, data);
}

} // namespace

class TestRdmCodec : public QObject {
    Q_OBJECT
private slots:
    void firstUnmuteIsTheWorkedExample()
    {
        TransNumCounter counter;
        QCOMPARE(buildRequest(unmuteRequest(), counter.take()),
                 hex("CC 01 18 4E 2B FF FF FF FF 4E 2B 00 00 00 01 00 01 00 00 00 10 00 03 00 05 E8"));
    }

    void transactionNumberWrapsAfter256()
    {
        TransNumCounter counter;
        for (int i = 0; i < 256; ++i)
            QCOMPARE(counter.take(), quint8(i));
        QCOMPARE(counter.take(), quint8(0)); // the 257th message
        QCOMPARE(buildRequest(muteRequest(7), 200)[15], char(200));
    }

    void checksumKeepsLow16Bits()
    {
        QCOMPARE(rdmChecksum(QByteArray(300, char(0xFF))), quint16(76500 - 65536));
    }

    void messagesOnTheWire_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("expected");
        TQuorixCtrl c = controller(0x0A0B0C0D);
        c.PERS = {2, 3};
        c.STA = {0x01, 0x2C}; // 300
        c.Gamma = 22;
        const char label[] = "Truss 3";
        std::copy(label, label + 7, c.LBL.begin());
        const QByteArray to = "4E 2B 0A 0B 0C 0D 4E 2B 00 00 00 01";
        auto msg = [&](const RdmRequest &r) { return buildRequest(r, 5); };
        auto sum = [](QByteArray m) {
            const quint16 s = rdmChecksum(m);
            return m + char(s >> 8) + char(s & 0xFF);
        };
        QTest::newRow("discovery request")
            << msg(discoveryRequest(0x80000000u, 0xBFFFFFFFu))
            << sum(hex("CC 01 24 FF FF FF FF FF FF 4E 2B 00 00 00 01 05 01 00 00 00 10 00 01 0C"
                       "4E 2B 80 00 00 00 4E 2B BF FF FF FF"));
        QTest::newRow("mute") << msg(muteRequest(0x0A0B0C0D))
                              << sum(hex("CC 01 18 " + to + " 05 01 00 00 00 10 00 02 00"));
        QTest::newRow("get device info, pdl 0x13") << msg(getRequest(*getMessage(DEVICE_INFO), c.deviceId()))
                                                   << sum(hex("CC 01 18 " + to + " 05 01 00 00 00 20 00 60 13"));
        QTest::newRow("get temperature, pdl 1") << msg(getRequest(*getMessage(DEVICE_TEMP), c.deviceId()))
                                                << sum(hex("CC 01 18 " + to + " 05 01 00 00 00 20 02 01 01"));
        QTest::newRow("get remote mode, pdl 1") << msg(getRequest(*getMessage(DEVICE_REMOTE), c.deviceId()))
                                                << sum(hex("CC 01 18 " + to + " 05 01 00 00 00 20 80 01 01"));
        QTest::newRow("get gamma, pdl 1") << msg(getRequest(*getMessage(DEVICE_GAMMA), c.deviceId()))
                                          << sum(hex("CC 01 18 " + to + " 05 01 00 00 00 20 80 02 01"));
        QTest::newRow("get label, pdl 0") << msg(getRequest(*getMessage(DEVICE_LABEL), c.deviceId()))
                                          << sum(hex("CC 01 18 " + to + " 05 01 00 00 00 20 00 82 00"));
        QTest::newRow("set mode") << msg(deviceModeSetRequest(c))
                                  << sum(hex("CC 01 19 " + to + " 05 01 00 00 00 30 00 E0 01 02"));
        QTest::newRow("set start address 300") << msg(startAddressSetRequest(c))
                                               << sum(hex("CC 01 1A " + to + " 05 01 00 00 00 30 00 F0 02 01 2C"));
        QTest::newRow("set gamma") << msg(deviceGammaSetRequest(c))
                                   << sum(hex("CC 01 19 " + to + " 05 01 00 00 00 30 80 02 01 16"));
        QTest::newRow("trigger bootloader") << msg(triggerBootloadRequest(c))
                                            << sum(hex("CC 01 18 " + to + " 05 01 00 00 00 30 80 00 00"));
        QTest::newRow("set label: all 32 bytes")
            << msg(labelSetRequest(c))
            << sum(hex("CC 01 38 " + to + " 05 01 00 00 00 30 00 82 20") + QByteArray("Truss 3")
                   + QByteArray(25, '\0'));
    }

    void messagesOnTheWire()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, expected);
        QCOMPARE(message.toHex(' '), expected.toHex(' '));
        QCOMPARE(message.size(), quint8(message[2]) + 2);
        QVERIFY(isCompleteRdmMessage(message));
    }

    void findBounds_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<qint64>("branch");
        QTest::addColumn<quint32>("lower");
        QTest::addColumn<quint32>("upper");
        QTest::newRow("row 1") << 1 << qint64(1) << 0u << 0xFFFFFFFFu;
        QTest::newRow("row 2 left") << 2 << qint64(1) << 0u << 0x7FFFFFFFu;
        QTest::newRow("row 2 right") << 2 << qint64(2) << 0x80000000u << 0xFFFFFFFFu;
        QTest::newRow("row 3 branch 3") << 3 << qint64(3) << 0x80000000u << 0xBFFFFFFFu;
        QTest::newRow("row 3 branch 4") << 3 << qint64(4) << 0xC0000000u << 0xFFFFFFFFu;
        QTest::newRow("row 32 branch 1") << 32 << qint64(1) << 0u << 1u;
        QTest::newRow("row 32 branch 2") << 32 << qint64(2) << 2u << 3u;
        QTest::newRow("row 33 first") << 33 << qint64(1) << 0u << 0u;
        QTest::newRow("row 33 0x80000000") << 33 << qint64(0x80000001) << 0x80000000u << 0x80000000u;
        QTest::newRow("row 33 last") << 33 << (qint64(1) << 32) << 0xFFFFFFFFu << 0xFFFFFFFFu;
    }

    void findBounds()
    {
        QFETCH(int, row);
        QFETCH(qint64, branch);
        QFETCH(quint32, lower);
        QFETCH(quint32, upper);
        QCOMPARE(FindBounds(row, branch), (TBinaryBounds{lower, upper}));
    }

    void childrenCoverTheirParentOnEveryRow()
    {
        for (int row = 1; row < ROW_SINGLE_ID; ++row) {
            const qint64 last = qint64(1) << (row - 1);
            for (qint64 branch : {qint64(1), last / 2 + 1, last}) {
                const TBinaryBounds p = FindBounds(row, branch);
                const TBinaryBounds left = FindBounds(row + 1, 2 * branch - 1);
                const TBinaryBounds right = FindBounds(row + 1, 2 * branch);
                QCOMPARE(quint64(p.upper) - p.lower + 1, quint64(1) << (ROW_SINGLE_ID - row));
                QCOMPARE(left.lower, p.lower);
                QCOMPARE(quint64(left.upper) + 1, quint64(right.lower));
                QCOMPARE(right.upper, p.upper);
            }
        }
    }

    void walkNeverGoesBelowTheSingleIdRow()
    {
        TBinaryState s{ROW_SINGLE_ID, 5, {}};
        const TBinaryState next = movedBranch(s, DISC_NARROW);
        QCOMPARE(next.row, ROW_SINGLE_ID);
        QCOMPARE(next.branch, qint64(6));
    }

    void discoveryReply_data()
    {
        QTest::addColumn<QByteArray>("reception");
        QTest::addColumn<qint64>("deviceId"); // -1: not valid
        const QByteArray one = hex("FE FE FE FE FE FE FE AA EE 5F AB 7F AA 55 AA 55 AA 55 AB 55 AE 57 FE 75");
        QTest::newRow("device 1, by hand") << one << qint64(1);
        QTest::newRow("round trip") << encodeDiscoveryReply(makerUid(0xC0FFEE42)) << qint64(0xC0FFEE42);
        QByteArray oneFe = one;
        oneFe.replace(0, 6, QByteArray(6, '\0'));
        QTest::newRow("one preamble byte is enough") << oneFe << qint64(1);
        QTest::newRow("longer reception") << one + hex("00 11") << qint64(1);
        QTest::newRow("short") << one.left(23) << qint64(-1);
        QByteArray noPreamble = one;
        noPreamble.replace(0, 7, QByteArray(7, '\0'));
        QTest::newRow("no preamble") << noPreamble << qint64(-1);
        QByteArray badSeparator = one;
        badSeparator[7] = char(0xAB);
        QTest::newRow("bad separator") << badSeparator << qint64(-1);
        QByteArray badChecksum = one;
        badChecksum[23] = char(0x77);
        QTest::newRow("bad checksum") << badChecksum << qint64(-1);
        QTest::newRow("other manufacturer") << encodeDiscoveryReply(0x1234'00000001ULL) << qint64(-1);
        QTest::newRow("two answering at once")
            << hex("FE FE FE FE FE FE FE AA EE 5F AB 7F AA 55 AA 55 AA 55 AA 55 AE 57 FE 75") << qint64(-1);
    }

    void discoveryReply()
    {
        QFETCH(QByteArray, reception);
        QFETCH(qint64, deviceId);
        const auto decoded = decodeDiscoveryReply(reception);
        QCOMPARE(decoded.has_value(), deviceId >= 0);
        if (decoded) {
            QCOMPARE(qint64(decoded->deviceId()), deviceId);
            QCOMPARE(decoded->MID_MSB, MID_H);
            QCOMPARE(decoded->MID_LSB, MID_L);
        }
    }

    void parameterDataNeverReachesPastTheMessage()
    {
        QByteArray m = reply(1, PID_GAMMA, QByteArray(1, char(22)));
        QCOMPARE(parameterData(m), QByteArrayView("\x16", 1));
        m[23] = char(0xFF); // pdl claims far more than the message holds
        QCOMPARE(parameterData(m).size(), 1);
        QCOMPARE(parameterData(m.left(24)).size(), 0);
        QCOMPARE(parameterData(m.left(25)).size(), 0); // one checksum byte, no room for data
        QCOMPARE(parameterData(m.left(26)).size(), 0);
        QVERIFY(!readDeviceInfo(QByteArray(18, '\1')));
        QVERIFY(!readSensorValue(QByteArray(8, '\1')));
    }

    void parameterLayoutsRoundTrip()
    {
        DeviceInfoData d;
        d.model = {0x00, 0x01};
        d.software = {2, 1, 5, 0};
        d.personality = {2, 3};
        d.startAddress = {0x01, 0x2C};
        const QByteArray data = writeDeviceInfo(d);
        QCOMPARE(data.size(), DEVICE_INFO_PDL);
        // Offsets the parameter phase relies on (counted from the start code, minus 24).
        QCOMPARE(data.mid(2, 2), hex("00 01"));
        QCOMPARE(data.mid(6, 4), hex("02 01 05 00"));
        QCOMPARE(data.mid(12, 4), hex("02 03 01 2C"));
        QCOMPARE(readDeviceInfo(data)->software, d.software);

        SensorValueData s;
        s.present = {0xFF, 0x9C};
        QCOMPARE(writeSensorValue(s).mid(1, 2), hex("FF 9C"));
    }

    void reassemblesRdmReplies()
    {
        const QByteArray a = reply(1, PID_DEVICE_INFO, writeDeviceInfo({}));
        const QByteArray b = reply(2, PID_GAMMA, QByteArray(1, char(30)));

        RdmReassembler byteWise;
        QList<QByteArray> got;
        for (char ch : a + b) {
            byteWise.append(QByteArrayView(&ch, 1));
            while (auto m = byteWise.takeRdm())
                got << *m;
        }
        QCOMPARE(got, (QList<QByteArray>{a, b}));
        QVERIFY(!byteWise.pending());

        // Noise, a message with a broken checksum, then a good one, all in one read.
        QByteArray broken = a;
        broken[30] = char(broken[30] ^ 0x40);
        RdmReassembler mixed;
        mixed.append(hex("00 FE CC 00 CC") + broken + b);
        QCOMPARE(mixed.takeRdm(), std::optional<QByteArray>(b));
        QVERIFY(!mixed.takeRdm());

        // A false start whose length promises more than ever comes hides a good reply until the
        // line falls silent.
        RdmReassembler falseStart;
        falseStart.append(hex("CC 01 F0") + b);
        QVERIFY(!falseStart.takeRdm());
        QCOMPARE(falseStart.flushRdm(), std::optional<QByteArray>(b));
        QVERIFY(!falseStart.flushRdm());
        QVERIFY(!falseStart.pending());
    }

    void manyRepliesInOneRead()
    {
        QByteArray burst;
        for (quint32 id = 0; id < 40; ++id)
            burst += reply(id, PID_DEVICE_INFO, writeDeviceInfo({})); // 40 x 45 bytes
        RdmReassembler r;
        r.append(burst);
        int count = 0;
        while (auto m = r.takeRdm()) {
            QCOMPARE(quint8((*m)[14]), quint8(count));
            ++count;
        }
        QCOMPARE(count, 40);
    }

    void discoveryReceptionIsOneBurst()
    {
        const QByteArray one = encodeDiscoveryReply(makerUid(1));
        RdmReassembler r;
        r.append(one.left(5));
        QVERIFY(!r.takeDiscovery());
        r.append(one.mid(5, 10));
        QVERIFY(!r.takeDiscovery());
        r.append(one.mid(15) + hex("FF 00 12"));
        QCOMPARE(r.takeDiscovery(), std::optional<QByteArray>(one));
        QVERIFY(!r.pending());

        r.append(one.left(3));
        QCOMPARE(r.takeAll(), one.left(3));
    }
};

QTEST_APPLESS_MAIN(TestRdmCodec)
#include "tst_rdm_codec.moc"
