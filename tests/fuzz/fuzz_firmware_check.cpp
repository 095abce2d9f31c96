// The firmware text of a poll reply: 20 characters of anything.

#include "firmware/firmware_check.h"
#include "fuzz_check.h"

#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    TTessaraCtrl c;
    for (std::size_t i = 0; i < size && i < c.Firmware.size(); ++i)
        c.Firmware[i] = char16_t(data[i]);
    const auto version = tessFirmwareVersion(c.Firmware);
    const bool zero = TessFirmwareCheck(c, 0, 0, 0);
    FUZZ_EXPECT(zero); // every text meets 0.0.0
    if (!version) {
        FUZZ_EXPECT(!TessFirmwareCheck(c, 0, 0, 1));
        return 0;
    }
    FUZZ_EXPECT(version->major >= 0 && version->middle >= 0 && version->minor >= 0);
    constexpr qint64 intMax = std::numeric_limits<int>::max();
    if (version->major < intMax && version->middle < intMax && version->minor < intMax) {
        const int major = int(version->major), middle = int(version->middle), minor = int(version->minor);
        FUZZ_EXPECT(TessFirmwareCheck(c, major, middle, minor));
        FUZZ_EXPECT(!TessFirmwareCheck(c, major, middle, minor + 1));
        FUZZ_EXPECT(!TessFirmwareCheck(c, major, middle + 1, 0));
        FUZZ_EXPECT(!TessFirmwareCheck(c, major + 1, 0, 0));
    }
    return 0;
}
