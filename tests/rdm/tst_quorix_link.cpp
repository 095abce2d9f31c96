// The USB link on a recording port: what reaches the port, in what order. A pseudo-terminal takes
// every write at once, so only a port that records can show that each message is drained before
// the line is changed (a break, a new setting, a close), that every open applies the setting for
// its purpose, and which values reach the record when the port fails part-way.

#include "hex_fixture.h"
#include "rdm/quorix_link.h"
#include "rdm/quorix_texts.h"
#include "rdm/rdm_params.h"
#include "rdm_test_records.h"

#include "sim/rdm/rdm_line_sim.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using rdm::boot::BootloaderExchange;
using rdm::LineSetting;

namespace {

class RecordingPort : public rdm::SerialPortIo {
public:
    struct Event {
        enum Kind { Open, Close, BreakOn, BreakOff, Write, Drain } kind;
        LineSetting setting = LineSetting::RdmLink; // Open
        QByteArray bytes;                           // Write
        Event(Kind k, LineSetting s = LineSetting::RdmLink, QByteArray b = {})
            : kind(k), setting(s), bytes(std::move(b)) {}
    };
    QList<Event> events;
    bool openFails = false;
    int writesLeft = -1; // -1: every write succeeds
    // What the controller answers to a write, by its first byte.
    std::function<QByteArray(const QByteArray &)> answer;

    void setPortName(const QString &) override {}
    bool open(LineSetting setting) override
    {
        if (openFails)
            return false;
        m_open = true;
        events.append(Event{Event::Open, setting, {}});
        return true;
    }
    void close() override
    {
        m_open = false;
        events.append(Event{Event::Close});
    }
    bool isOpen() const override { return m_open; }
    void setBreak(bool on) override { events.append(Event{on ? Event::BreakOn : Event::BreakOff}); }
    bool write(const QByteArray &bytes) override
    {
        if (writesLeft == 0)
            return false;
        if (writesLeft > 0)
            --writesLeft;
        events.append(Event{Event::Write, {}, bytes});
        if (answer) {
            const QByteArray reply = answer(bytes);
            if (!reply.isEmpty()) {
                m_in += reply;
                // Delivered from the event loop, as a real port does.
                QMetaObject::invokeMethod(this, &SerialPortIo::readyRead, Qt::QueuedConnection);
            }
        }
        return true;
    }
    bool drain() override
    {
        events.append(Event{Event::Drain});
        return true;
    }
    QByteArray readAll() override { return std::exchange(m_in, {}); }
    // Bytes that have reached the port but are not announced yet: a busy machine has not come
    // round to them. pollInput takes them in.
    QByteArray held;
    void pollInput() override
    {
        if (held.isEmpty())
            return;
        m_in += std::exchange(held, {});
        emit readyRead();
    }
    QSerialPort::SerialPortError error() const override { return QSerialPort::NoError; }
    QString errorString() const override { return QStringLiteral("Input/output error"); }
    void clearError() override {}

