// A firmware file the operator picks for a USB controller: any text at all.

#include "rdm/firmware_hex.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    const rdm::hex::HexImage image = rdm::hex::parseFirmwareHex(QByteArrayView(data, qsizetype(size)));
    FUZZ_EXPECT(image.ok() || image.data.isEmpty());
    // Each data byte takes two hex digits in the file.
    FUZZ_EXPECT(image.data.size() * 2 <= qsizetype(size));
    return 0;
}
