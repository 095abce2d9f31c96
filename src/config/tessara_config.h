#pragma once
// "Tessara Configuration": the settings of one Ethernet controller on four tabs. The dialog holds no
// data of its own; the values live in its controls: the opener hands values in (show) and takes
// them out again (values). Entry boxes are checked as they are left, never with a message.

#include "config/config_workflow_rules.h"
#include "config/field_rules.h"
#include "net/tessara_ctrl.h"

#include <QDialog>
#include <array>
#include <functional>
#include <optional>

namespace common {
class ExitChecks;
}
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class TTessaraAdv;
class TTessaraAdvRGB;

class TTessaraConfig : public QDialog {
    Q_OBJECT
public:
    static constexpr int ResultOK = 1;
    static constexpr int ResultCancel = 2;
    static constexpr int ResultFirmware = 3;
    enum Tab { NetworkTab = 0, ControlTab = 1, LedTab = 2, MiscTab = 3 };
    enum Colour { Red = 0, Green = 1, Blue = 2 };

    explicit TTessaraConfig(QWidget *parent = nullptr);
    ~TTessaraConfig() override;

    // The two sub-dialogs behind the "Advanced" buttons.
    void setSubDialogs(TTessaraAdv *adv, TTessaraAdvRGB *advRgb);
    // The record of the controller the dialog was opened for, looked up afresh on each call (the
    // records may move while the dialog is open); nothing when there is none.
    using ControllerSource = std::function<std::optional<TTessaraCtrl>()>;
    void setSelectedController(ControllerSource source);

    // "Update Firmware": asks first, naming the controller (No by default); closes the dialog with
    // ResultFirmware only on Yes.
    void btnFirmwareClick();

    QTabWidget *TabControl1;
    QWidget *tabNetwork;
    QWidget *tabControl;
    QWidget *tabLED;
    QWidget *tabMisc;
    QPushButton *btnOK;
    QPushButton *btnCancel;
    // Writes the controller's settings to a file; the dialog stays open.
    QPushButton *btnSave;

    // Network
    QGroupBox *gboxNetwork;
    QLabel *lblIP;
    std::array<QLineEdit *, 4> IP;   // IP1 ... IP4
    QLabel *lblSM;
    std::array<QLineEdit *, 4> SM;   // SM1 ... SM4
    std::array<QFrame *, 6> RoundRect;
    QLabel *lblDHCP;
    QRadioButton *radioDHCP;
    QRadioButton *radioStatic;

    // Control
    QGroupBox *gboxEthernet;
    QLabel *lblUniv;
    QLineEdit *txtStartUniv;
    QPushButton *btnUnivUp;
    QPushButton *btnUnivDown;
    QLabel *lblStartChan;
    QLineEdit *txtStartChan;
    QPushButton *btnChanUp;
    QPushButton *btnChanDown;
    QLabel *lblNodes;
    QLineEdit *txtNodes;
    QPushButton *btnNodesUp;
    QPushButton *btnNodesDown;
    QCheckBox *checkAdv;
    QPushButton *btnAdvanced;
    QLabel *lblProtocol;
    QRadioButton *radioSACN;
    QRadioButton *radioArtNet;
    QCheckBox *checkHoldFrame;
    QGroupBox *gboxDMX;
    QLabel *lblDMXOn1;
    QLabel *lblDMXUniv1;
    QLabel *lblDMXOn2;
    QLabel *lblDMXUniv2;
    std::array<QLabel *, 4> lblOut;         // lblOut1 ... lblOut4
    std::array<QCheckBox *, 4> switchOut;   // switchOut1 ... switchOut4
    std::array<QLineEdit *, 4> txtOut;      // txtOut1 ... txtOut4
    std::array<QPushButton *, 4> btnOutUp;  // btnOut1Up ... btnOut4Up
    std::array<QPushButton *, 4> btnOutDown;

    // LEDs
    QGroupBox *gboxLEDs;
    QLabel *lblChip;
    QComboBox *comboChip;
    QLabel *lblSpeed;
    QRadioButton *radioSlow;
    QRadioButton *radioFast;
    QLabel *lblRGB;
    QComboBox *comboRGB;
    QCheckBox *checkAdvRGB;
    QPushButton *btnAdvancedRGB;
    QGroupBox *gboxGamma;
    QLabel *Label4;
    QLabel *lblGammaRed;
    QLabel *Label2;
    QLabel *Label3;
    QSlider *trackGammaRed;
    QSlider *trackGammaGreen;
    QSlider *trackGammaBlue;
    QLineEdit *txtGammaRed;
    QLineEdit *txtGammaGreen;
    QLineEdit *txtGammaBlue;
    QLabel *lblTrackLock;
    QCheckBox *switchLockSliders;

