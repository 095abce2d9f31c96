// The USB tab's search end to end: a real QSerialPort on the slave side of a pseudo-terminal,
// virtual controllers on the master side.

#include "glw_test.h"
#include "rdm/quorix_texts.h"
#include "sim/rdm/rdm_line_sim.h"
#include "rdm_test_records.h"
#include "rdm/usb_tab.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

namespace {

constexpr int SearchTimeoutMs = 120000;

// A virtual line on a pty and the USB tab opening its slave side.
struct PtyLine {
    explicit PtyLine(QList<VirtualQuorix> controllers, bool split = false, int latencyMs = 0, int gapMs = 0)
        : sim(std::move(controllers))
    {
        sim.setSplitReplies(split);
        sim.setLatencyMs(latencyMs);
        sim.setReplyGapMs(gapMs);
        started = sim.start(&error);
        tab.setPortName(sim.slavePath());
    }
    RdmLineSim sim;
    UsbTab tab;
    QString error;
    bool started = false;
};

bool runSearch(UsbTab &tab)
{
    QSignalSpy ended(&tab, &UsbTab::searchEnded);
    QTest::mouseClick(tab.USB_Search, Qt::LeftButton);
    return ended.count() > 0 || ended.wait(SearchTimeoutMs);
}

} // namespace

class TestUsbSearch : public QObject {
    Q_OBJECT
private slots:
    void searchOverPty_data()
    {
        QTest::addColumn<QList<quint32>>("ids");
        QTest::addColumn<bool>("split");
        QTest::addColumn<int>("latencyMs");
        QTest::addColumn<bool>("dropMute");
        QTest::addColumn<int>("gapMs");
        const QList<quint32> ten{0x00000000, 0x00001000, 0x00001001, 0x12345678, 0x7FFFFFFF,
                                 0x80000000, 0xBFFFFFFF, 0xC0000000, 0xC0000001, 0xFFFFFFFF};
        QTest::newRow("none") << QList<quint32>{} << false << 0 << false << 0;
        QTest::newRow("one") << QList<quint32>{0x00001000} << false << 0 << false << 0;
        QTest::newRow("IDs 1 and 2") << QList<quint32>{1, 2} << false << 0 << false << 0;
        QTest::newRow("ten, high IDs among them") << ten << false << 0 << false << 0;
        QTest::newRow("ten, replies in pieces") << ten << true << 0 << false << 0;
        QTest::newRow("ten, 16 ms adapter latency, pieces") << ten << true << 16 << false << 0;
        // A USB interface's latency timer (16 ms by default) can split every reply, in every mode.
        QTest::newRow("replies split 16 ms apart") << QList<quint32>{0x1000, 0x1001, 0x80000000} << false << 0 << false
                                                   << 16;
        // Their collision reads as a valid reply from 0x122D7800, which nobody acknowledges.
        QTest::newRow("close IDs whose mix reads as a third")
            << QList<quint32>{0x122D7880, 0x122D7881} << false << 0 << false << 0;
        QTest::newRow("mute replies lost") << QList<quint32>{0x80000000, 0x80000001, 0x42} << true << 0 << true << 0;
    }

