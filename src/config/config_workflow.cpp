#include "config_workflow.h"

#include "config_datagram.h"
#include "log_categories.h"
#include "network_tab.h"
#include "orvantic.h"
#include "tcp_firmware.h"
#include "tessara_adv.h"
#include "tessara_adv_rgb.h"
#include "tessara_config.h"
#include "trigger_bootloader.h"
#include "udp_port.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

using namespace configflow;

namespace {

void setColour(QLabel *label, configflow::Argb colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgba(colour));
    label->setPalette(palette);
}

void showAll(std::initializer_list<QWidget *> widgets, bool shown)
{
    for (QWidget *w : widgets)
        w->setVisible(shown);
}

} // namespace

ConfigWorkflow::ConfigWorkflow(NetworkTab &net, TTessaraConfig &config, TTessaraAdv &adv, TTessaraAdvRGB &advRgb,
                               TTCPFirmware &upload, QObject *parent)
    : QObject(parent),
      m_net(net),
      m_config(config),
      m_adv(adv),
      m_advRgb(advRgb),
      m_upload(upload),
      m_transport([this](const QByteArray &datagram, const QString &host) { m_net.IdUDPServer1->send(datagram, host); })
{
}

int ConfigWorkflow::selectedRow() const
{
    return m_net.selectedRow();
}

bool ConfigWorkflow::rowExists(int row) const
{
    return row >= 0 && row < m_net.PControllers.size() && row < m_net.rowCount();
}

std::optional<TTessaraCtrl> ConfigWorkflow::selectedController() const
{
    const int row = selectedRow();
    if (!rowExists(row))
        return std::nullopt;
    return m_net.PControllers[row];
}

QString ConfigWorkflow::adapterNetwork() const
{
    return m_net.selectedAdapterNetwork();
}

void ConfigWorkflow::NetCtrlSettings()
{
    const int row = selectedRow();
    if (!rowExists(row))
        return;
    const QString name = m_net.modelShown(row);
    if (name != QLatin1String(orvantic::ModelTessara16) && name != QLatin1String(orvantic::ModelCorvel16)
        && name != QLatin1String(orvantic::ModelTessara4))
        return;
    if (tessara::isBootloader(m_net.PControllers[row])) {
        m_upload.openFor(m_net.PControllers[row]);
        return;
    }
    if (!ipCompatibilityCheck(row))
        return;

    showSettingsTabs(true);
    fillDialogs(row);
    const int result = m_config.exec();
    if (result != TTessaraConfig::ResultOK && result != TTessaraConfig::ResultFirmware)
        return;
    if (!rowExists(row)) {
        tellNothingSent(QString());
        return;
    }
    if (result == TTessaraConfig::ResultOK)
        readBackAndSend(row);
    else
        TriggerBootloader(m_net.PControllers[row], *m_net.IdUDPServer1, m_upload);
}

bool ConfigWorkflow::ipCompatibilityCheck(int row)
{
    if (ipCompatibility(m_net.PControllers[row], adapterNetwork()) != IpCheck::OfferRepair)
        return true;
    qCDebug(lcConfig).noquote() << "controller at" << tessara::ipText(m_net.PControllers[row].CurrentIP)
                                << "is outside the adapter's network" << adapterNetwork() << "- repair offered";
    QWidget *window = m_net.window();
    const auto answer = QMessageBox::warning(window, window->windowTitle(), RepairQuestion,
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes && rowExists(row))
        networkOnlyWorkflow(row);
    return false;
}

void ConfigWorkflow::networkOnlyWorkflow(int row)
{
    TTessaraConfig &d = m_config;
    showSettingsTabs(false);
    d.TabControl1->setCurrentIndex(TTessaraConfig::NetworkTab);
    const DialogValues v = fillValues(m_net.PControllers[row]);
    fillAddress(v);

    if (d.exec() != TTessaraConfig::ResultOK)
        return;
    if (!rowExists(row)) {
        tellNothingSent(QString());
        return;
    }
    checkAddressBoxes();
    QString unreadable;
    const auto updated = readBackNetwork(dialogValues(), m_net.PControllers[row], &unreadable);
    if (!updated) {
        tellNothingSent(unreadable);
        return;
    }
    m_net.PControllers[row] = *updated;
    OrvaSendNetworkConfig(row);
}

void ConfigWorkflow::showSettingsTabs(bool shown)
{
    // The network-only repair hides them, and they stay hidden until the next full workflow.
    for (int tab : {TTessaraConfig::ControlTab, TTessaraConfig::LedTab, TTessaraConfig::MiscTab})
        m_config.TabControl1->setTabVisible(tab, shown);
}

void ConfigWorkflow::fillAddress(const DialogValues &v)
{
    TTessaraConfig &d = m_config;
    for (int k = 0; k < 4; ++k) {
        d.IP[k]->setText(v.ip[k]);
        d.SM[k]->setText(v.sm[k]);
    }
    (v.dhcp ? d.radioDHCP : d.radioStatic)->setChecked(true);
}

