// Search on a LAN where controllers answer by broadcast, with a second adapter on another LAN, as
// the real main window sees it through private namespaces: replies to the sender, to
// 255.255.255.255 and to the subnet's broadcast address are listed alike; replies another PC's
// search draws are listed too, but only those that arrive through the chosen adapter; and a burst
// of a thousand is listed whole without privileges.

#include "e2e_fixture.h"
#include "net/network_link.h"
#include "app/glw_application.h"
#include "glw_test.h"
#include "net/network_tab.h"
#include "net/udp_port.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The controller side's LAN is the app's first adapter's (10.77.0.0/16); the other LAN is the
// second adapter's (10.78.0.0/16).
const char *const ControllersHere = R"(
[controller]
ip = 10.77.1.10
mask = 255.255.0.0
nickname = Here one

[controller]
model = Tessara 4
ip = 10.77.1.11
mask = 255.255.0.0
nickname = Here two
)";

const char *const ControllerThere = R"(
[controller]
ip = 10.78.1.10
mask = 255.255.0.0
nickname = Other LAN
)";

// Another PC on each LAN.
const QString OtherPcHere = QStringLiteral("10.77.0.3");
const QString OtherPcThere = QStringLiteral("10.78.0.3");

// What a process without CAP_NET_ADMIN gets as its receive buffer on a stock Debian system.
constexpr int StockReceiveBuffer = 212992;

// Takes CAP_NET_ADMIN from this process for good, as an ordinary user never has it. Programs it
// starts as root (ip, the virtual controllers) still get it back.
bool dropNetAdmin()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    const quint32 bit = 1u << (CAP_NET_ADMIN % 32);
    auto &word = data[CAP_NET_ADMIN / 32];
    word.effective &= ~bit;
    word.permitted &= ~bit;
    word.inheritable &= ~bit;
    return ::syscall(SYS_capset, &header, data) == 0;
}

QStringList addressesShown(const QTableView *grid)
{
    QStringList shown;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        shown << glwtest::rowTexts(grid, row).at(2);
    return shown;
}

} // namespace

class TestE2eBroadcast : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_here, m_there;

    std::unique_ptr<TForm1> openForm()
    {
        auto form = std::make_unique<TForm1>(0);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            return nullptr;
        return form;
    }

