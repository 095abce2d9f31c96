// One reception from the DMX line read as a discovery reply and as an RDM reply, with the
// parameter data of every kind the parameter phase reads.

#include "fuzz_check.h"
#include "rdm/rdm_packet.h"
#include "rdm/rdm_params.h"

using namespace rdm;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    const QByteArrayView reception(data, qsizetype(size));

    if (const auto d = decodeDiscoveryReply(reception)) {
        const auto again = decodeDiscoveryReply(encodeDiscoveryReply(makerUid(d->deviceId())));
        FUZZ_EXPECT(again && again->deviceId() == d->deviceId());
    }

    const auto header = parseRdmHeader(reception);
    FUZZ_EXPECT(header.has_value() == (size >= 24));
    const QByteArrayView pd = parameterData(reception);
    FUZZ_EXPECT(pd.size() <= 255 && (pd.isEmpty() || pd.data() == reception.data() + 24));
    FUZZ_EXPECT(pd.isEmpty() || qsizetype(size) >= 24 + pd.size() + 2);
    if (isCompleteRdmMessage(reception)) {
        FUZZ_EXPECT(header && qsizetype(header->msgLength) + 2 == qsizetype(size));
        FUZZ_EXPECT(buildRdmMessage(*header, pd) == reception || header->pdl != pd.size()
                    || header->msgLength != 24 + pd.size());
    }

    for (const QByteArrayView bytes : {pd, reception}) {
        if (const auto info = readDeviceInfo(bytes))
            FUZZ_EXPECT(readDeviceInfo(writeDeviceInfo(*info)).has_value());
        if (const auto sensor = readSensorValue(bytes))
            FUZZ_EXPECT(readSensorValue(writeSensorValue(*sensor)).has_value());
    }
    return 0;
}
