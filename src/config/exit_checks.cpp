#include "exit_checks.h"

#include <QEvent>
#include <QLineEdit>

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
    if (event->type() == QEvent::FocusOut) {
        const auto it = m_checks.constFind(watched);
        if (it != m_checks.constEnd())
            (*it)();
    }
    return QObject::eventFilter(watched, event);
}
