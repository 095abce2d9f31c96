#pragma once
// The RDM side of the USB link: the receive path, the discovery walk and the parameter phase, as
// one state machine. It owns the found controllers; the line and the clocks are reached through
// RdmTransport, and what it finds is reported through the callbacks below. Who hears the line
// (the session, or the serial bootloader) is its owner's decision.

#include "rdm/quorix_ctrl.h"
#include "rdm/rdm_discovery.h"
#include "rdm/rdm_packet.h"
#include "rdm/rdm_params.h"
#include "rdm/rdm_reassembler.h"
#include "rdm/search_pacing.h"
#include "rdm/search_progress.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <functional>

// What the session needs of the line: a frame sent after a break, a short blocking pause, and two
// timers. A tick of the reply timer calls RdmSession::Timer1Timer; the gap timer fires once, after
// a silence, and calls RdmSession::gapTimeout.
class RdmTransport {
public:
    enum class Timer : quint8 { Reply, Gap };
    virtual ~RdmTransport() = default;
    // Break for `breakUs`, release, then the whole frame in one write.
    virtual void sendFrame(const QByteArray &frame, int breakUs) = 0;
    // A blocking wait on the calling thread. What reaches the line meanwhile is thrown away: a
    // pause always comes before a request, and on a half-duplex line nothing that came in before a
    // request can answer it (read afterwards, a late reply would pass for that request's answer).
    virtual void pause(int us) = 0;
    // Starts `timer` anew with `ms`; a running one restarts.
    virtual void startTimer(Timer timer, int ms) = 0;
    virtual void stopTimer(Timer timer) = 0;
    // A steady clock, µs: the fast search times the round trips of its requests with it.
    virtual qint64 nowUs() const = 0;
};

class RdmSession {
public:
    explicit RdmSession(RdmTransport &transport) : m_transport(transport) {}

    // Attempts at muting one controller before it is given up for this search.
    static constexpr int MuteAttempts = 3;
    static constexpr int DiscoveryIntervalMs = 20;
    static constexpr int ParameterIntervalMs = 100;
    static constexpr int UnmuteWaitMs = 100;
    // Fast search: nothing answers an un-mute, so after it the line only has to be quiet for as
    // long as an adapter may hold stray bytes, the paced wait for a reply.
    static constexpr int FastUnmuteWaitMs = DiscoveryIntervalMs;
    // The least a controller leaves the line quiet between a response and its next request.
    static constexpr int ResponseGapUs = 176;
    static constexpr int BreakUs = 1000;
    // Fast search: the shortest break a responder must take.
    static constexpr int FastBreakUs = 176;
    // Fast search: the wait for a discovery reply, learnt from the round trips of the requests
    // answered so far, each from the end of its write (where the wait starts) to the first byte
    // back. Of the last RoundTripWindow round trips the longest sixteenth is left out, so that a
    // busy moment of the machine now and then does not hold the wait up for the rest of the
    // search. The longest of the others is the wait, with a margin of its distance from the
    // median (an adapter that spreads its replies gets more), at least RoundTripMarginUs. Never
    // below the time after which a response counts as lost, never above the paced wait, and the
    // paced wait until enough round trips were seen. A reply that came late anyway holds the wait
    // above its round trip for the next RoundTripWindow round trips.
    static constexpr int LostResponseUs = 2800;
    static constexpr int RoundTripsBeforeLearning = 4;
    static constexpr int RoundTripWindow = 32;
    static constexpr int RoundTripMarginUs = 500;
    // A reply timer that comes this much later than its wait (ms) shows a busy machine, where a
    // reply may arrive after the next request went out: the wait counts as cut short where the
    // walk decides whether to go down a branch again, in the paced search too.
    static constexpr int LateTickMs = 5;

