#pragma once
// The serial bootloader of a virtual Quorix controller: it answers the connect key with "C", then
// takes XMODEM-CRC blocks, checks each (start byte, number, complement, CRC), answers ACK or NAK,
// and keeps the image. EOT ends the transfer; after a refused block it waits for the key again.

#include <QByteArray>
#include <QByteArrayView>

struct BootloaderOptions {
    int nakBlock = 0;    // refuse the k-th block that arrives (once); 0: refuse none
    bool silent = false; // answer the key, but never a block
};

class VirtualBootloader {
public:
    BootloaderOptions options;

    // Power-up of the bootloader: waiting for the key.
    void restart()
    {
        m_connected = false;
        m_complete = false;
        m_pending.clear();
    }

    // The answer to what arrived on the line in one read.
    QByteArray handle(QByteArrayView bytes);

    bool connected() const { return m_connected; }
    bool complete() const { return m_complete; }
    // The data of every accepted block, in order, filler included.
    const QByteArray &image() const { return m_image; }
    int blocksSeen() const { return m_blocksSeen; }

private:
    QByteArray takeBlocks();

    QByteArray m_pending;
    QByteArray m_image;
    bool m_connected = false;
    bool m_complete = false;
    quint8 m_expected = 1;
    int m_blocksSeen = 0;
};
