#pragma once
// The rules an entry box obeys, whichever dialog holds it. Each takes the box's text and gives the
// text the box must hold afterwards; nothing is ever reported to the operator, a bad entry is
// silently replaced. The forms only decide when a rule runs (the box loses focus, a stepper is
// pressed); the rules decide what the box then shows.

#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace common {

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

} // namespace common