    // The waits of a search, each settable on its own; the defaults are the protocol's pacing.
    struct Timings {
        int discoveryTimeoutMs = DiscoveryIntervalMs; // for an answer to a discovery request or a mute
        int parameterTimeoutMs = ParameterIntervalMs; // for an answer to a get
        int unmuteWaitMs = UnmuteWaitMs;              // after each unmute at the start of a pass
        int responseGapUs = ResponseGapUs;            // fast search: after an answer, before the next get
        int breakUs = BreakUs;                        // the break before each message
        int gapTimeoutMs = rdm::RDM_GAP_MS;           // silence that ends a reply cut short
        int fastBreakUs = FastBreakUs;                // the break before each message of a fast search
        int fastUnmuteWaitMs = FastUnmuteWaitMs;      // after each unmute of a fast search
    };
    Timings timings;

    // Fast search: a get whose answer (or refusal) is in moves on after the response gap instead
    // of the whole time-out, which stays the wait for an answer that does not come; each break is
    // as short as a responder allows; the un-mutes are followed by the paced reply wait, not the
    // paced settling time; and a discovery request is given up as unanswered once the
    // learnt wait (above) has passed. The messages and their order are those of the paced search;
    // only the waits shrink.
    //
    // A reply can still come after the learnt wait (the machine got busy, the adapter held it):
    // it then arrives after the next request went out, or after several. It is known by coming
    // in sooner than any reply to the request in flight could, or by being a valid reply from
    // inside a branch given up but outside the one asked. It is never taken for a collision: the
    // search waits for a quiet line, goes on from the oldest branch given up, and its wait stays
    // above the late round trip for a while (see above). A collision that came late can pass for
    // one of the request in flight; a branch is therefore not abandoned as fruitless when a
    // wait was cut short below it: it is gone down once more, and the rest of the pass keeps the
    // paced waits.
    bool fastSearch = false;

    // The wait for the reply to the discovery request now in flight, ms.
    int discoveryWaitMs() const;
    // The wait a branch below the whole range gets now, ms.
    int learntWaitMs() const;
    // The longest round trip seen in this search, µs, and replies taken as late.
    qint64 longestRoundTripUs() const { return m_roundTrips.longestUs; }
    int lateReplies() const { return m_lateReplies; }
    // Every discovery round trip of this search that the wait was learnt from, in the order
    // measured, µs; late ones included.
    const QList<qint32> &roundTripsUs() const { return m_roundTrips.all; }

    // The found controllers, in the order found; index = table row.
    QList<TQuorixCtrl> VControllers;

    // The search ended: `found` when the parameter phase ran for at least one controller, false
    // when three passes found nobody.
    std::function<void(bool found)> searchEnded;
    // Where the search stands, for the operator: a pass starts, a controller is added, a get goes out.
    std::function<void(const rdm::SearchProgress &)> searchProgress;
    // Counts what the pacing prescribes for what ran, when set.
    rdm::SearchPacing *pacing = nullptr;

    // A search, once the port is open.
    void startSearch();
    // Stops whatever runs (a search after its port failed, or to hand the port to the
    // bootloader): no message, no tick and no end follow.
    void abort();

    // Events.
    void bytesReceived(QByteArrayView bytes);
    void gapTimeout();
    void Timer1Timer();

    // A message to a controller with the next transaction number (set messages go out this way).
    QByteArray message(const rdm::RdmRequest &request) { return rdm::buildRequest(request, m_transNum.take()); }

    // Controllers that answered discovery alone but never acknowledged a mute in this search.
    const QSet<quint32> &unacknowledged() const { return m_unacked; }
    // Passes in a row that found nobody (three end the search).
    int emptyPasses() const { return m_searchRetries; }
    // The branch the walk last asked.
    const rdm::TBinaryState &branch() const { return m_discBinaryState; }
    // The parameter phase last asked for; DEVICE_LABEL once a search has ended with controllers.
    quint8 infoPhase() const { return m_infoPacket; }

private:
    enum Mode : quint8 { NONE = 0, DISCOVER = 1, STANDARD = 2 };
    enum class Tick : quint8 { Discovery, Parameter, Answered };

    // Returns the transaction number the message took.
    quint8 send(const rdm::RdmRequest &request);
    void sleep(int ms);
    void startReplyTimer();
    void stopTimer();
    void counted(Tick tick);

