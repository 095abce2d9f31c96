#pragma once
// Sending a firmware file to a network controller's bootloader over TCP. No widget here: the
// upload dialog only wires these to its controls.
//
//   stream, PC to controller (TCP, the controller's address, port 49150)
//     "Firmware Tessara 16" CR LF     21 bytes, the same for every model
//     pause                           2000 ms, nothing sent (the bootloader gets ready meanwhile)
//     the file                        every byte unchanged: no length, framing or checksum
//     close                           the PC's sending side first; then it waits for the
//                                     controller to take every byte or to close its side
//   Whatever the controller sends is read and dropped: the PC learns nothing from it.

#include "common/result.h"

#include <QByteArray>
#include <QString>

class QTcpSocket;

namespace firmware {

inline constexpr char Announcement[] = "Firmware Tessara 16\r\n";
inline constexpr int AnnouncementSize = sizeof Announcement - 1;

struct UploadTiming {
    // How long a connection attempt may take before it counts as failed. An unreachable address
    // would otherwise hold the (blocked) window for minutes.
    int connectTimeoutMs = 5000;
    // Between the announcement and the file.
    int pauseMs = 2000;
    // How long a write may make no progress before the connection counts as lost, so a
    // controller that stops reading cannot freeze the window for good.
    int stallTimeoutMs = 10000;
    // After the last byte, how long the controller may take to acknowledge the file or close.
    int closeWaitMs = 5000;
};

// Connects `client` to host:port (dotted IPv4 text). Fails with the reason when the connection is
// refused, fails or is not made within `timeoutMs`; the client is then closed.
Result<> connectToBootloader(QTcpSocket &client, const QString &host, quint16 port, int timeoutMs);

// Writes `bytes` to the connection and waits until all of them were handed to it. False when the
// connection fails, is lost or stops taking bytes for `stallTimeoutMs`.
bool writeAll(QTcpSocket &client, QByteArrayView bytes, int stallTimeoutMs);

// Why the file named `fileName` cannot be sent, in words for the operator; empty when it can be.
// Asked before anything is sent: a missing file, or one that is no firmware image
// (hex_image_check.h), must not put the controller through an upload.
QString fileProblem(const QString &fileName);

// Sends the file named `fileName` over `client`'s connection. True only when every byte of the
// file was handed to the connection; false when the file does not exist (an empty name included),
// is empty, cannot be read, or the connection fails meanwhile. Never throws.
bool ClientSendFile(QTcpSocket &client, const QString &fileName, int stallTimeoutMs = UploadTiming{}.stallTimeoutMs);

// Ends an upload whose bytes were all handed to the connection: shuts down the sending side and
// waits up to `closeWaitMs` until the controller has acknowledged every byte or closed its side.
// False when the connection was reset or the wait ran out first: the file's tail may be lost.
bool finishUpload(QTcpSocket &client, int closeWaitMs);

// The whole upload over an established connection: announcement, pause, file, then close (the
// connection is closed whatever the outcome). True when the file was delivered in full.
bool sendFirmware(QTcpSocket &client, const QString &fileName, const UploadTiming &timing = {});

} // namespace firmware
