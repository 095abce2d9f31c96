// Settings files against virtual controllers on the other side of a private veth link, through the
// real main window: back up every controller, change two by hand, restore the file and see both
// read back as sent, with the very datagrams the dialog sends for the same edits; clone onto a
// spare; and controllers that ignore a field or drop the configuration are reported.

#include "config_test_util.h"
#include "config/config_workflow.h"
#include "config/tessara_config.h"
#include "e2e_fixture.h"
#include "app/glw_application.h"
#include "glw_test.h"
#include "net/network_link.h"
#include "net/network_tab.h"
#include "net/orvantic.h"
#include "net/udp_port.h"
#include "settings/restore_dialog.h"
#include "settings/settings_files.h"
#include "settings_test_util.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeWidget>

using settings::Outcome;

namespace {

const char *const Controllers = R"(
[controller]
ip = 10.77.1.40
mask = 255.255.0.0
nickname = Stage left
firmware = V1.4.5
HwRev = 5
SacnUniv = 1
SacnChan = 1

[controller]
ip = 10.77.1.41
mask = 255.255.0.0
nickname = Stage right
firmware = V1.4.5
HwRev = 5
SacnUniv = 11
SacnChan = 1

[controller]
ip = 10.77.1.42
mask = 255.255.0.0
nickname = Forgetful
firmware = V1.4.5
HwRev = 5
misbehave = ignores-nickname

[controller]
ip = 10.77.1.43
mask = 255.255.0.0
nickname = Deaf
firmware = V1.4.5
HwRev = 5
misbehave = drops-config

[controller]
model = Tessara 16
ip = 10.77.1.44
mask = 255.255.0.0
nickname = Spare
firmware = V1.4.5
HwRev = 5
SacnUniv = 300
)";

QStringList g_uncaught;

using e2e::rowOf;

struct Datagram {
    QByteArray bytes;
    QString host;
    bool operator==(const Datagram &) const = default;
};

} // namespace

class TestE2eSettings : public QObject {
    Q_OBJECT
    std::unique_ptr<e2e::NetSimProcess> m_sim;
    QTemporaryDir m_dir;
    std::unique_ptr<TForm1> m_form;
    QList<Datagram> m_sent; // configuration datagrams, by whichever path

    NetworkTab *net() { return m_form->NetworkDevices; }
    QTableView *grid() { return net()->Network_Grid; }

    bool search(int rows) { return e2e::search(net(), rows); }

    // Opens the row's dialog as the operator does, types `nickname` and `universe`, presses OK.
    void editByHand(const QString &ip, const QString &nickname, const QString &universe)
    {
        TTessaraConfig *d = m_form->TessaraConfig;
        const QByteArray taken = "configured " + ip.toLatin1();
        const qsizetype before = m_sim->output().count(taken);
        bool opened = false;
        const int row = rowOf(grid(), ip);
        QVERIFY(row >= 0);
        e2e::doubleClick(grid(), row, [&](QWidget *) {
            opened = true;
            configtest::typeInto(d->txtNickname, nickname);
            configtest::typeInto(d->txtStartUniv, universe);
            configtest::click(d->btnOK);
        });
        QVERIFY(opened);
        // Taken before the next search asks: the datagrams go to different sockets of the controller.
        QVERIFY(QTest::qWaitFor([&] { return m_sim->output().count(taken) > before; }, 5000));
    }

    QString backUpAll()
    {
        const QString path = m_dir.filePath(QStringLiteral("rig.json"));
        settingstest::backUpAll(*m_form->Files, &SettingsFiles::backUpNetwork, path);
        return path;
    }

    // Restores `path`; `choose` sets the dialog up before Apply. The results of the run.
    QList<settings::RestoreResult> restore(const QString &path, std::function<void(RestoreDialog &)> choose)
    {
        return settingstest::restore(*m_form->Files, path, [&](RestoreDialog &dialog) {
            choose(dialog);
            dialog.btnApply->click();
        });
    }

