// What the configuration workflow decides without a window: features by model, hardware and
// firmware, the chip list, what the dialogs show, how they become a record again, simple mapping,
// and the IP compatibility check.

#include "net/config_datagram.h"
#include "config/config_workflow_rules.h"
#include "workflow_test_util.h"

#include <QTest>

using namespace config::flow;
using workflowtest::consistentRecord;

Q_DECLARE_METATYPE(config::flow::IpCheck)

namespace {

using workflowtest::FirmwareOffer;
using workflowtest::Offers;

} // namespace

class TestConfigWorkflowRules : public QObject {
    Q_OBJECT
private slots:
    void featuresGrid_data()
    {
        QTest::addColumn<int>("offer");
        QTest::addColumn<int>("numStrings");
        QTest::addColumn<int>("hwRev");
        for (int o = 0; o < int(std::size(Offers)); ++o)
            for (int strings : {16, 4})
                for (int hw : {2, 3, 5})
                    QTest::addRow("%s %d outputs HwRev %d", Offers[o].firmware, strings, hw) << o << strings << hw;
    }
    void featuresGrid()
    {
        QFETCH(int, offer);
        QFETCH(int, numStrings);
        QFETCH(int, hwRev);
        const FirmwareOffer &o = Offers[offer];
        const TTessaraCtrl c = consistentRecord(QString::fromLatin1(o.firmware), numStrings, hwRev);
        const Features f = featuresOf(c);
        QCOMPARE(f.sixteenOutputs, numStrings == 16);
        QCOMPARE(f.singleOrderSelectable, o.singleOrder);
        QCOMPARE(f.dmxOutputs, o.dmx);
        // Outputs 2 to 4 exist only on the 16-output board from revision 3.
        QCOMPARE(f.allDmxOutputs, o.dmx && numStrings == 16 && hwRev >= 3);
        QCOMPARE(f.speedChoice, o.speed);
        QCOMPARE(f.perOutputOrder, o.perOutputOrder);
        QCOMPARE(f.protocolChoice, o.protocol);
        QCOMPARE(f.holdFrame, o.holdFrame);
        QCOMPARE(f.groupingEditable, o.holdFrame);
        QCOMPARE(f.fan, hwRev >= 5);
        QCOMPARE(f.networkRepair, o.repair);
        QCOMPARE(speedCaption(f), QString(o.speed ? "Speed:" : "Sp"));

        const QStringList chips = chipList(c);
        QCOMPARE(chips.size(), o.chips);
        QCOMPARE(chips.last(), QString::fromLatin1(o.lastChip));

        // What the fill leaves alone is exactly what the controller does not offer.
        const DialogValues v = fillValues(c);
        QCOMPARE(v.artNet.has_value(), o.protocol);
        QCOMPARE(v.holdFrame.has_value(), o.holdFrame);
        QCOMPARE(v.dmxOn.has_value(), o.dmx);
        QCOMPARE(v.slow.has_value(), o.speed);
        QCOMPARE(v.perOutputOrder.has_value(), o.perOutputOrder);
        QCOMPARE(v.fan.has_value(), hwRev >= 5);
    }

    void chipLists()
    {
        // Codes are list positions, so the order is part of the protocol.
        const QStringList all{"TLS3001", "SM16716", "WS2801", "LPD6803", "WS2811/12", "MBI6020",
                              "TM1803",  "TM1804",  "TM1809", "Stella"};
        QCOMPARE(chipList(consistentRecord("V1.2.3")), all.mid(0, 6));
        QCOMPARE(chipList(consistentRecord("V1.2.6")), all.mid(0, 6));
        QCOMPARE(chipList(consistentRecord("V1.2.8")), all + QStringList{"WS2811 Slow"});
        QCOMPARE(chipList(consistentRecord("V1.4.3")), all);
        QCOMPARE(chipList(consistentRecord("V1.4.4")), all + QStringList{"APA102"});
        QCOMPARE(chipList(consistentRecord("V2.0.0")), all + QStringList{"APA102"});
        // A text that is no version offers only what every firmware has.
        QCOMPARE(chipList(consistentRecord("garbage")), all.mid(0, 5));
    }

