// The USB side end to end over a pseudo-terminal: the USB tab with its controller dialog and
// firmware dialog against a line of virtual controllers. Change a controller and search again;
// update its firmware; a refused block, a silent bootloader, Cancel; the port vanishing.

#include "rdm/form3.h"
#include "glw_test.h"
#include "hex_fixture.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_settings.h"
#include "rdm/quorix_texts.h"
#include "sim/rdm/rdm_line_sim.h"
#include "rdm_test_records.h"
#include "rdm/usb_tab.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QApplication>

using rdm::boot::BootloaderExchange;

namespace {

constexpr int SearchTimeoutMs = 60000;

// The next message box (within 30 s) is answered with OK; `shown` takes its text.
void answerNextBox(QString &shown)
{
    glwtest::answerModalOf<QMessageBox>(
        [&shown](QMessageBox *box) {
            shown = box->text();
            box->accept();
        },
        30000);
}

struct Line {
    explicit Line(QList<VirtualQuorix> controllers) : sim(std::move(controllers))
    {
        started = sim.start(&error);
        tab.setPortName(sim.slavePath());
        tab.setDialogs(&config, &form3);
        file = dir.filePath(QStringLiteral("firmware.hex"));
    }
    bool search()
    {
        QSignalSpy ended(&tab, &UsbTab::searchEnded);
        QTest::mouseClick(tab.USB_Search, Qt::LeftButton);
        return ended.count() > 0 || ended.wait(SearchTimeoutMs);
    }
    void writeFirmware(const QByteArray &data)
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(hexfixture::file(data));
    }
    // The firmware dialog of controller `row`, with the firmware file chosen.
    void openFirmwareDialog(int row)
    {
        tab.Link->CurrentController = row;
        form3.show();
        form3.FileDisplay->setText(file);
    }
    // Presses Update for controller `row` and waits up to `ms` until the transfer is `percent` done.
    bool startUpdate(int row, int percent, int ms)
    {
        openFirmwareDialog(row);
        QTest::mouseClick(form3.Update, Qt::LeftButton);
        return QTest::qWaitFor([&] { return form3.QuorixFwProgress->value() >= percent; }, ms);
    }
    // A search, then the update of `data` to the controller in row 0, `percent` done within `ms`.
    bool updateUnderWay(const QByteArray &data, int percent, int ms)
    {
        if (!search())
            return false;
        writeFirmware(data);
        return startUpdate(0, percent, ms);
    }
    // Opens the firmware dialog for row 0 directly and presses Update; the message at the end is
    // answered and its text returned.
    QString update()
    {
        openFirmwareDialog(0);
        QString shown;
        answerNextBox(shown);
        QSignalSpy done(tab.Link, &QuorixLink::firmwareFinished);
        QTest::mouseClick(form3.Update, Qt::LeftButton);
        if (done.isEmpty() && !done.wait(30000))
            return QStringLiteral("(no end)");
        for (int waited = 0; shown.isEmpty() && waited < 5000; waited += 10)
            QTest::qWait(10);
        return shown;
    }
    VirtualQuorix controller(quint32 id) const
    {
        for (const VirtualQuorix &v : sim.controllers())
            if (v.rec.deviceId() == id)
                return v;
        return {};
    }

    RdmLineSim sim;
    UsbTab tab;
    TQuorixConfig config;
    TForm3 form3;
    QTemporaryDir dir;
    QString file;
    QString error;
    bool started = false;
};

void doubleClickRow(QTableView *grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

QByteArray padded(QByteArray data)
{
    data.append(QByteArray((128 - data.size() % 128) % 128, char(0xFF)));
    return data;
}

} // namespace

