#pragma once
// One USB (RDM) controller found on the DMX line. Every field keeps the byte order it travels in,
// so a reply's bytes are stored as they came and a set message takes them as they are.

#include "common/wire_fields.h"

#include <QtGlobal>
#include <array>

struct TQuorixCtrl {
    std::array<quint8, 4> UID{};   // device ID part of the UID, most significant byte first
    std::array<quint8, 2> MID{};   // device model ID, big-endian; 00 01 once a device-info reply came
    std::array<quint8, 4> SVID{};  // software version ID; bytes 0..2 are shown as V%d.%d.%d
    std::array<quint8, 2> PERS{};  // [0] current personality (1-based), [1] number of personalities
    std::array<quint8, 2> STA{};   // DMX start address, big-endian
    std::array<quint8, 32> LBL{};  // device label, one byte per character, NUL bytes after the text
    std::array<quint8, 2> TMP{};   // temperature in tenths of a degree Celsius, signed, big-endian
    quint8 RM = 0;                 // remote configuration mode: 0 off, anything else on
    quint8 Gamma = 0;              // gamma in tenths: 10..30 stand for 1.0..3.0

    quint32 deviceId() const { return common::wire::joinBE32(UID[0], UID[1], UID[2], UID[3]); }
    void setDeviceId(quint32 id)
    {
        UID = {quint8(id >> 24), quint8(id >> 16), quint8(id >> 8), quint8(id)};
    }

    friend bool operator==(const TQuorixCtrl &, const TQuorixCtrl &) = default;
};
