// Configuring virtual controllers through the real main window, on the other side of a private
// veth link: a double-click opens the settings, OK sends them and the next search shows them; a
// controller on another subnet is readdressed by its MAC; "Update Firmware" and a bootloader row
// lead to the upload dialog.

#include "config_test_util.h"
#include "config/config_workflow_rules.h"
#include "e2e_fixture.h"
#include "app/glw_application.h"
#include "glw_test.h"
#include "net/network_tab.h"
#include "firmware/tcp_firmware.h"
#include "config/tessara_config.h"

#include <QMessageBox>
#include <QTableView>

namespace {

// The app side is 10.77.0.1/16: the first controller is in its network, the second is not.
const char *const Controllers = R"(
[controller]
model = Tessara 16
ip = 10.77.1.30
mask = 255.255.0.0
nickname = Stage left
firmware = V1.4.5
HwRev = 5
SacnUniv = 1
SacnChan = 1
DriverChip = 4

[controller]
model = Tessara 4
ip = 192.168.77.20
mask = 255.255.255.0
mac = 02:47:4c:77:00:20
nickname = Lost
firmware = V1.4.5
)";

QStringList g_uncaught;

using e2e::doubleClick;
using e2e::rowOf;

} // namespace

class TestE2eConfig : public QObject {
    Q_OBJECT
    std::unique_ptr<e2e::NetSimProcess> m_sim;
    QTemporaryDir m_dir;
    std::unique_ptr<TForm1> m_form;

    NetworkTab *net() { return m_form->NetworkDevices; }