class TestUsbControllers : public QObject {
    Q_OBJECT
private slots:
    void changeAControllerAndSearchAgain()
    {
        QList<VirtualQuorix> controllers = virtualLine({0x300, 0x301});
        controllers[0].rec.RM = 1;
        controllers[1].rec.RM = 1;
        Line line(controllers);
        QVERIFY2(line.started, qPrintable(line.error));
        QVERIFY(line.search());
        QCOMPARE(line.tab.rowCount(), 2);
        const quint32 id = line.tab.Link->VControllers[0].deviceId();

        int handled = line.sim.messagesHandled();
        QSignalSpy redrawn(line.tab.USB_Grid->model(), &QAbstractItemModel::dataChanged);
        glwtest::answerModalOf<TQuorixConfig>([](TQuorixConfig *d) {
            d->Nickname->setText(QStringLiteral("Front truss"));
            d->ControllerMode->setCurrentIndex(2);
            d->StartAddress->setText(QStringLiteral("100"));
            d->trackGamma->setValue(27);
            d->Button1->click();
        });
        doubleClickRow(line.tab.USB_Grid, 0);
        QCOMPARE(line.tab.Link->CurrentController, 0);
        QCOMPARE(line.config.windowTitle(), QStringLiteral("Controller 1 Configuration"));
        QTRY_COMPARE(line.sim.messagesHandled(), handled + 4);
        // The row is redrawn with what went out.
        QCOMPARE(redrawn.size(), 1);
        QCOMPARE(redrawn.first().first().toModelIndex().row(), 0);

        // OK with nothing changed sends nothing.
        handled = line.sim.messagesHandled();
        glwtest::answerModalOf<TQuorixConfig>([](TQuorixConfig *d) { d->Button1->click(); });
        doubleClickRow(line.tab.USB_Grid, 1);
        QTest::qWait(200);
        QCOMPARE(line.sim.messagesHandled(), handled);

        // A gamma whose reply was lost (0 in the record, 1.0 in the dialog) is not written back by
        // an OK that left it alone, and the start address box that had the focus last time is not
        // checked (0 would become 1) before the dialog is shown again.
        const quint8 realGamma = line.controller(line.tab.Link->VControllers[1].deviceId()).rec.Gamma;
        line.tab.Link->VControllers[1].Gamma = 0;
        line.tab.Link->VControllers[1].STA = {0, 0};
        QString addressShown;
        glwtest::answerModalOf<TQuorixConfig>([&](TQuorixConfig *d) {
            d->StartAddress->setFocus();
            d->Button2->click();
        });
        doubleClickRow(line.tab.USB_Grid, 1);
        glwtest::answerModalOf<TQuorixConfig>([&](TQuorixConfig *d) {
            addressShown = d->StartAddress->text();
            d->Button1->click();
        });
        doubleClickRow(line.tab.USB_Grid, 1);
        QTest::qWait(200);
        QCOMPARE(addressShown, QStringLiteral("0"));
        QCOMPARE(line.sim.messagesHandled(), handled);
        QCOMPARE(line.controller(line.tab.Link->VControllers[1].deviceId()).rec.Gamma, realGamma);

        const VirtualQuorix changed = line.controller(id);
        QCOMPARE(rdm::labelShown(changed.rec.LBL), QStringLiteral("Front truss"));
        QCOMPARE(changed.rec.PERS[0], quint8(3));
        QCOMPARE(changed.rec.STA, (std::array<quint8, 2>{0, 100}));
        QCOMPARE(changed.rec.Gamma, quint8(27));

        QVERIFY(line.search());
        compareRecords(line.tab.Link->VControllers, line.sim.controllers());
        const int row = line.tab.Link->VControllers[0].deviceId() == id ? 0 : 1;
        QCOMPARE(glwtest::rowTexts(line.tab.USB_Grid, row).at(1), QStringLiteral("Front truss"));
    }