    // The paced search and the fast one over the same line: the same records and table, each
    // controller asked once per reading in the order found, and the progress in the status bar.
    // (Byte for byte the same messages is shown without a clock in the session's own test; over a
    // real port a loaded machine may let a 20 ms discovery wait run out in either mode.)
    void searchOverPty()
    {
        QFETCH(QList<quint32>, ids);
        QFETCH(bool, split);
        QFETCH(int, latencyMs);
        QFETCH(bool, dropMute);
        QFETCH(int, gapMs);
        QList<VirtualQuorix> line = virtualLine(ids);
        if (dropMute)
            for (VirtualQuorix &v : line)
                v.dropMuteReplies = 1;

        for (bool fast : {false, true}) {
            PtyLine pty(line, split, latencyMs, gapMs);
            QVERIFY2(pty.started, qPrintable(pty.error));
            RdmLineSim &sim = pty.sim;
            UsbTab &tab = pty.tab;
            tab.Link->Session.fastSearch = fast;
            QSignalSpy counts(&tab, &UsbTab::countChanged);
            QSignalSpy status(tab.StatusBar1, &QStatusBar::messageChanged);
            QVERIFY(runSearch(tab));

            QVERIFY(!tab.Link->ComPort1->isOpen());
            QVERIFY(tab.wheelSearching->isHidden());
            QVERIFY(tab.lblSearching->isHidden());
            QCOMPARE(tab.ComLabel->text(), QStringLiteral("Using Com 1"));
            compareRecords(tab.Link->VControllers, sim.controllers());
            QCOMPARE(tab.rowCount(), ids.size());
            QCOMPARE(counts.first().first().toInt(), 0);
            QCOMPARE(counts.last().first().toInt(), ids.size());
            if (ids.isEmpty())
                QCOMPARE(tab.Link->Session.emptyPasses(), 3);
            for (int row = 0; row < tab.rowCount(); ++row) {
                QCOMPARE(glwtest::rowTexts(tab.USB_Grid, row).at(0), QStringLiteral("Quorix 16"));
                QCOMPARE(glwtest::rowTexts(tab.USB_Grid, row).at(3),
                         QStringLiteral("%1").arg(tab.Link->VControllers[row].deviceId(), 8, 16, QLatin1Char('0')).toUpper());
            }

            QStringList shown;
            for (const QList<QVariant> &change : status)
                shown << change.first().toString();
            QCOMPARE(shown.value(0), QStringLiteral("Discovering\u2026 0 found"));
            if (!ids.isEmpty()) {
                const QString all = QString::number(ids.size());
                QVERIFY(shown.contains(QStringLiteral("Discovering\u2026 %1 found").arg(all)));
                QCOMPARE(shown.value(shown.size() - 2), QStringLiteral("Reading %1 of %1 (label)").arg(all));
            }
            QCOMPARE(shown.last(), QString()); // cleared with the search's end
            QVERIFY(tab.StatusBar1->currentMessage().isEmpty());

            QList<QPair<quint16, quint32>> gets, expected;
            for (const QByteArray &m : sim.messages())
                if (quint8(m[20]) == rdm::GET_COMMAND)
                    gets << qMakePair(pidOf(m), destId(m));
            for (quint16 pid : {rdm::PID_DEVICE_INFO, rdm::PID_SENSOR_VALUE, rdm::PID_REMOTE_MODE, rdm::PID_GAMMA,
                                rdm::PID_DEVICE_LABEL})
                for (const TQuorixCtrl &c : tab.Link->VControllers)
                    expected << qMakePair(pid, c.deviceId());
            QCOMPARE(gets, expected);
        }
    }

    void controllerSilentOnGetsInFastSearch()
    {
        QList<VirtualQuorix> line = virtualLine({0x10, 0x11});
        line[1].ignoresGets = true;
        PtyLine pty(line);
        QVERIFY2(pty.started, qPrintable(pty.error));
        UsbTab &tab = pty.tab;
        tab.Link->Session.fastSearch = true;
        QVERIFY(runSearch(tab));
        QCOMPARE(tab.rowCount(), 2);
        compareRecords({tab.Link->VControllers[0]}, {line[0]});
        const TQuorixCtrl &silent = tab.Link->VControllers[1];
        QCOMPARE(silent.deviceId(), 0x11u);
        QCOMPARE(silent.SVID, (std::array<quint8, 4>{}));
        QCOMPARE(silent.LBL, (std::array<quint8, 32>{}));
        QCOMPARE(silent.Gamma, quint8(0));
        QCOMPARE(glwtest::rowTexts(tab.USB_Grid, 1).at(2), QStringLiteral("V0.0.0"));
        // Its five gets each waited the whole interval; the other's were cut short (unless a loaded
        // machine kept an answer beyond the interval).
        QVERIFY(tab.Link->pacing().parameterTicks >= 5);
        QCOMPARE(tab.Link->pacing().parameterTicks + tab.Link->pacing().answeredTicks, 10);
    }

