#pragma once
// "Tessara Firmware ": sends a firmware file to a controller whose bootloader is running. Created
// once and reused, so the chosen path stays in FileDisplay between openings. The opener names the
// controller (setTarget) before showing it.

#include "firmware/upload_link.h"
#include "net/orvantic.h"
#include "net/tessara_ctrl.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TTCPFirmware : public QDialog {
    Q_OBJECT
public:
    // `port` is net::orvantic::Port in the program.
    explicit TTCPFirmware(QWidget *parent = nullptr, quint16 port = net::orvantic::Port);

    QPushButton *FileOpenBtn;
    QLineEdit *FileDisplay;
    QLabel *lblStatus;
    QPushButton *Cancel;
    QPushButton *Update;
    // The connection and the upload; the dialog only shows what it does.
    firmware::UploadLink *IdTCPClient1;

    // The controller the next upload goes to: its present address.
    void setTarget(const TTessaraCtrl &controller);
    QString targetHost() const { return m_host; }
    quint16 port() const { return m_port; }

    // Sets the target and shows the dialog modally; returns when it closes.
    int openFor(const TTessaraCtrl &controller);

    void setTiming(const firmware::UploadTiming &timing) { IdTCPClient1->setTiming(timing); }

    void FileOpenBtnClick();
    // Takes the file path as it stands now: the upload sends that file, whatever the box shows later.
    void UpdateClick();
    // Connects to the target and uploads; when no connection can be made, nothing was sent and the
    // failure goes to the general error handling (the dialog stays open).
    void SendEthFirmware();
    // Runs once connected: the whole upload and its outcome.
    void IdTCPClient1Connected();

    // Closing is refused while an upload runs (only the single pass of event handling during it
    // could deliver a close).
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_uploading = false;
    QString m_host;
    QString m_file; // the path as it stood when Update was pressed
    quint16 m_port;
};
