#include "rdm/port_error_text.h"

#include <QCoreApplication>
#include <QFile>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#endif

namespace rdm {

QString portSystemLocation(const QString &name)
{
#ifdef Q_OS_UNIX
    if (!name.contains(QLatin1Char('/')))
        return QStringLiteral("/dev/") + name;
#endif
    return name;
}

#ifdef Q_OS_UNIX
namespace {
gid_t overflowGroupId()
{
    QFile f(QStringLiteral("/proc/sys/kernel/overflowgid"));
    bool ok = false;
    const uint id = f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toUInt(&ok) : 0;
    return ok ? gid_t(id) : gid_t(65534);
}
} // namespace
#endif

QString deviceGroup(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    // Joining root's group is no advice to give. Nor is a group from outside this process's user
    // namespace (the demo runs in one): the kernel shows it as the overflow id, "nogroup".
    if (st.st_gid == 0 || st.st_gid == overflowGroupId())
        return {};
    if (const group *g = ::getgrgid(st.st_gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(st.st_gid);
#else
    Q_UNUSED(path);
    return {};
#endif
}

QString portOpenDetail(PortFailure failure, const QString &name, const QString &path, const QString &systemText,
                       const QString &group)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("PortError", text); };
    const QString where = path.isEmpty() || path == name ? name : QStringLiteral("%1 (%2)").arg(name, path);
    switch (failure) {
    case PortFailure::Missing:
        return tr("There is no serial port %1. Choose the port of the USB interface in Settings; if the "
                  "interface was unplugged, plug it in again.")
            .arg(where);
    case PortFailure::Busy:
        return tr("The serial port %1 is in use by another program (perhaps another copy of this utility). "
                  "Close it, then search again.")
            .arg(where);
    case PortFailure::PermissionDenied:
        if (group.isEmpty())
            return tr("Permission to use the serial port %1 was denied.").arg(where);
        return tr("Permission to use the serial port %1 was denied. Your user needs to be in the group "
                  "\"%2\", which owns the device: add it (for example with: sudo usermod -aG %2 $USER), "
                  "then log out and in again.")
            .arg(where, group);
    case PortFailure::Other:
        break;
    }
    return tr("The serial port %1 cannot be opened: %2").arg(where, systemText);
}

} // namespace rdm