    void simpleMapping_data()
    {
        QTest::addColumn<int>("universe");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QList<int>>("firstStarts"); // universe, channel of outputs 1, 2, ...
        QTest::newRow("100 pixels") << 1 << 1 << 100 << QList<int>{1, 1, 1, 301, 2, 91, 2, 391, 3, 181};
        QTest::newRow("170 pixels fill a universe") << 1 << 1 << 170 << QList<int>{1, 1, 2, 1, 3, 1};
        QTest::newRow("start channel 508") << 9 << 508 << 1 << QList<int>{9, 508, 10, 1, 10, 4};
        // The universe counter is 16 bits wide and wraps like the controller's.
        QTest::newRow("16-bit universe") << 65535 << 1 << 170 << QList<int>{65535, 1, 0, 1, 1, 1};
    }
    void simpleMapping()
    {
        QFETCH(int, universe);
        QFETCH(int, channel);
        QFETCH(int, pixels);
        QFETCH(QList<int>, firstStarts);
        const auto starts = config::flow::simpleMapping(quint16(universe), quint16(channel), quint16(pixels));
        for (int i = 0; i < firstStarts.size() / 2; ++i)
            QCOMPARE(starts[i], (config::outputmapping::Start{firstStarts[2 * i], firstStarts[2 * i + 1]}));
    }

    void fillShows()
    {
        TTessaraCtrl c = consistentRecord("V1.4.5", 16, 5);
        c.Voltage = {0xFFFF, 0};
        c.Nickname = {};
        net::tessara::setFixedText(c.Nickname, QStringLiteral("Bar"));
        c.Nickname[5] = u'!'; // after a zero: joined to the name
        DialogValues v = fillValues(c);
        QCOMPARE(v.nickname, QStringLiteral("Bar!"));
        QCOMPARE(v.voltage[0], (VoltageDisplay{"Powered", Green}));
        QCOMPARE(v.voltage[1], (VoltageDisplay{"Off", Red}));
        QCOMPARE(voltageDisplay(124), (VoltageDisplay{"12.4V", Green}));
        // The locale's decimal separator, no digit grouping.
        for (const auto &[locale, small, large] : {std::tuple{"de_DE", "12,4V", "6553,4V"}, {"en_US", "12.4V", "6553.4V"}}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
            const VoltageDisplay a = voltageDisplay(124), b = voltageDisplay(65534);
            QLocale::setDefault(QLocale::c());
            QCOMPARE(a.text, QString::fromLatin1(small));
            QCOMPARE(b.text, QString::fromLatin1(large));
        }
        QCOMPARE(*v.fan, QStringLiteral("45"));
        c.FanTemp = 35;
        QCOMPARE(*fillValues(c).fahrenheit, QStringLiteral("95 °F"));
        c.FanTemp = 11;
        QCOMPARE(*fillValues(c).fahrenheit, QStringLiteral("52 °F"));

        QCOMPARE(v.gamma, (std::array<QString, 3>{"2.2", "2.5", "1.8"}));
        QVERIFY(!v.lockSliders);
        c.Gamma = {22, 22, 22};
        QVERIFY(fillValues(c).lockSliders);

        QCOMPARE(v.startUniv, QStringLiteral("7"));
        QVERIFY(!v.advanced);
        c.SacnUniv = 0;
        c.SacnChan = 0;
        v = fillValues(c);
        QVERIFY(v.advanced);
        QCOMPARE((QStringList{v.startUniv, v.startChan, v.nodes}), (QStringList{"1", "1", "1"}));

        // A chip code the list lacks shows no chip.
        c.DriverChip = 10;
        QCOMPARE(fillValues(c).chip, 10);
        QCOMPARE(fillValues(consistentRecord("V1.3.0")).chip, 4);
        TTessaraCtrl older = consistentRecord("V1.3.0");
        older.DriverChip = 10;
        QCOMPARE(fillValues(older).chip, -1);
    }

    void colourOrderFill()
    {
        TTessaraCtrl c = consistentRecord("V1.3.1");
        DialogValues v = fillValues(c);
        QCOMPARE(*v.perOutputOrder, false);
        QCOMPARE(v.order, 2);
        QCOMPARE((*v.outputOrders)[5], 5);
        c.RgbOrder = {0xFF, 0xFF, 0xFF};
        c.AdvRgbOrder[3] = 9; // no such order: no selection
        v = fillValues(c);
        QCOMPARE(*v.perOutputOrder, true);
        QCOMPARE(v.order, 0);
        QCOMPARE((*v.outputOrders)[3], -1);

        TTessaraCtrl earlier = consistentRecord("V1.3.0");
        earlier.RgbOrder = {2, 0, 1}; // GBR in the earlier form
        v = fillValues(earlier);
        QVERIFY(!v.perOutputOrder && !v.outputOrders);
        QCOMPARE(v.order, 3);
        net::tessara::setFixedText(earlier.Firmware, QStringLiteral("V1.2.3"));
        QCOMPARE(fillValues(earlier).order, 0); // not selectable yet: shows "RGB"
    }