    bool search(int rows) { return e2e::search(net(), rows); }
    bool simSaid(const QByteArray &line)
    {
        return QTest::qWaitFor([&] { return m_sim->output().contains(line); }, 10000);
    }

private slots:
    void initTestCase()
    {
        if (e2e::controllerNamespace().isEmpty())
            QSKIP("runs only inside the namespaces of netns_run.sh");
        // 10.77.2.30 is where the lost controller is moved to.
        QVERIFY(e2e::addControllerAddresses({"10.77.1.30", "10.77.2.30"}));
        QVERIFY(e2e::runInControllerNs({"ip", "addr", "add", "192.168.77.20/24", "dev", "veth-ctl"}));
        const QString file = e2e::writeControllerFile(m_dir, "controllers.txt", QString::fromUtf8(Controllers));
        m_sim = std::make_unique<e2e::NetSimProcess>();
        QVERIFY(m_sim->start({"--file", file}));
        GlwApplication::setErrorSink([](const QString &text) { g_uncaught.append(text); });
        m_form = std::make_unique<TForm1>(0);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void cleanupTestCase()
    {
        m_form.reset();
        QVERIFY2(g_uncaught.isEmpty(), qPrintable(g_uncaught.join('\n')));
    }

    void configureAndSeeTheChange()
    {
        QVERIFY(search(2));
        TTessaraConfig *d = m_form->TessaraConfig;
        QList<QWidget *> opened;
        doubleClick(net()->Network_Grid, rowOf(net()->Network_Grid, "10.77.1.30"), [&](QWidget *w) {
            opened << w;
            configtest::typeInto(d->txtNickname, QStringLiteral("Front truss"));
            configtest::typeInto(d->txtStartUniv, QStringLiteral("21"));
            configtest::bringToFront(d->comboChip);
            d->comboChip->setCurrentIndex(d->comboChip->findText(QStringLiteral("TM1804")));
            configtest::click(d->btnOK);
        });
        QCOMPARE(opened, QList<QWidget *>{d});
        QVERIFY(simSaid("configured 10.77.1.30"));

        QVERIFY(search(2));
        const int row = rowOf(net()->Network_Grid, "10.77.1.30");
        QCOMPARE(glwtest::rowTexts(net()->Network_Grid, row).at(1), QStringLiteral("Front truss"));
        QStringList shown;
        doubleClick(net()->Network_Grid, row, [&](QWidget *w) {
            shown << d->txtNickname->text() << d->txtStartUniv->text() << d->comboChip->currentText();
            w->close();
        });
        QCOMPARE(shown, (QStringList{"Front truss", "21", "TM1804"}));
    }

    void readdressAControllerOnAnotherSubnet()
    {
        QVERIFY(search(2));
        TTessaraConfig *d = m_form->TessaraConfig;
        QStringList questions;
        QList<bool> tabs;
        doubleClick(net()->Network_Grid, rowOf(net()->Network_Grid, "192.168.77.20"), [&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            questions << (box ? box->text() : w->objectName());
            glwtest::answerModal([&](QWidget *) {
                for (int t = 0; t < 4; ++t)
                    tabs << d->TabControl1->isTabVisible(t);
                const char *ip[] = {"10", "77", "2", "30"};
                const char *sm[] = {"255", "255", "0", "0"};
                for (int k = 0; k < 4; ++k) {
                    configtest::typeInto(d->IP[k], QString::fromLatin1(ip[k]));
                    configtest::typeInto(d->SM[k], QString::fromLatin1(sm[k]));
                }
                configtest::click(d->radioStatic);
                configtest::click(d->btnOK);
            }, 15000);
            if (box)
                box->button(QMessageBox::Yes)->click();
            else
                w->close();
        });
        QCOMPARE(questions, QStringList{config::flow::RepairQuestion});
        QCOMPARE(tabs, (QList<bool>{true, false, false, false}));
        QVERIFY(simSaid("readdressed 10.77.2.30"));

        QVERIFY(search(2));
        QCOMPARE(rowOf(net()->Network_Grid, "192.168.77.20"), -1);
        const int row = rowOf(net()->Network_Grid, "10.77.2.30");
        QVERIFY(row >= 0);
        QCOMPARE(glwtest::rowTexts(net()->Network_Grid, row).at(1), QStringLiteral("Lost"));

        // Now in the adapter's network: the full dialog, no question.
        QList<QWidget *> opened;
        doubleClick(net()->Network_Grid, row, [&](QWidget *w) {
            opened << w;
            if (w == d)
                for (int t = 0; t < 4; ++t)
                    tabs << d->TabControl1->isTabVisible(t);
            w->close();
        });
        QCOMPARE(opened, QList<QWidget *>{d});
        QCOMPARE(tabs.mid(4), (QList<bool>{true, true, true, true}));
    }

    void updateFirmwareFromTheDialogThenBootloaderRow()
    {
        QVERIFY(search(2));
        TTessaraConfig *d = m_form->TessaraConfig;
        TTCPFirmware *upload = m_form->TCPFirmware;
        QList<QWidget *> opened;
        QString target, question;
        doubleClick(net()->Network_Grid, rowOf(net()->Network_Grid, "10.77.1.30"), [&](QWidget *w) {
            opened << w;
            // The question names the controller; Yes goes on to the bootloader.
            glwtest::answerModalOf<QMessageBox>([&](QMessageBox *box) {
                question = box->text();
                glwtest::answerModal([&](QWidget *next) {
                    opened << next;
                    target = upload->targetHost();
                    next->close();
                }, 15000);
                configtest::click(box->button(QMessageBox::Yes));
            });
            configtest::click(d->btnFirmware);
        });
        QCOMPARE(opened, (QList<QWidget *>{d, upload}));
        QVERIFY2(question.contains(QStringLiteral("10.77.1.30")), qPrintable(question));
        QCOMPARE(target, QStringLiteral("10.77.1.30"));
        QVERIFY(simSaid("bootloader 10.77.1.30"));

        QVERIFY(search(2));
        const int row = rowOf(net()->Network_Grid, "10.77.1.30");
        QCOMPARE(glwtest::rowTexts(net()->Network_Grid, row).at(3), QStringLiteral("Bootloader"));
        opened.clear();
        doubleClick(net()->Network_Grid, row, [&](QWidget *w) {
            opened << w;
            w->close();
        });
        QTest::qWait(300);
        QCOMPARE(opened, QList<QWidget *>{upload});
    }
};

int main(int argc, char *argv[])
{
    GlwApplication app(argc, argv);
    TestE2eConfig test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_e2e_config.moc"
