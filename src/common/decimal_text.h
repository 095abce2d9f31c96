#pragma once
// Decimal numbers shown to the operator.

#include <QLocale>
#include <QString>

// The operator's decimal separator, never a group separator: a sensor reading of 6553.5 must not
// turn into "6,553.5" (or "6.553,5", which reads as six and a half thousandths).
inline QString decimalText(double value, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}
