// The settings file: what a file holds comes back as the same record, and so the same datagram or
// set messages, that typing its values into the dialog and pressing OK would give; a bad file is
// refused with the field named.

#include "net/config_datagram.h"
#include "config/field_rules.h"
#include "rdm/quorix_texts.h"
#include "rdm/quorix_edits.h"
#include "settings/settings_file.h"
#include "workflow_test_util.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace settings;

namespace {

// The failure's text, for a test's message; empty on success.
template <typename T>
QString why(const Result<T> &r)
{
    return r ? QString() : r.failure().text;
}

QList<Entry> throughFile(const QList<Entry> &entries)
{
    const auto back = fromJson(toJson(entries));
    if (!back) {
        qWarning().noquote() << back.failure().text;
        return {};
    }
    return *back;
}

TTessaraCtrl advancedRecord()
{
    TTessaraCtrl c = workflowtest::consistentRecord(QStringLiteral("V1.4.5"));
    c.SacnUniv = 0;
    c.SacnChan = 0;
    for (int i = 0; i < 16; ++i) {
        c.AdvUniv[i] = quint16(100 + i);
        c.AdvChan[i] = quint16(1 + 3 * i);
        c.NumNodes[i] = quint16(10 + i);
        c.AdvNull[i] = quint8(i % 11);
        c.AdvZig[i] = quint16(i);
        c.AdvReverse[i] = quint8(i % 2);
    }
    c.RgbOrder = {0xFF, 0xFF, 0xFF};
    return c;
}

TQuorixCtrl quorixRecord()
{
    TQuorixCtrl q;
    q.setDeviceId(0x0102ABCD);
    q.MID = {0, 1};
    q.SVID = {2, 1, 5, 0};
    q.PERS = {2, 3};
    q.STA = {0x01, 0x2C};
    q.LBL = rdm::labelFromText(QStringLiteral("Bar 3"));
    q.Gamma = 22;
    q.RM = 1;
    return q;
}

// What OK on the dialog sends for these edits; the record takes each value as its message goes out.
rdm::EditMessages sendEdits(TQuorixCtrl &rec, const rdm::QuorixEdits &shown, const rdm::QuorixEdits &edited)
{
    const rdm::EditMessages messages = rdm::editMessages(rec, shown, edited);
    for (int i = 0; i < rdm::EditSteps; ++i)
        if (messages[std::size_t(i)])
            rdm::storeEdit(rec, rdm::EditStep(i), edited);
    return messages;
}

QByteArray requestBytes(const rdm::EditMessages &m)
{
    QByteArray out;
    for (const auto &r : m)
        if (r)
            out += rdm::buildRequest(*r, 0);
    return out;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void networkRoundTrip_data();
    void networkRoundTrip();
    void restoreUndoesHandEdits();
    void cloneKeepsIdentity();
    void usbRoundTripAndRestore();
    void usbCloneKeepsLabel();
    void usbRemoteModeOffTakesGammaOnly();
    void badFiles_data();
    void badFiles();
    void modelMismatchRefused();
    void atomicWriteAndRead();
};

void TestSettingsFile::networkRoundTrip_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<TTessaraCtrl>("record");
    using workflowtest::consistentRecord;
    QTest::newRow("1.4.5 simple") << "Tessara 16" << consistentRecord(QStringLiteral("V1.4.5"));
    QTest::newRow("1.4.5 advanced, per-output orders") << "Tessara 16" << advancedRecord();
    TTessaraCtrl four = consistentRecord(QStringLiteral("V1.3.0"), 4, 2);
    workflowtest::useEarlierOrder(four, true);
    QTest::newRow("1.3.0 four outputs") << "Tessara 4" << four;
    TTessaraCtrl early = consistentRecord(QStringLiteral("V1.2.4"), 16, 2);
    workflowtest::useEarlierOrder(early, true);
    QTest::newRow("1.2.4 earlier colour order") << "Corvel 16" << early;
    TTessaraCtrl unknown = consistentRecord(QString(), 16, 2);
    QTest::newRow("no firmware version") << "Tessara 16" << unknown;
}

// Back up then restore onto the same, unchanged controller: OK without changes, nothing differs.
void TestSettingsFile::networkRoundTrip()
{
    QFETCH(QString, model);
    QFETCH(TTessaraCtrl, record);
    const QList<Entry> back = throughFile({entryOf(record, model)});
    QCOMPARE(back.size(), 1);
    const auto applied = applyTo(back[0], record, model, {});
    QVERIFY2(applied, qPrintable(why(applied)));
    QCOMPARE(net::orvantic::buildConfigDatagram(*applied), net::orvantic::buildConfigDatagram(record));
    QVERIFY(*applied == record);
    QVERIFY(changes(entryOf(record, model), entryOf(*applied, model)).isEmpty());
}

