// Pictures of the application's own windows for the user guide, made from the real forms on the
// offscreen platform: glw-app-shots OUTPUT_DIR.

#include "about_windows.h"
#include "tcp_firmware.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <cstdio>

namespace {

bool save(QWidget &w, const QDir &out, const QString &name)
{
    w.show();
    QApplication::processEvents();
    const QString path = out.filePath(name);
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    w.hide();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: glw-app-shots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    TAboutWin about;
    TAboutWinHVN aboutHalvane;
    TAboutWinQLN aboutQuillon;
    TTCPFirmware firmware;
    firmware.FileDisplay->setText(QStringLiteral("/home/show/firmware/tessara16_v1_4_6.hex"));
    bool ok = save(about, out, QStringLiteral("about.png"));
    ok = save(aboutHalvane, out, QStringLiteral("about_halvane.png")) && ok;
    ok = save(aboutQuillon, out, QStringLiteral("about_quillon.png")) && ok;
    ok = save(firmware, out, QStringLiteral("tcp_firmware.png")) && ok;
    return ok ? 0 : 1;
}
