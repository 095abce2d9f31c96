#pragma once
// Serial interfaces hand a reply over in pieces of any size, and one read may also hold more than
// one reply. The reassembler collects the pieces and hands out whole replies by their framing:
// RDM messages by start code, sub-start code, length and checksum; discovery replies by their
// fixed 24 bytes. What is left when the line falls silent for the inter-byte time-out is flushed
// by the owner.

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace rdm {

// Silence on the line after which a partial reply is taken as all there is. USB serial
// interfaces hand bytes over when their latency timer runs out (16 ms by default on common
// ones), so a reply can pause that long in the middle; the time-out must outlast such a pause,
// and the host's own delays in handing the bytes on (a busy machine easily adds 10 ms or more).
inline constexpr int RDM_GAP_MS = 40;

class RdmReassembler {
public:
    void append(QByteArrayView bytes);
    void clear() { m_buf.clear(); }
    bool pending() const { return !m_buf.isEmpty(); }
    qsizetype size() const { return m_buf.size(); }

    // The next complete RDM message. Bytes that cannot start one (noise, a message whose checksum
    // fails) are dropped on the way.
    std::optional<QByteArray> takeRdm();
    // After the time-out: any complete message still hidden behind a false start, then nothing.
    // What is left is dropped.
    std::optional<QByteArray> flushRdm();

    // A discovery reply is answered in one burst: 24 bytes make it, and whatever else came in
    // the same burst belongs to it and is dropped.
    std::optional<QByteArray> takeDiscovery();
    // After the time-out: everything held, as one reception.
    QByteArray takeAll();

private:
    QByteArray m_buf;
};

} // namespace rdm
