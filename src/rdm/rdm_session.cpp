#include "rdm/rdm_session.h"

#include "common/log_categories.h"
#include "rdm/quorix_texts.h"

#include <algorithm>
#include <limits>
#include <utility>

using namespace rdm;

namespace {

constexpr int MinStandardReply = HEADER_SIZE + CHECKSUM_SIZE;

quint32 sourceDeviceId(const TRdmPacket &reply)
{
    return deviceIdOf(uidFrom(reply.srcUID));
}

// A device ID as the log shows it: as the table's Serial column does.
QString idText(quint32 id)
{
    TQuorixCtrl c;
    c.setDeviceId(id);
    return serialText(c);
}

} // namespace

quint8 RdmSession::send(const RdmRequest &request)
{
    const int breakUs = fastSearch ? timings.fastBreakUs : timings.breakUs;
    if (pacing) {
        ++pacing->messages;
        pacing->breakUs += breakUs;
    }
    const quint8 transNum = m_transNum.take();
    qCDebug(lcRdm).nospace() << "send cc 0x" << Qt::hex << int(request.cc) << " pid 0x" << request.pid << " to 0x"
                             << request.dest << Qt::dec << " transaction " << int(transNum);
    m_transport.sendFrame(buildRequest(request, transNum), breakUs);
    return transNum;
}

void RdmSession::sleep(int ms)
{
    if (pacing)
        pacing->waitedMs += ms;
    m_transport.pause(ms * 1000);
}

void RdmSession::startReplyTimer()
{
    m_transport.startTimer(RdmTransport::Timer::Reply, m_replyTimeoutMs);
}

void RdmSession::stopTimer()
{
    m_tickDeferred = false;
    m_transport.stopTimer(RdmTransport::Timer::Reply);
}

void RdmSession::counted(Tick tick)
{
    if (!pacing)
        return;
    switch (tick) {
    case Tick::Discovery:
        ++pacing->discoveryTicks;
        pacing->tickUs += qint64(m_replyTimeoutMs) * 1000;
        break;
    case Tick::Parameter:
        ++pacing->parameterTicks;
        pacing->tickUs += qint64(timings.parameterTimeoutMs) * 1000;
        break;
    case Tick::Answered:
        ++pacing->answeredTicks;
        pacing->tickUs += timings.responseGapUs;
        break;
    }
}

// ---- search and discovery ----

void RdmSession::startSearch()
{
    m_mode = DISCOVER;
    VControllers.clear();
    m_recorded.clear();
    m_unacked.clear();
    m_mutePending = false;
    m_awaitedGet = {};
    m_answered = false;
    m_reasm.clear();
    m_transport.stopTimer(RdmTransport::Timer::Gap);
    m_replyTimeoutMs = timings.discoveryTimeoutMs;
    m_searchRetries = 0;
    m_roundTrips = {};
    m_lateReplies = 0;
    startPass();
}

void RdmSession::abort()
{
    stopTimer();
    m_transport.stopTimer(RdmTransport::Timer::Gap);
    m_reasm.clear();
    m_mutePending = false;
    m_awaitedGet = {};
    m_answered = false;
    m_settling = false;
    m_cutShorts.clear();
    m_awaitingFirstByte = false;
    m_mode = NONE;
    m_infoPacket = PHASE_END;
}

void RdmSession::startPass()
{
    const int settleMs = fastSearch ? timings.fastUnmuteWaitMs : timings.unmuteWaitMs;
    SendUnmute();
    sleep(settleMs);
    SendUnmute();
    sleep(settleMs);
    m_discBinaryState.row = 1;
    m_discBinaryState.branch = 1;
    m_passRequests = 0;
    m_narrowedWith.clear();
    m_cutShorts.clear();
    m_settling = false;
    m_cutShortWaits = 0;
    m_pacedPass = false;
    reportDiscovering();
    SendNextDisc(DISC_REPEAT);
}

void RdmSession::reportDiscovering()
{
    if (searchProgress)
        searchProgress({SearchProgress::Discovering, int(VControllers.size()), 0, 0});
}

void RdmSession::SendUnmute()
{
    send(unmuteRequest());
}

int RdmSession::discoveryBudget() const
{
    // The walk asks each branch on the way to a controller, its sibling and its parent again:
    // well under 200 requests per controller. Only controllers that keep answering although
    // muted (or collisions that decode as one of them) can make it ask more; the pass then ends.
    return 200 * int(m_recorded.size() + m_unacked.size() + 1);
}

