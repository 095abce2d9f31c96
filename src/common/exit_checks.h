#pragma once
// Runs each entry box's check when the box loses focus, the way an operator leaves a field: by
// clicking or tabbing to another control, a stepper, a check box, OK or Cancel. A handler that
// reads boxes calls runFocused() first, so a box still holding what was typed (Enter, Escape, a
// control that takes no focus) is checked before anything reads it. Every check is idempotent.

#include <QHash>
#include <QObject>
#include <functional>

class QLineEdit;
class QWidget;

namespace common {

class ExitChecks : public QObject {
public:
    explicit ExitChecks(QWidget *window);

    void add(QLineEdit *box, std::function<void()> check);
    // The check of the box that holds the window's focus, if it has one.
    void runFocused();
    // No more checks: a window being destroyed moves the focus between boxes that are half gone.
    void stop();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    QHash<QObject *, std::function<void()>> m_checks;
};

} // namespace common