// The same record as the dialog read-back gives for the same typed values.
void TestSettingsFile::restoreUndoesHandEdits()
{
    const TTessaraCtrl saved = workflowtest::consistentRecord(QStringLiteral("V1.4.5"));
    const QList<Entry> file = throughFile({entryOf(saved, QStringLiteral("Tessara 16"))});

    // An operator changes the start universe and gamma by hand, through the dialog.
    config::flow::DialogValues typed = config::flow::fillValues(saved);
    typed.startUniv = QStringLiteral("20");
    typed.gamma[1] = config::fieldrules::gammaText(30);
    const TTessaraCtrl edited = *config::flow::readBack(typed, saved);
    QVERIFY(edited.SacnUniv == 20);

    const auto restored = applyTo(file[0], edited, QStringLiteral("Tessara 16"), {});
    QVERIFY2(restored, qPrintable(why(restored)));
    QCOMPARE(net::orvantic::buildConfigDatagram(*restored), net::orvantic::buildConfigDatagram(saved));

    const QList<Change> diff = changes(entryOf(edited, QStringLiteral("Tessara 16")),
                                       entryOf(*restored, QStringLiteral("Tessara 16")));
    const QList<Change> expected{{QStringLiteral("gamma[1]"), QStringLiteral("3"), QStringLiteral("2.5")},
                                 {QStringLiteral("startUniverse"), QStringLiteral("20"), QStringLiteral("7")}};
    QCOMPARE(diff, expected);
}

void TestSettingsFile::cloneKeepsIdentity()
{
    const TTessaraCtrl source = advancedRecord();
    TTessaraCtrl spare = workflowtest::consistentRecord(QStringLiteral("V1.4.5"));
    spare.MAC = {0x02, 0x47, 0x4c, 0, 0, 9};
    spare.CurrentIP = {127, 0, 0, 9};
    spare.StaticIP = {10, 0, 0, 9};
    spare.SM = {255, 255, 0, 0};
    spare.DHCP = 1;
    net::tessara::setFixedText(spare.Nickname, QStringLiteral("Spare"));
    const QList<Entry> file = throughFile({entryOf(source, QStringLiteral("Tessara 16"))});

    for (const bool nickname : {false, true}) {
        const auto cloned = applyTo(file[0], spare, QStringLiteral("Tessara 16"), {true, nickname});
        QVERIFY2(cloned, qPrintable(why(cloned)));
        // Every setting but the identity is the source's.
        TTessaraCtrl expected = source;
        expected.MAC = spare.MAC;
        expected.CurrentIP = spare.CurrentIP;
        expected.StaticIP = spare.StaticIP;
        expected.SM = spare.SM;
        expected.DHCP = spare.DHCP;
        expected.Nickname = nickname ? source.Nickname : spare.Nickname;
        QCOMPARE(net::orvantic::buildConfigDatagram(*cloned), net::orvantic::buildConfigDatagram(expected));
    }
}

void TestSettingsFile::usbRoundTripAndRestore()
{
    const TQuorixCtrl saved = quorixRecord();
    const QList<Entry> file = throughFile({entryOf(saved)});
    QCOMPARE(file.size(), 1);
    QCOMPARE(file[0].id, QStringLiteral("0102ABCD"));

    const auto same = applyTo(file[0], saved, {});
    QVERIFY2(same, qPrintable(why(same)));
    TQuorixCtrl unchanged = saved;
    QCOMPARE(requestBytes(sendEdits(unchanged, rdm::editsOf(saved), *same)), QByteArray());

    // Changed by hand through the dialog's edits; the restore sends what typing the saved values
    // back would send.
    TQuorixCtrl edited = saved;
    sendEdits(edited, rdm::editsOf(edited), {3, QStringLiteral("Moved"), 480, 28});
    const auto restore = applyTo(file[0], edited, {});
    QVERIFY2(restore, qPrintable(why(restore)));
    TQuorixCtrl byFile = edited, byHand = edited;
    const QByteArray sent = requestBytes(sendEdits(byFile, rdm::editsOf(edited), *restore));
    const QByteArray typed = requestBytes(sendEdits(byHand, rdm::editsOf(edited), rdm::editsOf(saved)));
    QVERIFY(!sent.isEmpty());
    QCOMPARE(sent, typed);
    QVERIFY(byFile == saved);
}

