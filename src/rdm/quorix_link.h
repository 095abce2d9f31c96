#pragma once
// The USB side without its windows: the serial line to the DMX interface (ComPort1), Timer1 and
// the inter-byte timer, the RDM session with the found controllers, the set messages and the
// serial firmware update. Everything an operator can do on the USB side is an operation here, so
// a window, a test or a command-line program does it alike; what happens is told by signals.
//
// The link decides who hears the line: while the bootloader exchange runs, received bytes and
// Timer1 ticks are its own; otherwise they are the RDM session's.

#include "common/result.h"
#include "rdm/quorix_ctrl.h"
#include "rdm/quorix_edits.h"
#include "rdm/quorix_read_back.h"
#include "rdm/rdm_session.h"
#include "rdm/search_progress.h"
#include "rdm/serial_bootloader.h"
#include "rdm/serial_line.h"

#include <QElapsedTimer>
#include <QList>
#include <QSet>
#include <QObject>
#include <QStringList>
#include <optional>

class QSerialPort;
class QTimer;

class QuorixLink : public QObject, private RdmTransport, private rdm::boot::BootloaderHost {
    Q_OBJECT
public:
    // On a real serial port.
    explicit QuorixLink(QObject *parent = nullptr);
    // On `io` (a test's fake port); the link takes it over.
    explicit QuorixLink(rdm::SerialPortIo *io, QObject *parent = nullptr);
    ~QuorixLink() override;

    RdmSession Session;
    QList<TQuorixCtrl> &VControllers; // the session's records; index = table row
    // The records, one per listed controller, by row.
    int count() const { return int(VControllers.size()); }
    bool hasController(int row) const { return row >= 0 && row < count(); }
    const TQuorixCtrl &controller(int row) const { return VControllers[row]; }
    QSerialPort *const ComPort1;      // null on a fake port
    QTimer *const Timer1;

    // The controller whose dialog was opened last; the firmware update addresses it.
    int CurrentController = -1;

    // The port the next open uses: "COM1" at start. A name without a slash is looked up the
    // system's way (/dev/NAME here); a path is used as it is.
    void setPortName(const QString &name);
    QString portName() const { return m_portName; }

    bool fastSearch() const { return Session.fastSearch; }
    void setFastSearch(bool on) { Session.fastSearch = on; }
    // What the pacing prescribes for the searches run so far.
    const rdm::SearchPacing &pacing() const { return m_pacing; }

    using LineSetting = rdm::LineSetting;
    // Closes the port (drained), applies the whole setting and opens it again.
    bool openLink(LineSetting setting);
    bool isOpen() const { return m_line.isOpen(); }
    // Why the last open failed, in words an operator can act on.
    QString openFailureDetail() const;
    // A failure of this link as one text: what failed, then why where the text does not say it.
    static QString wholeText(const Failure &failure);

    // A search: a search still running stops, the port opens on the RDM link and discovery starts.
    // Fails when the port cannot be opened; nothing else changed then.
    Result<> startSearch();
    bool searching() const { return m_searching; }

    void ComPort1RxChar();
    void Timer1Timer();

    // Set messages. Each opens the port on the RDM link, sends, drains and closes it, without
    // waiting for an answer. Each fails with why it did not go out.
    Result<> DeviceModeSet(int num, int personality);
    Result<> StartAddressSet(int num, int address);
    Result<> LabelSet(int num, const QString &text);
    Result<> DeviceGammaSet(int num, int tenths);
    Result<> TriggerBootload(int num);

    // The controller dialog's OK for controller `num`: label, mode, start address and gamma, each
    // sent when it differs from what the dialog showed, with a 30 ms pause after each step. A
    // value goes into the record only once its message has left the port.
    struct EditOutcome {
        QStringList notSent; // the fields whose message did not go out, in their order
        Failure reason;      // why the first of them did not
    };
    EditOutcome applyEdits(int num, const rdm::QuorixEdits &shown, const rdm::QuorixEdits &edited);

    // After applyEdits(num, shown, edited) sent every message: reads back what it sent with the
    // gets of those parameters alone (rdm::ReadBackPlan), on the RDM link, each asked until
    // answered, up to ReadBackTries times; the line is closed, drained, at the end. Ends with
    // readBackFinished, also when a search, a firmware update or a port failure cuts it short.
    // Fails, sending nothing, while a search or a firmware update has the line, or when the port
    // does not open.
    static constexpr int ReadBackTries = 3;
    Result<> readBack(int num, const rdm::QuorixEdits &shown, const rdm::QuorixEdits &edited);
    bool readingBack() const { return m_readBack.has_value(); }