private slots:
    void initTestCase()
    {
        if (e2e::controllerNamespace().isEmpty() || e2e::otherNamespace().isEmpty())
            QSKIP("runs only inside the namespaces of netns_run.sh --second-adapter");
        QVERIFY(e2e::addControllerAddresses({"10.77.1.10", "10.77.1.11", OtherPcHere}));
        QVERIFY(e2e::addControllerAddresses({"10.78.1.10", OtherPcThere}, e2e::otherNamespace(), "veth-oth"));
        m_here = e2e::writeControllerFile(m_dir, "here.txt", QString::fromUtf8(ControllersHere));
        m_there = e2e::writeControllerFile(m_dir, "there.txt", QString::fromUtf8(ControllerThere));
    }

    void searchListsBothWhateverTheyReplyTo_data()
    {
        QTest::addColumn<QString>("replyTo");
        QTest::newRow("to the sender") << "sender";
        QTest::newRow("to 255.255.255.255") << "broadcast";
        QTest::newRow("to the subnet's broadcast") << "subnet";
    }
    void searchListsBothWhateverTheyReplyTo()
    {
        QFETCH(QString, replyTo);
        e2e::NetSimProcess sim;
        QVERIFY(sim.start({"--file", m_here, "--reply-to", replyTo}));
        auto form = openForm();
        QVERIFY(form);
        NetworkTab *net = form->NetworkDevices;
        QCOMPARE(net->comboNetAdapter->currentText(), qEnvironmentVariable("GLW_APP_ADDR"));

        net->Net_Search->click();
        QTRY_COMPARE_WITH_TIMEOUT(net->rowCount(), 2, 10000);
        QCOMPARE(addressesShown(net->Network_Grid), (QStringList{"10.77.1.10", "10.77.1.11"}));
        QCOMPARE(glwtest::rowTexts(net->Network_Grid, 1).mid(0, 2), (QStringList{"Tessara 4", "Here two"}));
    }

    // No search of ours: another PC's search on each LAN draws broadcast replies. Those of the
    // chosen adapter's LAN are listed; the other LAN's only once its adapter is chosen.
    void anotherPcsSearchIsListedOnlyThroughTheChosenAdapter()
    {
        e2e::NetSimProcess here, there;
        QVERIFY(here.start({"--file", m_here, "--reply-to", "broadcast"}));
        QVERIFY(there.start({"--file", m_there, "--reply-to", "broadcast"}, e2e::otherNamespace()));
        auto form = openForm();
        QVERIFY(form);
        NetworkTab *net = form->NetworkDevices;
        QCOMPARE(net->comboNetAdapter->count(), 2);
        QCOMPARE(net->comboNetAdapter->currentText(), qEnvironmentVariable("GLW_APP_ADDR"));

        QVERIFY(e2e::searchFromAnotherPc(OtherPcThere, e2e::otherNamespace()));
        QVERIFY(e2e::searchFromAnotherPc(OtherPcHere));
        QTRY_COMPARE_WITH_TIMEOUT(net->rowCount(), 2, 10000);
        QTest::qWait(300); // the other LAN's replies went out first; they must not turn up late
        QCOMPARE(addressesShown(net->Network_Grid), (QStringList{"10.77.1.10", "10.77.1.11"}));

        net->comboNetAdapter->setCurrentIndex(net->comboNetAdapter->findText(qEnvironmentVariable("GLW_OTHER_APP_ADDR")));
        net->comboNetAdapterChange();
        QCOMPARE(net->rowCount(), 0);
        QVERIFY(e2e::searchFromAnotherPc(OtherPcHere));
        QVERIFY(e2e::searchFromAnotherPc(OtherPcThere, e2e::otherNamespace()));
        QTRY_COMPARE_WITH_TIMEOUT(net->rowCount(), 1, 10000);
        QTest::qWait(300);
        QCOMPARE(addressesShown(net->Network_Grid), QStringList{"10.78.1.10"});
    }

    // As an ordinary user: no CAP_NET_ADMIN and the receive buffer a stock system allows. A thousand
    // controllers answering one search are all listed, in the order they answered. Last, since the
    // capability does not come back.
    void burstIsListedWholeWithoutPrivileges()
    {
        const int count = 1000;
        QStringList addresses;
        const quint32 first = QHostAddress(QStringLiteral("10.77.4.10")).toIPv4Address();
        for (int i = 0; i < count; ++i)
            addresses << QHostAddress(first + quint32(i)).toString();
        QVERIFY(e2e::addControllerAddresses(addresses));
        e2e::NetSimProcess sim;
        QVERIFY(sim.start({"--count", QString::number(count), "--first-ip", addresses.front()}));

        QVERIFY(dropNetAdmin());
        auto form = openForm();
        QVERIFY(form);
        NetworkTab *net = form->NetworkDevices;
        net->link().udpPort()->setReceiveBufferRequest(StockReceiveBuffer);
        net->comboNetAdapterChange(); // rebind with it
        QVERIFY2(net->link().udpPort()->receiveBufferSize() <= 2 * StockReceiveBuffer,
                 qPrintable(QString::number(net->link().udpPort()->receiveBufferSize())));

        net->Net_Search->click();
        QTRY_COMPARE_WITH_TIMEOUT(net->rowCount(), count, 30000);
        QCOMPARE(addressesShown(net->Network_Grid), addresses);
    }
};

int main(int argc, char *argv[])
{
    GlwApplication app(argc, argv);
    TestE2eBroadcast test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_e2e_broadcast.moc"
