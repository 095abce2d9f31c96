#pragma once
// What a firmware file sent to a network controller's bootloader over TCP looks like, how long
// its steps may take, and whether a file may be sent at all. The connection and the upload are
// firmware::UploadLink (upload_link.h).
//
//   stream, PC to controller (TCP, the controller's address, port 49150)
//     "Firmware Tessara 16" CR LF     21 bytes, the same for every model
//     pause                           2000 ms, nothing sent (the bootloader gets ready meanwhile)
//     the file                        every byte unchanged: no length, framing or checksum
//     close                           the PC's sending side first; then it waits for the
//                                     controller to take every byte or to close its side
//   Whatever the controller sends is read and dropped: the PC learns nothing from it.

#include <QByteArray>
#include <QString>

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

// Why the file named `fileName` cannot be sent, in words for the operator; empty when it can be.
// Asked before anything is sent: a missing file, or one that is no firmware image
// (hex_image_check.h), must not put the controller through an upload.
QString fileProblem(const QString &fileName);

} // namespace firmware
