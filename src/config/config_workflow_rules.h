#pragma once
// What the configuration workflow decides, apart from any window: which settings a controller
// offers (by model, hardware revision and firmware), what the dialogs show for a record, how the
// dialogs' contents become a record again, and whether a controller's network fits the adapter's.
//
// The dialogs are described here as plain values (texts, check states, item indexes). The form
// side copies them into and out of the controls; everything that decides a byte lives here.

#include "config/output_mapping.h"
#include "net/tessara_ctrl.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace config::flow {

inline constexpr int Outputs = 16;

// What a controller offers. Firmware thresholds as the controllers introduced each feature.
struct Features {
    // Without a readable version the controller is offered what every firmware has, and the
    // read-back keeps the record's own values for everything a version would have decided.
    bool versionKnown = false;
    bool sixteenOutputs = true;        // "Tessara 16", "Corvel 16"; else "Tessara 4"
    bool singleOrderSelectable = false; // 1.2.4: one colour order for all outputs can be chosen
    bool dmxOutputs = false;            // 1.2.9: the DMX512 output group
    bool allDmxOutputs = false;         // ... with outputs 2 to 4: 16 outputs and HwRev 3 or later
    bool speedChoice = false;           // 1.3.0: slow or fast pixel data
    bool perOutputOrder = false;        // 1.3.1: a colour order per output; RgbOrder[0] is a code
    bool protocolChoice = false;        // 1.4.0: sACN or Art-Net
    bool holdFrame = false;             // 1.4.4
    bool groupingEditable = false;      // 1.4.4: grouping and intensity limit per output
    bool groupingFromRecord = false;    // shown as the record holds them, else as 1 and 100
    bool fan = false;                   // HwRev 5 or later
    bool networkRepair = false;         // 1.4.5: takes the network settings datagram
};
Features featuresOf(const TTessaraCtrl &c);

// The chip list in code order: the item index is the code sent. Five, ten or eleven entries.
QStringList chipList(const TTessaraCtrl &c);

// The speed label's caption: the dialog shows the speed choice only while it reads "Speed:".
QString speedCaption(const Features &f);

// "Powered" and "Off" for the two special values, else "12.4V"; green, or red for "Off".
using Argb = quint32;
inline constexpr Argb Green = 0xFF008000;
inline constexpr Argb Red = 0xFFFF0000;
struct VoltageDisplay {
    QString text;
    Argb colour;
    bool operator==(const VoltageDisplay &) const = default;
};
VoltageDisplay voltageDisplay(quint16 tenths);

// The nickname as the operator sees it: every non-zero character, a zero in the middle skipped.
QString nicknameText(const std::array<char16_t, 40> &nickname);

// Simple mapping: the outputs follow each other from one start, each taking three channels per
// pixel in universes of 510 channels. The counters are 16 bits wide, as in the controller, so a
// start past universe 65535 wraps to 0.
std::array<config::outputmapping::Start, Outputs> simpleMapping(quint16 startUniverse, quint16 startChannel, quint16 pixels);

// One row of the advanced output mapping dialog.
struct OutputRow {
    QString univ, chan, nodes, null, zig, group, bright;
    bool reversed = false;
};

// The contents of the three dialogs. Going in (the fill), an empty optional is a control the fill
// leaves alone because the controller does not offer it. Coming back (the read-back), the form
// side sets everything; what the controller does not offer is then ignored in favour of the
// record, so a control hidden for this controller never passes on what an earlier one left in it.
struct DialogValues {
    // Network
    std::array<QString, 4> ip, sm;
    bool dhcp = false;
    // Control
    QString startUniv, startChan, nodes;
    bool advanced = false;
    std::optional<bool> artNet;
    std::optional<bool> holdFrame;
    std::optional<std::array<bool, 4>> dmxOn;
    std::optional<std::array<QString, 4>> dmxUniv;
    // LEDs; -1 is a combo box without selection. The chip list (in code order) goes in only.
    QStringList chips;
    int chip = -1;
    std::optional<bool> perOutputOrder;
    int order = -1;
    std::optional<std::array<int, Outputs>> outputOrders;
    std::optional<bool> slow;
    std::array<QString, 3> gamma;
    std::array<int, 3> gammaTrack{};
    bool lockSliders = false;
    // Misc
    QString nickname;
    std::optional<QString> fan;
    std::optional<QString> fahrenheit;
    QString firmware;
    std::array<VoltageDisplay, 2> voltage;
    // Advanced mapping
    std::array<OutputRow, Outputs> rows;
};

// What the fill puts into the dialogs for a record.
DialogValues fillValues(const TTessaraCtrl &c);

// The record after OK: `before` with the dialogs' values written back. Nothing, and `unreadable`
// naming the box, when a box needed for the datagram does not hold a number: then no field may
// change, since a half-written record must never be sent.
std::optional<TTessaraCtrl> readBack(const DialogValues &v, const TTessaraCtrl &before,
                                     QString *unreadable = nullptr);

// The network-only repair: address, mask and DHCP, nothing else. Same contract as readBack.
std::optional<TTessaraCtrl> readBackNetwork(const DialogValues &v, const TTessaraCtrl &before,
                                            QString *unreadable = nullptr);

// Whether the controller's network (CurrentIP AND CurrentSM) is the adapter's, compared as dotted
// texts; a controller outside it is offered the repair only if its firmware takes it.
enum class IpCheck { SameNetwork, OldFirmware, OfferRepair };
IpCheck ipCompatibility(const TTessaraCtrl &c, const QString &adapterNetwork);

inline const QString RepairQuestion = QStringLiteral(
    "The IP address settings of the device are not compatible with your PC's IP settings. Would you like to "
    "change the IP settings on the device so you can properly communicate with it?");

} // namespace config::flow
