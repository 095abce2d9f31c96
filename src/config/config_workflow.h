#pragma once
// The configuration workflow of a network controller, started by a double-click on its row: a
// controller in its bootloader goes to the firmware upload, one outside the adapter's network may
// be readdressed by MAC, any other is configured in TTessaraConfig and sent its settings on OK.
//
// This class only sequences: it chooses the path, hands the dialogs their values and takes them
// back, and has the network link store the record and send it; what the values are is decided in
// config_workflow_rules.h, and only the dialogs touch their controls. The network tab only says
// which row is selected and which adapter is chosen. The controller is always addressed by its
// row, looked up afresh after every modal step, since late poll replies may grow the list meanwhile.

#include "config/config_workflow_rules.h"

#include <QObject>

class NetworkLink;
class NetworkTab;
class TTCPFirmware;
class TTessaraAdv;
class TTessaraAdvRGB;
class TTessaraConfig;

class ConfigWorkflow : public QObject {
    Q_OBJECT
public:
    ConfigWorkflow(NetworkLink &link, NetworkTab &view, TTessaraConfig &config, TTessaraAdv &adv,
                   TTessaraAdvRGB &advRgb, TTCPFirmware &upload, QObject *parent = nullptr);

    // The double-click handler: one workflow for the controller in the selected row.
    void NetCtrlSettings();

    // The selected row of the network table, -1 when none is selected.
    int selectedRow() const;
    // The record of the selected row, as the dialogs' Cancel paths reload from it.
    std::optional<TTessaraCtrl> selectedController() const;

    // The 336-byte configuration datagram to the controller's present address.
    void OrvaSendConfig(int controller);
    // The 27-byte network settings datagram, broadcast; the controller is picked by its MAC.
    void OrvaSendNetworkConfig(int controller);

    // The network address of the adapter chosen in the adapter list; empty when none is.
    QString adapterNetwork() const;

    // Steps of the workflow, each for the controller at `row`.
    // False when the workflow ends here (network-only workflow run, or repair declined).
    bool ipCompatibilityCheck(int row);
    void networkOnlyWorkflow(int row);
    // Fills the dialogs for the controller and shows the configuration dialog; its result.
    int fillDialogs(int row);
    // OK: every box check, then the dialogs into the record and the datagram out. Nothing is
    // written or sent, and the operator is told, when a box still holds no number.
    bool readBackAndSend(int row);

private:
    void tellNothingSent(const QString &box);
    bool rowExists(int row) const;

    NetworkLink &m_link;
    NetworkTab &m_view;
    TTessaraConfig &m_config;
    TTessaraAdv &m_adv;
    TTessaraAdvRGB &m_advRgb;
    TTCPFirmware &m_upload;
};
