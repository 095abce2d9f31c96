#pragma once
// What a USB search is doing, in the words the USB tab's status bar shows: the walk with the number
// of controllers found so far, then the readings with the controller being asked.

#include <QString>
#include <QtGlobal>

namespace rdm {

struct SearchProgress {
    enum Stage : quint8 { Discovering, Reading };
    Stage stage = Discovering;
    int found = 0;     // controllers recorded so far
    int asking = 0;    // Reading: index of the controller asked
    quint8 phase = 0;  // Reading: the parameter phase constant
    friend bool operator==(const SearchProgress &, const SearchProgress &) = default;
};

// "Discovering… 3 found"; "Reading 12 of 32 (temperature)". The count restarts with each of the
// five readings, so the reading is named.
QString searchProgressText(const SearchProgress &progress);

} // namespace rdm
