#pragma once
// The temperature both device tables show.

#include <QLocale>
#include <QString>

// "21.5°C / 70.7°F": both scales with one decimal, in the operator's locale.
inline QString temperatureText(double celsius)
{
    const QLocale locale;
    return locale.toString(celsius, 'f', 1) + QStringLiteral("\u00B0C / ")
        + locale.toString(celsius * 1.8 + 32.0, 'f', 1) + QStringLiteral("\u00B0F");
}