void RdmSession::RoundTrips::add(qint64 us)
{
    ++seen;
    longestUs = qMax(longestUs, us);
    all << qint32(qMin<qint64>(us, std::numeric_limits<qint32>::max()));
    if (lateFloorLeft > 0 && --lateFloorLeft == 0)
        lateFloorUs = 0;
}

int RdmSession::learntWaitMs() const
{
    const int paced = timings.discoveryTimeoutMs;
    if (!fastSearch || m_pacedPass || m_roundTrips.seen < RoundTripsBeforeLearning)
        return paced;
    const qsizetype n = qMin<qsizetype>(qMin(m_roundTrips.seen, RoundTripWindow), m_roundTrips.all.size());
    QList<qint32> recent = m_roundTrips.all.mid(m_roundTrips.all.size() - n);
    std::sort(recent.begin(), recent.end());
    const qint64 longest = recent[n - 1 - n / 16];
    const qint64 median = recent[n / 2];
    const qint64 margin = qMax<qint64>(RoundTripMarginUs, longest - median);
    const qint64 us = std::max<qint64>(
        {LostResponseUs, longest + margin, m_roundTrips.lateFloorUs ? m_roundTrips.lateFloorUs + margin : 0});
    return int(qMin<qint64>(paced, (us + 999) / 1000));
}

int RdmSession::discoveryWaitMs() const
{
    // The whole range is asked last in a pass: silence there ends discovery, so it gets the
    // paced wait whatever was learnt.
    return isWholeRange(m_discBinaryState.bounds) ? timings.discoveryTimeoutMs : learntWaitMs();
}

void RdmSession::forgetOldCutShorts()
{
    // A reply that long after its request would have been missed by the paced wait too.
    const qint64 oldest = m_transport.nowUs() - qint64(CutShortMemory) * timings.discoveryTimeoutMs * 1000;
    while (!m_cutShorts.isEmpty() && m_cutShorts.first().sentUs < oldest)
        m_cutShorts.removeFirst();
}

bool RdmSession::lateForCutShort(qint64 roundTripUs) const
{
    // No reply to a request comes in sooner than the quickest seen, less a quarter for the clock.
    return !m_cutShorts.isEmpty() && m_roundTrips.shortestUs > 0 && roundTripUs < m_roundTrips.shortestUs * 3 / 4;
}

void RdmSession::lateReply(const char *why, qsizetype from)
{
    ++m_lateReplies;
    // Late by at least the time since the last request given up went out, unless it is known
    // which one it answers.
    const CutShort answered = from >= 0 ? m_cutShorts[from] : m_cutShorts.last();
    const qint64 late = m_transport.nowUs() - answered.sentUs;
    // Replies keep the order of their requests on the line: those to the requests given up
    // before that one would have come before it.
    if (from > 0)
        m_cutShorts.remove(0, from);
    qCDebug(lcRdm).noquote() << "discovery: late reply to branch" << answered.state.row << answered.state.branch
                             << "(" << why << "), after" << late << "µs; asking again from branch"
                             << m_cutShorts.first().state.row << m_cutShorts.first().state.branch;
    // Counted among the round trips, and the wait held above it for a while: it was no outlier
    // that the learning may leave out.
    m_roundTrips.add(late);
    m_roundTrips.lateFloorUs = qMax(m_roundTrips.lateFloorUs, late);
    m_roundTrips.lateFloorLeft = RoundTripWindow;
    // Whatever else is on its way (the rest of the late reply, an answer to the request after
    // it) is let pass before the branch is asked again.
    stopTimer();
    m_reasm.clear();
    m_transport.stopTimer(RdmTransport::Timer::Gap);
    m_awaitingFirstByte = false;
    m_settling = true;
    m_replyTimeoutMs = timings.discoveryTimeoutMs;
    startReplyTimer();
}

