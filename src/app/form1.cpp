#include "app/form1.h"

#include "app/about_windows.h"
#include "app/artwork.h"
#include "app/brand.h"
#include "config/config_workflow.h"
#include "rdm/form3.h"
#include "app/glw_application.h"
#include "common/error_handling.h"
#include "common/named_control.h"
#include "app/pdf_opener.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_settings.h"
#include "firmware/tcp_firmware.h"
#include "config/tessara_adv.h"
#include "config/tessara_adv_rgb.h"
#include "config/tessara_config.h"
#include "net/network_link.h"
#include "rdm/usb_tab.h"
#include "settings/settings_files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

TForm1::TForm1(quint8 brand, const Form1Options &options)
    : QWidget(nullptr),
      Brand(brand),
      Image1(named(new QLabel(this), "Image1", tr("Orvanta logo"))),
      Image2(named(new QLabel(this), "Image2", tr("Halvane logo"))),
      Image3(named(new QLabel(this), "Image3", tr("Quillon logo"))),
      tabControl1(named(new QTabWidget(this), "tabControl1", tr("Device families"))),
      QuorixLink1(new QuorixLink(this)),
      USBDevices(new UsbTab(QuorixLink1)),
      NetLink(new NetworkLink(options.udpPort, this)),
      NetworkDevices(new NetworkTab(*NetLink, nullptr, options.interfaces)),
      About(named(new QPushButton(tr("About"), this), "About", tr("About"))),
      DevicesLabel(stateLabel(new QLabel(tr("Found 0 Device(s)"), this), "DevicesLabel", tr("Device count")))
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(741, 553);

    // Only the brand's own logo is ever shown: drawing the others would cost start-up time for nothing.
    QLabel *images[] = {Image1, Image2, Image3};
    for (QLabel *image : images)
        image->setGeometry(472, 0, 265, 65);
    images[Brand == 1 || Brand == 2 ? Brand : 0]->setPixmap(brandLogo(brandIdentity(Brand).name, 265, 65));

    tabControl1->setGeometry(0, 40, 737, 497);
    tabControl1->addTab(USBDevices, tr("USB Devices"));
    tabControl1->addTab(NetworkDevices, tr("Network Devices"));
    tabControl1->setCurrentIndex(NetworkTabIndex);

    About->setGeometry(648, 80, 81, 25);
    About->raise(); // on top of the tab pages, right of the button row

    QFont labelFont = DevicesLabel->font();
    labelFont.setPointSize(12);
    DevicesLabel->setFont(labelFont);
    DevicesLabel->setGeometry(540, 520, 203, 33);
    DevicesLabel->setAlignment(Qt::AlignCenter);

    connect(tabControl1, &QTabWidget::currentChanged, this, &TForm1::tabControl1Change);
    connect(USBDevices, &UsbTab::countChanged, this, &TForm1::setDeviceCount);
    connect(NetworkDevices, &NetworkTab::countChanged, this, &TForm1::setDeviceCount);
    connect(USBDevices, &UsbTab::settingsClicked, this, &TForm1::SettingsClick);
    connect(About, &QPushButton::clicked, this, &TForm1::AboutClick);
    connect(NetworkDevices, &NetworkTab::helpClicked, this, &TForm1::btnHelpClick);

    // The other windows, in their fixed order; each lives as long as this one.
    QuorixSettings = new TQuorixSettings(this);
    QuorixConfig = new TQuorixConfig(this);
    TessaraConfig = new TTessaraConfig(this);
    Form3 = new TForm3(this);
    TessaraAdv = new TTessaraAdv(this);
    TCPFirmware = new TTCPFirmware(this);
    AboutWin = new TAboutWin(this);
    TessaraAdvRGB = new TTessaraAdvRGB(this);
    AboutWinHVN = new TAboutWinHVN(this);
    AboutWinQLN = new TAboutWinQLN(this);
    TessaraConfig->setSubDialogs(TessaraAdv, TessaraAdvRGB);
    USBDevices->setDialogs(QuorixConfig, Form3);
    connect(QuorixSettings, &TQuorixSettings::portChosen, USBDevices, &UsbTab::choosePort);
    connect(QuorixSettings, &TQuorixSettings::fastSearchChosen, USBDevices, &UsbTab::setFastSearch);
    connect(QuorixSettings, &TQuorixSettings::recoverChosen, USBDevices, &UsbTab::recoverFromBootloader,
            Qt::QueuedConnection); // once the chooser has closed
    QuorixSettings->startWithSingleUsbAdapter();
    // After the port's own signal has been handled: the box must not open inside it.
    // Shown once the slot that noticed it has returned.
    connect(QuorixLink1, &QuorixLink::portFailed, this, [](const Failure &failure) { showFailure(failure); },
            Qt::QueuedConnection);

    Workflow = new ConfigWorkflow(*NetLink, *NetworkDevices, *TessaraConfig, *TessaraAdv, *TessaraAdvRGB, *TCPFirmware, this);
    connect(NetworkDevices, &NetworkTab::controllerOpened, Workflow, [this] { Workflow->NetCtrlSettings(); });
    TessaraConfig->setSelectedController([this] { return Workflow->selectedController(); });
    Files = new SettingsFiles(*NetworkDevices, *TessaraConfig, *USBDevices, *QuorixConfig, this);

    // The keyboard's way through the window: the tabs, the buttons and list of the tab in front,
    // About, then the table (the other tab's controls are hidden and so skipped).
    QWidget *order[] = {tabControl1,
                        NetworkDevices->Net_Search,
                        Files->netFiles,
                        NetworkDevices->comboNetAdapter,
                        NetworkDevices->btnRefresh,
                        NetworkDevices->btnHelp,
                        USBDevices->USB_Search,
                        Files->usbFiles,
                        USBDevices->Settings,
                        About,
                        NetworkDevices->Network_Grid,
                        USBDevices->USB_Grid};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

