#pragma once
// The firmware dialog of a USB controller: pick an Intel HEX file, Update, watch the progress.
// The file is read and checked before the controller is touched; the exchange itself belongs to
// the USB link, which owns the port.

#include <QDialog>

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

    void setLink(QuorixLink *link);

    void FileOpenBtnClick();
    void UpdateClick();
    void CancelClick();

    // Closes with Accepted only after a complete update.
    void reject() override;

private:
    void firmwareFinished();
    void setRunning(bool running);

    QuorixLink *m_link = nullptr;
    QMessageBox *m_stopQuestion = nullptr; // "Stop the firmware update?" while it is open
};
