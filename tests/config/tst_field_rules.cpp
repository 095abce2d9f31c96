// The configuration dialogs' own entry rules (the general ones have their test in tests/common),
// colour-order codes and end computation.

#include "config/colour_order.h"
#include "config/field_rules.h"
#include "config/output_mapping.h"

#include <QTest>
#include <limits>

using namespace config::fieldrules;
Q_DECLARE_METATYPE(config::fieldrules::StepRule)

class TestFieldRules : public QObject {
    Q_OBJECT
private slots:
    // The limits of the dialogs' own boxes (how a rule checks a text is tested with the rules).
    void dialogBoxLimits()
    {
        const struct {
            const IntegerRule &rule;
            const char *text;
            const char *expected;
        } cases[] = {{UniverseRule, "64000", "63999"}, {FanRule, "5", "10"},     {FanRule, "61", "60"},
                     {FanRule, "hot", "10"},          {OctetRule, "256", "255"}, {OctetRule, "-1", "0"},
                     {OctetRule, "x1", "0"},          {OctetRule, "", "0"},      {OctetRule, "10", "10"},
                     {NullRule, "11", "10"},          {IntensityRule, "full", "100"}};
        for (const auto &c : cases) {
            const QString expected = QString::fromUtf8(c.expected);
            QCOMPARE(checkInteger(QString::fromUtf8(c.text), c.rule), expected);
            QCOMPARE(checkInteger(expected, c.rule), expected); // a checked box stays as it is
        }
    }

