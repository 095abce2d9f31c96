#pragma once
// The network family's link: the UDP port, the records of the controllers a search listed, and
// every datagram the program sends to them. No widget here: the network tab shows what the link
// holds and hands it the operator's requests; the configuration workflow and the firmware path
// reach controllers only through it.
//
// Records are listed in the order their replies were accepted. A controller is listed at most
// once per search, by its present address: the first reply from an address wins, and the set of
// listed addresses makes that check cost the same however long the list is. The records and the
// listed addresses are emptied together (a search, a rebind, clear()) and grow together by one per
// accepted reply; a workflow may change a record afterwards, but what was listed for its row (the
// texts the table shows) stays as the reply said until the next clear.

#include "common/result.h"
#include "net/orvantic.h"
#include "net/tessara_ctrl.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>

class UdpPort;

class NetworkLink : public QObject {
    Q_OBJECT
public:
    // Binds to all addresses on `port` (net::orvantic::Port in the program) at once; see startupBindError().
    explicit NetworkLink(quint16 port = net::orvantic::Port, QObject *parent = nullptr);
    ~NetworkLink() override;

    // The records, one per listed controller, by row.
    int count() const { return int(m_records.size()); }
    bool hasController(int row) const { return row >= 0 && row < count(); }
    // Only for a row that exists.
    const TTessaraCtrl &controller(int row) const { return m_records[row]; }
    // The row's texts as listed: Model, Nickname, IP, Firmware, Temp.
    const QStringList &rowTexts(int row) const { return m_rows[row]; }
    // The record of a row that exists, after the configuration workflow changed it. The row's
    // listed texts stay.
    void replaceController(int row, const TTessaraCtrl &record);
    // Empties the records and the listed addresses.
    void clear();

    // Empties the list and broadcasts one discovery request; replies are listed as they come.
    Result<> search();
    // The 336-byte configuration datagram of the row's record to its present address.
    Result<> sendConfig(int row);
    // The 27-byte network settings datagram of the row's record, broadcast; the controller picks
    // it by its MAC.
    Result<> sendNetworkSettings(int row);
    // Both fail, sending nothing, for a row that is not listed.
    // One datagram to `host` (dotted text) on the link's port. Fails when the port is not bound or
    // the send fails.
    Result<> send(const QByteArray &datagram, const QString &host);
    // Where datagrams go: the port unless replaced (tests capture them here).
    using Transport = std::function<Result<>(const QByteArray &datagram, const QString &host)>;
    void setTransport(Transport transport) { m_transport = std::move(transport); }

    // Empties the list and binds to `address` (all addresses for 0.0.0.0). On failure nothing is
    // bound until a later bind succeeds.
    Result<> bindTo(const QHostAddress &address);
    bool isBound() const;
    QHostAddress localAddress() const;
    quint16 port() const;
    // The error of the bind at start (all addresses), empty when it succeeded.
    QString startupBindError() const { return m_startupBindError; }
    // The port itself, for the receive buffer figures a benchmark reports.
    UdpPort *udpPort() const { return IdUDPServer1; }

    // One datagram as the port hands it over: a poll reply is listed, anything else dropped.
    void IdUDPServer1UDPRead(const QByteArray &data);
    void OrvaReadPollReply(const QByteArray &data);

signals:
    void cleared();
    void controllerListed(int row);
    // Every poll reply the port hands over, listed or not: a read-back after a change waits for
    // one controller's answer, which the listing would drop as a duplicate.
    void pollReplyHeard(const QByteArray &datagram);

private:
    Failure noController(int row) const;

    UdpPort *IdUDPServer1;
    QList<TTessaraCtrl> m_records;
    QList<QStringList> m_rows;
    QSet<quint32> m_listedAddresses;
    QString m_startupBindError;
    Transport m_transport;
};
