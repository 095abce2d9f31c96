#pragma once
// The rules the configuration dialogs' own entry boxes obey, on top of the general ones every
// dialog shares (which this namespace names too, so a form reads one set of rules).

#include "common/field_rules.h"

#include <QString>
#include <QtGlobal>

namespace config::fieldrules {

using common::checkGamma;
using common::checkInteger;
using common::Gamma;
using common::GammaMaxTenths;
using common::GammaMinTenths;
using common::gammaTenths;
using common::gammaText;
using common::IntegerRule;
using common::parseInteger;
using common::StepRule;
using common::stepDown;
using common::stepUp;
using common::valueOf;

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

inline const StepRule UniverseStep{QStringLiteral("1"), 1, UniverseMax, 1};
inline const StepRule StartChannelStep{QStringLiteral("1"), 3, 506, 3};
inline const StepRule FanStep{QStringLiteral("10"), 1, 60, 10};
StepRule pixelStep(qint64 pixelMax);

// "95 °F" for 35 °C: rounded to the nearest degree (C × 9 / 5 never ends in a half).
qint64 celsiusToFahrenheit(qint64 celsius);
QString fahrenheitText(qint64 celsius);

// Typing stops at 32 characters; a longer nickname kept by a controller may still be shortened.
inline constexpr int NicknameTypedMax = 32;
bool nicknameEditAllowed(qsizetype lengthBefore, qsizetype lengthAfter);

// The speed choice exists only for the chips that offer two data rates ("WS2811/12" at 4, "TM1804"
// at 7), and only when the firmware offers the choice, which the caption "Speed:" records.
bool speedChoiceShown(int chipIndex, const QString &speedCaption);
inline const QString SpeedCaption = QStringLiteral("Speed:");
inline const QString NoSpeedCaption = QStringLiteral("Sp");

} // namespace config::fieldrules
