#pragma once
// The firmware dialog of a USB controller: pick an Intel HEX file, Update, watch the progress.
// The file is read and checked before the controller is touched; the exchange itself belongs to
// the USB link, which owns the port.

#include <QDialog>

class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QuorixLink;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    QPushButton *FileOpenBtn;
    QLineEdit *FileDisplay;
    QProgressBar *QuorixFwProgress;
    QPushButton *Update;
    QPushButton *Cancel;
    // Shown once the bootloader has not answered the key for a few seconds.
    QLabel *BootWait;

    // After this long without an answer to the key the dialog says what it is waiting for.
    static constexpr int WaitNoticeMs = 3000;

    void setLink(QuorixLink *link);
    // Recovery: Update talks to a controller already running its bootloader, with no controller
    // chosen and no RDM message (the port chooser's "Recover a controller in its bootloader").
    void setRecovery(bool on);
    bool recovery() const { return m_recovery; }

    void FileOpenBtnClick();
    void UpdateClick();
    void CancelClick();

    // Closes with Accepted only after a complete update.
    void reject() override;

private:
    void firmwareFinished();
    void setRunning(bool running);
    void showWaiting(qint64 ms);

    QuorixLink *m_link = nullptr;
    bool m_recovery = false;
    QMessageBox *m_stopQuestion = nullptr; // "Stop the firmware update?" while it is open
};
