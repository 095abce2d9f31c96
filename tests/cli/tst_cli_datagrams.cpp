// glintwork-cli set against the controller dialog's OK, for the same edit of the same controller:
// the configuration datagrams the virtual controllers take must be the same to the byte. Runs on
// the app side of the private namespaces of netns_run.sh; the virtual controllers print each
// configuration datagram they take.

#include "app/glw_application.h"
#include "cli_run.h"
#include "config/tessara_config.h"
#include "config_test_util.h"
#include "e2e_fixture.h"
#include "glw_test.h"
#include "net/network_tab.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>

namespace {

const char *const Controllers = R"(
[controller]
model = Tessara 16
ip = 10.77.1.60
mask = 255.255.0.0
nickname = Stage left
firmware = V1.4.5
HwRev = 5

[controller]
model = Tessara 4
ip = 10.77.1.61
mask = 255.255.0.0
nickname = Bar top
firmware = V1.3.0
HwRev = 3

[controller]
model = Corvel 16
ip = 10.77.1.62
mask = 255.255.0.0
nickname = Facade
firmware = V1.4.5
HwRev = 5
)";

const QStringList Addresses{"10.77.1.60", "10.77.1.61", "10.77.1.62"};

// One edit: the command line's fields, and what the operator does in the dialog for them.
struct Edit {
    const char *name;
    QString ip;
    QStringList fields;
    std::function<void(TTessaraConfig *)> inDialog;
};

using configtest::click;
using configtest::typeInto;

const QList<Edit> &edits()
{
    static const QList<Edit> all{
        {"nickname and fan threshold", "10.77.1.60", {"nickname=Truss 7", "fanThreshold=45"},
         [](TTessaraConfig *d) {
             typeInto(d->txtNickname, "Truss 7");
             typeInto(d->txtFan, "45");
         }},
        {"start universe", "10.77.1.60", {"startUniverse=7"}, [](TTessaraConfig *d) { typeInto(d->txtStartUniv, "7"); }},
        {"DHCP", "10.77.1.60", {"dhcp=true"}, [](TTessaraConfig *d) { click(d->radioDHCP); }},
        {"pixels per string on a Tessara 4", "10.77.1.61", {"pixelsPerString=120"},
         [](TTessaraConfig *d) { typeInto(d->txtNodes, "120"); }},
        {"Art-Net and hold last frame on a Corvel 16", "10.77.1.62", {"protocol=Art-Net", "holdLastFrame=true"},
         [](TTessaraConfig *d) {
             click(d->radioArtNet);
             if (!d->checkHoldFrame->isChecked())
                 click(d->checkHoldFrame);
         }},
    };
    return all;
}

using clitest::cli;
using clitest::Run;

QStringList g_uncaught;

} // namespace

class TestCliDatagrams : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<e2e::NetSimProcess> m_sim;

    // The configuration datagrams (hex) `ip` took while `act` ran, waiting up to 5 s for the first.
    QList<QByteArray> taken(const QString &ip, const std::function<void()> &act)
    {
        const qsizetype from = m_sim->output().size();
        act();
        const QByteArray prefix = "config " + ip.toLatin1() + ' ';
        QList<QByteArray> configs;
        const auto collect = [&] {
            configs.clear();
            for (const QByteArray &line : m_sim->output().mid(from).split('\n'))
                if (line.startsWith(prefix))
                    configs << line.mid(prefix.size());
            return !configs.isEmpty();
        };
        if (QTest::qWaitFor(collect, 5000)) {
            QTest::qWait(200); // a second datagram would have come by now
            collect();
        }
        return configs;
    }

    // The controller's present values of `fields`, as set takes them.
    QStringList present(const QString &ip, const QStringList &fields)
    {
        const Run shown = cli({"show", ip});
        if (shown.status != 0)
            qWarning("show %s: %d %s", qPrintable(ip), shown.status, qPrintable(shown.err));
        QStringList values;
        for (const QString &f : fields) {
            const QString name = f.section('=', 0, 0) + '=';
            for (const QString &line : shown.out.split('\n'))
                if (line.startsWith(name))
                    values << line;
        }
        return values;
    }

    QList<QByteArray> byCli(const Edit &e)
    {
        return taken(e.ip, [&] {
            const Run run = cli(QStringList{"set", e.ip} + e.fields + QStringList{"--no-verify"});
            QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
        });
    }

    QList<QByteArray> byDialog(const Edit &e)
    {
        return taken(e.ip, [&] {
            // The window holds the port while it is open, as the program does while it runs: one
            // of them at a time.
            TForm1 form(0);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            NetworkTab *net = form.NetworkDevices;
            QVERIFY(e2e::search(net, int(Addresses.size())));
            const int row = e2e::rowOf(net->Network_Grid, e.ip);
            QVERIFY(row >= 0);
            TTessaraConfig *d = form.TessaraConfig;
            bool opened = false;
            e2e::doubleClick(net->Network_Grid, row, [&](QWidget *w) {
                if (w != d)
                    return;
                opened = true;
                e.inDialog(d);
                click(d->btnOK);
            });
            QVERIFY(QTest::qWaitFor([&] { return opened && !d->isVisible(); }, 15000));
        });
    }

private slots:
    void initTestCase()
    {
        if (e2e::controllerNamespace().isEmpty())
            QSKIP("runs only inside the namespaces of netns_run.sh");
        QVERIFY(QFile::exists(QStringLiteral(GLINTWORK_CLI)));
        QVERIFY(e2e::addControllerAddresses(Addresses));
        const QString file = e2e::writeControllerFile(m_dir, "controllers.txt", QString::fromUtf8(Controllers));
        m_sim = std::make_unique<e2e::NetSimProcess>();
        QVERIFY(m_sim->start({"--file", file, "--print-config"}));
        GlwApplication::setErrorSink([](const QString &text) { g_uncaught.append(text); });
    }
    void cleanupTestCase()
    {
        QVERIFY2(g_uncaught.isEmpty(), qPrintable(g_uncaught.join('\n')));
    }

    void setSendsWhatTheDialogSends_data()
    {
        QTest::addColumn<int>("edit");
        for (int i = 0; i < edits().size(); ++i)
            QTest::newRow(edits()[i].name) << i;
    }
    // From the same starting values each time: the dialog's edit, undone, then the same edit by
    // the command line; then undone again for the next row.
    void setSendsWhatTheDialogSends()
    {
        QFETCH(int, edit);
        const Edit &e = edits()[edit];
        const QStringList before = present(e.ip, e.fields);
        QCOMPARE(before.size(), e.fields.size());
        QVERIFY2(before != e.fields, "the edit must change something");
        const Edit undo{"undo", e.ip, before, {}};

        const QList<QByteArray> dialog = byDialog(e);
        QCOMPARE(dialog.size(), 1);
        QCOMPARE(present(e.ip, e.fields), e.fields);
        QCOMPARE(byCli(undo).size(), 1);
        QCOMPARE(present(e.ip, e.fields), before);

        const QList<QByteArray> script = byCli(e);
        QCOMPARE(script.size(), 1);
        QCOMPARE(script.first(), dialog.first());
        QCOMPARE(byCli(undo).size(), 1);
    }
};

int main(int argc, char *argv[])
{
    GlwApplication app(argc, argv);
    TestCliDatagrams test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_cli_datagrams.moc"
