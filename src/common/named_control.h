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

#include <QFontMetrics>

// Shrinks a control's font, from its present size down, until `text` fits `width` pixels: texts
// keep the size they were laid out for where the platform's fonts allow, and never spill over.
inline void fitFont(QWidget *w, const QString &text, int width)
{
    QFont f = w->font();
    while (f.pointSizeF() > 6 && QFontMetrics(f).horizontalAdvance(text) > width)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    w->setFont(f);
}
