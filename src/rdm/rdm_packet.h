#pragma once
// RDM messages as they travel on the DMX line: the 24-byte header `TRdmPacket`, the checksum, UIDs,
// the transaction counter, and the discovery reply's own encoding. The PC side and the virtual
// controllers both build and read messages here, so a layout exists exactly once.
//
//   0 sc  1 subSc  2 msgLength  3..8 destUID  9..14 srcUID  15 transNum  16 portID (response type
//   in replies)  17 msgCount  18..19 subDevice  20 cc  21..22 pid  23 pdl  24.. parameter data,
//   then a 16-bit checksum (sum of every byte before it, high byte first).

#include "common/wire_fields.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>
#include <array>
#include <optional>

namespace rdm {

inline constexpr quint8 RDM_SC = 0xCC;
inline constexpr quint8 RDM_SUB_SC = 0x01;
inline constexpr quint8 MID_H = 0x4E;
inline constexpr quint8 MID_L = 0x2B;
inline constexpr int HEADER_SIZE = 24;
inline constexpr int CHECKSUM_SIZE = 2;

// A UID is held in the low 48 bits: 16-bit manufacturer, then 32-bit device ID.
using Uid = quint64;
inline constexpr Uid RDM_SRC_ID = 0x4E2B00000001ULL;
inline constexpr Uid BROADCAST_ALL = 0xFFFFFFFFFFFFULL;
inline constexpr Uid BROADCAST_MAKER = 0x4E2BFFFFFFFFULL;
inline constexpr Uid makerUid(quint32 deviceId) { return Uid(MID_H) << 40 | Uid(MID_L) << 32 | deviceId; }
inline constexpr quint32 deviceIdOf(Uid uid) { return quint32(uid & 0xFFFFFFFFu); }

enum CommandClass : quint8 {
    DISCOVERY_COMMAND = 0x10,
    DISCOVERY_COMMAND_RESPONSE = 0x11,
    GET_COMMAND = 0x20,
    GET_COMMAND_RESPONSE = 0x21,
    SET_COMMAND = 0x30,
    SET_COMMAND_RESPONSE = 0x31,
};

enum ResponseType : quint8 {
    RESPONSE_TYPE_ACK = 0x00,
    RESPONSE_TYPE_NACK_REASON = 0x02,
};

enum ParameterId : quint16 {
    PID_DISC_UNIQUE_BRANCH = 0x0001,
    PID_DISC_MUTE = 0x0002,
    PID_DISC_UN_MUTE = 0x0003,
    PID_DEVICE_INFO = 0x0060,
    PID_DEVICE_LABEL = 0x0082,
    PID_DMX_PERSONALITY = 0x00E0,
    PID_DMX_START_ADDRESS = 0x00F0,
    PID_SENSOR_VALUE = 0x0201,
    PID_BOOTLOADER = 0x8000,   // the controllers' own: enter the serial bootloader
    PID_REMOTE_MODE = 0x8001,  // the controllers' own: remote configuration mode
    PID_GAMMA = 0x8002,        // the controllers' own: gamma in tenths
};

using UidBytes = std::array<quint8, 6>;
UidBytes uidBytes(Uid uid);
Uid uidFrom(const UidBytes &bytes);

struct TRdmPacket {
    quint8 sc = RDM_SC;
    quint8 subSc = RDM_SUB_SC;
    quint8 msgLength = HEADER_SIZE;
    UidBytes destUID{};
    UidBytes srcUID{};
    quint8 transNum = 0;
    quint8 portID = 1;
    quint8 msgCount = 0;
    quint16 subDevice = 0;
    quint8 cc = 0;
    quint16 pid = 0;
    quint8 pdl = 0;
};

template <class Packet, class Visit>
constexpr void rdmHeaderLayout(Packet &p, Visit &&visit)
{
    visit(0, p.sc);
    visit(1, p.subSc);
    visit(2, p.msgLength);
    visit(3, p.destUID);
    visit(9, p.srcUID);
    visit(15, p.transNum);
    visit(16, p.portID);
    visit(17, p.msgCount);
    visit(18, p.subDevice);
    visit(20, p.cc);
    visit(21, p.pid);
    visit(23, p.pdl);
}

// Sum of the bytes as an unsigned 16-bit value; carries beyond 16 bits are dropped.
quint16 rdmChecksum(QByteArrayView bytes);

// The whole message: header with msgLength = 24 + data size, the data, the checksum.
// `p.pdl` is sent as given (some get messages carry a pdl that differs from the data size).
QByteArray buildRdmMessage(TRdmPacket p, QByteArrayView data = {});

// The header of a message of at least 24 bytes.
std::optional<TRdmPacket> parseRdmHeader(QByteArrayView message);

// A complete message: start codes, a length of at least 24, exactly length + 2 bytes, checksum.
bool isCompleteRdmMessage(QByteArrayView message);

// The parameter data a complete message carries: the pdl bytes after the header, never more than
// the message holds.
QByteArrayView parameterData(QByteArrayView message);

// The transaction counter: every message takes the current value, 255 is followed by 0.
class TransNumCounter {
public:
    quint8 take() { return m_next++; }

private:
    quint8 m_next = 0;
};

// A message the PC sends, before it draws its transaction number.
struct RdmRequest {
    Uid dest = 0;
    quint8 cc = 0;
    quint16 pid = 0;
    quint8 pdl = 0;
    QByteArray data;
};
QByteArray buildRequest(const RdmRequest &request, quint8 transNum);

RdmRequest unmuteRequest();
RdmRequest discoveryRequest(quint32 lower, quint32 upper);
RdmRequest muteRequest(quint32 deviceId);

// A responder's reply to `request`: addressed back to its source, same transaction number and
// parameter ID, command class + 1.
QByteArray buildReply(const TRdmPacket &request, Uid responder, quint8 responseType, QByteArrayView data);

// Discovery reply (no RDM header): 7 preamble bytes 0xFE, separator 0xAA, the 6 UID bytes and the
// 2 checksum bytes each sent as (byte | 0xAA, byte | 0x55). The checksum is the 16-bit sum of the
// 12 encoded UID bytes.
inline constexpr int DISC_REPLY_SIZE = 24;
inline constexpr quint8 DISC_PREAMBLE = 0xFE;
inline constexpr quint8 DISC_SEPARATOR = 0xAA;

struct TDiscoveryReply {
    quint8 MID_MSB = 0, MID_LSB = 0;
    quint8 UID3 = 0, UID2 = 0, UID1 = 0, UID0 = 0;
    quint8 CSUM_MSB = 0, CSUM_LSB = 0;
    quint32 deviceId() const { return common::wire::joinBE32(UID3, UID2, UID1, UID0); }
};

QByteArray encodeDiscoveryReply(Uid uid);
// A valid reply from one of the maker's controllers, or nothing: fewer than 24 bytes, no 0xFE in
// bytes 0..6, byte 7 not 0xAA, another manufacturer, or a checksum that does not match.
std::optional<TDiscoveryReply> decodeDiscoveryReply(QByteArrayView reception);

} // namespace rdm