    static Outcome outcomeOf(const QList<settings::RestoreResult> &results, const QString &ip)
    {
        for (const settings::RestoreResult &r : results)
            if (r.controller.endsWith(ip))
                return r.outcome;
        return Outcome::NotSent;
    }

private slots:
    void initTestCase()
    {
        if (e2e::controllerNamespace().isEmpty())
            QSKIP("runs only inside the namespaces of netns_run.sh");
        QVERIFY(e2e::addControllerAddresses({"10.77.1.40", "10.77.1.41", "10.77.1.42", "10.77.1.43", "10.77.1.44"}));
        const QString file = e2e::writeControllerFile(m_dir, "controllers.txt", QString::fromUtf8(Controllers));
        m_sim = std::make_unique<e2e::NetSimProcess>();
        QVERIFY(m_sim->start({"--file", file}));
        GlwApplication::setErrorSink([](const QString &text) { g_uncaught.append(text); });
        QSettings().setValue(QLatin1String(RestoreDialog::VerifyKey), true);
        m_form = std::make_unique<TForm1>(0);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_form->Files->setReadBackTiming(200, 700);
        // Every datagram still goes out through the port; the configurations are noted on the way.
        m_form->NetLink->setTransport([this](const QByteArray &datagram, const QString &host) {
            if (net::orvantic::opcodeOf(datagram) == net::orvantic::OpConfig)
                m_sent.append({datagram, host});
            return net()->link().udpPort()->send(datagram, host);
        });
    }
    void cleanupTestCase()
    {
        m_form.reset();
        QVERIFY2(g_uncaught.isEmpty(), qPrintable(g_uncaught.join('\n')));
    }

    // Back up, change two by hand, restore: both read back as sent, and the restore's datagrams
    // are those the dialog sends when the saved values are typed back.
    void restoreUndoesHandEdits()
    {
        QVERIFY(search(5));
        const QString file = backUpAll();
        QVERIFY(QFile::exists(file));

        // What the dialog sends to put the saved values back: edit, then type them in again.
        editByHand("10.77.1.40", "Moved", "21");
        editByHand("10.77.1.41", "Moved too", "31");
        m_sent.clear();
        editByHand("10.77.1.40", "Stage left", "1");
        editByHand("10.77.1.41", "Stage right", "11");
        auto byHost = [](QList<Datagram> list) {
            std::sort(list.begin(), list.end(), [](const Datagram &a, const Datagram &b) { return a.host < b.host; });
            return list;
        };
        const QList<Datagram> typed = byHost(m_sent);
        QCOMPARE(typed.size(), 2);

        editByHand("10.77.1.40", "Moved", "21");
        editByHand("10.77.1.41", "Moved too", "31");
        QVERIFY(search(5));
        m_sent.clear();
        QStringList ticked;
        const auto results = restore(file, [&](RestoreDialog &d) {
            for (int i = 0; i < d.Changes->topLevelItemCount(); ++i)
                if (d.Changes->topLevelItem(i)->checkState(0) == Qt::Checked)
                    ticked << d.Changes->topLevelItem(i)->text(0);
        });
        // Only the two changed by hand would change, and they are ticked.
        QCOMPARE(ticked, (QStringList{"Restore Tessara 16 \"Moved\" 10.77.1.40", "Restore Tessara 16 \"Moved too\" 10.77.1.41"}));
        QCOMPARE(byHost(m_sent), typed);
        QCOMPARE(results.size(), 2);
        for (const settings::RestoreResult &r : results)
            QVERIFY2(r.outcome == Outcome::Verified, qPrintable(settings::resultText(r)));

        QVERIFY(search(5));
        QCOMPARE(glwtest::rowTexts(grid(), rowOf(grid(), "10.77.1.40")).value(1), QStringLiteral("Stage left"));
        QCOMPARE(glwtest::rowTexts(grid(), rowOf(grid(), "10.77.1.41")).value(1), QStringLiteral("Stage right"));
    }

