#include "rdm/quorix_edits.h"

#include "common/field_rules.h"
#include "rdm/quorix_texts.h"
#include "rdm/rdm_params.h"

#include <algorithm>

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

QuorixEdits shownOf(const QuorixEdits &values)
{
    QuorixEdits shown = values;
    if (shown.personality < 1 || shown.personality > ModeCount)
        shown.personality = 0;
    shown.nickname.truncate(LABEL_MAX);
    shown.gammaTenths = std::clamp(shown.gammaTenths, common::GammaMinTenths, common::GammaMaxTenths);
    return shown;
}

bool stepChanged(EditStep step, const QuorixEdits &shown, const QuorixEdits &edited)
{
    switch (step) {
    case LabelStep: return edited.nickname != shown.nickname;
    case ModeStep: return edited.personality != shown.personality && edited.personality > 0;
    case StartAddressStep: return edited.startAddress != shown.startAddress;
    case GammaStep: return edited.gammaTenths != shown.gammaTenths;
    case EditSteps: break;
    }
    return false;
}

RdmRequest editRequest(EditStep step, const TQuorixCtrl &rec)
{
    switch (step) {
    case LabelStep: return labelSetRequest(rec);
    case ModeStep: return deviceModeSetRequest(rec);
    case StartAddressStep: return startAddressSetRequest(rec);
    case GammaStep:
    case EditSteps: break;
    }
    return deviceGammaSetRequest(rec);
}

EditMessages editMessages(const TQuorixCtrl &rec, const QuorixEdits &shown, const QuorixEdits &edited)
{
    EditMessages out;
    for (int i = 0; i < EditSteps; ++i) {
        const EditStep step = EditStep(i);
        if (!stepChanged(step, shown, edited))
            continue;
        TQuorixCtrl next = rec;
        storeEdit(next, step, edited);
        out[std::size_t(i)] = editRequest(step, next);
    }
    return out;
}

void storeEdit(TQuorixCtrl &rec, EditStep step, const QuorixEdits &edited)
{
    switch (step) {
    case LabelStep: rec.LBL = labelFromText(edited.nickname); return;
    case ModeStep: rec.PERS[0] = quint8(edited.personality); return;
    case StartAddressStep:
        rec.STA = {quint8(edited.startAddress >> 8), quint8(edited.startAddress & 0xFF)};
        return;
    case GammaStep: rec.Gamma = quint8(edited.gammaTenths); return;
    case EditSteps: return;
    }
}

} // namespace rdm
