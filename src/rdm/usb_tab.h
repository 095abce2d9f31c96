#pragma once
// The "USB Devices" tab: Search, the COM port in use, the device table and the records behind it.

#include "quorix_ctrl.h"

#include <QList>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTableWidget;

class UsbTab : public QWidget {
    Q_OBJECT
public:
    explicit UsbTab(QWidget *parent = nullptr);

    QList<TQuorixCtrl> VControllers;

    QPushButton *USB_Search;
    QLabel *ComLabel;
    QLabel *lblSearching;
    QProgressBar *wheelSearching;
    QPushButton *Settings;
    QTableWidget *USB_Grid;
    QStatusBar *StatusBar1;

    int rowCount() const;

signals:
    void countChanged(int rows);
    void settingsClicked();
    void controllerOpened(int row);
};