    // A clone takes every setting of its source but its identity.
    void cloneOntoASpare()
    {
        QVERIFY(search(5));
        const QString file = backUpAll();
        const TTessaraCtrl source = net()->link().controller(rowOf(grid(), "10.77.1.40"));
        const auto results = restore(file, [](RestoreDialog &d) {
            // "Stage left" onto the spare; the others skipped.
            for (int i = 0; i < d.Targets->rowCount(); ++i) {
                QComboBox *box = d.targetBox(i);
                box->setCurrentIndex(d.Targets->item(i, 0)->text().endsWith("10.77.1.40")
                                         ? box->findText("Clone onto Tessara 16 \"Spare\" 10.77.1.44")
                                         : 0);
            }
        });
        QCOMPARE(results.size(), 1);
        QVERIFY2(results[0].outcome == Outcome::Verified, qPrintable(settings::resultText(results[0])));

        QVERIFY(search(5));
        const TTessaraCtrl spare = net()->link().controller(rowOf(grid(), "10.77.1.44"));
        QCOMPARE(net::tessara::fixedText(spare.Nickname), QStringLiteral("Spare"));
        QCOMPARE(spare.StaticIP, (std::array<quint8, 4>{10, 77, 1, 44}));
        QVERIFY(spare.MAC != source.MAC);
        QCOMPARE(spare.SacnUniv, source.SacnUniv);
        QCOMPARE(spare.NumNodes, source.NumNodes);
        QCOMPARE(spare.DriverChip, source.DriverChip);
    }

    // The file asks for a new nickname and universe of the two misbehaving controllers.
    void misbehavioursReported()
    {
        QVERIFY(search(5));
        const QString file = backUpAll();
        QVERIFY(settingstest::editEntries(file, [](int, QJsonObject &c, QJsonObject &s) {
            if (c["address"] == "10.77.1.42" || c["address"] == "10.77.1.43") {
                c["nickname"] = "Renamed";
                s["startUniverse"] = 77;
            }
        }));

        const auto results = restore(file, [](RestoreDialog &) {});
        QCOMPARE(results.size(), 2);
        QCOMPARE(outcomeOf(results, "10.77.1.42"), Outcome::Differs);
        QCOMPARE(outcomeOf(results, "10.77.1.43"), Outcome::Differs);
        auto fields = [&](const QString &ip) {
            QStringList out;
            for (const settings::RestoreResult &r : results)
                if (r.controller.endsWith(ip))
                    for (const settings::Change &c : r.differences)
                        out << QStringLiteral("%1 %2>%3").arg(c.field, c.fromFile, c.now);
            return out;
        };
        QCOMPARE(fields("10.77.1.42"), QStringList{"nickname Renamed>Forgetful"});
        QCOMPARE(fields("10.77.1.43"), (QStringList{"nickname Renamed>Deaf", "startUniverse 77>1"}));
    }

    // Off, nothing but the configuration goes out, and the result says it was not read back.
    void verifyOff()
    {
        QVERIFY(search(5));
        const QString file = backUpAll();
        editByHand("10.77.1.41", "Off", "5");
        QVERIFY(search(5));
        const QByteArray before = m_sim->output();
        const auto results = restore(file, [](RestoreDialog &d) { d.chkVerify->setChecked(false); });
        QCOMPARE(results.size(), 1);
        QCOMPARE(results[0].outcome, Outcome::Applied);
        QVERIFY(!QSettings().value(QLatin1String(RestoreDialog::VerifyKey)).toBool());
        QSettings().setValue(QLatin1String(RestoreDialog::VerifyKey), true);
        QTest::qWait(500);
        const QByteArray after = m_sim->output().mid(before.size());
        QVERIFY2(!after.contains("answered"), after.constData());
        QVERIFY2(after.contains("configured 10.77.1.41"), after.constData());
    }
};

QTEST_MAIN(TestE2eSettings)
#include "tst_e2e_settings.moc"
