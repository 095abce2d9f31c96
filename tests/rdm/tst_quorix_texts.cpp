// What the operator reads of a USB controller (table cells, label rule), which set messages the
// controller dialog's edits call for, the detail of a port that cannot be opened, and which ports
// sit on a USB device.

#include "rdm/port_error_text.h"
#include "rdm/quorix_edits.h"
#include "rdm/quorix_texts.h"
#include "rdm/rdm_params.h"
#include "rdm/usb_serial_ports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <grp.h>
#include <unistd.h>

using namespace rdm;

namespace {

TQuorixCtrl controller(quint32 id, std::array<quint8, 2> tmp, std::array<quint8, 4> svid, QByteArray label)
{
    TQuorixCtrl c;
    c.setDeviceId(id);
    c.TMP = tmp;
    c.SVID = svid;
    std::copy(label.begin(), label.begin() + qMin<qsizetype>(label.size(), 32), c.LBL.begin());
    return c;
}

quint16 pidOf(const std::optional<RdmRequest> &r)
{
    return r ? r->pid : 0;
}

} // namespace

class TestQuorixTexts : public QObject {
    Q_OBJECT
private slots:
    void rowTexts_data()
    {
        QTest::addColumn<TQuorixCtrl>("c");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("warm") << controller(42, {0x00, 0xEB}, {2, 1, 5, 0}, "Stage left")
                              << QStringList{"Quorix 16", "Stage left", "V2.1.5", "0000002A", "23.5°C / 74.3°F"};
        QTest::newRow("below zero") << controller(0xDEADBEEF, {0xFF, 0x9C}, {10, 20, 255, 7}, "")
                                    << QStringList{"Quorix 16", "", "V10.20.255", "DEADBEEF", "-10.0°C / 14.0°F"};
        QTest::newRow("no device info yet") << controller(0, {0, 0}, {0, 0, 0, 0}, "")
                                            << QStringList{"Quorix 16", "", "V0.0.0", "00000000", "0.0°C / 32.0°F"};
        QTest::newRow("label of 32") << controller(1, {0x01, 0x00}, {1, 0, 0, 0}, QByteArray(32, 'W'))
                                     << QStringList{"Quorix 16", QString(32, 'W'), "V1.0.0", "00000001",
                                                    "25.6°C / 78.1°F"};
        // NUL bytes inside the label are left out, not an end: one rule for table and dialog.
        QTest::newRow("NUL inside, Latin-1 byte")
            << controller(2, {0, 1}, {1, 0, 0, 0}, QByteArray("Ab\0cd\xE9", 6))
            << QStringList{"Quorix 16", QStringLiteral("Abcd\u00E9"), "V1.0.0", "00000002", "0.1°C / 32.2°F"};
    }
    void rowTexts()
    {
        QFETCH(TQuorixCtrl, c);
        QFETCH(QStringList, cells);
        QCOMPARE(usbRowTexts(c), cells);
        QCOMPARE(editsOf(c).nickname, cells[1]);
    }

    void labelFromTyping()
    {
        const auto label = labelFromText(QStringLiteral("Bar \u00E9\u20AC") + QString(40, 'x'));
        QCOMPARE(label[4], quint8(0xE9));
        QCOMPARE(label[5], quint8('?')); // no byte for the euro sign
        QCOMPARE(label[31], quint8('x'));
        QCOMPARE(labelShown(labelFromText(QStringLiteral("Short"))), QStringLiteral("Short"));
        QCOMPARE(labelFromText(QStringLiteral("Short"))[5], quint8(0));
    }

    void startAddressLimits()
    {
        QCOMPARE(startAddressMax(1), 494);
        QCOMPARE(startAddressMax(2), 490);
        QCOMPARE(startAddressMax(3), 512);
        QCOMPARE(startAddressMax(0), 512);
    }

