#pragma once
// What the controller dialog shows of a record, and which set messages its edits call for.

#include "rdm/quorix_ctrl.h"
#include "rdm/rdm_packet.h"

#include <QString>
#include <array>
#include <optional>

namespace rdm {

// The modes the dialog offers: personalities 1..ModeCount.
inline constexpr int ModeCount = 3;

// Highest DMX start address per mode (personality 1..3); 512 with no mode known.
int startAddressMax(int personality);

struct QuorixEdits {
    int personality = 0; // 1-based; 0: no mode chosen
    QString nickname{};
    int startAddress = 0;
    int gammaTenths = 0;
    friend bool operator==(const QuorixEdits &, const QuorixEdits &) = default;
};

// The dialog's fields as a record fills them.
QuorixEdits editsOf(const TQuorixCtrl &c);
// What the dialog's fields show for `values` before anyone types: a mode it does not offer shows
// none, a gamma beyond the slider sits at the slider's end, the nickname box holds LABEL_MAX
// characters. A restore compares with this, as the dialog's OK does.
QuorixEdits shownOf(const QuorixEdits &values);

// The four steps after OK, in their order: label, mode, start address, gamma. A step sends only
// when its field differs from what the dialog showed (not from the record: a gamma the controller
// never reported is held as 0 but shown as 1.0, and must not be written back unless changed).
// Each message carries the record with its own field changed; the record itself is left alone,
// since a value belongs in it only once its message has gone out (storeEdit).
enum EditStep { LabelStep, ModeStep, StartAddressStep, GammaStep, EditSteps };
using EditMessages = std::array<std::optional<RdmRequest>, EditSteps>;
bool stepChanged(EditStep step, const QuorixEdits &shown, const QuorixEdits &edited);
EditMessages editMessages(const TQuorixCtrl &rec, const QuorixEdits &shown, const QuorixEdits &edited);
// The set message of `step` carrying the record's value.
RdmRequest editRequest(EditStep step, const TQuorixCtrl &rec);
void storeEdit(TQuorixCtrl &rec, EditStep step, const QuorixEdits &edited);

} // namespace rdm
