// Settings files on the USB side, through the real main window over a pseudo-terminal against a
// line of virtual controllers: back up the tab, change controllers by hand in their dialog,
// restore and see them read back as sent, with the very set messages the dialog sends for the same
// values; a clone onto a spare; the restore window driven by the keyboard alone; a corrupt file.

#include "app/form1.h"
#include "glw_test.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_texts.h"
#include "rdm/usb_tab.h"
#include "rdm_test_records.h"
#include "settings/restore_dialog.h"
#include "settings/settings_files.h"
#include "settings_test_util.h"
#include "sim/rdm/rdm_line_sim.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUdpSocket>

using settings::Outcome;

namespace {

constexpr int SearchTimeoutMs = 60000;

Form1Options quietNetwork()
{
    // The network side listens on a free loopback port and searches nothing here.
    Form1Options o;
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    o.udpPort = probe.localPort();
    o.interfaces = [](QList<tNetworkInterface> &out) {
        tNetworkInterface n;
        n.AddrIP = QStringLiteral("127.0.0.1");
        n.SubnetMask = QStringLiteral("255.0.0.0");
        n.AddrNet = QStringLiteral("127.0.0.0");
        out = {n};
        return true;
    };
    return o;
}

// What the controller dialog holds when OK is pressed.
struct Typed {
    QString nickname;
    int mode = 0; // 1-based
    int startAddress = 0;
    int gammaTenths = 0;
};

QList<QByteArray> setMessagesFrom(const RdmLineSim &sim, qsizetype from)
{
    QList<QByteArray> sets;
    const QList<QByteArray> all = sim.messages();
    for (qsizetype i = from; i < all.size(); ++i)
        if (quint8(all[i][20]) == rdm::SET_COMMAND)
            sets << withoutCounter(all[i]);
    return sets;
}

// The change list's item of the controller with this serial.
QTreeWidgetItem *itemOf(const QTreeWidget *changes, const QString &serial)
{
    for (int i = 0; i < changes->topLevelItemCount(); ++i)
        if (changes->topLevelItem(i)->text(0).contains(serial))
            return changes->topLevelItem(i);
    return nullptr;
}

// Messages of each controller in their order, the controllers by serial: a file lists them in
// the order the search found them, which is not the order they were typed in here.
QList<QByteArray> byController(QList<QByteArray> messages)
{
    std::stable_sort(messages.begin(), messages.end(),
                     [](const QByteArray &a, const QByteArray &b) { return destId(a) < destId(b); });
    return messages;
}

void sendKey(int key, Qt::KeyboardModifiers modifiers = {})
{
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, Qt::Key(key), modifiers);
}

} // namespace

class TestUsbRestore : public QObject {
    Q_OBJECT
    std::unique_ptr<RdmLineSim> m_sim;
    std::unique_ptr<TForm1> m_form;
    QTemporaryDir m_dir;

    UsbTab *usb() { return m_form->USBDevices; }

    bool search()
    {
        QSignalSpy ended(usb(), &UsbTab::searchEnded);
        QTest::mouseClick(usb()->USB_Search, Qt::LeftButton);
        return ended.count() > 0 || ended.wait(SearchTimeoutMs);
    }

    int rowOf(quint32 id)
    {
        for (int row = 0; row < usb()->Link->VControllers.size(); ++row)
            if (usb()->Link->VControllers[row].deviceId() == id)
                return row;
        return -1;
    }

    VirtualQuorix controller(quint32 id)
    {
        for (const VirtualQuorix &v : m_sim->controllers())
            if (v.rec.deviceId() == id)
                return v;
        return {};
    }

    // Opens the controller's dialog by a double-click on its row, types `t` and presses OK; waits
    // until each set message it sends has reached the line.
    void editByHand(quint32 id, const Typed &t)
    {
        const int row = rowOf(id);
        QVERIFY(row >= 0);
        bool opened = false;
        glwtest::answerModalOf<TQuorixConfig>([&](TQuorixConfig *d) {
            opened = true;
            d->Nickname->setText(t.nickname);
            d->ControllerMode->setCurrentIndex(t.mode - 1);
            d->StartAddress->setText(QString::number(t.startAddress));
            d->trackGamma->setValue(t.gammaTenths);
            d->Button1->click();
        });
        QTableView *grid = usb()->USB_Grid;
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(opened);
        QVERIFY(QTest::qWaitFor([&] { return rdm::editsOf(controller(id).rec) == rdm::editsOf(usb()->Link->VControllers[row]); },
                                5000));
    }

