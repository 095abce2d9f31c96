#pragma once
// Tells a network controller to leave its application firmware and start its bootloader. No widget
// here: the window's trigger (trigger_bootloader.h) opens the upload dialog after it, and the
// command-line program uploads at once.
//
// The trigger datagram is net::orvantic::bootloaderTrigger().

#include "common/result.h"
#include "net/tessara_ctrl.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace firmware {

// How long the bootloader needs before it accepts the upload connection.
inline constexpr int BootloaderStartMs = 1000;

// One datagram to a host (dotted text), through whoever owns the port.
using DatagramSend = std::function<Result<>(const QByteArray &datagram, const QString &host)>;

// Sends the trigger through `send` to `controller`'s CurrentIP, then blocks for `waitMs`, so the
// bootloader listens when this returns. When the send fails it returns the failure at once.
Result<> startBootloader(const TTessaraCtrl &controller, const DatagramSend &send, int waitMs = BootloaderStartMs);

} // namespace firmware