    void updateFirmwareThroughTheDialogs()
    {
        Line line(virtualLine({0x42}));
        QVERIFY2(line.started, qPrintable(line.error));
        QVERIFY(line.search());
        const QByteArray data = hexfixture::pattern(9 * 128 + 48);
        line.writeFirmware(data);
        const int handled = line.sim.messagesHandled();
        const QString versionBefore = glwtest::rowTexts(line.tab.USB_Grid, 0).at(2);

        QString shown;
        glwtest::answerModalOf<TQuorixConfig>([&](TQuorixConfig *d) {
            glwtest::answerModalOf<TForm3>([&](TForm3 *f) {
                f->FileDisplay->setText(line.file);
                answerNextBox(shown);
                f->Update->click();
            });
            d->btnFirmware->click();
        });
        doubleClickRow(line.tab.USB_Grid, 0);
        QTRY_COMPARE_WITH_TIMEOUT(shown, QStringLiteral("Firmware Upgrade Complete!"), 30000);
        QTRY_VERIFY(!line.config.isVisible());
        QCOMPARE(line.config.result(), int(QDialog::Rejected)); // no set message after it
        QCOMPARE(line.form3.QuorixFwProgress->value(), 100);
        QVERIFY(!line.tab.Link->ComPort1->isOpen());

        const VirtualQuorix updated = line.controller(0x42);
        QCOMPARE(updated.updates, 1);
        QCOMPARE(updated.firmware, padded(data));
        QCOMPARE(line.sim.messagesHandled(), handled + 1); // the enter-bootloader message only

        // Restarted into its new firmware, it is found again, with the new version.
        QVERIFY(line.search());
        QCOMPARE(line.tab.rowCount(), 1);
        QVERIFY(glwtest::rowTexts(line.tab.USB_Grid, 0).at(2) != versionBefore);
    }

    void refusedThirdBlock()
    {
        QList<VirtualQuorix> controllers = virtualLine({0x42});
        controllers[0].bootloader.options.nakBlock = 3;
        Line line(controllers);
        QVERIFY2(line.started, qPrintable(line.error));
        QVERIFY(line.search());
        line.writeFirmware(hexfixture::pattern(5 * 128));
        QCOMPARE(line.update(), QStringLiteral("Failed, please retry.."));
        QCOMPARE(line.form3.QuorixFwProgress->value(), 40); // the two blocks before it
        QVERIFY(line.form3.isVisible());
        QVERIFY(line.form3.Update->isEnabled());
        QVERIFY(line.tab.Link->ComPort1->isOpen());
        QCOMPARE(line.tab.Link->ComPort1->baudRate(), 19200);
        QVERIFY(line.controller(0x42).inBootloader);
        QVERIFY(line.tab.Link->leftInBootloader(0));

        // Update again starts over, and the bootloader takes it this time: the key finds it, with no
        // RDM message it could not understand.
        const int handled = line.sim.messagesHandled();
        QCOMPARE(line.update(), QStringLiteral("Firmware Upgrade Complete!"));
        // The virtual line takes the image once it has read the final EOT, on its own thread.
        QTRY_COMPARE_WITH_TIMEOUT(line.controller(0x42).firmware, hexfixture::pattern(5 * 128), 5000);
        QCOMPARE(line.sim.messagesHandled(), handled);
        QVERIFY(!line.tab.Link->leftInBootloader(0));
    }

    // Stopped halfway, the controller stays in its bootloader and answers no search; its old row
    // still updates it, without a search in between.
    void stoppedTransferIsUpdatedAgainFromItsRow()
    {
        Line line(virtualLine({0x42}));
        QVERIFY2(line.started, qPrintable(line.error));
        const QByteArray data = hexfixture::pattern(40 * 128);
        QVERIFY(line.updateUnderWay(data, 10, 20000));
        glwtest::answerModalOf<QMessageBox>([](QMessageBox *ask) { ask->button(QMessageBox::Yes)->click(); });
        QTest::mouseClick(line.form3.Cancel, Qt::LeftButton);
        QVERIFY(!line.form3.isVisible());
        QCOMPARE(line.tab.Link->bootloader().state(), BootloaderExchange::State::Cancelled);
        QVERIFY(line.controller(0x42).inBootloader);
        QVERIFY(line.tab.Link->leftInBootloader(0));
        QCOMPARE(line.tab.rowCount(), 1); // the old row stays

        const int handled = line.sim.messagesHandled();
        QCOMPARE(line.update(), QStringLiteral("Firmware Upgrade Complete!"));
        QTRY_COMPARE_WITH_TIMEOUT(line.controller(0x42).updates, 1, 5000); // once the line has read the EOT
        QCOMPARE(line.controller(0x42).firmware, padded(data));
        QCOMPARE(line.sim.messagesHandled(), handled);
    }

