// Reading a controller back after a restore: the same discovery request as a Search, up to three
// tries, the controller known by its MAC; and what the result list says.

#include "net/orvantic.h"
#include "settings/read_back.h"
#include "workflow_test_util.h"

#include <QSignalSpy>
#include <QTest>

using namespace settings;

namespace {

const QString Model = QStringLiteral("Tessara 16");

// What a controller answers to the n-th discovery request (0-based); empty: no answer.
using Answer = std::function<QList<TTessaraCtrl>(int request)>;

struct Run {
    QList<std::pair<QByteArray, QString>> sent;
    RestoreResult result;
};

Run readBack(const TTessaraCtrl &sent, const Answer &answer)
{
    Run run;
    NetworkReadBack *self = nullptr;
    NetworkReadBack rb([&](const QByteArray &datagram, const QString &host) {
        const int n = int(run.sent.size());
        run.sent.append({datagram, host});
        for (const TTessaraCtrl &c : answer(n))
            self->datagramReceived(net::orvantic::buildPollReply(c, Model));
    });
    self = &rb;
    rb.setTiming(0, 30);
    QSignalSpy done(&rb, &NetworkReadBack::finished);
    rb.start(sent, Model, QStringLiteral("Stage left"));
    if (!done.wait(2000))
        qWarning("read-back did not finish");
    else
        run.result = done.first().first().value<RestoreResult>();
    return run;
}

} // namespace

class TestReadBack : public QObject {
    Q_OBJECT
private slots:
    void outcomes_data();
    void outcomes();
    void resultList();
    void usbResults();
};

void TestReadBack::outcomes_data()
{
    QTest::addColumn<int>("firstAsSent"); // request that first brings a reply as sent; -1: never
    QTest::addColumn<bool>("answers");    // whether the controller answers at all
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("requests");

    QTest::newRow("took it at once") << 0 << true << int(Outcome::Verified) << 1;
    QTest::newRow("old settings until it restarted") << 2 << true << int(Outcome::Verified) << 3;
    QTest::newRow("kept its old value") << -1 << true << int(Outcome::Differs) << 3;
    QTest::newRow("silent") << -1 << false << int(Outcome::NoAnswer) << 3;
}

void TestReadBack::outcomes()
{
    QFETCH(int, firstAsSent);
    QFETCH(bool, answers);
    QFETCH(int, outcome);
    QFETCH(int, requests);

    const TTessaraCtrl before = workflowtest::consistentRecord(QStringLiteral("V1.4.5"));
    TTessaraCtrl sent = before;
    sent.SacnUniv = quint16(before.SacnUniv + 7);
    TTessaraCtrl stranger = sent; // another controller with what was sent: not this one's answer
    stranger.MAC[5] ^= 0xFF;

    const Run run = readBack(sent, [&](int n) -> QList<TTessaraCtrl> {
        if (!answers)
            return {stranger};
        return {stranger, firstAsSent >= 0 && n >= firstAsSent ? sent : before};
    });
    QCOMPARE(int(run.result.outcome), outcome);
    QCOMPARE(run.sent.size(), requests);
    for (const auto &[datagram, host] : run.sent) {
        QCOMPARE(datagram, net::orvantic::discoveryRequest());
        QCOMPARE(host, QStringLiteral("255.255.255.255"));
    }
    if (run.result.outcome == Outcome::Differs) {
        QCOMPARE(run.result.differences.size(), 1);
        const Change &c = run.result.differences.first();
        QCOMPARE(c.field, QStringLiteral("startUniverse"));
        QCOMPARE(c.fromFile, QString::number(sent.SacnUniv));
        QCOMPARE(c.now, QString::number(before.SacnUniv));
    } else {
        QVERIFY(run.result.differences.isEmpty());
    }
}

void TestReadBack::resultList()
{
    const QList<RestoreResult> results{
        {QStringLiteral("Tessara 16 \"Stage left\" 10.77.1.10"), Outcome::Verified, {}, {}},
        {QStringLiteral("Tessara 4 \"Bar top\" 10.77.1.12"), Outcome::Differs,
         {{QStringLiteral("gamma[1]"), QStringLiteral("1"), QStringLiteral("2.2")}}, {}},
        {QStringLiteral("Quorix 16 \"Spare\" 00001003"), Outcome::NotSent, {}, QStringLiteral("port busy")},
    };
    QCOMPARE(resultListText(results),
             QStringLiteral("Tessara 16 \"Stage left\" 10.77.1.10: Verified\n"
                            "Tessara 4 \"Bar top\" 10.77.1.12: Differs\n"
                            "    gamma[1]: sent 2.2, reported 1\n"
                            "Quorix 16 \"Spare\" 00001003: Not sent (port busy)\n"));
}

// A USB read-back as the result list tells it: each field not reported as sent, by its name in
// the file, with what was sent and what came back (or that nothing did).
void TestReadBack::usbResults()
{
    using State = rdm::ReadBackField::State;
    rdm::ReadBackReport report;
    report.sent = {2, QStringLiteral("Front truss"), 100, 27};
    report.reported = report.sent;
    report.fields = {{rdm::LabelStep, State::AsSent}, {rdm::StartAddressStep, State::AsSent}, {rdm::GammaStep, State::AsSent}};
    const QString name = QStringLiteral("Quorix 16 \"Front truss\" 00001234");
    const RestoreResult verified = usbResult(name, report);
    QCOMPARE(verified.outcome, Outcome::Verified);
    QVERIFY(verified.differences.isEmpty());
    QCOMPARE(verified.controller, name);

    report.reported.nickname = QStringLiteral("Stage left 1");
    report.fields[0].state = State::Differs;
    report.fields[1].state = State::Refused;
    report.fields[2].state = State::NoAnswer;
    const RestoreResult differs = usbResult(name, report);
    QCOMPARE(differs.outcome, Outcome::Differs);
    QCOMPARE(differs.differences, (QList<Change>{{QStringLiteral("nickname"), QStringLiteral("Stage left 1"), QStringLiteral("Front truss")},
                                                 {QStringLiteral("startAddress"), QStringLiteral("refused"), QStringLiteral("100")},
                                                 {QStringLiteral("gamma"), QStringLiteral("no answer"), QStringLiteral("2.7")}}));

    for (rdm::ReadBackField &f : report.fields)
        f.state = State::NoAnswer;
    const RestoreResult silent = usbResult(name, report);
    QCOMPARE(silent.outcome, Outcome::NoAnswer);
    QVERIFY(silent.differences.isEmpty());
}

QTEST_GUILESS_MAIN(TestReadBack)
#include "tst_read_back.moc"
