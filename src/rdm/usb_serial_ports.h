#pragma once
// The serial ports that sit on a USB device, read from the system's device tree alone. Asking the
// serial port library for every port opens each of the system's few hundred terminals; this looks
// only at those with hardware behind them.

#include <QStringList>
#include <optional>

namespace rdm {

// Names of the ports in `classDir` (a folder like /sys/class/tty: one entry per port, whose
// `device` leads to the hardware) that have a USB device among the hardware's ancestors; nothing
// when the folder is not there (another system) and the answer has to come from elsewhere. In
// the order of their names.
std::optional<QStringList> usbSerialPorts(const QString &classDir = QStringLiteral("/sys/class/tty"));

} // namespace rdm
