#include "quorix_config.h"

TQuorixConfig::TQuorixConfig(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QuorixConfig"));
    setWindowTitle(tr("Quorix Configuration"));
}
