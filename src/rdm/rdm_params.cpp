#include "rdm/rdm_params.h"

#include "common/wire_fields.h"

namespace rdm {

namespace {

constexpr GetMessage GetMessages[] = {
    {DEVICE_INFO, PID_DEVICE_INFO, 0x13, DEVICE_TEMP},
    {DEVICE_TEMP, PID_SENSOR_VALUE, 1, DEVICE_REMOTE},
    {DEVICE_REMOTE, PID_REMOTE_MODE, 1, DEVICE_GAMMA},
    {DEVICE_GAMMA, PID_GAMMA, 1, DEVICE_LABEL},
    {DEVICE_LABEL, PID_DEVICE_LABEL, 0, PHASE_END},
};

RdmRequest setRequest(const TQuorixCtrl &c, quint16 pid, QByteArray data)
{
    return {makerUid(c.deviceId()), SET_COMMAND, pid, quint8(data.size()), data};
}

template <class D, class Layout>
std::optional<D> readData(QByteArrayView data, int size, Layout layout)
{
    if (data.size() < size)
        return std::nullopt;
    D d;
    layout(d, common::wire::FieldReader{data});
    return d;
}

template <class D, class Layout>
QByteArray writeData(const D &d, int size, Layout layout)
{
    QByteArray out(size, '\0');
    layout(d, common::wire::FieldWriter{out});
    return out;
}

} // namespace

const GetMessage *getMessage(quint8 phase)
{
    for (const GetMessage &g : GetMessages)
        if (g.phase == phase)
            return &g;
    return nullptr;
}

RdmRequest getRequest(const GetMessage &get, quint32 deviceId)
{
    return {makerUid(deviceId), GET_COMMAND, get.pid, get.pdl, {}};
}

RdmRequest deviceModeSetRequest(const TQuorixCtrl &c)
{
    return setRequest(c, PID_DMX_PERSONALITY, QByteArray(1, char(c.PERS[0])));
}

RdmRequest startAddressSetRequest(const TQuorixCtrl &c)
{
    return setRequest(c, PID_DMX_START_ADDRESS, bytesOf(c.STA));
}

RdmRequest labelSetRequest(const TQuorixCtrl &c)
{
    return setRequest(c, PID_DEVICE_LABEL, bytesOf(c.LBL));
}

RdmRequest deviceGammaSetRequest(const TQuorixCtrl &c)
{
    return setRequest(c, PID_GAMMA, QByteArray(1, char(c.Gamma)));
}

RdmRequest triggerBootloadRequest(const TQuorixCtrl &c)
{
    return setRequest(c, PID_BOOTLOADER, {});
}

std::optional<DeviceInfoData> readDeviceInfo(QByteArrayView data)
{
    return readData<DeviceInfoData>(data, DEVICE_INFO_PDL,
                                     [](auto &d, auto &&v) { deviceInfoLayout(d, v); });
}

QByteArray writeDeviceInfo(const DeviceInfoData &d)
{
    return writeData(d, DEVICE_INFO_PDL, [](auto &x, auto &&v) { deviceInfoLayout(x, v); });
}

std::optional<SensorValueData> readSensorValue(QByteArrayView data)
{
    return readData<SensorValueData>(data, SENSOR_VALUE_PDL,
                                     [](auto &d, auto &&v) { sensorValueLayout(d, v); });
}

QByteArray writeSensorValue(const SensorValueData &d)
{
    return writeData(d, SENSOR_VALUE_PDL, [](auto &x, auto &&v) { sensorValueLayout(x, v); });
}

QByteArray labelText(const TQuorixCtrl &c)
{
    QByteArray all = bytesOf(c.LBL);
    const qsizetype nul = all.indexOf('\0');
    return nul < 0 ? all : all.left(nul);
}

} // namespace rdm
