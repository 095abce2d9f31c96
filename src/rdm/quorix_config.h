#pragma once
// A USB controller's settings dialog: mode, DMX start address, nickname and gamma, with the
// firmware button. Values in (load) and out (edits); which set messages follow is decided by
// the core from what was shown and what is there at OK.

#include "rdm/quorix_edits.h"

#include <QDialog>

namespace common {
class ExitChecks;
}
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TForm3;

class TQuorixConfig : public QDialog {
    Q_OBJECT
public:
    explicit TQuorixConfig(QWidget *parent = nullptr);

    QLabel *Label4;
    QLabel *Label1;
    QComboBox *ControllerMode;
    QLabel *Label2;
    QLineEdit *StartAddress;
    QPushButton *Up;
    QPushButton *Down;
    QLabel *Label3;
    QLineEdit *Nickname;
    QLabel *lblGamma;
    QSlider *trackGamma;
    QLineEdit *txtGamma;
    QGroupBox *gboxFirmware;
    QLabel *Label5;
    QPushButton *btnFirmware;
    QPushButton *Button1;
    QPushButton *Button2;
    // Writes the controller's settings to a file; the dialog stays open.
    QPushButton *btnSave;

    static const QString RemoteOffText;
    static const QString RemoteOnText;

    void setFirmwareDialog(TForm3 *form3) { m_form3 = form3; }

    // Fills the dialog for controller number `controllerNumber` (1-based).
    void load(const rdm::QuorixEdits &values, bool remoteMode, const QString &firmware, int controllerNumber);
    // What the fields show, no check run: what load put there, until the operator acts.
    rdm::QuorixEdits shownEdits() const;
    // What the fields hold now, the focused box's check run first.
    rdm::QuorixEdits edits();

    void DMXStartExit();
    void UpClick();
    void DownClick();
    void trackGammaChange();
    void txtGammaExit();
    void btnFirmwareClick();

signals:
    void saveClicked();

private:
    int startMax() const;

    common::ExitChecks *m_exits;
    TForm3 *m_form3 = nullptr;
};
