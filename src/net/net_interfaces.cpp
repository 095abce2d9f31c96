#include "net/net_interfaces.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QSysInfo>

namespace {

quint32 ipv4(const QString &text)
{
    return QHostAddress(text).toIPv4Address();
}

QString dotted(quint32 v)
{
    return QHostAddress(v).toString();
}

} // namespace

QString networkAddress(const QString &ip, const QString &mask)
{
    return dotted(ipv4(ip) & ipv4(mask));
}

QString directedBroadcast(const QString &ip, const QString &mask)
{
    return dotted((ipv4(ip) & ipv4(mask)) | ~ipv4(mask));
}

bool GetNetworkInterfaces(QList<tNetworkInterface> &aNetworkInterfaceList)
{
    aNetworkInterfaceList.clear();
    QString computerName = QSysInfo::machineHostName();
    if (computerName.size() > 15)
        computerName.clear(); // the name is informative only, and kept to what fits
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : interfaces) {
        const auto flags = iface.flags();
        for (const QNetworkAddressEntry &entry : iface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            tNetworkInterface n;
            n.ComputerName = computerName;
            n.AddrIP = entry.ip().toString();
            n.SubnetMask = entry.netmask().toString();
            n.AddrNet = networkAddress(n.AddrIP, n.SubnetMask);
            n.AddrLimitedBroadcast = entry.broadcast().isNull() ? QString() : entry.broadcast().toString();
            n.AddrDirectedBroadcast = directedBroadcast(n.AddrIP, n.SubnetMask);
            n.IsInterfaceUp = flags.testFlag(QNetworkInterface::IsUp);
            n.BroadcastSupport = flags.testFlag(QNetworkInterface::CanBroadcast);
            n.IsLoopback = flags.testFlag(QNetworkInterface::IsLoopBack);
            aNetworkInterfaceList.append(n);
        }
    }
    return true;
}

AdapterList adapterListFrom(const QList<tNetworkInterface> &interfaces)
{
    AdapterList list;
    for (const tNetworkInterface &n : interfaces) {
        if (n.IsLoopback)
            continue;
        list.addresses.append(n.AddrIP);
        list.netAddresses.append(n.AddrNet);
    }
    return list;
}
