#include "rdm/quorix_link.h"

#include "common/log_categories.h"
#include "rdm/port_error_text.h"
#include "rdm/rdm_params.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

namespace {
constexpr int SetPauseMs = 30; // after each step of the controller dialog's OK

QString tr(const char *text)
{
    return QCoreApplication::translate("QuorixLink", text);
}

QString stepName(rdm::EditStep step)
{
    switch (step) {
    case rdm::LabelStep: return tr("Nickname");
    case rdm::ModeStep: return tr("Mode");
    case rdm::StartAddressStep: return tr("DMX Start Address");
    case rdm::GammaStep:
    case rdm::EditSteps: break;
    }
    return tr("Gamma");
}
} // namespace

QuorixLink::QuorixLink(QObject *parent) : QuorixLink(new rdm::QtSerialPortIo, parent) {}

QuorixLink::QuorixLink(rdm::SerialPortIo *io, QObject *parent)
    : QObject(parent),
      Session(*this),
      VControllers(Session.VControllers),
      ComPort1([io] {
          auto *qt = qobject_cast<rdm::QtSerialPortIo *>(io);
          return qt ? qt->port() : nullptr;
      }()),
      Timer1(new QTimer(this)),
      m_io(io),
      m_line(*io),
      m_gapTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("QuorixLink"));
    m_io->setParent(this);
    m_clock.start();
    setPortName(QStringLiteral("COM1"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // The pacing is the protocol's clock; a coarse timer may fire 5 % late.
    Timer1->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setSingleShot(true);
    m_readBackTimer = new QTimer(this);
    m_readBackTimer->setTimerType(Qt::PreciseTimer);
    m_readBackTimer->setSingleShot(true);
    Session.pacing = &m_pacing;
    Session.searchEnded = [this](bool found) { endSearch(found); };
    Session.searchProgress = [this](const rdm::SearchProgress &progress) { emit searchStatus(progress); };

    connect(m_io, &rdm::SerialPortIo::readyRead, this, &QuorixLink::ComPort1RxChar);
    connect(m_io, &rdm::SerialPortIo::errorOccurred, this, &QuorixLink::portErrorOccurred);
    connect(Timer1, &QTimer::timeout, this, &QuorixLink::Timer1Timer);
    connect(m_readBackTimer, &QTimer::timeout, this, &QuorixLink::readBackTimeout);
    connect(m_gapTimer, &QTimer::timeout, this, &QuorixLink::gapTimerTimer);
}

QuorixLink::~QuorixLink()
{
    // Drained: a message still in the interface goes out whole.
    m_line.close();
}

void QuorixLink::setPortName(const QString &name)
{
    m_portName = name;
    m_io->setPortName(name);
}

// ---- port ----

bool QuorixLink::openLink(LineSetting setting)
{
    m_opening = true;
    const bool opened = m_line.open(setting);
    m_opening = false;
    return opened;
}

QString QuorixLink::openFailureDetail() const
{
    const QString path = rdm::portSystemLocation(m_portName);
    rdm::PortFailure failure = rdm::PortFailure::Other;
    switch (m_io->error()) {
    case QSerialPort::DeviceNotFoundError: failure = rdm::PortFailure::Missing; break;
    case QSerialPort::PermissionError:
        // Qt reports a port locked by another program as a permission error too.
        failure = QFileInfo(path).isWritable() || !QFileInfo::exists(path) ? rdm::PortFailure::Busy
                                                                            : rdm::PortFailure::PermissionDenied;
        break;
    default: break;
    }
    return rdm::portOpenDetail(failure, m_portName, path, m_io->errorString(), rdm::deviceGroup(path));
}

void QuorixLink::portErrorOccurred()
{
    const QSerialPort::SerialPortError error = m_io->error();
    // Open failures are reported by whoever opened; DTR and RTS are not there on every line, and
    // a break that cannot be set only costs that message.
    if (m_opening || error == QSerialPort::NoError || error == QSerialPort::UnsupportedOperationError
        || error == QSerialPort::TimeoutError || error == QSerialPort::UnknownError)
        return;
    if (!m_io->isOpen() && error != QSerialPort::ResourceError && error != QSerialPort::WriteError)
        return;
    if (m_readBack)
        endReadBack(false);
    const QString reason = m_io->errorString();
    const QString text = tr("The serial port %1 stopped working (was the USB interface unplugged?).\n\n%2")
                             .arg(rdm::portSystemLocation(m_portName), reason);
    const bool updating = m_bootloader.active();
    m_bootloader.cancel();
    Session.abort();
    m_io->clearError();
    // A port that has gone away takes nothing more; it is closed as it is.
    m_io->close();
    if (m_searching) {
        m_searching = false;
        emit searchEnded(false); // the table keeps what the last complete search drew
    }
    if (updating)
        emit firmwareFinished();
    emit portFailed(Failure{text, reason});
}

// ---- RDM session's transport ----

void QuorixLink::sendFrame(const QByteArray &frame, int breakUs)
{
    m_line.sendFrame(frame, breakUs);
    qCDebug(lcRdm) << "line: frame of" << frame.size() << "bytes written and drained";
}

void QuorixLink::pause(int us)
{
    QThread::usleep(ulong(us));
    // Nothing is read while the thread waits: what came in is thrown away here (see RdmTransport).
    m_io->dropInput();
}

void QuorixLink::startTimer(Timer which, int ms)
{
    if (which == Timer::Reply)
        ++m_replyTimerStarts;
    else
        ++m_gapTimerChanges;
    timer(which)->start(ms);
}

void QuorixLink::stopTimer(Timer which)
{
    if (which == Timer::Gap)
        ++m_gapTimerChanges;
    timer(which)->stop();
}

void QuorixLink::gapTimerTimer()
{
    if (m_bootloader.active())
        return;
    // As with the reply timer: on a busy machine the rest of a reply can be waiting when the
    // silence is due. It is handled first; if it ended the reply or restarted the wait, the
    // line was not silent and the time-out is spent.
    const quint64 changes = m_gapTimerChanges;
    m_io->pollInput();
    if (m_gapTimerChanges != changes)
        return;
    qCDebug(lcRdm) << "line: inter-byte time-out";
    Session.gapTimeout();
}

// ---- search ----

QString QuorixLink::wholeText(const Failure &failure)
{
    return failure.text.contains(failure.reason) ? failure.text : failure.text + QStringLiteral("\n\n") + failure.reason;
}

Failure QuorixLink::openFailure() const
{
    return {QStringLiteral("Can't open COM port!"), openFailureDetail()};
}

Result<> QuorixLink::startSearch()
{
    if (m_readBack)
        endReadBack(false);
    // A search still running stops here, whether or not the port opens again.
    Session.abort();
    if (m_searching) {
        m_searching = false;
        emit searchEnded(false);
    }
    if (!openLink(LineSetting::RdmLink))
        return openFailure();
    m_searching = true;
    emit searchStarted();
    Session.startSearch();
    return {};
}

void QuorixLink::ComPort1RxChar()
{
    const QByteArray bytes = m_io->readAll();
    qCDebug(lcRdm) << "line: received" << bytes.size() << "bytes";
    if (m_bootloader.active())
        m_bootloader.bytesReceived(bytes);
    else if (m_readBack)
        readBackBytes(bytes);
    else
        Session.bytesReceived(bytes);
}

void QuorixLink::Timer1Timer()
{
    if (m_bootloader.active()) {
        // The connect key, a block's answer time-out or the pause between blocks: never an RDM
        // request, which would land in the bootloader in the middle of its handshake.
        m_bootloader.timerFired();
        if (m_bootloader.BootKey())
            emit bootloaderWaiting(m_keyOffered.elapsed());
        return;
    }
    // On a busy machine the tick and the reply it waits for can both be due when the event loop
    // comes round, and the tick may be handled first: the reply would then be taken for the
    // answer to the next request. What has already come in is handled before the tick; if it
    // settled the wait (the session moved on, or stopped its timer) the tick is spent.
    const quint64 starts = m_replyTimerStarts;
    m_io->pollInput();
    if (m_replyTimerStarts != starts || !Timer1->isActive())
        return;
    qCDebug(lcRdm) << "line: reply timer ran out";
    Session.Timer1Timer();
}

void QuorixLink::endSearch(bool complete)
{
    m_searching = false;
    // A controller that answers a search runs its application again.
    for (const TQuorixCtrl &c : VControllers)
        m_leftInBootloader.remove(c.deviceId());
    m_line.close();
    emit searchEnded(complete);
}

// ---- set messages ----

Result<> QuorixLink::sendSet(int num, const rdm::RdmRequest &request)
{
    // A search running on the line keeps it; otherwise the message has the line to itself, with
    // the RDM setting whatever the port was last used for (the bootloader's 19200 8N1).
    if (m_readBack)
        endReadBack(false);
    const bool own = !m_searching;
    if (own && !openLink(LineSetting::RdmLink))
        return openFailure();
    const bool sent = m_line.sendFrame(Session.message(request), Session.timings.breakUs);
    const QString reason = sent ? QString() : m_io->errorString();
    if (own)
        m_line.close();
    if (!sent)
        return Failure{tr("It could not be written to %1: %2").arg(m_portName, reason), reason};
    emit setMessageWritten(num, request.pid);
    return {};
}

namespace {
Failure noController()
{
    return {tr("No controller is chosen."), {}};
}
} // namespace

Result<> QuorixLink::applyStep(int num, rdm::EditStep step, const rdm::QuorixEdits &values)
{
    if (num < 0 || num >= VControllers.size())
        return noController();
    TQuorixCtrl next = VControllers[num];
    rdm::storeEdit(next, step, values);
    Result<> sent = sendSet(num, rdm::editRequest(step, next));
    if (sent && num < VControllers.size())
        rdm::storeEdit(VControllers[num], step, values);
    return sent;
}

Result<> QuorixLink::LabelSet(int num, const QString &text)
{
    return applyStep(num, rdm::LabelStep, {.nickname = text});
}

Result<> QuorixLink::DeviceModeSet(int num, int personality)
{
    return applyStep(num, rdm::ModeStep, {.personality = personality});
}

Result<> QuorixLink::StartAddressSet(int num, int address)
{
    return applyStep(num, rdm::StartAddressStep, {.startAddress = address});
}

Result<> QuorixLink::DeviceGammaSet(int num, int tenths)
{
    return applyStep(num, rdm::GammaStep, {.gammaTenths = tenths});
}

Result<> QuorixLink::TriggerBootload(int num)
{
    if (num < 0 || num >= VControllers.size())
        return noController();
    return sendSet(num, rdm::triggerBootloadRequest(VControllers[num]));
}

QuorixLink::EditOutcome QuorixLink::applyEdits(int num, const rdm::QuorixEdits &shown, const rdm::QuorixEdits &edited)
{
    EditOutcome out;
    for (int i = 0; i < rdm::EditSteps; ++i) {
        const rdm::EditStep step = rdm::EditStep(i);
        if (rdm::stepChanged(step, shown, edited)) {
            const Result<> sent = applyStep(num, step, edited);
            if (!sent) {
                if (out.notSent.isEmpty())
                    out.reason = sent.failure();
                out.notSent << stepName(step);
            }
        }
        QThread::msleep(SetPauseMs);
    }
    emit recordChanged(num);
    return out;
}

// ---- read-back ----

Result<> QuorixLink::readBack(int num, const rdm::QuorixEdits &shown, const rdm::QuorixEdits &edited)
{
    if (num < 0 || num >= VControllers.size())
        return noController();
    if (m_searching || m_bootloader.active() || m_readBack)
        return Failure{tr("The line is busy with a search or a firmware update."), {}};
    rdm::ReadBackPlan plan(VControllers[num].deviceId(), shown, edited);
    if (!plan.next()) {
        // Nothing was sent, so there is nothing to ask; the end still comes from the event loop.
        QMetaObject::invokeMethod(this, [this, report = plan.report()] { emit readBackFinished(report); },
                                  Qt::QueuedConnection);
        return {};
    }
    if (!openLink(LineSetting::RdmLink))
        return openFailure();
    m_readBack.emplace(std::move(plan));
    askReadBack();
    return {};
}

void QuorixLink::askReadBack()
{
    const std::optional<rdm::RdmRequest> get = m_readBack->plan.next();
    if (!get) {
        endReadBack(true);
        return;
    }
    ++m_readBack->tries;
    ++m_readBack->gets;
    m_readBack->waitedGap = false;
    // Half duplex: whatever is still held belongs to an earlier message.
    m_readBack->replies.clear();
    const QByteArray frame = Session.message(*get);
    m_readBack->plan.sent(rdm::parseRdmHeader(frame)->transNum);
    if (!m_line.sendFrame(frame, Session.timings.breakUs)) {
        endReadBack(false); // the port's failure is reported by errorOccurred
        return;
    }
    m_readBackTimer->start(Session.timings.parameterTimeoutMs);
}

void QuorixLink::readBackBytes(QByteArrayView bytes)
{
    m_readBack->replies.append(bytes);
    while (const std::optional<QByteArray> frame = m_readBack->replies.takeRdm()) {
        const std::optional<rdm::TRdmPacket> header = rdm::parseRdmHeader(*frame);
        if (!header || !m_readBack->plan.take(*header, rdm::parameterData(*frame)))
            continue;
        m_readBackTimer->stop();
        m_readBack->tries = 0;
        // The controller leaves the line quiet for a moment after it has answered.
        pause(Session.timings.responseGapUs);
        askReadBack();
        return;
    }
}

void QuorixLink::readBackTimeout()
{
    // A reply already in, but not yet handed over, settles the wait first.
    const quint64 gets = m_readBack->gets;
    m_io->pollInput();
    if (!m_readBack || m_readBack->gets != gets)
        return;
    if (m_readBack->replies.pending() && !m_readBack->waitedGap) {
        // A reply is on its way in; it gets the inter-byte time-out to end.
        m_readBack->waitedGap = true;
        m_readBackTimer->start(Session.timings.gapTimeoutMs);
        return;
    }
    if (m_readBack->tries >= ReadBackTries) {
        m_readBack->plan.giveUp();
        m_readBack->tries = 0;
    }
    askReadBack();
}

void QuorixLink::endReadBack(bool closeLine)
{
    m_readBackTimer->stop();
    ReadBackRun run = std::move(*m_readBack);
    m_readBack.reset();
    while (run.plan.next())
        run.plan.giveUp();
    if (closeLine)
        m_line.close();
    emit readBackFinished(run.plan.report());
}

// ---- serial firmware update ----

Result<> QuorixLink::startFirmwareUpdate(int num, const QByteArray &image)
{
    if (num < 0 || num >= VControllers.size())
        return noController();
    Session.abort();
    m_searching = false;
    const quint32 id = VControllers[num].deviceId();
    // Running its bootloader, it takes no RDM message: the key finds it.
    if (!m_leftInBootloader.contains(id)) {
        if (Result<> triggered = TriggerBootload(num); !triggered)
            return triggered;
    }
    return beginTransfer(image, id);
}

Result<> QuorixLink::recoverFirmware(const QByteArray &image)
{
    Session.abort();
    if (m_searching) {
        m_searching = false;
        emit searchEnded(false);
    }
    return beginTransfer(image, 0);
}

bool QuorixLink::leftInBootloader(int num) const
{
    return num >= 0 && num < VControllers.size() && m_leftInBootloader.contains(VControllers[num].deviceId());
}

Result<> QuorixLink::beginTransfer(const QByteArray &image, quint32 deviceId)
{
    if (m_readBack)
        endReadBack(false);
    if (!openLink(LineSetting::BootloaderLink))
        return openFailure();
    m_transferTo = deviceId;
    m_keyOffered.start();
    m_bootloader.start(image);
    return {};
}

void QuorixLink::noteBootloaderLeft()
{
    // Only a bootloader that answered is known to be running; a controller that never answered
    // the key may never have left its application, and is told again next time.
    if (m_transferTo != 0 && m_bootloader.bootloaderAnswered())
        m_leftInBootloader.insert(m_transferTo);
}

void QuorixLink::cancelFirmwareUpdate()
{
    if (m_bootloader.active())
        noteBootloaderLeft();
    m_bootloader.cancel();
    Timer1->stop();
    // Back on the RDM link; a port that has gone away is reported by the next search.
    openLink(LineSetting::RdmLink);
}

void QuorixLink::writeBytes(const QByteArray &bytes)
{
    // A failed write is reported by errorOccurred.
    m_line.sendBytes(bytes);
}

void QuorixLink::armTimer(int ms)
{
    Timer1->setInterval(ms);
    Timer1->start();
}

void QuorixLink::stopTimer()
{
    Timer1->stop();
}

void QuorixLink::progress(int percent)
{
    emit firmwareProgress(percent);
}

void QuorixLink::finished()
{
    // The EOT has been drained; the line is free for the next search or set message, each of
    // which applies the RDM setting when it opens.
    if (m_bootloader.state() == rdm::boot::BootloaderExchange::State::Complete) {
        m_leftInBootloader.remove(m_transferTo); // restarted into its new firmware
        m_line.close();
    } else {
        noteBootloaderLeft();
    }
    emit firmwareFinished();
}
