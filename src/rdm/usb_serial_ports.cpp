#include "rdm/usb_serial_ports.h"

#include <QDir>
#include <QFileInfo>

namespace rdm {

std::optional<QStringList> usbSerialPorts(const QString &classDir)
{
    const QDir dir(classDir);
    if (!dir.exists())
        return std::nullopt;
    QStringList usb;
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        // Virtual terminals and pseudo-terminals have no hardware behind them: one look each.
        const QFileInfo device(dir.filePath(name) + QStringLiteral("/device"));
        if (!device.exists())
            continue;
        const QString hardware = device.canonicalFilePath();
        if (hardware.isEmpty())
            continue;
        // A USB device says who made it; the interface and the port below it do not.
        for (QDir up(hardware); !up.isRoot(); up.setPath(QFileInfo(up.absolutePath()).absolutePath())) {
            if (QFileInfo::exists(up.filePath(QStringLiteral("idVendor")))) {
                usb << name;
                break;
            }
        }
    }
    return usb;
}

} // namespace rdm
