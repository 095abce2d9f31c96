#pragma once
// Sending a firmware file to a network controller's bootloader over TCP. No widget here: the
// upload dialog only wires these to its controls.
//
//   stream, PC to controller (TCP, the controller's address, port 49150)
//     "Firmware Tessara 16" CR LF     21 bytes, the same for every model
//     pause                           2000 ms, nothing sent (the bootloader gets ready meanwhile)
//     the file                        every byte unchanged: no length, framing or checksum
//     close
//   The PC reads nothing back.

#include <QByteArray>
#include <QString>

class QTcpSocket;

namespace netfirmware {

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
};

// Connects `client` to host:port (dotted IPv4 text). Throws std::runtime_error with the reason when
// the connection is refused, fails or is not made within `timeoutMs`; the client is then closed.
void connectToBootloader(QTcpSocket &client, const QString &host, quint16 port, int timeoutMs);

// Writes `bytes` to the connection and waits until all of them were handed to it. False when the
// connection fails, is lost or stops taking bytes for `stallTimeoutMs`.
bool writeAll(QTcpSocket &client, QByteArrayView bytes, int stallTimeoutMs);

// Sends the file named `fileName` over `client`'s connection. True only when every byte of the
// file was handed to the connection; false when the file does not exist (an empty name included),
// is empty, cannot be read, or the connection fails meanwhile. Never throws.
bool ClientSendFile(QTcpSocket &client, const QString &fileName, int stallTimeoutMs = UploadTiming{}.stallTimeoutMs);

// The whole upload over an established connection: announcement, pause, file, then close (the
// connection is closed whatever the outcome). True when the file was sent in full.
bool sendFirmware(QTcpSocket &client, const QString &fileName, const UploadTiming &timing = {});

} // namespace netfirmware
