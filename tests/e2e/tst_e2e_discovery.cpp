// Search on the network tab of the real main window, against virtual controllers on the other
// side of a private veth link.

#include "e2e_fixture.h"
#include "net/network_link.h"
#include "glw_test.h"
#include "app/glw_application.h"
#include "net/network_tab.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

namespace {

const char *const Controllers = R"(
[controller]
model = Tessara 16
ip = 10.77.1.10
nickname = Stage left
firmware = V1.4.5
Temperature = 215

[controller]
model = Tessara 4
ip = 10.77.1.11
nickname = Truss
firmware = V1.2.8
Temperature = 333

[controller]
model = Corvel 16
ip = 10.77.1.12
nickname = Partner
firmware = V1.3.0
Temperature = 0

[controller]
ip = 10.77.1.13
nickname = Updating
firmware = Bootloader V1.0

[controller]
ip = 10.77.1.14
nickname = First of two
duplicate = 1
version = 9
)";


} // namespace

class TestE2eDiscovery : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<e2e::NetSimProcess> m_sim;

private slots:
    void initTestCase()
    {
        if (e2e::controllerNamespace().isEmpty())
            QSKIP("runs only inside the namespaces of netns_run.sh");
        QVERIFY(e2e::addControllerAddresses(
            {"10.77.1.10", "10.77.1.11", "10.77.1.12", "10.77.1.13", "10.77.1.14"}));
        const QString file = e2e::writeControllerFile(m_dir, "controllers.txt", QString::fromUtf8(Controllers));
        m_sim = std::make_unique<e2e::NetSimProcess>();
        QVERIFY(m_sim->start({"--file", file, "--noise"}));
    }

    void searchListsEveryControllerOnce()
    {
        TForm1 form(0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        NetworkTab *net = form.NetworkDevices;
        // The app side has the loopback interface and one veth address.
        QCOMPARE(net->comboNetAdapter->count(), 1);
        QCOMPARE(net->comboNetAdapter->currentText(), qEnvironmentVariable("GLW_APP_ADDR"));
        QCOMPARE(net->netAddresses, QStringList{"10.77.0.0"});

        // Twice in quick succession: the second press empties the table, each controller once.
        // The status line shows that the search runs, then how many answered.
        net->setSearchWindowMs(1500);
        net->Net_Search->click();
        QVERIFY(net->StatusBar2->currentMessage().startsWith(QString::fromUtf8("Searching…")));
        net->Net_Search->click();
        QTRY_COMPARE_WITH_TIMEOUT(net->rowCount(), 5, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(net->StatusBar2->currentMessage(), QStringLiteral("5 controllers answered the search"), 5000);
        QTest::qWait(300); // late duplicates and noise must not add anything
        QCOMPARE(net->rowCount(), 5);
        QCOMPARE(form.DevicesLabel->text(), QStringLiteral("Found 5 Device(s)"));

        QCOMPARE(glwtest::rowTexts(net->Network_Grid, 0), (QStringList{"Tessara 16", "Stage left", "10.77.1.10", "V1.4.5",
                                                         QString::fromUtf8("21.5°C / 70.7°F")}));
        QCOMPARE(glwtest::rowTexts(net->Network_Grid, 1), (QStringList{"Tessara 4", "Truss", "10.77.1.11", "V1.2.8",
                                                         QString::fromUtf8("33.3°C / 91.9°F")}));
        QCOMPARE(glwtest::rowTexts(net->Network_Grid, 2), (QStringList{"Corvel 16", "Partner", "10.77.1.12", "V1.3.0",
                                                         QString::fromUtf8("0.0°C / 32.0°F")}));
        QCOMPARE(glwtest::rowTexts(net->Network_Grid, 3),
                 (QStringList{"Tessara 16", "Updating", "10.77.1.13", "Bootloader V1.0", ""}));
        QCOMPARE(glwtest::rowTexts(net->Network_Grid, 4).mid(0, 3), (QStringList{"Tessara 16", "First of two", "10.77.1.14"}));
        QCOMPARE(net->link().count(), 5);
        QCOMPARE(net->link().controller(1).NumStrings, quint8(4));
    }

    void cleanupTestCase()
    {
        m_sim.reset();
    }
};

int main(int argc, char *argv[])
{
    GlwApplication app(argc, argv);
    TestE2eDiscovery test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_e2e_discovery.moc"