void RdmSession::SendNextDisc(Change change)
{
    stopTimer();
    // A request answered (or asked again) since: the walk goes on from here. Only requests given
    // up one after the other are asked again after a late reply, so no branch narrowed in
    // between is met again before its children were asked.
    m_cutShorts.clear();
    if (change == DISC_NARROW) {
        // Going down a branch again is worth it only if the last time down found someone; a
        // collision that stays after a fruitless visit comes from controllers that will not go
        // quiet, and the walk would circle under it for ever. A visit on which a wait was cut
        // short may have missed a late reply, though: that one is repeated with the paced waits.
        const quint64 key = quint64(m_discBinaryState.row) << 40 | quint64(m_discBinaryState.branch);
        Narrowed now{int(m_recorded.size() + m_unacked.size()), m_cutShortWaits};
        const auto visited = m_narrowedWith.constFind(key);
        // Once again at most: on a busy machine every wait can count as cut short, and under
        // controllers that never go quiet the walk would circle until its budget is spent.
        if (visited != m_narrowedWith.cend() && visited->known == now.known
            && (visited->cutShortWaits == now.cutShortWaits || visited->again)) {
            qCDebug(lcRdm).noquote() << "discovery: branch" << m_discBinaryState.row << m_discBinaryState.branch
                                     << "was gone down before without finding anyone; abandoned";
            change = DISC_WIDEN;
        } else {
            if (visited != m_narrowedWith.cend() && visited->known == now.known) {
                qCDebug(lcRdm).noquote() << "discovery: branch" << m_discBinaryState.row << m_discBinaryState.branch
                                         << "gone down again: waits were cut short below it; paced waits from here";
                m_pacedPass = true;
                now.again = true;
            }
            m_narrowedWith.insert(key, now);
        }
    }
    if (change == DISC_WIDEN && isWholeRange(m_discBinaryState.bounds)) {
        qCDebug(lcRdm).noquote() << "discovery pass complete after" << m_passRequests << "requests,"
                                 << m_recorded.size() << "recorded";
        endDiscovery();
        return;
    }
    if (m_passRequests >= discoveryBudget()) {
        qCWarning(lcRdm).noquote() << "discovery pass gives up: its budget of" << discoveryBudget()
                                   << "requests is spent;" << m_recorded.size() << "recorded," << m_unacked.size()
                                   << "never acknowledged a mute";
        endDiscovery();
        return;
    }
    TBinaryState next = movedBranch(m_discBinaryState, change);
    next.bounds = FindBounds(next.row, next.branch);
    m_discBinaryState = next;
    ++m_passRequests;
    // Half duplex: whatever is still held belongs to an earlier request.
    m_reasm.clear();
    m_transport.stopTimer(RdmTransport::Timer::Gap);
    // Timed from before the write: a pre-emption between the write and the clock would otherwise
    // make a punctual reply look quicker than any can be, and so look like a late one.
    m_discoverySentUs = m_transport.nowUs();
    send(discoveryRequest(next.bounds.lower, next.bounds.upper));
    m_discoveryWrittenUs = m_transport.nowUs();
    m_awaitingFirstByte = true;
    m_replyTimeoutMs = discoveryWaitMs();
    startReplyTimer();
}

void RdmSession::endDiscovery()
{
    m_mode = STANDARD;
    m_infoRequestNum = 0;
    getSend(DEVICE_INFO, 0);
}

void RdmSession::DiscoveryRead(QByteArrayView frame)
{
    stopTimer();
    const auto reply = decodeDiscoveryReply(frame);
    if (!reply) {
        qCDebug(lcRdm).noquote() << "discovery: collision or unreadable reply of" << frame.size() << "bytes, narrowing";
        SendNextDisc(DISC_NARROW);
        return;
    }
    const quint32 id = reply->deviceId();
    const auto within = [id](const TBinaryBounds &b) { return id >= b.lower && id <= b.upper; };
    if (!within(m_discBinaryState.bounds)) {
        for (qsizetype i = 0; i < m_cutShorts.size(); ++i) {
            if (within(m_cutShorts[i].state.bounds)) {
                lateReply("a valid reply from inside it", i);
                return;
            }
        }
    }
    if (!within(m_discBinaryState.bounds)) {
        // Nobody outside the range answers: several answered and the mix looked valid.
        qCDebug(lcRdm).noquote() << "discovery: reply from" << idText(id) << "outside the branch, taken as a collision";
        SendNextDisc(DISC_NARROW);
        return;
    }
    if (m_unacked.contains(id)) {
        // Nobody acknowledged this ID's mute, yet it answers again: most likely the overlapping
        // replies of several controllers that happen to read as a valid one. Passing over the
        // branch would hide them; below it they answer apart. A real controller that never
        // acknowledges costs a walk down to its own ID, once per branch (the guard against circling).
        qCDebug(lcRdm).noquote() << "discovery: reply from" << idText(id)
                                 << "which never acknowledged a mute, treated as a phantom of a collision; narrowing";
        SendNextDisc(DISC_NARROW);
        return;
    }
    if (m_recorded.contains(id)) {
        // Known already, and answering alone although told to keep quiet: the branch holds
        // nobody new. Asking below it would only meet the same controller again.
        qCDebug(lcRdm).noquote() << "discovery: known controller" << idText(id)
                                 << "answered again, passing over its branch";
        SendNextDisc(DISC_WIDEN);
        return;
    }
    m_mode = STANDARD;
    m_mutePending = true;
    m_muteId = id;
    m_muteTries = 0;
    sendMute();
}

