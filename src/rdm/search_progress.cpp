#include "rdm/search_progress.h"

#include "rdm/rdm_params.h"

#include <QCoreApplication>

namespace rdm {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("UsbTab", text);
}

QString reading(quint8 phase)
{
    switch (phase) {
    case DEVICE_INFO: return tr("device information");
    case DEVICE_TEMP: return tr("temperature");
    case DEVICE_REMOTE: return tr("remote mode");
    case DEVICE_GAMMA: return tr("gamma");
    case DEVICE_LABEL: return tr("label");
    default: return {};
    }
}

} // namespace

QString searchProgressText(const SearchProgress &progress)
{
    if (progress.stage == SearchProgress::Discovering)
        return tr("Discovering\u2026 %1 found").arg(progress.found);
    const QString what = reading(progress.phase);
    const QString count = tr("Reading %1 of %2").arg(progress.asking + 1).arg(progress.found);
    return what.isEmpty() ? count : QStringLiteral("%1 (%2)").arg(count, what);
}

} // namespace rdm
