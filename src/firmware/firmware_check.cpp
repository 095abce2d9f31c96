#include "firmware_check.h"

namespace {

constexpr int Width = 20;

// Position of the first `c` in F[from..19]; 20 when there is none or `from` is past the end.
int find(const std::array<char16_t, Width> &f, int from, char16_t c)
{
    for (int i = from; i < Width; ++i)
        if (f[i] == c)
            return i;
    return Width;
}

// The decimal number F[from..to-1]: one digit at least, digits only.
std::optional<qint64> number(const std::array<char16_t, Width> &f, int from, int to)
{
    if (from >= to || to > Width)
        return std::nullopt;
    qint64 n = 0;
    for (int i = from; i < to; ++i) {
        if (f[i] < u'0' || f[i] > u'9')
            return std::nullopt;
        n = n * 10 + (f[i] - u'0');
    }
    return n;
}

} // namespace

std::optional<TessFirmwareVersion> tessFirmwareVersion(const std::array<char16_t, 20> &f)
{
    // The runs are found as the controllers have always been read: a number starts right after
    // its "V" or dot, the first two end at the first dot after their first digit, the minor one at
    // the padding. Each run must be digits only, and only NULs may follow the minor number.
    int v = -1;
    for (int i = 0; i < Width; ++i)
        if (f[i] == u'V')
            v = i;
    if (v < 0)
        return std::nullopt;
    const int d1 = find(f, v + 2, u'.');
    const int d2 = find(f, d1 + 2, u'.');
    const int end = find(f, d2 + 2, 0);
    const auto major = number(f, v + 1, d1);
    const auto middle = number(f, d1 + 1, d2);
    const auto minor = number(f, d2 + 1, end);
    if (!major || !middle || !minor)
        return std::nullopt;
    for (int i = end; i < Width; ++i)
        if (f[i] != 0)
            return std::nullopt;
    return TessFirmwareVersion{*major, *middle, *minor};
}

bool TessFirmwareCheck(const TTessaraCtrl &controller, int major, int imp, int minor)
{
    const TessFirmwareVersion v = tessFirmwareVersion(controller.Firmware).value_or(TessFirmwareVersion{});
    if (v.major != major)
        return v.major > major;
    if (v.middle != imp)
        return v.middle > imp;
    return v.minor >= minor;
}
