#pragma once
// Tells a network controller to leave its application firmware and start its bootloader, then
// opens the upload dialog for it.
//
// The trigger datagram is orvantic::bootloaderTrigger().

#include "net/tessara_ctrl.h"

#include <functional>

class TTCPFirmware;

// How long the bootloader needs before it accepts the upload connection.
inline constexpr int BootloaderStartMs = 1000;

// Sends the trigger through `send(datagram, host)` (whoever owns the port) to `controller`'s
// CurrentIP, blocks for `waitMs`, then shows `upload` modally for that controller and returns when
// it closes. The record is read before anything else happens, so it may live in a list that grows
// meanwhile. A send error is thrown (std::runtime_error) and nothing else happens then.
using DatagramSend = std::function<void(const QByteArray &datagram, const QString &host)>;
void TriggerBootloader(const TTessaraCtrl &controller, const DatagramSend &send, TTCPFirmware &upload,
                       int waitMs = BootloaderStartMs);
