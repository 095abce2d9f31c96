#include "quorix_settings.h"

TQuorixSettings::TQuorixSettings(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QuorixSettings"));
    setWindowTitle(tr("Settings"));
}
