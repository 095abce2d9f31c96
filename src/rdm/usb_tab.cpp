#include "rdm/usb_tab.h"

#include "common/busy_wheel.h"
#include "common/device_table.h"
#include "common/error_handling.h"
#include "rdm/form3.h"
#include "common/form_builders.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_edits.h"
#include "rdm/quorix_texts.h"
#include "rdm/usb_device_model.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>

namespace {
constexpr int ComLabelX = 337;

constexpr int SettingsX = 561;
constexpr char FastSearchKey[] = "usb/fastSearch";
} // namespace

UsbTab::UsbTab(QuorixLink *link, QWidget *parent)
    : QWidget(parent),
      Link(link ? link : new QuorixLink(this)),
      USB_Search(common::forms::button(this, "USB_Search", tr("Search"), {8, 16, 97}, tr("Search for USB devices"))),
      ComLabel(stateLabel(new QLabel(tr("Using Com 1"), this), "ComLabel", tr("COM port in use"))),
      lblSearching(common::forms::label(this, "lblSearching", tr("Searching..."), {177, 8})),
      wheelSearching(named(new BusyWheel(this), "wheelSearching", tr("Search in progress"))),
      Settings(common::forms::button(this, "Settings", tr("Settings"), {SettingsX, 16, 81})),
      Devices(new UsbDeviceModel(Link->VControllers, this)),
      USB_Grid(named(new QTableView(this), "USB_Grid", tr("USB devices"))),
      StatusBar1(statusLine(new QStatusBar(this), "StatusBar1", tr("USB status"))),
      SerialPort(tr("Using Com 1"))
{
    setObjectName(QStringLiteral("USBDevices"));
    ComLabel->move(ComLabelX, 8);
    showPortLabel();
    wheelSearching->setGeometry(256, 8, 24, 24);
    wheelSearching->hide();
    // As tall as the wheel, so the text sits level with its middle.
    lblSearching->adjustSize();
    lblSearching->resize(lblSearching->width(), wheelSearching->height());
    lblSearching->hide();

    USB_Grid->setModel(Devices);
    setupDeviceView(USB_Grid);
    StatusBar1->setSizeGripEnabled(false); // placed with the page's size (resizeEvent)

    connect(USB_Search, &QPushButton::clicked, this, &UsbTab::USB_SearchClick);
    connect(Settings, &QPushButton::clicked, this, &UsbTab::settingsClicked);
    connect(USB_Grid, &QTableView::doubleClicked, this, &UsbTab::ControllerSettings);
    // Emptied before the records are: no row ever stands for a record that is gone.
    connect(Link, &QuorixLink::searchStarted, Devices, &UsbDeviceModel::clear);
    connect(Link, &QuorixLink::recordChanged, Devices, &UsbDeviceModel::recordChanged);
    openRowsByKeyboard(USB_Grid, [this](int) { ControllerSettings(); });
    connect(Link, &QuorixLink::searchStatus, this,
            [this](const rdm::SearchProgress &progress) { StatusBar1->showMessage(rdm::searchProgressText(progress)); });
    connect(Link, &QuorixLink::searchEnded, this, &UsbTab::searchEndedByLink);
    Link->setFastSearch(QSettings().value(QLatin1String(FastSearchKey), false).toBool());
}

UsbTab::~UsbTab() = default;

int UsbTab::rowCount() const
{
    return Devices->rowCount();
}

void UsbTab::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeStatusLine(USB_Grid, StatusBar1);
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

void UsbTab::setFastSearch(bool on)
{
    Link->setFastSearch(on);
    QSettings().setValue(QLatin1String(FastSearchKey), on);
}

// ---- search ----

void UsbTab::USB_SearchClick()
{
    if (const Result<> started = Link->startSearch(); !started) {
        QMessageBox box(QMessageBox::Warning, tr("USB Devices"), started.failure().text, QMessageBox::Ok, this);
        box.setInformativeText(started.failure().reason);
        box.exec();
        return;
    }
    showPortLabel();
    emit countChanged(0);
    wheelSearching->show();
    lblSearching->show();
}

void UsbTab::searchEndedByLink(bool complete)
{
    wheelSearching->hide();
    lblSearching->hide();
    StatusBar1->clearMessage();
    if (complete)
        UpdateTable();
    emit searchEnded();
}

void UsbTab::UpdateTable()
{
    Devices->showRecords();
    emit countChanged(Devices->rowCount());
}

// ---- controller dialog and set messages ----

void UsbTab::setDialogs(TQuorixConfig *config, TForm3 *form3)
{
    m_config = config;
    m_form3 = form3;
    config->setFirmwareDialog(form3);
    form3->setLink(Link);
}

void UsbTab::recoverFromBootloader()
{
    if (!m_form3)
        return;
    m_form3->setRecovery(true);
    m_form3->QuorixFwProgress->setValue(0);
    m_form3->exec();
    m_form3->setRecovery(false);
    returnFocusTo(USB_Search);
}

void UsbTab::ControllerSettings()
{
    const QModelIndexList selected = USB_Grid->selectionModel()->selectedRows();
    if (!m_config || selected.isEmpty())
        return;
    const int row = selected.first().row();
    if (!Link->hasController(row))
        return;
    Link->CurrentController = row;
    const TQuorixCtrl &c = Link->controller(row);
    m_config->load(rdm::editsOf(c), c.RM != 0, rdm::firmwareText(c), row + 1);
    // Compared with what the fields show, not with the record: a gamma of 0 from a controller
    // that never answered shows as 1.0 and must not be sent unless changed.
    const rdm::QuorixEdits shown = m_config->shownEdits();
    const int result = m_config->exec();
    // However the dialog closed ("Firmware Upgrade Complete!" closes it right after its box), the
    // operator goes on at the table.
    returnFocusTo(USB_Grid);
    if (result != QDialog::Accepted)
        return;
    const QuorixLink::EditOutcome outcome = Link->applyEdits(row, shown, m_config->edits());
    if (outcome.notSent.isEmpty())
        return;
    showFailure({tr("These changes did not reach controller %1: %2.\n\n%3")
                     .arg(row + 1)
                     .arg(outcome.notSent.join(tr(", ")), QuorixLink::wholeText(outcome.reason)),
                 outcome.reason.reason});
}
