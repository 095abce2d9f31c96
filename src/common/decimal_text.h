#pragma once
// Decimal numbers shown to and typed by the operator.

#include <QLocale>
#include <QString>
#include <optional>

// The operator's decimal separator, never a group separator: a sensor reading of 6553.5 must not
// turn into "6,553.5" (or "6.553,5", which reads as six and a half thousandths).
inline QString decimalText(double value, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

// A decimal number typed into a box that takes one number. The locale's decimal separator is taken,
// and so is the other one of '.' and ',' where it is the text's only separator: in such a box
// neither can be a group separator, so "2.7" in a German locale is 2,7 and not an error (nor 27).
// Nothing when the text is no number.
inline std::optional<double> readDecimal(const QString &typed, const QLocale &locale = QLocale())
{
    const QString text = typed.trimmed();
    QLocale strict = locale;
    strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    if (const double value = strict.toDouble(text, &ok); ok)
        return value;
    if (text.count(QLatin1Char('.')) + text.count(QLatin1Char(',')) != 1)
        return std::nullopt;
    QString point = text;
    point.replace(QLatin1Char(','), QLatin1Char('.'));
    if (const double value = QLocale::c().toDouble(point, &ok); ok)
        return value;
    return std::nullopt;
}
