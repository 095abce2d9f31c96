#include "tcp_firmware.h"

TTCPFirmware::TTCPFirmware(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TCPFirmware"));
    setWindowTitle(tr("Tessara Firmware "));
}
