#include "firmware/firmware_upload.h"
#include "firmware/hex_image_check.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace firmware {

QString fileProblem(const QString &fileName)
{
    const auto text = [](const char *source) { return QCoreApplication::translate("TTCPFirmware", source); };
    if (fileName.trimmed().isEmpty())
        return text("No firmware file is chosen: press Browse and pick the controller's .hex file.");
    const QFileInfo info(fileName);
    if (info.isDir())
        return text("The firmware file %1 cannot be read: it is a folder.").arg(fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return text("The firmware file %1 cannot be read: %2").arg(fileName, file.errorString());
    if (file.size() == 0)
        return text("The firmware file %1 is empty.").arg(fileName);
    if (const QString why = hexImageProblem(file); !why.isEmpty())
        return text("The firmware file %1 is not a firmware HEX file: %2.").arg(fileName, why);
    if (file.error() != QFileDevice::NoError)
        return text("The firmware file %1 cannot be read: %2").arg(fileName, file.errorString());
    return {};
}

} // namespace firmware
