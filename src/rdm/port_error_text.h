#pragma once
// Why a serial port could not be opened, in words an operator can act on. "Can't open COM port!"
// stays the message; this is its detail.

#include <QString>

namespace rdm {

enum class PortFailure { Missing, Busy, PermissionDenied, Other };

// Where the system finds the port `name`: a path is itself; a bare name lives in /dev on Unix.
QString portSystemLocation(const QString &name);

// The group that owns the device at `path` ("dialout" on Debian), or empty where there is none
// the operator could join.
QString deviceGroup(const QString &path);

// `name` is the port as chosen, `path` where the system looked for it, `systemText` the system's
// own words, `group` as deviceGroup gives it.
QString portOpenDetail(PortFailure failure, const QString &name, const QString &path, const QString &systemText,
                       const QString &group);

} // namespace rdm