    QString backUpAll()
    {
        const QString path = m_dir.filePath(QStringLiteral("usb.json"));
        settingstest::backUpAll(*m_form->Files, &SettingsFiles::backUpUsb, path);
        return path;
    }

    QList<settings::RestoreResult> restore(const QString &path, const std::function<void(RestoreDialog &)> &drive)
    {
        return settingstest::restore(*m_form->Files, path, drive);
    }

private slots:
    void initTestCase()
    {
        QList<VirtualQuorix> line = virtualLine({0x1000, 0x1001, 0x1002, 0x2000, 0x3000, 0x3001});
        for (VirtualQuorix &v : line)
            v.rec.RM = 1;
        // Two that misbehave only when sent settings (the last test's subject).
        misbehave(line, 4, Misbehaviour::IgnoresNickname);
        misbehave(line, 5, Misbehaviour::SilentAfterSet);
        m_sim = std::make_unique<RdmLineSim>(line);
        QString error;
        QVERIFY2(m_sim->start(&error), qPrintable(error));
        QSettings().setValue(QLatin1String(RestoreDialog::VerifyKey), true);
        m_form = std::make_unique<TForm1>(0, quietNetwork());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_form->tabControl1->setCurrentIndex(TForm1::UsbTabIndex);
        usb()->setPortName(m_sim->slavePath());
    }

    void cleanupTestCase()
    {
        m_form.reset();
        m_sim->stop();
    }

    // Back up, change two by hand, restore: both read back as sent, and the restore's set
    // messages are those the dialog sends when the saved values are typed back, in order.
    void restoreUndoesHandEdits()
    {
        QVERIFY(search());
        QCOMPARE(usb()->Link->VControllers.size(), 6);
        const rdm::QuorixEdits saved0 = rdm::editsOf(controller(0x1000).rec);
        const rdm::QuorixEdits saved1 = rdm::editsOf(controller(0x1001).rec);
        const QString file = backUpAll();
        QVERIFY(QFile::exists(file));

        const Typed moved0{QStringLiteral("Moved"), 3, 200, 25}, moved1{QStringLiteral("Moved too"), 1, 7, 18};
        const auto typedBack = [](const rdm::QuorixEdits &e) {
            return Typed{e.nickname, e.personality, e.startAddress, e.gammaTenths};
        };
        editByHand(0x1000, moved0);
        editByHand(0x1001, moved1);
        qsizetype mark = m_sim->messages().size();
        editByHand(0x1000, typedBack(saved0));
        editByHand(0x1001, typedBack(saved1));
        const QList<QByteArray> typed = byController(setMessagesFrom(*m_sim, mark));
        QCOMPARE(typed.size(), 8); // every field of both differs from what was moved

        editByHand(0x1000, moved0);
        editByHand(0x1001, moved1);
        QVERIFY(search());
        mark = m_sim->messages().size();
        QSignalSpy redrawn(usb()->USB_Grid->model(), &QAbstractItemModel::dataChanged);
        QStringList ticked;
        const auto results = restore(file, [&](RestoreDialog &d) {
            for (int i = 0; i < d.Changes->topLevelItemCount(); ++i)
                if (d.Changes->topLevelItem(i)->checkState(0) == Qt::Checked)
                    ticked << d.Changes->topLevelItem(i)->text(0);
            d.btnApply->click();
        });
        QStringList expected{"Restore Quorix 16 \"Moved\" 00001000", "Restore Quorix 16 \"Moved too\" 00001001"};
        expected.sort();
        ticked.sort();
        QCOMPARE(ticked, expected);
        QCOMPARE(byController(setMessagesFrom(*m_sim, mark)), typed);
        // Nothing else went out but the gets that read the sets back.
        for (const QByteArray &m : m_sim->messages().mid(mark))
            QVERIFY2(quint8(m[20]) == rdm::SET_COMMAND || quint8(m[20]) == rdm::GET_COMMAND, m.toHex(' ').constData());
        QCOMPARE(results.size(), 2);
        for (const settings::RestoreResult &r : results)
            QVERIFY2(r.outcome == Outcome::Verified, qPrintable(settings::resultText(r)));
        QCOMPARE(rdm::editsOf(controller(0x1000).rec), saved0);
        QCOMPARE(rdm::editsOf(controller(0x1001).rec), saved1);
        // The table is redrawn with what went out, as after the dialog's OK; a new search agrees.
        QList<int> rowsRedrawn;
        for (const QList<QVariant> &change : std::as_const(redrawn))
            rowsRedrawn << change.first().toModelIndex().row();
        std::sort(rowsRedrawn.begin(), rowsRedrawn.end());
        QCOMPARE(rowsRedrawn, (QList<int>{qMin(rowOf(0x1000), rowOf(0x1001)), qMax(rowOf(0x1000), rowOf(0x1001))}));
        QCOMPARE(glwtest::rowTexts(usb()->USB_Grid, rowOf(0x1000)).value(1), saved0.nickname);
        QCOMPARE(glwtest::rowTexts(usb()->USB_Grid, rowOf(0x1001)).value(1), saved1.nickname);

        QVERIFY(search());
        QCOMPARE(glwtest::rowTexts(usb()->USB_Grid, rowOf(0x1000)).value(1), saved0.nickname);
        QCOMPARE(glwtest::rowTexts(usb()->USB_Grid, rowOf(0x1001)).value(1), saved1.nickname);
    }

