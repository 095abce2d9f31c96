#include "sim/rdm/virtual_quorix_line.h"

#include "rdm/rdm_params.h"

#include <algorithm>

using namespace rdm;

namespace {

constexpr quint16 NR_UNKNOWN_PID = 0x0000;
constexpr quint16 NR_FORMAT_ERROR = 0x0001;
constexpr quint16 NR_DATA_OUT_OF_RANGE = 0x0006;
constexpr quint16 NR_WRITE_PROTECT = 0x0008;
constexpr quint16 NR_UNSUPPORTED_COMMAND_CLASS = 0x0005;

QByteArray reason(quint16 code)
{
    QByteArray r;
    r.append(char(code >> 8));
    r.append(char(code & 0xFF));
    return r;
}

quint16 footprint(quint8 personality)
{
    switch (personality) {
    case 1: return 19;
    case 2: return 22;
    default: return 48;
    }
}

} // namespace

VirtualQuorix makeVirtualQuorix(quint32 deviceId, int index)
{
    VirtualQuorix v;
    v.rec.setDeviceId(deviceId);
    v.rec.MID = {0x00, 0x01};
    v.rec.SVID = {quint8(1 + index % 3), quint8(index % 10), quint8(index % 7), 0};
    v.rec.PERS = {quint8(1 + index % 3), 3};
    const int start = 1 + (index * 37) % 490;
    v.rec.STA = {quint8(start >> 8), quint8(start & 0xFF)};
    const QByteArray label = QByteArray("Stage left ") + QByteArray::number(index + 1);
    std::copy(label.begin(), label.end(), v.rec.LBL.begin());
    const qint16 tenths = qint16(-150 + (index * 53) % 900);
    v.rec.TMP = {quint8(quint16(tenths) >> 8), quint8(quint16(tenths) & 0xFF)};
    v.rec.RM = quint8(index % 4 == 3 ? 0 : 1);
    v.rec.Gamma = quint8(10 + index % 21);
    return v;
}

QStringList misbehaviourNames()
{
    return {QStringLiteral("never-mutes"), QStringLiteral("bad-checksum"), QStringLiteral("same-uid"),
            QStringLiteral("late"),        QStringLiteral("cut-short"),    QStringLiteral("phantoms"),
            QStringLiteral("ignores-nickname"), QStringLiteral("silent-after-set")};
}

std::optional<Misbehaviour> misbehaviourNamed(QStringView name)
{
    const qsizetype i = misbehaviourNames().indexOf(name.toString());
    if (i < 0)
        return std::nullopt;
    return Misbehaviour(i);
}

void misbehave(QList<VirtualQuorix> &controllers, qsizetype index, Misbehaviour how)
{
    if (index < 0 || index >= controllers.size())
        return;
    VirtualQuorix &c = controllers[index];
    switch (how) {
    case Misbehaviour::NeverMutes: c.ignoresMute = true; break;
    case Misbehaviour::BadChecksum: c.badDiscoveryChecksum = true; break;
    case Misbehaviour::SameUid:
        if (controllers.size() > 1)
            c.rec.setDeviceId(controllers[index > 0 ? index - 1 : 1].rec.deviceId());
        break;
    case Misbehaviour::Late: c.replyDelayMs = 25; break;
    case Misbehaviour::CutShort: c.cutShort = true; break;
    case Misbehaviour::Phantoms: c.makesPhantoms = true; break;
    case Misbehaviour::IgnoresNickname: c.ignoresLabelSet = true; break;
    case Misbehaviour::SilentAfterSet: c.hangsAfterSet = true; break;
    }
}

QByteArray VirtualQuorixLine::collide(const QList<QByteArray> &replies)
{
    QByteArray line;
    for (const QByteArray &r : replies) {
        for (qsizetype i = 0; i < r.size(); ++i) {
            if (i >= line.size())
                line.append(r[i]);
            else if (line[i] != r[i])
                line[i] = '\0'; // drivers fighting: the receiver sees a framing error, read as 0
        }
    }
    return line;
}

