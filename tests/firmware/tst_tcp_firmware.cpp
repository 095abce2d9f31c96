// The upload dialog and the bootloader trigger, against real loopback sockets, with the
// application's own handling of uncaught errors.

#include "app/glw_application.h"
#include "glw_test.h"
#include "hex_fixture.h"
#include "loopback_server.h"
#include "net/orvantic.h"
#include "firmware/tcp_firmware.h"
#include "firmware/trigger_bootloader.h"
#include "net/udp_port.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QUdpSocket>

namespace {

QStringList g_uncaught;

TTessaraCtrl loopbackController()
{
    TTessaraCtrl c;
    c.CurrentIP = {127, 0, 0, 1};
    return c;
}

// Answers the next message box with OK and records its text. Other modal windows (the upload
// dialog itself) are left alone.
void answerMessageBox(QStringList *texts)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, texts] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            texts->append(box->text());
            box->accept();
        }
    });
    timer->start();
    QTimer::singleShot(20000, timer, [timer] { timer->deleteLater(); });
}

} // namespace

class TestTcpFirmware : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void layout();
    void browsePutsFullPath();
    void updateSendsFileAndCloses();
    void fileProblemKeepsDialogOpen_data();
    void fileProblemKeepsDialogOpen();
    void refusedConnectionShowsError();
    void droppedConnectionIsNoSuccess();
    void triggerSendsDatagramThenOpensDialog();
    void triggerSendErrorOpensNothing();

private:
    // A fresh dialog for uploads to 127.0.0.1:port with `file` in FileDisplay, shown.
    void showDialog(quint16 port, const QString &file);
    // A file of the test's own directory with this content; its path.
    QString writeFile(const QByteArray &content);
    // Presses Update; notes whether lblStatus was visible while events were handled once.
    void pressUpdate();

    TTCPFirmware *m_dialog = nullptr;
    QTemporaryDir m_dir;
    QStringList m_boxes;
    bool m_statusSeen = false;
    bool m_browseDuringUpload = true;
    QString m_pathDuringUpload; // put into FileDisplay while the upload runs, when set
};

void TestTcpFirmware::init()
{
    QVERIFY(m_dir.isValid());
    g_uncaught.clear();
    m_boxes.clear();
    m_statusSeen = false;
    m_browseDuringUpload = true;
    m_pathDuringUpload.clear();
    m_dialog = new TTCPFirmware;
    m_dialog->setTiming({2000, 50, 2000});
    m_dialog->setTarget(loopbackController());
}

void TestTcpFirmware::cleanup()
{
    delete m_dialog;
}

void TestTcpFirmware::showDialog(quint16 port, const QString &file)
{
    delete m_dialog;
    m_dialog = new TTCPFirmware(nullptr, port);
    m_dialog->setTiming({2000, 50, 2000});
    m_dialog->setTarget(loopbackController());
    m_dialog->FileDisplay->setText(file);
    m_dialog->open(); // window-modal, as the workflow shows it, without blocking the test
}

