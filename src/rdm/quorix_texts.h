#pragma once
// What the operator reads of a USB controller's record: the table's cells and the dialog's label
// text. The label has one rule wherever it is shown: its 32 bytes in order, one character per
// byte, NUL bytes left out.

#include "rdm/quorix_ctrl.h"

#include <QString>
#include <QStringList>

namespace rdm {

QString labelShown(const std::array<quint8, 32> &label);
// A typed nickname as the controller stores it: its first 32 characters, NUL bytes after them.
// A character that has no single byte becomes "?", not some other character.
std::array<quint8, 32> labelFromText(const QString &text);

QString firmwareText(const TQuorixCtrl &c); // "V2.1.5"
QString serialText(const TQuorixCtrl &c);   // the device ID as eight upper-case hex digits
double temperatureCelsius(const TQuorixCtrl &c);
int startAddress(const TQuorixCtrl &c);

// What the controller dialog says of the remote configuration mode (RM). Without it the
// controller takes only gamma from the PC.
QString remoteModeText(bool on);

// The USB table's row: model, nickname, firmware, serial, temperature.
QStringList usbRowTexts(const TQuorixCtrl &c);

} // namespace rdm
