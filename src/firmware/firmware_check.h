#pragma once
// Which firmware a network controller runs, as far as the settings it offers are concerned.
//
// A controller reports its version in the 20-character Firmware text: "V", then major, middle and
// minor number separated by dots, NUL-padded ("V1.4.5"). Some controllers put a tail after the
// minor number ("V1.4.5b", a blank before the padding); the tail says nothing about the settings
// offered and is ignored. A text with no readable version (a bootloader's text, garbage, a number
// missing) counts as version 0.0.0 for the check: such a controller is offered only what every
// firmware supports, and the workflow keeps the record's own values for what that hides.

#include "net/tessara_ctrl.h"

#include <QtGlobal>
#include <array>
#include <optional>

struct TessFirmwareVersion {
    qint64 major = 0;
    qint64 middle = 0;
    qint64 minor = 0;

    bool operator==(const TessFirmwareVersion &) const = default;
};

// The version in a Firmware text, or nothing when the text holds none. Read from the last "V" that
// starts a version; a number too long for any real version saturates rather than wraps. Never
// looks outside the 20 characters.
std::optional<TessFirmwareVersion> tessFirmwareVersion(const std::array<char16_t, 20> &firmware);

// True when the controller's firmware is major.imp.minor or later.
bool TessFirmwareCheck(const TTessaraCtrl &controller, int major, int imp, int minor);
