#pragma once
// The main window. It creates every other window once, in a fixed order, and owns what lives
// longer than a dialog: each family's link (port and records) and the tab that shows it, and the
// device-count label both tabs share.

#include "net/network_tab.h"
#include "net/orvantic.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTabWidget;
class QuorixLink;
class NetworkLink;
class UsbTab;
class TQuorixSettings;
class TQuorixConfig;
class TTessaraConfig;
class TForm3;
class TTessaraAdv;
class TTCPFirmware;
class TAboutWin;
class TTessaraAdvRGB;
class TAboutWinHVN;
class TAboutWinQLN;
class ConfigWorkflow;
class SettingsFiles;

struct Form1Options {
    quint16 udpPort = net::orvantic::Port;
    NetworkTab::InterfaceSource interfaces; // the system's adapters when empty
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(quint8 brand, const Form1Options &options = {});
    ~TForm1() override;

    const quint8 Brand;

    QLabel *Image1;
    QLabel *Image2;
    QLabel *Image3;
    QTabWidget *tabControl1;
    // The USB side's serial line, timers and records; the USB tab and its dialogs show it.
    QuorixLink *QuorixLink1;
    UsbTab *USBDevices;
    // The network side's UDP port and records; the network tab and the workflow reach them here.
    NetworkLink *NetLink;
    NetworkTab *NetworkDevices;
    QPushButton *About;
    QLabel *DevicesLabel;

    // The other ten windows, created after this one in this order.
    TQuorixSettings *QuorixSettings;
    TQuorixConfig *QuorixConfig;
    TTessaraConfig *TessaraConfig;
    TForm3 *Form3;
    TTessaraAdv *TessaraAdv;
    TTCPFirmware *TCPFirmware;
    TAboutWin *AboutWin;
    TTessaraAdvRGB *TessaraAdvRGB;
    TAboutWinHVN *AboutWinHVN;
    TAboutWinQLN *AboutWinQLN;

    // The double-click on a network row: configuration, network repair or firmware upload.
    ConfigWorkflow *Workflow;
    // Settings files: "Save…" in the controller dialogs, "Files" on each tab.
    SettingsFiles *Files;

    // Tab indexes.
    static constexpr int UsbTabIndex = 0;
    static constexpr int NetworkTabIndex = 1;

    void FormShow();
    void tabControl1Change();
    void SettingsClick();
    void AboutClick();
    // Writes the user guide to the temporary directory and opens it.
    void btnHelpClick();

    // Shown when UDP port 49150 cannot be listened on at start (empty when all is well).
    QString networkUnavailableText() const { return m_networkUnavailable; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setDeviceCount(int rows);

    bool m_shown = false;
    QString m_networkUnavailable;
};
