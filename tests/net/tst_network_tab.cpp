// The network tab on real loopback sockets: adapter list, binding, and the table that poll replies
// fill. Nothing here sends a limited broadcast: Search is only pressed while the socket is unbound,
// and broadcasts go to loopback's own 127.255.255.255.

#include "glw_test.h"
#include "net/network_link.h"
#include "net/network_tab.h"
#include "net/orvantic.h"
#include "net/udp_port.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QThread>
#include <QUdpSocket>

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
    net::tessara::setFixedText(c.Nickname, QString::fromLatin1(nickname));
    net::tessara::setFixedText(c.Firmware, QString::fromLatin1(firmware));
    c.Temperature = 215;
    return c;
}


// What a Debian system lets a process without CAP_NET_ADMIN have as its receive buffer.
constexpr int StockReceiveBuffer = 212992;

// Loopback addresses the fake adapters use; the tab binds to them for real.
const QList<tNetworkInterface> LoopbackAdapters = {iface("127.0.0.1", "255.0.0.0"),
                                                   iface("127.0.0.2", "255.0.0.0")};

} // namespace

class TestNetworkTab : public QObject {
    Q_OBJECT

    // Sends datagrams to `to` on the tab's port and waits until the tab has been handed `handed`
    // of them (only well-formed poll replies get that far). Make the last datagram one that is
    // handed on: then everything before it has been through the receive thread too.
    void deliver(NetworkTab &tab, const QList<QByteArray> &datagrams, int handed, const char *to = "127.0.0.1")
    {
        QUdpSocket sender;
        QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
        QSignalSpy received(tab.link().udpPort(), &UdpPort::datagramReceived);
        for (const QByteArray &d : datagrams)
            sender.writeDatagram(d, QHostAddress(QLatin1String(to)), tab.link().port());
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), handed, 10000);
    }

    // Sends from the GUI thread in bursts (of 50 unless told) every 5 ms, as a crowd of controllers answers,
    // without letting the event loop run meanwhile: the window is busy, the receive thread is not.
    // A thousand replies take 100 ms, far more than the socket buffer holds, yet leave a receive
    // thread time enough on a loaded machine.
    static void sendWhileBusy(quint16 port, const QList<QByteArray> &datagrams, int perBurst = 50)
    {
        QUdpSocket sender;
        sender.bind(QHostAddress::LocalHost, 0);
        for (qsizetype i = 0; i < datagrams.size(); ++i) {
            sender.writeDatagram(datagrams[i], QHostAddress::LocalHost, port);
            if (i % perBurst == perBurst - 1)
                QThread::usleep(5000);
        }
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

        NetworkLink link(freeUdpPort());
        NetworkTab tab(link, nullptr, fixed(interfaces, ok));
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
            QCOMPARE(link.udpPort()->localAddress(), QHostAddress(QHostAddress::AnyIPv4));
        }
    }

    void repliesFillTheTableInArrivalOrder()
    {
        NetworkLink link(freeUdpPort());
        NetworkTab tab(link, nullptr, fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        QVERIFY(tab.selectFirstAdapter().ok());
        QSignalSpy counts(&tab, &NetworkTab::countChanged);

        TTessaraCtrl four = controllerAt(11, "Truss \xE9");
        four.NumStrings = 4;
        const TTessaraCtrl boot = controllerAt(12, "", "Bootloader V1.0");
        QByteArray badModel = net::orvantic::buildPollReply(controllerAt(14), QStringLiteral("Tessara 16"));
        badModel[25] = 'x';
        // Four are handed on: the malformed ones never leave the receive thread.
        deliver(tab, {
                         net::orvantic::buildPollReply(controllerAt(10, "Stage left"), QStringLiteral("Tessara 16")),
                         net::orvantic::discoveryRequest(), // the PC's own broadcast heard back
                         QByteArray("Orvan"),
                         badModel,
                         net::orvantic::buildPollReply(four, QStringLiteral("Tessara 4"), 0),
                         net::orvantic::buildPollReply(controllerAt(10, "Late"), QStringLiteral("Tessara 16")),
                         net::orvantic::buildPollReply(controllerAt(13), QStringLiteral("Corvel 16")).left(377),
                         net::orvantic::buildPollReply(boot, QStringLiteral("Corvel 16"), 9),
                     },
                4);

        QCOMPARE(tab.rowCount(), 3);
        QCOMPARE(link.count(), 3);
        const QString temp = QString::fromUtf8("21.5°C / 70.7°F");
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 0), (QStringList{"Tessara 16", "Stage left", "10.0.0.10", "V1.4.5", temp}));
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 1),
                 (QStringList{"Tessara 4", QString::fromUtf8("Truss é"), "10.0.0.11", "V1.4.5", temp}));
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 2), (QStringList{"Corvel 16", "", "10.0.0.12", "Bootloader V1.0", ""}));
        QCOMPARE(link.controller(1).NumStrings, quint8(4));
        QVERIFY(link.controller(0) == controllerAt(10, "Stage left")); // the first reply from .10 stays
        QCOMPARE(counts.count(), 3);
        QCOMPARE(counts.last().first().toInt(), 3);
    }

    void choosingAnAdapterRebindsAndEmptiesTheTable()
    {
        NetworkLink link(freeUdpPort());
        NetworkTab tab(link, nullptr, fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        QVERIFY(tab.selectFirstAdapter().ok());
        deliver(tab, {net::orvantic::buildPollReply(controllerAt(10), QStringLiteral("Tessara 16"))}, 1);
        QCOMPARE(tab.rowCount(), 1);

        tab.comboNetAdapter->setCurrentIndex(1);
        tab.comboNetAdapterChange();
        QCOMPARE(tab.rowCount(), 0);
        QCOMPARE(link.count(), 0);
        QCOMPARE(link.udpPort()->localAddress(), QHostAddress(QStringLiteral("127.0.0.2")));
        // Only what arrives at the chosen adapter's address is heard now.
        deliver(tab, {net::orvantic::buildPollReply(controllerAt(20), QStringLiteral("Tessara 16"))}, 1, "127.0.0.2");
        QCOMPARE(tab.rowCount(), 1);
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 0).at(2), QStringLiteral("10.0.0.20"));

        // Refresh empties the table but keeps the binding, and shows the adapter still in use.
        tab.btnRefresh->click();
        QCOMPARE(tab.rowCount(), 0);
        QCOMPARE(tab.comboNetAdapter->currentText(), QStringLiteral("127.0.0.2"));
        QCOMPARE(link.udpPort()->localAddress(), QHostAddress(QStringLiteral("127.0.0.2")));
    }

    void failedRebindLeavesTheSocketInactiveUntilALaterPick()
    {
        const quint16 port = freeUdpPort();
        NetworkLink link(port);
        NetworkTab tab(link, nullptr, fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        QVERIFY(tab.selectFirstAdapter().ok());
        QUdpSocket squatter; // another program holding the port on the second adapter
        QVERIFY(squatter.bind(QHostAddress(QStringLiteral("127.0.0.2")), port, QAbstractSocket::DontShareAddress));

        glwtest::FailureCapture failures;
        tab.comboNetAdapter->setCurrentIndex(1);
        tab.comboNetAdapterChange();
        QVERIFY(!link.udpPort()->isBound());
        QCOMPARE(failures.texts().size(), 1);
        QVERIFY2(failures.texts()[0].startsWith(QStringLiteral("Cannot listen on 127.0.0.2 port %1: ").arg(port)),
                 qPrintable(failures.texts()[0]));
        // Search on an inactive socket reports the reason; nothing is sent from some other port.
        tab.Net_SearchClick();
        QCOMPARE(failures.texts().size(), 2);
        QVERIFY2(failures.texts()[1].contains(QString::number(port)), qPrintable(failures.texts()[1]));
        QCOMPARE(tab.rowCount(), 0);

        tab.comboNetAdapter->setCurrentIndex(0);
        tab.comboNetAdapterChange();
        QVERIFY(link.udpPort()->isBound());
        QCOMPARE(failures.texts().size(), 2);
        QCOMPARE(link.udpPort()->localAddress(), QHostAddress(QHostAddress::LocalHost));
    }

    void portTakenAtStartIsReported()
    {
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
        NetworkLink link(squatter.localPort());
        NetworkTab tab(link, nullptr, fixed(LoopbackAdapters));
        QVERIFY(!link.startupBindError().isEmpty());
        QVERIFY(!link.udpPort()->isBound());
    }

    // Several sockets may share the port to take a burst, but only among themselves: a second
    // program on the port (another window of ours, say) is told, and takes none of the replies.
    void secondProgramOnThePortIsRefused()
    {
        NetworkLink link(freeUdpPort());
        NetworkTab tab(link, nullptr, fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        QVERIFY(tab.selectFirstAdapter().ok());
        UdpPort second(link.udpPort()->port());
        QVERIFY(!second.bindTo(QHostAddress::LocalHost));
        QVERIFY(!second.lastError().isEmpty());
        NetworkLink atStart(link.port());
        QVERIFY(!atStart.startupBindError().isEmpty());

        QList<QByteArray> replies;
        for (int i = 0; i < 20; ++i)
            replies << net::orvantic::buildPollReply(controllerAt(40 + i), QStringLiteral("Tessara 16"));
        deliver(tab, replies, 20);
        QCOMPARE(tab.rowCount(), 20);
    }

    // Bound to an adapter, the port hears what is addressed to it and its subnet's broadcasts
    // (127.255.255.255 for loopback's 127/8, which never leaves the host); bound to all addresses
    // at start, it hears both as well.
    void broadcastRepliesAreListed_data()
    {
        QTest::addColumn<bool>("chooseAdapter");
        QTest::newRow("adapter chosen") << true;
        QTest::newRow("start-up binding") << false;
    }
    void broadcastRepliesAreListed()
    {
        QFETCH(bool, chooseAdapter);
        NetworkLink link(freeUdpPort());
        NetworkTab tab(link, nullptr, fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        if (chooseAdapter)
            QVERIFY(tab.selectFirstAdapter().ok());
        deliver(tab, {net::orvantic::buildPollReply(controllerAt(30), QStringLiteral("Tessara 16"))}, 1, "127.255.255.255");
        deliver(tab, {net::orvantic::buildPollReply(controllerAt(31), QStringLiteral("Tessara 4"))}, 1, "127.0.0.1");
        QCOMPARE(tab.rowCount(), 2);
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 0).at(2), QStringLiteral("10.0.0.30"));
        QCOMPARE(glwtest::rowTexts(tab.Network_Grid, 1).at(2), QStringLiteral("10.0.0.31"));
    }

    // A large installation answers within milliseconds while the window may be busy; with the
    // receive buffer an ordinary user gets (net.core.rmem_max as shipped), every reply must still
    // be listed, in arrival order.
    void burstOfRepliesIsNotLost()
    {
        NetworkLink link(freeUdpPort());
        NetworkTab tab(link, nullptr, fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        link.udpPort()->setReceiveBufferRequest(StockReceiveBuffer);
        QVERIFY(tab.selectFirstAdapter().ok());
        QVERIFY2(link.udpPort()->receiveBufferSize() <= 2 * StockReceiveBuffer,
                 qPrintable(QString::number(link.udpPort()->receiveBufferSize())));
        QList<QByteArray> replies;
        for (int i = 0; i < 1000; ++i) {
            TTessaraCtrl c = controllerAt(0);
            c.CurrentIP = {10, 1, quint8(i >> 8), quint8(i)};
            replies << net::orvantic::buildPollReply(c, QStringLiteral("Tessara 16"));
        }
        sendWhileBusy(link.udpPort()->port(), replies);
        QTRY_COMPARE_WITH_TIMEOUT(tab.rowCount(), 1000, 10000);
        for (int row : {0, 1, 500, 999})
            QCOMPARE(glwtest::rowTexts(tab.Network_Grid, row).at(2),
                     QStringLiteral("10.1.%1.%2").arg(row >> 8).arg(row & 255));
    }

    // A flood the window cannot keep up with: malformed datagrams never reach it, and of valid ones
    // no more than the queue holds wait for it. Afterwards the port works as before.
    void floodIsBounded()
    {
        NetworkLink link(freeUdpPort());
        NetworkTab tab(link, nullptr, fixed(LoopbackAdapters));
        tab.UpdateNetInterfaces();
        link.udpPort()->setReceiveBufferRequest(StockReceiveBuffer);
        QVERIFY(tab.selectFirstAdapter().ok());
        QSignalSpy received(link.udpPort(), &UdpPort::datagramReceived);

        QByteArray junk = net::orvantic::buildPollReply(controllerAt(40), QStringLiteral("Tessara 16"));
        junk[12] = 'X';
        sendWhileBusy(link.udpPort()->port(), QList<QByteArray>(50000, junk), 500);
        deliver(tab, {net::orvantic::buildPollReply(controllerAt(41), QStringLiteral("Tessara 16"))}, 1);
        QCOMPARE(tab.rowCount(), 1);

        const QByteArray same = net::orvantic::buildPollReply(controllerAt(41), QStringLiteral("Tessara 16"));
        received.clear();
        sendWhileBusy(link.udpPort()->port(), QList<QByteArray>(3 * UdpPort::QueueLimit, same), 500);
        // Until the window has caught up, the queue is full and a newcomer would be dropped too.
        for (qsizetype before = -1; before != received.count();) {
            before = received.count();
            QTest::qWait(200);
        }
        // Once the next controller is listed, everything that arrived before it has been handed on.
        QUdpSocket sender;
        QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
        sender.writeDatagram(net::orvantic::buildPollReply(controllerAt(42), QStringLiteral("Tessara 16")),
                             QHostAddress::LocalHost, link.udpPort()->port());
        QTRY_COMPARE_WITH_TIMEOUT(tab.rowCount(), 2, 10000);
        // What waited: the queue, and what the socket buffer held (each datagram takes at least its size).
        const qsizetype handed = received.count() - 1;
        const int limit = UdpPort::QueueLimit + link.udpPort()->receiveBufferSize() / net::orvantic::PollReplySize;
        QVERIFY2(handed > 0 && handed <= limit, qPrintable(QStringLiteral("%1 of at most %2").arg(handed).arg(limit)));
    }
};

QTEST_MAIN(TestNetworkTab)
#include "tst_network_tab.moc"
