// A network firmware update with the real main window's socket and upload dialog, against a virtual
// controller on the other side of a private veth link: trigger, the bootloader row, the upload, the
// new firmware.

#include "e2e_fixture.h"
#include "net/network_link.h"
#include "app/glw_application.h"
#include "glw_test.h"
#include "net/network_tab.h"
#include "firmware/tcp_firmware.h"
#include "firmware/trigger_bootloader.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>

namespace {

const char *const Controllers = R"(
[controller]
model = Tessara 4
ip = 10.77.1.20
nickname = Truss
firmware = V1.4.5
)";

// Data "V1.5.0" in an Intel HEX file.
const QByteArray Firmware(":0600000056312E352E30B2\r\n:00000001FF\r\n");

QStringList g_uncaught;

// Answers the next message box with OK and records its text. The upload dialog is modal too and may
// be the one in front when the check runs (the upload lets events through once): then look again.
void answerMessageBox(QStringList *texts, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    glwtest::answerModal([texts, clock, timeoutMs](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            texts->append(box->text());
            box->accept();
        } else if (clock.elapsed() < timeoutMs) {
            answerMessageBox(texts, int(timeoutMs - clock.elapsed()));
        }
    }, timeoutMs);
}

} // namespace

class TestE2eFirmware : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<e2e::NetSimProcess> m_sim; // ended with the test object

    // Presses Search and waits for the one controller's row.
    QStringList search(NetworkTab *net)
    {
        net->Net_Search->click();
        if (!QTest::qWaitFor([net] { return net->rowCount() == 1; }, 10000))
            return {};
        return glwtest::rowTexts(net->Network_Grid, 0);
    }

private slots:
    void initTestCase()
    {
        if (e2e::controllerNamespace().isEmpty())
            QSKIP("runs only inside the namespaces of netns_run.sh");
        QVERIFY(e2e::addControllerAddresses({"10.77.1.20"}));
        QVERIFY(QDir(m_dir.path()).mkpath("stored"));
        const QString file = e2e::writeControllerFile(m_dir, "controllers.txt", QString::fromUtf8(Controllers));
        m_sim = std::make_unique<e2e::NetSimProcess>();
        QVERIFY(m_sim->start({"--file", file, "--firmware-dir", m_dir.filePath("stored")}));
        GlwApplication::setErrorSink([](const QString &text) { g_uncaught.append(text); });
    }

    void triggerUploadAndSearch()
    {
        TForm1 form(0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        NetworkTab *net = form.NetworkDevices;
        QCOMPARE(search(net).mid(0, 4), (QStringList{"Tessara 4", "Truss", "10.77.1.20", "V1.4.5"}));

        const QString path = m_dir.filePath("update.hex");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(Firmware) == Firmware.size());
        f.close();

        // While the upload dialog waits, a search lists the controller in its bootloader; then
        // the operator picks the file and presses Update.
        TTCPFirmware *dialog = form.TCPFirmware;
        QStringList bootloaderRow;
        QStringList boxes;
        bool opened = false;
        glwtest::answerModal([&](QWidget *w) {
            if (w != dialog)
                return;
            opened = true;
            bootloaderRow = search(net);
            dialog->FileDisplay->setText(path);
            answerMessageBox(&boxes);
            QTest::mouseClick(dialog->Update, Qt::LeftButton);
        }, 10000);
        QVERIFY(TriggerBootloader(
            net->link().controller(0), [net](const QByteArray &d, const QString &h) { return net->link().send(d, h); }, *dialog));

        QVERIFY(opened);
        QCOMPARE(bootloaderRow, (QStringList{"Tessara 4", "Truss", "10.77.1.20", "Bootloader", ""}));
        QCOMPARE(boxes, QStringList{"Update Sent"});
        QVERIFY(g_uncaught.isEmpty());
        QVERIFY(!dialog->isVisible());

        QTRY_VERIFY_WITH_TIMEOUT(m_sim->output().contains("uploaded 10.77.1.20"), 10000);
        QFile stored(m_dir.filePath("stored/10.77.1.20.hex"));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), Firmware);

        const QStringList updated = search(net);
        QCOMPARE(updated.mid(0, 4), (QStringList{"Tessara 4", "Truss", "10.77.1.20", "V1.5.0"}));
        QVERIFY(!updated.at(4).isEmpty());
    }

    void uploadWithoutBootloaderShowsConnectionError()
    {
        // The controller runs its application again: nothing listens for an upload.
        TForm1 form(0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        NetworkTab *net = form.NetworkDevices;
        QCOMPARE(search(net).value(3), QStringLiteral("V1.5.0"));
        g_uncaught.clear();
        TTCPFirmware *dialog = form.TCPFirmware;
        glwtest::answerModal([&](QWidget *w) {
            if (w != dialog)
                return;
            dialog->FileDisplay->setText(m_dir.filePath("update.hex"));
            QTest::mouseClick(dialog->Update, Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            QTest::mouseClick(dialog->Cancel, Qt::LeftButton);
        }, 10000);
        dialog->openFor(net->link().controller(0));
        QCOMPARE(g_uncaught.size(), 1);
        QVERIFY2(g_uncaught.front().contains("10.77.1.20") && g_uncaught.front().contains("refused", Qt::CaseInsensitive),
                 qPrintable(g_uncaught.front()));
    }
};

int main(int argc, char *argv[])
{
    GlwApplication app(argc, argv);
    TestE2eFirmware test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_e2e_firmware.moc"