void ConfigWorkflow::checkAddressBoxes()
{
    TTessaraConfig &d = m_config;
    for (int k = 0; k < 4; ++k) {
        d.IP_SMExit(d.IP[k]);
        d.IP_SMExit(d.SM[k]);
    }
}

void ConfigWorkflow::fillDialogs(int row)
{
    const TTessaraCtrl c = m_net.PControllers[row];
    const Features f = featuresOf(c);
    const DialogValues v = fillValues(c);
    TTessaraConfig &d = m_config;

    // The output count first: the pixel limits of both dialogs read it.
    showAll({d.Label6, d.lblVolt2}, f.sixteenOutputs);

    fillAddress(v);
    d.txtStartUniv->setText(v.startUniv);
    d.txtStartChan->setText(v.startChan);
    d.txtNodes->setText(v.nodes);
    d.checkAdv->setChecked(v.advanced);
    if (v.artNet)
        (*v.artNet ? d.radioArtNet : d.radioSACN)->setChecked(true);
    if (v.holdFrame)
        d.checkHoldFrame->setChecked(*v.holdFrame);
    if (v.dmxOn && v.dmxUniv) {
        for (int k = 0; k < 4; ++k) {
            d.switchOut[k]->setChecked((*v.dmxOn)[k]);
            d.txtOut[k]->setText((*v.dmxUniv)[k]);
        }
    }

    // The caption before the chip: the chip's change handler shows the speed choice by it.
    d.lblSpeed->setText(speedCaption(f));
    d.comboChip->clear();
    d.comboChip->addItems(chipList(c));
    d.comboChip->setCurrentIndex(v.chip);

    if (v.perOutputOrder) {
        d.checkAdvRGB->setChecked(*v.perOutputOrder);
        d.comboRGB->setCurrentIndex(v.order);
        m_advRgb.setOrders(c.AdvRgbOrder);
    } else {
        d.comboRGB->setCurrentIndex(v.order);
    }
    if (v.slow)
        (*v.slow ? d.radioSlow : d.radioFast)->setChecked(true);

    // Unlocked while filling, or the lock would copy one colour's track into the others.
    d.switchLockSliders->setChecked(false);
    const std::array<QSlider *, 3> tracks{d.trackGammaRed, d.trackGammaGreen, d.trackGammaBlue};
    const std::array<QLineEdit *, 3> texts{d.txtGammaRed, d.txtGammaGreen, d.txtGammaBlue};
    for (int k = 0; k < 3; ++k)
        tracks[k]->setValue(v.gammaTrack[k]);
    for (int k = 0; k < 3; ++k)
        texts[k]->setText(v.gamma[k]);
    d.switchLockSliders->setChecked(v.lockSliders);

    d.txtNickname->setText(v.nickname);
    if (v.fan)
        d.txtFan->setText(*v.fan);
    if (v.fahrenheit)
        d.lblTempF->setText(*v.fahrenheit);
    d.lblFirmware->setText(v.firmware);
    const std::array<QLabel *, 2> volts{d.lblVolt1, d.lblVolt2};
    for (int k = 0; k < 2; ++k) {
        volts[k]->setText(v.voltage[k].text);
        setColour(volts[k], v.voltage[k].colour);
    }

    m_adv.setSixteenOutputs(f.sixteenOutputs);
    m_adv.fillFromRecord(c, f.groupingEditable, f.groupingFromRecord);

    // What is shown and enabled for this controller.
    d.checkAdvChange();
    showAll({d.lblProtocol, d.radioSACN, d.radioArtNet}, f.protocolChoice);
    if (f.protocolChoice)
        d.radioSACNChange();
    d.checkHoldFrame->setVisible(f.holdFrame);
    d.gboxDMX->setVisible(f.dmxOutputs);
    showAll({d.lblDMXOn2, d.lblDMXUniv2}, f.allDmxOutputs);
    for (int k = 1; k < 4; ++k)
        showAll({d.lblOut[k], d.switchOut[k], d.txtOut[k], d.btnOutUp[k], d.btnOutDown[k]}, f.allDmxOutputs);
    d.comboChipChange();
    showAll({d.checkAdvRGB, d.btnAdvancedRGB}, f.perOutputOrder);
    if (f.perOutputOrder) {
        d.lblRGB->setEnabled(true);
        d.checkAdvRGBChange();
    } else {
        d.comboRGB->setEnabled(f.singleOrderSelectable);
        d.lblRGB->setEnabled(f.singleOrderSelectable);
    }
    showAll({d.lblFan, d.txtFan, d.lblFanUnit, d.btnFanUp, d.btnFanDown, d.lblTempF}, f.fan);
}

