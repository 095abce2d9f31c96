#pragma once
// The "USB Devices" tab: Search, the COM port in use, the device table and the records behind it.
// It owns the serial port and Timer1 and hands their events to the RDM session, which holds the
// protocol; the tab only opens and closes the port and draws what the session found.

#include "rdm/quorix_ctrl.h"
#include "rdm/rdm_session.h"

#include <QList>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QResizeEvent;
class QSerialPort;
class QStatusBar;
class QTableWidget;
class QTimer;
class TForm3;
class TQuorixConfig;

class UsbTab : public QWidget, private RdmSessionHost, private boot::BootloaderHost {
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

    // The controller whose dialog was opened last; the firmware update addresses it.
    int CurrentController = -1;

    int rowCount() const;

    // The port the next open uses: "COM1" at start. A name without a slash is looked up the
    // system's way (/dev/NAME here); a path is used as it is.
    void setPortName(const QString &name);
    // The port chooser's OK: the label at once, the port at the next open.
    void choosePort(const QString &name, const QString &labelText);
    QString portName() const;

    // Fast search (see RdmSession::fastSearch), remembered from one run to the next.
    bool fastSearch() const { return Session.fastSearch; }
    void setFastSearch(bool on);

    // The two line settings of ComPort1. openLink closes the port, applies the setting (settings
    // change only while it is closed), opens it with DTR on and RTS off and drops stale input.
    enum class LineSetting { RdmLink, BootloaderLink };
    bool openLink(LineSetting setting);
    // Why the last open failed, in words an operator can act on.
    QString openFailureDetail() const;

    void USB_SearchClick();
    void ComPort1RxChar();
    void Timer1Timer();
    void UpdateTable() override;

    // The double-click on a row: the controller's dialog, then the set messages for what changed.
    void setDialogs(TQuorixConfig *config, TForm3 *form3);
    void ControllerSettings();

    // Set messages: each opens the port with the setting it last had, sends and closes it, without
    // waiting for an answer. `num` indexes VControllers; the record already holds the new value.
    // Throws std::runtime_error when the port cannot be opened.
    void DeviceModeSet(int num);
    void StartAddressSet(int num);
    void LabelSet(int num);
    void DeviceGammaSet(int num);
    void TriggerBootload(int num);

    // The serial firmware update of controller `num`: the enter-bootloader message, the
    // bootloader link, then the exchange (connect key every 100 ms, blocks, EOT). Returns why it
    // could not start, or an empty text. Progress and the end are signalled.
    QString startFirmwareUpdate(int num, const QByteArray &image);
    // Stops between two writes and returns to the RDM link, the port left open.
    void cancelFirmwareUpdate();
    const boot::BootloaderExchange &bootloader() const { return m_bootloader; }

signals:
    void countChanged(int rows);
    void settingsClicked();
    void searchEnded(); // the table was drawn, or the search gave up
    void firmwareProgress(int percent);
    void firmwareFinished(); // complete, refused or unanswered; see bootloader()
    // The port failed while in use (unplugged, a write that failed); what ran has stopped.
    void portFailed(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // RdmSessionHost
    void sendMessage(const QByteArray &message) override;
    void sleepMs(int ms) override;
    void sleepUs(int us) override;
    void setTimerInterval(int ms) override;
    void startTimer() override;
    void stopTimer() override;
    void startGapTimer() override;
    void stopGapTimer() override;
    void searchEndedEmpty() override;
    void searchProgress(const rdm::SearchProgress &progress) override;
    // BootloaderHost
    void writeBytes(const QByteArray &bytes) override;
    void armTimer(int ms) override;
    void progress(int percent) override;
    void finished() override;
    // Both hosts' stopTimer is Timer1's.

    void portErrorOccurred();

    void applyLineSetting(LineSetting setting);
    void showPortLabel();
    void holdLineControl();
    void sendSet(int num, rdm::RdmRequest (*build)(const TQuorixCtrl &));
    void sendRequest(const rdm::RdmRequest &request);
    void endSearchIndicators();

    QTimer *m_gapTimer;
    TQuorixConfig *m_config = nullptr;
    boot::BootloaderExchange m_bootloader{*this};
    QString m_portName; // as chosen: "Com5", "ttyUSB0", "/dev/pts/3"
    bool m_opening = false;
    bool m_searching = false;
};