QString TestTcpFirmware::writeFile(const QByteArray &content)
{
    const QString path = m_dir.filePath(QStringLiteral("fw.hex"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qFatal("cannot write the test file");
    return path;
}

void TestTcpFirmware::pressUpdate()
{
    // Fires in the single pass of event handling the upload allows, or after it.
    QTimer::singleShot(0, m_dialog, [this] {
        m_statusSeen = m_statusSeen || m_dialog->lblStatus->isVisible();
        m_browseDuringUpload = m_dialog->FileOpenBtn->isEnabled() || m_dialog->FileDisplay->isEnabled();
        if (m_dialog->lblStatus->isVisible() && !m_pathDuringUpload.isEmpty())
            m_dialog->FileDisplay->setText(m_pathDuringUpload);
    });
    answerMessageBox(&m_boxes);
    QTest::mouseClick(m_dialog->Update, Qt::LeftButton);
    QApplication::processEvents();
}

void TestTcpFirmware::layout()
{
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Tessara Firmware "));
    QCOMPARE(m_dialog->size(), QSize(366, 88));
    const struct {
        QWidget *w;
        const char *name;
        QRect geometry;
    } controls[] = {
        {m_dialog->FileOpenBtn, "FileOpenBtn", {16, 15, 65, 23}}, {m_dialog->FileDisplay, "FileDisplay", {96, 15, 257, 23}},
        {m_dialog->lblStatus, "lblStatus", {15, 44, 196, 40}},    {m_dialog->Cancel, "Cancel", {216, 49, 65, 25}},
        {m_dialog->Update, "Update", {288, 49, 65, 25}},
    };
    for (const auto &c : controls) {
        QCOMPARE(c.w->objectName(), QLatin1String(c.name));
        QCOMPARE(c.w->geometry(), c.geometry);
        // The status line is read by its text; everything an operator works has a name.
        QCOMPARE(c.w->accessibleName().isEmpty(), c.w == m_dialog->lblStatus);
    }
    QCOMPARE(m_dialog->FileOpenBtn->text(), QStringLiteral("Browse"));
    QCOMPARE(m_dialog->Cancel->text(), QStringLiteral("Close"));
    QCOMPARE(m_dialog->Update->text(), QStringLiteral("Update"));
    QCOMPARE(m_dialog->lblStatus->text(), QStringLiteral("Please wait, updating firmware..."));
    QVERIFY(m_dialog->lblStatus->font().bold());
    // The whole status text is shown, left of Close: wrapped where it is wider than the room.
    QVERIFY(m_dialog->lblStatus->geometry().right() < m_dialog->Cancel->geometry().left());
    QVERIFY2(m_dialog->lblStatus->heightForWidth(m_dialog->lblStatus->width()) <= m_dialog->lblStatus->height(),
             qPrintable(QString::number(m_dialog->lblStatus->heightForWidth(m_dialog->lblStatus->width()))));
    QVERIFY(m_dialog->lblStatus->isHidden());
    QVERIFY(m_dialog->FileDisplay->text().isEmpty());
    QCOMPARE(m_dialog->port(), quint16(49150));

    // Centred on the screen even when its owner sits in a corner.
    QWidget owner;
    owner.setGeometry(0, 0, 200, 150);
    owner.show();
    TTCPFirmware owned(&owner);
    owned.show();
    const QPoint offCentre = owned.frameGeometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2(qAbs(offCentre.x()) <= 2 && qAbs(offCentre.y()) <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    QCOMPARE(m_dialog->targetHost(), QStringLiteral("127.0.0.1"));
}

void TestTcpFirmware::browsePutsFullPath()
{
    QFile f(m_dir.filePath(QStringLiteral("new.hex")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QString directory, filter;
    glwtest::answerModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog)
            return;
        directory = dialog->directory().absolutePath();
        filter = dialog->nameFilters().join(QLatin1Char(';'));
        dialog->selectFile(QStringLiteral("new.hex"));
        static_cast<QDialog *>(dialog)->accept();
    });
    QTest::mouseClick(m_dialog->FileOpenBtn, Qt::LeftButton);
    QCOMPARE(directory, QDir(m_dir.path()).absolutePath());
    QCOMPARE(filter, QStringLiteral("Firmware Hex File (*.hex)"));
    QCOMPARE(m_dialog->FileDisplay->text(), QDir(m_dir.path()).absoluteFilePath(QStringLiteral("new.hex")));

    // Cancelling the choice keeps the path.
    glwtest::answerModal([](QWidget *w) {
        if (auto *dialog = qobject_cast<QFileDialog *>(w))
            dialog->reject();
    });
    QTest::mouseClick(m_dialog->FileOpenBtn, Qt::LeftButton);
    QCOMPARE(m_dialog->FileDisplay->text(), QDir(m_dir.path()).absoluteFilePath(QStringLiteral("new.hex")));
}

void TestTcpFirmware::updateSendsFileAndCloses()
{
    const QByteArray content(":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n");
    const QString path = writeFile(content);
    LoopbackServer server;
    showDialog(server.port(), path);
    // A 4-output controller gets the same announcement.
    TTessaraCtrl ctrl = loopbackController();
    ctrl.NumStrings = 4;
    m_dialog->setTarget(ctrl);
    // Another file chosen while the upload runs is not what is sent, and Browse is off meanwhile.
    m_pathDuringUpload = m_dir.filePath(QStringLiteral("other.hex"));
    pressUpdate();

    QVERIFY(!m_browseDuringUpload);
    QVERIFY(m_dialog->FileOpenBtn->isEnabled() && m_dialog->FileDisplay->isEnabled());
    QCOMPARE(m_boxes, QStringList{QStringLiteral("Update Sent")});
    QVERIFY(g_uncaught.isEmpty());
    QVERIFY(m_statusSeen);
    QVERIFY(m_dialog->lblStatus->isHidden());
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    const LoopbackServer::Received got = server.result();
    QCOMPARE(got.bytes, QByteArray("Firmware Tessara 16\r\n") + content);
    QVERIFY(got.peerClosed);

    // Opened again later, the box still shows what it showed last.
    QString shownPath;
    glwtest::answerModal([&](QWidget *w) {
        shownPath = m_dialog->FileDisplay->text();
        if (w == m_dialog)
            QTest::mouseClick(m_dialog->Cancel, Qt::LeftButton);
    });
    QCOMPARE(m_dialog->openFor(loopbackController()), int(QDialog::Rejected));
    QCOMPARE(shownPath, m_pathDuringUpload);
}

void TestTcpFirmware::fileProblemKeepsDialogOpen_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty name") << QString()
                                << "No firmware file is chosen: press Browse and pick the controller's .hex file.";
    QTest::newRow("missing file") << QStringLiteral("/nonexistent/firmware.hex")
                                  << "The firmware file /nonexistent/firmware.hex cannot be read: No such file or directory";
    QTest::newRow("empty file") << QStringLiteral("EMPTY") << "The firmware file EMPTY is empty.";
    QTest::newRow("folder") << QStringLiteral("FOLDER") << "The firmware file FOLDER cannot be read: it is a folder.";
    // Picked by mistake (any file can be typed in): never sent to a controller in its bootloader.
    QTest::newRow("not a HEX file") << QStringLiteral("NOTHEX")
                                    << "The firmware file NOTHEX is not a firmware HEX file: line 1 is not a HEX record.";
    QTest::newRow("HEX cut short") << QStringLiteral("CUTSHORT")
                                   << "The firmware file CUTSHORT is not a firmware HEX file: it ends without its "
                                      "end-of-file record, so it was cut short.";
}

// A file that cannot be sent is named before the controller is touched: no connection is tried
// (the port is closed, so one would be reported), and Browse has the focus for another choice.
void TestTcpFirmware::fileProblemKeepsDialogOpen()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    if (file == QLatin1String("EMPTY"))
        file = writeFile({});
    if (file == QLatin1String("FOLDER"))
        file = m_dir.path();
    if (file == QLatin1String("NOTHEX"))
        file = writeFile("Firmware notes: V1.5.0 fixes the gamma table.\n");
    if (file == QLatin1String("CUTSHORT"))
        file = writeFile(hexfixture::file(hexfixture::pattern(64)).chopped(11));
    for (const char *token : {"EMPTY", "FOLDER", "NOTHEX", "CUTSHORT"})
        message.replace(QLatin1String(token), file);
    showDialog(closedLoopbackPort(), file);
    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
    pressUpdate();

    QCOMPARE(m_boxes, QStringList{message});
    QVERIFY2(g_uncaught.isEmpty(), qPrintable(g_uncaught.join('\n')));
    QVERIFY(!m_statusSeen);
    QVERIFY(m_dialog->isVisible());
    QVERIFY(m_dialog->lblStatus->isHidden());
    QCOMPARE(m_dialog->FileDisplay->text(), file);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_dialog->FileOpenBtn));
}

