#pragma once
// Helpers for form tests.

#include "common/error_handling.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace glwtest {

// Calls `answer` with the next modal window of type T once it is the top modal one (message boxes,
// dialogs opened by a click); a modal window of another type is left to run. Gives up after
// `timeoutMs`. Use it before the call that opens the window. The window system may not have made
// it the active window yet: an answer that types must wait for that (QTest::qWaitForWindowActive),
// or its keys go to the window below.
template <class T>
void answerModalOf(std::function<void(T *)> answer, int timeoutMs = 5000)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer, timeoutMs] {
        T *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (modal && modal->isVisible()) {
            timer->stop();
            answer(modal);
            timer->deleteLater();
            delete clock;
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start();
}

// Calls `answer` with the next modal window, whatever it is.
inline void answerModal(std::function<void(QWidget *)> answer, int timeoutMs = 5000)
{
    answerModalOf<QWidget>(std::move(answer), timeoutMs);
}

// The texts of one table row as a screen reader reads them, an empty text for an empty cell.
inline QStringList rowTexts(const QTableView *grid, int row)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(const_cast<QTableView *>(grid));
    QAccessibleTableInterface *table = a ? a->tableInterface() : nullptr;
    if (!table)
        return {QStringLiteral("<no accessible table>")};
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) {
        QAccessibleInterface *cell = table->cellAt(row, c);
        cells << (cell ? cell->text(QAccessible::Name) : QStringLiteral("<no cell %1, %2>").arg(row).arg(c));
    }
    // Without a screen reader attached the view tells the accessible table of no row that goes,
    // so its cells would outlive the rows they were made for: the next reading starts afresh.
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(a));
    return cells;
}

// While it lives, what windows hand to the general error handling is kept in `texts` instead of
// being shown in a message box.
class FailureCapture {
public:
    FailureCapture() : m_previous(setFailureShower(&FailureCapture::keep)) { captured().clear(); }
    ~FailureCapture() { setFailureShower(m_previous); }
    FailureCapture(const FailureCapture &) = delete;
    FailureCapture &operator=(const FailureCapture &) = delete;

    QStringList texts() const { return captured(); }

private:
    static QStringList &captured()
    {
        static QStringList texts;
        return texts;
    }
    static void keep(const QString &text) { captured().append(text); }

    FailureShower m_previous;
};

} // namespace glwtest
