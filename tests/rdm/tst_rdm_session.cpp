// The search state machine against a virtual line, on a clock of its own: each step delivers
// the next reply that is due, or lets the running timer fire, whichever comes first. A reply is
// due a round trip after its request (none, unless a test sets one); a late controller's comes in
// after the next request. Replies can be handed over in pieces.

#include "common/log_categories.h"
#include "rdm/rdm_session.h"
#include "rdm_test_records.h"
#include "sim/rdm/virtual_quorix_line.h"

#include <QLoggingCategory>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <deque>
#include <functional>
#include <utility>

using namespace rdm;

namespace {

struct LineHost : RdmTransport {
    VirtualQuorixLine line;
    RdmSession session{*this};
    SearchPacing pacing;
    QList<QByteArray> sent;
    struct Delivery {
        qint64 atUs;
        QByteArray bytes;
    };
    std::deque<Delivery> deliveries; // in time order
    int pieceSize = 0; // 0: a reply arrives whole
    qint64 clockUs = 0;
    // From a request to its reply's first byte; by the request's index in `sent` when set.
    int roundTripUs = 0;
    std::function<int(qsizetype)> roundTripUsOf;
    qint64 timerDueUs = 0;
    QList<QPair<quint16, int>> waits; // each message's reply wait: its parameter, ms
    // Replaces the line's answer to a discovery request when set.
    std::function<QByteArray(const QByteArray &)> discoveryAnswer;
    bool timerOn = false;
    bool gapOn = false;
    int interval = 0;
    QList<int> shortWaits; // blocking waits below a millisecond, in µs
    QList<int> longWaits;  // and the others
    QList<SearchProgress> progress;
    int tables = 0;
    int emptyEnds = 0;
    int steps = 0;
    int deepestRow = 0;

    QList<int> breaks; // µs, one per message
    explicit LineHost(QList<VirtualQuorix> controllers = {}) : line(std::move(controllers))
    {
        session.pacing = &pacing;
        session.searchEnded = [this](bool found) { ++(found ? tables : emptyEnds); };
        session.searchProgress = [this](const SearchProgress &p) { progress << p; };
    }
    LineHost(const LineHost &) = delete;

    void sendFrame(const QByteArray &m, int breakUs) override
    {
        sent << m;
        waitTaken = false;
        breaks << breakUs;
        if (pidOf(m) == PID_DISC_UNIQUE_BRANCH)
            deepestRow = qMax(deepestRow, session.branch().row);
        const QByteArray answer = discoveryAnswer && quint8(m[20]) == DISCOVERY_COMMAND
                && quint8(m[22]) == PID_DISC_UNIQUE_BRANCH
            ? discoveryAnswer(m)
            : line.handle(m);
        const qint64 due = clockUs + (roundTripUsOf ? roundTripUsOf(sent.size() - 1) : roundTripUs);
        deliver(due, answer);
        // A late controller's answer, too late for the wait: it comes in after the next request.
        if (line.lateReplyMs >= interval)
            late += line.lateReply;
        else
            deliver(due + qint64(line.lateReplyMs) * 1000, line.lateReply);
    }
    QByteArray late;
    void deliver(qint64 atUs, const QByteArray &bytes)
    {
        if (bytes.isEmpty())
            return;
        // Bytes never overtake each other on the line.
        if (!deliveries.empty())
            atUs = qMax(atUs, deliveries.back().atUs);
        deliveries.push_back({atUs, bytes});
    }
    qint64 nowUs() const override { return clockUs; }
    void pause(int us) override
    {
        (us < 1000 ? shortWaits : longWaits) << us;
    }
    QList<int> gapTimeouts;
    // The reply time-out each message was given, by its command class.
    QMap<quint8, QSet<int>> timeoutsFor;
    void startTimer(Timer timer, int ms) override
    {
        if (timer == Timer::Gap) {
            gapTimeouts << ms;
            gapOn = true;
            return;
        }
        if (!sent.isEmpty())
            timeoutsFor[quint8(sent.last()[20])].insert(ms);
        if (!sent.isEmpty() && !waitTaken)
            waits << qMakePair(pidOf(sent.last()), ms);
        waitTaken = true;
        interval = ms;
        timerOn = true;
        timerDueUs = clockUs + qint64(ms) * 1000;
        // A busy machine handles the tick late: by the message's index in `sent` when set.
        if (tickLateUsOf && !sent.isEmpty())
            timerDueUs += tickLateUsOf(sent.size() - 1);
    }
    std::function<int(qsizetype)> tickLateUsOf;
    bool waitTaken = false; // restarts of a message's timer are not another wait
    QList<int> waitsOf(quint16 pid) const
    {
        QList<int> out;
        for (const auto &[p, ms] : waits)
            if (p == pid)
                out << ms;
        return out;
    }
    void stopTimer(Timer timer) override { (timer == Timer::Gap ? gapOn : timerOn) = false; }

    // Runs a search to its end; false when it did not end within `maxSteps`.
    bool search(int maxSteps = 1'000'000)
    {
        session.startSearch();
        return runUntilQuiet(maxSteps);
    }

    bool runUntilQuiet(int maxSteps)
    {
        for (steps = 0; steps < maxSteps; ++steps)
            if (!step())
                return true;
        return false;
    }

    // Delivers the next reply due, or lets the running timer fire if it is due first (the gap
    // timer only once nothing more is due before the reply timer); false when quiet.
    bool step()
    {
        const bool replyDue = !deliveries.empty() && (!timerOn || deliveries.front().atUs <= timerDueUs);
        if (replyDue) {
            Delivery &d = deliveries.front();
            clockUs = qMax(clockUs, d.atUs);
            const qsizetype n = pieceSize > 0 ? qMin<qsizetype>(pieceSize, d.bytes.size()) : d.bytes.size();
            const QByteArray piece = d.bytes.left(n);
            d.bytes.remove(0, n);
            if (d.bytes.isEmpty())
                deliveries.pop_front();
            session.bytesReceived(piece);
        } else if (gapOn) {
            gapOn = false;
            session.gapTimeout();
        } else if (timerOn) {
            clockUs = qMax(clockUs, timerDueUs);
            session.Timer1Timer();
            deliver(clockUs, std::exchange(late, {}));
        } else if (!deliveries.empty()) {
            clockUs = qMax(clockUs, deliveries.front().atUs);
            const QByteArray bytes = deliveries.front().bytes;
            deliveries.pop_front();
            session.bytesReceived(bytes);
        } else if (!late.isEmpty()) {
            deliver(clockUs, std::exchange(late, {}));
        } else {
            return false;
        }
        return true;
    }
    // What the line has answered so far and not handed over, taken off it.
    QByteArray takeAnswers()
    {
        QByteArray all;
        for (const Delivery &d : deliveries)
            all += d.bytes;
        deliveries.clear();
        return all;
    }

