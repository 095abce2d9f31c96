// The network tab on real loopback sockets: adapter list, binding, and the table that poll replies
// fill. Nothing here broadcasts: Search is only pressed while the socket is unbound.

#include "glw_test.h"
#include "network_tab.h"
#include "orvantic.h"
#include "udp_port.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QUdpSocket>
#include <stdexcept>

namespace {

tNetworkInterface iface(const QString &ip, const QString &mask, bool loopback = false, bool up = true,
                        bool broadcast = true)
{
    tNetworkInterface n;
    n.AddrIP = ip;
    n.SubnetMask = mask;
    n.AddrNet = networkAddress(ip, mask);
    n.IsLoopback = loopback;
    n.IsInterfaceUp = up;
    n.BroadcastSupport = broadcast;
    return n;
}

NetworkTab::InterfaceSource fixed(QList<tNetworkInterface> list, bool ok = true)
{
    return [list, ok](QList<tNetworkInterface> &out) {
        out = ok ? list : QList<tNetworkInterface>{};
        return ok;
    };
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

TTessaraCtrl controllerAt(int lastOctet, const char *nickname = "", const char *firmware = "V1.4.5")
{
    TTessaraCtrl c;
    c.CurrentIP = {10, 0, 0, quint8(lastOctet)};
    tessara::setFixedText(c.Nickname, QString::fromLatin1(nickname));
    tessara::setFixedText(c.Firmware, QString::fromLatin1(firmware));
    c.Temperature = 215;
    return c;
}


// Loopback addresses the fake adapters use; the tab binds to them for real.
const QList<tNetworkInterface> LoopbackAdapters = {iface("127.0.0.1", "255.0.0.0"),
                                                   iface("127.0.0.2", "255.0.0.0")};

} // namespace

class TestNetworkTab : public QObject {
    Q_OBJECT

    // Sends datagrams to `to` on the tab's port and waits until the tab has handled them.
    void deliver(NetworkTab &tab, const QList<QByteArray> &datagrams, const char *to = "127.0.0.1")
    {
        QUdpSocket sender;
        QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
        QSignalSpy received(tab.IdUDPServer1, &UdpPort::datagramReceived);
        for (const QByteArray &d : datagrams)
            sender.writeDatagram(d, QHostAddress(QLatin1String(to)), tab.IdUDPServer1->port());
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), datagrams.size(), 10000);
    }

