#include "rdm/rdm_reassembler.h"

#include "rdm/rdm_packet.h"

namespace rdm {

namespace {
// A line that babbles must not grow the buffer without end; no reply is near this size.
constexpr qsizetype MaxHeld = 64 * 1024;
} // namespace

void RdmReassembler::append(QByteArrayView bytes)
{
    m_buf.append(bytes);
    if (m_buf.size() > MaxHeld)
        m_buf.remove(0, m_buf.size() - MaxHeld);
}

std::optional<QByteArray> RdmReassembler::takeRdm()
{
    for (;;) {
        const qsizetype start = m_buf.indexOf(char(RDM_SC));
        if (start < 0) {
            m_buf.clear();
            return std::nullopt;
        }
        m_buf.remove(0, start);
        if (m_buf.size() < 3)
            return std::nullopt;
        const int length = quint8(m_buf[2]);
        if (quint8(m_buf[1]) != RDM_SUB_SC || length < HEADER_SIZE) {
            m_buf.remove(0, 1);
            continue;
        }
        if (m_buf.size() < length + CHECKSUM_SIZE)
            return std::nullopt;
        QByteArray message = m_buf.left(length + CHECKSUM_SIZE);
        if (isCompleteRdmMessage(message)) {
            m_buf.remove(0, message.size());
            return message;
        }
        m_buf.remove(0, 1);
    }
}

std::optional<QByteArray> RdmReassembler::flushRdm()
{
    while (!m_buf.isEmpty()) {
        if (auto message = takeRdm())
            return message;
        // takeRdm stopped at a start that still waits for bytes that will not come.
        if (!m_buf.isEmpty())
            m_buf.remove(0, 1);
    }
    return std::nullopt;
}

std::optional<QByteArray> RdmReassembler::takeDiscovery()
{
    if (m_buf.size() < DISC_REPLY_SIZE)
        return std::nullopt;
    QByteArray reception = m_buf.left(DISC_REPLY_SIZE);
    m_buf.clear();
    return reception;
}

QByteArray RdmReassembler::takeAll()
{
    QByteArray all;
    all.swap(m_buf);
    return all;
}

} // namespace rdm
