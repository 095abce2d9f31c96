// Pictures of the configuration dialogs for the documentation, made from the real forms on the
// offscreen platform: glw-config-shots OUTPUT_DIR.

#include "config/tessara_adv.h"
#include "widget_shot.h"
#include "config/tessara_adv_rgb.h"
#include "config/tessara_config.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <cstdio>

namespace {

TTessaraCtrl sampleController()
{
    TTessaraCtrl c;
    for (int i = 0; i < 16; ++i) {
        c.AdvUniv[i] = quint16(1 + i);
        c.AdvChan[i] = 1;
        c.NumNodes[i] = 170;
        c.Grouping[i] = 1;
        c.Brightness[i] = 100;
        c.AdvRgbOrder[i] = quint8(i % 6);
    }
    c.AdvNull[0] = 2;
    c.AdvZig[1] = 20;
    c.AdvReverse[2] = 1;
    c.NumNodes[3] = 100;
    c.Grouping[3] = 3;
    c.Brightness[4] = 60;
    return c;
}

void fillConfig(TTessaraConfig &d)
{
    const char *ip[] = {"10", "77", "1", "10"}; // the demo's "Stage left"
    const char *sm[] = {"255", "255", "0", "0"};
    for (int k = 0; k < 4; ++k) {
        d.IP[k]->setText(QLatin1String(ip[k]));
        d.SM[k]->setText(QLatin1String(sm[k]));
        d.switchOut[k]->setChecked(k < 2);
        d.txtOut[k]->setText(QString::number(k + 17));
    }
    d.radioStatic->setChecked(true);
    d.txtStartUniv->setText(QStringLiteral("1"));
    d.txtStartChan->setText(QStringLiteral("1"));
    d.txtNodes->setText(QStringLiteral("170"));
    d.checkHoldFrame->setChecked(true);
    d.checkAdv->setChecked(false);
    d.comboChip->addItems({QStringLiteral("TLS3001"), QStringLiteral("SM16716"), QStringLiteral("WS2801"),
                           QStringLiteral("LPD6803"), QStringLiteral("WS2811/12"), QStringLiteral("MBI6020"),
                           QStringLiteral("TM1803"), QStringLiteral("TM1804"), QStringLiteral("TM1809"),
                           QStringLiteral("Stella"), QStringLiteral("APA102")});
    d.lblSpeed->setText(config::fieldrules::SpeedCaption);
    d.comboChip->setCurrentIndex(4);
    d.radioFast->setChecked(true);
    d.comboRGB->setCurrentIndex(2);
    d.checkAdvRGB->setChecked(false);
    d.btnAdvancedRGB->setEnabled(false);
    d.switchLockSliders->setChecked(true);
    d.txtGammaRed->setText(QStringLiteral("2.2"));
    d.txtGammaRedExit();
    d.txtNickname->setText(QStringLiteral("Stage left"));
    d.txtFan->setText(QStringLiteral("35"));
    d.txtFanExit();
    d.lblFirmware->setText(QStringLiteral("V1.4.5"));
    d.lblVolt1->setText(QStringLiteral("12.4V"));
    d.lblVolt2->setText(QStringLiteral("Powered"));
    for (QLabel *volt : {d.lblVolt1, d.lblVolt2})
        volt->setStyleSheet(QStringLiteral("color: #008000;"));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: glw-config-shots OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);

    TTessaraConfig config;
    TTessaraAdv adv;
    TTessaraAdvRGB rgb;
    config.setSubDialogs(&adv, &rgb);
    fillConfig(config);
    const TTessaraCtrl sample = sampleController();
    adv.fillFromRecord(sample, true, true);
    rgb.setOrders(sample.AdvRgbOrder);

    bool ok = true;
    const char *tabs[] = {"tessara_config_network.png", "tessara_config_control.png", "tessara_config_leds.png",
                          "tessara_config_misc.png"};
    for (int t = 0; t < 4; ++t) {
        config.TabControl1->setCurrentIndex(t);
        ok = saveShot(config, dir, tabs[t]) && ok;
    }
    adv.setSixteenOutputs(true);
    adv.checkAutoChan->setChecked(true);
    ok = saveShot(adv, dir, "tessara_adv.png") && ok;
    adv.setSixteenOutputs(false);
    ok = saveShot(adv, dir, "tessara_adv_4.png") && ok;
    ok = saveShot(rgb, dir, "tessara_adv_rgb.png") && ok;
    return ok ? 0 : 1;
}
