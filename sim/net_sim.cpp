#include "net_sim.h"

#include "orvantic.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

struct NetSim::Controller {
    int index;
    QUdpSocket *socket;
};

NetSim::NetSim(QList<VirtualControllerSpec> controllers, QObject *parent)
    : QObject(parent), m_specs(std::move(controllers))
{
}

NetSim::~NetSim() = default;

bool NetSim::start(quint16 port, QString *error)
{
    m_port = port;
    const auto mode = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    m_wildcard = new QUdpSocket(this);
    if (!m_wildcard->bind(QHostAddress::AnyIPv4, port, mode)) {
        if (error)
            *error = QStringLiteral("0.0.0.0:%1: %2").arg(port).arg(m_wildcard->errorString());
        return false;
    }
    connect(m_wildcard, &QUdpSocket::readyRead, this, &NetSim::onBroadcast);
    for (int i = 0; i < m_specs.size(); ++i) {
        auto *socket = new QUdpSocket(this);
        const QString ip = tessara::ipText(m_specs[i].ctrl.CurrentIP);
        if (!socket->bind(QHostAddress(ip), port, mode)) {
            if (error)
                *error = QStringLiteral("%1:%2: %3").arg(ip).arg(port).arg(socket->errorString());
            return false;
        }
        m_controllers.push_back(std::make_unique<Controller>(Controller{i, socket}));
    }
    return true;
}

void NetSim::onBroadcast()
{
    while (m_wildcard->hasPendingDatagrams()) {
        const QNetworkDatagram d = m_wildcard->receiveDatagram();
        if (!d.isValid())
            break;
        if (orvantic::opcodeOf(d.data()) == orvantic::OpDiscovery)
            answerDiscovery(d.senderAddress(), quint16(d.senderPort()));
    }
}

void NetSim::answerDiscovery(const QHostAddress &to, quint16 port)
{
    int sent = 0;
    for (const auto &c : m_controllers) {
        const VirtualControllerSpec &spec = m_specs[c->index];
        if (m_noise && c == m_controllers.front())
            sendNoise(c->socket, to, port);
        c->socket->writeDatagram(orvantic::buildPollReply(spec.ctrl, spec.model, spec.version), to, port);
        ++sent;
        if (spec.duplicate) {
            // Same address, other contents: the PC must keep the first.
            TTessaraCtrl other = spec.ctrl;
            other.Nickname.fill(0);
            const char16_t late[] = u"Late duplicate";
            std::copy(std::begin(late), std::end(late) - 1, other.Nickname.begin());
            c->socket->writeDatagram(orvantic::buildPollReply(other, spec.model, spec.version), to, port);
            ++sent;
        }
    }
    emit discoveryAnswered(sent);
}

void NetSim::sendNoise(QUdpSocket *from, const QHostAddress &to, quint16 port)
{
    // Each of these is from the first controller's own address and must leave no trace: its real
    // reply follows and must still be listed.
    const TTessaraCtrl &ctrl = m_specs.front().ctrl;
    QByteArray badMagic = orvantic::buildPollReply(ctrl, QStringLiteral("Tessara 16"));
    badMagic[0] = 'X';
    QByteArray otherOpcode = orvantic::buildPollReply(ctrl, QStringLiteral("Tessara 16"));
    otherOpcode[10] = 0x03;
    QByteArray truncated = orvantic::buildPollReply(ctrl, QStringLiteral("Tessara 16"));
    truncated.chop(1);
    QByteArray badModel = orvantic::buildPollReply(ctrl, QStringLiteral("Tessara 16"));
    badModel[25] = 'x';
    const QByteArray datagrams[] = {QByteArray(), QByteArray("Orvan"), orvantic::header(orvantic::OpPollReply),
                                    badMagic, otherOpcode, truncated, badModel,
                                    orvantic::discoveryRequest()};
    for (const QByteArray &d : datagrams)
        from->writeDatagram(d, to, port);
}