    // OK without changes writes back exactly the record, for every firmware of the grid.
    void unchangedRoundTrip_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<int>("numStrings");
        QTest::addColumn<int>("hwRev");
        for (const FirmwareOffer &o : Offers)
            for (int strings : {16, 4})
                QTest::addRow("%s %d", o.firmware, strings) << QString::fromLatin1(o.firmware) << strings << 3;
    }
    void unchangedRoundTrip()
    {
        QFETCH(QString, firmware);
        QFETCH(int, numStrings);
        QFETCH(int, hwRev);
        TTessaraCtrl c = consistentRecord(firmware, numStrings, hwRev);
        const Features f = featuresOf(c);
        if (!f.perOutputOrder)
            workflowtest::useEarlierOrder(c, f.singleOrderSelectable);
        // The form side reads every control; what the fill did not set holds some other state.
        DialogValues v = fillValues(c);
        if (!v.artNet)
            v.artNet = false;
        if (!v.holdFrame)
            v.holdFrame = false;
        if (!v.dmxOn) {
            v.dmxOn = std::array<bool, 4>{};
            v.dmxUniv = std::array<QString, 4>{"1", "1", "1", "1"};
        }
        if (!v.slow)
            v.slow = true;
        if (!v.perOutputOrder) {
            v.perOutputOrder = true; // left ticked by a newer controller
            v.outputOrders = std::array<int, 16>{};
        }
        if (!v.fan)
            v.fan = QString();
        const auto back = readBack(v, c);
        QVERIFY(back);
        QCOMPARE(net::orvantic::buildConfigDatagram(*back), net::orvantic::buildConfigDatagram(c));
        QVERIFY(*back == c);
    }

    void editsReachTheRecord()
    {
        const TTessaraCtrl c = consistentRecord("V1.4.5", 16, 5);
        DialogValues v = fillValues(c);
        v.ip = {"10", "1", "2", "300"}; // 300 keeps its low 8 bits
        v.dhcp = true;
        v.startUniv = "2";
        v.startChan = "508";
        v.nodes = "1";
        v.artNet = false;
        v.holdFrame = false;
        (*v.dmxOn)[1] = true;
        (*v.dmxUniv)[3] = "63999";
        v.chip = 10;
        v.slow = true;
        v.gamma = {"2.25", "2.35", "3.0"}; // tenths rounded halves to even
        v.nickname = QString(45, QLatin1Char('n'));
        v.fan = "abc";
        v.order = 5;
        const auto back = readBack(v, c);
        QVERIFY(back);
        QCOMPARE(back->StaticIP, (std::array<quint8, 4>{10, 1, 2, 44}));
        QCOMPARE(back->DHCP, quint8(1));
        QCOMPARE(back->SacnUniv, quint16(2));
        QCOMPARE(back->SacnChan, quint16(508));
        QCOMPARE(back->AdvUniv[1], quint16(3));
        QCOMPARE(back->AdvChan[2], quint16(4));
        QCOMPARE(back->NumNodes[15], quint16(1));
        QCOMPARE(back->Protocol, quint8(0));
        QCOMPARE(back->HoldLastFrame, quint8(0));
        QCOMPARE(back->DmxOutOn, (std::array<quint8, 4>{1, 1, 1, 1}));
        QCOMPARE(back->DmxOutUniv[3], quint16(63999));
        QCOMPARE(back->DriverChip, quint8(10));
        QCOMPARE(back->ProtocolSpeed, quint8(0));
        QCOMPARE(back->Gamma, (std::array<quint8, 3>{22, 24, 30}));
        QCOMPARE(back->Nickname[38], u'n');
        QCOMPARE(back->Nickname[39], u'\0'); // at most 39 characters
        QCOMPARE(back->FanTemp, quint8(35));
        QCOMPARE(back->RgbOrder, (std::array<quint8, 3>{5, 0x11, 0x22}));
        QCOMPARE(back->Grouping, c.Grouping); // simple mapping keeps grouping and intensity
        QCOMPARE(back->Brightness, c.Brightness);
    }

    void advancedMappingReadBack()
    {
        TTessaraCtrl c = consistentRecord("V1.4.5", 4, 3);
        DialogValues v = fillValues(c);
        v.advanced = true;
        for (int i = 0; i < 16; ++i)
            v.rows[i] = {QString::number(100 + i), "4", "340", "2", "17", "3", "50", i == 15};
        const auto back = readBack(v, c);
        QVERIFY(back);
        QCOMPARE(back->SacnUniv, quint16(0));
        QCOMPARE(back->SacnChan, quint16(0));
        // All 16 rows, also those a 4-output controller hides.
        QCOMPARE(back->AdvUniv[15], quint16(115));
        QCOMPARE(back->AdvReverse[15], quint8(1));
        QCOMPARE(back->AdvZig[12], quint16(17));
        QCOMPARE(back->Grouping[9], quint16(3));
        QCOMPARE(back->Brightness[0], quint8(50));
        QCOMPARE(net::orvantic::buildConfigDatagram(*back).mid(118, 4), QByteArray(4, '\0'));
    }

    void colourOrderReadBack()
    {
        // Per output, firmware 1.3.1 and later; a combo without selection keeps the record's code.
        TTessaraCtrl c = consistentRecord("V1.3.1");
        DialogValues v = fillValues(c);
        v.perOutputOrder = true;
        std::array<int, 16> orders{};
        orders.fill(1);
        orders[2] = 5;
        orders[7] = -1;
        v.outputOrders = orders;
        auto back = readBack(v, c);
        QCOMPARE(back->RgbOrder, (std::array<quint8, 3>{0xFF, 0xFF, 0xFF}));
        QCOMPARE(back->AdvRgbOrder[2], quint8(5));
        QCOMPARE(back->AdvRgbOrder[7], c.AdvRgbOrder[7]);
        const QByteArray d = net::orvantic::buildConfigDatagram(*back);
        QCOMPARE(d.mid(254, 3), QByteArray("\xFF\xFF\xFF"));
        QCOMPARE(quint8(d[270 + 2]), quint8(5));

        // Single order, current form, without selection: the record's code stays.
        v.perOutputOrder = false;
        v.order = -1;
        QCOMPARE(readBack(v, c)->RgbOrder, c.RgbOrder);

        // Earlier form: a ticked but hidden per-output box counts for nothing.
        TTessaraCtrl earlier = consistentRecord("V1.3.0");
        v = fillValues(earlier);
        v.perOutputOrder = true;
        v.outputOrders = orders;
        v.order = 3;
        back = readBack(v, earlier);
        QCOMPARE(back->RgbOrder, (std::array<quint8, 3>{2, 0, 1}));
        QCOMPARE(back->AdvRgbOrder, earlier.AdvRgbOrder);
        v.order = -1;
        QCOMPARE(readBack(v, earlier)->RgbOrder, (std::array<quint8, 3>{2, 1, 0}));
    }

    // Controls the controller does not offer pass on the record's values, not what an earlier
    // controller left in them.
    void hiddenControlsKeepTheRecord()
    {
        TTessaraCtrl c = consistentRecord("V1.2.2", 4, 2);
        c.Protocol = 1;
        c.HoldLastFrame = 0;
        c.ProtocolSpeed = 0;
        c.FanTemp = 0;
        c.DmxOutOn = {0, 1, 0, 1};
        c.DmxOutUniv = {0, 0, 0, 0};
        workflowtest::useEarlierOrder(c, false);
        DialogValues v = fillValues(c);
        v.artNet = false;
        v.holdFrame = true;
        v.slow = false;
        v.fan = "60";
        v.dmxOn = std::array<bool, 4>{true, true, true, true};
        v.dmxUniv = std::array<QString, 4>{"9", "9", "9", "9"};
        const auto back = readBack(v, c);
        QVERIFY(back);
        QCOMPARE(back->Protocol, quint8(1));
        QCOMPARE(back->HoldLastFrame, quint8(0));
        QCOMPARE(back->ProtocolSpeed, quint8(0));
        QCOMPARE(back->FanTemp, quint8(0));
        QCOMPARE(back->DmxOutOn, c.DmxOutOn);
        QCOMPARE(back->DmxOutUniv, c.DmxOutUniv);

        // Only output 1 of the DMX group where the others are hidden.
        TTessaraCtrl one = consistentRecord("V1.2.9", 16, 2);
        v = fillValues(one);
        v.dmxOn = std::array<bool, 4>{false, true, true, true};
        v.dmxUniv = std::array<QString, 4>{"20", "21", "22", "23"};
        const auto backOne = readBack(v, one);
        QCOMPARE(backOne->DmxOutOn, (std::array<quint8, 4>{0, 0, 1, 1}));
        QCOMPARE(backOne->DmxOutUniv, (std::array<quint16, 4>{20, 12, 13, 14}));

        // A chip combo without selection keeps the record's code.
        v.chip = -1;
        QCOMPARE(readBack(v, one)->DriverChip, one.DriverChip);
    }

    void unreadableBoxChangesNothing_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("advanced");
        QTest::newRow("gamma") << "Green gamma value" << false;
        QTest::newRow("octet") << "Subnet Mask octet 3" << false;
        QTest::newRow("start universe") << "Start Universe" << false;
        QTest::newRow("DMX universe") << "DMX Output 4 Universe" << false;
        QTest::newRow("advanced row") << "Output 12 Zig Zag" << true;
    }
    void unreadableBoxChangesNothing()
    {
        QFETCH(QString, box);
        QFETCH(bool, advanced);
        const TTessaraCtrl c = consistentRecord("V1.4.5");
        DialogValues v = fillValues(c);
        for (int i = 0; i < 16; ++i)
            v.rows[i] = {"1", "1", "1", "0", "0", "1", "100", false};
        v.advanced = advanced;
        v.nickname = "changed";
        if (box == "Green gamma value")
            v.gamma[1] = "2.x";
        else if (box == "Subnet Mask octet 3")
            v.sm[2] = "";
        else if (box == "Start Universe")
            v.startUniv = "one";
        else if (box == "DMX Output 4 Universe")
            (*v.dmxUniv)[3] = "4 4";
        else
            v.rows[11].zig = "-";
        QString unreadable;
        QVERIFY(!readBack(v, c, &unreadable));
        QCOMPARE(unreadable, box);
    }

    void networkReadBack()
    {
        const TTessaraCtrl c = consistentRecord("V1.4.5");
        DialogValues v = fillValues(c);
        v.ip = {"10", "77", "2", "30"};
        v.sm = {"255", "255", "0", "0"};
        v.dhcp = false;
        v.nickname = "ignored";
        v.gamma[0] = "not read";
        auto back = readBackNetwork(v, c);
        QVERIFY(back);
        TTessaraCtrl expected = c;
        expected.StaticIP = {10, 77, 2, 30};
        expected.SM = {255, 255, 0, 0};
        QVERIFY(*back == expected);
        v.ip[0] = "x";
        QString unreadable;
        QVERIFY(!readBackNetwork(v, c, &unreadable));
        QCOMPARE(unreadable, QStringLiteral("IP Address octet 1"));
    }

    void ipCheck_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("adapterNetwork");
        QTest::addColumn<IpCheck>("expected");
        QTest::newRow("same network") << "192.168.0.50" << "255.255.255.0" << "V1.4.5" << "192.168.0.0"
                                      << IpCheck::SameNetwork;
        QTest::newRow("other network, 1.4.5") << "10.0.0.50" << "255.0.0.0" << "V1.4.5" << "192.168.0.0"
                                              << IpCheck::OfferRepair;
        QTest::newRow("other network, 1.4.4") << "10.0.0.50" << "255.0.0.0" << "V1.4.4" << "192.168.0.0"
                                              << IpCheck::OldFirmware;
        QTest::newRow("each with its own mask") << "192.168.1.50" << "255.255.0.0" << "V1.4.5" << "192.168.1.0"
                                                << IpCheck::OfferRepair;
        QTest::newRow("no mask reported") << "192.168.0.50" << "0.0.0.0" << "V1.4.5" << "192.168.0.0"
                                          << IpCheck::OfferRepair;
        QTest::newRow("no mask, adapter 0.0.0.0") << "192.168.0.50" << "0.0.0.0" << "V1.4.5" << "0.0.0.0"
                                                  << IpCheck::SameNetwork;
        QTest::newRow("no adapter chosen") << "192.168.0.50" << "255.255.255.0" << "V1.4.5" << ""
                                           << IpCheck::OfferRepair;
    }
    void ipCheck()
    {
        QFETCH(QString, ip);
        QFETCH(QString, mask);
        QFETCH(QString, firmware);
        QFETCH(QString, adapterNetwork);
        QFETCH(IpCheck, expected);
        TTessaraCtrl c = consistentRecord(firmware);
        const QStringList ipParts = ip.split('.'), maskParts = mask.split('.');
        for (int k = 0; k < 4; ++k) {
            c.CurrentIP[k] = quint8(ipParts[k].toInt());
            c.CurrentSM[k] = quint8(maskParts[k].toInt());
        }
        QCOMPARE(ipCompatibility(c, adapterNetwork), expected);
    }
};

QTEST_GUILESS_MAIN(TestConfigWorkflowRules)
#include "tst_config_workflow_rules.moc"
