#pragma once
// The two datagrams that carry settings to an Ethernet controller:
//
//   configuration     336 bytes, opcode 0x0005, unicast to the controller's present address
//   network settings   27 bytes, opcode 0x0007, broadcast; the controller is picked by its MAC
//
// and the check of whether a controller's network is the adapter's.

#include "net/tessara_ctrl.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace net::orvantic {

inline constexpr int ConfigSize = 336;
inline constexpr int NetSettingsSize = 27;

// Every setting of the record, as it stands. The model text is "Tessara 16" or "Tessara 4"
// (from NumStrings), so a "Corvel 16" is configured as a "Tessara 16".
QByteArray buildConfigDatagram(const TTessaraCtrl &ctrl);

// What a controller does with one: the settings it carries land in `ctrl` (identity and status
// fields stay). False, and `ctrl` untouched, unless it is exactly a 336-byte configuration datagram.
bool applyConfigDatagram(QByteArrayView datagram, TTessaraCtrl &ctrl);

QByteArray buildNetSettingsDatagram(const TTessaraCtrl &ctrl);

// The network settings a controller would take from one: MAC it is addressed to, DHCP, static
// address and mask. False unless it is exactly a 27-byte network settings datagram.
struct NetSettings {
    std::array<quint8, 6> MAC{};
    quint8 DHCP = 0;
    std::array<quint8, 4> StaticIP{};
    std::array<quint8, 4> SM{};
};
bool parseNetSettingsDatagram(QByteArrayView datagram, NetSettings &out);

} // namespace net::orvantic

namespace net::tessara {

// The controller's present network, CurrentIP AND CurrentSM, as dotted text.
QString deviceNetworkAddr(const TTessaraCtrl &ctrl);

} // namespace net::tessara
