// Pictures of the main window and the windows it owns (the USB side's, the firmware upload, About)
// for the user guide, made from the real forms on the offscreen platform: glw-app-shots OUTPUT_DIR.

#include "app/about_windows.h"
#include "app/form1.h"
#include "rdm/form3.h"
#include "net/orvantic.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_edits.h"
#include "rdm/quorix_settings.h"
#include "rdm/quorix_texts.h"
#include "firmware/tcp_firmware.h"
#include "rdm/usb_tab.h"
#include "widget_shot.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <cstring>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <cstdio>

namespace {

// The main window as a show site sees it: one adapter, a handful of controllers answered.
void fillNetworkTab(TForm1 &form)
{
    struct Row {
        const char *model, *nickname, *firmware;
        quint8 ip;
        quint16 tenthsC;
        quint8 outputs;
    };
    const Row rows[] = {{"Tessara 16", "Stage left truss", "V1.4.6", 10, 287, 16},
                        {"Tessara 16", "Stage right truss", "V1.4.6", 11, 301, 16},
                        {"Tessara 4", "Bar top", "V1.3.0", 12, 244, 4},
                        {"Corvel 16", "Facade", "V1.4.4", 13, 352, 16},
                        {"Tessara 16", "Spare", "Bootloader V1.1", 14, 0, 16}};
    for (const Row &r : rows) {
        TTessaraCtrl c;
        c.CurrentIP = {10, 77, 1, r.ip};
        c.CurrentSM = {255, 255, 0, 0};
        c.NumStrings = r.outputs;
        c.Temperature = r.tenthsC;
        tessara::setFixedText(c.Nickname, QLatin1String(r.nickname));
        tessara::setFixedText(c.Firmware, QLatin1String(r.firmware));
        form.NetworkDevices->IdUDPServer1UDPRead(orvantic::buildPollReply(c, QLatin1String(r.model)));
    }
}

// A DMX line with three controllers found, as a search leaves it.
void fillUsbTab(TForm1 &form)
{
    struct Row {
        quint32 id;
        const char *label;
        quint8 minor;
        qint16 tenthsC;
        quint8 personality;
    };
    const Row rows[] = {{0x00A1C301, "Left wing", 3, 245, 1},
                        {0x00A1C302, "Right wing", 3, 251, 2},
                        {0x00A1C317, "Centre arch", 2, 268, 3}};
    QList<TQuorixCtrl> found;
    for (const Row &r : rows) {
        TQuorixCtrl c;
        c.setDeviceId(r.id);
        c.MID = {0, 1};
        c.SVID = {1, 0, r.minor, 0};
        c.PERS = {r.personality, 3};
        c.STA = {0, quint8(1 + 48 * (&r - rows))};
        std::memcpy(c.LBL.data(), r.label, std::strlen(r.label));
        c.TMP = {quint8(quint16(r.tenthsC) >> 8), quint8(r.tenthsC)};
        c.RM = 1;
        c.Gamma = 22;
        found << c;
    }
    form.USBDevices->VControllers = found;
    form.USBDevices->choosePort(QStringLiteral("ttyUSB0"), QStringLiteral("Using ttyUSB0"));
    form.USBDevices->UpdateTable();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: glw-app-shots OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    TAboutWin about;
    TAboutWinHVN aboutHalvane;
    TAboutWinQLN aboutQuillon;
    TTCPFirmware firmware;
    firmware.FileDisplay->setText(QStringLiteral("/home/show/firmware/tessara16_v1_4_6.hex"));
    Form1Options options;
    // The adapter must exist: scripts/screenshots-app gives it to a virtual interface in a private
    // namespace. Any free port will do, since this picture sends and receives nothing.
    options.udpPort = 0;
    options.interfaces = [](QList<tNetworkInterface> &out) {
        tNetworkInterface adapter;
        adapter.AddrIP = QStringLiteral("10.77.0.1");
        adapter.SubnetMask = QStringLiteral("255.255.0.0");
        adapter.AddrNet = QStringLiteral("10.77.0.0");
        out = {adapter};
        return true;
    };
    // A message box (the adapter's address cannot be bound here) would wait for a click forever.
    QTimer modalWatch;
    QObject::connect(&modalWatch, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "glw-app-shots: %s\n", qPrintable(box->text()));
            std::exit(1);
        }
    });
    modalWatch.start(50);
    TForm1 form(0, options);
    form.show();
    fillNetworkTab(form);
    bool ok = saveShot(form, dir, "network_tab.png");
    form.show();
    fillUsbTab(form);
    form.tabControl1->setCurrentIndex(TForm1::UsbTabIndex);
    ok = saveShot(form, dir, "usb_tab.png") && ok;
    ok = saveShot(*form.QuorixSettings, dir, "quorix_settings.png") && ok;
    const QList<TQuorixCtrl> &found = form.USBDevices->VControllers;
    form.QuorixConfig->load(rdm::editsOf(found[0]), true, rdm::firmwareText(found[0]), 1);
    ok = saveShot(*form.QuorixConfig, dir, "quorix_config.png") && ok;
    form.QuorixConfig->load(rdm::editsOf(found[2]), false, rdm::firmwareText(found[2]), 3);
    ok = saveShot(*form.QuorixConfig, dir, "quorix_config_remote_off.png") && ok;
    form.Form3->FileDisplay->setText(QStringLiteral("/home/show/firmware/quorix16_v1_0_4.hex"));
    form.Form3->QuorixFwProgress->setValue(40);
    ok = saveShot(*form.Form3, dir, "quorix_firmware.png") && ok;
    ok = saveShot(about, dir, "about.png") && ok;
    ok = saveShot(aboutHalvane, dir, "about_halvane.png") && ok;
    ok = saveShot(aboutQuillon, dir, "about_quillon.png") && ok;
    ok = saveShot(firmware, dir, "tcp_firmware.png") && ok;
    return ok ? 0 : 1;
}