void TestSettingsFile::usbCloneKeepsLabel()
{
    const QList<Entry> file = throughFile({entryOf(quorixRecord())});
    TQuorixCtrl spare = quorixRecord();
    spare.setDeviceId(0x0102FFFF);
    spare.LBL = rdm::labelFromText(QStringLiteral("Spare"));
    spare.Gamma = 10;
    const auto cloned = applyTo(file[0], spare, {true, false});
    QVERIFY(cloned);
    QCOMPARE(cloned->nickname, QStringLiteral("Spare"));
    QCOMPARE(cloned->gammaTenths, 22);
    QCOMPARE(applyTo(file[0], spare, {true, true})->nickname, QStringLiteral("Bar 3"));
}

void TestSettingsFile::usbRemoteModeOffTakesGammaOnly()
{
    // The dialog greys out mode, start address and nickname then; a restore cannot type into them.
    const QList<Entry> file = throughFile({entryOf(quorixRecord())});
    TQuorixCtrl locked = quorixRecord();
    locked.RM = 0;
    locked.PERS = {1, 3};
    locked.STA = {0x00, 0x05};
    locked.LBL = rdm::labelFromText(QStringLiteral("Locked"));
    locked.Gamma = 10;
    const auto restored = applyTo(file[0], locked, {});
    QVERIFY(restored);
    rdm::QuorixEdits expected = rdm::editsOf(locked);
    expected.gammaTenths = 22;
    QCOMPARE(restored->personality, expected.personality);
    QCOMPARE(restored->startAddress, expected.startAddress);
    QCOMPARE(restored->nickname, expected.nickname);
    QCOMPARE(restored->gammaTenths, expected.gammaTenths);
}

using Edit = std::function<void(QJsonObject &)>;
Q_DECLARE_METATYPE(Edit)

void TestSettingsFile::badFiles_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("named");

    // Changes one member of controller `index`'s settings, or of the entry itself for ".key".
    auto member = [](int index, const QString &key, const QJsonValue &value) {
        return Edit([=](QJsonObject &root) {
            QJsonArray list = root[u"controllers"].toArray();
            QJsonObject c = list[index].toObject();
            QJsonObject s = c[u"settings"].toObject();
            if (!key.startsWith(u'.'))
                s[key] = value;
            c[u"settings"] = s;
            if (key.startsWith(u'.'))
                c[key.mid(1)] = value;
            list[index] = c;
            root[u"controllers"] = list;
        });
    };
    auto net = [member](const QString &key, const QJsonValue &value) { return member(0, key, value); };
    auto usb = [member](const QString &key, const QJsonValue &value) { return member(1, key, value); };
    const QString n = QStringLiteral("controllers[0].");
    const QString s = n + QStringLiteral("settings.");
    const QString u = QStringLiteral("controllers[1].settings.");

    QTest::newRow("unknown version") << Edit([](QJsonObject &r) { r[u"version"] = 2; }) << "version";
    QTest::newRow("version as text") << Edit([](QJsonObject &r) { r[u"version"] = QStringLiteral("1"); }) << "version";
    QTest::newRow("another format") << Edit([](QJsonObject &r) { r[u"format"] = QStringLiteral("x"); }) << "format";
    QTest::newRow("no list") << Edit([](QJsonObject &r) { r[u"controllers"] = 3; }) << "controllers";
    QTest::newRow("unknown family") << net(QStringLiteral(".family"), QStringLiteral("dali")) << n + "family";
    QTest::newRow("unknown model") << net(QStringLiteral(".model"), QStringLiteral("Tessara 8")) << n + "model";
    QTest::newRow("bad MAC") << net(QStringLiteral(".mac"), QStringLiteral("00:11")) << n + "mac";
    QTest::newRow("nickname too long") << net(QStringLiteral(".nickname"), QString(40, u'x')) << n + "nickname";
    QTest::newRow("settings missing") << net(QStringLiteral(".settings"), QJsonValue()) << n + "settings";
    QTest::newRow("universe 0") << net(QStringLiteral("startUniverse"), 0) << s + "startUniverse";
    QTest::newRow("universe 64000") << net(QStringLiteral("startUniverse"), 64000) << s + "startUniverse";
    QTest::newRow("universe 1.5") << net(QStringLiteral("startUniverse"), 1.5) << s + "startUniverse";
    QTest::newRow("universe as text") << net(QStringLiteral("startUniverse"), QStringLiteral("7")) << s + "startUniverse";
    QTest::newRow("channel off a pixel") << net(QStringLiteral("startChannel"), 5) << s + "startChannel";
    QTest::newRow("341 pixels on 16 outputs") << net(QStringLiteral("pixelsPerString"), 341) << s + "pixelsPerString";
    QTest::newRow("octet 256") << net(QStringLiteral("ipAddress"), QStringLiteral("10.0.0.256")) << s + "ipAddress";
    QTest::newRow("three octets") << net(QStringLiteral("subnetMask"), QStringLiteral("255.0.0")) << s + "subnetMask";
    QTest::newRow("dhcp as number") << net(QStringLiteral("dhcp"), 1) << s + "dhcp";
    QTest::newRow("gamma 3.1") << net(QStringLiteral("gamma"), QJsonArray{2.2, 3.1, 1.0}) << s + "gamma[1]";
    QTest::newRow("gamma 2.25") << net(QStringLiteral("gamma"), QJsonArray{2.25, 2.2, 1.0}) << s + "gamma[0]";
    QTest::newRow("two gammas") << net(QStringLiteral("gamma"), QJsonArray{2.2, 2.2}) << s + "gamma";
    QTest::newRow("fan 9") << net(QStringLiteral("fanThreshold"), 9) << s + "fanThreshold";
    QTest::newRow("unknown order") << net(QStringLiteral("colourOrder"), QStringLiteral("RGBW")) << s + "colourOrder";
    QTest::newRow("speed") << net(QStringLiteral("speed"), QStringLiteral("medium")) << s + "speed";
    QTest::newRow("advanced without outputs") << net(QStringLiteral("advanced"), true) << s + "outputs";
    QTest::newRow("mode 4") << usb(QStringLiteral("mode"), 4) << u + "mode";
    QTest::newRow("address past the mode's end") << usb(QStringLiteral("startAddress"), 491) << u + "startAddress";
    QTest::newRow("usb gamma 0.9") << usb(QStringLiteral("gamma"), 0.9) << u + "gamma";
}

