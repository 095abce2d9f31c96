#pragma once
// Which firmware a network controller runs, as far as the settings it offers are concerned.
//
// A controller reports its version in the 20-character Firmware text: "V", then major, middle and
// minor number separated by dots, NUL-padded ("V1.4.5"). The version is read from the last "V" of
// the text. A text that does not have that form (a bootloader's text, garbage, a number missing,
// anything but NULs after the minor number) counts as version 0.0.0: such a controller is offered
// only what every firmware supports.

#include "tessara_ctrl.h"

#include <QtGlobal>
#include <array>
#include <optional>

struct TessFirmwareVersion {
    qint64 major = 0;
    qint64 middle = 0;
    qint64 minor = 0;

    bool operator==(const TessFirmwareVersion &) const = default;
};

// The version in a Firmware text, or nothing when the text is not of the form above. Never looks
// outside the 20 characters.
std::optional<TessFirmwareVersion> tessFirmwareVersion(const std::array<char16_t, 20> &firmware);

// True when the controller's firmware is major.imp.minor or later.
bool TessFirmwareCheck(const TTessaraCtrl &controller, int major, int imp, int minor);
