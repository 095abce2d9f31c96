// glintwork-cli on the USB line, end to end: the program is started as a script starts it, its
// port is the slave side of a pseudo-terminal, and virtual controllers answer on the master side.
// Its set messages are compared with those the link sends for the controller dialog's OK.

#include "cli_run.h"
#include "hex_fixture.h"
#include "rdm/quorix_link.h"
#include "rdm/quorix_texts.h"
#include "rdm_test_records.h"
#include "settings/settings_file.h"
#include "sim/rdm/rdm_line_sim.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

using clitest::cli;
using clitest::Run;

// Four controllers: the second in mode 2 (start address up to 490), the fourth without remote mode.
const QList<quint32> Ids{0x1000, 0x1001, 0x1002, 0x1003};

struct Line {
    explicit Line(const QList<quint32> &ids = Ids) : sim(virtualLine(ids)) { started = sim.start(&error); }
    QStringList at(QStringList args) const { return args << QStringLiteral("--port") << sim.slavePath(); }
    RdmLineSim sim;
    QString error;
    bool started = false;
};

QList<QByteArray> setMessages(const RdmLineSim &sim)
{
    QList<QByteArray> sets;
    for (const QByteArray &m : sim.messages())
        if (quint8(m[20]) == rdm::SET_COMMAND)
            sets << m;
    return sets;
}

const VirtualQuorix &controller(const RdmLineSim &sim, quint32 id)
{
    static QList<VirtualQuorix> all;
    all = sim.controllers();
    for (const VirtualQuorix &v : all)
        if (v.rec.deviceId() == id)
            return v;
    qFatal("no virtual controller %x", id);
}

} // namespace