    // The port chooser's recovery, for a controller no search lists: the key is offered until the
    // bootloader answers, the dialog says what it waits for meanwhile, and "C" runs the transfer.
    void recoveryFromThePortChooser()
    {
        Line line(virtualLine({0x42}));
        QVERIFY2(line.started, qPrintable(line.error));
        const QByteArray data = hexfixture::pattern(3 * 128 + 7);
        line.writeFirmware(data);
        qputenv("GLINTWORK_SERIAL_PORTS", line.sim.slavePath().toUtf8());
        TQuorixSettings chooser;
        chooser.refreshPorts();
        qunsetenv("GLINTWORK_SERIAL_PORTS");
        chooser.PortsCombo->setCurrentIndex(chooser.PortsCombo->findData(line.sim.slavePath()));
        QObject::connect(&chooser, &TQuorixSettings::portChosen, &line.tab, &UsbTab::choosePort);
        QObject::connect(&chooser, &TQuorixSettings::recoverChosen, &line.tab, &UsbTab::recoverFromBootloader,
                         Qt::QueuedConnection);

        QString waiting, shown;
        bool waitedBeforeNotice = false;
        glwtest::answerModalOf<TForm3>([&](TForm3 *f) {
            QVERIFY(f->recovery());
            f->FileDisplay->setText(line.file);
            answerNextBox(shown);
            QTest::mouseClick(f->Update, Qt::LeftButton);
            QTest::qWait(1000);
            waitedBeforeNotice = f->BootWait->isHidden(); // nothing said in the first seconds
            QTRY_VERIFY_WITH_TIMEOUT(f->BootWait->isVisible(), 10000);
            waiting = f->BootWait->text();
            // Still offering the key; now the controller's bootloader comes up.
            line.sim.modify([](QList<VirtualQuorix> &controllers) { controllers[0].inBootloader = true; });
        });
        chooser.show();
        QTest::mouseClick(chooser.btnRecover, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(shown, QStringLiteral("Firmware Upgrade Complete!"), 30000);
        QVERIFY(waitedBeforeNotice);
        QVERIFY2(waiting.startsWith(QStringLiteral("Waiting for the controller's bootloader: no answer for ")),
                 qPrintable(waiting));
        QVERIFY2(waiting.section(QLatin1Char(' '), 8, 8).toInt() >= TForm3::WaitNoticeMs / 1000, qPrintable(waiting));
        QTRY_VERIFY(!line.form3.isVisible());
        QVERIFY(line.form3.BootWait->isHidden());
        QVERIFY(!line.form3.recovery());
        QCOMPARE(line.tab.portName(), line.sim.slavePath());
        QTRY_COMPARE_WITH_TIMEOUT(line.controller(0x42).updates, 1, 5000); // once the line has read the EOT
        QCOMPARE(line.controller(0x42).firmware, padded(data));
        QCOMPARE(line.sim.messagesHandled(), 0); // not one RDM message
    }

    void silentBootloader()
    {
        QList<VirtualQuorix> controllers = virtualLine({0x42});
        controllers[0].bootloader.options.silent = true;
        Line line(controllers);
        QVERIFY2(line.started, qPrintable(line.error));
        QVERIFY(line.search());
        line.writeFirmware(hexfixture::pattern(3 * 128));
        const QString shown = line.update();
        QVERIFY2(shown.contains(QStringLiteral("did not answer firmware block 1 of 3")), qPrintable(shown));
        QCOMPARE(line.tab.Link->bootloader().state(), BootloaderExchange::State::NoAnswer);
        QVERIFY(line.form3.isVisible());
    }

    void brokenFileNeverStartsTheBootloader()
    {
        Line line(virtualLine({0x42}));
        QVERIFY2(line.started, qPrintable(line.error));
        QVERIFY(line.search());
        QFile f(line.file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(hexfixture::file(hexfixture::pattern(300)).replace("0001", "00G1"));
        f.close();
        const int handled = line.sim.messagesHandled();
        line.openFirmwareDialog(0);
        QString shown;
        glwtest::answerModal([&](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                shown = box->text();
                box->accept();
            }
        });
        QTest::mouseClick(line.form3.Update, Qt::LeftButton);
        QVERIFY2(shown.contains(QStringLiteral("not a valid HEX file")), qPrintable(shown));
        QTest::qWait(100);
        QCOMPARE(line.sim.messagesHandled(), handled);
        QVERIFY(!line.controller(0x42).inBootloader);
    }

    // Unanswered, "Stop the firmware update?" stops nothing: the transfer completes, the question
    // goes, and the dialog ends as after any complete update.
    void stopQuestionLeftOpenWhileTheTransferEnds()
    {
        Line line(virtualLine({0x42}));
        QVERIFY2(line.started, qPrintable(line.error));
        const QByteArray data = hexfixture::pattern(40 * 128);
        QVERIFY(line.updateUnderWay(data, 5, 10000));
        // The first box is the question, left open; the next one is answered. Should the question
        // outstay the transfer, it is answered No after a while, so the test fails rather than hangs.
        QPointer<QMessageBox> question;
        bool asked = false, outstayed = false;
        QString result;
        QTimer watch, outstay;
        outstay.setSingleShot(true);
        connect(&outstay, &QTimer::timeout, [&] {
            if (question && question->isVisible()) {
                outstayed = true;
                question->button(QMessageBox::No)->click();
            }
        });
        connect(&watch, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            if (!asked) {
                asked = true;
                question = box;
            } else if (box != question) {
                result = box->text();
                box->accept();
                watch.stop();
                outstay.start(3000);
            }
        });
        watch.start(10);
        QTest::mouseClick(line.form3.Cancel, Qt::LeftButton);
        QVERIFY(asked);
        QCOMPARE(result, QStringLiteral("Firmware Upgrade Complete!"));
        QVERIFY(!outstayed);
        QCOMPARE(line.form3.result(), int(QDialog::Accepted));
        QCOMPARE(line.controller(0x42).firmware, padded(data));
    }