void RdmSession::sendMute()
{
    ++m_muteTries;
    send(muteRequest(m_muteId));
    // A mute is nearly always answered: it keeps the paced wait, so a slow acknowledgement never
    // costs a repeat the paced search would not send.
    m_replyTimeoutMs = timings.discoveryTimeoutMs;
    startReplyTimer();
}

void RdmSession::MuteRead(const TRdmPacket &reply)
{
    // Only the acknowledgement of the mute in flight counts; a late copy of an earlier one, or a
    // reply from another controller, must not add a record.
    if (!m_mutePending || sourceDeviceId(reply) != m_muteId) {
        qCDebug(lcRdm).noquote() << "mute acknowledgement from" << idText(sourceDeviceId(reply))
                                 << "ignored: not the one awaited";
        return;
    }
    stopTimer();
    m_mutePending = false;
    if (!m_recorded.contains(m_muteId)) {
        TQuorixCtrl c;
        c.setDeviceId(m_muteId);
        VControllers.append(c);
        m_recorded.insert(m_muteId);
        qCDebug(lcRdm).noquote() << "recorded controller" << idText(m_muteId);
        reportDiscovering();
    }
    m_mode = DISCOVER;
    SendNextDisc(DISC_WIDEN);
}

void RdmSession::NothingFound()
{
    ++m_searchRetries;
    qCDebug(lcRdm).noquote() << "no controller found in pass" << m_searchRetries;
    if (m_searchRetries < 3) {
        stopTimer();
        m_mode = DISCOVER;
        m_replyTimeoutMs = timings.discoveryTimeoutMs;
        startPass();
        return;
    }
    qCWarning(lcRdm).noquote() << "search gives up: three passes found no controller";
    if (searchEnded)
        searchEnded(false);
}

// ---- receive path ----

void RdmSession::bytesReceived(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_settling) {
        // Bytes of what came late, or of an answer to the request after it: the line is not
        // quiet yet.
        startReplyTimer();
        return;
    }
    if (m_mode == DISCOVER && std::exchange(m_awaitingFirstByte, false)) {
        forgetOldCutShorts();
        const qint64 roundTrip = m_transport.nowUs() - m_discoverySentUs;
        if (lateForCutShort(roundTrip)) {
            lateReply("in sooner than a reply to the next request can be");
            return;
        }
        if (m_roundTrips.shortestUs < 0 || roundTrip < m_roundTrips.shortestUs)
            m_roundTrips.shortestUs = roundTrip;
        m_roundTrips.add(m_transport.nowUs() - m_discoveryWrittenUs);
    }
    m_reasm.append(bytes);
    handleFrames();
}

void RdmSession::handleFrames()
{
    for (;;) {
        const std::optional<QByteArray> frame = m_mode == DISCOVER ? m_reasm.takeDiscovery() : m_reasm.takeRdm();
        if (!frame)
            break;
        dispatch(*frame);
        endWaitOnAnswer(*frame);
    }
    if (m_reasm.pending()) {
        m_transport.startTimer(RdmTransport::Timer::Gap, timings.gapTimeoutMs);
    } else {
        m_transport.stopTimer(RdmTransport::Timer::Gap);
        runDeferredTick();
    }
}

void RdmSession::dispatch(const QByteArray &frame)
{
    if (m_mode == DISCOVER) {
        if (frame.size() >= 2)
            DiscoveryRead(frame);
    } else if (frame.size() >= MinStandardReply) {
        StandardRead(frame);
    }
}

void RdmSession::gapTimeout()
{
    if (m_mode == DISCOVER) {
        dispatch(m_reasm.takeAll()); // a short reception: a collision from 2 bytes on, ignored below
    } else {
        while (m_mode != DISCOVER) {
            const std::optional<QByteArray> frame = m_reasm.flushRdm();
            if (!frame)
                break;
            dispatch(*frame);
            endWaitOnAnswer(*frame);
        }
        m_reasm.clear();
    }
    runDeferredTick();
}

