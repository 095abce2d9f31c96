#include "rdm/usb_serial_ports.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace rdm {

std::optional<QStringList> usbSerialPorts(const QString &classDir)
{
#ifdef Q_OS_LINUX
    // Read with the system's own calls: a port without hardware costs one look, where a listing
    // through QDir would look at each entry twice more.
    DIR *dir = ::opendir(QFile::encodeName(classDir).constData());
    if (!dir)
        return std::nullopt;
    QStringList usb;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.'))
            continue;
        // Virtual terminals and pseudo-terminals have no hardware behind them.
        if (::faccessat(::dirfd(dir), (name + "/device").constData(), F_OK, 0) != 0)
            continue;
        const QString hardware = QFileInfo(QDir(classDir).filePath(QFile::decodeName(name) + QStringLiteral("/device")))
                                     .canonicalFilePath();
        // A USB device says who made it; the interface and the port below it do not.
        for (QDir up(hardware); !hardware.isEmpty() && !up.isRoot();
             up.setPath(QFileInfo(up.absolutePath()).absolutePath())) {
            if (QFileInfo::exists(up.filePath(QStringLiteral("idVendor")))) {
                usb << QFile::decodeName(name);
                break;
            }
        }
    }
    ::closedir(dir);
    usb.sort();
    return usb;
#else
    Q_UNUSED(classDir);
    return std::nullopt;
#endif
}

} // namespace rdm
