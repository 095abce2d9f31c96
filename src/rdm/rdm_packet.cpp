#include "rdm/rdm_packet.h"

namespace rdm {

UidBytes uidBytes(Uid uid)
{
    UidBytes b{};
    for (int i = 0; i < 6; ++i)
        b[std::size_t(i)] = quint8(uid >> (8 * (5 - i)));
    return b;
}

Uid uidFrom(const UidBytes &bytes)
{
    Uid uid = 0;
    for (quint8 b : bytes)
        uid = uid << 8 | b;
    return uid;
}

quint16 rdmChecksum(QByteArrayView bytes)
{
    quint16 sum = 0;
    for (char c : bytes)
        sum = quint16(sum + quint8(c));
    return sum;
}

QByteArray buildRdmMessage(TRdmPacket p, QByteArrayView data)
{
    p.msgLength = quint8(HEADER_SIZE + data.size());
    QByteArray out(HEADER_SIZE, '\0');
    rdmHeaderLayout(p, common::wire::FieldWriter{out});
    out.append(data);
    const quint16 sum = rdmChecksum(out);
    out.append(char(sum >> 8));
    out.append(char(sum & 0xFF));
    return out;
}

std::optional<TRdmPacket> parseRdmHeader(QByteArrayView message)
{
    if (message.size() < HEADER_SIZE)
        return std::nullopt;
    TRdmPacket p;
    rdmHeaderLayout(p, common::wire::FieldReader{message});
    return p;
}

bool isCompleteRdmMessage(QByteArrayView message)
{
    if (message.size() < HEADER_SIZE + CHECKSUM_SIZE || quint8(message[0]) != RDM_SC
        || quint8(message[1]) != RDM_SUB_SC)
        return false;
    const int length = quint8(message[2]);
    if (length < HEADER_SIZE || message.size() != length + CHECKSUM_SIZE)
        return false;
    const quint16 sum = quint16(quint8(message[length]) << 8 | quint8(message[length + 1]));
    return rdmChecksum(message.first(length)) == sum;
}

QByteArrayView parameterData(QByteArrayView message)
{
    if (message.size() <= HEADER_SIZE)
        return {};
    const qsizetype pdl = quint8(message[23]);
    // The checksum is not data, whatever pdl claims.
    // A message cut inside its checksum holds no data at all.
    const qsizetype available = qMax<qsizetype>(0, message.size() - HEADER_SIZE - CHECKSUM_SIZE);
    return message.sliced(HEADER_SIZE, qMin(pdl, available));
}

QByteArray buildRequest(const RdmRequest &request, quint8 transNum)
{
    TRdmPacket p;
    p.destUID = uidBytes(request.dest);
    p.srcUID = uidBytes(RDM_SRC_ID);
    p.transNum = transNum;
    p.cc = request.cc;
    p.pid = request.pid;
    p.pdl = request.pdl;
    return buildRdmMessage(p, request.data);
}

RdmRequest unmuteRequest()
{
    return {BROADCAST_MAKER, DISCOVERY_COMMAND, PID_DISC_UN_MUTE, 0, {}};
}

RdmRequest discoveryRequest(quint32 lower, quint32 upper)
{
    QByteArray data;
    for (Uid uid : {makerUid(lower), makerUid(upper)})
        for (quint8 b : uidBytes(uid))
            data.append(char(b));
    return {BROADCAST_ALL, DISCOVERY_COMMAND, PID_DISC_UNIQUE_BRANCH, quint8(data.size()), data};
}

RdmRequest muteRequest(quint32 deviceId)
{
    return {makerUid(deviceId), DISCOVERY_COMMAND, PID_DISC_MUTE, 0, {}};
}

QByteArray buildReply(const TRdmPacket &request, Uid responder, quint8 responseType, QByteArrayView data)
{
    TRdmPacket p;
    p.destUID = request.srcUID;
    p.srcUID = uidBytes(responder);
    p.transNum = request.transNum;
    p.portID = responseType;
    p.cc = quint8(request.cc + 1);
    p.pid = request.pid;
    p.pdl = quint8(data.size());
    return buildRdmMessage(p, data);
}

namespace {

constexpr int DiscPreambleSize = 7;
constexpr int DiscUidOffset = 8;
constexpr int DiscChecksumOffset = 20;

void appendEncoded(QByteArray &out, quint8 byte)
{
    out.append(char(byte | 0xAA));
    out.append(char(byte | 0x55));
}

quint8 decodedAt(QByteArrayView in, int offset)
{
    return quint8(in[offset]) & quint8(in[offset + 1]);
}

} // namespace

QByteArray encodeDiscoveryReply(Uid uid)
{
    QByteArray out(DiscPreambleSize, char(DISC_PREAMBLE));
    out.append(char(DISC_SEPARATOR));
    for (quint8 b : uidBytes(uid))
        appendEncoded(out, b);
    const quint16 sum = rdmChecksum(QByteArrayView(out).sliced(DiscUidOffset, 12));
    appendEncoded(out, quint8(sum >> 8));
    appendEncoded(out, quint8(sum & 0xFF));
    return out;
}

std::optional<TDiscoveryReply> decodeDiscoveryReply(QByteArrayView reception)
{
    if (reception.size() < DISC_REPLY_SIZE)
        return std::nullopt;
    bool preamble = false;
    for (int i = 0; i < DiscPreambleSize; ++i)
        preamble = preamble || quint8(reception[i]) == DISC_PREAMBLE;
    if (!preamble || quint8(reception[DiscPreambleSize]) != DISC_SEPARATOR)
        return std::nullopt;

    TDiscoveryReply r;
    quint8 *fields[] = {&r.MID_MSB, &r.MID_LSB, &r.UID3, &r.UID2, &r.UID1, &r.UID0, &r.CSUM_MSB, &r.CSUM_LSB};
    for (int i = 0; i < 8; ++i)
        *fields[i] = decodedAt(reception, DiscUidOffset + 2 * i);
    if (r.MID_MSB != MID_H || r.MID_LSB != MID_L)
        return std::nullopt;
    const quint16 sum = rdmChecksum(reception.sliced(DiscUidOffset, 12));
    if (quint8(sum & 0xFF) != r.CSUM_LSB || quint8(sum >> 8) != r.CSUM_MSB)
        return std::nullopt;
    static_assert(DiscChecksumOffset == DiscUidOffset + 12);
    return r;
}

} // namespace rdm