void RdmSession::runDeferredTick()
{
    if (m_tickDeferred && !m_reasm.pending()) {
        m_tickDeferred = false;
        Timer1Timer();
    }
}

void RdmSession::Timer1Timer()
{
    if (m_reasm.pending()) {
        // A reply is on its way in; its end or the inter-byte time-out decides, then this tick.
        m_transport.stopTimer(RdmTransport::Timer::Reply);
        m_tickDeferred = true;
        return;
    }
    stopTimer();
    m_awaitedGet.pending = false;
    const bool answered = std::exchange(m_answered, false);
    if (m_mode == DISCOVER) {
        counted(Tick::Discovery);
        if (std::exchange(m_settling, false)) {
            // The walk goes on from the oldest request given up: whatever came late, every
            // branch after it is asked again.
            if (!m_cutShorts.isEmpty())
                m_discBinaryState = m_cutShorts.first().state;
            m_cutShorts.clear();
            SendNextDisc(DISC_REPEAT);
            return;
        }
        m_awaitingFirstByte = false;
        // A tick that comes late shows a busy machine, where the line's bytes can be held up as
        // long: a late reply may yet be taken for a collision in the next branch. Such a wait
        // counts as cut short where the walk decides whether to go down a branch again; as it
        // was not given up early, its branch is not asked again on that account. When nothing
        // is late this changes nothing on the wire.
        const qint64 waitedUs = m_transport.nowUs() - m_discoveryWrittenUs;
        const bool lateTick = waitedUs > qint64(m_replyTimeoutMs + LateTickMs) * 1000;
        if (lateTick)
            qCDebug(lcRdm).noquote() << "discovery: the reply timer came" << waitedUs / 1000 - m_replyTimeoutMs
                                     << "ms late; a reply to branch" << m_discBinaryState.row << m_discBinaryState.branch
                                     << "may still come";
        const bool cutShort = m_replyTimeoutMs < timings.discoveryTimeoutMs;
        QList<CutShort> cuts;
        if (cutShort) {
            cuts = std::exchange(m_cutShorts, {});
            cuts.append({m_discBinaryState, m_discoverySentUs});
        }
        if (cutShort || lateTick)
            ++m_cutShortWaits;
        SendNextDisc(DISC_WIDEN);
        if (m_mode == DISCOVER)
            m_cutShorts = std::move(cuts);
        return;
    }
    if (m_mutePending) {
        counted(Tick::Discovery);
        if (m_muteTries < MuteAttempts) {
            sendMute();
            return;
        }
        // Never acknowledged: not recorded, and taken for what a collision can look like, a
        // valid reply made of several. The controllers behind it are found below the branch.
        qCWarning(lcRdm).noquote() << "mute of" << idText(m_muteId) << "given up after" << m_muteTries
                                   << "attempts; not recorded, treated as a phantom of a collision";
        m_mutePending = false;
        m_unacked.insert(m_muteId);
        m_mode = DISCOVER;
        SendNextDisc(DISC_NARROW);
        return;
    }
    if (!getMessage(m_infoPacket))
        return;
    if (answered)
        m_transport.pause(timings.responseGapUs);
    counted(answered ? Tick::Answered : Tick::Parameter);
    ++m_infoRequestNum;
    getSend(m_infoPacket, m_infoRequestNum);
}

// ---- parameter phase ----

void RdmSession::getSend(quint8 phase, int num)
{
    const GetMessage *get = getMessage(phase);
    if (!get)
        return;
    if (num >= 0 && num < VControllers.size()) {
        const quint32 id = VControllers[num].deviceId();
        if (searchProgress)
            searchProgress({SearchProgress::Reading, int(VControllers.size()), num, phase});
        const quint8 transNum = send(getRequest(*get, id));
        m_awaitedGet = {true, makerUid(id), get->pid, transNum};
        m_replyTimeoutMs = timings.parameterTimeoutMs;
        m_infoPacket = phase;
        startReplyTimer();
        return;
    }
    m_infoRequestNum = 0;
    stopTimer();
    if (get->next == PHASE_END) {
        m_infoPacket = phase;
        if (VControllers.isEmpty())
            NothingFound();
        else if (searchEnded)
            searchEnded(true);
        return;
    }
    m_infoPacket = get->next;
    getSend(get->next, 0);
}