TForm1::~TForm1() = default;

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TForm1::FormShow()
{
    const BrandIdentity identity = brandIdentity(Brand);
    setWindowTitle(identity.title);
    Image1->setVisible(Brand != 1 && Brand != 2);
    Image2->setVisible(Brand == 1);
    Image3->setVisible(Brand == 2);
    tabControl1->setTabVisible(UsbTabIndex, identity.usbTab);
    NetworkDevices->btnHelp->setVisible(identity.helpButton);

    NetworkDevices->UpdateNetInterfaces();
    const QString startError = NetLink->startupBindError();
    const Result<> bound = NetworkDevices->selectFirstAdapter();
    // What an operator does first; without an adapter Search is greyed out, and the tabs go first.
    if (NetworkDevices->Net_Search->isEnabled())
        NetworkDevices->Net_Search->setFocus(Qt::OtherFocusReason);
    else
        tabControl1->setFocus(Qt::OtherFocusReason);
    const QString reason = !bound ? bound.failure().text
        : !NetLink->isBound() ? startError
                                                    : QString();
    if (!reason.isEmpty()) {
        // The window still opens; the USB side works, the network side waits for a later pick.
        m_networkUnavailable =
            tr("The network side cannot listen on UDP port %1, so network devices cannot be found or "
               "configured.\n\nReason: %2\n\nAnother program (perhaps another copy of this utility) may be "
               "using the port. Close it, then choose the network adapter again. USB devices can be used "
               "as normal.")
                .arg(NetLink->port())
                .arg(reason);
        QTimer::singleShot(0, this, [this] {
            QMessageBox::warning(this, windowTitle(), m_networkUnavailable);
        });
    }
}

void TForm1::setDeviceCount(int rows)
{
    DevicesLabel->setText(tr("Found %1 Device(s)").arg(rows));
}

void TForm1::tabControl1Change()
{
    if (tabControl1->currentIndex() == UsbTabIndex)
        setDeviceCount(USBDevices->rowCount());
    else
        setDeviceCount(NetworkDevices->rowCount());
}

void TForm1::SettingsClick()
{
    QuorixSettings->refreshPorts(); // an interface plugged in since the last time shows up
    QuorixSettings->chkFastSearch->setChecked(USBDevices->fastSearch()); // a Cancel last time changed nothing
    QuorixSettings->exec();
}

void TForm1::AboutClick()
{
    if (Brand == 0)
        AboutWin->exec();
    else if (Brand == 1)
        AboutWinHVN->exec();
    else
        AboutWinQLN->exec();
}

void TForm1::btnHelpClick()
{
    TPdfOpener opener;
    opener.setDocName(QStringLiteral("Guide"));
    if (const Result<> opened = opener.Open(); !opened)
        showFailure(opened.failure());
}