    void cancelDuringTheTransfer()
    {
        Line line(virtualLine({0x42, 0x43}));
        QVERIFY2(line.started, qPrintable(line.error));
        QVERIFY(line.search());
        const int row = line.tab.Link->VControllers[0].deviceId() == 0x42 ? 0 : 1;
        line.writeFirmware(hexfixture::pattern(60 * 128));
        QVERIFY(line.startUpdate(row, 5, 10000));
        // Cancel asks first, with No as the default.
        QString asked;
        glwtest::answerModalOf<QMessageBox>([&](QMessageBox *box) {
            asked = box->text();
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
            box->button(QMessageBox::Yes)->click();
        });
        QTest::mouseClick(line.form3.Cancel, Qt::LeftButton);
        QCOMPARE(asked, QStringLiteral("Stop the firmware update?"));
        QVERIFY(!line.form3.isVisible());
        QCOMPARE(line.tab.Link->bootloader().state(), BootloaderExchange::State::Cancelled);
        QVERIFY(line.tab.Link->ComPort1->isOpen());
        QCOMPARE(line.tab.Link->ComPort1->baudRate(), 250000);
        QCOMPARE(line.tab.Link->ComPort1->stopBits(), QSerialPort::TwoStop);
        const int seen = line.controller(0x42).bootloader.blocksSeen();
        QTest::qWait(300);
        QCOMPARE(line.controller(0x42).bootloader.blocksSeen(), seen);
        QVERIFY(seen < 60);

        // The RDM link works: the other controller is found; the one in its bootloader is not.
        QVERIFY(line.search());
        QCOMPARE(line.tab.rowCount(), 1);
        QCOMPARE(line.tab.Link->VControllers[0].deviceId(), 0x43u);
    }

