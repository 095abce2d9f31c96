#pragma once
// A line of virtual Quorix controllers on the master side of a pseudo-terminal. The PC opens the
// slave side as its COM port. A pty carries no line break, so messages are framed by start code
// and length (and checked by their checksum). The line runs on a thread of its own.

#include "rdm_reassembler.h"
#include "virtual_quorix_line.h"

#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

class RdmLineSim {
public:
    explicit RdmLineSim(QList<VirtualQuorix> controllers);
    ~RdmLineSim();
    RdmLineSim(const RdmLineSim &) = delete;
    RdmLineSim &operator=(const RdmLineSim &) = delete;

    // Hand every reply over in pieces of 1 to 7 bytes, about a millisecond apart, as USB serial
    // interfaces do. Set before start().
    void setSplitReplies(bool on) { m_split = on; }
    // Hand every reply over in two halves `ms` apart, as an interface whose latency timer runs
    // out in the middle of a reply does. Set before start().
    void setReplyGapMs(int ms) { m_gapMs = ms; }
    // Bytes to a bootloader take the time they would on a line at `baud` (10 bits each) before it
    // answers; a pty itself carries them at once. 0: no such wait. Set before start().
    void setBootloaderBaud(int baud) { m_bootBaud = baud; }
    // Changes the controllers while the line runs (options of their bootloaders, for instance).
    template <class Change>
    void modify(Change change)
    {
        std::lock_guard lock(m_mutex);
        change(m_line.controllers);
    }

    bool start(QString *error);
    void stop();
    QString slavePath() const { return m_slavePath; }

    // The controllers as they are now (sets change them).
    QList<VirtualQuorix> controllers() const;
    // Complete messages taken from the line so far.
    int messagesHandled() const { return m_handled.load(); }

private:
    void run();
    void writeReply(const QByteArray &reply);
    void writeAll(const QByteArray &reply);

    VirtualQuorixLine m_line;
    mutable std::mutex m_mutex;
    rdm::RdmReassembler m_framer;
    bool m_split = false;
    int m_gapMs = 0;
    int m_bootBaud = 0;
    qint64 m_bootBytes = 0; // taken by a bootloader since its last answer
    int m_master = -1;
    int m_slaveHeld = -1;
    int m_wake[2] = {-1, -1};
    QString m_slavePath;
    std::thread m_thread;
    std::atomic<int> m_handled{0};
    unsigned m_pieceSeed = 12345;
};