void TestTcpFirmware::refusedConnectionShowsError()
{
    showDialog(closedLoopbackPort(), writeFile(hexfixture::file("data")));
    pressUpdate();

    QCOMPARE(g_uncaught.size(), 1);
    QVERIFY2(g_uncaught.front().contains(QStringLiteral("refused"), Qt::CaseInsensitive), qPrintable(g_uncaught.front()));
    QVERIFY(m_boxes.isEmpty()); // neither "Update Sent" nor "Error Sending File"
    QVERIFY(!m_statusSeen);
    QVERIFY(m_dialog->lblStatus->isHidden());
    QVERIFY(m_dialog->isVisible());
    QVERIFY(!m_dialog->IdTCPClient1->isConnected());

    // The dialog stays usable: a second press tries again.
    pressUpdate();
    QCOMPARE(g_uncaught.size(), 2);
    QVERIFY(m_dialog->isVisible());
}

void TestTcpFirmware::droppedConnectionIsNoSuccess()
{
    const QString path = writeFile(hexfixture::file(hexfixture::pattern(1000)));
    LoopbackServer server(LoopbackServer::Drop::ResetAfter, 21);
    showDialog(server.port(), path);
    pressUpdate();

    QCOMPARE(m_boxes, QStringList{QStringLiteral("Error Sending File")});
    QVERIFY(m_dialog->isVisible());
    QVERIFY(m_dialog->lblStatus->isHidden());
    // The operator goes on in the firmware window: Update, for another try.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_dialog->Update));
}

