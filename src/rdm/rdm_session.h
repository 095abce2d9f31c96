#pragma once
// The RDM side of the USB tab: the receive path, the discovery walk and the parameter phase, as
// one state machine. It owns the found controllers and the receive state; the port, the timers and
// the table belong to whoever hosts it (the USB tab, or a test), reached through RdmSessionHost.

#include "rdm/quorix_ctrl.h"
#include "rdm/rdm_discovery.h"
#include "rdm/rdm_packet.h"
#include "rdm/rdm_params.h"
#include "rdm/rdm_reassembler.h"
#include "rdm/serial_bootloader.h"
#include "rdm/search_progress.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>

class RdmSessionHost {
public:
    virtual ~RdmSessionHost() = default;
    // Break, 1 ms, release, then the whole message in one write.
    virtual void sendMessage(const QByteArray &message) = 0;
    // A blocking wait on the GUI thread.
    virtual void sleepMs(int ms) = 0;
    virtual void sleepUs(int us) = 0;
    // Timer1: a tick calls Timer1Timer.
    virtual void setTimerInterval(int ms) = 0;
    virtual void startTimer() = 0;
    virtual void stopTimer() = 0;
    // The inter-byte time-out: one call of gapTimeout after RDM_GAP_MS of silence.
    virtual void startGapTimer() = 0;
    virtual void stopGapTimer() = 0;
    // The parameter phase ended with controllers: draw the table (and close the port).
    virtual void UpdateTable() = 0;
    // Three passes found nothing: hide the busy indicators and close the port.
    virtual void searchEndedEmpty() = 0;
    // Where the search stands, for the operator: a pass starts, a controller is added, a get goes out.
    virtual void searchProgress(const rdm::SearchProgress &) {}
};

class RdmSession {
public:
    explicit RdmSession(RdmSessionHost &host) : m_host(host) {}

    enum Mode : quint8 { NONE = 0, DISCOVER = 1, STANDARD = 2 };

    // Attempts at muting one controller before it is given up for this search.
    static constexpr int MuteAttempts = 3;
    static constexpr int DiscoveryIntervalMs = 20;
    static constexpr int ParameterIntervalMs = 100;
    static constexpr int UnmuteWaitMs = 100;
    // The least a controller leaves the line quiet between a response and its next request.
    static constexpr int ResponseGapUs = 176;

    // Fast search: a get whose answer (or refusal) is in moves on after the response gap instead
    // of the whole interval, which stays the time-out for an answer that does not come. The
    // messages and their order are those of the paced search; only the waits shrink.
    bool fastSearch = false;

    // The found controllers, in the order found; index = table row.
    QList<TQuorixCtrl> VControllers;

    // Receive state. ReadBuff holds the reply being handled, Msg_len its length.
    QByteArray ReadBuff;
    int Msg_len = 0;
    quint8 RDM_Mode = NONE;

    // Discovery state.
    rdm::TBinaryState discBinaryState;
    quint8 SearchRetries = 0;

    // Parameter phase state; RDM_info_packet keeps DEVICE_LABEL after a phase ends.
    quint8 RDM_info_packet = 0;
    int InfoRequestNum = 0;

    // What the pacing prescribes for what has run: ticks of Timer1 by interval, blocking waits.
    // parameterTicks are the gets whose interval ran out, answeredTicks those cut short by their
    // answer in a fast search.
    struct Pacing {
        int messages = 0;
        int discoveryTicks = 0;
        int parameterTicks = 0;
        int answeredTicks = 0;
        qint64 waitedMs = 0;
        qint64 prescribedMs() const { return messages * 1 + waitedMs + discoveryTicks * qint64(DiscoveryIntervalMs)
                                             + parameterTicks * qint64(ParameterIntervalMs)
                                             + (answeredTicks * qint64(ResponseGapUs) + 999) / 1000; }
    } pacing;

    // A search, once the port is open (the host has shown the busy indicators).
    void startSearch();
    // Stops whatever runs (a search after its port failed, or to hand the port to the
    // bootloader): no message, no tick and no table follow.
    void abort();

    // While the bootloader exchange is active, received bytes and Timer1 ticks are its own.
    void setBootloader(boot::BootloaderExchange *exchange) { m_boot = exchange; }
    bool BootKey() const { return m_boot && m_boot->BootKey(); }

    // Events.
    void bytesReceived(QByteArrayView bytes);
    void gapTimeout();
    void Timer1Timer();

    // Discovery.
    void SendUnmute();
    void SendNextDisc(rdm::Change change);
    void DiscoveryRead();
    void MuteRead();
    void NothingFound();

    // Reply dispatch and parameter phase.
    void StandardRead();
    void DeviceInfoSend(int num) { getSend(rdm::DEVICE_INFO, num); }
    void DeviceTempSend(int num) { getSend(rdm::DEVICE_TEMP, num); }
    void DeviceRemoteModeSend(int num) { getSend(rdm::DEVICE_REMOTE, num); }
    void DeviceGammaSend(int num) { getSend(rdm::DEVICE_GAMMA, num); }
    void DeviceLabelSend(int num) { getSend(rdm::DEVICE_LABEL, num); }
    void DeviceInfoRead();
    void DeviceTempRead();
    void DeviceRemoteModeRead();
    void DeviceGammaRead();
    void DeviceLabelRead();

    // A message to a controller with the next transaction number (set messages go out this way).
    QByteArray message(const rdm::RdmRequest &request) { return rdm::buildRequest(request, m_transNum.take()); }

    // Controllers that answered discovery alone but never acknowledged a mute in this search.
    const QSet<quint32> &unacknowledged() const { return m_unacked; }

private:
    // Returns the transaction number the message took.
    quint8 send(const rdm::RdmRequest &request);
    void sleep(int ms);
    void stopTimer();
    void getSend(quint8 phase, int num);
    void startPass();
    void endDiscovery();
    void handleFrames();
    void dispatch();
    void runDeferredTick();
    void sendMute();
    void endWaitOnAnswer();
    void reportDiscovering();
    int discoveryBudget() const;
    // Calls `apply` for each record whose UID is the reply's source.
    template <class Apply>
    void forReplySource(Apply apply);

    RdmSessionHost &m_host;
    rdm::TransNumCounter m_transNum;
    rdm::RdmReassembler m_reasm;
    // The header of the reply StandardRead is handling.
    rdm::TRdmPacket m_reply;
    bool m_tickDeferred = false;
    boot::BootloaderExchange *m_boot = nullptr;
    bool bootActive() const { return m_boot && m_boot->active(); }

    // The get in flight, by what its answer carries back: source, parameter, transaction number.
    struct AwaitedGet {
        bool pending = false;
        rdm::Uid source = 0;
        quint16 pid = 0;
        quint8 transNum = 0;
    } m_awaitedGet;
    bool m_answered = false; // the tick to come follows an answer, not a time-out

    bool m_mutePending = false;
    quint32 m_muteId = 0;
    int m_muteTries = 0;
    QSet<quint32> m_recorded;
    QSet<quint32> m_unacked;
    int m_passRequests = 0;
    // Branches gone down in this pass (row << 40 | branch), with the number of controllers known then.
    QHash<quint64, int> m_narrowedWith;
};
