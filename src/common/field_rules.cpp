#include "common/field_rules.h"

#include "common/decimal_text.h"

#include <cmath>
#include <limits>

namespace common {

std::optional<qint64> parseInteger(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    constexpr qint64 limit = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    return negative ? -value : value;
}

qint64 IntegerRule::fallbackValue() const
{
    return parseInteger(fallback).value_or(minimum);
}

QString checkInteger(const QString &text, const IntegerRule &rule)
{
    const auto parsed = parseInteger(text);
    const qint64 value = parsed.value_or(rule.fallbackValue());
    if (value < rule.minimum)
        return QString::number(rule.minimum);
    if (value > rule.maximum)
        return QString::number(rule.maximum);
    return parsed ? text : rule.fallback;
}

qint64 valueOf(const QString &text, const IntegerRule &rule)
{
    return parseInteger(text).value_or(rule.fallbackValue());
}

namespace {
QString step(const QString &text, const StepRule &rule, bool up)
{
    const auto parsed = parseInteger(text);
    const qint64 value = parsed.value_or(parseInteger(rule.fallback).value_or(0));
    if (up && value < rule.upBelow)
        return QString::number(value + rule.step);
    if (!up && value > rule.downAbove)
        return QString::number(value - rule.step);
    return parsed ? text : rule.fallback;
}
} // namespace

QString stepUp(const QString &text, const StepRule &rule)
{
    return step(text, rule, true);
}

QString stepDown(const QString &text, const StepRule &rule)
{
    return step(text, rule, false);
}

QString gammaText(int tenths, const QLocale &locale)
{
    return locale.toString(tenths / 10.0, 'f', 1);
}

std::optional<int> gammaTenths(const QString &text, const QLocale &locale)
{
    const std::optional<double> read = readDecimal(text, locale);
    if (!read || !std::isfinite(*read) || std::fabs(*read) > 1e8)
        return std::nullopt;
    return int(std::nearbyint(*read * 10.0)); // the default rounding mode: halves to even
}

Gamma checkGamma(const QString &text, const QLocale &locale)
{
    double value = readDecimal(text, locale).value_or(1.0);
    if (!(value >= 1.0)) // NaN is not a gamma either
        value = 1.0;
    if (value > 3.0)
        value = 3.0;
    // Typed decimals are rounded as written: 2.35 is a half to the operator, even though the
    // double nearest to it lies a hair below.
    const int tenths = qBound(GammaMinTenths, int(std::floor(value * 10.0 + 0.5 + 1e-9)), GammaMaxTenths);
    return {gammaText(tenths, locale), tenths};
}

} // namespace common