    QList<QByteArray> sentWith(quint8 cc) const
    {
        QList<QByteArray> out;
        for (const QByteArray &m : sent)
            if (quint8(m[20]) == cc)
                out << m;
        return out;
    }
};

TBinaryBounds boundsOf(const QByteArray &discoveryRequest)
{
    const auto be32 = [&](int at) {
        return quint32(quint8(discoveryRequest[at])) << 24 | quint32(quint8(discoveryRequest[at + 1])) << 16
            | quint32(quint8(discoveryRequest[at + 2])) << 8 | quint8(discoveryRequest[at + 3]);
    };
    return {be32(26), be32(32)};
}


QByteArray reply(quint32 id, quint16 pid, QByteArray data, quint8 type = RESPONSE_TYPE_ACK, int pdl = -1)
{
    TRdmPacket request;
    request.srcUID = uidBytes(RDM_SRC_ID);
    request.cc = pid == PID_DISC_MUTE ? DISCOVERY_COMMAND : GET_COMMAND;
    request.pid = pid;
    QByteArray m = buildReply(request, makerUid(id), type, data);
    if (pdl >= 0) { // a pdl that disagrees with the data, checksum kept right
        m[23] = char(pdl);
        const quint16 sum = rdmChecksum(QByteArrayView(m).first(m.size() - 2));
        m[m.size() - 2] = char(sum >> 8);
        m[m.size() - 1] = char(sum & 0xFF);
    }
    return m;
}

// The firmware exchange on the same line and the same Timer1 as the session.

QList<quint32> randomIds(int n, quint32 seed)
{
    QList<quint32> ids;
    QRandomGenerator rng(seed);
    while (ids.size() < n)
        if (const quint32 id = rng.generate(); !ids.contains(id))
            ids << id;
    return ids;
}

} // namespace

class TestRdmSession : public QObject {
    Q_OBJECT
private slots:
    void walkForIdsOneAndTwo()
    {
        LineHost host(virtualLine({1, 2}));
        QVERIFY(host.search());

        QList<TBinaryBounds> expected;
        for (int row = 1; row <= 32; ++row)
            expected << FindBounds(row, 1); // collisions all the way down, ID 1 alone in row 32
        expected << FindBounds(32, 2);      // its right sibling holds ID 2
        for (int row = 31; row >= 2; --row)
            expected << FindBounds(row, 1) << FindBounds(row, 2); // parent again, then its sibling
        expected << FindBounds(1, 1);                               // the whole range, silent now

        QList<TBinaryBounds> asked;
        QList<quint32> muted;
        const QList<QByteArray> discovery = host.sentWith(DISCOVERY_COMMAND);
        QCOMPARE(pidOf(discovery[0]), quint16(PID_DISC_UN_MUTE));
        QCOMPARE(pidOf(discovery[1]), quint16(PID_DISC_UN_MUTE));
        for (const QByteArray &m : discovery.mid(2)) {
            if (pidOf(m) == PID_DISC_UNIQUE_BRANCH)
                asked << boundsOf(m);
            else if (pidOf(m) == PID_DISC_MUTE)
                muted << destId(m);
        }
        QCOMPARE(asked, expected);
        QCOMPARE(muted, (QList<quint32>{1, 2}));
        QCOMPARE(host.session.VControllers.size(), 2);
        QCOMPARE(host.session.VControllers[0].deviceId(), 1u);
        QCOMPARE(host.session.VControllers[1].deviceId(), 2u);
        QCOMPARE(host.tables, 1);
    }

    void getMessagesGoOutPhaseByPhase()
    {
        const QList<VirtualQuorix> line = virtualLine({0x30, 0x10, 0x20});
        LineHost host(line);
        QVERIFY(host.search());
        QList<QPair<quint16, quint32>> gets;
        for (const QByteArray &m : host.sentWith(GET_COMMAND))
            gets << qMakePair(pidOf(m), destId(m));
        QList<QPair<quint16, quint32>> expected;
        for (quint16 pid : {PID_DEVICE_INFO, PID_SENSOR_VALUE, PID_REMOTE_MODE, PID_GAMMA, PID_DEVICE_LABEL})
            for (const TQuorixCtrl &c : host.session.VControllers)
                expected << qMakePair(pid, c.deviceId());
        QCOMPARE(gets, expected);
        QCOMPARE(host.pacing.parameterTicks, 15);
        QCOMPARE(host.session.infoPhase(), quint8(DEVICE_LABEL));
        QCOMPARE(host.tables, 1);
        compareRecords(host.session.VControllers, line);
    }

    // Each wait of a search is its own setting: what is set is what the line and the timers get,
    // and what the pacing prescribes.
    void timingsAreTakenAsSet()
    {
        for (const bool custom : {false, true}) {
            LineHost host(virtualLine({0x30, 0x31}));
            host.pieceSize = 7; // replies in pieces: the gap timer runs too
            RdmSession::Timings t;
            if (custom) {
                t = {.discoveryTimeoutMs = 7, .parameterTimeoutMs = 33, .unmuteWaitMs = 11, .responseGapUs = 250,
                     .breakUs = 400, .gapTimeoutMs = 5, .fastBreakUs = 200, .fastUnmuteWaitMs = 9};
                host.session.timings = t;
            }
            host.session.fastSearch = true;
            // Round trips for which the learnt wait comes out at the set one.
            host.roundTripUs = custom ? 6400 : 19600;
            QVERIFY(host.search());
            QCOMPARE(host.session.VControllers.size(), 2);
            QCOMPARE(host.breaks, QList<int>(host.sent.size(), t.fastBreakUs));
            QCOMPARE(host.timeoutsFor.value(DISCOVERY_COMMAND), QSet<int>{t.discoveryTimeoutMs});
            QCOMPARE(host.timeoutsFor.value(GET_COMMAND), QSet<int>{t.parameterTimeoutMs});
            QVERIFY(!host.gapTimeouts.isEmpty());
            QCOMPARE(QSet<int>(host.gapTimeouts.cbegin(), host.gapTimeouts.cend()), QSet<int>{t.gapTimeoutMs});
            QCOMPARE(host.shortWaits, QList<int>(host.pacing.answeredTicks, t.responseGapUs));
            const SearchPacing &p = host.pacing;
            QCOMPARE(host.longWaits, QList<int>(2, t.fastUnmuteWaitMs * 1000));
            QCOMPARE(p.waitedMs, 2 * t.fastUnmuteWaitMs);
            QCOMPARE(p.prescribedMs(),
                     p.waitedMs
                         + (qint64(p.messages) * t.fastBreakUs + qint64(p.discoveryTicks) * t.discoveryTimeoutMs * 1000
                            + qint64(p.parameterTicks) * t.parameterTimeoutMs * 1000
                            + qint64(p.answeredTicks) * t.responseGapUs + 999)
                             / 1000);
        }
    }