    // Misbehaving controllers over a real port, where a late reply really comes late: the
    // search ends (its wall-clock guard) and lists each of the others once.
    void misbehavingControllersOverPty()
    {
        QList<VirtualQuorix> line = virtualLine({0x300, 0x301, 0x302, 0x303, 0x304, 0x122D7880, 0x122D7881});
        const QList<Misbehaviour> how{Misbehaviour::Late, Misbehaviour::NeverMutes, Misbehaviour::Phantoms,
                                      Misbehaviour::CutShort, Misbehaviour::BadChecksum};
        for (qsizetype i = 0; i < how.size(); ++i)
            misbehave(line, i, how[i]);
        PtyLine pty(line, true);
        QVERIFY2(pty.started, qPrintable(pty.error));
        UsbTab &tab = pty.tab;
        QVERIFY(runSearch(tab));
        QList<quint32> listed;
        for (const TQuorixCtrl &c : std::as_const(tab.Link->VControllers))
            listed << c.deviceId();
        for (quint32 id : std::as_const(listed))
            QCOMPARE(listed.count(id), 1);
        for (quint32 id : {0x122D7880u, 0x122D7881u})
            QVERIFY2(listed.contains(id), qPrintable(QString::number(id, 16)));
        for (quint32 id : std::as_const(listed))
            QVERIFY2(id >= 0x300 && id <= 0x304 ? id != 0x303 && id != 0x304 : id >= 0x122D7880,
                     qPrintable(QString::number(id, 16)));
    }

    // A controller answering 60 ms late: each pass gives the whole range up after 20 ms, and the
    // reply comes in during the next pass's un-mute waits, when nothing reads the port. Read after
    // the next request went out, it would be taken for that request's answer, a lone controller:
    // one mute on the strength of a stale reply, and the pass ending after one request. It must be
    // thrown away, so every pass is two un-mutes and the whole range, and nobody is listed.
    void replyInDuringAPauseIsNoAnswer()
    {
        QList<VirtualQuorix> line = virtualLine({0x300});
        line[0].replyDelayMs = 60;
        PtyLine pty(line);
        QVERIFY2(pty.started, qPrintable(pty.error));
        QVERIFY(runSearch(pty.tab));
        QCOMPARE(pty.tab.rowCount(), 0);
        QList<quint16> discovery;
        for (const QByteArray &m : pty.sim.messages())
            if (quint8(m[20]) == rdm::DISCOVERY_COMMAND)
                discovery << pidOf(m);
        const QList<quint16> pass{rdm::PID_DISC_UN_MUTE, rdm::PID_DISC_UN_MUTE, rdm::PID_DISC_UNIQUE_BRANCH};
        QCOMPARE(discovery, pass + pass + pass);
    }

    void tableCells()
    {
        QList<VirtualQuorix> line = virtualLine({42});
        line[0].rec.TMP = {0xFF, 0x9C};
        line[0].rec.SVID = {2, 1, 5, 0};
        line[0].rec.LBL.fill('A'); // all 32 characters
        PtyLine pty(line);
        QVERIFY2(pty.started, qPrintable(pty.error));
        UsbTab &tab = pty.tab;
        QVERIFY(runSearch(tab));
        QCOMPARE(tab.rowCount(), 1);
        QCOMPARE(glwtest::rowTexts(tab.USB_Grid, 0).at(1), QString(32, QLatin1Char('A')));
        QCOMPARE(glwtest::rowTexts(tab.USB_Grid, 0).at(2), QStringLiteral("V2.1.5"));
        QCOMPARE(glwtest::rowTexts(tab.USB_Grid, 0).at(3), QStringLiteral("0000002A"));
        QCOMPARE(glwtest::rowTexts(tab.USB_Grid, 0).at(4), QStringLiteral("-10.0°C / 14.0°F"));
    }

    void lineSettings()
    {
        PtyLine pty({});
        QVERIFY2(pty.started, qPrintable(pty.error));
        UsbTab &tab = pty.tab;
        QVERIFY(tab.Link->openLink(QuorixLink::LineSetting::BootloaderLink));
        QCOMPARE(tab.Link->ComPort1->baudRate(), 19200);
        QCOMPARE(tab.Link->ComPort1->stopBits(), QSerialPort::OneStop);
        QVERIFY(tab.Link->openLink(QuorixLink::LineSetting::RdmLink));
        QCOMPARE(tab.Link->ComPort1->baudRate(), 250000);
        QCOMPARE(tab.Link->ComPort1->stopBits(), QSerialPort::TwoStop);
        QCOMPARE(tab.Link->ComPort1->dataBits(), QSerialPort::Data8);
        QCOMPARE(tab.Link->ComPort1->parity(), QSerialPort::NoParity);
        QCOMPARE(tab.Link->ComPort1->flowControl(), QSerialPort::NoFlowControl);
        QVERIFY(tab.Link->ComPort1->isOpen());
    }

