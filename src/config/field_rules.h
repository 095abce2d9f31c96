#pragma once
// The rules every numeric entry box of the configuration dialogs obeys. Each takes the box's text
// and gives the text the box must hold afterwards; nothing is ever reported to the operator, a bad
// entry is silently replaced. The forms only decide when a rule runs (the box loses focus, a
// stepper is pressed); the rules decide what the box then shows.

#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace fieldrules {

// A whole number as the platform converts one (surrounding blanks and a sign allowed, decimal
// digits only). A run of digits too long for 64 bits saturates instead of failing, so an absurdly
// large entry is clamped to the box's maximum rather than treated as text.
std::optional<qint64> parseInteger(const QString &text);

// Range check of a box: a text that is not a whole number becomes `fallback`; a number below
// `minimum` becomes the minimum, one above `maximum` the maximum; anything else stays as typed
// (leading zeros included).
struct IntegerRule {
    QString fallback;
    qint64 minimum;
    qint64 maximum;
    qint64 fallbackValue() const;
};
QString checkInteger(const QString &text, const IntegerRule &rule);
// The value the box stands for: its number, or the fallback's when it holds none.
qint64 valueOf(const QString &text, const IntegerRule &rule);

// One octet of an IP address or subnet mask.
inline const IntegerRule OctetRule{QStringLiteral("0"), 0, 255};
// Universes, both of the simple mapping and of the DMX outputs.
inline constexpr qint64 UniverseMax = 63999;
inline const IntegerRule UniverseRule{QStringLiteral("1"), 1, UniverseMax};
// Advanced mapping: null pixels before an output's first, and its intensity limit in percent.
inline const IntegerRule NullRule{QStringLiteral("0"), 0, 10};
inline const IntegerRule IntensityRule{QStringLiteral("100"), 1, 100};
// Fan threshold in degrees Celsius.
inline const IntegerRule FanRule{QStringLiteral("10"), 10, 60};

// Pixels an output can drive: a controller with 16 outputs has half the memory per output.
inline constexpr qint64 PixelMaxSixteenOutputs = 340;
inline constexpr qint64 PixelMaxFourOutputs = 680;
qint64 pixelMaximum(bool sixteenOutputs);

// Start channels lie on the first channel of a pixel: 1, 4, 7, ... 508. A text that is not a
// number becomes "1", a value off the grid moves to the nearest pixel start (never a tie), and
// the result is held within 1 to 508.
inline constexpr qint64 StartChannelMax = 508;
QString checkStartChannel(const QString &text);

// A ▲/▼ button: a box without a number first gets `fallback`; the step is then written only when
// the value is below `upBelow` (▲) or above `downAbove` (▼). Steppers neither snap nor clamp.
struct StepRule {
    QString fallback;
    qint64 step;
    qint64 upBelow;
    qint64 downAbove;
};
QString stepUp(const QString &text, const StepRule &rule);
QString stepDown(const QString &text, const StepRule &rule);

inline const StepRule UniverseStep{QStringLiteral("1"), 1, UniverseMax, 1};
inline const StepRule StartChannelStep{QStringLiteral("1"), 3, 506, 3};
inline const StepRule FanStep{QStringLiteral("10"), 1, 60, 10};
StepRule pixelStep(qint64 pixelMax);

// "95 °F" for 35 °C: rounded to the nearest degree (C × 9 / 5 never ends in a half).
qint64 celsiusToFahrenheit(qint64 celsius);
QString fahrenheitText(qint64 celsius);

// Gamma runs from 1.0 to 3.0 in tenths; texts use the locale's decimal separator both ways.
inline constexpr int GammaMinTenths = 10;
inline constexpr int GammaMaxTenths = 30;
// "2.2" (or "2,2") for 22.
QString gammaText(int tenths, const QLocale &locale = QLocale());
// The tenths a gamma text stands for, rounded to the nearest tenth with halves to even;
// nothing when the text is not a decimal number.
std::optional<int> gammaTenths(const QString &text, const QLocale &locale = QLocale());
// A gamma box's exit check: a text that is not a number becomes 1.0, the value is held within
// 1.0 to 3.0 and rounded to one decimal (a decimal half rounds up, as the operator reads it).
struct Gamma {
    QString text;
    int tenths;
};
Gamma checkGamma(const QString &text, const QLocale &locale = QLocale());

// Typing stops at 32 characters; a longer nickname kept by a controller may still be shortened.
inline constexpr int NicknameTypedMax = 32;
bool nicknameEditAllowed(qsizetype lengthBefore, qsizetype lengthAfter);

// The speed choice exists only for the chips that offer two data rates ("WS2811/12" at 4, "TM1804"
// at 7), and only when the firmware offers the choice, which the caption "Speed:" records.
bool speedChoiceShown(int chipIndex, const QString &speedCaption);
inline const QString SpeedCaption = QStringLiteral("Speed:");
inline const QString NoSpeedCaption = QStringLiteral("Sp");

} // namespace fieldrules