    void oneControllerNeedsNoWalk()
    {
        LineHost host(virtualLine({0xABCDEF01}));
        QVERIFY(host.search());
        QList<quint16> pids;
        for (const QByteArray &m : host.sent)
            pids << pidOf(m);
        QCOMPARE(pids, (QList<quint16>{PID_DISC_UN_MUTE, PID_DISC_UN_MUTE, PID_DISC_UNIQUE_BRANCH, PID_DISC_MUTE,
                                       PID_DEVICE_INFO, PID_SENSOR_VALUE, PID_REMOTE_MODE, PID_GAMMA,
                                       PID_DEVICE_LABEL}));
    }

    void timeoutWaitsForAReplyComingIn()
    {
        // The 20 ms run out while the discovery reply is still arriving: the reply decides.
        LineHost host(virtualLine({0x77}));
        host.session.startSearch();
        const QByteArray answer = host.takeAnswers();
        QCOMPARE(answer.size(), DISC_REPLY_SIZE);
        const qsizetype sentBefore = host.sent.size();
        host.session.bytesReceived(answer.left(10));
        host.session.Timer1Timer();
        QCOMPARE(host.sent.size(), sentBefore); // not taken as silence
        host.session.bytesReceived(answer.mid(10));
        QCOMPARE(pidOf(host.sent.last()), quint16(PID_DISC_MUTE));
        QCOMPARE(destId(host.sent.last()), 0x77u);

        // The same for a get reply in the parameter phase: the next get waits for it.
        const QByteArray muteReply = host.takeAnswers();
        host.session.bytesReceived(muteReply);
        QCOMPARE(pidOf(host.sent.last()), quint16(PID_DEVICE_INFO));
        const QByteArray info = host.takeAnswers();
        host.session.bytesReceived(info.left(20));
        host.session.Timer1Timer();
        QCOMPARE(pidOf(host.sent.last()), quint16(PID_DEVICE_INFO));
        host.session.bytesReceived(info.mid(20));
        QCOMPARE(host.session.VControllers[0].SVID, host.line.controllers[0].rec.SVID);
        QCOMPARE(pidOf(host.sent.last()), quint16(PID_SENSOR_VALUE));
    }

    void fastSearchSendsTheSameWithShortWaits_data()
    {
        QTest::addColumn<QList<quint32>>("ids");
        QTest::addColumn<int>("silent"); // how many of them (the first) answer no get
        QTest::addColumn<int>("pieceSize");
        QList<quint32> many;
        QRandomGenerator rng(1412);
        while (many.size() < 100) {
            const quint32 id = rng.generate();
            if (!many.contains(id))
                many << id;
        }
        QTest::newRow("none") << QList<quint32>{} << 0 << 0;
        QTest::newRow("three") << QList<quint32>{0x30, 0x10, 0x20} << 0 << 0;
        QTest::newRow("100 random, in pieces of 3") << many << 0 << 3;
        QTest::newRow("one of two answers no get") << QList<quint32>{0x1234, 0x80000000} << 1 << 0;
    }

    void fastSearchSendsTheSameWithShortWaits()
    {
        QFETCH(QList<quint32>, ids);
        QFETCH(int, silent);
        QFETCH(int, pieceSize);
        QList<VirtualQuorix> line = virtualLine(ids);
        for (int i = 0; i < silent; ++i)
            line[i].ignoresGets = true;
        LineHost paced(line);
        LineHost fast(line);
        paced.pieceSize = fast.pieceSize = pieceSize;
        fast.session.fastSearch = true;
        QVERIFY(paced.search());
        QVERIFY(fast.search());

        QCOMPARE(fast.sent, paced.sent); // every byte, transaction numbers included
        QCOMPARE(fast.tables, paced.tables);
        QCOMPARE(fast.emptyEnds, paced.emptyEnds);
        QCOMPARE(fast.session.VControllers.size(), ids.size());
        for (int i = 0; i < ids.size(); ++i) {
            const TQuorixCtrl &a = paced.session.VControllers[i];
            const TQuorixCtrl &b = fast.session.VControllers[i];
            QCOMPARE(b.UID, a.UID);
            QCOMPARE(b.SVID, a.SVID);
            QCOMPARE(b.STA, a.STA);
            QCOMPARE(b.LBL, a.LBL);
            QCOMPARE(b.TMP, a.TMP);
            QCOMPARE(b.RM, a.RM);
            QCOMPARE(b.Gamma, a.Gamma);
        }

        // Each answered get cuts its wait to the response gap; an unanswered one waits it out.
        const int gets = 5 * int(ids.size());
        const int answered = 5 * (int(ids.size()) - silent);
        QCOMPARE(paced.pacing.parameterTicks, gets);
        QCOMPARE(paced.pacing.answeredTicks, 0);
        QVERIFY(paced.shortWaits.isEmpty());
        QCOMPARE(fast.pacing.parameterTicks, gets - answered);
        QCOMPARE(fast.pacing.answeredTicks, answered);
        QCOMPARE(fast.shortWaits, QList<int>(answered, RdmSession::ResponseGapUs));
        // As many discovery requests run out (each sooner), and the un-mutes settle for the reply
        // wait instead of the paced settling time.
        QCOMPARE(fast.pacing.discoveryTicks, paced.pacing.discoveryTicks);
        const int unmutes = 2 * (paced.session.emptyPasses() + paced.tables);
        QCOMPARE(paced.longWaits, QList<int>(unmutes, RdmSession::UnmuteWaitMs * 1000));
        QCOMPARE(fast.longWaits, QList<int>(unmutes, RdmSession::FastUnmuteWaitMs * 1000));
        QCOMPARE(paced.pacing.waitedMs, unmutes * RdmSession::UnmuteWaitMs);
        QCOMPARE(fast.pacing.waitedMs, unmutes * RdmSession::FastUnmuteWaitMs);
    }

