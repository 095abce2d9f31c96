// The network link without any window: what it sends arrives as it was built, what fails comes
// back as a value with the system's reason, and a search lists each virtual controller once.
// The loopback cases send only between 127.0.0.1 and 127.0.0.2; the search runs only inside the
// private namespaces of netns_run.sh (as tst_network_link_netns), since it broadcasts.

#include "net/network_link.h"
#include "net/config_datagram.h"
#include "net/orvantic.h"
#include "netns_sim.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <functional>

using namespace net;

namespace {

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// What the socket layer says when a socket of its own cannot have `address` and `port`.
QString socketLayerReason(const QString &address, quint16 port)
{
    QUdpSocket probe;
    return probe.bind(QHostAddress(address), port, QAbstractSocket::DontShareAddress) ? QString() : probe.errorString();
}

// A controller's socket at 127.0.0.2 on the link's port, the link bound to 127.0.0.1.
struct Loopback {
    NetworkLink link{freeUdpPort()};
    QUdpSocket controller;

    bool start()
    {
        return link.bindTo(QHostAddress::LocalHost).ok()
            && controller.bind(QHostAddress(QStringLiteral("127.0.0.2")), link.port(), QAbstractSocket::DontShareAddress);
    }

    // Has the link list the controller: its poll reply, from its own socket.
    bool list(TTessaraCtrl c)
    {
        c.CurrentIP = {127, 0, 0, 2};
        QSignalSpy listed(&link, &NetworkLink::controllerListed);
        controller.writeDatagram(orvantic::buildPollReply(c, QStringLiteral("Tessara 16")), QHostAddress::LocalHost,
                                 link.port());
        return listed.wait(10000);
    }

    // The next datagram the controller receives, empty when none comes.
    QNetworkDatagram received()
    {
        if (!controller.hasPendingDatagrams() && !QTest::qWaitFor([this] { return controller.hasPendingDatagrams(); }, 10000))
            return {};
        return controller.receiveDatagram();
    }
};

TTessaraCtrl stageLeft()
{
    TTessaraCtrl c;
    tessara::setFixedText(c.Nickname, QStringLiteral("Stage left"));
    tessara::setFixedText(c.Firmware, QStringLiteral("V1.4.5"));
    c.MAC = {0x02, 0x47, 0x4c, 0x00, 0x00, 0x02};
    c.NumStrings = 16;
    c.Temperature = 215;
    return c;
}

const char *const Controllers = R"(
[controller]
ip = 10.77.1.20
nickname = First
firmware = V1.4.5

[controller]
model = Tessara 4
ip = 10.77.1.21
nickname = Second

[controller]
ip = 10.77.1.22
nickname = Answers twice
duplicate = 1

[controller]
model = Corvel 16
ip = 10.77.1.23
nickname = Updating
firmware = Bootloader V1.0
)";

} // namespace

class TestNetworkLink : public QObject {
    Q_OBJECT

private slots:
    // What the controller receives is what the link built, from the link's own address and port.
    void sendsReachTheControllerByteForByte()
    {
        Loopback net;
        QVERIFY(net.start());
        QVERIFY(net.list(stageLeft()));
        TTessaraCtrl changed = net.link.controller(0);
        tessara::setFixedText(changed.Nickname, QString::fromUtf8("Truss \xC3\xA9"));
        changed.NumNodes[3] = 340;
        net.link.replaceController(0, changed);

        QByteArray everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte.append(char(b));
        const struct {
            const char *what;
            std::function<Result<>()> send;
            QByteArray expected;
        } sends[] = {
            {"configuration", [&] { return net.link.sendConfig(0); }, orvantic::buildConfigDatagram(changed)},
            {"every byte value", [&] { return net.link.send(everyByte, QStringLiteral("127.0.0.2")); }, everyByte},
            {"bootloader trigger", [&] { return net.link.send(orvantic::bootloaderTrigger(), QStringLiteral("127.0.0.2")); },
             orvantic::bootloaderTrigger()},
        };
        for (const auto &s : sends) {
            const Result<> sent = s.send();
            QVERIFY2(sent.ok(), sent.ok() ? s.what : qPrintable(sent.failure().text));
            const QNetworkDatagram d = net.received();
            QVERIFY2(d.data() == s.expected, s.what);
            QCOMPARE(d.senderAddress(), QHostAddress(QHostAddress::LocalHost));
            QCOMPARE(d.senderPort(), int(net.link.port()));
        }
    }

