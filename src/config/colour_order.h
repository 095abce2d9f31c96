#pragma once
// Colour orders: the order in which a pixel's red, green and blue values are sent. The code of an
// order is its item index in every colour-order combo box:
//
//   code  text   position of red, green, blue (0 = sent first)
//   0     RGB    0, 1, 2
//   1     RBG    0, 2, 1
//   2     GRB    1, 0, 2
//   3     GBR    2, 0, 1
//   4     BRG    1, 2, 0
//   5     BGR    2, 1, 0
//
// Firmware before per-output orders stored a single order in its earlier form: the three
// positions of the last column.

#include <QStringList>
#include <QtGlobal>
#include <array>

namespace config::colourorder {

inline constexpr int Count = 6;
// "RGB", "RBG", "GRB", "GBR", "BRG", "BGR", in code order.
const QStringList &itemTexts();

// The combo index that shows a stored code: the code itself, or -1 (no selection) for a code no
// order has, so that an unknown byte is never shown as a real order.
int comboIndex(quint8 code);

// Single order (combo index) to the earlier three-byte form; an index outside 0 to 4 gives BGR's.
std::array<quint8, 3> toEarlierForm(int index);
// The order that the earlier form's first two bytes (positions of red and green) identify.
int fromEarlierForm(quint8 redPosition, quint8 greenPosition);

} // namespace config::colourorder
