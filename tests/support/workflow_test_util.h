#pragma once
// Controller records for the configuration workflow tests: settings that survive an unchanged trip
// through the dialogs, so "OK without changes" must send exactly what the record holds.

#include "config/config_workflow_rules.h"
#include "net/tessara_ctrl.h"

#include <QString>

namespace workflowtest {

// A controller as it would answer after a workflow for its firmware: settings within the dialogs'
// ranges, simple mapping whose output starts follow from its start, colour order in the form its
// firmware uses.
inline TTessaraCtrl consistentRecord(const QString &firmware, int numStrings = 16, int hwRev = 5)
{
    TTessaraCtrl c;
    c.CurrentIP = {127, 0, 0, 2};
    c.CurrentSM = {255, 0, 0, 0};
    c.MAC = {0x02, 0x47, 0x4c, 0x00, 0x00, 0x02};
    net::tessara::setFixedText(c.Firmware, firmware);
    net::tessara::setFixedText(c.Nickname, QStringLiteral("Truss left"));
    c.NumStrings = quint8(numStrings);
    c.HwRev = quint8(hwRev);
    c.DHCP = 0;
    c.StaticIP = {192, 168, 1, 40};
    c.SM = {255, 255, 255, 0};
    c.Protocol = 1;
    c.DmxMix = 0xA5;
    c.MixMode = 0x5A;
    c.DmxStart = 0x1234;
    c.SacnUniv = 7;
    c.SacnChan = 4;
    c.NumNodes.fill(100);
    const auto starts = config::flow::simpleMapping(7, 4, 100);
    for (int i = 0; i < 16; ++i) {
        c.AdvUniv[i] = quint16(starts[i].universe);
        c.AdvChan[i] = quint16(starts[i].channel);
        c.AdvRgbOrder[i] = quint8(i % 6);
        c.Grouping[i] = quint16(i + 2);
        c.Brightness[i] = quint8(90 - i);
    }
    c.DriverChip = 4;
    c.ProtocolSpeed = 1;
    c.Gamma = {22, 25, 18};
    c.RgbOrder = {2, 0x11, 0x22}; // GRB, current form; the other two bytes must survive
    c.DmxOutOn = {1, 0, 1, 1};
    c.DmxOutUniv = {11, 12, 13, 14};
    c.HoldLastFrame = 1;
    c.FanTemp = 45;
    c.Voltage = {124, 0xFFFF};
    c.Temperature = 300;
    return c;
}

// The earlier three-byte colour order (positions of red, green, blue) for firmware before 1.3.1,
// or "RGB" where the order cannot be chosen at all.
inline void useEarlierOrder(TTessaraCtrl &c, bool selectable)
{
    c.RgbOrder = selectable ? std::array<quint8, 3>{1, 0, 2} : std::array<quint8, 3>{0, 1, 2};
}

// What each firmware of the test grid offers, whatever the hardware.
struct FirmwareOffer {
    const char *firmware;
    int chips;
    const char *lastChip;
    bool singleOrder, dmx, speed, perOutputOrder, protocol, holdFrame, repair;
};
inline const FirmwareOffer Offers[] = {
    {"V1.2.2", 5, "WS2811/12", false, false, false, false, false, false, false},
    {"V1.2.8", 11, "WS2811 Slow", true, false, false, false, false, false, false},
    {"V1.3.0", 10, "Stella", true, true, true, false, false, false, false},
    {"V1.4.4", 11, "APA102", true, true, true, true, true, true, false},
    {"V1.4.5", 11, "APA102", true, true, true, true, true, true, true},
};

} // namespace workflowtest
