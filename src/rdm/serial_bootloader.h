#pragma once
// The USB controllers' serial bootloader: a one-byte connect key offered until the bootloader
// answers "C", then XMODEM-CRC. Each block is 133 bytes:
//
//   0 SOH (0x01)  1 block number (1, 2, ... 255, 0, 1 ...)  2 255 - block number
//   3..130 128 data bytes, 0xFF after the end of the image  131..132 CRC-16/XMODEM, high byte first
//
// BootloaderExchange is the PC's side as a state machine: it reaches the port and its timer
// only through BootloaderHost, so a test drives it byte by byte and tick by tick.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace rdm::boot {

inline constexpr quint8 SOH = 0x01;
inline constexpr quint8 EOT = 0x04;
inline constexpr quint8 ACK = 0x06;
inline constexpr quint8 NAK = 0x15;
inline constexpr quint8 CRC_MODE = 0x43; // "C": the bootloader is ready and wants CRCs
// Alternating bits, so a bootloader that measures the baud rate on its first byte can.
inline constexpr quint8 CONNECT_KEY = 0x55;

inline constexpr int BLOCK_DATA = 128;
inline constexpr int BLOCK_SIZE = 133;
inline constexpr quint8 FILLER = 0xFF; // what erased flash holds

// CRC-16/XMODEM, one byte folded in: polynomial 0x1021, most significant bit first.
quint16 CalcCRC(quint16 crc, quint8 data);
quint16 crc16(QByteArrayView bytes);

// Blocks an image of `size` bytes needs (none for an empty image).
int blockCount(qsizetype size);
// The number block `index` (from 0) carries: 1 for the first, 255 followed by 0.
quint8 blockNumber(int index);
// Block `index` of `image`, filled up with 0xFF after the image ends.
QByteArray buildBlock(QByteArrayView image, int index);

class BootloaderHost {
public:
    virtual ~BootloaderHost() = default;
    // Written as they are, without a line break.
    virtual void writeBytes(const QByteArray &bytes) = 0;
    // One call of BootloaderExchange::timerFired after `ms`, replacing any earlier one.
    virtual void armTimer(int ms) = 0;
    virtual void stopTimer() = 0;
    virtual void progress(int percent) = 0;
    // The exchange ended (not called for cancel).
    virtual void finished() = 0;
};

class BootloaderExchange {
public:
    explicit BootloaderExchange(BootloaderHost &host) : m_host(host) {}

    static constexpr int KeyIntervalMs = 100;
    // A bootloader answers a block once it is written to flash; a second is ample for that.
    static constexpr int AnswerTimeoutMs = 2000;
    // The pause after each accepted block before the next one goes out.
    static constexpr int BlockPauseMs = 30;

    enum class State { Idle, Handshake, AwaitingAnswer, Pausing, Complete, Refused, NoAnswer, Cancelled };
    State state() const { return m_state; }
    // The port and its timer belong to the exchange while this holds.
    bool active() const { return m_state == State::Handshake || m_state == State::AwaitingAnswer || m_state == State::Pausing; }
    // The connect key is being offered (the handshake).
    bool BootKey() const { return m_state == State::Handshake; }
    // The bootloader answered the key in this exchange: it is running, whatever happens next.
    bool bootloaderAnswered() const { return m_answered; }

    int blocksTotal() const { return m_blocks; }
    int blocksAccepted() const { return m_accepted; }
    // The block (from 0) that was refused or not answered.
    int failedBlock() const { return m_accepted; }

    // Offers the key on each tick, every KeyIntervalMs, until "C" comes back. The first goes out
    // on the first tick: a controller just told to start its bootloader needs that long.
    void start(QByteArray image);
    void bytesReceived(QByteArrayView bytes);
    void timerFired();
    // Stops between two writes; nothing more is sent.
    void cancel();

    // What the operator is told at the end.
    QString resultText() const;

private:
    void sendConnectKey();
    void sendBlock();
    void finish(State state);

    BootloaderHost &m_host;
    State m_state = State::Idle;
    QByteArray m_image;
    int m_blocks = 0;
    int m_accepted = 0;
    bool m_answered = false;
};

} // namespace rdm::boot
