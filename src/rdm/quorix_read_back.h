#pragma once
// Reading back what the controller dialog's OK sent: the gets of the parameters whose set messages
// went out, and nothing else, and what the answers say field by field. Mode and start address go
// out in set messages of their own, but a controller reports both in its device information, so
// one get reads back either or both.

#include "rdm/quorix_edits.h"
#include "rdm/rdm_packet.h"

#include <QList>
#include <optional>

namespace rdm {

struct ReadBackField {
    enum class State : quint8 {
        AsSent,   // reported as sent
        Differs,  // reported, not as sent
        NoAnswer, // no get for it was answered
        Refused,  // the controller answered its get with a refusal
    };
    EditStep step = LabelStep;
    State state = State::NoAnswer;
};

struct ReadBackReport {
    quint32 deviceId = 0;
    QuorixEdits sent;     // as it went out (a nickname as the controller stores it)
    QuorixEdits reported; // as the controller reports it; a field it did not report keeps `sent`
    QList<ReadBackField> fields; // every field sent, in the order of the set messages
    bool verified() const;       // every field reported as sent
    bool answered() const;       // at least one field reported or refused
};

class ReadBackPlan {
public:
    // What the dialog's OK sends for `edited` over `shown` (stepChanged), to be read back from
    // controller `deviceId`.
    ReadBackPlan(quint32 deviceId, const QuorixEdits &shown, const QuorixEdits &edited);

    // The get to ask next; nothing once each has been answered or given up.
    std::optional<RdmRequest> next() const;
    // The get in flight went out with `transNum`; a later try of it gets another one, and an
    // answer to any of them counts.
    void sent(quint8 transNum);
    // Takes a reply when it answers the get in flight (its source, parameter and one of its
    // transaction numbers) with a value or a refusal; false for anything else.
    bool take(const TRdmPacket &reply, QByteArrayView data);
    // The get in flight stays unanswered.
    void giveUp();

    const ReadBackReport &report() const { return m_report; }

private:
    void settle(quint8 phase, ReadBackField::State answered);

    QList<quint8> m_phases; // the phases whose gets read the fields back, each once
    qsizetype m_at = 0;
    QList<quint8> m_transNums; // of the get in flight
    ReadBackReport m_report;
};

} // namespace rdm
