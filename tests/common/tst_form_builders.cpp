// The shared form builders: names, spots and what a screen reader reads.

#include "common/busy_wheel.h"
#include "common/form_builders.h"
#include "common/named_control.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

namespace {
QString readName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QStringLiteral("<no interface>");
}
} // namespace

class TestFormBuilders : public QObject {
    Q_OBJECT

private slots:
    // The activity indicator visibly turns while shown, and is read as a busy progress bar.
    void busyWheelTurnsWhileShown()
    {
        BusyWheel wheel;
        wheel.resize(24, 24);
        wheel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wheel));
        const QImage first = wheel.grab().toImage();
        QTRY_VERIFY(wheel.grab().toImage() != first);
        QCOMPARE(wheel.maximum(), 0);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&wheel);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::ProgressBar);
    }

    // A label is read by what it shows now, so a label showing state is never read by a fixed name.
    void labelsAreReadByTheirText()
    {
        QWidget form;
        QLabel *count = common::forms::label(&form, "DevicesLabel", QStringLiteral("Found 0 Device(s)"), {540, 520, 203});
        QCOMPARE(count->objectName(), QStringLiteral("DevicesLabel"));
        QCOMPARE(count->geometry(), QRect(540, 520, 203, common::forms::RowHeight));
        QVERIFY(count->accessibleName().isEmpty());
        count->setText(QStringLiteral("Found 5 Device(s)"));
        QCOMPARE(readName(count), QStringLiteral("Found 5 Device(s)"));
    }

    // Buttons of each kind are named by what they show unless told otherwise; push buttons never
    // take Enter from an entry box.
    void buttonsAreNamedByTheirText()
    {
        QWidget form;
        auto *ok = common::forms::button(&form, "btnOK", QStringLiteral("OK"), {224, 328, 80});
        auto *search = common::forms::button(&form, "Net_Search", QStringLiteral("Search"), {8, 16, 97},
                                     QStringLiteral("Search for network devices"));
        auto *dhcp = common::forms::button<QRadioButton>(&form, "radioDHCP", QStringLiteral("DHCP"), {152, 94, 80});
        auto *onOff = common::forms::button<QCheckBox>(&form, "switchOut1", QString(), {50, 44, 22, 20},
                                               QStringLiteral("DMX Output 1 On"));
        QCOMPARE(ok->accessibleName(), QStringLiteral("OK"));
        QCOMPARE(search->accessibleName(), QStringLiteral("Search for network devices"));
        QCOMPARE(dhcp->accessibleName(), QStringLiteral("DHCP"));
        QCOMPARE(onOff->accessibleName(), QStringLiteral("DMX Output 1 On"));
        QCOMPARE(readName(search), QStringLiteral("Search for network devices"));
        QVERIFY(!ok->autoDefault() && !search->autoDefault());
        QCOMPARE(ok->geometry(), QRect(224, 328, 80, common::forms::ButtonHeight));
        QCOMPARE(dhcp->geometry(), QRect(152, 94, 80, common::forms::RowHeight));
        QCOMPARE(onOff->geometry(), QRect(50, 44, 22, 20));
        QCOMPARE(dhcp->objectName(), QStringLiteral("radioDHCP"));
    }

    void editsAndSteppers()
    {
        QWidget form;
        auto *box = common::forms::edit(&form, "txtStartUniv", QStringLiteral("Start Universe"), {126, 22, 56},
                                QStringLiteral("0"));
        QCOMPARE(box->text(), QStringLiteral("0"));
        QCOMPARE(box->accessibleName(), QStringLiteral("Start Universe"));
        const auto [up, down] = common::forms::steppers(&form, "btnUnivUp", "btnUnivDown", QStringLiteral("Start Universe"),
                                                186, 22);
        QCOMPARE(up->objectName(), QStringLiteral("btnUnivUp"));
        QCOMPARE(down->objectName(), QStringLiteral("btnUnivDown"));
        QCOMPARE(up->accessibleName(), QStringLiteral("Start Universe up"));
        QCOMPARE(down->accessibleName(), QStringLiteral("Start Universe down"));
        QCOMPARE(up->text(), QStringLiteral("▲"));
        QCOMPARE(down->text(), QStringLiteral("▼"));
        // Side by side, not overlapping.
        QVERIFY(up->geometry().right() < down->geometry().left());
        QCOMPARE(up->y(), down->y());
    }

    // A fitted text gets the largest half-point size from its own down that fits, as stepping
    // down half a point at a time finds it, and 6 pt (or just under) at the least.
    void fittedFontIsTheLargestThatFits()
    {
        const auto stepped = [](QFont f, const QString &text, int width) {
            while (f.pointSizeF() > 6 && QFontMetrics(f).horizontalAdvance(text) > width)
                f.setPointSizeF(f.pointSizeF() - 0.5);
            return f.pointSizeF();
        };
        QLabel label;
        for (const QString &text : {QStringLiteral("Network Adapter:"), QStringLiteral("Using /dev/ttyUSB0"),
                                    QStringLiteral("Files  \u25be"), QStringLiteral("W")}) {
            for (qreal start : {9.0, 12.0, 14.0, 14.5}) {
                QFont f = label.font();
                f.setPointSizeF(start);
                const int full = QFontMetrics(f).horizontalAdvance(text);
                for (int width : {full + 5, full, full - 1, full * 3 / 4, full / 2, full / 5, 0}) {
                    label.setFont(f);
                    fitFont(&label, text, width);
                    QCOMPARE(label.font().pointSizeF(), stepped(f, text, width));
                    QVERIFY(label.testAttribute(Qt::WA_SetFont));
                }
            }
        }
    }
};

QTEST_MAIN(TestFormBuilders)
#include "tst_form_builders.moc"