    // The interface unplugged after a search: what the controller dialog's OK and the firmware
    // dialog's Update could not send reaches the operator with the link's reason, and no record
    // takes a value that never went out.
    void linkFailuresReachTheOperator()
    {
        QList<VirtualQuorix> controllers = virtualLine({0x300});
        controllers[0].rec.RM = 1;
        Line line(controllers);
        QVERIFY2(line.started, qPrintable(line.error));
        QVERIFY(line.search());
        const std::array<quint8, 32> label = line.tab.Link->VControllers[0].LBL;
        const QString path = line.sim.slavePath();
        line.sim.stop();
        glwtest::FailureCapture failures;

        glwtest::answerModalOf<TQuorixConfig>([](TQuorixConfig *d) {
            d->Nickname->setText(QStringLiteral("Never sent"));
            d->Button1->click();
        });
        doubleClickRow(line.tab.USB_Grid, 0);
        QCOMPARE(failures.texts().size(), 1);
        const QString notSent = failures.texts().first();
        QVERIFY2(notSent.startsWith(QStringLiteral("These changes did not reach controller 1: Nickname.\n\n"
                                                   "Can't open COM port!")),
                 qPrintable(notSent));
        QVERIFY2(notSent.contains(path), qPrintable(notSent));
        QCOMPARE(line.tab.Link->VControllers[0].LBL, label);

        line.writeFirmware(hexfixture::pattern(128));
        line.openFirmwareDialog(0);
        QTest::mouseClick(line.form3.Update, Qt::LeftButton);
        QCOMPARE(failures.texts().size(), 2);
        const QString notStarted = failures.texts().last();
        QVERIFY2(notStarted.startsWith(QStringLiteral("Can't open COM port!")), qPrintable(notStarted));
        QVERIFY2(notStarted.contains(path), qPrintable(notStarted));
        QVERIFY(line.form3.isVisible());
        QVERIFY(line.form3.Update->isEnabled()); // to try again once the interface is back
        QVERIFY(!line.tab.Link->bootloader().active());
    }

    void failedReopenStopsTheRunningSearch()
    {
        Line line(virtualLine({0x10, 0x20, 0x30}));
        QVERIFY2(line.started, qPrintable(line.error));
        QSignalSpy ended(&line.tab, &UsbTab::searchEnded);
        QTest::mouseClick(line.tab.USB_Search, Qt::LeftButton);
        QTest::qWait(150);
        QVERIFY(ended.isEmpty());
        line.tab.setPortName(QStringLiteral("/nonexistent/ttyUSB7"));
        QString shown;
        glwtest::answerModal([&](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                shown = box->text();
                box->accept();
            }
        });
        QTest::mouseClick(line.tab.USB_Search, Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("Can't open COM port!"));
        QCOMPARE(ended.size(), 1);
        QVERIFY(!line.tab.Link->Timer1->isActive());
        QVERIFY(line.tab.wheelSearching->isHidden());
        QTest::qWait(100); // a message still on its way to the line
        const int handled = line.sim.messagesHandled();
        QTest::qWait(300);
        QCOMPARE(line.sim.messagesHandled(), handled); // the old search sends nothing more
        QCOMPARE(line.tab.rowCount(), 0);
    }

    void portVanishesMidSearch()
    {
        Line line(virtualLine({0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80}));
        QVERIFY2(line.started, qPrintable(line.error));
        QSignalSpy failed(line.tab.Link, &QuorixLink::portFailed);
        QSignalSpy ended(&line.tab, &UsbTab::searchEnded);
        QTest::mouseClick(line.tab.USB_Search, Qt::LeftButton);
        QTest::qWait(150);
        QVERIFY(ended.isEmpty());
        line.sim.stop();
        QVERIFY(failed.wait(5000));
        const Failure failure = failed.first().first().value<Failure>();
        QVERIFY2(failure.text.contains(line.sim.slavePath()), qPrintable(failure.text));
        QVERIFY(!failure.reason.isEmpty());
        QCOMPARE(ended.size(), 1);
        QVERIFY(!line.tab.Link->Timer1->isActive());
        QVERIFY(line.tab.wheelSearching->isHidden());
        QCOMPARE(line.tab.rowCount(), 0); // no table of half-read records
        QVERIFY(!line.tab.Link->ComPort1->isOpen());
        QTest::qWait(300); // nothing more happens
        QCOMPARE(failed.size(), 1);
        QCOMPARE(line.tab.rowCount(), 0);
    }
};

QTEST_MAIN(TestUsbControllers)
#include "tst_usb_controllers.moc"
