#pragma once
// The temperature both device tables show.

#include "common/decimal_text.h"

#include <QString>

// "21.5°C / 70.7°F": both scales with one decimal, in the operator's locale.
inline QString temperatureText(double celsius)
{
    return decimalText(celsius, 1) + QStringLiteral("\u00B0C / ") + decimalText(celsius * 1.8 + 32.0, 1)
        + QStringLiteral("\u00B0F");
}
