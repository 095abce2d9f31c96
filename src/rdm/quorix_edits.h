#pragma once
// What the controller dialog shows of a record, and which set messages its edits call for.

#include "rdm/quorix_ctrl.h"
#include "rdm/rdm_packet.h"

#include <QString>
#include <array>
#include <optional>

namespace rdm {

// Highest DMX start address per mode (personality 1..3); 512 with no mode known.
int startAddressMax(int personality);

struct QuorixEdits {
    int personality = 0; // 1-based; 0: no mode chosen
    QString nickname;
    int startAddress = 0;
    int gammaTenths = 0;
    friend bool operator==(const QuorixEdits &, const QuorixEdits &) = default;
};

// The dialog's fields as a record fills them.
QuorixEdits editsOf(const TQuorixCtrl &c);

// The four steps after OK, in their order: label, mode, start address, gamma. A step whose value
// is unchanged sends nothing. `rec` takes each changed value before its message is built.
using EditMessages = std::array<std::optional<RdmRequest>, 4>;
EditMessages applyEdits(TQuorixCtrl &rec, const QuorixEdits &shown, const QuorixEdits &edited);

} // namespace rdm
