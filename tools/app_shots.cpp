// Pictures of the main window and the windows it owns (the USB side's, the firmware upload, About)
// for the user guide, made from the real forms on the offscreen platform: glw-app-shots OUTPUT_DIR.

#include "app/about_windows.h"
#include "net/network_link.h"
#include "sim/controller_file.h"
#include "app/form1.h"
#include "rdm/form3.h"
#include "net/orvantic.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_edits.h"
#include "rdm/quorix_settings.h"
#include "rdm/quorix_texts.h"
#include "firmware/tcp_firmware.h"
#include "rdm/usb_tab.h"
#include "settings/restore_dialog.h"
#include "settings/settings_files.h"
#include "sim/rdm/virtual_quorix_line.h"
#include "widget_shot.h"

#include <QApplication>
#include <QFile>
#include <QStatusBar>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <cstdio>

namespace {

// The main window as the demo shows it after a search: its adapter and its controllers
// (sim/demo_controllers.txt), their replies handed straight to the network tab.
bool fillNetworkTab(TForm1 &form)
{
    QFile file(QStringLiteral(GLW_DEMO_CONTROLLERS));
    QString error;
    const auto demo = file.open(QIODevice::ReadOnly) ? parseControllerFile(QString::fromUtf8(file.readAll()), &error)
                                                     : std::nullopt;
    if (!demo) {
        std::fprintf(stderr, "glw-app-shots: %s: %s\n", GLW_DEMO_CONTROLLERS,
                     qPrintable(error.isEmpty() ? file.errorString() : error));
        return false;
    }
    for (const VirtualController &c : *demo)
        form.NetLink->IdUDPServer1UDPRead(net::orvantic::buildPollReply(c.ctrl, c.model));
    form.NetworkDevices->StatusBar2->showMessage(net::tessara::searchStatusText(false, form.NetworkDevices->rowCount()));
    return true;
}

// The demo's DMX line (glw-rdmsim --count 4) found, on its pseudo-terminal.
void fillUsbTab(TForm1 &form)
{
    QList<TQuorixCtrl> found;
    for (int i = 0; i < 4; ++i)
        found << makeVirtualQuorix(0x1000 + quint32(i), i).rec;
    form.USBDevices->Link->VControllers = found;
    form.USBDevices->choosePort(QStringLiteral("/dev/pts/1"), QStringLiteral("Using /dev/pts/1"));
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
    firmware.lblStatus->show(); // as during an upload, so the picture shows the whole status text
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
    bool ok = fillNetworkTab(form) && saveShot(form, dir, "network_tab.png");
    {
        // A restore of the rig's file after two controllers were changed by hand: the file holds
        // what they had before.
        QList<settings::Entry> file;
        for (const settings::Entry &e : form.Files->listedEntries())
            if (!e.firmware.startsWith(QLatin1String("Bootloader")))
                file.append(e);
        file[0].nickname = QStringLiteral("Front truss");
        file[0].values.startUniv = QStringLiteral("21");
        file[2].values.gamma[0] = QStringLiteral("1.8");
        file[2].values.gammaTrack[0] = 18;
        RestoreDialog restore(QStringLiteral("/home/show/rig.json"), file, *form.NetworkDevices, *form.USBDevices);
        ok = saveShot(restore, dir, "restore.png") && ok;
    }
    form.show();
    fillUsbTab(form);
    form.tabControl1->setCurrentIndex(TForm1::UsbTabIndex);
    ok = saveShot(form, dir, "usb_tab.png") && ok;
    ok = saveShot(*form.QuorixSettings, dir, "quorix_settings.png") && ok;
    const QList<TQuorixCtrl> &found = form.USBDevices->Link->VControllers;
    form.QuorixConfig->load(rdm::editsOf(found[0]), true, rdm::firmwareText(found[0]), 1);
    ok = saveShot(*form.QuorixConfig, dir, "quorix_config.png") && ok;
    form.QuorixConfig->load(rdm::editsOf(found[3]), false, rdm::firmwareText(found[3]), 4);
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
