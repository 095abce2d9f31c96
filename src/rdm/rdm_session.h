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
    // A blocking wait on the calling thread.
    virtual void pause(int us) = 0;
    // Starts `timer` anew with `ms`; a running one restarts.
    virtual void startTimer(Timer timer, int ms) = 0;
    virtual void stopTimer(Timer timer) = 0;
};

class RdmSession {
public:
    explicit RdmSession(RdmTransport &transport) : m_transport(transport) {}

    // Attempts at muting one controller before it is given up for this search.
    static constexpr int MuteAttempts = 3;
    static constexpr int DiscoveryIntervalMs = 20;
    static constexpr int ParameterIntervalMs = 100;
    static constexpr int UnmuteWaitMs = 100;
    // The least a controller leaves the line quiet between a response and its next request.
    static constexpr int ResponseGapUs = 176;
    static constexpr int BreakUs = 1000;
    // Fast search: the shortest break a responder must take.
    static constexpr int FastBreakUs = 176;

    // The waits of a search, each settable on its own; the defaults are the protocol's pacing.
    struct Timings {
        int discoveryTimeoutMs = DiscoveryIntervalMs; // for an answer to a discovery request or a mute
        int parameterTimeoutMs = ParameterIntervalMs; // for an answer to a get
        int unmuteWaitMs = UnmuteWaitMs;              // after each unmute at the start of a pass
        int responseGapUs = ResponseGapUs;            // fast search: after an answer, before the next get
        int breakUs = BreakUs;                        // the break before each message
        int gapTimeoutMs = rdm::RDM_GAP_MS;           // silence that ends a reply cut short
        int fastBreakUs = FastBreakUs;                // the break before each message of a fast search
    };
    Timings timings;

    // Fast search: a get whose answer (or refusal) is in moves on after the response gap instead
    // of the whole time-out, which stays the wait for an answer that does not come, and each
    // break is as short as a responder allows. The messages and their order are those of the
    // paced search; only the waits shrink.
    bool fastSearch = false;

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
    // Branches gone down in this pass (row << 40 | branch), with the number of controllers known then.
    QHash<quint64, int> m_narrowedWith;

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
