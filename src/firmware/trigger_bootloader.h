#pragma once
// Tells a network controller to leave its application firmware and start its bootloader, then
// opens the upload dialog for it.
//
// The trigger datagram is net::orvantic::bootloaderTrigger().

#include "common/result.h"
#include "net/tessara_ctrl.h"

#include <functional>

class TTCPFirmware;

// How long the bootloader needs before it accepts the upload connection.
inline constexpr int BootloaderStartMs = 1000;

// Sends the trigger through `send(datagram, host)` (whoever owns the port) to `controller`'s
// CurrentIP, blocks for `waitMs`, then shows `upload` modally for that controller and returns when
// it closes. The record is read before anything else happens, so it may live in a list that grows
// meanwhile. When the send fails nothing else happens, and the failure comes back.
using DatagramSend = std::function<Result<>(const QByteArray &datagram, const QString &host)>;
Result<> TriggerBootloader(const TTessaraCtrl &controller, const DatagramSend &send, TTCPFirmware &upload,
                       int waitMs = BootloaderStartMs);
