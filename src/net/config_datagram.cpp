#include "net/config_datagram.h"

#include "net/orvantic.h"
#include "common/wire_fields.h"

#include <cstring>

namespace net::orvantic {

namespace {

// Configuration datagram, bytes 32..335 (0..31: header and model text, written apart).
template <class Ctrl, class Visit>
void configLayout(Ctrl &c, Visit &&visit)
{
    visit(32, c.DHCP);
    visit(33, c.Nickname); // low byte of each character
    visit(73, c.NumNodes);
    visit(105, c.Protocol);
    visit(106, c.DmxMix);
    visit(107, c.MixMode);
    visit(108, c.StaticIP);
    visit(112, c.SM);
    visit(116, c.DmxStart);
    visit(118, c.SacnUniv);
    visit(120, c.SacnChan);
    visit(122, c.DriverChip);
    visit(123, c.Gamma);
    visit(126, c.AdvUniv);
    visit(158, c.AdvChan);
    visit(190, c.AdvNull);
    visit(206, c.AdvZig);
    visit(238, c.AdvReverse);
    visit(254, c.RgbOrder);
    visit(257, c.DmxOutOn);
    visit(261, c.DmxOutUniv);
    visit(269, c.ProtocolSpeed);
    visit(270, c.AdvRgbOrder);
    visit(286, c.Grouping);
    visit(318, c.Brightness);
    visit(334, c.HoldLastFrame);
    visit(335, c.FanTemp);
}

// Network settings datagram, bytes 12..26.
template <class Settings, class Visit>
void netSettingsLayout(Settings &s, Visit &&visit)
{
    visit(12, s.MAC);
    visit(18, s.DHCP);
    visit(19, s.StaticIP);
    visit(23, s.SM);
}

bool isDatagram(QByteArrayView d, int size, quint16 opcode)
{
    return d.size() == size && opcodeOf(d) == opcode;
}

} // namespace

QByteArray buildConfigDatagram(const TTessaraCtrl &ctrl)
{
    QByteArray out = header(OpConfig);
    out.resize(ConfigSize, '\0');
    std::memcpy(out.data() + 12, "Tessara ", 8);
    if (ctrl.NumStrings == 16)
        std::memcpy(out.data() + 20, "16", 2);
    else
        out[20] = '4'; // then NUL
    configLayout(ctrl, common::wire::FieldWriter{out});
    return out;
}

bool applyConfigDatagram(QByteArrayView datagram, TTessaraCtrl &ctrl)
{
    if (!isDatagram(datagram, ConfigSize, OpConfig))
        return false;
    configLayout(ctrl, common::wire::FieldReader{datagram});
    return true;
}

QByteArray buildNetSettingsDatagram(const TTessaraCtrl &ctrl)
{
    QByteArray out = header(OpNetSettings);
    out.resize(NetSettingsSize, '\0');
    const NetSettings s{ctrl.MAC, ctrl.DHCP, ctrl.StaticIP, ctrl.SM};
    netSettingsLayout(s, common::wire::FieldWriter{out});
    return out;
}

bool parseNetSettingsDatagram(QByteArrayView datagram, NetSettings &out)
{
    if (!isDatagram(datagram, NetSettingsSize, OpNetSettings))
        return false;
    netSettingsLayout(out, common::wire::FieldReader{datagram});
    return true;
}

} // namespace net::orvantic

namespace net::tessara {

QString deviceNetworkAddr(const TTessaraCtrl &ctrl)
{
    std::array<quint8, 4> net{};
    for (int k = 0; k < 4; ++k)
        net[k] = ctrl.CurrentIP[k] & ctrl.CurrentSM[k];
    return ipText(net);
}

} // namespace net::tessara
