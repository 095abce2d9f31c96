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

#include <cmath>

// Shrinks a control's font in half-point steps, from its present size down (to 6 pt at the least),
// until `text` fits `width` pixels: texts keep the size they were laid out for where the
// platform's fonts allow, and never spill over. Every size measured costs a font engine while the
// program starts, so the size is estimated from the first measurement (a text's advance grows with
// its size) and only the steps next to the estimate are measured.
inline void fitFont(QWidget *w, const QString &text, int width)
{
    constexpr qreal Step = 0.5;
    constexpr qreal Least = 6;
    QFont f = w->font();
    const qreal start = f.pointSizeF();
    const int advance = QFontMetrics(f).horizontalAdvance(text);
    if (advance <= width || start <= Least) {
        w->setFont(f); // set, as every fitted control's is: it no longer follows its parent's
        return;
    }
    const auto sizeAt = [&](int steps) { return start - steps * Step; };
    const auto fits = [&](int steps) {
        QFont smaller = f;
        smaller.setPointSizeF(sizeAt(steps));
        return QFontMetrics(smaller).horizontalAdvance(text) <= width;
    };
    // The first step at or below 6 pt is the last one taken, whether the text fits there or not.
    const int most = int(std::ceil((start - Least) / Step));
    int steps = qBound(1, int(std::ceil((start - start * qMax(width, 0) / advance) / Step)), most);
    // The largest size that fits: up while the next larger one fits, down while this one does not.
    while (steps > 1 && fits(steps - 1))
        --steps;
    while (steps < most && !fits(steps))
        ++steps;
    f.setPointSizeF(sizeAt(steps));
    w->setFont(f);
}