    void editsCallForSetMessages_data()
    {
        QTest::addColumn<QuorixEdits>("edited");
        QTest::addColumn<QList<quint16>>("pids"); // per step: label, mode, start, gamma; 0 = nothing
        const QuorixEdits shown{2, QStringLiteral("Truss"), 300, 22};
        QTest::newRow("nothing changed") << shown << QList<quint16>{0, 0, 0, 0};
        QTest::newRow("everything") << QuorixEdits{3, QStringLiteral("Truss 2"), 12, 30}
                                    << QList<quint16>{PID_DEVICE_LABEL, PID_DMX_PERSONALITY, PID_DMX_START_ADDRESS,
                                                      PID_GAMMA};
        QTest::newRow("gamma only") << QuorixEdits{2, QStringLiteral("Truss"), 300, 10}
                                    << QList<quint16>{0, 0, 0, PID_GAMMA};
        QTest::newRow("start address only") << QuorixEdits{2, QStringLiteral("Truss"), 301, 22}
                                            << QList<quint16>{0, 0, PID_DMX_START_ADDRESS, 0};
        QTest::newRow("mode cleared is not sent") << QuorixEdits{0, QStringLiteral("Truss"), 300, 22}
                                                  << QList<quint16>{0, 0, 0, 0};
    }
    void editsCallForSetMessages()
    {
        QFETCH(QuorixEdits, edited);
        QFETCH(QList<quint16>, pids);
        TQuorixCtrl rec = controller(0x1234, {0, 0}, {1, 2, 3, 0}, "Truss");
        rec.PERS = {2, 3};
        rec.STA = {0x01, 0x2C};
        rec.Gamma = 22;
        const TQuorixCtrl before = rec;
        const QuorixEdits shown = editsOf(rec);
        QCOMPARE(shown, (QuorixEdits{2, QStringLiteral("Truss"), 300, 22}));
        const EditMessages messages = editMessages(rec, shown, edited);
        QCOMPARE(rec, before); // nothing is stored before it is sent
        for (int i = 0; i < EditSteps; ++i) {
            QCOMPARE(pidOf(messages[std::size_t(i)]), pids[i]);
            if (messages[std::size_t(i)])
                storeEdit(rec, EditStep(i), edited);
        }
        // The record holds what was sent, and the messages carry those values.
        if (messages[0])
            QCOMPARE(messages[0]->data, bytesOf(rec.LBL));
        if (messages[2])
            QCOMPARE(messages[2]->data, QByteArray::fromHex(QByteArray::number(edited.startAddress, 16).rightJustified(4, '0')));
        if (messages[3])
            QCOMPARE(messages[3]->data, QByteArray(1, char(edited.gammaTenths)));
        QuorixEdits stored = edited;
        if (edited.personality == 0)
            stored.personality = before.PERS[0];
        QCOMPARE(editsOf(rec), stored);
        for (const auto &m : messages)
            if (m)
                QCOMPARE(m->dest, makerUid(0x1234));
    }

    // The group named in the advice is one the operator could join: not root's, and not one from
    // outside the user namespace (shown as the overflow id, as in the demo).
    void deviceGroupIsOneToJoin()
    {
        QTemporaryFile device;
        QVERIFY(device.open());
        const QByteArray path = QFile::encodeName(device.fileName());
        if (::getuid() != 0) {
            QCOMPARE(deviceGroup(device.fileName()), QFileInfo(device.fileName()).group());
            QSKIP("giving a file to another group needs root");
        }
        QFile overflow(QStringLiteral("/proc/sys/kernel/overflowgid"));
        QVERIFY(overflow.open(QIODevice::ReadOnly));
        const gid_t unmapped = gid_t(overflow.readAll().trimmed().toUInt());
        const group *dialout = ::getgrnam("dialout");
        QVERIFY(dialout);
        const struct {
            gid_t gid;
            QString expected;
        } cases[] = {{dialout->gr_gid, QStringLiteral("dialout")}, {0, {}}, {unmapped, {}}};
        for (const auto &c : cases) {
            QCOMPARE(::chown(path.constData(), uid_t(-1), c.gid), 0);
            QCOMPARE(deviceGroup(device.fileName()), c.expected);
        }
    }

