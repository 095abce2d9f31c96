#include "tessara_adv_rgb.h"

TTessaraAdvRGB::TTessaraAdvRGB(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TessaraAdvRGB"));
    setWindowTitle(tr("RGB Order"));
}
