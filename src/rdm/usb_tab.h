#pragma once
// The "USB Devices" tab: Search, the COM port in use, the device table and the records behind it.
// It owns the serial port and Timer1 and hands their events to the RDM session, which holds the
// protocol; the tab only opens and closes the port and draws what the session found.

#include "quorix_ctrl.h"
#include "rdm_session.h"

#include <QList>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QSerialPort;
class QStatusBar;
class QTableWidget;
class QTimer;

class UsbTab : public QWidget, private RdmSessionHost {
    Q_OBJECT
public:
    explicit UsbTab(QWidget *parent = nullptr);
    ~UsbTab() override;

    RdmSession Session;
    QList<TQuorixCtrl> &VControllers; // the session's records, one per table row

    QPushButton *USB_Search;
    QLabel *ComLabel;
    QLabel *lblSearching;
    QProgressBar *wheelSearching;
    QPushButton *Settings;
    QTableWidget *USB_Grid;
    QStatusBar *StatusBar1;
    QSerialPort *ComPort1;
    QTimer *Timer1;

    // The text ComLabel takes when a search opens the port.
    QString SerialPort;

    int rowCount() const;

    // The port the next open uses: "COM1" at start. A name without a slash is looked up the
    // system's way (/dev/NAME here); a path is used as it is.
    void setPortName(const QString &name);
    QString portName() const;

    // The two line settings of ComPort1. openLink closes the port, applies the setting (settings
    // change only while it is closed), opens it with DTR on and RTS off and drops stale input.
    enum class LineSetting { RdmLink, BootloaderLink };
    bool openLink(LineSetting setting);

    void USB_SearchClick();
    void ComPort1RxChar();
    void Timer1Timer();
    void UpdateTable() override;

    // Set messages: each opens the port with the setting it last had, sends and closes it, without
    // waiting for an answer. `num` indexes VControllers; the record already holds the new value.
    // Throws std::runtime_error when the port cannot be opened.
    void DeviceModeSet(int num);
    void StartAddressSet(int num);
    void LabelSet(int num);
    void DeviceGammaSet(int num);
    void TriggerBootload(int num);

signals:
    void countChanged(int rows);
    void settingsClicked();
    void controllerOpened(int row);
    void searchEnded(); // the table was drawn, or the search gave up

private:
    // RdmSessionHost
    void sendMessage(const QByteArray &message) override;
    void sleepMs(int ms) override;
    void setTimerInterval(int ms) override;
    void startTimer() override;
    void stopTimer() override;
    void startGapTimer() override;
    void stopGapTimer() override;
    void searchEndedEmpty() override;
    void searchProgress(const rdm::SearchProgress &progress) override;

    void applyLineSetting(LineSetting setting);
    void holdLineControl();
    void sendSet(int num, rdm::RdmRequest (*build)(const TQuorixCtrl &));
    void endSearchIndicators();

    QTimer *m_gapTimer;
};