QByteArray VirtualQuorixLine::handleBootloader(QByteArrayView bytes)
{
    for (VirtualQuorix &c : controllers) {
        if (!c.inBootloader)
            continue;
        const QByteArray reply = c.bootloader.handle(bytes);
        if (c.bootloader.complete()) {
            // Restarts into the new firmware, as after power-up: speaking RDM, not muted.
            c.inBootloader = false;
            c.muted = false;
            c.firmware = c.bootloader.image();
            ++c.updates;
            // The image carries no version the line could read; a new one counts as the next
            // version, so a search shows that the update took.
            ++c.rec.SVID[2];
        }
        return reply;
    }
    return {};
}

QByteArray VirtualQuorixLine::handle(QByteArrayView message)
{
    if (!isCompleteRdmMessage(message))
        return {};
    const TRdmPacket request = *parseRdmHeader(message);
    const Uid dest = uidFrom(request.destUID);
    const QByteArrayView data = parameterData(message);
    QList<QByteArray> replies, late;
    lateReply.clear();
    lateReplyMs = 0;
    bool phantoms = false;
    quint32 agreed = 0xFFFFFFFFu, first = 0;
    for (VirtualQuorix &c : controllers) {
        const Uid own = makerUid(c.rec.deviceId());
        // The un-mute that starts a pass goes to the maker's broadcast address, which a
        // controller with device ID FFFFFFFF would read as its own: nobody answers a broadcast.
        const bool broadcastUnmute = request.cc == DISCOVERY_COMMAND && request.pid == PID_DISC_UN_MUTE
            && (dest == BROADCAST_ALL || dest == BROADCAST_MAKER);
        const bool addressed = dest == own && !broadcastUnmute;
        if (!addressed && dest != BROADCAST_ALL && dest != BROADCAST_MAKER)
            continue;
        QByteArray reply = answer(c, request, data, addressed);
        if (reply.isEmpty())
            continue;
        if (c.cutShort)
            reply.truncate(reply.size() / 2);
        if (c.replyDelayMs > 0) {
            lateReplyMs = qMax(lateReplyMs, c.replyDelayMs);
            late.append(reply);
            continue;
        }
        phantoms = phantoms || c.makesPhantoms;
        if (replies.isEmpty())
            first = c.rec.deviceId();
        for (int shift = 0; shift < 32; shift += 8)
            if ((c.rec.deviceId() >> shift & 0xFF) != (first >> shift & 0xFF))
                agreed &= ~(0xFFu << shift);
        replies.append(reply);
    }
    lateReply = collide(late);
    // A mix that reads as one of the controllers in it is another fault; here it stays garbage.
    const quint32 phantom = first & agreed;
    bool real = false;
    for (const VirtualQuorix &c : std::as_const(controllers))
        real = real || c.rec.deviceId() == phantom;
    if (phantoms && !real && replies.size() > 1 && request.cc == DISCOVERY_COMMAND
        && request.pid == PID_DISC_UNIQUE_BRANCH)
        return encodeDiscoveryReply(makerUid(phantom));
    return collide(replies);
}