    // Every write drained before the next break, open, close or write; every frame written on a
    // line opened with `frames`' setting. Returns what is wrong, or an empty text.
    QString disciplineFault() const
    {
        bool undrained = false;
        LineSetting setting = LineSetting::RdmLink;
        bool opened = false;
        for (int i = 0; i < events.size(); ++i) {
            const Event &e = events[i];
            if (e.kind == Event::Drain) {
                undrained = false;
                continue;
            }
            if (undrained)
                return QStringLiteral("event %1 follows a write that was not drained").arg(i);
            switch (e.kind) {
            case Event::Open:
                opened = true;
                setting = e.setting;
                break;
            case Event::Close: opened = false; break;
            case Event::Write: {
                if (!opened)
                    return QStringLiteral("write %1 on a closed port").arg(i);
                const bool rdmFrame = quint8(e.bytes[0]) == rdm::RDM_SC && e.bytes.size() >= 26;
                if (rdmFrame != (setting == LineSetting::RdmLink))
                    return QStringLiteral("write %1 went out with the wrong line setting").arg(i);
                undrained = true;
                break;
            }
            default: break;
            }
        }
        return undrained ? QStringLiteral("the last write was not drained") : QString();
    }
    QList<quint16> pidsWritten() const
    {
        QList<quint16> pids;
        for (const Event &e : events)
            if (e.kind == Event::Write && e.bytes.size() >= 26 && quint8(e.bytes[0]) == rdm::RDM_SC)
                pids << pidOf(e.bytes);
        return pids;
    }

private:
    bool m_open = false;
    QByteArray m_in;
};

TQuorixCtrl controllerWith(quint32 id)
{
    TQuorixCtrl c;
    c.setDeviceId(id);
    c.PERS = {1, 3};
    c.STA = {0, 1};
    c.Gamma = 22;
    c.RM = 1;
    return c;
}

// A bootloader that answers the key with "C" and every block with ACK.
QByteArray willingBootloader(const QByteArray &written)
{
    if (written.size() == 1 && quint8(written[0]) == rdm::boot::CONNECT_KEY)
        return QByteArray(1, char(rdm::boot::CRC_MODE));
    if (written.size() == rdm::boot::BLOCK_SIZE)
        return QByteArray(1, char(rdm::boot::ACK));
    return {};
}

} // namespace

class TestQuorixLink : public QObject {
    Q_OBJECT
private slots:
    // The controller dialog's OK, and set messages after a completed firmware update: every
    // message drained before the line changes, and sent with the RDM setting.
    void everyWriteIsDrainedBeforeTheLineChanges()
    {
        auto *port = new RecordingPort;
        QuorixLink link(port);
        link.VControllers << controllerWith(0x1234);
        const rdm::QuorixEdits shown = rdm::editsOf(link.VControllers[0]);
        const rdm::QuorixEdits edited{3, QStringLiteral("Front truss"), 100, 27};

        QVERIFY(link.applyEdits(0, shown, edited).notSent.isEmpty());
        QCOMPARE(port->pidsWritten(), (QList<quint16>{rdm::PID_DEVICE_LABEL, rdm::PID_DMX_PERSONALITY,
                                                      rdm::PID_DMX_START_ADDRESS, rdm::PID_GAMMA}));
        QVERIFY2(port->disciplineFault().isEmpty(), qPrintable(port->disciplineFault()));
        QCOMPARE(rdm::editsOf(link.VControllers[0]), edited);
        QVERIFY(!link.isOpen());

        port->events.clear();
        port->answer = willingBootloader;
        QSignalSpy finished(&link, &QuorixLink::firmwareFinished);
        QVERIFY(link.startFirmwareUpdate(0, hexfixture::pattern(300)).ok());
        QVERIFY(finished.wait(5000));
        QCOMPARE(link.bootloader().state(), BootloaderExchange::State::Complete);
        QVERIFY(!link.isOpen());
        QCOMPARE(port->events.last().kind, RecordingPort::Event::Close);
        QByteArray lastWrite;
        for (const RecordingPort::Event &e : port->events)
            if (e.kind == RecordingPort::Event::Write)
                lastWrite = e.bytes;
        QCOMPARE(lastWrite, QByteArray(1, char(rdm::boot::EOT)));
        QVERIFY2(port->disciplineFault().isEmpty(), qPrintable(port->disciplineFault()));

        // The next set message goes out at 250000 8N2, not with the bootloader's setting.
        port->events.clear();
        QVERIFY(link.DeviceGammaSet(0, 15).ok());
        QCOMPARE(port->events.first().kind, RecordingPort::Event::Open);
        QCOMPARE(port->events.first().setting, LineSetting::RdmLink);
        QCOMPARE(port->pidsWritten(), QList<quint16>{rdm::PID_GAMMA});
        QVERIFY2(port->disciplineFault().isEmpty(), qPrintable(port->disciplineFault()));
        QCOMPARE(link.VControllers[0].Gamma, quint8(15));
    }

