#pragma once
// What a command line names: a controller (TARGET) and the settings to change (FIELD=VALUE).
// A value is taken only when the controller's dialog would keep it as typed: where the dialog
// would silently put a limit in its place, the command line refuses it and names the field,
// since a script should not change something other than what it asked for.

#include "rdm/quorix_edits.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

struct Target {
    enum Kind { DeviceId, Mac, Ip };
    Kind kind = DeviceId;
    QString text;          // as the tables and the settings file write it
    quint32 deviceId = 0;  // DeviceId only
    bool usb() const { return kind == DeviceId; }
};

// "0000002A" (a USB controller's device ID, as the Serial column shows it), "02:47:4C:00:00:02"
// (a network controller's MAC; "-" also separates) or "192.168.1.20" (its IP address).
std::optional<Target> parseTarget(const QString &text, QString *error);

// The USB controller dialog's fields by the settings file's names: nickname, mode, startAddress,
// gamma. Each is set only when named.
struct UsbFieldValues {
    std::optional<QString> nickname;
    std::optional<int> mode;
    std::optional<int> startAddress;
    std::optional<int> gammaTenths;
};
inline const QStringList UsbFieldNames{QStringLiteral("nickname"), QStringLiteral("mode"),
                                       QStringLiteral("startAddress"), QStringLiteral("gamma")};

// FIELD=VALUE arguments; nothing and `error` ("gamma: 3.5 is outside 1.0 to 3.0") when a field is
// unknown, named twice, or its value is not one the dialog would keep. The start address is
// checked against its mode later, when the controller's mode is known.
std::optional<UsbFieldValues> parseUsbFields(const QStringList &assignments, QString *error);

// The dialog's values after typing `values` over what it showed for a controller. Nothing and
// `error` when the start address lies beyond the limit of the mode the controller would then
// have.
std::optional<rdm::QuorixEdits> usbEdited(const rdm::QuorixEdits &shown, const UsbFieldValues &values,
                                          QString *error);

} // namespace cli
