#pragma once
// One USB (RDM) controller found on the DMX line.

#include <QtGlobal>
#include <array>

struct TQuorixCtrl {
    std::array<quint8, 4> UID{}; // device ID, most significant byte first
};