    void portDetail()
    {
        QVERIFY(deviceGroup(QStringLiteral("/nonexistent/ttyUSB9")).isEmpty());
        QCOMPARE(portSystemLocation(QStringLiteral("ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(portSystemLocation(QStringLiteral("/dev/pts/4")), QStringLiteral("/dev/pts/4"));

        const QString denied = portOpenDetail(PortFailure::PermissionDenied, QStringLiteral("ttyUSB0"),
                                              QStringLiteral("/dev/ttyUSB0"), QStringLiteral("Permission denied"),
                                              QStringLiteral("dialout"));
        QVERIFY2(denied.contains(QStringLiteral("group \"dialout\"")), qPrintable(denied));
        QVERIFY(denied.contains(QStringLiteral("/dev/ttyUSB0")));
        const QString missing = portOpenDetail(PortFailure::Missing, QStringLiteral("Com5"), QStringLiteral("/dev/Com5"),
                                               QStringLiteral("No such file or directory"), {});
        QVERIFY2(missing.contains(QStringLiteral("no serial port Com5 (/dev/Com5)")), qPrintable(missing));
        const QString busy = portOpenDetail(PortFailure::Busy, QStringLiteral("ttyACM0"), QStringLiteral("/dev/ttyACM0"),
                                            QStringLiteral("Device or resource busy"), QStringLiteral("dialout"));
        QVERIFY2(busy.contains(QStringLiteral("in use by another program")), qPrintable(busy));
        const QString other = portOpenDetail(PortFailure::Other, QStringLiteral("x"), QStringLiteral("/dev/x"),
                                             QStringLiteral("Input/output error"), {});
        QVERIFY(other.endsWith(QStringLiteral("Input/output error")));
    }

    // A device tree as the system lays it out: a USB adapter's port below its interface, a modem
    // whose port is the interface itself, a board's own serial port, a virtual terminal, and a
    // port whose hardware has gone.
    void usbSerialPortsFromTheDeviceTree()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir r(root.path());
        const auto dir = [&](const QString &path) { QVERIFY(r.mkpath(path)); };
        const auto file = [&](const QString &path) {
            QFile f(r.filePath(path));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("0403\n");
        };
        const auto port = [&](const QString &name, const QString &hardware) {
            dir(QStringLiteral("class/") + name);
            if (!hardware.isEmpty())
                QVERIFY(QFile::link(QStringLiteral("../../devices/") + hardware,
                                    r.filePath(QStringLiteral("class/%1/device").arg(name))));
        };
        dir(QStringLiteral("devices/pci0/usb1/1-1/1-1:1.0/ttyUSB0"));
        file(QStringLiteral("devices/pci0/usb1/1-1/idVendor"));
        dir(QStringLiteral("devices/pci0/usb1/1-2/1-2:1.0"));
        file(QStringLiteral("devices/pci0/usb1/1-2/idVendor"));
        dir(QStringLiteral("devices/platform/serial8250"));
        port(QStringLiteral("ttyUSB0"), QStringLiteral("pci0/usb1/1-1/1-1:1.0/ttyUSB0"));
        port(QStringLiteral("ttyACM0"), QStringLiteral("pci0/usb1/1-2/1-2:1.0"));
        port(QStringLiteral("ttyS0"), QStringLiteral("platform/serial8250"));
        port(QStringLiteral("tty1"), {});
        port(QStringLiteral("ttyUSB1"), QStringLiteral("pci0/usb1/1-3/1-3:1.0/ttyUSB1")); // unplugged

        QCOMPARE(usbSerialPorts(r.filePath(QStringLiteral("class"))),
                 std::optional(QStringList{QStringLiteral("ttyACM0"), QStringLiteral("ttyUSB0")}));
        QCOMPARE(usbSerialPorts(r.filePath(QStringLiteral("none"))), std::nullopt);
    }
};

QTEST_APPLESS_MAIN(TestQuorixTexts)
#include "tst_quorix_texts.moc"
