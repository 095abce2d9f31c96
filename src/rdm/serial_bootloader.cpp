#include "rdm/serial_bootloader.h"

#include <QCoreApplication>

namespace rdm::boot {

quint16 CalcCRC(quint16 crc, quint8 data)
{
    crc ^= quint16(data) << 8;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 0x8000) ? quint16(crc << 1) ^ 0x1021 : quint16(crc << 1);
    return crc;
}

quint16 crc16(QByteArrayView bytes)
{
    quint16 crc = 0;
    for (char b : bytes)
        crc = CalcCRC(crc, quint8(b));
    return crc;
}

int blockCount(qsizetype size)
{
    return int((size + BLOCK_DATA - 1) / BLOCK_DATA);
}

quint8 blockNumber(int index)
{
    return quint8(index + 1);
}

QByteArray buildBlock(QByteArrayView image, int index)
{
    QByteArray data(BLOCK_DATA, char(FILLER));
    const qsizetype from = qsizetype(index) * BLOCK_DATA;
    if (from < image.size()) {
        const QByteArrayView part = image.sliced(from, qMin<qsizetype>(BLOCK_DATA, image.size() - from));
        std::copy(part.begin(), part.end(), data.begin());
    }
    const quint8 number = blockNumber(index);
    const quint16 crc = crc16(data);
    QByteArray block;
    block.reserve(BLOCK_SIZE);
    block.append(char(SOH));
    block.append(char(number));
    block.append(char(255 - number));
    block.append(data);
    block.append(char(crc >> 8));
    block.append(char(crc & 0xFF));
    return block;
}

void BootloaderExchange::start(QByteArray image)
{
    m_image = std::move(image);
    m_blocks = blockCount(m_image.size());
    m_accepted = 0;
    m_answered = false;
    m_state = State::Handshake;
    m_host.progress(0);
    m_host.armTimer(KeyIntervalMs);
}

void BootloaderExchange::sendConnectKey()
{
    m_host.writeBytes(QByteArray(1, char(CONNECT_KEY)));
    m_host.armTimer(KeyIntervalMs);
}

void BootloaderExchange::sendBlock()
{
    m_state = State::AwaitingAnswer;
    m_host.writeBytes(buildBlock(m_image, m_accepted));
    m_host.armTimer(AnswerTimeoutMs);
}

void BootloaderExchange::finish(State state)
{
    m_host.stopTimer();
    m_state = state;
    m_host.finished();
}

void BootloaderExchange::bytesReceived(QByteArrayView bytes)
{
    switch (m_state) {
    case State::Handshake:
        // Noise from the switch of line settings may come before the "C".
        if (!bytes.contains(char(CRC_MODE)))
            return;
        m_answered = true;
        m_host.stopTimer();
        if (m_blocks == 0) {
            m_host.writeBytes(QByteArray(1, char(EOT)));
            finish(State::Complete);
            return;
        }
        sendBlock();
        return;
    case State::AwaitingAnswer:
        for (char b : bytes) {
            if (quint8(b) == NAK) {
                finish(State::Refused);
                return;
            }
            if (quint8(b) != ACK)
                continue; // a late "C" from the handshake, or noise
            ++m_accepted;
            m_host.progress(m_accepted * 100 / m_blocks);
            if (m_accepted == m_blocks) {
                m_host.writeBytes(QByteArray(1, char(EOT)));
                finish(State::Complete);
            } else {
                m_state = State::Pausing;
                m_host.armTimer(BlockPauseMs);
            }
            return;
        }
        return;
    default:
        return;
    }
}

void BootloaderExchange::timerFired()
{
    switch (m_state) {
    case State::Handshake: sendConnectKey(); return;
    case State::AwaitingAnswer: finish(State::NoAnswer); return;
    case State::Pausing: sendBlock(); return;
    default: return;
    }
}

void BootloaderExchange::cancel()
{
    if (!active())
        return;
    m_host.stopTimer();
    m_state = State::Cancelled;
}

QString BootloaderExchange::resultText() const
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("BootloaderExchange", text); };
    switch (m_state) {
    case State::Complete: return QStringLiteral("Firmware Upgrade Complete!");
    case State::Refused: return QStringLiteral("Failed, please retry..");
    case State::NoAnswer:
        return tr("The controller did not answer firmware block %1 of %2.\n\nFailed, please retry..")
            .arg(m_accepted + 1)
            .arg(m_blocks);
    default: return {};
    }
}

} // namespace rdm::boot
