#include "net/network_link.h"

#include "common/log_categories.h"
#include "net/config_datagram.h"
#include "net/udp_port.h"

namespace {

quint32 addressKey(const std::array<quint8, 4> &ip)
{
    return quint32(ip[0]) << 24 | quint32(ip[1]) << 16 | quint32(ip[2]) << 8 | ip[3];
}

// What the table's Model cell says for a reply: the string count decides between the two
// Tessara models, whatever name the reply carries.
QString shownModel(const TTessaraCtrl &c, const QString &model)
{
    if (c.NumStrings == 4)
        return QLatin1String(net::orvantic::ModelTessara4);
    if (model == QLatin1String(net::orvantic::ModelCorvel16))
        return model;
    return QLatin1String(net::orvantic::ModelTessara16);
}

} // namespace

NetworkLink::NetworkLink(quint16 port, QObject *parent)
    : QObject(parent),
      // Only poll replies reach the GUI thread: everything else is dropped on the receive thread.
      IdUDPServer1(new UdpPort(port, this, net::orvantic::isPollReply))
{
    IdUDPServer1->setObjectName(QStringLiteral("IdUDPServer1"));
    connect(IdUDPServer1, &UdpPort::datagramReceived, this, &NetworkLink::IdUDPServer1UDPRead);
    if (!IdUDPServer1->bindTo(QHostAddress::AnyIPv4))
        m_startupBindError = IdUDPServer1->lastError();
}

NetworkLink::~NetworkLink() = default;

void NetworkLink::replaceController(int row, const TTessaraCtrl &record)
{
    if (hasController(row))
        m_records[row] = record;
}

void NetworkLink::clear()
{
    m_records.clear();
    m_rows.clear();
    m_listedAddresses.clear();
    emit cleared();
}

Result<> NetworkLink::search()
{
    clear();
    qCDebug(lcNet).noquote() << "search: discovery request to" << net::orvantic::BroadcastAddress << "from"
                             << IdUDPServer1->localAddress().toString();
    return send(net::orvantic::discoveryRequest(), QLatin1String(net::orvantic::BroadcastAddress));
}

Result<> NetworkLink::sendConfig(int row)
{
    if (!hasController(row))
        return noController(row);
    const TTessaraCtrl &c = m_records[row];
    qCDebug(lcConfig).noquote() << "configuration datagram to" << net::tessara::ipText(c.CurrentIP);
    return send(net::orvantic::buildConfigDatagram(c), net::tessara::ipText(c.CurrentIP));
}

Result<> NetworkLink::sendNetworkSettings(int row)
{
    if (!hasController(row))
        return noController(row);
    const TTessaraCtrl &c = m_records[row];
    qCDebug(lcConfig).noquote() << "network settings datagram by broadcast for the controller at"
                                << net::tessara::ipText(c.CurrentIP);
    return send(net::orvantic::buildNetSettingsDatagram(c), QLatin1String(net::orvantic::BroadcastAddress));
}

Failure NetworkLink::noController(int row) const
{
    // The list was emptied (a search, an adapter change) while the caller held the row.
    const QString text = tr("No controller is listed in row %1: the device list has %2.").arg(row + 1).arg(count());
    return Failure{text, text};
}

Result<> NetworkLink::send(const QByteArray &datagram, const QString &host)
{
    return m_transport ? m_transport(datagram, host) : IdUDPServer1->send(datagram, host);
}

Result<> NetworkLink::bindTo(const QHostAddress &address)
{
    clear();
    if (IdUDPServer1->bindTo(address))
        return {};
    qCWarning(lcNet).noquote() << "cannot bind to" << address.toString() << "port" << IdUDPServer1->port() << ":"
                               << IdUDPServer1->lastError();
    return Failure{tr("Cannot listen on %1 port %2: %3")
                       .arg(address.toString())
                       .arg(IdUDPServer1->port())
                       .arg(IdUDPServer1->lastError()),
                   IdUDPServer1->lastError()};
}

bool NetworkLink::isBound() const
{
    return IdUDPServer1->isBound();
}

QHostAddress NetworkLink::localAddress() const
{
    return IdUDPServer1->localAddress();
}

quint16 NetworkLink::port() const
{
    return IdUDPServer1->port();
}

void NetworkLink::IdUDPServer1UDPRead(const QByteArray &data)
{
    const auto opcode = net::orvantic::opcodeOf(data);
    if (opcode == net::orvantic::OpPollReply) {
        OrvaReadPollReply(data);
        emit pollReplyHeard(data);
    } else {
        qCDebug(lcNet).noquote() << "datagram of" << data.size() << "bytes dropped:"
                                 << (opcode ? QStringLiteral("opcode %1").arg(*opcode)
                                            : QStringLiteral("not of the family"));
    }
}

void NetworkLink::OrvaReadPollReply(const QByteArray &data)
{
    auto reply = net::orvantic::parsePollReply(data);
    if (!reply) {
        qCDebug(lcNet).noquote() << "poll reply of" << data.size() << "bytes dropped: too short or no known model";
        return;
    }
    const TTessaraCtrl &c = reply->ctrl;
    if (m_listedAddresses.contains(addressKey(c.CurrentIP))) {
        qCDebug(lcNet).noquote() << "poll reply dropped: address" << net::tessara::ipText(c.CurrentIP) << "already listed";
        return;
    }
    qCDebug(lcNet).noquote() << "poll reply listed:" << reply->model << net::tessara::ipText(c.CurrentIP);
    m_listedAddresses.insert(addressKey(c.CurrentIP));
    m_records.append(c);
    m_rows.append({shownModel(c, reply->model), net::tessara::fixedText(c.Nickname), net::tessara::ipText(c.CurrentIP),
                   net::tessara::fixedText(c.Firmware), net::tessara::temperatureText(c)});
    emit controllerListed(count() - 1);
}