    // A value is stored when its message has gone out; the operator learns which did not.
    void onlyWhatWentOutIsStored_data()
    {
        QTest::addColumn<bool>("openFails");
        QTest::addColumn<int>("writes");
        QTest::addColumn<QStringList>("notSent");
        QTest::newRow("port fails after the label") << false << 1 << QStringList{"Mode", "DMX Start Address", "Gamma"};
        QTest::newRow("port does not open")
            << true << -1 << QStringList{"Nickname", "Mode", "DMX Start Address", "Gamma"};
    }
    void onlyWhatWentOutIsStored()
    {
        QFETCH(bool, openFails);
        QFETCH(int, writes);
        QFETCH(QStringList, notSent);
        auto *port = new RecordingPort;
        port->openFails = openFails;
        port->writesLeft = writes;
        QuorixLink link(port);
        link.VControllers << controllerWith(0x1234);
        const TQuorixCtrl before = link.VControllers[0];
        const rdm::QuorixEdits shown = rdm::editsOf(before);
        const rdm::QuorixEdits edited{3, QStringLiteral("Front truss"), 100, 27};

        const QuorixLink::EditOutcome outcome = link.applyEdits(0, shown, edited);
        QCOMPARE(outcome.notSent, notSent);
        QVERIFY(!outcome.reason.text.isEmpty());
        QVERIFY(!outcome.reason.reason.isEmpty()); // the port's own words
        const rdm::QuorixEdits stored = rdm::editsOf(link.VControllers[0]);
        QCOMPARE(stored.nickname, notSent.contains("Nickname") ? shown.nickname : edited.nickname);
        QCOMPARE(stored.personality, shown.personality);
        QCOMPARE(stored.startAddress, shown.startAddress);
        QCOMPARE(stored.gammaTenths, shown.gammaTenths);
        QVERIFY(!link.isOpen());
    }

    // A gamma the controller never reported (0 in the record) is not written back by an OK
    // that left it as the dialog showed it.
    void unreadGammaIsNotWrittenBack()
    {
        auto *port = new RecordingPort;
        QuorixLink link(port);
        TQuorixCtrl c = controllerWith(0x1234);
        c.Gamma = 0;
        link.VControllers << c;
        rdm::QuorixEdits shown = rdm::editsOf(c);
        shown.gammaTenths = 10; // what the track bar shows for 0
        QVERIFY(link.applyEdits(0, shown, shown).notSent.isEmpty());
        QVERIFY(port->events.isEmpty());
        QCOMPARE(link.VControllers[0].Gamma, quint8(0));
    }

