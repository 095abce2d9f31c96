#include "firmware/bootloader_start.h"

#include "common/log_categories.h"
#include "net/orvantic.h"

#include <QThread>

namespace firmware {

Result<> startBootloader(const TTessaraCtrl &controller, const DatagramSend &send, int waitMs)
{
    const QString host = net::tessara::ipText(controller.CurrentIP);
    qCDebug(lcFirmware).noquote() << "bootloader trigger to" << host << "- upload in" << waitMs << "ms";
    if (Result<> sent = send(net::orvantic::bootloaderTrigger(), host); !sent)
        return sent;
    QThread::msleep(ulong(waitMs));
    return {};
}

} // namespace firmware
