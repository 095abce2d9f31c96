#include "orvantic.h"

#include "poll_reply_layout.h"
#include "wire_fields.h"

#include <cstring>

namespace orvantic {

namespace {

constexpr char Magic[] = "Orvantic"; // 8 letters, then the header's NUL
constexpr int ModelOffset = 12;
constexpr int ModelWidth = 20;

// The model name exactly as one of the three, NUL-padded to 20 bytes; empty otherwise.
QString modelName(QByteArrayView field)
{
    for (const char *name : {ModelTessara16, ModelTessara4, ModelCorvel16}) {
        QByteArray expected(ModelWidth, '\0');
        std::memcpy(expected.data(), name, std::strlen(name));
        if (field == QByteArrayView(expected))
            return QString::fromLatin1(name);
    }
    return {};
}

} // namespace

QByteArray header(quint16 opcode, quint8 version)
{
    QByteArray h(HeaderSize, '\0');
    std::memcpy(h.data(), Magic, 8);
    wire::FieldWriter{h}(9, opcode);
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
    wire::FieldReader{datagram}(9, opcode);
    return opcode;
}

std::optional<PollReply> parsePollReply(QByteArrayView datagram)
{
    if (datagram.size() < PollReplySize || opcodeOf(datagram) != OpPollReply)
        return std::nullopt;
    PollReply reply;
    reply.model = modelName(datagram.sliced(ModelOffset, ModelWidth));
    if (reply.model.isEmpty())
        return std::nullopt;
    reply.ctrl.NumStrings = reply.model == QLatin1String(ModelTessara4) ? 4 : 16;
    const wire::FieldReader reader{datagram.first(PollReplySize)};
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
    const wire::FieldWriter writer{out};
    pollReplyLayout(ctrl, [&](int offset, const auto &field, const char *) { writer(offset, field); });
    return out;
}

} // namespace orvantic