    // A read-back after the dialog's OK asks with the gets of what was set and nothing else, on
    // the RDM link, drained, and the line is closed at its end.
    void readBackAsksOnlyForWhatWasSet_data()
    {
        QTest::addColumn<rdm::QuorixEdits>("edited");
        QTest::addColumn<QList<quint16>>("gets");
        const rdm::QuorixEdits was = rdm::editsOf(makeVirtualQuorix(0x1234, 0).rec);
        rdm::QuorixEdits e = was;
        e.nickname = QStringLiteral("Front truss");
        QTest::newRow("nickname") << e << QList<quint16>{rdm::PID_DEVICE_LABEL};
        e = was;
        e.startAddress = 300;
        QTest::newRow("start address") << e << QList<quint16>{rdm::PID_DEVICE_INFO};
        e.personality = 2;
        QTest::newRow("mode and start address: one get") << e << QList<quint16>{rdm::PID_DEVICE_INFO};
        e = was;
        e.gammaTenths = 27;
        QTest::newRow("gamma") << e << QList<quint16>{rdm::PID_GAMMA};
        e = {3, QStringLiteral("Front truss"), 100, 27};
        QTest::newRow("everything") << e
                                    << QList<quint16>{rdm::PID_DEVICE_LABEL, rdm::PID_DEVICE_INFO, rdm::PID_GAMMA};
    }
    void readBackAsksOnlyForWhatWasSet()
    {
        QFETCH(rdm::QuorixEdits, edited);
        QFETCH(QList<quint16>, gets);
        VirtualQuorixLine line({makeVirtualQuorix(0x1234, 0)});
        auto *port = new RecordingPort;
        port->answer = [&line](const QByteArray &written) { return line.handle(written); };
        QuorixLink link(port);
        link.VControllers << line.controllers[0].rec;
        const rdm::QuorixEdits shown = rdm::editsOf(link.VControllers[0]);
        QVERIFY(link.applyEdits(0, shown, edited).notSent.isEmpty());
        port->events.clear();

        QSignalSpy finished(&link, &QuorixLink::readBackFinished);
        QVERIFY(link.readBack(0, shown, edited).ok());
        QVERIFY(finished.wait(5000));
        QCOMPARE(port->pidsWritten(), gets);
        for (const RecordingPort::Event &e : std::as_const(port->events))
            if (e.kind == RecordingPort::Event::Write)
                QCOMPARE(quint8(e.bytes[20]), quint8(rdm::GET_COMMAND));
        QVERIFY2(port->disciplineFault().isEmpty(), qPrintable(port->disciplineFault()));
        QCOMPARE(port->events.first().setting, LineSetting::RdmLink);
        QVERIFY(!link.isOpen());
        const auto report = finished.first().first().value<rdm::ReadBackReport>();
        QVERIFY(report.verified());
        QCOMPARE(report.reported, edited);
        QCOMPARE(finished.size(), 1);
    }

    // What a controller did not take is told field by field: as sent, not as sent, no answer.
    void readBackTellsWhatWasNotTaken_data()
    {
        using State = rdm::ReadBackField::State;
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QList<State>>("states"); // nickname, mode, start address, gamma
        QTest::addColumn<int>("getsSent");
        QTest::newRow("keeps its old nickname")
            << "drops-label" << QList<State>{State::Differs, State::AsSent, State::AsSent, State::AsSent} << 3;
        QTest::newRow("answers no get after the sets")
            << "silent" << QList<State>(4, State::NoAnswer) << 3 * QuorixLink::ReadBackTries;
        QTest::newRow("refuses the gets")
            << "refuses" << QList<State>(4, State::Refused) << 3;
        // The simulator's own misbehaviours, by the names its options take.
        QTest::newRow("acknowledges the nickname, keeps the old one")
            << "ignores-nickname" << QList<State>{State::Differs, State::AsSent, State::AsSent, State::AsSent} << 3;
        QTest::newRow("silent after the first set")
            << "silent-after-set" << QList<State>(4, State::NoAnswer) << 3 * QuorixLink::ReadBackTries;
    }
    void readBackTellsWhatWasNotTaken()
    {
        QFETCH(QString, fault);
        QFETCH(QList<rdm::ReadBackField::State>, states);
        QFETCH(int, getsSent);
        VirtualQuorixLine line({makeVirtualQuorix(0x1234, 0)});
        if (const std::optional<Misbehaviour> named = misbehaviourNamed(fault))
            misbehave(line.controllers, 0, *named);
        auto *port = new RecordingPort;
        port->answer = [&](const QByteArray &written) -> QByteArray {
            const auto request = rdm::parseRdmHeader(written);
            if (fault == "drops-label" && request->cc == rdm::SET_COMMAND && request->pid == rdm::PID_DEVICE_LABEL)
                return {};
            if (fault == "refuses" && request->cc == rdm::GET_COMMAND)
                return rdm::buildReply(*request, rdm::makerUid(0x1234), rdm::RESPONSE_TYPE_NACK_REASON,
                                       QByteArray(2, '\0'));
            return line.handle(written);
        };
        QuorixLink link(port);
        link.VControllers << line.controllers[0].rec;
        const rdm::QuorixEdits shown = rdm::editsOf(link.VControllers[0]);
        const rdm::QuorixEdits edited{3, QStringLiteral("Front truss"), 100, 27};
        QVERIFY(link.applyEdits(0, shown, edited).notSent.isEmpty());
        line.controllers[0].ignoresGets = fault == "silent";
        port->events.clear();
        link.Session.timings.parameterTimeoutMs = 20;

        QSignalSpy finished(&link, &QuorixLink::readBackFinished);
        QVERIFY(link.readBack(0, shown, edited).ok());
        QVERIFY(finished.wait(5000));
        const auto report = finished.first().first().value<rdm::ReadBackReport>();
        QList<rdm::ReadBackField::State> got;
        for (const rdm::ReadBackField &f : report.fields)
            got << f.state;
        QCOMPARE(got, states);
        QVERIFY(!report.verified());
        QCOMPARE(report.answered(), !fault.startsWith("silent"));
        QCOMPARE(report.sent, edited);
        if (fault == "drops-label" || fault == "ignores-nickname") {
            QCOMPARE(report.reported.nickname, shown.nickname);
            QCOMPARE(rdm::labelShown(line.controllers[0].rec.LBL), shown.nickname);
        }
        // Hung after taking the label: nothing after it reached the controller.
        if (fault == "silent-after-set") {
            QCOMPARE(rdm::labelShown(line.controllers[0].rec.LBL), edited.nickname);
            QCOMPARE(line.controllers[0].rec.Gamma, makeVirtualQuorix(0x1234, 0).rec.Gamma);
        }
        QCOMPARE(port->pidsWritten().size(), getsSent);
        QVERIFY2(port->disciplineFault().isEmpty(), qPrintable(port->disciplineFault()));
        QVERIFY(!link.isOpen());
    }

