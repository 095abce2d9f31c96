#pragma once
// Every control carries its own name as objectName, so tests and UI-automation tools find it,
// and an accessible name that says what it is for screen readers.

#include <QString>
#include <QWidget>

template <class W>
W *named(W *w, const char *objectName, const QString &accessibleName)
{
    w->setObjectName(QLatin1String(objectName));
    w->setAccessibleName(accessibleName);
    return w;
}