class TestCliUsb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(QFile::exists(QStringLiteral(GLINTWORK_CLI))); }

    // The table as JSON (paced search) and as text (fast search); nothing on standard error when it
    // is not a terminal.
    void searchListsTheLine()
    {
        Line line;
        QVERIFY2(line.started, qPrintable(line.error));
        const Run json = cli(line.at({QStringLiteral("search"), QStringLiteral("--json")}));
        QCOMPARE(json.status, 0);
        QCOMPARE(json.err, QString());
        const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(doc.value(u"format").toString(), QStringLiteral("glintwork-cli"));
        QCOMPARE(doc.value(u"version").toInt(), 1);
        QCOMPARE(doc.value(u"family").toString(), QStringLiteral("usb"));
        const QJsonArray listed = doc.value(u"controllers").toArray();
        QCOMPARE(listed.size(), Ids.size());
        for (const QJsonValue &v : listed) {
            const QJsonObject o = v.toObject();
            const TQuorixCtrl &rec = controller(line.sim, o.value(u"uid").toString().toUInt(nullptr, 16)).rec;
            QCOMPARE(o.value(u"nickname").toString(), rdm::labelShown(rec.LBL));
            QCOMPARE(o.value(u"firmware").toString(), rdm::firmwareText(rec));
            QCOMPARE(o.value(u"remoteMode").toBool(), rec.RM != 0);
            QCOMPARE(o.value(u"temperature").toDouble(), rdm::temperatureCelsius(rec));
            const QJsonObject s = o.value(u"settings").toObject();
            QCOMPARE(s.value(u"mode").toInt(), int(rec.PERS[0]));
            QCOMPARE(s.value(u"startAddress").toInt(), rdm::startAddress(rec));
            QCOMPARE(qRound(s.value(u"gamma").toDouble() * 10), int(rec.Gamma));
        }

        const Run text = cli(line.at({QStringLiteral("search"), QStringLiteral("--fast")}));
        QCOMPARE(text.status, 0);
        QCOMPARE(text.err, QString());
        const QStringList lines = text.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), Ids.size() + 2);
        QVERIFY(lines.first().startsWith(QStringLiteral("Model")));
        for (quint32 id : Ids)
            QVERIFY(text.out.contains(QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')).toUpper()));
        QCOMPARE(lines.last(), QStringLiteral("Found 4 Device(s)"));
    }

    // What `set` sends equals what the link sends for the dialog's OK with the same values, in the
    // same order; the controller then holds them, and the read-back says so.
    void setSendsWhatTheDialogSends_data()
    {
        QTest::addColumn<quint32>("id");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("sets");
        QTest::newRow("gamma") << 0x1000u << QStringList{QStringLiteral("gamma=2.2")} << 1;
        QTest::newRow("all four, start address at mode 3's limit")
            << 0x1001u
            << QStringList{QStringLiteral("startAddress=512"), QStringLiteral("mode=3"),
                           QStringLiteral("nickname=Truss 7"), QStringLiteral("gamma=3.0")}
            << 4;
        QTest::newRow("without remote mode, gamma goes out") << 0x1003u << QStringList{QStringLiteral("gamma=1.5")} << 1;
        QTest::newRow("the values it has: nothing to send")
            << 0x1002u << QStringList{QStringLiteral("nickname=Stage left 3"), QStringLiteral("mode=3")} << 0;
    }
    void setSendsWhatTheDialogSends()
    {
        QFETCH(quint32, id);
        QFETCH(QStringList, fields);
        QFETCH(int, sets);
        const QString target = QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0'));

        Line byCli;
        QVERIFY2(byCli.started, qPrintable(byCli.error));
        const Run run = cli(byCli.at(QStringList{QStringLiteral("set"), target, QStringLiteral("--fast")} + fields));
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(sets ? QStringLiteral("Verified") : QStringLiteral("nothing to change")),
                 qPrintable(run.out + run.err));

        // The dialog's path: the same line searched by the link, then OK with the same values.
        Line byLink;
        QVERIFY2(byLink.started, qPrintable(byLink.error));
        QuorixLink link;
        link.setPortName(byLink.sim.slavePath());
        link.setFastSearch(true);
        QSignalSpy ended(&link, &QuorixLink::searchEnded);
        QVERIFY(link.startSearch());
        QVERIFY(ended.wait(60000));
        const int row = int(std::find_if(link.VControllers.begin(), link.VControllers.end(),
                                         [&](const TQuorixCtrl &c) { return c.deviceId() == id; })
                            - link.VControllers.begin());
        QVERIFY(row < link.VControllers.size());
        const rdm::QuorixEdits shown = rdm::editsOf(link.VControllers[row]);
        rdm::QuorixEdits edited = shown;
        for (const QString &f : fields) {
            const QString value = f.section(QLatin1Char('='), 1);
            if (f.startsWith(QStringLiteral("gamma=")))
                edited.gammaTenths = qRound(value.toDouble() * 10);
            else if (f.startsWith(QStringLiteral("mode=")))
                edited.personality = value.toInt();
            else if (f.startsWith(QStringLiteral("startAddress=")))
                edited.startAddress = value.toInt();
            else
                edited.nickname = value;
        }
        QVERIFY(link.applyEdits(row, shown, edited).notSent.isEmpty());

        const QList<QByteArray> cliSets = setMessages(byCli.sim), linkSets = setMessages(byLink.sim);
        QCOMPARE(cliSets.size(), sets);
        QCOMPARE(linkSets.size(), sets);
        for (int i = 0; i < sets; ++i)
            QCOMPARE(withoutCounter(cliSets[i]).toHex(' '), withoutCounter(linkSets[i]).toHex(' '));
        QCOMPARE(rdm::editsOf(controller(byCli.sim, id).rec), edited);

        // The read-back asks with gets of what was sent: nothing searches after the first set.
        const QList<QByteArray> sent = byCli.sim.messages();
        const auto firstSet = std::find_if(sent.begin(), sent.end(),
                                           [](const QByteArray &m) { return quint8(m[20]) == rdm::SET_COMMAND; });
        QCOMPARE(firstSet == sent.end(), sets == 0);
        int gets = 0;
        for (auto m = firstSet; m != sent.end(); ++m) {
            QVERIFY2(quint8((*m)[20]) == rdm::SET_COMMAND || quint8((*m)[20]) == rdm::GET_COMMAND,
                     qPrintable(m->toHex(' ')));
            gets += quint8((*m)[20]) == rdm::GET_COMMAND;
        }
        QVERIFY(sets == 0 || gets > 0);
    }

    // Each refusal says why and ends with its status; no set message reaches the line.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("emptyLine");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        const QString mode2 = QStringLiteral("00001001");
        QTest::newRow("unknown field") << QStringList{QStringLiteral("set"), mode2, QStringLiteral("colour=red")} << false
                                       << 2 << QStringLiteral("colour: not a field of a USB controller");
        QTest::newRow("gamma above 3.0") << QStringList{QStringLiteral("set"), mode2, QStringLiteral("gamma=3.1")} << false
                                         << 2 << QStringLiteral("gamma: 3.1 is outside 1.0 to 3.0");
        QTest::newRow("gamma of two decimals")
            << QStringList{QStringLiteral("set"), mode2, QStringLiteral("gamma=2.25")} << false << 2
            << QStringLiteral("gamma: \"2.25\" is not a number with one decimal");
        QTest::newRow("start address beyond mode 2's limit")
            << QStringList{QStringLiteral("set"), mode2, QStringLiteral("gamma=2.0"), QStringLiteral("startAddress=491")}
            << false << 2 << QStringLiteral("startAddress: 491 is outside 1 to 490 (the limit of mode 2)");
        QTest::newRow("mode 0") << QStringList{QStringLiteral("set"), mode2, QStringLiteral("mode=0")} << false << 2
                                << QStringLiteral("mode: 0 is outside 1 to 3");
        QTest::newRow("nickname of 33 characters")
            << QStringList{QStringLiteral("set"), mode2, QStringLiteral("nickname=") + QString(33, QLatin1Char('x'))}
            << false << 2 << QStringLiteral("nickname: 33 characters, at most 32");
        QTest::newRow("nickname the controller cannot keep")
            << QStringList{QStringLiteral("set"), mode2, QStringLiteral("nickname=Bühne \u20AC")} << false << 2
            << QStringLiteral("nickname: \"\u20AC\" is not a character the controller can keep");
        QTest::newRow("a field twice")
            << QStringList{QStringLiteral("set"), mode2, QStringLiteral("mode=1"), QStringLiteral("mode=2")} << false << 2
            << QStringLiteral("mode: given twice");
        QTest::newRow("without remote mode, no nickname")
            << QStringList{QStringLiteral("set"), QStringLiteral("00001003"), QStringLiteral("nickname=X"),
                           QStringLiteral("gamma=2.0")}
            << false << 1 << QStringLiteral("nickname: ") + rdm::remoteModeText(false);
        QTest::newRow("target that names nothing") << QStringList{QStringLiteral("show"), QStringLiteral("1001")} << false
                                                   << 2 << QStringLiteral("\"1001\" names no controller");
        QTest::newRow("network target on the USB line")
            << QStringList{QStringLiteral("show"), QStringLiteral("10.0.0.7")} << false << 2
            << QStringLiteral("10.0.0.7 is a network controller's address");
        QTest::newRow("nobody of that ID") << QStringList{QStringLiteral("set"), QStringLiteral("0000BEEF"),
                                                          QStringLiteral("gamma=2.0")}
                                           << false << 1 << QStringLiteral("0000BEEF: no controller with this device ID answered");
        QTest::newRow("no answer at all") << QStringList{QStringLiteral("show"), mode2} << true << 1
                                          << QStringLiteral("00001001: no controller with this device ID answered");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("search"), QStringLiteral("--colour")} << false << 2
                                        << QStringLiteral("Unknown option 'colour'");
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, emptyLine);
        QFETCH(int, status);
        QFETCH(QString, said);
        Line line(emptyLine ? QList<quint32>{} : Ids);
        QVERIFY2(line.started, qPrintable(line.error));
        const Run run = cli(line.at(args << QStringLiteral("--fast")));
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QCOMPARE(setMessages(line.sim).size(), 0);
        if (status == 2 && !emptyLine && !args.contains(QStringLiteral("startAddress=491")))
            QCOMPARE(line.sim.messagesHandled(), 0); // refused before the line was touched
    }

    void portThatCannotBeOpened()
    {
        const Run run = cli({QStringLiteral("search"), QStringLiteral("--port"), QStringLiteral("/dev/glintwork-no-such-port")});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("Can't open COM port!\nThere is no serial port /dev/glintwork-no-such-port")),
                 qPrintable(run.err));
    }

    // A rig backed up, two controllers changed by hand, the file restored: the dry run lists the
    // changes and sends nothing, the restore verifies both, and the line is as it was.
    void backupAndRestore()
    {
        Line line;
        QVERIFY2(line.started, qPrintable(line.error));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("rig.json"));
        const QList<VirtualQuorix> before = line.sim.controllers();
        Run run = cli(line.at({QStringLiteral("backup"), QStringLiteral("--all"), QStringLiteral("-o"), file,
                               QStringLiteral("--fast")}));
        QCOMPARE(run.status, 0);
        const Result<QList<settings::Entry>> saved = settings::readFile(file);
        QVERIFY2(saved, qPrintable(saved ? QString() : saved.failure().text));
        QCOMPARE(saved->size(), Ids.size());

        for (const QStringList &change : {QStringList{QStringLiteral("00001000"), QStringLiteral("gamma=2.9"),
                                                      QStringLiteral("nickname=Spare")},
                                          QStringList{QStringLiteral("00001002"), QStringLiteral("startAddress=7")}}) {
            run = cli(line.at(QStringList{QStringLiteral("set")} + change + QStringList{QStringLiteral("--fast")}));
            QCOMPARE(run.status, 0);
        }
        const int setsByHand = int(setMessages(line.sim).size());
        QCOMPARE(setsByHand, 3);

        run = cli(line.at({QStringLiteral("restore"), file, QStringLiteral("--dry-run"), QStringLiteral("--fast")}));
        QCOMPARE(run.status, 0);
        QCOMPARE(setMessages(line.sim).size(), setsByHand);
        QVERIFY2(run.out.contains(QStringLiteral("00001000: gamma: 2.9 -> ")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("00001000: nickname: Spare -> Stage left 1")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("00001002: startAddress: 7 -> ")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("00001001: no changes")), qPrintable(run.out));

        run = cli(line.at({QStringLiteral("restore"), file, QStringLiteral("--fast")}));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.count(QStringLiteral("Verified")), 2);
        QCOMPARE(setMessages(line.sim).size(), setsByHand * 2);
        compareRecords([&] {
            QList<TQuorixCtrl> recs;
            for (const VirtualQuorix &v : line.sim.controllers())
                recs << v.rec;
            return recs;
        }(), before);

        // --only keeps to the controllers named; one the file lacks is refused before the line is touched.
        run = cli(line.at({QStringLiteral("restore"), file, QStringLiteral("--only"), QStringLiteral("0000BEEF")}));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("0000BEEF: not in")), qPrintable(run.err));

        // A file with a value out of its limits is refused as a whole, naming it; the line is not touched.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        text.replace("\"gamma\": 1.1", "\"gamma\": 3.1");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        const int handled = line.sim.messagesHandled();
        run = cli(line.at({QStringLiteral("restore"), file}));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("controllers[1].settings.gamma: outside 1.0 to 3.0")), qPrintable(run.err));
        QCOMPARE(line.sim.messagesHandled(), handled);
    }

    // The file is checked before the controller is touched; a good one is taken whole.
    void firmware()
    {
        Line line;
        QVERIFY2(line.started, qPrintable(line.error));
        QTemporaryDir dir;
        const QString bad = dir.filePath(QStringLiteral("bad.hex"));
        QFile b(bad);
        QVERIFY(b.open(QIODevice::WriteOnly));
        b.write(hexfixture::file(hexfixture::pattern(64)).replace(":00000001FF", ":0000"));
        b.close();
        Run run = cli(line.at({QStringLiteral("firmware"), QStringLiteral("00001002"), bad}));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("HEX")), qPrintable(run.err));
        QCOMPARE(line.sim.messagesHandled(), 0);

        const QByteArray image = hexfixture::pattern(300);
        const QString good = dir.filePath(QStringLiteral("good.hex"));
        QFile g(good);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(hexfixture::file(image));
        g.close();
        run = cli(line.at({QStringLiteral("firmware"), QStringLiteral("00001002"), good, QStringLiteral("--fast")}));
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("Firmware Upgrade Complete!\n"));
        const VirtualQuorix &v = controller(line.sim, 0x1002);
        QCOMPARE(v.updates, 1);
        QCOMPARE(v.firmware.left(image.size()), image);
    }
};

QTEST_GUILESS_MAIN(TestCliUsb)
#include "tst_cli_usb.moc"
