#include "sim/net_sim.h"

#include "net/config_datagram.h"
#include "firmware/firmware_upload.h"
#include "net/orvantic.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

namespace {

constexpr char BootloaderText[] = "Bootloader";

// An uploaded image as a bootloader sees it. An Intel HEX file counts as complete only when every
// record's checksum holds and it ends with its end-of-file record, so a transfer cut short or
// garbled is not flashed.
struct Image {
    bool hex = false;
    bool complete = true;
    QByteArray data; // the HEX data records' bytes
};

Image readImage(const QByteArray &bytes)
{
    Image image;
    image.hex = bytes.trimmed().startsWith(':');
    if (!image.hex)
        return image;
    image.complete = false;
    for (const QByteArray &raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        const QByteArray record = QByteArray::fromHex(line.mid(1));
        quint8 sum = 0;
        for (char b : record)
            sum = quint8(sum + quint8(b));
        if (!line.startsWith(':') || record.size() < 5 || record.size() != 5 + quint8(record[0]) || sum != 0
            || image.complete)
            return Image{true, false, {}};
        if (record[3] == 0)
            image.data += record.mid(4, quint8(record[0]));
        else if (record[3] == 1)
            image.complete = true;
    }
    return image;
}

// The first version text in the image: in the data of a HEX file, else in the bytes as they are.
QString versionIn(const Image &image, const QByteArray &bytes)
{
    static const QRegularExpression version(QStringLiteral("V\\d{1,5}\\.\\d{1,5}\\.\\d{1,5}"));
    return version.match(QString::fromLatin1(image.hex ? image.data : bytes)).captured();
}

} // namespace

struct NetSim::Controller {
    int index = 0;
    QUdpSocket *socket = nullptr;
    QTcpServer *bootloader = nullptr;
    QTcpSocket *upload = nullptr;
    QByteArray received;
    QString application; // firmware text of the application while the bootloader runs, if known
};

NetSim::NetSim(QList<VirtualController> controllers, QObject *parent)
    : QObject(parent), m_descriptions(std::move(controllers))
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
    for (int i = 0; i < m_descriptions.size(); ++i) {
        auto *socket = new QUdpSocket(this);
        const QString ip = net::tessara::ipText(m_descriptions[i].ctrl.CurrentIP);
        if (!socket->bind(QHostAddress(ip), port, mode)) {
            if (error)
                *error = QStringLiteral("%1:%2: %3").arg(ip).arg(port).arg(socket->errorString());
            return false;
        }
        auto controller = std::make_unique<Controller>();
        controller->index = i;
        controller->socket = socket;
        Controller &c = *controller;
        m_controllers.push_back(std::move(controller));
        connect(socket, &QUdpSocket::readyRead, this, [this, &c] { onUnicast(c); });
        if (net::tessara::isBootloader(m_descriptions[i].ctrl))
            enterBootloader(c);
    }
    return true;
}

void NetSim::onUnicast(Controller &c)
{
    while (c.socket->hasPendingDatagrams()) {
        const QNetworkDatagram d = c.socket->receiveDatagram();
        if (!d.isValid())
            break;
        const auto opcode = net::orvantic::opcodeOf(d.data());
        if (opcode == net::orvantic::OpDiscovery) {
            QElapsedTimer clock;
            clock.start();
            sendReply(c, d.senderAddress(), quint16(d.senderPort()));
            emit discoveryAnswered(1, clock.nsecsElapsed());
        } else if (opcode == net::orvantic::OpBootloader && d.data().size() == net::orvantic::HeaderSize) {
            enterBootloader(c);
        } else if (opcode == net::orvantic::OpConfig && !c.bootloader) {
            VirtualController &described = m_descriptions[c.index];
            if (described.misbehave == NetMisbehaviour::DropsConfig)
                continue;
            const auto nickname = described.ctrl.Nickname;
            if (net::orvantic::applyConfigDatagram(d.data(), described.ctrl)) {
                if (described.misbehave == NetMisbehaviour::IgnoresNickname)
                    described.ctrl.Nickname = nickname;
                emit configured(c.index, d.data());
            }
        } else if (opcode == net::orvantic::OpNetSettings) {
            applyNetSettings(d.data());
        }
    }
}

