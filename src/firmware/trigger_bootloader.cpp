#include "firmware/trigger_bootloader.h"

#include "firmware/tcp_firmware.h"

Result<> TriggerBootloader(const TTessaraCtrl &controller, const firmware::DatagramSend &send, TTCPFirmware &upload,
                           int waitMs)
{
    const TTessaraCtrl target = controller;
    // The window stays blocked meanwhile: nothing may be handled between trigger and dialog.
    if (Result<> started = firmware::startBootloader(target, send, waitMs); !started)
        return started;
    upload.openFor(target);
    return {};
}