void RdmSession::endWaitOnAnswer(const QByteArray &frame)
{
    // Only the answer to the get in flight counts: a late answer to an earlier get, or one from
    // another controller, leaves the wait as it is.
    if (!fastSearch || !m_awaitedGet.pending || m_mode != STANDARD || frame.size() < MinStandardReply)
        return;
    const std::optional<TRdmPacket> reply = parseRdmHeader(frame);
    if (!reply || reply->cc != GET_COMMAND_RESPONSE || reply->pid != m_awaitedGet.pid
        || reply->transNum != m_awaitedGet.transNum || uidFrom(reply->srcUID) != m_awaitedGet.source)
        return;
    m_awaitedGet.pending = false;
    m_answered = true;
    qCDebug(lcRdm) << "fast search: answered, next request after the response gap";
    // The tick runs as soon as nothing more is coming in (here, or after the inter-byte time-out).
    m_transport.stopTimer(RdmTransport::Timer::Reply);
    m_tickDeferred = true;
}

void RdmSession::StandardRead(const QByteArray &frame)
{
    const auto header = frame.size() >= MinStandardReply ? parseRdmHeader(frame) : std::nullopt;
    if (!header)
        return;
    const TRdmPacket &reply = *header;
    qCDebug(lcRdm).nospace().noquote() << "reply pid 0x" << Qt::hex << reply.pid << " from " << Qt::dec
                                       << idText(sourceDeviceId(reply)) << " type " << int(reply.portID);
    const QByteArrayView data = parameterData(frame);
    switch (reply.pid) {
    case PID_DISC_MUTE: MuteRead(reply); break;
    case PID_DEVICE_INFO: DeviceInfoRead(reply, data); break;
    case PID_DEVICE_LABEL: DeviceLabelRead(reply, data); break;
    case PID_SENSOR_VALUE: DeviceTempRead(reply, data); break;
    case PID_REMOTE_MODE: DeviceRemoteModeRead(reply, data); break;
    case PID_GAMMA: DeviceGammaRead(reply, data); break;
    default: break;
    }
}

template <class Apply>
void RdmSession::forReplySource(const TRdmPacket &reply, QByteArrayView data, Apply apply)
{
    // A refused or deferred request carries a reason, not the value: it must not be stored.
    if (VControllers.isEmpty() || reply.portID != RESPONSE_TYPE_ACK) {
        qCDebug(lcRdm).noquote() << "reply not stored: response type" << int(reply.portID);
        return;
    }
    const quint32 id = sourceDeviceId(reply);
    for (TQuorixCtrl &c : VControllers)
        if (c.deviceId() == id)
            apply(c, data);
}

void RdmSession::DeviceInfoRead(const TRdmPacket &reply, QByteArrayView data)
{
    forReplySource(reply, data, [](TQuorixCtrl &c, QByteArrayView data) {
        const auto info = readDeviceInfo(data);
        if (!info || info->model != QUORIX_MODEL_ID)
            return;
        c.MID = info->model;
        c.SVID = info->software;
        c.PERS = info->personality;
        c.STA = info->startAddress;
    });
}

void RdmSession::DeviceTempRead(const TRdmPacket &reply, QByteArrayView data)
{
    forReplySource(reply, data, [](TQuorixCtrl &c, QByteArrayView data) {
        if (const auto sensor = readSensorValue(data))
            c.TMP = sensor->present;
    });
}

void RdmSession::DeviceRemoteModeRead(const TRdmPacket &reply, QByteArrayView data)
{
    forReplySource(reply, data, [](TQuorixCtrl &c, QByteArrayView data) {
        if (!data.isEmpty())
            c.RM = quint8(data[0]);
    });
}

void RdmSession::DeviceGammaRead(const TRdmPacket &reply, QByteArrayView data)
{
    forReplySource(reply, data, [](TQuorixCtrl &c, QByteArrayView data) {
        if (!data.isEmpty())
            c.Gamma = quint8(data[0]);
    });
}

void RdmSession::DeviceLabelRead(const TRdmPacket &reply, QByteArrayView data)
{
    forReplySource(reply, data, [](TQuorixCtrl &c, QByteArrayView data) {
        const qsizetype n = qMin<qsizetype>(data.size(), LABEL_MAX);
        for (qsizetype i = 0; i < n; ++i)
            c.LBL[std::size_t(i)] = quint8(data[i]);
    });
}
