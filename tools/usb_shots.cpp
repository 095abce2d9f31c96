// Pictures of the USB side's windows for the documentation, made from the real forms on the
// offscreen platform: glw-usb-shots OUTPUT_DIR.

#include "rdm/form3.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_texts.h"
#include "rdm/quorix_settings.h"
#include "rdm/usb_tab.h"
#include "sim/rdm/virtual_quorix_line.h"
#include "widget_shot.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);
    bool ok = true;

    UsbTab tab;
    tab.resize(737, 474);
    for (int i = 0; i < 6; ++i)
        tab.Link->VControllers.append(makeVirtualQuorix(0x1000 + quint32(i), i).rec);
    tab.choosePort(QStringLiteral("ttyUSB0"), QStringLiteral("Using ttyUSB0"));
    tab.UpdateTable();
    ok = saveShot(tab, dir, "usb_tab.png") && ok;

    TQuorixConfig config;
    const TQuorixCtrl &c = tab.Link->VControllers[1];
    config.load(rdm::editsOf(c), true, rdm::firmwareText(c), 2);
    ok = saveShot(config, dir, "quorix_config.png") && ok;
    config.load(rdm::editsOf(tab.Link->VControllers[3]), false, rdm::firmwareText(tab.Link->VControllers[3]), 4);
    ok = saveShot(config, dir, "quorix_config_remote_off.png") && ok;

    TQuorixSettings settings;
    settings.PortsCombo->setCurrentIndex(4);
    ok = saveShot(settings, dir, "quorix_settings.png") && ok;

    TForm3 form3;
    form3.FileDisplay->setText(QStringLiteral("/home/operator/firmware/quorix16_v2_1_5.hex"));
    form3.QuorixFwProgress->setValue(45);
    ok = saveShot(form3, dir, "quorix_firmware.png") && ok;
    return ok ? 0 : 1;
}
