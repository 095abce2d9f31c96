#pragma once
// Every control carries its own name as objectName, so tests and UI-automation tools find it,
// and an accessible name that says what it is for screen readers.

#include <QLabel>
#include <QString>
#include <QWidget>

template <class W>
W *named(W *w, const char *objectName, const QString &accessibleName)
{
    w->setObjectName(QLatin1String(objectName));
    w->setAccessibleName(accessibleName);
    return w;
}

// A label that shows state (a count, the port in use, a status line, a device's own text). It gets
// no accessible name: on Qt that would replace the text, and a screen reader would read "Device
// count" instead of the count; `description` may say what the text is about. Its text is always
// plain, since it may come from a device, and rich text would be rendered (and may load files).
inline QLabel *stateLabel(QLabel *label, const char *objectName, const QString &description = QString())
{
    label->setObjectName(QLatin1String(objectName));
    label->setAccessibleDescription(description);
    label->setTextFormat(Qt::PlainText);
    return label;
}

#include <QStatusBar>

// A status line, read like a state label: screen readers get the message it shows as its name (and
// hear each new one), and `description` says what the line is about.
inline QStatusBar *statusLine(QStatusBar *bar, const char *objectName, const QString &description)
{
    bar->setObjectName(QLatin1String(objectName));
    bar->setAccessibleDescription(description);
    QObject::connect(bar, &QStatusBar::messageChanged, bar,
                     [bar](const QString &message) { bar->setAccessibleName(message); });
    return bar;
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