    // Discovery.
    void startPass();
    void SendUnmute();
    void SendNextDisc(rdm::Change change);
    void DiscoveryRead(QByteArrayView frame);
    void sendMute();
    void MuteRead(const rdm::TRdmPacket &reply);
    void endDiscovery();
    void NothingFound();
    void reportDiscovering();
    int discoveryBudget() const;
    void forgetOldCutShorts();
    bool lateForCutShort(qint64 roundTripUs) const;
    // `from`: the request given up that the reply is known to answer; the oldest when unknown.
    void lateReply(const char *why, qsizetype from = -1);

    // Receive path.
    void handleFrames();
    void dispatch(const QByteArray &frame);
    void runDeferredTick();
    void endWaitOnAnswer(const QByteArray &frame);

    // Parameter phase.
    void getSend(quint8 phase, int num);
    void StandardRead(const QByteArray &frame);
    void DeviceInfoRead(const rdm::TRdmPacket &reply, QByteArrayView data);
    void DeviceTempRead(const rdm::TRdmPacket &reply, QByteArrayView data);
    void DeviceRemoteModeRead(const rdm::TRdmPacket &reply, QByteArrayView data);
    void DeviceGammaRead(const rdm::TRdmPacket &reply, QByteArrayView data);
    void DeviceLabelRead(const rdm::TRdmPacket &reply, QByteArrayView data);
    // Calls `apply` for each record whose UID is the reply's source.
    template <class Apply>
    void forReplySource(const rdm::TRdmPacket &reply, QByteArrayView data, Apply apply);

    RdmTransport &m_transport;
    rdm::TransNumCounter m_transNum;
    rdm::RdmReassembler m_reasm;
    quint8 m_mode = NONE;
    int m_replyTimeoutMs = DiscoveryIntervalMs;
    bool m_tickDeferred = false;

    // Discovery state.
    rdm::TBinaryState m_discBinaryState;
    int m_searchRetries = 0;
    bool m_mutePending = false;
    quint32 m_muteId = 0;
    int m_muteTries = 0;
    QSet<quint32> m_recorded;
    QSet<quint32> m_unacked;
    int m_passRequests = 0;
    // Branches gone down in this pass (row << 40 | branch), with the number of controllers known
    // and of discovery waits cut short then.
    struct Narrowed {
        int known = 0;
        int cutShortWaits = 0;
        bool again = false; // gone down again for waits cut short, with nobody new known since
    };
    QHash<quint64, Narrowed> m_narrowedWith;

    // Fast search: round trips of discovery requests answered.
    struct RoundTrips {
        int seen = 0; // since the wait was last the paced one
        qint64 longestUs = 0;
        qint64 shortestUs = -1; // from before the write: no reply to a request comes sooner
        QList<qint32> all;
        qint64 lateFloorUs = 0; // what a late reply took; the wait stays above it for a while
        int lateFloorLeft = 0;  // round trips until then
        void add(qint64 us);
    } m_roundTrips;
    qint64 m_discoverySentUs = 0; // when the discovery request in flight went out: before its write
    qint64 m_discoveryWrittenUs = 0; // and after it, where its wait starts
    bool m_awaitingFirstByte = false; // of the reply to it
    // The discovery requests that the learnt wait gave up one after the other, up to the one in
    // flight, oldest first, for twice the paced wait after they went out: their replies may
    // still come.
    struct CutShort {
        rdm::TBinaryState state;
        qint64 sentUs = 0;
    };
    static constexpr int CutShortMemory = 2; // paced waits
    QList<CutShort> m_cutShorts;
    bool m_settling = false; // late bytes came: wait for a quiet line, then ask the oldest cut short again
    int m_cutShortWaits = 0; // in this pass
    bool m_pacedPass = false; // the rest of this pass waits the paced time
    int m_lateReplies = 0;

    // Parameter phase state; m_infoPacket keeps DEVICE_LABEL after a phase ends.
    quint8 m_infoPacket = 0;
    int m_infoRequestNum = 0;
    // The get in flight, by what its answer carries back: source, parameter, transaction number.
    struct AwaitedGet {
        bool pending = false;
        rdm::Uid source = 0;
        quint16 pid = 0;
        quint8 transNum = 0;
    } m_awaitedGet;
    bool m_answered = false; // the tick to come follows an answer, not a time-out
};
