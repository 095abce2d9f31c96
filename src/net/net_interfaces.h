#pragma once
// The PC's IPv4 interfaces, as the adapter list needs them.

#include <QList>
#include <QString>
#include <QStringList>

struct tNetworkInterface {
    QString ComputerName;
    QString AddrIP;
    QString SubnetMask;
    QString AddrNet;               // AddrIP AND SubnetMask
    QString AddrLimitedBroadcast;  // the broadcast address the system reports
    QString AddrDirectedBroadcast; // (AddrIP AND SubnetMask) OR NOT SubnetMask
    bool IsInterfaceUp = false;
    bool BroadcastSupport = false;
    bool IsLoopback = false;
};

// Replaces the list with every IPv4 address of every interface, in the order the system reports
// them. There is no limit on how many. Returns false only when the system could not be asked.
bool GetNetworkInterfaces(QList<tNetworkInterface> &aNetworkInterfaceList);

// What the adapter list shows and what the IP check compares with: one entry per IPv4 address of
// a non-loopback interface, entry for entry.
struct AdapterList {
    QStringList addresses;    // comboNetAdapter's entries
    QStringList netAddresses; // network address of each entry
};
AdapterList adapterListFrom(const QList<tNetworkInterface> &interfaces);

// Dotted-text helpers on IPv4 addresses.
QString networkAddress(const QString &ip, const QString &mask);
QString directedBroadcast(const QString &ip, const QString &mask);
