#include "rdm/quorix_edits.h"

#include "rdm/quorix_texts.h"
#include "rdm/rdm_params.h"

namespace rdm {

int startAddressMax(int personality)
{
    switch (personality) {
    case 1: return 494; // 19 channels
    case 2: return 490; // the controller's own limit for 22 channels, not 491
    default: return 512;
    }
}

QuorixEdits editsOf(const TQuorixCtrl &c)
{
    return {c.PERS[0], labelShown(c.LBL), startAddress(c), c.Gamma};
}

EditMessages applyEdits(TQuorixCtrl &rec, const QuorixEdits &shown, const QuorixEdits &edited)
{
    EditMessages out;
    if (edited.nickname != shown.nickname) {
        rec.LBL = labelFromText(edited.nickname);
        out[0] = labelSetRequest(rec);
    }
    if (edited.personality != shown.personality && edited.personality > 0) {
        rec.PERS[0] = quint8(edited.personality);
        out[1] = deviceModeSetRequest(rec);
    }
    if (edited.startAddress != shown.startAddress) {
        rec.STA = {quint8(edited.startAddress >> 8), quint8(edited.startAddress & 0xFF)};
        out[2] = startAddressSetRequest(rec);
    }
    if (edited.gammaTenths != rec.Gamma) {
        rec.Gamma = quint8(edited.gammaTenths);
        out[3] = deviceGammaSetRequest(rec);
    }
    return out;
}

} // namespace rdm