    // A clone takes mode, start address and gamma; the spare keeps its UID and, unless asked,
    // its nickname.
    void cloneOntoASpare()
    {
        QVERIFY(search());
        const QString file = backUpAll();
        const rdm::QuorixEdits source = rdm::editsOf(controller(0x1002).rec);
        const QString spareName = rdm::labelShown(controller(0x2000).rec.LBL);
        const auto results = restore(file, [&](RestoreDialog &d) {
            for (int i = 0; i < d.Targets->rowCount(); ++i) {
                QComboBox *box = d.targetBox(i);
                box->setCurrentIndex(d.Targets->item(i, 0)->text().endsWith("00001002")
                                         ? box->findText(QStringLiteral("Clone onto Quorix 16 \"%1\" 00002000").arg(spareName))
                                         : 0);
            }
            d.btnApply->click();
        });
        QCOMPARE(results.size(), 1);
        QVERIFY2(results[0].outcome == Outcome::Verified, qPrintable(settings::resultText(results[0])));
        const VirtualQuorix spare = controller(0x2000);
        QCOMPARE(spare.rec.deviceId(), 0x2000u);
        rdm::QuorixEdits expected = source;
        expected.nickname = spareName;
        QCOMPARE(rdm::editsOf(spare.rec), expected);
        QCOMPARE(rdm::editsOf(controller(0x1002).rec), source);
    }

