#include "rdm/usb_tab.h"

#include "common/busy_wheel.h"
#include "common/device_table.h"
#include "rdm/form3.h"
#include "common/form_builders.h"
#include "rdm/port_error_text.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_edits.h"
#include "rdm/quorix_texts.h"

#include <QHeaderView>
#include <QLabel>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <stdexcept>

namespace {
constexpr qint32 RdmBaud = 250000; // not one of the standard rates
constexpr qint32 BootloaderBaud = 19200;
constexpr int WriteWaitMs = 100;
constexpr int SetPauseMs = 30; // after each step of the controller dialog's OK
constexpr int ComLabelX = 337;
constexpr int SettingsX = 561;
constexpr char FastSearchKey[] = "usb/fastSearch";
} // namespace

UsbTab::UsbTab(QWidget *parent)
    : QWidget(parent),
      Session(*this),
      VControllers(Session.VControllers),
      USB_Search(forms::button(this, "USB_Search", tr("Search"), {8, 16, 97}, tr("Search for USB devices"))),
      ComLabel(stateLabel(new QLabel(tr("Using Com 1"), this), "ComLabel", tr("COM port in use"))),
      lblSearching(forms::label(this, "lblSearching", tr("Searching..."), {177, 8})),
      wheelSearching(named(new BusyWheel(this), "wheelSearching", tr("Search in progress"))),
      Settings(forms::button(this, "Settings", tr("Settings"), {SettingsX, 16, 81})),
      USB_Grid(named(new QTableWidget(0, 5, this), "USB_Grid", tr("USB devices"))),
      StatusBar1(statusLine(new QStatusBar(this), "StatusBar1", tr("USB status"))),
      ComPort1(new QSerialPort(this)),
      Timer1(new QTimer(this)),
      SerialPort(tr("Using Com 1")),
      m_gapTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("USBDevices"));
    ComPort1->setObjectName(QStringLiteral("ComPort1"));
    setPortName(QStringLiteral("COM1"));
    applyLineSetting(LineSetting::RdmLink); // what a set message opens with before any search
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // The pacing is the protocol's clock; a coarse timer may fire 5 % late.
    Timer1->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setSingleShot(true);
    m_gapTimer->setInterval(rdm::RDM_GAP_MS);

    ComLabel->move(ComLabelX, 8);
    showPortLabel();
    wheelSearching->setGeometry(256, 8, 24, 24);
    wheelSearching->hide();
    // As tall as the wheel, so the text sits level with its middle.
    lblSearching->adjustSize();
    lblSearching->resize(lblSearching->width(), wheelSearching->height());
    lblSearching->hide();

    setupDeviceGrid(USB_Grid, {tr("Model"), tr("Nickname"), tr("Firmware"), tr("Serial"), tr("Temp")});
    StatusBar1->setSizeGripEnabled(false); // placed with the page's size (resizeEvent)

    connect(USB_Search, &QPushButton::clicked, this, &UsbTab::USB_SearchClick);
    connect(Settings, &QPushButton::clicked, this, &UsbTab::settingsClicked);
    connect(USB_Grid, &QTableWidget::cellDoubleClicked, this, &UsbTab::ControllerSettings);
    openRowsByKeyboard(USB_Grid, [this](int) { ControllerSettings(); });
    connect(ComPort1, &QSerialPort::readyRead, this, &UsbTab::ComPort1RxChar);
    connect(Timer1, &QTimer::timeout, this, &UsbTab::Timer1Timer);
    connect(m_gapTimer, &QTimer::timeout, this, [this] { Session.gapTimeout(); });
    connect(ComPort1, &QSerialPort::errorOccurred, this, &UsbTab::portErrorOccurred);
    Session.setBootloader(&m_bootloader);
    Session.fastSearch = QSettings().value(QLatin1String(FastSearchKey), false).toBool();
}

UsbTab::~UsbTab() = default;

int UsbTab::rowCount() const
{
    return USB_Grid->rowCount();
}

void UsbTab::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeStatusLine(USB_Grid, StatusBar1);
}

void UsbTab::setPortName(const QString &name)
{
    m_portName = name;
    ComPort1->setPortName(name);
}

void UsbTab::showPortLabel()
{
    // A system port's name can be long ("Using ttyUSB0" fits, a path may not): it shrinks, and
    // past the smallest size it is shortened in the middle, rather than run under Settings.
    const int room = SettingsX - ComLabelX - 8;
    QFont big = ComLabel->font();
    big.setPointSize(14);
    ComLabel->setFont(big);
    fitFont(ComLabel, SerialPort, room);
    ComLabel->setText(ComLabel->fontMetrics().elidedText(SerialPort, Qt::ElideMiddle, room));
    ComLabel->setToolTip(ComLabel->text() == SerialPort ? QString() : SerialPort);
    ComLabel->adjustSize();
}

void UsbTab::choosePort(const QString &name, const QString &labelText)
{
    SerialPort = labelText;
    showPortLabel();
    setPortName(name);
}

QString UsbTab::portName() const
{
    return m_portName;
}

void UsbTab::setFastSearch(bool on)
{
    Session.fastSearch = on;
    QSettings().setValue(QLatin1String(FastSearchKey), on);
}