void NetSim::enterBootloader(Controller &c)
{
    if (c.bootloader)
        return; // already waiting for an upload
    TTessaraCtrl &ctrl = m_descriptions[c.index].ctrl;
    if (!net::tessara::isBootloader(ctrl)) {
        c.application = net::tessara::fixedText(ctrl.Firmware);
        net::tessara::setFixedText(ctrl.Firmware, QLatin1String(BootloaderText));
    }
    c.bootloader = new QTcpServer(this);
    c.bootloader->setMaxPendingConnections(1);
    connect(c.bootloader, &QTcpServer::newConnection, this, [this, &c] { onUploadConnection(c); });
    QString error;
    if (!c.bootloader->listen(QHostAddress(net::tessara::ipText(ctrl.CurrentIP)), m_port))
        error = c.bootloader->errorString();
    emit bootloaderStarted(c.index, error);
}

void NetSim::onUploadConnection(Controller &c)
{
    while (QTcpSocket *next = c.bootloader->nextPendingConnection()) {
        if (c.upload) { // one upload at a time
            next->abort();
            next->deleteLater();
            continue;
        }
        c.upload = next;
        c.received.clear();
        connect(next, &QTcpSocket::readyRead, this, [&c, next] { c.received += next->readAll(); });
        connect(next, &QTcpSocket::disconnected, this, [this, &c] { finishUpload(c); });
    }
}

void NetSim::finishUpload(Controller &c)
{
    c.received += c.upload->readAll();
    c.upload->deleteLater();
    c.upload = nullptr;
    const QByteArray line(firmware::Announcement, firmware::AnnouncementSize);
    const QByteArray bytes = c.received.mid(line.size());
    if (!c.received.startsWith(line)) {
        emit uploadRefused(c.index, QStringLiteral("the upload did not start with the announcement line"));
        return;
    }
    const Image image = readImage(bytes);
    if (bytes.isEmpty() || !image.complete) {
        emit uploadRefused(c.index, bytes.isEmpty() ? QStringLiteral("no firmware image after the announcement line")
                                                    : QStringLiteral("incomplete or malformed HEX image"));
        return;
    }
    if (!m_firmwareDir.isEmpty()) {
        QFile out(QDir(m_firmwareDir).filePath(net::tessara::ipText(m_descriptions[c.index].ctrl.CurrentIP) + QStringLiteral(".hex")));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
            emit uploadRefused(c.index, QStringLiteral("cannot store the image: %1").arg(out.errorString()));
            return;
        }
    }
    // Back to the application, as a real controller restarts after flashing.
    c.bootloader->close();
    c.bootloader->deleteLater();
    c.bootloader = nullptr;
    const QString version = versionIn(image, bytes);
    const QString firmware = !version.isEmpty() ? version
        : !c.application.isEmpty()                ? c.application
                                                  : QStringLiteral("V0.0.0");
    net::tessara::setFixedText(m_descriptions[c.index].ctrl.Firmware, firmware);
    emit firmwareUploaded(c.index, bytes.size(), firmware);
}

void NetSim::onBroadcast()
{
    while (m_wildcard->hasPendingDatagrams()) {
        const QNetworkDatagram d = m_wildcard->receiveDatagram();
        if (!d.isValid())
            break;
        const auto opcode = net::orvantic::opcodeOf(d.data());
        if (opcode == net::orvantic::OpDiscovery)
            answerDiscovery(d.senderAddress(), quint16(d.senderPort()));
        else if (opcode == net::orvantic::OpNetSettings)
            applyNetSettings(d.data());
    }
}

