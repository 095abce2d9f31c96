#include "tessara_config.h"

TTessaraConfig::TTessaraConfig(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TessaraConfig"));
    setWindowTitle(tr("Tessara Configuration"));
}