private slots:
    void adapterList_data()
    {
        QTest::addColumn<QList<tNetworkInterface>>("interfaces");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("networks");
        QTest::addColumn<bool>("searchEnabled");

        QTest::newRow("one adapter and loopback")
            << QList{iface("192.168.0.10", "255.255.255.0"), iface("127.0.0.1", "255.0.0.0", true)} << true
            << QStringList{"192.168.0.10"} << QStringList{"192.168.0.0"} << true;
        QTest::newRow("loopback, wired, wireless")
            << QList{iface("127.0.0.1", "255.0.0.0", true), iface("10.1.2.3", "255.255.0.0"),
                     iface("172.16.5.9", "255.255.255.252")}
            << true << QStringList{"10.1.2.3", "172.16.5.9"} << QStringList{"10.1.0.0", "172.16.5.8"} << true;
        QTest::newRow("down and no broadcast still listed")
            << QList{iface("10.9.9.9", "255.255.255.0", false, false, false)} << true << QStringList{"10.9.9.9"}
            << QStringList{"10.9.9.0"} << true;
        QTest::newRow("loopback only") << QList{iface("127.0.0.1", "255.0.0.0", true)} << true
                                       << QStringList{"None Found"} << QStringList{} << false;
        QTest::newRow("system not asked") << QList<tNetworkInterface>{} << false << QStringList{"None Found"}
                                          << QStringList{} << false;
        QList<tNetworkInterface> many;
        QStringList manyEntries, manyNets;
        for (int i = 1; i <= 20; ++i) {
            many << iface(QStringLiteral("10.%1.0.5").arg(i), "255.255.255.0");
            manyEntries << QStringLiteral("10.%1.0.5").arg(i);
            manyNets << QStringLiteral("10.%1.0.0").arg(i);
        }
        QTest::newRow("twenty adapters, all listed") << many << true << manyEntries << manyNets << true;
    }
    void adapterList()
    {
        QFETCH(QList<tNetworkInterface>, interfaces);
        QFETCH(bool, ok);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, networks);
        QFETCH(bool, searchEnabled);

        NetworkTab tab(nullptr, freeUdpPort(), fixed(interfaces, ok));
        tab.UpdateNetInterfaces();
        QStringList shown;
        for (int i = 0; i < tab.comboNetAdapter->count(); ++i)
            shown << tab.comboNetAdapter->itemText(i);
        QCOMPARE(shown, entries);
        QCOMPARE(tab.netAddresses, networks);
        QCOMPARE(tab.Net_Search->isEnabled(), searchEnabled);

        // Picking the placeholder changes nothing: the socket keeps its start-up binding.
        if (!searchEnabled) {
            tab.comboNetAdapter->setCurrentIndex(0);
            tab.comboNetAdapterChange();
            QCOMPARE(tab.IdUDPServer1->localAddress(), QHostAddress(QHostAddress::AnyIPv4));
        }
    }

    void repliesFillTheTableInArrivalOrder()
    {
        NetworkTab tab(nullptr, freeUdpPort(), fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        QVERIFY(tab.selectFirstAdapter().isEmpty());
        QSignalSpy counts(&tab, &NetworkTab::countChanged);

        TTessaraCtrl four = controllerAt(11, "Truss \xE9");
        four.NumStrings = 4;
        const TTessaraCtrl boot = controllerAt(12, "", "Bootloader V1.0");
        QByteArray badModel = orvantic::buildPollReply(controllerAt(14), QStringLiteral("Tessara 16"));
        badModel[25] = 'x';
        deliver(tab, {
                         orvantic::buildPollReply(controllerAt(10, "Stage left"), QStringLiteral("Tessara 16")),
                         orvantic::discoveryRequest(), // the PC's own broadcast heard back
                         QByteArray("Orvan"),
                         badModel,
                         orvantic::buildPollReply(four, QStringLiteral("Tessara 4"), 0),
                         orvantic::buildPollReply(controllerAt(10, "Late"), QStringLiteral("Tessara 16")),
                         orvantic::buildPollReply(boot, QStringLiteral("Corvel 16"), 9),
                         orvantic::buildPollReply(controllerAt(13), QStringLiteral("Corvel 16")).left(377),
                     });

        QCOMPARE(tab.rowCount(), 3);
        QCOMPARE(tab.PControllers.size(), 3);
        const QString temp = QString::fromUtf8("21.5°C / 70.7°F");
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 0), (QStringList{"Tessara 16", "Stage left", "10.0.0.10", "V1.4.5", temp}));
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 1),
                 (QStringList{"Tessara 4", QString::fromUtf8("Truss é"), "10.0.0.11", "V1.4.5", temp}));
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 2), (QStringList{"Corvel 16", "", "10.0.0.12", "Bootloader V1.0", ""}));
        QCOMPARE(tab.PControllers[1].NumStrings, quint8(4));
        QVERIFY(tab.PControllers[0] == controllerAt(10, "Stage left")); // the first reply from .10 stays
        QCOMPARE(counts.count(), 3);
        QCOMPARE(counts.last().first().toInt(), 3);
    }

    void choosingAnAdapterRebindsAndEmptiesTheTable()
    {
        NetworkTab tab(nullptr, freeUdpPort(), fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        QVERIFY(tab.selectFirstAdapter().isEmpty());
        deliver(tab, {orvantic::buildPollReply(controllerAt(10), QStringLiteral("Tessara 16"))});
        QCOMPARE(tab.rowCount(), 1);

        tab.comboNetAdapter->setCurrentIndex(1);
        tab.comboNetAdapterChange();
        QCOMPARE(tab.rowCount(), 0);
        QVERIFY(tab.PControllers.isEmpty());
        QCOMPARE(tab.IdUDPServer1->localAddress(), QHostAddress(QStringLiteral("127.0.0.2")));
        // Only what arrives at the chosen adapter's address is heard now.
        deliver(tab, {orvantic::buildPollReply(controllerAt(20), QStringLiteral("Tessara 16"))}, "127.0.0.2");
        QCOMPARE(tab.rowCount(), 1);
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 0).at(2), QStringLiteral("10.0.0.20"));

        // Refresh empties the table but keeps the binding, and shows the adapter still in use.
        tab.btnRefresh->click();
        QCOMPARE(tab.rowCount(), 0);
        QCOMPARE(tab.comboNetAdapter->currentText(), QStringLiteral("127.0.0.2"));
        QCOMPARE(tab.IdUDPServer1->localAddress(), QHostAddress(QStringLiteral("127.0.0.2")));
    }

    void failedRebindLeavesTheSocketInactiveUntilALaterPick()
    {
        const quint16 port = freeUdpPort();
        NetworkTab tab(nullptr, port, fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        QVERIFY(tab.selectFirstAdapter().isEmpty());
        QUdpSocket squatter; // another program holding the port on the second adapter
        QVERIFY(squatter.bind(QHostAddress(QStringLiteral("127.0.0.2")), port, QAbstractSocket::DontShareAddress));

        tab.comboNetAdapter->setCurrentIndex(1);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, tab.comboNetAdapterChange());
        QVERIFY(!tab.IdUDPServer1->isBound());
        // Search on an inactive socket reports the reason; nothing is sent from some other port.
        try {
            tab.Net_SearchClick();
            QFAIL("search on an inactive socket must fail");
        } catch (const std::runtime_error &e) {
            QVERIFY2(QString::fromLocal8Bit(e.what()).contains(QString::number(port)), e.what());
        }

        tab.comboNetAdapter->setCurrentIndex(0);
        tab.comboNetAdapterChange();
        QVERIFY(tab.IdUDPServer1->isBound());
        QCOMPARE(tab.IdUDPServer1->localAddress(), QHostAddress(QHostAddress::LocalHost));
    }

    void portTakenAtStartIsReported()
    {
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
        NetworkTab tab(nullptr, squatter.localPort(), fixed(LoopbackAdapters));
        QVERIFY(!tab.startupBindError().isEmpty());
        QVERIFY(!tab.IdUDPServer1->isBound());
    }

    // A large installation answers within milliseconds; every reply must be listed.
    void burstOfRepliesIsNotLost()
    {
        NetworkTab tab(nullptr, freeUdpPort(), fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        QVERIFY(tab.selectFirstAdapter().isEmpty());
        QList<QByteArray> replies;
        for (int i = 0; i < 1000; ++i) {
            TTessaraCtrl c = controllerAt(0);
            c.CurrentIP = {10, 1, quint8(i >> 8), quint8(i)};
            replies << orvantic::buildPollReply(c, QStringLiteral("Tessara 16"));
        }
        deliver(tab, replies);
        QCOMPARE(tab.rowCount(), 1000);
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 999).at(2), QStringLiteral("10.1.3.231"));
    }
};

QTEST_MAIN(TestNetworkTab)
#include "tst_network_tab.moc"
