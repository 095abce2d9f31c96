#pragma once
// Helpers for driving the configuration dialogs as an operator does.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QTabWidget>
#include <QTest>

namespace configtest {

// Shows the window and makes it active, so focus moves as it does on a desktop.
inline bool showActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

// Brings the tab page holding `w` to the front, as the operator must before using it.
inline void bringToFront(QWidget *w)
{
    for (QWidget *p = w; p; p = p->parentWidget())
        if (auto *tabs = qobject_cast<QTabWidget *>(p->parentWidget() ? p->parentWidget()->parentWidget() : nullptr))
            if (tabs->indexOf(p) >= 0)
                tabs->setCurrentWidget(p);
}

// Clicks into the box, replaces its text by typing, and stays in it.
inline void typeInto(QLineEdit *box, const QString &text)
{
    bringToFront(box);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

// Clicks a control with the mouse, which takes the focus from whatever box had it.
inline void click(QWidget *w)
{
    bringToFront(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w)
                                                 ? QPoint(8, w->height() / 2)
                                                 : w->rect().center());
}

// Every caption of the window lies within its control (hidden controls included: the opener may
// show them). Returns the ones that do not.
inline QStringList textsThatDoNotFit(QWidget *window)
{
    QStringList bad;
    auto check = [&](QWidget *w, const QString &text, int need, int have) {
        if (need > have)
            bad << QStringLiteral("%1 \"%2\" needs %3 has %4").arg(w->objectName(), text).arg(need).arg(have);
    };
    const int margin = window->style()->pixelMetric(QStyle::PM_ButtonMargin);
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (auto *l = qobject_cast<QLabel *>(w)) {
            if (l->text().isEmpty())
                continue;
            if (l->wordWrap())
                check(w, l->text(), l->heightForWidth(l->width()), l->height());
            else
                check(w, l->text(), l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width());
        } else if (auto *b = qobject_cast<QPushButton *>(w)) {
            check(w, b->text(), b->fontMetrics().horizontalAdvance(b->text()) + 2 * margin, b->width());
        } else if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w)) {
            if (!static_cast<QAbstractButton *>(w)->text().isEmpty())
                check(w, static_cast<QAbstractButton *>(w)->text(), w->sizeHint().width(), w->width());
        } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
            check(w, g->title(), g->fontMetrics().horizontalAdvance(g->title()) + 16, g->width());
        } else if (auto *c = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < c->count(); ++i)
                check(w, c->itemText(i), c->fontMetrics().horizontalAdvance(c->itemText(i)) + 30, c->width());
        }
    }
    return bad;
}

} // namespace configtest
