// The virtual controllers take settings on loopback: a configuration datagram to a controller's
// address changes what it reports; a network settings datagram naming its MAC moves it to its new
// address. The network settings datagram is sent to 127.0.0.1, which only the simulator's
// all-addresses socket listens on, as a real controller hears the broadcast; nothing broadcasts.

#include "net/config_datagram.h"
#include "sim/controller_file.h"
#include "sim/net_sim.h"
#include "net/orvantic.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <memory>

namespace {

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0);
    return probe.localPort();
}

} // namespace

class TestNetSimSettings : public QObject {
    Q_OBJECT
    quint16 m_port = 0;
    std::unique_ptr<NetSim> m_sim;
    std::unique_ptr<QUdpSocket> m_pc;

    void send(const QByteArray &datagram, const char *to)
    {
        QCOMPARE(m_pc->writeDatagram(datagram, QHostAddress(QString::fromLatin1(to)), m_port), datagram.size());
    }
    // The reply of the controller at `at`, asked alone.
    std::optional<TTessaraCtrl> poll(const char *at)
    {
        send(net::orvantic::discoveryRequest(), at);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1000) {
            QTest::qWait(10);
            while (m_pc->hasPendingDatagrams()) {
                const QNetworkDatagram d = m_pc->receiveDatagram();
                if (auto reply = net::orvantic::parsePollReply(d.data()))
                    return reply->ctrl;
            }
        }
        return std::nullopt;
    }
    TTessaraCtrl simulated(int index) const { return m_sim->controllers()[index].ctrl; }

private slots:
    void init()
    {
        m_port = freePort();
        m_sim = std::make_unique<NetSim>(QList<VirtualController>{defaultController("127.0.0.2"),
                                                                      defaultController("127.0.0.3")});
        QString error;
        QVERIFY2(m_sim->start(m_port, &error), qPrintable(error));
        m_pc = std::make_unique<QUdpSocket>();
        QVERIFY(m_pc->bind(QHostAddress::LocalHost, 0));
    }
    void cleanup()
    {
        m_pc.reset();
        m_sim.reset();
    }

    void configurationChangesWhatIsReported()
    {
        QSignalSpy configured(m_sim.get(), &NetSim::configured);
        TTessaraCtrl wanted = simulated(0);
        net::tessara::setFixedText(wanted.Nickname, QStringLiteral("Moved"));
        wanted.SacnUniv = 42;
        wanted.DriverChip = 7;
        wanted.CurrentIP = {1, 2, 3, 4}; // identity is not carried
        send(net::orvantic::buildConfigDatagram(wanted), "127.0.0.2");
        QTRY_COMPARE(configured.size(), 1);
        QCOMPARE(configured.front().at(0).toInt(), 0);
        const auto reply = poll("127.0.0.2");
        QVERIFY(reply);
        QCOMPARE(net::tessara::fixedText(reply->Nickname), QStringLiteral("Moved"));
        QCOMPARE(reply->SacnUniv, quint16(42));
        QCOMPARE(reply->DriverChip, quint8(7));
        QCOMPARE(reply->CurrentIP, (std::array<quint8, 4>{127, 0, 0, 2}));
        QCOMPARE(net::tessara::fixedText(poll("127.0.0.3")->Nickname), net::tessara::fixedText(simulated(1).Nickname));

        // A datagram of the wrong size is not a configuration.
        send(net::orvantic::buildConfigDatagram(wanted).chopped(1), "127.0.0.2");
        QTest::qWait(100);
        QCOMPARE(configured.size(), 1);
    }

    void networkSettingsReaddressByMac()
    {
        QSignalSpy readdressed(m_sim.get(), &NetSim::readdressed);
        TTessaraCtrl target = simulated(1);
        target.DHCP = 0;
        target.StaticIP = {127, 0, 0, 4};
        target.SM = {255, 0, 0, 0};
        TTessaraCtrl stranger = target;
        stranger.MAC[5] ^= 0xFF;
        send(net::orvantic::buildNetSettingsDatagram(stranger), "127.0.0.1");
        QTest::qWait(100);
        QCOMPARE(readdressed.size(), 0);

        send(net::orvantic::buildNetSettingsDatagram(target), "127.0.0.1");
        QTRY_COMPARE(readdressed.size(), 1);
        QCOMPARE(readdressed.front().at(1).toString(), QString());
        const auto moved = poll("127.0.0.4");
        QVERIFY(moved);
        QCOMPARE(moved->CurrentIP, (std::array<quint8, 4>{127, 0, 0, 4}));
        QCOMPARE(moved->CurrentSM, (std::array<quint8, 4>{255, 0, 0, 0}));
        QCOMPARE(moved->StaticIP, target.StaticIP);
        // Nothing answers from the old address any more (the simulator's all-addresses socket
        // takes the request there and lets every controller answer from its own address).
        send(net::orvantic::discoveryRequest(), "127.0.0.3");
        QTest::qWait(200);
        QList<std::array<quint8, 4>> from;
        while (m_pc->hasPendingDatagrams())
            if (auto reply = net::orvantic::parsePollReply(m_pc->receiveDatagram().data()))
                from << reply->ctrl.CurrentIP;
        QCOMPARE(from.size(), 2);
        QVERIFY(!from.contains(std::array<quint8, 4>{127, 0, 0, 3}));
        QCOMPARE(poll("127.0.0.2")->CurrentIP, (std::array<quint8, 4>{127, 0, 0, 2}));

        // With DHCP on it stays where it is (no server to ask) and reports the flag.
        target.DHCP = 1;
        target.StaticIP = {127, 0, 0, 9};
        send(net::orvantic::buildNetSettingsDatagram(target), "127.0.0.1");
        QTRY_COMPARE(readdressed.size(), 2);
        const auto dhcp = poll("127.0.0.4");
        QVERIFY(dhcp);
        QCOMPARE(dhcp->DHCP, quint8(1));
        QCOMPARE(dhcp->StaticIP, (std::array<quint8, 4>{127, 0, 0, 9}));
    }

    void bootloaderIgnoresSettings()
    {
        QSignalSpy started(m_sim.get(), &NetSim::bootloaderStarted);
        send(net::orvantic::header(net::orvantic::OpBootloader), "127.0.0.2");
        QTRY_COMPARE(started.size(), 1);
        QSignalSpy configured(m_sim.get(), &NetSim::configured);
        QSignalSpy readdressed(m_sim.get(), &NetSim::readdressed);
        TTessaraCtrl c = simulated(0);
        c.StaticIP = {127, 0, 0, 5};
        send(net::orvantic::buildConfigDatagram(c), "127.0.0.2");
        send(net::orvantic::buildNetSettingsDatagram(c), "127.0.0.1");
        QTest::qWait(150);
        QCOMPARE(configured.size(), 0);
        QCOMPARE(readdressed.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestNetSimSettings)
#include "tst_netsim_settings.moc"
