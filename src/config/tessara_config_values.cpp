// The configuration dialog's values in and values out: what a controller's record and features
// put into the controls, in the order the controls' own handlers need, and what the operator left
// in them. The workflow only sequences; no one else reaches into these controls.

#include "config/tessara_adv.h"
#include "config/tessara_adv_rgb.h"
#include "config/tessara_config.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

using namespace config::flow;

namespace {

void setColour(QLabel *label, Argb colour)
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

void TTessaraConfig::showSettingsTabs(bool shown)
{
    // The network-only repair hides them, and they stay hidden until the next full showing.
    for (int tab : {ControlTab, LedTab, MiscTab})
        TabControl1->setTabVisible(tab, shown);
}

void TTessaraConfig::setAddress(const DialogValues &v)
{
    for (int k = 0; k < 4; ++k) {
        IP[k]->setText(v.ip[k]);
        SM[k]->setText(v.sm[k]);
    }
    (v.dhcp ? radioDHCP : radioStatic)->setChecked(true);
}

void TTessaraConfig::setValues(const DialogValues &v, const Features &f)
{
    showSettingsTabs(true);
    // The output count first: the pixel limits of both dialogs read it.
    showAll({Label6, lblVolt2}, f.sixteenOutputs);

    setAddress(v);
    txtStartUniv->setText(v.startUniv);
    txtStartChan->setText(v.startChan);
    txtNodes->setText(v.nodes);
    checkAdv->setChecked(v.advanced);
    if (v.artNet)
        (*v.artNet ? radioArtNet : radioSACN)->setChecked(true);
    if (v.holdFrame)
        checkHoldFrame->setChecked(*v.holdFrame);
    if (v.dmxOn && v.dmxUniv) {
        for (int k = 0; k < 4; ++k) {
            switchOut[k]->setChecked((*v.dmxOn)[k]);
            txtOut[k]->setText((*v.dmxUniv)[k]);
        }
    }

    // The caption before the chip: the chip's change handler shows the speed choice by it.
    lblSpeed->setText(speedCaption(f));
    comboChip->clear();
    comboChip->addItems(v.chips);
    comboChip->setCurrentIndex(v.chip);

    if (v.perOutputOrder)
        checkAdvRGB->setChecked(*v.perOutputOrder);
    comboRGB->setCurrentIndex(v.order);
    if (v.slow)
        (*v.slow ? radioSlow : radioFast)->setChecked(true);

    // Unlocked while filling, or the lock would copy one colour's track into the others.
    switchLockSliders->setChecked(false);
    for (int k = 0; k < 3; ++k)
        m_tracks[k]->setValue(v.gammaTrack[k]);
    for (int k = 0; k < 3; ++k)
        m_gammaTexts[k]->setText(v.gamma[k]);
    switchLockSliders->setChecked(v.lockSliders);

    txtNickname->setText(v.nickname);
    if (v.fan)
        txtFan->setText(*v.fan);
    if (v.fahrenheit)
        lblTempF->setText(*v.fahrenheit);
    lblFirmware->setText(v.firmware);
    const std::array<QLabel *, 2> volts{lblVolt1, lblVolt2};
    for (int k = 0; k < 2; ++k) {
        volts[k]->setText(v.voltage[k].text);
        setColour(volts[k], v.voltage[k].colour);
    }

    // What is shown and enabled for this controller.
    checkAdvChange();
    showAll({lblProtocol, radioSACN, radioArtNet}, f.protocolChoice);
    if (f.protocolChoice)
        radioSACNChange();
    checkHoldFrame->setVisible(f.holdFrame);
    gboxDMX->setVisible(f.dmxOutputs);
    showAll({lblDMXOn2, lblDMXUniv2}, f.allDmxOutputs);
    for (int k = 1; k < 4; ++k)
        showAll({lblOut[k], switchOut[k], txtOut[k], btnOutUp[k], btnOutDown[k]}, f.allDmxOutputs);
    comboChipChange();
    showAll({checkAdvRGB, btnAdvancedRGB}, f.perOutputOrder);
    if (f.perOutputOrder) {
        lblRGB->setEnabled(true);
        checkAdvRGBChange();
    } else {
        comboRGB->setEnabled(f.singleOrderSelectable);
        lblRGB->setEnabled(f.singleOrderSelectable);
    }
    showAll({lblFan, txtFan, lblFanUnit, btnFanUp, btnFanDown, lblTempF}, f.fan);
}

int TTessaraConfig::show(const DialogValues &values, const Features &features)
{
    setValues(values, features);
    return exec();
}

int TTessaraConfig::showNetworkOnly(const DialogValues &values)
{
    showSettingsTabs(false);
    TabControl1->setCurrentIndex(NetworkTab);
    setAddress(values);
    return exec();
}

void TTessaraConfig::checkAddressBoxes()
{
    for (int k = 0; k < 4; ++k) {
        IP_SMExit(IP[k]);
        IP_SMExit(SM[k]);
    }
}

void TTessaraConfig::runExitChecks(const Features &f)
{
    // Exactly the checks the operator's leaving each box would have run; every one is idempotent.
    // Boxes the controller does not offer are not read, so they are not checked either.
    checkAddressBoxes();
    if (f.dmxOutputs)
        for (int k = 0; k < (f.allDmxOutputs ? 4 : 1); ++k)
            txtOutExit(k);
    if (f.fan)
        txtFanExit();
    if (!checkAdv->isChecked()) {
        txtStartUnivExit();
        txtStartChanExit();
        txtNodesExit();
        return;
    }
    if (m_adv)
        m_adv->runExitChecks(f.sixteenOutputs ? TTessaraAdv::Outputs : 4, f.groupingEditable);
}

DialogValues TTessaraConfig::values() const
{
    DialogValues v;
    for (int k = 0; k < 4; ++k) {
        v.ip[k] = IP[k]->text();
        v.sm[k] = SM[k]->text();
    }
    v.dhcp = radioDHCP->isChecked();
    v.startUniv = txtStartUniv->text();
    v.startChan = txtStartChan->text();
    v.nodes = txtNodes->text();
    v.advanced = checkAdv->isChecked();
    v.artNet = radioArtNet->isChecked();
    v.holdFrame = checkHoldFrame->isChecked();
    std::array<bool, 4> on{};
    std::array<QString, 4> univ;
    for (int k = 0; k < 4; ++k) {
        on[k] = switchOut[k]->isChecked();
        univ[k] = txtOut[k]->text();
    }
    v.dmxOn = on;
    v.dmxUniv = univ;
    v.chip = comboChip->currentIndex();
    v.perOutputOrder = checkAdvRGB->isChecked();
    v.order = comboRGB->currentIndex();
    if (m_advRgb)
        v.outputOrders = m_advRgb->orders();
    v.slow = radioSlow->isChecked();
    v.gamma = {txtGammaRed->text(), txtGammaGreen->text(), txtGammaBlue->text()};
    v.nickname = txtNickname->text();
    v.fan = txtFan->text();
    if (m_adv)
        v.rows = m_adv->rows();
    return v;
}
