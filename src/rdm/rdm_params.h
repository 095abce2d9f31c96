#pragma once
// The parameter messages: the five gets of the parameter phase, the set messages built from a
// controller's record, and the layouts of the parameter data that the replies carry.

#include "rdm/quorix_ctrl.h"
#include "rdm/rdm_packet.h"

#include <optional>

namespace rdm {

// Parameter phases, by their constant; they run info, temperature, remote mode, gamma, label.
enum Phase : quint8 {
    DEVICE_INFO = 10,
    DEVICE_LABEL = 11,
    DEVICE_TEMP = 12,
    DEVICE_REMOTE = 13,
    DEVICE_GAMMA = 14,
    PHASE_END = 0, // after the label phase
};

struct GetMessage {
    quint8 phase;
    quint16 pid;
    quint8 pdl;  // sent as is although none of the gets carries parameter data
    quint8 next; // the phase after this one
};

// The get message of a phase, or nullptr for a value that is no phase.
const GetMessage *getMessage(quint8 phase);
RdmRequest getRequest(const GetMessage &get, quint32 deviceId);

// Set messages, from the values already stored in the record.
RdmRequest deviceModeSetRequest(const TQuorixCtrl &c);
RdmRequest startAddressSetRequest(const TQuorixCtrl &c);
RdmRequest labelSetRequest(const TQuorixCtrl &c);
RdmRequest deviceGammaSetRequest(const TQuorixCtrl &c);
RdmRequest triggerBootloadRequest(const TQuorixCtrl &c);

// Device information reply data, 19 bytes.
struct DeviceInfoData {
    std::array<quint8, 2> protocol{0x01, 0x00};
    std::array<quint8, 2> model{};
    std::array<quint8, 2> category{};
    std::array<quint8, 4> software{};
    std::array<quint8, 2> footprint{};
    std::array<quint8, 2> personality{}; // current (1-based), count
    std::array<quint8, 2> startAddress{};
    std::array<quint8, 2> subDevices{};
    quint8 sensors = 0;
};
inline constexpr int DEVICE_INFO_PDL = 19;
inline constexpr std::array<quint8, 2> QUORIX_MODEL_ID{0x00, 0x01};

template <class D, class Visit>
constexpr void deviceInfoLayout(D &d, Visit &&visit)
{
    visit(0, d.protocol);
    visit(2, d.model);
    visit(4, d.category);
    visit(6, d.software);
    visit(10, d.footprint);
    visit(12, d.personality);
    visit(14, d.startAddress);
    visit(16, d.subDevices);
    visit(18, d.sensors);
}

// Sensor value reply data, 9 bytes; values are signed 16-bit big-endian.
struct SensorValueData {
    quint8 sensor = 0;
    std::array<quint8, 2> present{};
    std::array<quint8, 2> lowest{};
    std::array<quint8, 2> highest{};
    std::array<quint8, 2> recorded{};
};
inline constexpr int SENSOR_VALUE_PDL = 9;

template <class D, class Visit>
constexpr void sensorValueLayout(D &d, Visit &&visit)
{
    visit(0, d.sensor);
    visit(1, d.present);
    visit(3, d.lowest);
    visit(5, d.highest);
    visit(7, d.recorded);
}

inline constexpr int LABEL_MAX = 32;

// Reading needs the whole layout; a shorter data block gives nothing.
std::optional<DeviceInfoData> readDeviceInfo(QByteArrayView data);
QByteArray writeDeviceInfo(const DeviceInfoData &d);
std::optional<SensorValueData> readSensorValue(QByteArrayView data);
QByteArray writeSensorValue(const SensorValueData &d);

// A record field's bytes as they travel.
template <std::size_t N>
QByteArray bytesOf(const std::array<quint8, N> &a)
{
    return QByteArray(reinterpret_cast<const char *>(a.data()), qsizetype(N));
}

// The label text of a record: its bytes up to the first NUL (a label is NUL-padded).
QByteArray labelText(const TQuorixCtrl &c);

} // namespace rdm