void TestTcpFirmware::triggerSendsDatagramThenOpensDialog()
{
    // The main window's port, bound to the controller's own (loopback) address, receives what is
    // sent to that address: the trigger must arrive there, exactly.
    quint16 port = 0;
    {
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        port = probe.localPort();
    }
    UdpPort udp(port);
    QVERIFY(udp.bindTo(QHostAddress::LocalHost));
    QList<QByteArray> received;
    connect(&udp, &UdpPort::datagramReceived, this, [&](const QByteArray &d) { received.append(d); });

    QElapsedTimer clock;
    qint64 openedAfter = -1;
    QString host;
    glwtest::answerModal([&](QWidget *w) {
        openedAfter = clock.elapsed();
        host = m_dialog->targetHost();
        if (w == m_dialog)
            QTest::mouseClick(m_dialog->Cancel, Qt::LeftButton);
    });
    TTessaraCtrl ctrl = loopbackController();
    clock.start();
    QVERIFY(TriggerBootloader(ctrl, [&udp](const QByteArray &d, const QString &h) { return udp.send(d, h); }, *m_dialog)
                .ok());

    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.front(), QByteArray("Orvantic\0\0\x06\x02", 12));
    QCOMPARE(received.front(), net::orvantic::header(net::orvantic::OpBootloader));
    QVERIFY2(openedAfter >= 1000, qPrintable(QString::number(openedAfter)));
    QCOMPARE(host, QStringLiteral("127.0.0.1"));
    QVERIFY(!m_dialog->isVisible());
}

void TestTcpFirmware::triggerSendErrorOpensNothing()
{
    UdpPort unbound(closedLoopbackPort());
    bool opened = false;
    glwtest::answerModal([&](QWidget *w) {
        opened = true;
        w->close();
    }, 1500);
    const Result<> triggered = TriggerBootloader(
        loopbackController(), [&unbound](const QByteArray &d, const QString &h) { return unbound.send(d, h); }, *m_dialog,
        0);
    QVERIFY(!triggered);
    QVERIFY2(triggered.failure().text.contains(QString::number(unbound.port())),
             qPrintable(triggered.failure().text));
    QTest::qWait(1600);
    QVERIFY(!opened);
}

int main(int argc, char **argv)
{
    GlwApplication app(argc, argv);
    GlwApplication::setErrorSink([](const QString &text) { g_uncaught.append(text); });
    TestTcpFirmware test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tcp_firmware.moc"