void NetSim::applyNetSettings(const QByteArray &datagram)
{
    net::orvantic::NetSettings s;
    if (!net::orvantic::parseNetSettingsDatagram(datagram, s))
        return;
    for (const auto &controller : m_controllers) {
        Controller &c = *controller;
        TTessaraCtrl &ctrl = m_descriptions[c.index].ctrl;
        if (ctrl.MAC != s.MAC || c.bootloader)
            continue;
        ctrl.DHCP = s.DHCP;
        ctrl.StaticIP = s.StaticIP;
        ctrl.SM = s.SM;
        QString error;
        if (s.DHCP == 0 && s.StaticIP != ctrl.CurrentIP) {
            const auto mode = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
            auto *moved = new QUdpSocket(this);
            if (moved->bind(QHostAddress(net::tessara::ipText(s.StaticIP)), m_port, mode)) {
                c.socket->deleteLater();
                c.socket = moved;
                connect(moved, &QUdpSocket::readyRead, this, [this, &c] { onUnicast(c); });
                ctrl.CurrentIP = s.StaticIP;
            } else {
                error = moved->errorString();
                delete moved;
            }
        }
        if (error.isEmpty() && s.DHCP == 0)
            ctrl.CurrentSM = s.SM;
        emit readdressed(c.index, error);
    }
}

void NetSim::answerDiscovery(const QHostAddress &to, quint16 port)
{
    QElapsedTimer clock;
    clock.start();
    int sent = 0;
    for (const auto &c : m_controllers) {
        if (m_noise && c == m_controllers.front())
            sendNoise(c->socket, to, port);
        sendReply(*c, to, port);
        sent += m_descriptions[c->index].duplicate ? 2 : 1;
    }
    emit discoveryAnswered(sent, clock.nsecsElapsed());
}

void NetSim::sendReply(Controller &c, const QHostAddress &sender, quint16 senderPort)
{
    const VirtualController &described = m_descriptions[c.index];
    QHostAddress to = sender;
    quint16 port = senderPort;
    if (m_replyTo != ReplyTo::Sender) {
        port = m_port;
        to = QHostAddress(QHostAddress::Broadcast);
        if (m_replyTo == ReplyTo::SubnetBroadcast) {
            const quint32 ip = QHostAddress(net::tessara::ipText(described.ctrl.CurrentIP)).toIPv4Address();
            const quint32 mask = QHostAddress(net::tessara::ipText(described.ctrl.CurrentSM)).toIPv4Address();
            to = QHostAddress((ip & mask) | ~mask);
        }
    }
    c.socket->writeDatagram(net::orvantic::buildPollReply(described.ctrl, described.model, described.version), to, port);
    if (described.duplicate) {
        // Same address, other contents: the PC must keep the first.
        TTessaraCtrl other = described.ctrl;
        net::tessara::setFixedText(other.Nickname, QStringLiteral("Late duplicate"));
        c.socket->writeDatagram(net::orvantic::buildPollReply(other, described.model, described.version), to, port);
    }
}

void NetSim::sendNoise(QUdpSocket *from, const QHostAddress &to, quint16 port)
{
    // Each of these is from the first controller's own address and must leave no trace: its real
    // reply follows and must still be listed.
    const TTessaraCtrl &ctrl = m_descriptions.front().ctrl;
    QByteArray badMagic = net::orvantic::buildPollReply(ctrl, QStringLiteral("Tessara 16"));
    badMagic[0] = 'X';
    QByteArray otherOpcode = net::orvantic::buildPollReply(ctrl, QStringLiteral("Tessara 16"));
    otherOpcode[10] = 0x03;
    QByteArray truncated = net::orvantic::buildPollReply(ctrl, QStringLiteral("Tessara 16"));
    truncated.chop(1);
    QByteArray badModel = net::orvantic::buildPollReply(ctrl, QStringLiteral("Tessara 16"));
    badModel[25] = 'x';
    const QByteArray datagrams[] = {QByteArray(), QByteArray("Orvan"), net::orvantic::header(net::orvantic::OpPollReply),
                                    badMagic, otherOpcode, truncated, badModel,
                                    net::orvantic::discoveryRequest()};
    for (const QByteArray &d : datagrams)
        from->writeDatagram(d, to, port);
}
