#include "firmware/trigger_bootloader.h"

#include "common/log_categories.h"
#include "net/orvantic.h"
#include "firmware/tcp_firmware.h"

#include <QThread>

Result<> TriggerBootloader(const TTessaraCtrl &controller, const DatagramSend &send, TTCPFirmware &upload, int waitMs)
{
    const TTessaraCtrl target = controller;
    qCDebug(lcFirmware).noquote() << "bootloader trigger to" << net::tessara::ipText(target.CurrentIP)
                                  << "- upload dialog in" << waitMs << "ms";
    if (Result<> sent = send(net::orvantic::bootloaderTrigger(), net::tessara::ipText(target.CurrentIP)); !sent)
        return sent;
    // The window stays blocked meanwhile: nothing may be handled between trigger and dialog.
    QThread::msleep(ulong(waitMs));
    upload.openFor(target);
    return {};
}
