#pragma once
// The application's general error handling: a failure no dialog words for itself (a socket or
// file error) is shown in a message box with its text, and the event loop goes on; what changed
// before the failure stays changed. Windows hand their failures here rather than throwing them.
//
// The application installs how the box is shown (its title, and a sink tests capture through);
// without one, a plain critical box over the active window is shown.

#include "common/result.h"

void showFailure(const Failure &failure);

// Installs how failures are shown (nullptr: the plain box); returns the one installed before.
using FailureShower = void (*)(const QString &text);
FailureShower setFailureShower(FailureShower shower);