    // Tab, Space and Return alone: the table shows field, now and from the file; a controller is
    // unticked, Apply pressed, the results saved, the window closed.
    void keyboardAlone()
    {
        QVERIFY(search());
        const QString file = backUpAll();
        const rdm::QuorixEdits saved0 = rdm::editsOf(controller(0x1000).rec);
        editByHand(0x1000, {QStringLiteral("By keys"), saved0.personality, saved0.startAddress, 30});
        editByHand(0x1001, {QStringLiteral("Not this one"), 1, 5, 10});
        const rdm::QuorixEdits kept1 = rdm::editsOf(controller(0x1001).rec);
        const QString resultsFile = m_dir.filePath(QStringLiteral("results.txt"));
        const qsizetype mark = m_sim->messages().size();

        QList<QStringList> rows;
        QStringList header;
        bool closed = false;
        const auto results = restore(file, [&](RestoreDialog &d) {
            d.setResultsPathChooser([&](QWidget *) { return resultsFile; });
            const QTreeWidgetItem *h = d.Changes->headerItem();
            header = QStringList{h->text(0), h->text(1), h->text(2)};
            QTreeWidgetItem *first = itemOf(d.Changes, "00001000");
            for (int i = 0; first && i < first->childCount(); ++i)
                rows << QStringList{first->child(i)->text(0), first->child(i)->text(1), first->child(i)->text(2)};

            // To the change list, then down to the other controller changed by hand, and untick it.
            for (int i = 0; i < 20 && QApplication::focusWidget() != d.Changes; ++i)
                sendKey(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), d.Changes);
            QTreeWidgetItem *second = itemOf(d.Changes, "00001001");
            QVERIFY(first && second);
            QCOMPARE(second->checkState(0), Qt::Checked);
            sendKey(Qt::Key_Home);
            for (int i = 0; i < 40 && d.Changes->currentItem() != second; ++i)
                sendKey(Qt::Key_Down);
            QCOMPARE(d.Changes->currentItem(), second);
            sendKey(Qt::Key_Space);
            QCOMPARE(second->checkState(0), Qt::Unchecked);
            QCOMPARE(first->checkState(0), Qt::Checked);

            for (int i = 0; i < 20 && QApplication::focusWidget() != d.btnApply; ++i)
                sendKey(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), d.btnApply);
            QSignalSpy done(&d, &RestoreDialog::runFinished);
            sendKey(Qt::Key_Return);
            QVERIFY(done.count() > 0 || done.wait(20000));

            for (int i = 0; i < 20 && QApplication::focusWidget() != d.btnSaveResults; ++i)
                sendKey(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), d.btnSaveResults);
            sendKey(Qt::Key_Return);
            QVERIFY(QFile::exists(resultsFile));
            sendKey(Qt::Key_Escape);
            closed = !d.isVisible();
        });
        QCOMPARE(header, (QStringList{"Field", "Now", "From the file"}));
        QCOMPARE(rows, (QList<QStringList>{{"gamma", "3", QString::number(saved0.gammaTenths / 10.0)},
                                           {"nickname", "By keys", saved0.nickname}}));
        QCOMPARE(results.size(), 1);
        QVERIFY2(results[0].outcome == Outcome::Verified, qPrintable(settings::resultText(results[0])));
        QFile saved(resultsFile);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), settings::resultListText(results));
        QVERIFY(closed);
        QCOMPARE(rdm::editsOf(controller(0x1000).rec), saved0);
        QCOMPARE(rdm::editsOf(controller(0x1001).rec), kept1);
        for (const QByteArray &m : setMessagesFrom(*m_sim, mark))
            QCOMPARE(destId(m), 0x1000u);
    }

    // A file with a value outside its field's limits is refused with the member named, and
    // nothing reaches the line.
    void corruptFileRefused()
    {
        QVERIFY(search());
        const QString file = backUpAll();
        QVERIFY(settingstest::editEntries(file, [](int i, QJsonObject &, QJsonObject &s) {
            if (i == 1)
                s["startAddress"] = 600;
        }));

        const qsizetype before = m_sim->messages().size();
        QString told;
        bool dialogOpened = false;
        glwtest::answerModalOf<QMessageBox>([&](QMessageBox *box) {
            told = box->text();
            box->accept();
        });
        const auto results = restore(file, [&](RestoreDialog &) { dialogOpened = true; });
        QVERIFY(!dialogOpened);
        QVERIFY(results.isEmpty());
        QVERIFY2(told.contains("controllers[1].settings.startAddress"), qPrintable(told));
        QVERIFY2(told.contains("nothing was sent"), qPrintable(told));
        QTest::qWait(100);
        QCOMPARE(m_sim->messages().size(), before);
    }

    // The file gives the two misbehaving controllers a new nickname and gamma: the one that keeps
    // its old nickname differs in just that, sent against reported; the one that falls silent after
    // the first set has no answer. (Last: the silent one answers no search after this.)
    void misbehavioursReported()
    {
        QVERIFY(search());
        const QString file = backUpAll();
        const QString oldName = rdm::labelShown(controller(0x3000).rec.LBL);
        QVERIFY(settingstest::editEntries(file, [](int, QJsonObject &c, QJsonObject &s) {
            if (c["uid"] == "00003000" || c["uid"] == "00003001") {
                c["nickname"] = "Renamed";
                s["gamma"] = 2.5;
            }
        }));
        const auto results = restore(file, [](RestoreDialog &d) { d.btnApply->click(); });
        QCOMPARE(results.size(), 2);
        QCOMPARE(results[0].outcome, Outcome::Differs);
        QVERIFY(results[0].controller.endsWith("00003000"));
        QCOMPARE(results[0].differences.size(), 1);
        QCOMPARE(results[0].differences[0].field, QStringLiteral("nickname"));
        QCOMPARE(results[0].differences[0].fromFile, QStringLiteral("Renamed"));
        QCOMPARE(results[0].differences[0].now, oldName);
        QCOMPARE(results[1].outcome, Outcome::NoAnswer);
        QVERIFY(results[1].controller.endsWith("00003001"));
        QCOMPARE(controller(0x3000).rec.Gamma, quint8(25));
    }
};

QTEST_MAIN(TestUsbRestore)
#include "tst_usb_restore.moc"