    // The fast search waits for a discovery reply as long as the round trips seen allow, once it
    // has seen enough of them; the paced search, the whole range and a mute keep the paced wait.
    void fastDiscoveryWaitLearnsTheRoundTrip_data()
    {
        QTest::addColumn<int>("roundTripUs");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("quick adapter: the lost-response floor") << 500 << 3;
        QTest::newRow("3.4 ms: and half a millisecond") << 3400 << 4;
        QTest::newRow("4 ms: and half a millisecond") << 4000 << 5;
        QTest::newRow("adapter holding replies 19.6 ms: the paced wait") << 19600 << 20;
    }

    void fastDiscoveryWaitLearnsTheRoundTrip()
    {
        QFETCH(int, roundTripUs);
        QFETCH(int, waitMs);
        const QList<VirtualQuorix> line = virtualLine(randomIds(20, 77));
        LineHost paced(line);
        LineHost fast(line);
        paced.roundTripUs = fast.roundTripUs = roundTripUs;
        fast.session.fastSearch = true;
        QVERIFY(paced.search());
        QVERIFY(fast.search());

        QCOMPARE(fast.sent, paced.sent);
        compareRecords(fast.session.VControllers, line);
        QCOMPARE(fast.session.lateReplies(), 0);
        const QList<int> pacedWaits = paced.waitsOf(PID_DISC_UNIQUE_BRANCH);
        const QList<int> fastWaits = fast.waitsOf(PID_DISC_UNIQUE_BRANCH);
        QCOMPARE(QSet<int>(pacedWaits.cbegin(), pacedWaits.cend()), QSet<int>{20});
        QCOMPARE(fast.session.longestRoundTripUs(), qint64(roundTripUs));
        // Nothing is learnt from the first few; then the learnt wait, but for the whole range.
        QCOMPARE(fastWaits.mid(0, RdmSession::RoundTripsBeforeLearning),
                 QList<int>(RdmSession::RoundTripsBeforeLearning, 20));
        QCOMPARE(QSet<int>(fastWaits.cbegin(), fastWaits.cend()), (QSet<int>{20, waitMs}));
        QCOMPARE(fastWaits.last(), 20);
        QCOMPARE(fast.waitsOf(PID_DISC_MUTE), QList<int>(line.size(), 20));
        if (waitMs < 20)
            QVERIFY(fast.pacing.prescribedMs() < paced.pacing.prescribedMs());
        else
            QCOMPARE(fast.pacing.discoveryTicks, paced.pacing.discoveryTicks);
    }

    // The wait was learnt on a quiet line; then the machine gets busy and replies take longer
    // than it. A reply that comes late is never taken for a collision or for silence: every
    // controller is found, and the fast search waits longer from then on.
    void lateRepliesAfterALearntWait_data()
    {
        QTest::addColumn<int>("loadedRoundTripUs");
        QTest::addColumn<int>("loadedFrom");  // discovery requests, counted from the first
        QTest::addColumn<int>("loadedUntil"); // -1: to the end
        QTest::addColumn<int>("pieceSize");
        // Whether some of the late replies come in sooner than a reply to the next request could
        // (they are known as late then); those that come later read as its answer.
        QTest::addColumn<bool>("knownLate");
        // Learnt: 3 ms round trips, a 4 ms wait.
        QTest::newRow("a moment's load, in sooner than the next reply could be") << 5500 << 30 << 34 << 0 << true;
        QTest::newRow("a moment's load, late by more than a round trip") << 12000 << 30 << 34 << 0 << false;
        QTest::newRow("load from then on, 6 ms") << 6000 << 30 << -1 << 0 << true;
        QTest::newRow("load from then on, 9 ms") << 9000 << 30 << -1 << 0 << false;
        QTest::newRow("load from then on, 19 ms, in pieces") << 19000 << 30 << -1 << 5 << false;
        QTest::newRow("load now and then") << 15000 << -2 << -1 << 0 << false;
    }

