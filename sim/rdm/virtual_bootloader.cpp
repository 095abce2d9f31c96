#include "sim/rdm/virtual_bootloader.h"

#include "rdm/serial_bootloader.h"

using namespace rdm::boot;

QByteArray VirtualBootloader::handle(QByteArrayView bytes)
{
    // The key comes alone; an RDM message that happens to hold the key's value does not. Between
    // two blocks it starts over: the PC stopped a transfer and offers the key again.
    const bool key = bytes.size() == 1 && quint8(bytes[0]) == CONNECT_KEY;
    if (!m_connected || (key && m_pending.isEmpty())) {
        if (!key)
            return {};
        m_connected = true;
        m_complete = false;
        m_expected = 1;
        m_pending.clear();
        m_image.clear();
        return QByteArray(1, char(CRC_MODE));
    }
    m_pending.append(bytes);
    return takeBlocks();
}

QByteArray VirtualBootloader::takeBlocks()
{
    QByteArray out;
    while (!m_pending.isEmpty()) {
        const quint8 first = quint8(m_pending[0]);
        if (first == EOT) {
            m_pending.clear();
            m_connected = false;
            m_complete = true;
            out.append(char(ACK));
            break;
        }
        if (first != SOH) {
            m_pending.remove(0, 1);
            continue;
        }
        if (m_pending.size() < BLOCK_SIZE)
            break;
        const QByteArray block = m_pending.left(BLOCK_SIZE);
        m_pending.remove(0, BLOCK_SIZE);
        ++m_blocksSeen;
        if (options.silent)
            continue;
        const quint8 number = quint8(block[1]);
        const QByteArrayView data = QByteArrayView(block).sliced(3, BLOCK_DATA);
        const quint16 crc = quint16(quint8(block[131]) << 8 | quint8(block[132]));
        const bool intact = quint8(block[2]) == quint8(255 - number) && crc16(data) == crc;
        if (!intact || number != m_expected || m_blocksSeen == options.nakBlock) {
            // The PC gives up on a refused block and starts over with the key.
            m_pending.clear();
            m_connected = false;
            out.append(char(NAK));
            break;
        }
        m_image.append(data);
        ++m_expected;
        out.append(char(ACK));
    }
    return out;
}