// ---- port ----

void UsbTab::holdLineControl()
{
    // A pseudo-terminal and some adapters cannot drive DTR or RTS; the line works without them.
    ComPort1->setDataTerminalReady(true);
    ComPort1->setRequestToSend(false);
    ComPort1->clearError();
}

void UsbTab::applyLineSetting(LineSetting setting)
{
    const bool rdmLink = setting == LineSetting::RdmLink;
    ComPort1->setBaudRate(rdmLink ? RdmBaud : BootloaderBaud);
    ComPort1->setDataBits(QSerialPort::Data8);
    ComPort1->setParity(QSerialPort::NoParity);
    ComPort1->setStopBits(rdmLink ? QSerialPort::TwoStop : QSerialPort::OneStop);
    ComPort1->setFlowControl(QSerialPort::NoFlowControl);
}

bool UsbTab::openLink(LineSetting setting)
{
    ComPort1->close();
    applyLineSetting(setting);
    m_opening = true;
    const bool opened = ComPort1->open(QIODevice::ReadWrite);
    m_opening = false;
    if (!opened)
        return false;
    holdLineControl();
    // Answers to messages sent while nobody listened (set messages) are still queued.
    ComPort1->clear(QSerialPort::Input);
    return true;
}

QString UsbTab::openFailureDetail() const
{
    const QString name = m_portName;
    const QString path = rdm::portSystemLocation(name);
    rdm::PortFailure failure = rdm::PortFailure::Other;
    switch (ComPort1->error()) {
    case QSerialPort::DeviceNotFoundError: failure = rdm::PortFailure::Missing; break;
    case QSerialPort::PermissionError:
        // Qt reports a port locked by another program as a permission error too.
        failure = QFileInfo(path).isWritable() || !QFileInfo::exists(path) ? rdm::PortFailure::Busy
                                                                            : rdm::PortFailure::PermissionDenied;
        break;
    default: break;
    }
    return rdm::portOpenDetail(failure, name, path, ComPort1->errorString(), rdm::deviceGroup(path));
}

void UsbTab::portErrorOccurred()
{
    const QSerialPort::SerialPortError error = ComPort1->error();
    // Open failures are reported by whoever opened; DTR and RTS are not there on every line, and
    // a break that cannot be set only costs that message.
    if (m_opening || error == QSerialPort::NoError || error == QSerialPort::UnsupportedOperationError
        || error == QSerialPort::TimeoutError || error == QSerialPort::UnknownError)
        return;
    if (!ComPort1->isOpen() && error != QSerialPort::ResourceError && error != QSerialPort::WriteError)
        return;
    const QString text = tr("The serial port %1 stopped working (was the USB interface unplugged?).\n\n%2")
                             .arg(rdm::portSystemLocation(m_portName), ComPort1->errorString());
    const bool updating = m_bootloader.active();
    m_bootloader.cancel();
    Session.abort();
    ComPort1->clearError();
    if (m_searching) {
        m_searching = false;
        endSearchIndicators(); // the table keeps what the last complete search drew
        emit searchEnded();
    } else {
        ComPort1->close();
    }
    if (updating)
        emit firmwareFinished();
    emit portFailed(text);
}

void UsbTab::sendMessage(const QByteArray &message)
{
    ComPort1->setBreakEnabled(true);
    QThread::msleep(1);
    ComPort1->setBreakEnabled(false);
    ComPort1->write(message);
    // The message must be on the line before any blocking wait that follows it.
    ComPort1->flush();
    if (ComPort1->bytesToWrite() > 0)
        ComPort1->waitForBytesWritten(WriteWaitMs);
}

void UsbTab::sleepUs(int us)
{
    QThread::usleep(ulong(us));
}

void UsbTab::sleepMs(int ms)
{
    QThread::msleep(ulong(ms));
}

void UsbTab::setTimerInterval(int ms)
{
    Timer1->setInterval(ms);
}

void UsbTab::startTimer()
{
    Timer1->start();
}

void UsbTab::stopTimer()
{
    Timer1->stop();
}

void UsbTab::startGapTimer()
{
    m_gapTimer->start();
}

void UsbTab::stopGapTimer()
{
    m_gapTimer->stop();
}

// ---- search ----

void UsbTab::USB_SearchClick()
{
    // A search still running stops here, whether or not the port opens again.
    Session.abort();
    if (m_searching) {
        m_searching = false;
        wheelSearching->hide();
        lblSearching->hide();
        emit searchEnded();
    }
    if (!openLink(LineSetting::RdmLink)) {
        QMessageBox box(QMessageBox::Warning, tr("USB Devices"), QStringLiteral("Can't open COM port!"),
                        QMessageBox::Ok, this);
        box.setInformativeText(openFailureDetail());
        box.exec();
        return;
    }
    m_searching = true;
    showPortLabel();
    USB_Grid->setRowCount(0);
    emit countChanged(0);
    wheelSearching->show();
    lblSearching->show();
    Session.startSearch();
}

void UsbTab::ComPort1RxChar()
{
    Session.bytesReceived(ComPort1->readAll());
}

