#include "usb_tab.h"

#include "named_control.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>

UsbTab::UsbTab(QWidget *parent)
    : QWidget(parent),
      USB_Search(named(new QPushButton(tr("Search"), this), "USB_Search", tr("Search for USB devices"))),
      ComLabel(named(new QLabel(tr("Using Com 1"), this), "ComLabel", tr("COM port in use"))),
      lblSearching(named(new QLabel(tr("Searching..."), this), "lblSearching", tr("Searching..."))),
      wheelSearching(named(new QProgressBar(this), "wheelSearching", tr("Search in progress"))),
      Settings(named(new QPushButton(tr("Settings"), this), "Settings", tr("Settings"))),
      USB_Grid(named(new QTableWidget(0, 5, this), "USB_Grid", tr("USB devices"))),
      StatusBar1(named(new QStatusBar(this), "StatusBar1", tr("USB status")))
{
    setObjectName(QStringLiteral("USBDevices"));
    USB_Search->setGeometry(8, 16, 97, 25);
    QFont big = ComLabel->font();
    big.setPointSize(14);
    ComLabel->setFont(big);
    ComLabel->move(337, 8);
    ComLabel->adjustSize();
    lblSearching->move(177, 8);
    lblSearching->adjustSize();
    lblSearching->hide();
    wheelSearching->setGeometry(256, 8, 24, 24);
    wheelSearching->setRange(0, 0); // busy indicator
    wheelSearching->setTextVisible(false);
    wheelSearching->hide();
    Settings->setGeometry(561, 16, 81, 25);

    USB_Grid->setGeometry(4, 56, 729, 401);
    USB_Grid->setHorizontalHeaderLabels({tr("Model"), tr("Nickname"), tr("Firmware"), tr("Serial"), tr("Temp")});
    const int widths[] = {150, 150, 150, 150, 125};
    for (int c = 0; c < 5; ++c)
        USB_Grid->setColumnWidth(c, widths[c]);
    USB_Grid->verticalHeader()->hide();
    USB_Grid->verticalHeader()->setMinimumSectionSize(21);
    USB_Grid->verticalHeader()->setDefaultSectionSize(21);
    USB_Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    USB_Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    USB_Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 458, 737, 16);

    connect(Settings, &QPushButton::clicked, this, &UsbTab::settingsClicked);
    connect(USB_Grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { emit controllerOpened(row); });
}

int UsbTab::rowCount() const
{
    return USB_Grid->rowCount();
}
