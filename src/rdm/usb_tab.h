#pragma once
// The "USB Devices" tab: Search, the COM port in use, the device table and the status line. A view
// of a QuorixLink, which owns the serial line, the timers and the records; the tab calls its
// operations and draws what it reports.

#include "rdm/quorix_link.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QResizeEvent;
class QStatusBar;
class QTableView;
class UsbDeviceModel;
class TForm3;
class TQuorixConfig;

class UsbTab : public QWidget {
    Q_OBJECT
public:
    // On `link`; without one the tab makes its own (a test's, a picture's).
    explicit UsbTab(QuorixLink *link = nullptr, QWidget *parent = nullptr);
    ~UsbTab() override;

    QuorixLink *const Link;

    QPushButton *USB_Search;
    QLabel *ComLabel;
    QLabel *lblSearching;
    QProgressBar *wheelSearching;
    QPushButton *Settings;
    UsbDeviceModel *const Devices; // over the link's records
    QTableView *USB_Grid;
    QStatusBar *StatusBar1;

    // The text ComLabel takes when a search opens the port.
    QString SerialPort;

    int rowCount() const;

    // The port the next open uses (see QuorixLink::setPortName).
    void setPortName(const QString &name) { Link->setPortName(name); }
    // The port chooser's OK: the label at once, the port at the next open.
    void choosePort(const QString &name, const QString &labelText);
    QString portName() const { return Link->portName(); }

    // Fast search (see RdmSession::fastSearch), remembered from one run to the next.
    bool fastSearch() const { return Link->fastSearch(); }
    void setFastSearch(bool on);

    void USB_SearchClick();
    void UpdateTable();

    // The double-click on a row: the controller's dialog, then the set messages for what changed.
    void setDialogs(TQuorixConfig *config, TForm3 *form3);
    void ControllerSettings();
    // The firmware dialog for a controller already in its bootloader, on the port in use.
    void recoverFromBootloader();

signals:
    void countChanged(int rows);
    void settingsClicked();
    void searchEnded(); // the table was drawn, or the search gave up

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showPortLabel();
    void searchEndedByLink(bool complete);

    TQuorixConfig *m_config = nullptr;
    TForm3 *m_form3 = nullptr;
};
