#include "rdm/quorix_read_back.h"

#include "rdm/quorix_texts.h"
#include "rdm/rdm_params.h"

#include <algorithm>

namespace rdm {

namespace {

quint8 phaseOf(EditStep step)
{
    switch (step) {
    case LabelStep: return DEVICE_LABEL;
    case ModeStep:
    case StartAddressStep: return DEVICE_INFO;
    case GammaStep:
    case EditSteps: break;
    }
    return DEVICE_GAMMA;
}

bool sameField(EditStep step, const QuorixEdits &a, const QuorixEdits &b)
{
    switch (step) {
    case LabelStep: return a.nickname == b.nickname;
    case ModeStep: return a.personality == b.personality;
    case StartAddressStep: return a.startAddress == b.startAddress;
    case GammaStep:
    case EditSteps: break;
    }
    return a.gammaTenths == b.gammaTenths;
}

} // namespace

bool ReadBackReport::verified() const
{
    return std::all_of(fields.cbegin(), fields.cend(),
                       [](const ReadBackField &f) { return f.state == ReadBackField::State::AsSent; });
}

bool ReadBackReport::answered() const
{
    return std::any_of(fields.cbegin(), fields.cend(),
                       [](const ReadBackField &f) { return f.state != ReadBackField::State::NoAnswer; });
}

ReadBackPlan::ReadBackPlan(quint32 deviceId, const QuorixEdits &shown, const QuorixEdits &edited)
{
    m_report.deviceId = deviceId;
    m_report.sent = edited;
    m_report.sent.nickname = labelShown(labelFromText(edited.nickname));
    m_report.reported = m_report.sent;
    for (int i = 0; i < EditSteps; ++i) {
        const EditStep step = EditStep(i);
        if (!stepChanged(step, shown, edited))
            continue;
        m_report.fields.append({step, ReadBackField::State::NoAnswer});
        if (!m_phases.contains(phaseOf(step)))
            m_phases.append(phaseOf(step));
    }
}

std::optional<RdmRequest> ReadBackPlan::next() const
{
    if (m_at >= m_phases.size())
        return std::nullopt;
    return getRequest(*getMessage(m_phases[m_at]), m_report.deviceId);
}

void ReadBackPlan::sent(quint8 transNum)
{
    m_transNums.append(transNum);
}

bool ReadBackPlan::take(const TRdmPacket &reply, QByteArrayView data)
{
    const std::optional<RdmRequest> asked = next();
    if (!asked || reply.cc != GET_COMMAND_RESPONSE || reply.pid != asked->pid || uidFrom(reply.srcUID) != asked->dest
        || !m_transNums.contains(reply.transNum))
        return false;
    const quint8 phase = m_phases[m_at];
    if (reply.portID == RESPONSE_TYPE_NACK_REASON) {
        settle(phase, ReadBackField::State::Refused);
        return true;
    }
    if (reply.portID != RESPONSE_TYPE_ACK)
        return false; // deferred: not an answer yet
    // Read as the search reads these replies, into a record of its own.
    TQuorixCtrl rec;
    switch (phase) {
    case DEVICE_INFO: {
        const std::optional<DeviceInfoData> info = readDeviceInfo(data);
        if (!info || info->model != QUORIX_MODEL_ID)
            return false;
        rec.PERS = info->personality;
        rec.STA = info->startAddress;
        m_report.reported.personality = rec.PERS[0];
        m_report.reported.startAddress = startAddress(rec);
        break;
    }
    case DEVICE_LABEL:
        std::copy_n(data.begin(), std::min<qsizetype>(data.size(), LABEL_MAX), rec.LBL.begin());
        m_report.reported.nickname = labelShown(rec.LBL);
        break;
    default:
        if (data.isEmpty())
            return false;
        m_report.reported.gammaTenths = quint8(data[0]);
        break;
    }
    settle(phase, ReadBackField::State::AsSent);
    return true;
}

void ReadBackPlan::giveUp()
{
    if (m_at < m_phases.size())
        settle(m_phases[m_at], ReadBackField::State::NoAnswer);
}

void ReadBackPlan::settle(quint8 phase, ReadBackField::State answered)
{
    for (ReadBackField &f : m_report.fields) {
        if (phaseOf(f.step) != phase)
            continue;
        f.state = answered;
        if (answered == ReadBackField::State::AsSent && !sameField(f.step, m_report.sent, m_report.reported))
            f.state = ReadBackField::State::Differs;
    }
    ++m_at;
    m_transNums.clear();
}

} // namespace rdm