void UsbTab::Timer1Timer()
{
    Session.Timer1Timer();
}

void UsbTab::searchProgress(const rdm::SearchProgress &progress)
{
    StatusBar1->showMessage(rdm::searchProgressText(progress));
}

void UsbTab::endSearchIndicators()
{
    m_searching = false;
    wheelSearching->hide();
    lblSearching->hide();
    StatusBar1->clearMessage();
    ComPort1->close();
}

void UsbTab::UpdateTable()
{
    USB_Grid->setRowCount(0);
    for (const TQuorixCtrl &c : VControllers)
        appendDeviceRow(USB_Grid, rdm::usbRowTexts(c));
    endSearchIndicators();
    emit countChanged(USB_Grid->rowCount());
    emit searchEnded();
}

void UsbTab::searchEndedEmpty()
{
    endSearchIndicators();
    emit searchEnded();
}

// ---- controller dialog and set messages ----

void UsbTab::setDialogs(TQuorixConfig *config, TForm3 *form3)
{
    m_config = config;
    config->setFirmwareDialog(form3);
    form3->setUsbTab(this);
}

void UsbTab::ControllerSettings()
{
    const QList<QTableWidgetSelectionRange> selected = USB_Grid->selectedRanges();
    if (!m_config || selected.isEmpty())
        return;
    const int row = selected.first().topRow();
    if (row < 0 || row >= VControllers.size())
        return;
    CurrentController = row;
    const TQuorixCtrl &c = VControllers[row];
    m_config->load(rdm::editsOf(c), c.RM != 0, rdm::firmwareText(c), row + 1);
    // Compared with what the fields show, not with the record: a gamma of 0 from a controller
    // that never answered shows as 1.0 and must not be sent unless changed.
    const rdm::QuorixEdits shown = m_config->edits();
    const int result = m_config->exec();
    // However the dialog closed ("Firmware Upgrade Complete!" closes it right after its box), the
    // operator goes on at the table.
    returnFocusTo(USB_Grid);
    if (result != QDialog::Accepted)
        return;
    const rdm::EditMessages messages = rdm::applyEdits(VControllers[row], shown, m_config->edits());
    for (const std::optional<rdm::RdmRequest> &m : messages) {
        if (m)
            sendRequest(*m);
        QThread::msleep(SetPauseMs);
    }
}

// ---- set messages ----

void UsbTab::sendSet(int num, rdm::RdmRequest (*build)(const TQuorixCtrl &))
{
    if (num < 0 || num >= VControllers.size())
        return;
    sendRequest(build(VControllers[num]));
}

void UsbTab::sendRequest(const rdm::RdmRequest &request)
{
    if (!ComPort1->isOpen()) {
        m_opening = true;
        const bool opened = ComPort1->open(QIODevice::ReadWrite);
        m_opening = false;
        if (!opened)
            throw std::runtime_error(QStringLiteral("Can't open COM port!\n\n%1").arg(openFailureDetail()).toStdString());
        holdLineControl();
    }
    sendMessage(Session.message(request));
    ComPort1->close();
}

void UsbTab::DeviceModeSet(int num)
{
    sendSet(num, rdm::deviceModeSetRequest);
}

void UsbTab::StartAddressSet(int num)
{
    sendSet(num, rdm::startAddressSetRequest);
}

void UsbTab::LabelSet(int num)
{
    sendSet(num, rdm::labelSetRequest);
}

void UsbTab::DeviceGammaSet(int num)
{
    sendSet(num, rdm::deviceGammaSetRequest);
}

void UsbTab::TriggerBootload(int num)
{
    sendSet(num, rdm::triggerBootloadRequest);
}

// ---- serial firmware update ----

QString UsbTab::startFirmwareUpdate(int num, const QByteArray &image)
{
    if (num < 0 || num >= VControllers.size())
        return tr("No controller is chosen.");
    Session.abort();
    try {
        TriggerBootload(num);
    } catch (const std::runtime_error &e) {
        return QString::fromStdString(e.what());
    }
    if (!openLink(LineSetting::BootloaderLink))
        return QStringLiteral("Can't open COM port!\n\n%1").arg(openFailureDetail());
    m_bootloader.start(image);
    return {};
}

void UsbTab::cancelFirmwareUpdate()
{
    m_bootloader.cancel();
    Timer1->stop();
    // Back on the RDM link; a port that has gone away is reported by the next search.
    openLink(LineSetting::RdmLink);
}

void UsbTab::writeBytes(const QByteArray &bytes)
{
    if (ComPort1->write(bytes) != bytes.size())
        return; // errorOccurred has reported it
    ComPort1->flush();
    if (ComPort1->bytesToWrite() > 0)
        ComPort1->waitForBytesWritten(WriteWaitMs);
}

void UsbTab::armTimer(int ms)
{
    Timer1->setInterval(ms);
    Timer1->start();
}

void UsbTab::progress(int percent)
{
    emit firmwareProgress(percent);
}

void UsbTab::finished()
{
    if (m_bootloader.state() == boot::BootloaderExchange::State::Complete)
        ComPort1->close();
    emit firmwareFinished();
}
