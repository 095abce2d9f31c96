#pragma once
// Tells a network controller to start its bootloader (firmware::startBootloader), then opens the
// upload dialog for it.

#include "firmware/bootloader_start.h"

class TTCPFirmware;

// Sends the trigger through `send(datagram, host)` (whoever owns the port) to `controller`'s
// CurrentIP, blocks for `waitMs`, then shows `upload` modally for that controller and returns when
// it closes. The record is read before anything else happens, so it may live in a list that grows
// meanwhile. When the send fails nothing else happens, and the failure comes back.
Result<> TriggerBootloader(const TTessaraCtrl &controller, const firmware::DatagramSend &send, TTCPFirmware &upload,
                           int waitMs = firmware::BootloaderStartMs);