    void portThatCannotOpen()
    {
        // The chooser's Com20: shown at once, opened (and missed) by the next search.
        UsbTab tab;
        tab.choosePort(QStringLiteral("Com20"), QStringLiteral("Using Com 20"));
        QCOMPARE(tab.ComLabel->text(), QStringLiteral("Using Com 20"));
        QCOMPARE(tab.portName(), QStringLiteral("Com20"));
        QString shown, detail;
        glwtest::answerModal([&](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                shown = box->text();
                detail = box->informativeText();
                box->accept();
            }
        });
        QSignalSpy counts(&tab, &UsbTab::countChanged);
        QTest::mouseClick(tab.USB_Search, Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("Can't open COM port!"));
        QVERIFY2(detail.contains(QStringLiteral("There is no serial port Com20 (/dev/Com20)")), qPrintable(detail));
        QVERIFY(tab.wheelSearching->isHidden());
        QCOMPARE(counts.size(), 0);
        QVERIFY(!tab.Link->ComPort1->isOpen());
    }

    void setMessagesReachTheControllers()
    {
        QList<VirtualQuorix> line = virtualLine({0x500, 0x501});
        line[0].rec.RM = 1;
        line[1].rec.RM = 0; // takes gamma only
        PtyLine pty(line);
        QVERIFY2(pty.started, qPrintable(pty.error));
        RdmLineSim &sim = pty.sim;
        UsbTab &tab = pty.tab;
        QVERIFY(runSearch(tab));
        QCOMPARE(tab.Link->VControllers.size(), 2);

        int handled = sim.messagesHandled();
        const QByteArray name = "Renamed";
        for (int i = 0; i < 2; ++i) {
            QVERIFY(tab.Link->LabelSet(i, QString::fromLatin1(name)).ok());
            QVERIFY(tab.Link->DeviceModeSet(i, 3).ok());
            QVERIFY(tab.Link->StartAddressSet(i, 300).ok());
            QVERIFY(tab.Link->DeviceGammaSet(i, 27).ok());
            QVERIFY(!tab.Link->ComPort1->isOpen());
            // Each value is in the record once its message went out.
            const TQuorixCtrl &rec = tab.Link->VControllers[i];
            QCOMPARE(rec.PERS[0], quint8(3));
            QCOMPARE(rec.STA, (std::array<quint8, 2>{0x01, 0x2C}));
            QCOMPARE(rdm::labelShown(rec.LBL), QString::fromLatin1(name));
            QCOMPARE(rec.Gamma, quint8(27));
            handled += 4;
            QTRY_COMPARE(sim.messagesHandled(), handled);
        }
        const QList<VirtualQuorix> after = sim.controllers();
        const VirtualQuorix &remote = after[tab.Link->VControllers[0].deviceId() == 0x500 ? 0 : 1];
        const VirtualQuorix &local = after[tab.Link->VControllers[0].deviceId() == 0x500 ? 1 : 0];
        QCOMPARE(remote.rec.PERS[0], quint8(3));
        QCOMPARE(remote.rec.STA, (std::array<quint8, 2>{0x01, 0x2C}));
        QCOMPARE(remote.rec.LBL, tab.Link->VControllers[0].LBL);
        QCOMPARE(remote.rec.Gamma, quint8(27));
        QCOMPARE(local.rec.PERS, line[1].rec.PERS);
        QCOMPARE(local.rec.STA, line[1].rec.STA);
        QCOMPARE(local.rec.LBL, line[1].rec.LBL);
        QCOMPARE(local.rec.Gamma, quint8(27));

        QVERIFY(tab.Link->TriggerBootload(0).ok());
        QTRY_VERIFY(sim.controllers()[tab.Link->VControllers[0].deviceId() == 0x500 ? 0 : 1].inBootloader);

        // The next search starts clean although the set replies were never read.
        QVERIFY(runSearch(tab));
        QCOMPARE(tab.Link->VControllers.size(), 1); // the one in its bootloader no longer answers
    }
};

QTEST_MAIN(TestUsbSearch)
#include "tst_usb_search.moc"