    // Ticks and bytes go to the bootloader while it runs: no RDM request lands in its handshake.
    void theBootloaderHasTheLineToItself()
    {
        auto *port = new RecordingPort;
        QuorixLink link(port);
        link.VControllers << controllerWith(0x1234);
        QVERIFY(link.startFirmwareUpdate(0, hexfixture::pattern(128)).ok());
        // The enter-bootloader message went out drained; the key waits for the first tick.
        QCOMPARE(port->events.last().kind, RecordingPort::Event::Open);
        QCOMPARE(port->events.last().setting, LineSetting::BootloaderLink);
        const auto writesOnBootLink = [port] {
            QList<QByteArray> afterOpen;
            bool bootLink = false;
            for (const RecordingPort::Event &e : port->events) {
                if (e.kind == RecordingPort::Event::Open)
                    bootLink = e.setting == LineSetting::BootloaderLink;
                else if (bootLink && e.kind == RecordingPort::Event::Write)
                    afterOpen << e.bytes;
            }
            return afterOpen;
        };
        QTRY_VERIFY_WITH_TIMEOUT(writesOnBootLink().size() >= 3, 5000); // a few key intervals without an answer
        const QList<QByteArray> afterOpen = writesOnBootLink();
        for (const QByteArray &w : afterOpen)
            QCOMPARE(w, QByteArray(1, char(rdm::boot::CONNECT_KEY)));
        QVERIFY2(port->disciplineFault().isEmpty(), qPrintable(port->disciplineFault()));
        link.cancelFirmwareUpdate();
        QCOMPARE(port->events.last().kind, RecordingPort::Event::Open);
        QCOMPARE(port->events.last().setting, LineSetting::RdmLink);
    }