void TestSettingsFile::badFiles()
{
    QFETCH(Edit, edit);
    QFETCH(QString, named);
    QJsonObject root = QJsonDocument::fromJson(
        toJson({entryOf(workflowtest::consistentRecord(QStringLiteral("V1.4.5")), QStringLiteral("Tessara 16")),
                entryOf(quorixRecord())})).object();
    QVERIFY(fromJson(QJsonDocument(root).toJson())); // the fixture itself is good
    edit(root);
    const auto read = fromJson(QJsonDocument(root).toJson());
    QVERIFY(!read);
    QVERIFY2(read.failure().text.startsWith(named + QStringLiteral(": ")), qPrintable(read.failure().text));
}

void TestSettingsFile::modelMismatchRefused()
{
    const TTessaraCtrl four = workflowtest::consistentRecord(QStringLiteral("V1.4.5"), 4);
    const QList<Entry> file = throughFile({entryOf(four, QStringLiteral("Tessara 4"))});
    const auto otherModel =
        applyTo(file[0], workflowtest::consistentRecord(QStringLiteral("V1.4.5")), QStringLiteral("Tessara 16"), {});
    QVERIFY(!otherModel);
    QVERIFY2(otherModel.failure().text.startsWith(QStringLiteral("model: ")), qPrintable(otherModel.failure().text));
    const auto otherFamily = applyTo(file[0], quorixRecord(), {});
    QVERIFY(!otherFamily);
    QVERIFY2(otherFamily.failure().text.startsWith(QStringLiteral("family: ")), qPrintable(otherFamily.failure().text));
    const auto notJson = fromJson("{ not json");
    QVERIFY(!notJson);
    QVERIFY2(notJson.failure().text.startsWith(QStringLiteral("file: ")), qPrintable(notJson.failure().text));
}

void TestSettingsFile::atomicWriteAndRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rig.json"));
    const QList<Entry> rig{entryOf(advancedRecord(), QStringLiteral("Tessara 16")), entryOf(quorixRecord())};
    const Result<> written = writeFile(path, rig);
    QVERIFY2(written, qPrintable(why(written)));
    const auto back = readFile(path);
    QVERIFY2(back, qPrintable(why(back)));
    QCOMPARE(back->size(), 2);
    QCOMPARE(matchIndex(rig[1], *back), 1);
    QCOMPARE(matchIndex(rig[0], *back), 0);
    // A file that cannot be written leaves no half file and says why.
    const Result<> unwritable = writeFile(dir.filePath(QStringLiteral("missing/rig.json")), rig);
    QVERIFY(!unwritable);
    QVERIFY(unwritable.failure().text.contains(QStringLiteral("missing/rig.json")));
    QVERIFY(!unwritable.failure().reason.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("rig.json")});
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