    void lateRepliesAfterALearntWait()
    {
        QFETCH(int, loadedRoundTripUs);
        QFETCH(int, loadedFrom);
        QFETCH(int, loadedUntil);
        QFETCH(int, pieceSize);
        QFETCH(bool, knownLate);
        for (quint32 seed : {5u, 6u, 7u, 8u}) {
            const QList<VirtualQuorix> line = virtualLine(randomIds(24, seed));
            LineHost host(line);
            host.pieceSize = pieceSize;
            host.session.fastSearch = true;
            int discoveries = 0;
            host.roundTripUsOf = [&](qsizetype index) {
                if (pidOf(host.sent[index]) != PID_DISC_UNIQUE_BRANCH)
                    return 3000;
                const int n = discoveries++;
                const bool loaded = loadedFrom == -2 ? n % 7 == 3
                                                     : n >= loadedFrom && (loadedUntil < 0 || n < loadedUntil);
                return loaded ? loadedRoundTripUs : 3000;
            };
            QVERIFY(host.search(200'000));
            QCOMPARE(host.tables, 1);
            compareRecords(host.session.VControllers, line);
            if (knownLate)
                QVERIFY(host.session.lateReplies() > 0);
            if (loadedUntil < 0)
                QVERIFY(host.session.longestRoundTripUs() >= loadedRoundTripUs);
        }
    }

    // One reply comes late, after a wait learnt on 3 ms round trips (4 ms): in 3 ms after the
    // next request went out, when a reply to that request is due, or after two more were given up.
    void lateReplyIsNeverACollision_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<qint64>("branch");
        QTest::addColumn<int>("roundTripUs");
        QTest::addColumn<bool>("knownLate");
        // The two collide all the way down to row 32: the late collision reads as one in the
        // empty sibling. The walk must not abandon the parent as fruitless when it finds nobody there.
        QTest::newRow("a late collision") << 20 << qint64(1) << 7000 << false;
        // A valid reply from inside the branch given up, outside the one asked: known as late.
        QTest::newRow("a late valid reply") << ROW_SINGLE_ID << qint64(0x10 + 1) << 7000 << true;
        // The right one of the two: the branches after it (up the tree) are empty and given up too.
        QTest::newRow("a valid reply two requests late") << ROW_SINGLE_ID << qint64(0x11 + 1) << 12000 << true;
    }

    void lateReplyIsNeverACollision()
    {
        QFETCH(int, row);
        QFETCH(qint64, branch);
        QFETCH(int, roundTripUs);
        QFETCH(bool, knownLate);
        const QList<VirtualQuorix> line = virtualLine({0x10, 0x11});
        LineHost host(line);
        host.session.fastSearch = true;
        const TBinaryBounds loaded = FindBounds(row, branch);
        bool once = false;
        host.roundTripUsOf = [&](qsizetype index) {
            const QByteArray &m = host.sent[index];
            if (pidOf(m) == PID_DISC_UNIQUE_BRANCH && boundsOf(m) == loaded && !std::exchange(once, true))
                return roundTripUs;
            return 3000;
        };
        QVERIFY(host.search(200'000));
        QVERIFY(once);
        compareRecords(host.session.VControllers, line);
        QCOMPARE(host.session.emptyPasses(), 0); // found in the first pass, not only in the next
        QCOMPARE(host.session.lateReplies(), knownLate ? 1 : 0);
        if (knownLate) { // asked again once the line is quiet, and the walk goes on from there
            QList<TBinaryBounds> asked;
            for (const QByteArray &m : host.sentWith(DISCOVERY_COMMAND))
                if (pidOf(m) == PID_DISC_UNIQUE_BRANCH)
                    asked << boundsOf(m);
            const qsizetype at = asked.indexOf(loaded);
            const qsizetype again = asked.indexOf(loaded, at + 1);
            QVERIFY(again > at + 1);
            QCOMPARE(asked.mid(again + 1, again - at - 1), asked.mid(at + 1, again - at - 1));
            // The wait stays above the late round trip.
            QVERIFY(host.session.learntWaitMs() * 1000 > roundTripUs);
        }
    }

    // A busy moment while the wait is learnt (one round trip of 15 ms among quick ones) does not
    // hold the wait up for the rest of the search: it is left out once enough were seen.
    void aRareSlowRoundTripIsLeftOut()
    {
        const QList<VirtualQuorix> line = virtualLine(randomIds(24, 91));
        LineHost paced(line);
        LineHost fast(line);
        fast.session.fastSearch = true;
        int discoveries = 0;
        paced.roundTripUs = 3000;
        fast.roundTripUsOf = [&](qsizetype index) {
            if (pidOf(fast.sent[index]) != PID_DISC_UNIQUE_BRANCH)
                return 3000;
            return discoveries++ == 2 ? 15000 : 3000;
        };
        QVERIFY(paced.search());
        QVERIFY(fast.search());
        QCOMPARE(fast.sent, paced.sent);
        compareRecords(fast.session.VControllers, line);
        QCOMPARE(fast.session.lateReplies(), 0);
        QCOMPARE(fast.session.longestRoundTripUs(), 15000);
        const QList<int> waits = fast.waitsOf(PID_DISC_UNIQUE_BRANCH);
        QVERIFY(waits.contains(20));
        QCOMPARE(fast.session.learntWaitMs(), 4);
        QVERIFY(waits.count(4) > waits.size() / 2);
    }

    // The paced search on a busy machine: the reply timer of one discovery request is handled
    // late, and its reply (a collision) comes later still, in the wait of the request after it,
    // where it reads as a collision in an empty branch. The branch that holds the controllers is
    // gone down again, not abandoned as fruitless.
    void lateReplyAfterALateTickInThePacedSearch_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("tickLateUs");
        QTest::addColumn<int>("roundTripUs");
        QTest::newRow("the controllers' branch, late by 10 ms") << 20 << 10000 << 35000;
        QTest::newRow("near the top, late by 30 ms") << 3 << 30000 << 52000;
        QTest::newRow("a tick a little late, the reply on time") << 20 << 4000 << 3000;
        QTest::newRow("a tick late by 10 ms, the reply on time") << 20 << 10000 << 3000;
    }

    void lateReplyAfterALateTickInThePacedSearch()
    {
        QFETCH(int, row);
        QFETCH(int, tickLateUs);
        QFETCH(int, roundTripUs);
        const QList<VirtualQuorix> line = virtualLine({0x10, 0x11});
        LineHost host(line);
        const TBinaryBounds loaded = FindBounds(row, 1);
        qsizetype loadedAt = -1;
        host.roundTripUsOf = [&](qsizetype index) {
            const QByteArray &m = host.sent[index];
            if (loadedAt < 0 && pidOf(m) == PID_DISC_UNIQUE_BRANCH && boundsOf(m) == loaded) {
                loadedAt = index;
                return roundTripUs;
            }
            return 3000;
        };
        host.tickLateUsOf = [&](qsizetype index) { return index == loadedAt ? tickLateUs : 0; };
        QVERIFY(host.search(200'000));
        QVERIFY(loadedAt >= 0);
        QCOMPARE(host.tables, 1);
        compareRecords(host.session.VControllers, line);
        QCOMPARE(host.session.emptyPasses(), 0);
        if (roundTripUs < RdmSession::DiscoveryIntervalMs * 1000) { // nothing came late: the usual walk
            LineHost quiet(line);
            quiet.roundTripUs = 3000;
            QVERIFY(quiet.search());
            QCOMPARE(host.sent, quiet.sent);
        }
    }

    // A controller with device ID FFFFFFFF has the maker's broadcast address for its UID: it
    // answers what is sent to it alone, but not the un-mute broadcast that starts each pass,
    // whose answer would be read as the reply to the first discovery request.
    void nobodyAnswersTheUnmuteBroadcast()
    {
        VirtualQuorixLine line(virtualLine({0xFFFFFFFF, 0x10}));
        QVERIFY(line.handle(buildRequest(unmuteRequest(), 1)).isEmpty());
        const QByteArray info = line.handle(buildRequest(getRequest(*getMessage(DEVICE_INFO), 0xFFFFFFFF), 2));
        QVERIFY(!info.isEmpty());
        QCOMPARE(deviceIdOf(uidFrom(parseRdmHeader(info)->srcUID)), 0xFFFFFFFFu);
    }

    void onlyTheAnswerInFlightEndsTheWait_data()
    {
        QTest::addColumn<quint32>("from");
        QTest::addColumn<quint16>("pid");
        QTest::addColumn<int>("transShift");
        QTest::addColumn<quint8>("cc"); // of the request answered
        QTest::addColumn<quint8>("type");
        QTest::addColumn<bool>("ends");
        QTest::newRow("the answer") << 0x42u << quint16(PID_DEVICE_INFO) << 0 << quint8(GET_COMMAND)
                                    << quint8(RESPONSE_TYPE_ACK) << true;
        QTest::newRow("a refusal") << 0x42u << quint16(PID_DEVICE_INFO) << 0 << quint8(GET_COMMAND)
                                   << quint8(RESPONSE_TYPE_NACK_REASON) << true;
        QTest::newRow("another controller") << 0x43u << quint16(PID_DEVICE_INFO) << 0 << quint8(GET_COMMAND)
                                            << quint8(RESPONSE_TYPE_ACK) << false;
        QTest::newRow("another parameter") << 0x42u << quint16(PID_GAMMA) << 0 << quint8(GET_COMMAND)
                                           << quint8(RESPONSE_TYPE_ACK) << false;
        QTest::newRow("an earlier transaction") << 0x42u << quint16(PID_DEVICE_INFO) << -1 << quint8(GET_COMMAND)
                                                << quint8(RESPONSE_TYPE_ACK) << false;
        QTest::newRow("a set's answer") << 0x42u << quint16(PID_DEVICE_INFO) << 0 << quint8(SET_COMMAND)
                                        << quint8(RESPONSE_TYPE_ACK) << false;
    }

    void onlyTheAnswerInFlightEndsTheWait()
    {
        QFETCH(quint32, from);
        QFETCH(quint16, pid);
        QFETCH(int, transShift);
        QFETCH(quint8, cc);
        QFETCH(quint8, type);
        QFETCH(bool, ends);
        LineHost host(virtualLine({0x42, 0x43}));
        host.session.fastSearch = true;
        host.session.startSearch();
        while (host.sentWith(GET_COMMAND).isEmpty())
            QVERIFY(host.step());
        host.takeAnswers(); // the line's own answer never comes
        const QByteArray get = host.sent.last();
        QCOMPARE(destId(get), 0x42u);

        TRdmPacket request = *parseRdmHeader(get);
        request.transNum = quint8(request.transNum + transShift);
        request.cc = cc;
        request.pid = pid;
        const QByteArray answer = buildReply(request, makerUid(from), type, QByteArray(2, '\0'));
        host.session.bytesReceived(answer.left(10));
        QCOMPARE(host.sent.last(), get); // nothing before the whole answer is in
        host.session.bytesReceived(answer.mid(10));
        if (ends) {
            QCOMPARE(host.shortWaits, QList<int>{RdmSession::ResponseGapUs});
        } else {
            QCOMPARE(host.sent.last(), get);
            QVERIFY(host.timerOn);
            QCOMPARE(host.interval, RdmSession::ParameterIntervalMs);
            host.session.Timer1Timer(); // the time-out
            QVERIFY(host.shortWaits.isEmpty());
        }
        QCOMPARE(destId(host.sent.last()), 0x43u);
        QCOMPARE(pidOf(host.sent.last()), quint16(PID_DEVICE_INFO));
        QCOMPARE(host.pacing.answeredTicks, ends ? 1 : 0);
    }

    void progressForTheOperator()
    {
        LineHost host(virtualLine({0x42, 0x43}));
        QVERIFY(host.search());
        using P = SearchProgress;
        QList<P> expected{{P::Discovering, 0, 0, 0}, {P::Discovering, 1, 0, 0}, {P::Discovering, 2, 0, 0}};
        for (quint8 phase : {DEVICE_INFO, DEVICE_TEMP, DEVICE_REMOTE, DEVICE_GAMMA, DEVICE_LABEL})
            for (int i = 0; i < 2; ++i)
                expected << P{P::Reading, 2, i, phase};
        QCOMPARE(host.progress, expected);

        QCOMPARE(searchProgressText({P::Discovering, 3, 0, 0}), QStringLiteral("Discovering\u2026 3 found"));
        QCOMPARE(searchProgressText({P::Reading, 32, 11, DEVICE_INFO}),
                 QStringLiteral("Reading 12 of 32 (device information)"));
        QCOMPARE(searchProgressText({P::Reading, 32, 31, DEVICE_LABEL}), QStringLiteral("Reading 32 of 32 (label)"));
    }

    void nothingConnectedMakesThreePasses()
    {
        LineHost host;
        QVERIFY(host.search());
        QCOMPARE(host.emptyEnds, 1);
        QCOMPARE(host.tables, 0);
        QCOMPARE(host.session.emptyPasses(), 3);
        QList<quint16> pids;
        for (const QByteArray &m : host.sent)
            pids << pidOf(m);
        const QList<quint16> pass{PID_DISC_UN_MUTE, PID_DISC_UN_MUTE, PID_DISC_UNIQUE_BRANCH};
        QCOMPARE(pids, pass + pass + pass);
        QCOMPARE(host.pacing.waitedMs, 600);
        QCOMPARE(host.pacing.discoveryTicks, 3);
    }

    void findsEveryController_data()
    {
        QTest::addColumn<QList<quint32>>("ids");
        QTest::addColumn<int>("pieceSize");
        QTest::newRow("one") << QList<quint32>{0x12345678} << 0;
        QTest::newRow("top of the range") << QList<quint32>{0x80000000, 0xC0000000, 0xFFFFFFFF, 0x7FFFFFFF, 0} << 0;
        QTest::newRow("neighbours, byte by byte") << QList<quint32>{4, 5, 6, 7, 0xFFFFFFFE} << 1;
        QList<quint32> many;
        QRandomGenerator rng(20261210);
        while (many.size() < 300) {
            const quint32 id = rng.generate();
            if (!many.contains(id))
                many << id;
        }
        QTest::newRow("300 random, in pieces of 5") << many << 5;
    }

    void findsEveryController()
    {
        QFETCH(QList<quint32>, ids);
        QFETCH(int, pieceSize);
        const QList<VirtualQuorix> line = virtualLine(ids);
        LineHost host(line);
        host.pieceSize = pieceSize;
        QVERIFY(host.search());
        QCOMPARE(host.tables, 1);
        compareRecords(host.session.VControllers, line);
        QVERIFY(host.session.unacknowledged().isEmpty());
    }

    void unacknowledgedMute_data()
    {
        QTest::addColumn<int>("dropMuteReplies");
        QTest::addColumn<bool>("ignoresMute");
        QTest::addColumn<bool>("recorded");
        QTest::newRow("first acknowledgement lost") << 1 << false << true;
        QTest::newRow("mutes but never acknowledges") << -1 << false << false;
        QTest::newRow("never acknowledges, keeps answering") << -1 << true << false;
        QTest::newRow("acknowledges, keeps answering") << 0 << true << true;
    }

    void unacknowledgedMute()
    {
        QFETCH(int, dropMuteReplies);
        QFETCH(bool, ignoresMute);
        QFETCH(bool, recorded);
        QList<VirtualQuorix> line = virtualLine({0x100, 0x101, 0x80000000, 0x180});
        line[0].dropMuteReplies = dropMuteReplies;
        line[0].ignoresMute = ignoresMute;
        LineHost host(line);
        QVERIFY(host.search(200'000));
        QCOMPARE(host.tables, 1);
        if (!recorded)
            line.removeFirst();
        compareRecords(host.session.VControllers, line);
        QCOMPARE(host.session.unacknowledged().contains(0x100), !recorded);
    }

    // Silent unless asked for; asked for, a field report shows what was given up and why.
    void giveUpsAreLoggedWhenAskedFor()
    {
        QVERIFY(!lcRdm().isWarningEnabled() && !lcRdm().isDebugEnabled());
        QLoggingCategory::setFilterRules(QStringLiteral("glintwork.rdm.warning=true"));
        QList<VirtualQuorix> line = virtualLine({0x100, 0x101});
        line[0].dropMuteReplies = -1;
        line[0].ignoresMute = true;
        LineHost host(line);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^mute of 00000100 given up after 3 ")));
        const bool ended = host.search(200'000);
        QLoggingCategory::setFilterRules(QString());
        QVERIFY(ended);

        LineHost empty;
        QLoggingCategory::setFilterRules(QStringLiteral("glintwork.rdm.warning=true"));
        QTest::ignoreMessage(QtWarningMsg, "search gives up: three passes found no controller");
        const bool emptyEnded = empty.search();
        QLoggingCategory::setFilterRules(QString());
        QVERIFY(emptyEnded);
    }

    void controllersThatNeverGoQuiet()
    {
        // Two that keep answering share every branch down to row 32: their collision there stays.
        QList<VirtualQuorix> line = virtualLine({0x200, 0x201, 0x202, 0x80000000});
        line[0].ignoresMute = line[1].ignoresMute = true;
        LineHost host(line);
        QVERIFY(host.search(200'000));
        compareRecords(host.session.VControllers, line);
        QVERIFY(host.sentWith(DISCOVERY_COMMAND).size() < 300);
    }

    // Close IDs collide all the way down, and their mix can read as a valid reply from a third ID
    // that nobody acknowledges: it must hide neither of them, and is never listed.
    void closeIdsBehindAPhantom_data()
    {
        QTest::addColumn<QList<quint32>>("ids");
        QTest::addColumn<bool>("phantoms");
        QTest::newRow("0x122D7880 and 0x122D7881, the line's own mix") << QList<quint32>{0x122D7880, 0x122D7881} << false;
        const QList<QList<quint32>> pairs{
            {0x122D7880, 0x122D7881}, {0x00000001, 0x00000002}, {0x000000FE, 0x000000FF},
            {0xFFFFFFFE, 0xFFFFFFFF}, {0x7FFFFFFF, 0x80000000}, {0x12345678, 0x1234567A},
            {0x12345601, 0x12345681}, {0x12340178, 0x12348178}, {0x01345678, 0x81345678},
            {0xA5A5A5A5, 0xA5A5A5A4}, {0x10000001, 0x10000002, 0x10000003}};
        for (const QList<quint32> &ids : pairs) {
            QString name = QStringLiteral("phantoms:");
            for (quint32 id : ids)
                name += QStringLiteral(" %1").arg(id, 8, 16, QLatin1Char('0'));
            QTest::newRow(qPrintable(name)) << ids << true;
        }
    }

    void closeIdsBehindAPhantom()
    {
        QFETCH(QList<quint32>, ids);
        QFETCH(bool, phantoms);
        for (bool fast : {false, true}) {
            QList<VirtualQuorix> line = virtualLine(ids);
            for (VirtualQuorix &v : line)
                v.makesPhantoms = phantoms;
            LineHost host(line);
            host.session.fastSearch = fast;
            QVERIFY(host.search(200'000));
            QCOMPARE(host.tables, 1);
            compareRecords(host.session.VControllers, line);
            QVERIFY(host.sentWith(DISCOVERY_COMMAND).size() < 2000);
        }
    }

    void phantomsAreLogged()
    {
        QList<VirtualQuorix> line = virtualLine({0x122D7880, 0x122D7881});
        line[0].makesPhantoms = true;
        LineHost host(line);
        QLoggingCategory::setFilterRules(QStringLiteral("glintwork.rdm.warning=true"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^mute of 122D7800 given up after 3 .*phantom")));
        const bool ended = host.search(200'000);
        QLoggingCategory::setFilterRules(QString());
        QVERIFY(ended);
        QVERIFY(host.session.unacknowledged().contains(0x122D7800));
        QCOMPARE(host.session.VControllers.size(), 2);
    }

    // Whatever some controllers do wrong, the search ends, lists each of the others once and
    // lists nothing twice.
    void misbehavingControllers_data()
    {
        QTest::addColumn<QStringList>("misbehaviours"); // of the first controllers, in order
        for (const QString &name : misbehaviourNames())
            QTest::newRow(qPrintable(name)) << QStringList{name};
        QTest::newRow("two never mute") << QStringList{QStringLiteral("never-mutes"), QStringLiteral("never-mutes")};
        QTest::newRow("bad checksum and cut short")
            << QStringList{QStringLiteral("bad-checksum"), QStringLiteral("cut-short")};
        QTest::newRow("late and phantoms") << QStringList{QStringLiteral("late"), QStringLiteral("phantoms")};
        QTest::newRow("one of each") << misbehaviourNames();
    }

    void misbehavingControllers()
    {
        QFETCH(QStringList, misbehaviours);
        // Neighbours of the misbehaving ones, and controllers far off.
        const QList<quint32> ids{0x00000100, 0x00000101, 0x00000102, 0x00000103, 0x00000104,
                                 0x00000105, 0x00000106, 0x80000000, 0x122D7880, 0x122D7881};
        // Busy: every reply timer is handled 10 ms late, so every wait counts as cut short.
        for (auto [fast, busy] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
            QList<VirtualQuorix> line = virtualLine(ids);
            for (qsizetype i = 0; i < misbehaviours.size(); ++i)
                misbehave(line, i, *misbehaviourNamed(misbehaviours[i]));
            LineHost host(line);
            host.session.fastSearch = fast;
            if (busy)
                host.tickLateUsOf = [](qsizetype) { return 10000; };
            QVERIFY2(host.search(200'000), "the search did not end");
            QVERIFY(host.sentWith(DISCOVERY_COMMAND).size() < 20'000);

            QList<quint32> listed, good, all;
            for (const TQuorixCtrl &c : std::as_const(host.session.VControllers))
                listed << c.deviceId();
            for (const VirtualQuorix &v : std::as_const(line))
                all << v.rec.deviceId();
            for (qsizetype i = misbehaviours.size(); i < line.size(); ++i)
                if (all.count(line[i].rec.deviceId()) == 1)
                    good << line[i].rec.deviceId();
            for (quint32 id : std::as_const(listed)) {
                QCOMPARE(listed.count(id), 1);
                QVERIFY2(all.contains(id), qPrintable(QString::number(id, 16)));
            }
            for (quint32 id : std::as_const(good))
                QVERIFY2(listed.contains(id), qPrintable(QString::number(id, 16)));
        }
    }

    void permanentCollisionsStayAboveTheSingleIdRow()
    {
        LineHost host(virtualLine({0x55}));
        host.discoveryAnswer = [](const QByteArray &) { return QByteArray(24, char(0x5A)); };
        QVERIFY(host.search(200'000));
        QCOMPARE(host.emptyEnds, 1); // three passes, each cut short
        int deepest = 0;
        for (const QByteArray &m : host.sentWith(DISCOVERY_COMMAND)) {
            if (pidOf(m) != PID_DISC_UNIQUE_BRANCH)
                continue;
            const TBinaryBounds b = boundsOf(m);
            QVERIFY2(b.lower <= b.upper, "a range below a single ID");
            if (b.lower == b.upper)
                ++deepest;
        }
        QVERIFY(deepest > 0);
        QCOMPARE(host.deepestRow, ROW_SINGLE_ID);
    }

    void shortReceptionsInDiscovery()
    {
        // A 1-byte reception is not a reply; 2 bytes already count as a collision.
        for (int size : {1, 2, 23}) {
            LineHost host(virtualLine({9}));
            int answered = 0;
            host.discoveryAnswer = [&](const QByteArray &m) {
                return answered++ == 0 ? QByteArray(size, char(0xFE)) : host.line.handle(m);
            };
            QVERIFY(host.search());
            QList<TBinaryBounds> asked;
            for (const QByteArray &m : host.sentWith(DISCOVERY_COMMAND))
                if (pidOf(m) == PID_DISC_UNIQUE_BRANCH)
                    asked << boundsOf(m);
            QCOMPARE(asked[0], FindBounds(1, 1));
            // After the short reception: a collision leads to the left half; silence ends the pass
            // and the next pass asks the whole range again.
            QCOMPARE(asked[1], size == 1 ? FindBounds(1, 1) : FindBounds(2, 1));
            QCOMPARE(host.session.emptyPasses(), size == 1 ? 1 : 0);
            QCOMPARE(host.session.VControllers.size(), 1);
        }
    }

    void repliesAreReadOnlyWithinTheirBounds()
    {
        LineHost host(virtualLine({0x42}));
        QVERIFY(host.search());
        TQuorixCtrl &rec = host.session.VControllers[0];
        rec.LBL.fill('x');
        const TQuorixCtrl before = rec;

        // Every handler, every data length up to past its layout, pdl claiming 255: no read past
        // the end (the sanitizer watches), and nothing stored from data shorter than its layout.
        for (quint16 pid : {PID_DEVICE_INFO, PID_SENSOR_VALUE, PID_REMOTE_MODE, PID_GAMMA, PID_DISC_MUTE}) {
            for (int len = 0; len <= 20; ++len) {
                if ((pid == PID_DEVICE_INFO && len >= DEVICE_INFO_PDL) || (pid == PID_SENSOR_VALUE && len >= SENSOR_VALUE_PDL)
                    || ((pid == PID_REMOTE_MODE || pid == PID_GAMMA) && len >= 1))
                    continue;
                const QByteArray m = reply(0x42, pid, QByteArray(len, '\x07'), RESPONSE_TYPE_ACK, 255);
                host.session.bytesReceived(m);
                host.session.gapTimeout();
                host.session.bytesReceived(m.left(m.size() - 1)); // one byte never came
                host.session.gapTimeout();
            }
        }
        for (quint16 pid : {PID_DEVICE_INFO, PID_GAMMA, PID_DEVICE_LABEL}) {
            const QByteArray whole = reply(0x42, pid, QByteArray(DEVICE_INFO_PDL, '\x09'));
            host.session.bytesReceived(whole.left(whole.size() - 2)); // the checksum never came
            host.session.gapTimeout();
        }
        QCOMPARE(host.session.VControllers.size(), 1); // a stray mute reply adds nobody
        QCOMPARE(rec.SVID, before.SVID);
        QCOMPARE(rec.TMP, before.TMP);
        QCOMPARE(rec.RM, before.RM);
        QCOMPARE(rec.Gamma, before.Gamma);
        QCOMPARE(rec.LBL, before.LBL);
    }

    void replyHandlers()
    {
        LineHost host(virtualLine({0x42, 0x43}));
        QVERIFY(host.search());
        RdmSession &s = host.session;
        TQuorixCtrl &rec = s.VControllers[0];
        QCOMPARE(rec.deviceId(), 0x42u);
        const TQuorixCtrl other = s.VControllers[1];

        DeviceInfoData info;
        info.model = {0x00, 0x02};
        info.software = {9, 9, 9, 9};
        s.bytesReceived(reply(0x42, PID_DEVICE_INFO, writeDeviceInfo(info)));
        QVERIFY(rec.SVID != info.software); // another model: ignored
        info.model = {0x00, 0x01};
        info.software = {0x02, 0x01, 0x05, 0x00};
        info.personality = {0x02, 0x03};
        info.startAddress = {0x01, 0x2C};
        s.bytesReceived(reply(0x42, PID_DEVICE_INFO, writeDeviceInfo(info)));
        QCOMPARE(rec.SVID, info.software);
        QCOMPARE(rec.PERS, info.personality);
        QCOMPARE(rec.STA, info.startAddress);

        SensorValueData sensor;
        sensor.present = {0xFF, 0x9C};
        s.bytesReceived(reply(0x42, PID_SENSOR_VALUE, writeSensorValue(sensor)));
        QCOMPARE(rec.TMP, sensor.present);

        s.bytesReceived(reply(0x42, PID_GAMMA, QByteArray(1, char(25))));
        QCOMPARE(rec.Gamma, quint8(25));
        s.bytesReceived(reply(0x42, PID_GAMMA, QByteArray::fromHex("0006"), RESPONSE_TYPE_NACK_REASON));
        QCOMPARE(rec.Gamma, quint8(25)); // a refusal carries a reason, not a value

        rec.LBL.fill('x');
        s.bytesReceived(reply(0x42, PID_DEVICE_LABEL, QByteArray("Front truss ")));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(rec.LBL.data()), 32),
                 QByteArray("Front truss ") + QByteArray(20, 'x'));
        s.bytesReceived(reply(0x42, PID_DEVICE_LABEL, QByteArray(40, 'L')));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(rec.LBL.data()), 32), QByteArray(32, 'L'));

        s.bytesReceived(reply(0x99, PID_GAMMA, QByteArray(1, char(11)))); // nobody's
        QCOMPARE(s.VControllers[1].Gamma, other.Gamma);
        QCOMPARE(s.VControllers[1].LBL, other.LBL);
    }
};

QTEST_APPLESS_MAIN(TestRdmSession)
#include "tst_rdm_session.moc"
