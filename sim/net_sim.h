#pragma once
// A set of virtual Ethernet controllers on one host. Discovery requests are heard on a socket bound
// to all addresses (only such a socket receives a limited broadcast); each controller answers from
// a socket bound to its own address, as a real controller would.

#include "controller_file.h"

#include <QList>
#include <QObject>
#include <memory>

class QUdpSocket;
class QHostAddress;

class NetSim : public QObject {
    Q_OBJECT
public:
    explicit NetSim(QList<VirtualControllerSpec> controllers, QObject *parent = nullptr);
    ~NetSim() override;

    // Binds every socket; on failure `error` says which address could not be bound.
    bool start(quint16 port, QString *error);

    // Before the replies, send a few datagrams a PC must ignore (wrong magic, other opcodes,
    // truncated and malformed replies).
    void setNoise(bool on) { m_noise = on; }

    const QList<VirtualControllerSpec> &controllers() const { return m_specs; }

signals:
    void discoveryAnswered(int replies);

private:
    struct Controller;
    void onBroadcast();
    void answerDiscovery(const QHostAddress &to, quint16 port);
    void sendNoise(QUdpSocket *from, const QHostAddress &to, quint16 port);

    QList<VirtualControllerSpec> m_specs;
    QUdpSocket *m_wildcard = nullptr;
    std::vector<std::unique_ptr<Controller>> m_controllers;
    quint16 m_port = 0;
    bool m_noise = false;
};