    // A bind the system refuses: the text says where, the reason is the socket layer's own words,
    // and nothing is bound afterwards, so a send fails with that reason too instead of leaving
    // from some other port.
    void failuresComeBackAsValues_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("taken");
        QTest::newRow("port taken by another program") << "127.0.0.2" << true;
        // A documentation address no interface here has: binding sends nothing.
        QTest::newRow("address not on this host") << "192.0.2.1" << false;
    }
    void failuresComeBackAsValues()
    {
        QFETCH(QString, address);
        QFETCH(bool, taken);

        Loopback net;
        QVERIFY(net.link.bindTo(QHostAddress::LocalHost).ok());
        QUdpSocket squatter;
        if (taken)
            QVERIFY(squatter.bind(QHostAddress(address), net.link.port(), QAbstractSocket::DontShareAddress));
        const QString reason = socketLayerReason(address, net.link.port());
        QVERIFY(!reason.isEmpty());
        QSignalSpy cleared(&net.link, &NetworkLink::cleared);

        const Result<> bound = net.link.bindTo(QHostAddress(address));
        QVERIFY(!bound);
        QCOMPARE(bound.failure().reason, reason);
        QCOMPARE(bound.failure().text, QStringLiteral("Cannot listen on %1 port %2: %3").arg(address).arg(net.link.port()).arg(reason));
        QVERIFY(!net.link.isBound());
        QCOMPARE(cleared.count(), 1);

        const Result<> sent = net.link.send(orvantic::bootloaderTrigger(), QStringLiteral("127.0.0.1"));
        QVERIFY(!sent);
        QCOMPARE(sent.failure().reason, reason);
        QVERIFY2(sent.failure().text.contains(reason), qPrintable(sent.failure().text));

        // A later bind that works puts the link back to work.
        QVERIFY(net.link.bindTo(QHostAddress::LocalHost).ok());
        QVERIFY(net.link.isBound());
    }

    // Requests the link cannot carry out are refused before anything is sent.
    void refusedWithoutSending()
    {
        Loopback net;
        QVERIFY(net.start());
        const Result<> notAnAddress = net.link.send(orvantic::bootloaderTrigger(), QStringLiteral("stage-left"));
        QVERIFY(!notAnAddress);
        QCOMPARE(notAnAddress.failure().text, QStringLiteral("\"stage-left\" is not an IPv4 address"));
        // The list was emptied while a caller held a row.
        for (const Result<> &sent : {net.link.sendConfig(0), net.link.sendNetworkSettings(0), net.link.sendConfig(-1)}) {
            QVERIFY(!sent);
            QVERIFY2(sent.failure().text.startsWith(QStringLiteral("No controller is listed in row")),
                     qPrintable(sent.failure().text));
        }
        QTest::qWait(100);
        QVERIFY(!net.controller.hasPendingDatagrams());
    }

    // Against virtual controllers on the far side of a veth link, one of which answers twice:
    // each is listed once, in the order they answer, and a second search starts the list afresh.
    void searchListsEachControllerOnce()
    {
        if (netns::controllerNamespace().isEmpty())
            QSKIP("searches only inside the namespaces of netns_run.sh");
        QVERIFY(netns::addControllerAddresses({"10.77.1.20", "10.77.1.21", "10.77.1.22", "10.77.1.23"}));
        QTemporaryDir dir;
        netns::NetSimProcess sim;
        QVERIFY(sim.start({"--file", netns::writeControllerFile(dir, "controllers.txt", QString::fromUtf8(Controllers)),
                           "--noise"}));

        NetworkLink link; // the program's own port
        QVERIFY(link.startupBindError().isEmpty());
        QVERIFY(link.bindTo(QHostAddress(qEnvironmentVariable("GLW_APP_ADDR"))).ok());
        QSignalSpy cleared(&link, &NetworkLink::cleared);
        QSignalSpy listed(&link, &NetworkLink::controllerListed);
        QVERIFY(link.search().ok());
        QVERIFY(link.search().ok());
        QTRY_COMPARE_WITH_TIMEOUT(link.count(), 4, 10000);
        QTest::qWait(300); // the late second answer and the noise add nothing
        QCOMPARE(link.count(), 4);
        QCOMPARE(cleared.count(), 2);

        QStringList addresses;
        for (int row = 0; row < link.count(); ++row)
            addresses << tessara::ipText(link.controller(row).CurrentIP);
        QCOMPARE(addresses, (QStringList{"10.77.1.20", "10.77.1.21", "10.77.1.22", "10.77.1.23"}));
        QCOMPARE(link.rowTexts(1).value(0), QStringLiteral("Tessara 4"));
        QCOMPARE(link.rowTexts(2).value(1), QStringLiteral("Answers twice"));
        QCOMPARE(link.rowTexts(3), (QStringList{"Corvel 16", "Updating", "10.77.1.23", "Bootloader V1.0", ""}));
        // Each row was told of once: both requests went out before any answer was handled.
        QList<int> rows;
        for (const QList<QVariant> &signal : listed)
            rows << signal.value(0).toInt();
        QCOMPARE(rows, (QList<int>{0, 1, 2, 3}));

        // A configuration the link sends is taken by the controller it was meant for.
        TTessaraCtrl renamed = link.controller(0);
        tessara::setFixedText(renamed.Nickname, QStringLiteral("Renamed"));
        link.replaceController(0, renamed);
        QVERIFY(link.sendConfig(0).ok());
        QTRY_VERIFY_WITH_TIMEOUT(sim.output().contains("configured 10.77.1.20"), 10000);
        QVERIFY(link.search().ok());
        QTRY_COMPARE_WITH_TIMEOUT(link.count(), 4, 10000);
        for (int row = 0; row < link.count(); ++row)
            if (tessara::ipText(link.controller(row).CurrentIP) == QLatin1String("10.77.1.20"))
                QCOMPARE(link.rowTexts(row).value(1), QStringLiteral("Renamed"));
    }
};

QTEST_GUILESS_MAIN(TestNetworkLink)
#include "tst_network_link.moc"
