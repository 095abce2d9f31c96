#pragma once
// A set of virtual Ethernet controllers on one host. Discovery requests are heard on a socket bound
// to all addresses (only such a socket receives a limited broadcast); each controller answers from
// a socket bound to its own address, as a real controller would. That socket also takes what is
// sent to the controller alone: a discovery request (answered by this controller only) and the
// bootloader trigger.
//
// Bootloader: the trigger makes a controller report the firmware text "Bootloader" and listen for
// one upload on TCP, its own address and the same port. An upload must start with the line
// "Firmware Tessara 16" CR LF; the bytes after it are the firmware image, complete when the PC
// closes the connection. The controller then stores the image (when a firmware directory is set,
// as <address>.hex there) and runs its application again, reporting the first "V<n>.<n>.<n>" found
// in the image (the data of an Intel HEX file, or the bytes as they are) as its version, or else
// the version it had before ("V0.0.0" when it started in its bootloader). An upload with another
// first line, with no image, or with a HEX file that is garbled or cut short is refused and the
// controller stays in its bootloader. A controller whose file gives it a firmware text starting
// with "Bootloader" starts in its bootloader and reports that text until it is updated.
//
// Settings: a configuration datagram sent to a controller's own address replaces the settings it
// reports (its identity and status stay). A network settings datagram heard by any socket
// readdresses the controller whose MAC it names: with DHCP off it moves to the static address and
// mask, answering from there from then on (the address must be assigned to the host); with DHCP on
// it keeps its present address, there being no DHCP server to ask. A controller in its bootloader
// ignores both.
//
// Replies: to the sender of the discovery request, as most controllers do, or broadcast to
// 255.255.255.255 or to the controller's subnet (its present address and mask) on the port, as
// some firmware does; the PC must list them all the same.

#include "sim/controller_file.h"

#include <QList>
#include <QObject>
#include <memory>

class QUdpSocket;
class QHostAddress;

class NetSim : public QObject {
    Q_OBJECT
public:
    enum class ReplyTo { Sender, LimitedBroadcast, SubnetBroadcast };

    explicit NetSim(QList<VirtualController> controllers, QObject *parent = nullptr);
    ~NetSim() override;

    // Binds every socket; on failure `error` says which address could not be bound.
    bool start(quint16 port, QString *error);

    // Before the replies, send a few datagrams a PC must ignore (wrong magic, other opcodes,
    // truncated and malformed replies).
    void setNoise(bool on) { m_noise = on; }

    void setReplyTo(ReplyTo to) { m_replyTo = to; }

    // Where uploaded firmware images are stored; none are stored when empty.
    void setFirmwareDir(const QString &dir) { m_firmwareDir = dir; }

    const QList<VirtualController> &controllers() const { return m_descriptions; }

signals:
    // `sendNs`: how long sending the replies took, from the first to the last.
    void discoveryAnswered(int replies, qint64 sendNs);
    // The controller started its bootloader; `error` is set when its upload port cannot be opened.
    void bootloaderStarted(int index, const QString &error);
    // An upload ended: accepted (image of `bytes` bytes, now running `firmware`) or refused (`why`).
    void firmwareUploaded(int index, qint64 bytes, const QString &firmware);
    void uploadRefused(int index, const QString &why);
    // A configuration datagram was applied; `datagram` as it arrived.
    void configured(int index, const QByteArray &datagram);
    // A network settings datagram was taken; `error` is set when the new address cannot be bound
    // (the controller then stays where it was).
    void readdressed(int index, const QString &error);

private:
    struct Controller;
    void onBroadcast();
    void onUnicast(Controller &c);
    void applyNetSettings(const QByteArray &datagram);
    void enterBootloader(Controller &c);
    void onUploadConnection(Controller &c);
    void finishUpload(Controller &c);
    void sendReply(Controller &c, const QHostAddress &to, quint16 port);
    void answerDiscovery(const QHostAddress &to, quint16 port);
    void sendNoise(QUdpSocket *from, const QHostAddress &to, quint16 port);

    QList<VirtualController> m_descriptions;
    QUdpSocket *m_wildcard = nullptr;
    std::vector<std::unique_ptr<Controller>> m_controllers;
    quint16 m_port = 0;
    bool m_noise = false;
    ReplyTo m_replyTo = ReplyTo::Sender;
    QString m_firmwareDir;
};
