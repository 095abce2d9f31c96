#include "usb_tab.h"

#include "device_table.h"
#include "form_builders.h"
#include "quorix_texts.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <stdexcept>

namespace {
constexpr qint32 RdmBaud = 250000; // not one of the standard rates
constexpr qint32 BootloaderBaud = 19200;
constexpr int WriteWaitMs = 100;
} // namespace

UsbTab::UsbTab(QWidget *parent)
    : QWidget(parent),
      Session(*this),
      VControllers(Session.VControllers),
      USB_Search(forms::button(this, "USB_Search", tr("Search"), {8, 16, 97}, tr("Search for USB devices"))),
      ComLabel(named(new QLabel(tr("Using Com 1"), this), "ComLabel", tr("COM port in use"))),
      lblSearching(forms::label(this, "lblSearching", tr("Searching..."), {177, 8})),
      wheelSearching(named(new QProgressBar(this), "wheelSearching", tr("Search in progress"))),
      Settings(forms::button(this, "Settings", tr("Settings"), {561, 16, 81})),
      USB_Grid(named(new QTableWidget(0, 5, this), "USB_Grid", tr("USB devices"))),
      StatusBar1(named(new QStatusBar(this), "StatusBar1", tr("USB status"))),
      ComPort1(new QSerialPort(this)),
      Timer1(new QTimer(this)),
      SerialPort(tr("Using Com 1")),
      m_gapTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("USBDevices"));
    ComPort1->setObjectName(QStringLiteral("ComPort1"));
    ComPort1->setPortName(QStringLiteral("COM1"));
    applyLineSetting(LineSetting::RdmLink); // what a set message opens with before any search
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // The pacing is the protocol's clock; a coarse timer may fire 5 % late.
    Timer1->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setSingleShot(true);
    m_gapTimer->setInterval(rdm::RDM_GAP_MS);

    QFont big = ComLabel->font();
    big.setPointSize(14);
    ComLabel->setFont(big);
    ComLabel->move(337, 8);
    ComLabel->adjustSize();
    lblSearching->adjustSize();
    lblSearching->hide();
    wheelSearching->setGeometry(256, 8, 24, 24);
    wheelSearching->setRange(0, 0); // busy indicator
    wheelSearching->setTextVisible(false);
    wheelSearching->hide();

    setupDeviceGrid(USB_Grid, {tr("Model"), tr("Nickname"), tr("Firmware"), tr("Serial"), tr("Temp")});
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 458, 737, 16);

    connect(USB_Search, &QPushButton::clicked, this, &UsbTab::USB_SearchClick);
    connect(Settings, &QPushButton::clicked, this, &UsbTab::settingsClicked);
    connect(USB_Grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { emit controllerOpened(row); });
    connect(ComPort1, &QSerialPort::readyRead, this, &UsbTab::ComPort1RxChar);
    connect(Timer1, &QTimer::timeout, this, &UsbTab::Timer1Timer);
    connect(m_gapTimer, &QTimer::timeout, this, [this] { Session.gapTimeout(); });
}

UsbTab::~UsbTab() = default;

int UsbTab::rowCount() const
{
    return USB_Grid->rowCount();
}

void UsbTab::setPortName(const QString &name)
{
    ComPort1->setPortName(name);
}

QString UsbTab::portName() const
{
    return ComPort1->portName();
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
    if (!ComPort1->open(QIODevice::ReadWrite))
        return false;
    holdLineControl();
    // Answers to messages sent while nobody listened (set messages) are still queued.
    ComPort1->clear(QSerialPort::Input);
    return true;
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
    if (!openLink(LineSetting::RdmLink)) {
        QMessageBox::warning(this, tr("USB Devices"), QStringLiteral("Can't open COM port!"));
        return;
    }
    ComLabel->setText(SerialPort);
    ComLabel->adjustSize();
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

void UsbTab::endSearchIndicators()
{
    wheelSearching->hide();
    lblSearching->hide();
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

// ---- set messages ----

void UsbTab::sendSet(int num, rdm::RdmRequest (*build)(const TQuorixCtrl &))
{
    if (num < 0 || num >= VControllers.size())
        return;
    if (!ComPort1->isOpen()) {
        if (!ComPort1->open(QIODevice::ReadWrite))
            throw std::runtime_error(ComPort1->errorString().toStdString());
        holdLineControl();
    }
    sendMessage(Session.message(build(VControllers[num])));
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