    // Misc
    QGroupBox *gboxMisc;
    QLabel *lblNickname;
    QLineEdit *txtNickname;
    QLabel *lblFan;
    QLineEdit *txtFan;
    QPushButton *btnFanUp;
    QPushButton *btnFanDown;
    QLabel *lblFanUnit;
    QLabel *lblTempF;
    QGroupBox *gboxFirmware;
    QLabel *lblFirmware;
    QPushButton *btnFirmware;
    QGroupBox *gboxVoltage;
    QLabel *Label5;
    QLabel *lblVolt1;
    QLabel *Label6;
    QLabel *lblVolt2;

    // Pixels per output the controller takes: its Bank 2 voltage row is shown only for 16 outputs.
    qint64 pixelMaximum() const;

    // Values in: fills every control the controller offers (in the order the controls' own handlers
    // need) and shows and enables what `features` offer.
    void setValues(const config::flow::DialogValues &values, const config::flow::Features &features);
    // setValues, then the dialog, modally; ResultOK, ResultCancel or ResultFirmware.
    int show(const config::flow::DialogValues &values, const config::flow::Features &features);
    using QDialog::show;
    // The network-only repair: the address boxes and DHCP alone, on the Network tab; the other
    // tabs stay hidden until the next full showing.
    int showNetworkOnly(const config::flow::DialogValues &values);
    // Values out: everything the dialog and its two sub-dialogs hold.
    config::flow::DialogValues values() const;
    // After OK, exactly the checks that leaving each box the controller offers would have run.
    void runExitChecks(const config::flow::Features &features);
    void checkAddressBoxes();

    // Exit handlers.
    void IP_SMExit(QObject *sender);
    void txtStartUnivExit();
    void txtStartChanExit();
    void txtNodesExit();
    void txtOutExit(int output); // output 0 to 3
    void txtOut1Exit() { txtOutExit(0); }
    void txtOut2Exit() { txtOutExit(1); }
    void txtOut3Exit() { txtOutExit(2); }
    void txtOut4Exit() { txtOutExit(3); }
    void txtFanExit();
    void txtGammaExit(Colour colour);
    void txtGammaRedExit() { txtGammaExit(Red); }
    void txtGammaGreenExit() { txtGammaExit(Green); }
    void txtGammaBlueExit() { txtGammaExit(Blue); }

    // Steppers.
    void btnUnivUpClick();
    void btnUnivDownClick();
    void btnChanUpClick();
    void btnChanDownClick();
    void btnNodesUpClick();
    void btnNodesDownClick();
    void btnOutUpClick(int output); // output 0 to 3
    void btnOutDownClick(int output);
    void btnOut1UpClick() { btnOutUpClick(0); }
    void btnOut2UpClick() { btnOutUpClick(1); }
    void btnOut3UpClick() { btnOutUpClick(2); }
    void btnOut4UpClick() { btnOutUpClick(3); }
    void btnOut1DownClick() { btnOutDownClick(0); }
    void btnOut2DownClick() { btnOutDownClick(1); }
    void btnOut3DownClick() { btnOutDownClick(2); }
    void btnOut4DownClick() { btnOutDownClick(3); }
    void btnFanUpClick();
    void btnFanDownClick();

    // Change handlers.
    void checkAdvChange();
    void checkAdvRGBChange();
    void radioSACNChange();
    void comboChipChange();
    void trackGammaChange(Colour colour);
    void trackGammaRedChange() { trackGammaChange(Red); }
    void trackGammaGreenChange() { trackGammaChange(Green); }
    void trackGammaBlueChange() { trackGammaChange(Blue); }

    // Discards a typed character once the nickname holds 32 characters; keys that type nothing pass.
    void txtNicknameKeyDown(int key, QChar &character);

    void btnAdvancedClick();
    void btnAdvancedRGBClick();

    void done(int result) override;
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void saveClicked();

private:
    void buildNetworkTab();
    void buildControlTab();
    void buildLedTab();
    void buildMiscTab();
    void showSettingsTabs(bool shown);
    void setAddress(const config::flow::DialogValues &v);
    void applyRule(QLineEdit *box, const config::fieldrules::IntegerRule &rule);
    void step(QLineEdit *box, const config::fieldrules::StepRule &rule, bool up);
    void refreshFahrenheit();
    config::fieldrules::IntegerRule pixelRule() const;

    std::array<QSlider *, 3> m_tracks{};
    std::array<QLineEdit *, 3> m_gammaTexts{};
    common::ExitChecks *m_exits;
    TTessaraAdv *m_adv = nullptr;
    TTessaraAdvRGB *m_advRgb = nullptr;
    ControllerSource m_selected;
};