    // A discovery reply pauses half-way for longer than the reply timer (an adapter's latency
    // timer); its rest has reached the port but is not announced when the inter-byte time-out is
    // due. The rest is taken first: the reply is read whole and its controller muted, not taken
    // for a collision.
    void restOfAReplyWaitingWhenTheSilenceIsDue()
    {
        auto *port = new RecordingPort;
        QuorixLink link(port);
        const QByteArray reply = rdm::encodeDiscoveryReply(rdm::makerUid(0x4242));
        bool answered = false;
        port->answer = [&](const QByteArray &written) {
            if (pidOf(written) != rdm::PID_DISC_UNIQUE_BRANCH || std::exchange(answered, true))
                return QByteArray();
            // The rest arrives after the reply timer's tick, before the inter-byte time-out.
            QTimer::singleShot(RdmSession::DiscoveryIntervalMs + 10, port, [&] { port->held = reply.mid(10); });
            return reply.left(10);
        };
        QVERIFY(link.startSearch().ok());
        QTRY_VERIFY_WITH_TIMEOUT(port->pidsWritten().count(rdm::PID_DISC_UNIQUE_BRANCH) >= 2
                                     || port->pidsWritten().contains(rdm::PID_DISC_MUTE),
                                 5000);
        QList<QByteArray> writes;
        for (const RecordingPort::Event &e : port->events)
            if (e.kind == RecordingPort::Event::Write)
                writes << e.bytes;
        const QByteArray afterDiscovery = writes.value(3);
        QCOMPARE(pidOf(afterDiscovery), quint16(rdm::PID_DISC_MUTE));
        QCOMPARE(destId(afterDiscovery), 0x4242u);
    }

    // The low-latency flag on a real port (a pseudo-terminal): set by open where it is off and can
    // be set, put back by close, left alone otherwise; the log says which.
    void lowLatencyIsAskedForAndPutBack_data()
    {
        QTest::addColumn<int>("was");      // -1: the port has no flag
        QTest::addColumn<bool>("setWorks");
        QTest::addColumn<QList<bool>>("sets"); // what was set, open and close
        QTest::addColumn<QString>("log");
        QTest::newRow("off: set, put back") << 0 << true << QList<bool>{true, false}
                                            << "set to low-latency mode (was off; restored on close)";
        QTest::newRow("already on: left alone") << 1 << true << QList<bool>{} << "already in low-latency mode";
        QTest::newRow("refused: nothing to put back") << 0 << false << QList<bool>{true}
                                                      << "low-latency mode not set: the driver refused it";
        QTest::newRow("no flag") << -1 << true << QList<bool>{}
                                 << "has no low-latency flag; the adapter keeps its own latency";
    }

    void lowLatencyIsAskedForAndPutBack()
    {
        QFETCH(int, was);
        QFETCH(bool, setWorks);
        QFETCH(QList<bool>, sets);
        QFETCH(QString, log);
        RdmLineSim line({});
        QString error;
        QVERIFY2(line.start(&error), qPrintable(error));
        QList<bool> setCalls;
        rdm::QtSerialPortIo io;
        io.setLowLatencyFlag({[&](qintptr) -> std::optional<bool> {
                                  if (was < 0)
                                      return std::nullopt;
                                  return was == 1;
                              },
                              [&](qintptr, bool on) {
                                  setCalls << on;
                                  return setWorks;
                              }});
        io.setPortName(line.slavePath());
        QLoggingCategory::setFilterRules(QStringLiteral("glintwork.rdm.debug=true"));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("serial port %1 %2").arg(io.port()->portName(), log)));
        QVERIFY(io.open(LineSetting::RdmLink));
        io.close();
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(setCalls, sets);
    }

    // The system's flag on a pseudo-terminal: not there, and the port works all the same.
    void ptyHasNoLowLatencyFlag()
    {
        RdmLineSim line({});
        QString error;
        QVERIFY2(line.start(&error), qPrintable(error));
        rdm::QtSerialPortIo io;
        io.setPortName(line.slavePath());
        QVERIFY(io.open(LineSetting::RdmLink));
        QCOMPARE(rdm::systemLowLatencyFlag().get(qintptr(io.port()->handle())), std::nullopt);
        QVERIFY(io.write("x") && io.drain());
        io.close();
    }
};

QTEST_GUILESS_MAIN(TestQuorixLink)
#include "tst_quorix_link.moc"
