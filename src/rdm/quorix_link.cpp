#include "rdm/quorix_link.h"

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
    setPortName(QStringLiteral("COM1"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // The pacing is the protocol's clock; a coarse timer may fire 5 % late.
    Timer1->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setSingleShot(true);
    Session.pacing = &m_pacing;
    Session.searchEnded = [this](bool found) { endSearch(found); };
    Session.searchProgress = [this](const rdm::SearchProgress &progress) { emit searchStatus(progress); };

    connect(m_io, &rdm::SerialPortIo::readyRead, this, &QuorixLink::ComPort1RxChar);
    connect(m_io, &rdm::SerialPortIo::errorOccurred, this, &QuorixLink::portErrorOccurred);
    connect(Timer1, &QTimer::timeout, this, &QuorixLink::Timer1Timer);
    connect(m_gapTimer, &QTimer::timeout, this, [this] {
        if (!m_bootloader.active())
            Session.gapTimeout();
    });
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
    const QString text = tr("The serial port %1 stopped working (was the USB interface unplugged?).\n\n%2")
                             .arg(rdm::portSystemLocation(m_portName), m_io->errorString());
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
    emit portFailed(text);
}

// ---- RDM session's transport ----

void QuorixLink::sendFrame(const QByteArray &frame, int breakUs)
{
    m_line.sendFrame(frame, breakUs);
}

void QuorixLink::pause(int us)
{
    QThread::usleep(ulong(us));
}

void QuorixLink::startTimer(Timer which, int ms)
{
    timer(which)->start(ms);
}

void QuorixLink::stopTimer(Timer which)
{
    timer(which)->stop();
}

// ---- search ----

bool QuorixLink::startSearch()
{
    // A search still running stops here, whether or not the port opens again.
    Session.abort();
    if (m_searching) {
        m_searching = false;
        emit searchEnded(false);
    }
    if (!openLink(LineSetting::RdmLink))
        return false;
    m_searching = true;
    emit searchStarted();
    Session.startSearch();
    return true;
}

void QuorixLink::ComPort1RxChar()
{
    const QByteArray bytes = m_io->readAll();
    if (m_bootloader.active())
        m_bootloader.bytesReceived(bytes);
    else
        Session.bytesReceived(bytes);
}

void QuorixLink::Timer1Timer()
{
    if (m_bootloader.active()) {
        // The connect key, a block's answer time-out or the pause between blocks: never an RDM
        // request, which would land in the bootloader in the middle of its handshake.
        m_bootloader.timerFired();
        return;
    }
    Session.Timer1Timer();
}

void QuorixLink::endSearch(bool complete)
{
    m_searching = false;
    m_line.close();
    emit searchEnded(complete);
}

// ---- set messages ----

QString QuorixLink::sendSet(int num, const rdm::RdmRequest &request)
{
    // A search running on the line keeps it; otherwise the message has the line to itself, with
    // the RDM setting whatever the port was last used for (the bootloader's 19200 8N1).
    const bool own = !m_searching;
    if (own && !openLink(LineSetting::RdmLink))
        return QStringLiteral("Can't open COM port!\n\n%1").arg(openFailureDetail());
    const bool sent = m_line.sendFrame(Session.message(request), Session.timings.breakUs);
    const QString why = sent ? QString() : tr("It could not be written to %1: %2").arg(m_portName, m_io->errorString());
    if (own)
        m_line.close();
    if (sent)
        emit setMessageWritten(num, request.pid);
    return why;
}

namespace {
QString noController()
{
    return tr("No controller is chosen.");
}
} // namespace

QString QuorixLink::applyStep(int num, rdm::EditStep step, const rdm::QuorixEdits &values)
{
    if (num < 0 || num >= VControllers.size())
        return noController();
    TQuorixCtrl next = VControllers[num];
    rdm::storeEdit(next, step, values);
    const QString why = sendSet(num, rdm::editRequest(step, next));
    if (why.isEmpty() && num < VControllers.size())
        rdm::storeEdit(VControllers[num], step, values);
    return why;
}

QString QuorixLink::LabelSet(int num, const QString &text)
{
    return applyStep(num, rdm::LabelStep, {.nickname = text});
}

QString QuorixLink::DeviceModeSet(int num, int personality)
{
    return applyStep(num, rdm::ModeStep, {.personality = personality});
}

QString QuorixLink::StartAddressSet(int num, int address)
{
    return applyStep(num, rdm::StartAddressStep, {.startAddress = address});
}

QString QuorixLink::DeviceGammaSet(int num, int tenths)
{
    return applyStep(num, rdm::GammaStep, {.gammaTenths = tenths});
}

QString QuorixLink::TriggerBootload(int num)
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
            const QString why = applyStep(num, step, edited);
            if (!why.isEmpty()) {
                out.notSent << stepName(step);
                if (out.reason.isEmpty())
                    out.reason = why;
            }
        }
        QThread::msleep(SetPauseMs);
    }
    return out;
}

// ---- serial firmware update ----

QString QuorixLink::startFirmwareUpdate(int num, const QByteArray &image)
{
    if (num < 0 || num >= VControllers.size())
        return noController();
    Session.abort();
    m_searching = false;
    const QString why = TriggerBootload(num);
    if (!why.isEmpty())
        return why;
    if (!openLink(LineSetting::BootloaderLink))
        return QStringLiteral("Can't open COM port!\n\n%1").arg(openFailureDetail());
    m_bootloader.start(image);
    return {};
}

void QuorixLink::cancelFirmwareUpdate()
{
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
    if (m_bootloader.state() == boot::BootloaderExchange::State::Complete)
        m_line.close();
    emit firmwareFinished();
}
