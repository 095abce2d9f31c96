// The entry boxes' general rules, as every dialog's boxes obey them: whole numbers and gamma.

#include "common/field_rules.h"

#include <QLocale>
#include <QTest>

using namespace common;
Q_DECLARE_METATYPE(common::IntegerRule)

class TestGeneralFieldRules : public QObject {
    Q_OBJECT
private slots:
    void integerCheck_data()
    {
        QTest::addColumn<IntegerRule>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const IntegerRule wide{QStringLiteral("1"), 1, 63999};
        const IntegerRule pixels340{QStringLiteral("1"), 1, 340};
        const IntegerRule pixels680{QStringLiteral("1"), 1, 680};
        const IntegerRule nullPixels{QStringLiteral("0"), 0, 10};
        const IntegerRule intensity{QStringLiteral("100"), 1, 100};
        QTest::newRow("1 to 63999: text") << wide << "abc" << "1";
        QTest::newRow("1 to 63999: empty") << wide << "" << "1";
        QTest::newRow("1 to 63999: 0") << wide << "0" << "1";
        QTest::newRow("1 to 63999: leading zeros stay") << wide << "0099" << "0099";
        QTest::newRow("1 to 63999: negative") << wide << "-3" << "1";
        QTest::newRow("1 to 63999: decimal is text") << wide << "1.5" << "1";
        QTest::newRow("1 to 63999: blanks stay") << wide << " 12 " << " 12 ";
        QTest::newRow("1 to 63999: beyond 64 bits") << wide << "123456789012345678901234567890" << "63999";
        QTest::newRow("pixels 341 of 340") << pixels340 << "341" << "340";
        QTest::newRow("pixels 681 of 680") << pixels680 << "681" << "680";
        QTest::newRow("pixels 400 of 680") << pixels680 << "400" << "400";
        QTest::newRow("null 11") << nullPixels << "11" << "10";
        QTest::newRow("null -1") << nullPixels << "-1" << "0";
        QTest::newRow("intensity 0") << intensity << "0" << "1";
        QTest::newRow("intensity 150") << intensity << "150" << "100";
        QTest::newRow("intensity text is 100, not the minimum") << intensity << "full" << "100";
    }
    void integerCheck()
    {
        QFETCH(IntegerRule, rule);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(checkInteger(text, rule), expected);
        QCOMPARE(checkInteger(expected, rule), expected); // a checked box stays as it is
    }

    void gamma_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("tenths");
        const QLocale c = QLocale::c();
        const QLocale de(QLocale::German, QLocale::Germany);
        QTest::newRow("0.5") << c << "0.5" << "1.0" << 10;
        QTest::newRow("3.7") << c << "3.7" << "3.0" << 30;
        QTest::newRow("2.34") << c << "2.34" << "2.3" << 23;
        QTest::newRow("2.35 rounds up") << c << "2.35" << "2.4" << 24;
        QTest::newRow("2.25 rounds up") << c << "2.25" << "2.3" << 23;
        QTest::newRow("1.15 rounds up") << c << "1.15" << "1.2" << 12;
        QTest::newRow("2.96") << c << "2.96" << "3.0" << 30;
        QTest::newRow("2") << c << "2" << "2.0" << 20;
        QTest::newRow("text") << c << "abc" << "1.0" << 10;
        QTest::newRow("empty") << c << "" << "1.0" << 10;
        QTest::newRow("nan") << c << "nan" << "1.0" << 10;
        QTest::newRow("inf") << c << "inf" << "3.0" << 30;
        QTest::newRow("de 2,5") << de << "2,5" << "2,5" << 25;
        QTest::newRow("de 2,34") << de << "2,34" << "2,3" << 23;
        QTest::newRow("de 0,5") << de << "0,5" << "1,0" << 10;
        QTest::newRow("de text") << de << "zwei" << "1,0" << 10;
        // The other separator is taken too where it is the only one; the locale's is shown.
        QTest::newRow("de 2.7") << de << "2.7" << "2,7" << 27;
        QTest::newRow("de 1.000 is no thousand") << de << "1.000" << "1,0" << 10;
        QTest::newRow("c 2,7") << c << "2,7" << "2.7" << 27;
        QTest::newRow("de 2.7,1") << de << "2.7,1" << "1,0" << 10;
        QTest::newRow("c 1,5.5") << c << "1,5.5" << "1.0" << 10;
    }
    void gamma()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(int, tenths);
        const Gamma g = checkGamma(text, locale);
        QCOMPARE(g.text, expected);
        QCOMPARE(g.tenths, tenths);
        QCOMPARE(gammaTenths(g.text, locale), std::optional<int>(tenths)); // what is shown is what is read
        QCOMPARE(gammaText(tenths, locale), expected);
    }

    void gammaTenthsReadBack()
    {
        const QLocale de(QLocale::German, QLocale::Germany);
        QCOMPARE(gammaTenths(QStringLiteral("2,2"), de), std::optional<int>(22));
        QCOMPARE(gammaTenths(QStringLiteral("2.25"), QLocale::c()), std::optional<int>(22)); // halves to even
        QCOMPARE(gammaTenths(QStringLiteral("2.35"), QLocale::c()), std::optional<int>(24));
        QCOMPARE(gammaTenths(QStringLiteral("two"), QLocale::c()), std::nullopt);
        QCOMPARE(gammaTenths(QStringLiteral("2.2"), de), std::optional<int>(22));
        QCOMPARE(gammaTenths(QStringLiteral("2,2"), QLocale::c()), std::optional<int>(22));
    }
};

QTEST_GUILESS_MAIN(TestGeneralFieldRules)
#include "tst_general_field_rules.moc"
