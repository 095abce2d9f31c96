#include "tessara_adv.h"

TTessaraAdv::TTessaraAdv(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TessaraAdv"));
    setWindowTitle(tr("Advanced String Configuration"));
}