    // The serial firmware update of controller `num`: the enter-bootloader message, the
    // bootloader link, then the exchange (connect key every 100 ms, blocks, EOT). Fails with why it
    // could not start. Progress and the end are signalled.
    Result<> startFirmwareUpdate(int num, const QByteArray &image);
    // The same for a controller already running its bootloader (a transfer to it failed or was
    // stopped, so it answers no search): no RDM message, the key at once on the bootloader link.
    Result<> recoverFirmware(const QByteArray &image);
    // Controller `num` was left in its bootloader by a transfer that did not complete: an update
    // goes straight to the key.
    bool leftInBootloader(int num) const;
    // Stops between two writes and returns to the RDM link, the port left open.
    void cancelFirmwareUpdate();
    const rdm::boot::BootloaderExchange &bootloader() const { return m_bootloader; }
    // Blocks are going out: the bootloader has answered and the transfer has not ended. Stopping
    // now leaves the controller in its bootloader with part of an image.
    bool transferUnderWay() const { return m_bootloader.active() && !m_bootloader.BootKey(); }

signals:
    void searchStarted();
    void searchStatus(const rdm::SearchProgress &progress);
    // The search ended; `complete` when it filled VControllers (the table is to be drawn).
    void searchEnded(bool complete);
    void setMessageWritten(int num, quint16 pid);
    // applyEdits has put into record `num` what went out.
    void recordChanged(int num);
    void firmwareProgress(int percent);
    // The key has been offered for `ms` without an answer.
    void bootloaderWaiting(qint64 ms);
    void firmwareFinished(); // complete, refused or unanswered; see bootloader()
    // The port failed while in use (unplugged, a write that failed); what ran has stopped.
    void portFailed(const Failure &failure);
    void readBackFinished(const rdm::ReadBackReport &report);

private:
    // RdmTransport
    void sendFrame(const QByteArray &frame, int breakUs) override;
    void pause(int us) override;
    void startTimer(Timer timer, int ms) override;
    void stopTimer(Timer timer) override;
    qint64 nowUs() const override { return m_clock.nsecsElapsed() / 1000; }
    // BootloaderHost
    void writeBytes(const QByteArray &bytes) override;
    void armTimer(int ms) override;
    void stopTimer() override;
    void progress(int percent) override;
    void finished() override;

    void portErrorOccurred();
    void gapTimerTimer();
    void endSearch(bool complete);
    QTimer *timer(Timer which) const { return which == Timer::Reply ? Timer1 : m_gapTimer; }
    Failure openFailure() const;
    Result<> sendSet(int num, const rdm::RdmRequest &request);
    Result<> applyStep(int num, rdm::EditStep step, const rdm::QuorixEdits &values);
    Result<> beginTransfer(const QByteArray &image, quint32 deviceId);
    void noteBootloaderLeft();
    // The read-back running: its gets, and the replies being pieced together.
    struct ReadBackRun {
        explicit ReadBackRun(rdm::ReadBackPlan p) : plan(std::move(p)) {}
        rdm::ReadBackPlan plan;
        int tries = 0;          // of the get in flight
        bool waitedGap = false; // its wait was stretched once for a reply still coming in
        quint64 gets = 0;       // messages sent, so a timer knows whether a reply moved it on
        rdm::RdmReassembler replies;
    };
    void askReadBack();
    void readBackBytes(QByteArrayView bytes);
    void readBackTimeout();
    void endReadBack(bool closeLine);

    rdm::SerialPortIo *m_io;
    rdm::SerialLine m_line;
    QTimer *m_gapTimer;
    rdm::SearchPacing m_pacing;
    QElapsedTimer m_clock; // for the round trips a fast search learns from
    quint64 m_replyTimerStarts = 0;
    quint64 m_gapTimerChanges = 0; // starts and stops, so its tick knows whether input moved it
    rdm::boot::BootloaderExchange m_bootloader{*this};
    QString m_portName;
    bool m_opening = false;
    bool m_searching = false;
    QElapsedTimer m_keyOffered;
    quint32 m_transferTo = 0; // the controller of the running transfer; 0 for a recovery
    QSet<quint32> m_leftInBootloader;
    QTimer *m_readBackTimer = nullptr;
    std::optional<ReadBackRun> m_readBack;
};
