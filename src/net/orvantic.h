#pragma once
// The Orvantic datagram family on UDP port 49150: the 12-byte header every datagram starts with,
// the opcodes, and the two discovery datagrams. Every layout of this family is written and read
// here or in the codec beside it, nowhere else.
//
//   header   0..7  "Orvantic"   8  0x00   9..10  opcode (BE16)   11  version (2 from the PC)

#include "net/tessara_ctrl.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace net::orvantic {

// Discovery, configuration and the firmware upload (TCP) all use this port.
inline constexpr quint16 Port = 49150;
// Where a Search and a settings datagram to a controller on another subnet go.
inline constexpr char BroadcastAddress[] = "255.255.255.255";
inline constexpr quint8 PcVersion = 2;
inline constexpr int HeaderSize = 12;
inline constexpr int PollReplySize = 378;

enum Opcode : quint16 {
    OpDiscovery = 0x0001,
    OpPollReply = 0x0002,
    OpConfig = 0x0005,
    OpBootloader = 0x0006,
    OpNetSettings = 0x0007,
};

// The header alone: the discovery request is exactly this with OpDiscovery.
QByteArray header(quint16 opcode, quint8 version = PcVersion);
inline QByteArray discoveryRequest() { return header(OpDiscovery); }
// Tells a controller to leave its application for its bootloader: the header alone, unicast.
inline QByteArray bootloaderTrigger() { return header(OpBootloader); }

// The opcode of a datagram of the family, or nothing when the datagram is too short to hold one
// or its magic is wrong.
std::optional<quint16> opcodeOf(QByteArrayView datagram);

// The three model names a poll reply may carry at offsets 12..31.
inline constexpr const char *ModelTessara16 = "Tessara 16";
inline constexpr const char *ModelTessara4 = "Tessara 4";
inline constexpr const char *ModelCorvel16 = "Corvel 16";

// Whether `name` is exactly one of the three model names: only those controllers have settings
// this program can change.
bool isKnownModel(QStringView name);

struct PollReply {
    TTessaraCtrl ctrl;
    QString model; // the model name as the reply gave it
};

// Whether parsePollReply would take the datagram, decided from the header and the model field
// alone (cheap enough for every datagram a burst brings).
bool isPollReply(QByteArrayView datagram);

// Parses a poll reply (opcode already checked by the caller or not: it is checked here too).
// Nothing when it is shorter than 378 bytes or its model field is not exactly one of the three
// names NUL-padded to 20 bytes. Bytes beyond 377 are ignored.
std::optional<PollReply> parsePollReply(QByteArrayView datagram);

// The 378-byte poll reply a controller sends for `ctrl`, naming `model` (virtual controllers).
// The version byte and byte 37 are free for a controller to fill; they are written as given.
QByteArray buildPollReply(const TTessaraCtrl &ctrl, const QString &model, quint8 version = PcVersion,
                          quint8 byte37 = 0);

} // namespace net::orvantic
