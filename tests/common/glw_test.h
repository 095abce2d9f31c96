#pragma once
// Helpers for form tests.

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace glwtest {

// Calls `answer` with the next modal window once it is shown (message boxes, dialogs opened by a
// click). Gives up after `timeoutMs`. Use it before the call that opens the window.
inline void answerModal(std::function<void(QWidget *)> answer, int timeoutMs = 5000)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer, timeoutMs] {
        QWidget *modal = QApplication::activeModalWidget();
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

// The texts of one table row, an empty text for an empty cell.
inline QStringList rowTexts(const QTableWidget *grid, int row)
{
    QStringList cells;
    for (int c = 0; c < grid->columnCount(); ++c)
        cells << (grid->item(row, c) ? grid->item(row, c)->text() : QString());
    return cells;
}

} // namespace glwtest