    void startChannel_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        for (auto [in, out] : {std::pair{"2", "1"}, {"3", "4"}, {"508", "508"}, {"509", "508"}, {"510", "508"},
                               {"600", "508"}, {"0", "1"}, {"-5", "1"}, {"7", "7"}, {"004", "004"}, {"abc", "1"},
                               {"", "1"}, {"99999999999999999999", "508"}})
            QTest::newRow(in) << QString::fromLatin1(in) << QString::fromLatin1(out);
    }
    void startChannel()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(checkStartChannel(text), expected);
    }

    void startChannelAlwaysOnThePixelGrid()
    {
        for (int v = -20; v <= 700; ++v) {
            const qint64 result = parseInteger(checkStartChannel(QString::number(v))).value();
            QVERIFY2(result >= 1 && result <= 508 && (result - 1) % 3 == 0, qPrintable(QString::number(v)));
            QVERIFY(qAbs(result - qBound(1, v, 508)) <= 1); // the nearest start, not any start
        }
    }

    void steppers_data()
    {
        QTest::addColumn<StepRule>("rule");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("chan up 505") << StartChannelStep << true << "505" << "508";
        QTest::newRow("chan up 506 stays") << StartChannelStep << true << "506" << "506";
        QTest::newRow("chan up 508 stays") << StartChannelStep << true << "508" << "508";
        QTest::newRow("chan down 4") << StartChannelStep << false << "4" << "1";
        QTest::newRow("chan down 3 stays") << StartChannelStep << false << "3" << "3";
        QTest::newRow("chan down 2 stays") << StartChannelStep << false << "2" << "2";
        QTest::newRow("chan up 2 does not snap") << StartChannelStep << true << "2" << "5";
        QTest::newRow("chan up text") << StartChannelStep << true << "x" << "4";
        QTest::newRow("chan down text") << StartChannelStep << false << "x" << "1";
        QTest::newRow("univ up text") << UniverseStep << true << "x" << "2";
        QTest::newRow("univ up 63999 stays") << UniverseStep << true << "63999" << "63999";
        QTest::newRow("univ up above max stays") << UniverseStep << true << "70000" << "70000";
        QTest::newRow("univ down 1 stays") << UniverseStep << false << "1" << "1";
        QTest::newRow("univ down 0099") << UniverseStep << false << "0099" << "98";
        QTest::newRow("fan up text") << FanStep << true << "" << "11";
        QTest::newRow("fan up 60 stays") << FanStep << true << "60" << "60";
        QTest::newRow("fan down 10 stays") << FanStep << false << "10" << "10";
        QTest::newRow("fan down text") << FanStep << false << "x" << "10";
        QTest::newRow("pixels up 340 of 340 stays") << pixelStep(340) << true << "340" << "340";
        QTest::newRow("pixels up 679 of 680") << pixelStep(680) << true << "679" << "680";
        QTest::newRow("pixels down 1 stays") << pixelStep(680) << false << "1" << "1";
    }
    void steppers()
    {
        QFETCH(StepRule, rule);
        QFETCH(bool, up);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(up ? stepUp(text, rule) : stepDown(text, rule), expected);
    }

    void fahrenheit()
    {
        const std::pair<int, QString> cases[] = {
            {10, "50 °F"}, {11, "52 °F"}, {13, "55 °F"}, {35, "95 °F"}, {60, "140 °F"}, {12, "54 °F"}};
        for (const auto &[c, f] : cases)
            QCOMPARE(fahrenheitText(c), f);
        // A stepper leaves an out-of-range number in the box, and the label is refreshed from it.
        QCOMPARE(fahrenheitText(valueOf(QStringLiteral("9223372036854775807"), FanRule)),
                 QStringLiteral("9223372036854775807 °F"));
        QCOMPARE(fahrenheitText(std::numeric_limits<qint64>::min()), QStringLiteral("-9223372036854775808 °F"));
    }

    void nicknameLimit()
    {
        QVERIFY(nicknameEditAllowed(31, 32));
        QVERIFY(!nicknameEditAllowed(32, 33));
        QVERIFY(!nicknameEditAllowed(10, 40)); // a paste cannot go past it either
        QVERIFY(nicknameEditAllowed(40, 39));  // a longer stored name can still be shortened
        QVERIFY(!nicknameEditAllowed(40, 41));
    }

    void speedChoice()
    {
        for (int chip = -1; chip <= 10; ++chip) {
            QCOMPARE(speedChoiceShown(chip, SpeedCaption), chip == 4 || chip == 7);
            QVERIFY(!speedChoiceShown(chip, NoSpeedCaption));
        }
    }

    void colourOrders()
    {
        QCOMPARE(config::colourorder::itemTexts(),
                 QStringList({"RGB", "RBG", "GRB", "GBR", "BRG", "BGR"}));
        const std::array<quint8, 3> earlier[] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {2, 0, 1}, {1, 2, 0}, {2, 1, 0}};
        for (int code = 0; code < 6; ++code) {
            QCOMPARE(config::colourorder::toEarlierForm(code), earlier[code]);
            QCOMPARE(config::colourorder::fromEarlierForm(earlier[code][0], earlier[code][1]), code);
            QCOMPARE(config::colourorder::comboIndex(quint8(code)), code);
        }
        for (int index : {-1, 6, 200})
            QCOMPARE(config::colourorder::toEarlierForm(index), earlier[5]);
        for (int code : {6, 7, 0xFF})
            QCOMPARE(config::colourorder::comboIndex(quint8(code)), -1);
    }

    void outputEnds_data()
    {
        QTest::addColumn<qint64>("universe");
        QTest::addColumn<qint64>("channel");
        QTest::addColumn<qint64>("pixels");
        QTest::addColumn<qint64>("group");
        QTest::addColumn<qint64>("endUniverse");
        QTest::addColumn<qint64>("endChannel");
        QTest::addColumn<qint64>("nextUniverse");
        QTest::addColumn<qint64>("nextChannel");
        QTest::newRow("170 pixels fill a universe") << 1LL << 1LL << 170LL << 1LL << 1LL << 510LL << 2LL << 1LL;
        QTest::newRow("171 pixels") << 1LL << 1LL << 171LL << 1LL << 2LL << 3LL << 2LL << 4LL;
        QTest::newRow("169 pixels") << 1LL << 1LL << 169LL << 1LL << 1LL << 507LL << 1LL << 508LL;
        QTest::newRow("from 508, 1 pixel") << 1LL << 508LL << 1LL << 1LL << 1LL << 510LL << 2LL << 1LL;
        QTest::newRow("from 508, 2 pixels") << 1LL << 508LL << 2LL << 1LL << 2LL << 3LL << 2LL << 4LL;
        QTest::newRow("100 in groups of 3") << 1LL << 1LL << 100LL << 3LL << 1LL << 102LL << 1LL << 103LL;
        QTest::newRow("340 in groups of 2") << 1LL << 1LL << 340LL << 2LL << 1LL << 510LL << 2LL << 1LL;
        QTest::newRow("340 pixels") << 1LL << 1LL << 340LL << 1LL << 2LL << 510LL << 3LL << 1LL;
        QTest::newRow("680 pixels") << 1LL << 1LL << 680LL << 1LL << 4LL << 510LL << 5LL << 1LL;
        QTest::newRow("past the last universe") << 63999LL << 1LL << 171LL << 1LL << 64000LL << 3LL << 64000LL << 4LL;
        QTest::newRow("no pixels") << 1LL << 1LL << 0LL << 1LL << 1LL << 0LL << 1LL << 1LL;
        QTest::newRow("group 0 counts as 1") << 1LL << 1LL << 10LL << 0LL << 1LL << 30LL << 1LL << 31LL;
        // A box not yet checked may hold any number: the sum stays exact and finite.
        QTest::newRow("absurd pixel count") << 1LL << 1LL << 4'000'000'000'000LL << 1LL << 5882353LL << 480LL
                                            << 5882353LL << 481LL;
    }
    void outputEnds()
    {
        QFETCH(qint64, universe);
        QFETCH(qint64, channel);
        QFETCH(qint64, pixels);
        QFETCH(qint64, group);
        QFETCH(qint64, endUniverse);
        QFETCH(qint64, endChannel);
        QFETCH(qint64, nextUniverse);
        QFETCH(qint64, nextChannel);
        const config::outputmapping::End end = config::outputmapping::endOf({{universe, channel}, pixels, group});
        QCOMPARE(end, (config::outputmapping::End{endUniverse, endChannel}));
        QCOMPARE(config::outputmapping::chainedStart(end), (config::outputmapping::Start{nextUniverse, nextChannel}));
    }

    void chainRunsThroughAllOutputs()
    {
        QList<config::outputmapping::Output> outputs(16, config::outputmapping::Output{{1, 1}, 171, 1});
        QList<config::outputmapping::Output> unchained = outputs;
        const auto ends = config::outputmapping::updateEnds(outputs, true);
        // 171 pixels take 513 channels: each output starts three channels further into the next universe.
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(outputs[i].start, (config::outputmapping::Start{1 + i, 1 + 3 * i}));
            QCOMPARE(ends[i], (config::outputmapping::End{2 + i, 3 + 3 * i}));
        }
        config::outputmapping::updateEnds(unchained, false);
        for (const auto &o : unchained)
            QCOMPARE(o.start, (config::outputmapping::Start{1, 1}));
    }
};

QTEST_GUILESS_MAIN(TestFieldRules)
#include "tst_field_rules.moc"
