#pragma once
// A line of virtual Quorix controllers on the master side of a pseudo-terminal. The PC opens the
// slave side as its COM port. A pty carries no line break, so messages are framed by start code
// and length (and checked by their checksum). The line runs on a thread of its own.
//
// Timing is that of a real line: a request takes its time on the wire at 250000 baud, the
// controllers answer after a turnaround well inside the 2 ms a responder is allowed, and the
// answer takes its own time on the wire before the PC can have it. A USB adapter's latency timer
// can be added on top. Where the system allows, the line's thread runs in real time, so that a
// loaded machine delays the PC, as it would with a real line, and not the controllers.

#include "rdm/rdm_reassembler.h"
#include "sim/rdm/virtual_quorix_line.h"

#include <QString>
#include <QList>
#include <atomic>
#include <chrono>
#include <deque>
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
    // A USB adapter that holds received bytes until its latency timer runs out: every reply is
    // handed over in pieces up to `ms` apart. Set before start().
    void setLatencyMs(int ms) { m_latencyMs = qMax(0, ms); }
    // An adapter whose latency can be lowered, as USB serial adapters of the common kind map the
    // serial low-latency flag to a 1 ms latency timer: while lowered, pieces are at most `ms`
    // apart instead. A pseudo-terminal has no such flag, so whoever opens the port asks here
    // (lowerLatency) in its place. Set before start().
    void setLoweredLatencyMs(int ms) { m_loweredLatencyMs = qMax(0, ms); }
    // Whether the adapter's latency can be lowered, and is now; safe from any thread.
    bool latencyLowerable() const { return m_loweredLatencyMs > 0; }
    bool lowerLatency(bool on)
    {
        if (!latencyLowerable())
            return false;
        m_latencyLowered = on;
        return true;
    }
    bool latencyLowered() const { return m_latencyLowered.load(); }
    // Bytes of the replies to the messages taken so far, one entry per message (0: no reply).
    QList<qsizetype> replySizes() const;
    // Hand every reply over in two halves `ms` apart, as an interface whose latency timer runs
    // out in the middle of a reply does. Set before start().
    void setReplyGapMs(int ms) { m_gapMs = qMax(0, ms); }
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
    // Those messages, in the order they came.
    QList<QByteArray> messages() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Delivery {
        Clock::time_point at;
        QByteArray bytes;
    };

    void run();
    void keepRealTime();
    void scheduleReply(const QByteArray &request, const QByteArray &reply, Clock::time_point received);
    void schedule(QList<Delivery> pieces);
    void deliverDue();
    void writeAll(const QByteArray &bytes);

    VirtualQuorixLine m_line;
    mutable std::mutex m_mutex;
    rdm::RdmReassembler m_framer;
    bool m_split = false;
    int m_latencyMs = 0;
    int m_loweredLatencyMs = 0;
    std::atomic<bool> m_latencyLowered{false};
    QList<qsizetype> m_replySizes;
    int m_gapMs = 0;
    int m_bootBaud = 0;
    qint64 m_bootBytes = 0; // taken by a bootloader since its last answer
    QList<QByteArray> m_messages;
    std::deque<Delivery> m_deliveries; // in time order; bytes never overtake each other
    int m_master = -1;
    int m_slaveHeld = -1;
    int m_wake[2] = {-1, -1};
    QString m_slavePath;
    std::thread m_thread;
    std::atomic<int> m_handled{0};
    unsigned m_pieceSeed = 12345;
    // How late the line's own deliveries were (its thread's; read once it has stopped).
    qint64 m_deliveriesMade = 0;
    qint64 m_deliveriesLate = 0;
    qint64 m_latestUs = 0;
};
