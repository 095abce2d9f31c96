#pragma once
// A DMX line of virtual Quorix controllers, without any I/O: one complete RDM message in, what
// the line carries back out. Every controller whose UID the message addresses answers; when
// several answer at once their replies land on top of each other.

#include "rdm/quorix_ctrl.h"
#include "rdm/rdm_packet.h"
#include "sim/rdm/virtual_bootloader.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <optional>

struct VirtualQuorix {
    TQuorixCtrl rec;                                // UID and the parameters a get reads
    std::array<quint8, 2> model{0x00, 0x01};        // device model ID in the device-info reply
    bool muted = false;
    bool inBootloader = false;
    int dropMuteReplies = 0; // mute acknowledgements still to swallow; negative: never acknowledge
    bool ignoresMute = false; // keeps answering discovery although told to keep quiet
    bool ignoresGets = false; // answers discovery, but no get
    bool badDiscoveryChecksum = false; // every discovery reply fails its checksum
    bool cutShort = false;             // every reply stops half-way
    int replyDelayMs = 0;              // answers this late (the pseudo-terminal line honours it)
    // Where its discovery reply meets others, the mix reads as a valid reply from an ID nobody
    // has: the bytes the IDs agree on, 0 where they differ.
    bool makesPhantoms = false;
    bool ignoresLabelSet = false; // acknowledges a new label but keeps the old one
    bool hangsAfterSet = false;   // the first set it takes is its last answer: then it is silent
    bool hung = false;            // silent since a set, until power comes back
    VirtualBootloader bootloader;
    QByteArray firmware; // the image the last complete update stored
    int updates = 0;     // complete updates
};

// A controller with plausible, distinct parameters for `deviceId`; `index` varies them.
VirtualQuorix makeVirtualQuorix(quint32 deviceId, int index);

// The ways a controller can misbehave on the line, by the names the simulator's options and the
// tests use.
enum class Misbehaviour : quint8 {
    NeverMutes,
    BadChecksum,
    SameUid,
    Late,
    CutShort,
    Phantoms,
    IgnoresNickname, // a label set is acknowledged, and the old label kept
    SilentAfterSet,  // the first set is taken and acknowledged; then nothing more is answered
};
QStringList misbehaviourNames();
std::optional<Misbehaviour> misbehaviourNamed(QStringView name);
// Makes controllers[index] misbehave. SameUid gives it the UID of the controller before it (the
// first takes that of the second); Late makes it answer 25 ms late.
void misbehave(QList<VirtualQuorix> &controllers, qsizetype index, Misbehaviour how);

class VirtualQuorixLine {
public:
    VirtualQuorixLine() = default;
    explicit VirtualQuorixLine(QList<VirtualQuorix> controllers) : controllers(std::move(controllers)) {}

    QList<VirtualQuorix> controllers;

    // The bytes on the line after `message`; empty when nobody answers. A message that is not
    // complete (checksum, length) is ignored, as a real responder ignores it.
    QByteArray handle(QByteArrayView message);
    // What late controllers answered the last message handled (not in what handle() returned),
    // and how late the latest of them is.
    QByteArray lateReply;
    int lateReplyMs = 0;

    // What the line carries back when `bytes` arrive at a controller running its bootloader
    // (which then no longer speaks RDM); empty when none does.
    QByteArray handleBootloader(QByteArrayView bytes);

    // Replies that arrive together: where they agree the bytes come through, where they differ
    // the drivers fight and the receiver reads a broken byte.
    static QByteArray collide(const QList<QByteArray> &replies);

private:
    QByteArray answer(VirtualQuorix &c, const rdm::TRdmPacket &request, QByteArrayView data, bool addressed);
};
