#pragma once
// The poll reply's layout: where each record field travels. The parser, the virtual controllers'
// encoder and anything that names fields (the simulator's controller files) all walk this one table.
// `visit(offset, field, name)` is called once per field, in wire order.

namespace net::orvantic {

// Poll reply, bytes 0..377. Bytes 12..31 (model) are handled apart: they set NumStrings.
template <class Ctrl, class Visit>
constexpr void pollReplyLayout(Ctrl &c, Visit &&visit)
{
    visit(32, c.CurrentIP, "CurrentIP");
    visit(36, c.DHCP, "DHCP");
    // 37: not read
    visit(38, c.Nickname, "Nickname");
    visit(78, c.Firmware, "Firmware");
    visit(98, c.MAC, "MAC");
    visit(104, c.Temperature, "Temperature");
    visit(106, c.NumNodes, "NumNodes");
    visit(138, c.Protocol, "Protocol");
    visit(139, c.DmxMix, "DmxMix");
    visit(140, c.MixMode, "MixMode");
    visit(141, c.StaticIP, "StaticIP");
    visit(145, c.SM, "SM");
    visit(149, c.DmxStart, "DmxStart");
    visit(151, c.SacnUniv, "SacnUniv");
    visit(153, c.SacnChan, "SacnChan");
    visit(155, c.DriverChip, "DriverChip");
    visit(156, c.Gamma, "Gamma");
    visit(159, c.Voltage, "Voltage");
    visit(163, c.AdvUniv, "AdvUniv");
    visit(195, c.AdvChan, "AdvChan");
    visit(227, c.AdvNull, "AdvNull");
    visit(243, c.AdvZig, "AdvZig");
    visit(275, c.AdvReverse, "AdvReverse");
    visit(291, c.RgbOrder, "RgbOrder");
    visit(294, c.DmxOutOn, "DmxOutOn");
    visit(298, c.DmxOutUniv, "DmxOutUniv");
    visit(306, c.HwRev, "HwRev");
    visit(307, c.ProtocolSpeed, "ProtocolSpeed");
    visit(308, c.AdvRgbOrder, "AdvRgbOrder");
    visit(324, c.Grouping, "Grouping");
    visit(356, c.Brightness, "Brightness");
    visit(372, c.HoldLastFrame, "HoldLastFrame");
    visit(373, c.FanTemp, "FanTemp");
    visit(374, c.CurrentSM, "CurrentSM");
}

} // namespace net::orvantic
