#include "net/orvantic.h"

#include "net/poll_reply_layout.h"
#include "common/wire_fields.h"

#include <algorithm>
#include <cstring>

namespace net::orvantic {

namespace {

constexpr char Magic[] = "Orvantic"; // 8 letters, then the header's NUL
constexpr int ModelOffset = 12;
constexpr int ModelWidth = 20;

// The model name when the field is exactly one of the three, NUL-padded to 20 bytes; null otherwise.
const char *knownModel(QByteArrayView field)
{
    for (const char *name : {ModelTessara16, ModelTessara4, ModelCorvel16}) {
        const qsizetype length = qsizetype(std::strlen(name));
        if (!field.startsWith(QByteArrayView(name, length)))
            continue;
        const QByteArrayView padding = field.sliced(length);
        if (std::all_of(padding.begin(), padding.end(), [](char c) { return c == '\0'; }))
            return name;
    }
    return nullptr;
}

const char *modelOf(QByteArrayView datagram)
{
    return knownModel(datagram.sliced(ModelOffset, ModelWidth));
}

} // namespace

bool isKnownModel(QStringView name)
{
    return name == QLatin1String(ModelTessara16) || name == QLatin1String(ModelTessara4)
        || name == QLatin1String(ModelCorvel16);
}

QByteArray header(quint16 opcode, quint8 version)
{
    QByteArray h(HeaderSize, '\0');
    std::memcpy(h.data(), Magic, 8);
    common::wire::FieldWriter{h}(9, opcode);
    h[11] = char(version);
    return h;
}

std::optional<quint16> opcodeOf(QByteArrayView datagram)
{
    if (datagram.size() < 11)
        return std::nullopt;
    if (datagram.first(9) != QByteArrayView(Magic, 9)) // the 8 letters and the NUL
        return std::nullopt;
    quint16 opcode = 0;
    common::wire::FieldReader{datagram}(9, opcode);
    return opcode;
}

bool isPollReply(QByteArrayView datagram)
{
    return datagram.size() >= PollReplySize && opcodeOf(datagram) == OpPollReply && modelOf(datagram);
}

std::optional<PollReply> parsePollReply(QByteArrayView datagram)
{
    if (!isPollReply(datagram))
        return std::nullopt;
    PollReply reply;
    reply.model = QString::fromLatin1(modelOf(datagram));
    reply.ctrl.NumStrings = reply.model == QLatin1String(ModelTessara4) ? 4 : 16;
    const common::wire::FieldReader reader{datagram.first(PollReplySize)};
    pollReplyLayout(reply.ctrl, [&](int offset, auto &field, const char *) { reader(offset, field); });
    return reply;
}

QByteArray buildPollReply(const TTessaraCtrl &ctrl, const QString &model, quint8 version, quint8 byte37)
{
    QByteArray out = header(OpPollReply, version);
    out.resize(PollReplySize, '\0');
    const QByteArray name = model.toLatin1().left(ModelWidth);
    std::memcpy(out.data() + ModelOffset, name.constData(), size_t(name.size()));
    out[37] = char(byte37);
    const common::wire::FieldWriter writer{out};
    pollReplyLayout(ctrl, [&](int offset, const auto &field, const char *) { writer(offset, field); });
    return out;
}

} // namespace net::orvantic
