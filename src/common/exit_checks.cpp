#include "common/exit_checks.h"

#include <QFocusEvent>
#include <QLineEdit>

namespace common {

ExitChecks::ExitChecks(QWidget *window) : QObject(window), m_window(window) {}

void ExitChecks::add(QLineEdit *box, std::function<void()> check)
{
    m_checks.insert(box, std::move(check));
    box->installEventFilter(this);
}

void ExitChecks::runFocused()
{
    if (QWidget *focused = m_window->focusWidget()) {
        const auto it = m_checks.constFind(focused);
        if (it != m_checks.constEnd())
            (*it)();
    }
}

void ExitChecks::stop()
{
    m_checks.clear();
}

bool ExitChecks::eventFilter(QObject *watched, QEvent *event)
{
    // A context menu or another application taking the focus is not leaving the box: the operator
    // may be about to paste into it, and comes back to it.
    if (event->type() == QEvent::FocusOut
        && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason
        && static_cast<QFocusEvent *>(event)->reason() != Qt::ActiveWindowFocusReason) {
        const auto it = m_checks.constFind(watched);
        if (it != m_checks.constEnd())
            (*it)();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace common
