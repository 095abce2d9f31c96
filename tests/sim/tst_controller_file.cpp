// The virtual controllers' description files: what a block sets, and which lines are refused.

#include "sim/controller_file.h"
#include "net/orvantic.h"

#include <QFile>
#include <QTest>

class TestControllerFile : public QObject {
    Q_OBJECT
private slots:
    void blocksSetRecordFields()
    {
        QString error;
        const auto list = parseControllerFile(QStringLiteral(R"(
# two controllers
[controller]
model = Tessara 4
ip = 10.77.1.11   # address it answers from
mask = 255.255.0.0
mac = 02:aa:bb:cc:dd:ee
nickname = Truss
firmware = V1.2.8
Temperature = 333
NumNodes = 300, 170
Gamma = 10,20,30
duplicate = 1

[controller]
ip = 10.77.1.12
)"),
                                              &error);
        QVERIFY2(list, qPrintable(error));
        QCOMPARE(list->size(), 2);
        const VirtualController &a = list->at(0);
        QCOMPARE(a.model, QStringLiteral("Tessara 4"));
        QCOMPARE(a.ctrl.NumStrings, quint8(4));
        QCOMPARE(a.ctrl.CurrentIP, (std::array<quint8, 4>{10, 77, 1, 11}));
        QCOMPARE(a.ctrl.StaticIP, a.ctrl.CurrentIP);
        QCOMPARE(a.ctrl.CurrentSM, (std::array<quint8, 4>{255, 255, 0, 0}));
        QCOMPARE(a.ctrl.SM, a.ctrl.CurrentSM); // its static setting is the one it uses
        QCOMPARE(a.ctrl.MAC, (std::array<quint8, 6>{0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE}));
        QCOMPARE(net::tessara::fixedText(a.ctrl.Nickname), QStringLiteral("Truss"));
        QCOMPARE(net::tessara::fixedText(a.ctrl.Firmware), QStringLiteral("V1.2.8"));
        QCOMPARE(a.ctrl.Temperature, quint16(333));
        QCOMPARE(a.ctrl.NumNodes[0], quint16(300));
        QCOMPARE(a.ctrl.NumNodes[15], quint16(170)); // a short list repeats its last value
        QCOMPARE(a.ctrl.Gamma, (std::array<quint8, 3>{10, 20, 30}));
        QVERIFY(a.duplicate);
        QCOMPARE(list->at(1).model, QStringLiteral("Tessara 16"));
        QCOMPARE(list->at(1).ctrl.MAC, (std::array<quint8, 6>{0x02, 0x47, 0x4C, 77, 1, 12}));
        // What the file describes is what a search would read back.
        const auto reply = net::orvantic::parsePollReply(net::orvantic::buildPollReply(a.ctrl, a.model));
        QVERIFY(reply && reply->ctrl == a.ctrl);
    }

    // The demo's adapter is 10.77.0.1/16: what an operator opens first must not be offered an IP
    // repair, and the one controller that is meant to be is named for it.
    void demoControllersFitTheDemoAdapterButOne()
    {
        QFile file(QStringLiteral(GLW_DEMO_CONTROLLERS));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString error;
        const auto list = parseControllerFile(QString::fromUtf8(file.readAll()), &error);
        QVERIFY2(list, qPrintable(error));
        const auto network = [](const TTessaraCtrl &c) {
            return QStringLiteral("%1.%2.%3.%4")
                .arg(c.CurrentIP[0] & c.CurrentSM[0])
                .arg(c.CurrentIP[1] & c.CurrentSM[1])
                .arg(c.CurrentIP[2] & c.CurrentSM[2])
                .arg(c.CurrentIP[3] & c.CurrentSM[3]);
        };
        int foreign = 0;
        for (const VirtualController &entry : *list) {
            const QString name = net::tessara::fixedText(entry.ctrl.Nickname);
            const bool fits = network(entry.ctrl) == QLatin1String("10.77.0.0");
            QVERIFY2(fits == (name != QLatin1String("Other subnet")), qPrintable(name));
            foreign += fits ? 0 : 1;
        }
        QCOMPARE(foreign, 1);
    }

    void badLinesAreRefusedWithTheirLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("key first") << "ip = 10.0.0.1" << "line 1: a key before the first [controller]";
        QTest::newRow("no equals") << "[controller]\nmodel" << "line 2: expected key = value";
        QTest::newRow("model") << "[controller]\nmodel = Tessara 8" << "line 2: unknown model \"Tessara 8\"";
        QTest::newRow("address") << "[controller]\nip = 10.0.0.300" << "line 2: bad address \"10.0.0.300\"";
        QTest::newRow("too big") << "[controller]\nHwRev = 256" << "line 2: bad value \"256\" for HwRev";
        // One byte per character on the wire: the controller could not send what it describes.
        QTest::newRow("wide nickname") << QString::fromUtf8("[controller]\nnickname = Stage \u0141")
                                       << QString::fromUtf8("line 2: nickname \"Stage \u0141\" has a character a controller cannot send");
        QTest::newRow("wide firmware") << QString::fromUtf8("[controller]\nFirmware = V\u2461")
                                       << QString::fromUtf8("line 2: firmware \"V\u2461\" has a character a controller cannot send");
        QTest::newRow("unknown") << "[controller]\nColour = red" << "line 2: unknown key \"Colour\"";
    }
    void badLinesAreRefusedWithTheirLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QString got;
        QVERIFY(!parseControllerFile(text, &got));
        QCOMPARE(got, error);
    }
};

QTEST_GUILESS_MAIN(TestControllerFile)
#include "tst_controller_file.moc"
