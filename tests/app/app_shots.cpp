// Pictures of the application's own windows for the user guide, made from the real forms on the
// offscreen platform: glw-app-shots OUTPUT_DIR.

#include "about_windows.h"
#include "form1.h"
#include "orvantic.h"
#include "tcp_firmware.h"
#include "widget_shot.h"

#include <QApplication>
#include <QLineEdit>
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
    ok = saveShot(about, dir, "about.png") && ok;
    ok = saveShot(aboutHalvane, dir, "about_halvane.png") && ok;
    ok = saveShot(aboutQuillon, dir, "about_quillon.png") && ok;
    ok = saveShot(firmware, dir, "tcp_firmware.png") && ok;
    return ok ? 0 : 1;
}