void ConfigWorkflow::runBoxChecks(const Features &f)
{
    // Exactly the checks the operator's leaving each box would have run; every one is idempotent.
    // Boxes the controller does not offer are not read, so they are not checked either.
    TTessaraConfig &d = m_config;
    checkAddressBoxes();
    if (f.dmxOutputs)
        for (int k = 0; k < (f.allDmxOutputs ? 4 : 1); ++k)
            d.txtOutExit(k);
    if (f.fan)
        d.txtFanExit();
    if (!d.checkAdv->isChecked()) {
        d.txtStartUnivExit();
        d.txtStartChanExit();
        d.txtNodesExit();
        return;
    }
    for (int i = 0; i < (f.sixteenOutputs ? TTessaraAdv::Outputs : 4); ++i) {
        m_adv.startUnivExit(m_adv.editUniv[i]);
        m_adv.startChanExit(m_adv.editChan[i]);
        m_adv.numNodesExit(m_adv.editNodes[i]);
        m_adv.nullPixExit(m_adv.editNull[i]);
        m_adv.zigExit(m_adv.editZig[i]);
        if (f.groupingEditable) {
            m_adv.groupExit(m_adv.editGroup[i]);
            m_adv.intensityExit(m_adv.editBright[i]);
        }
    }
}

DialogValues ConfigWorkflow::dialogValues() const
{
    const TTessaraConfig &d = m_config;
    DialogValues v;
    for (int k = 0; k < 4; ++k) {
        v.ip[k] = d.IP[k]->text();
        v.sm[k] = d.SM[k]->text();
    }
    v.dhcp = d.radioDHCP->isChecked();
    v.startUniv = d.txtStartUniv->text();
    v.startChan = d.txtStartChan->text();
    v.nodes = d.txtNodes->text();
    v.advanced = d.checkAdv->isChecked();
    v.artNet = d.radioArtNet->isChecked();
    v.holdFrame = d.checkHoldFrame->isChecked();
    std::array<bool, 4> on{};
    std::array<QString, 4> univ;
    for (int k = 0; k < 4; ++k) {
        on[k] = d.switchOut[k]->isChecked();
        univ[k] = d.txtOut[k]->text();
    }
    v.dmxOn = on;
    v.dmxUniv = univ;
    v.chip = d.comboChip->currentIndex();
    v.perOutputOrder = d.checkAdvRGB->isChecked();
    v.order = d.comboRGB->currentIndex();
    std::array<int, Outputs> orders{};
    for (int i = 0; i < Outputs; ++i)
        orders[i] = m_advRgb.ComboBox[i]->currentIndex();
    v.outputOrders = orders;
    v.slow = d.radioSlow->isChecked();
    v.gamma = {d.txtGammaRed->text(), d.txtGammaGreen->text(), d.txtGammaBlue->text()};
    v.nickname = d.txtNickname->text();
    v.fan = d.txtFan->text();
    for (int i = 0; i < Outputs; ++i) {
        OutputRow &row = v.rows[i];
        row.univ = m_adv.editUniv[i]->text();
        row.chan = m_adv.editChan[i]->text();
        row.nodes = m_adv.editNodes[i]->text();
        row.null = m_adv.editNull[i]->text();
        row.zig = m_adv.editZig[i]->text();
        row.group = m_adv.editGroup[i]->text();
        row.bright = m_adv.editBright[i]->text();
        row.reversed = m_adv.switchRev[i]->isChecked();
    }
    return v;
}

bool ConfigWorkflow::readBackAndSend(int row)
{
    runBoxChecks(featuresOf(m_net.PControllers[row]));
    QString unreadable;
    const auto updated = readBack(dialogValues(), m_net.PControllers[row], &unreadable);
    if (!updated) {
        tellNothingSent(unreadable);
        return false;
    }
    m_net.PControllers[row] = *updated;
    OrvaSendConfig(row);
    return true;
}

void ConfigWorkflow::tellNothingSent(const QString &box)
{
    QWidget *window = m_net.window();
    const QString why = box.isEmpty()
        ? tr("The device list was cleared while the settings were open.")
        : tr("The box \"%1\" does not hold a number.").arg(box);
    qCWarning(lcConfig).noquote() << "nothing sent:" << why;
    QMessageBox::warning(window, window->windowTitle(),
                         tr("Nothing was sent to the device. %1 Open the device again to change its settings.")
                             .arg(why));
}

void ConfigWorkflow::OrvaSendConfig(int controller)
{
    const TTessaraCtrl &c = m_net.PControllers[controller];
    qCDebug(lcConfig).noquote() << "configuration datagram to" << tessara::ipText(c.CurrentIP);
    m_transport(orvantic::buildConfigDatagram(c), tessara::ipText(c.CurrentIP));
}

void ConfigWorkflow::OrvaSendNetworkConfig(int controller)
{
    qCDebug(lcConfig).noquote() << "network settings datagram by broadcast for the controller at"
                                << tessara::ipText(m_net.PControllers[controller].CurrentIP);
    m_transport(orvantic::buildNetSettingsDatagram(m_net.PControllers[controller]),
                QLatin1String(orvantic::BroadcastAddress));
}
