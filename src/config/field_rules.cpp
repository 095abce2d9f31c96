#include "config/field_rules.h"

#include <cmath>
#include <limits>

namespace config::fieldrules {

qint64 pixelMaximum(bool sixteenOutputs)
{
    return sixteenOutputs ? PixelMaxSixteenOutputs : PixelMaxFourOutputs;
}

QString checkStartChannel(const QString &text)
{
    const auto parsed = parseInteger(text);
    QString result = parsed ? text : QStringLiteral("1");
    qint64 value = parsed.value_or(1);
    // (value - 1) / 3 never ends in a half, so the nearest pixel start is one step away at most.
    const qint64 offset = ((value - 1) % 3 + 3) % 3;
    if (offset != 0) {
        value += offset == 1 ? -1 : 1;
        result = QString::number(value);
    }
    if (value < 1)
        return QStringLiteral("1");
    if (value > StartChannelMax)
        return QString::number(StartChannelMax);
    return result;
}

StepRule pixelStep(qint64 pixelMax)
{
    return {QStringLiteral("1"), 1, pixelMax, 1};
}

qint64 celsiusToFahrenheit(qint64 celsius)
{
    // Until it is checked, the box may hold any whole number; the label saturates instead of
    // overflowing on one that no fan threshold could be.
    constexpr qint64 largest = std::numeric_limits<qint64>::max() / 9;
    if (celsius > largest || celsius < -largest)
        return celsius > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return std::llround(double(celsius * 9) / 5.0 + 32.0);
}

QString fahrenheitText(qint64 celsius)
{
    return QString::number(celsiusToFahrenheit(celsius)) + QStringLiteral(" °F");
}

bool nicknameEditAllowed(qsizetype lengthBefore, qsizetype lengthAfter)
{
    return lengthAfter <= NicknameTypedMax || lengthAfter <= lengthBefore;
}

bool speedChoiceShown(int chipIndex, const QString &speedCaption)
{
    return (chipIndex == 4 || chipIndex == 7) && speedCaption == SpeedCaption;
}

} // namespace config::fieldrules
