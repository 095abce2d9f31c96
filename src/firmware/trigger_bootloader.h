#pragma once
// Tells a network controller to leave its application firmware and start its bootloader, then
// opens the upload dialog for it.
//
//   trigger datagram, 12 bytes, unicast to the controller's present address, UDP 49150:
//     the Orvantic header alone with opcode 0x0006 (bootloader), version 2

#include "net/tessara_ctrl.h"

#include <functional>

class TTCPFirmware;
class UdpPort;

// How long the bootloader needs before it accepts the upload connection.
inline constexpr int BootloaderStartMs = 1000;

// Sends the trigger through `udp` (the main window's port) to `controller`'s CurrentIP, blocks for
// `waitMs`, then shows `upload` modally for that controller and returns when it closes. The record
// is read before anything else happens, so it may live in a list that grows meanwhile. A send
// error is thrown (std::runtime_error) and nothing else happens then.
void TriggerBootloader(const TTessaraCtrl &controller, UdpPort &udp, TTCPFirmware &upload,
                       int waitMs = BootloaderStartMs);
// The same through whoever owns the port (the network tab): `send(datagram, host)`.
using DatagramSend = std::function<void(const QByteArray &datagram, const QString &host)>;
void TriggerBootloader(const TTessaraCtrl &controller, const DatagramSend &send, TTCPFirmware &upload,
                       int waitMs = BootloaderStartMs);