QByteArray VirtualQuorixLine::answer(VirtualQuorix &c, const TRdmPacket &request, QByteArrayView data, bool addressed)
{
    const Uid own = makerUid(c.rec.deviceId());
    const auto ack = [&](QByteArrayView d) { return addressed ? buildReply(request, own, RESPONSE_TYPE_ACK, d) : QByteArray(); };
    const auto nack = [&](quint16 code) {
        return addressed ? buildReply(request, own, RESPONSE_TYPE_NACK_REASON, reason(code)) : QByteArray();
    };

    if (c.inBootloader || c.hung)
        return {}; // the bootloader does not speak RDM

    if (request.cc == DISCOVERY_COMMAND) {
        switch (request.pid) {
        case PID_DISC_UNIQUE_BRANCH: {
            if (data.size() != 12 || (c.muted && !c.ignoresMute))
                return {};
            UidBytes lower{}, upper{};
            std::copy_n(data.begin(), 6, lower.begin());
            std::copy_n(data.begin() + 6, 6, upper.begin());
            if (!(uidFrom(lower) <= own && own <= uidFrom(upper)))
                return {};
            QByteArray reply = encodeDiscoveryReply(own);
            if (c.badDiscoveryChecksum) {
                // The checksum's low byte, one off, encoded as ever: each bit carried by one of the pair.
                const qsizetype n = reply.size();
                const quint8 low = quint8((quint8(reply[n - 2]) & quint8(reply[n - 1])) ^ 0x01);
                reply[n - 2] = char(low | 0xAA);
                reply[n - 1] = char(low | 0x55);
            }
            return reply;
        }
        case PID_DISC_MUTE:
            c.muted = true;
            if (c.dropMuteReplies < 0)
                return {};
            if (c.dropMuteReplies > 0) {
                --c.dropMuteReplies;
                return {};
            }
            return ack(QByteArray(2, '\0'));
        case PID_DISC_UN_MUTE:
            c.muted = false;
            return ack(QByteArray(2, '\0'));
        default:
            return {};
        }
    }

    if (request.cc == GET_COMMAND) {
        if (c.ignoresGets)
            return {};
        switch (request.pid) {
        case PID_DEVICE_INFO: {
            DeviceInfoData d;
            d.model = c.model;
            d.category = {0x01, 0x01};
            d.software = c.rec.SVID;
            const quint16 fp = footprint(c.rec.PERS[0]);
            d.footprint = {quint8(fp >> 8), quint8(fp & 0xFF)};
            d.personality = c.rec.PERS;
            d.startAddress = c.rec.STA;
            d.sensors = 1;
            return ack(writeDeviceInfo(d));
        }
        case PID_DEVICE_LABEL:
            return ack(labelText(c.rec));
        case PID_SENSOR_VALUE: {
            SensorValueData s;
            s.present = s.lowest = s.highest = s.recorded = c.rec.TMP;
            return ack(writeSensorValue(s));
        }
        case PID_REMOTE_MODE:
            return ack(QByteArray(1, char(c.rec.RM)));
        case PID_GAMMA:
            return ack(QByteArray(1, char(c.rec.Gamma)));
        default:
            return nack(NR_UNKNOWN_PID);
        }
    }

    if (request.cc == SET_COMMAND) {
        // Its answer to this set still goes out; after it, nothing does.
        c.hung = c.hangsAfterSet && addressed;
        const bool remote = c.rec.RM != 0;
        switch (request.pid) {
        case PID_DMX_PERSONALITY:
            if (data.size() != 1)
                return nack(NR_FORMAT_ERROR);
            if (!remote)
                return nack(NR_WRITE_PROTECT);
            if (quint8(data[0]) < 1 || quint8(data[0]) > c.rec.PERS[1])
                return nack(NR_DATA_OUT_OF_RANGE);
            c.rec.PERS[0] = quint8(data[0]);
            return ack({});
        case PID_DMX_START_ADDRESS: {
            if (data.size() != 2)
                return nack(NR_FORMAT_ERROR);
            if (!remote)
                return nack(NR_WRITE_PROTECT);
            const int address = quint8(data[0]) << 8 | quint8(data[1]);
            if (address < 1 || address > 512)
                return nack(NR_DATA_OUT_OF_RANGE);
            c.rec.STA = {quint8(data[0]), quint8(data[1])};
            return ack({});
        }
        case PID_DEVICE_LABEL:
            if (data.size() > LABEL_MAX)
                return nack(NR_FORMAT_ERROR);
            if (!remote)
                return nack(NR_WRITE_PROTECT);
            if (c.ignoresLabelSet)
                return ack({});
            c.rec.LBL.fill(0);
            std::copy(data.begin(), data.end(), c.rec.LBL.begin());
            return ack({});
        case PID_GAMMA:
            if (data.size() != 1)
                return nack(NR_FORMAT_ERROR);
            c.rec.Gamma = quint8(data[0]);
            return ack({});
        case PID_BOOTLOADER:
            if (!c.inBootloader)
                c.bootloader.restart();
            c.inBootloader = true;
            return ack({});
        default:
            return nack(NR_UNKNOWN_PID);
        }
    }
    return nack(NR_UNSUPPORTED_COMMAND_CLASS);
}
