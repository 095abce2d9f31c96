#include "firmware/firmware_check.h"

namespace {

constexpr int Width = 20;
// Far above any version a controller reports, far below where the arithmetic could overflow:
// 19 digits fit in a 20-character text, and that exceeds a signed 64-bit value.
constexpr qint64 Saturated = Q_INT64_C(1'000'000'000'000);

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The run of digits starting at `at`: its value and where it ends. Nothing when there is no digit.
std::optional<std::pair<qint64, int>> digits(const std::array<char16_t, Width> &f, int at)
{
    if (at >= Width || !isDigit(f[at]))
        return std::nullopt;
    qint64 n = 0;
    for (; at < Width && isDigit(f[at]); ++at)
        n = qMin(n * 10 + (f[at] - u'0'), Saturated);
    return std::pair{n, at};
}

// "a.b.c" right after the "V" at `v`; whatever follows the minor number is ignored.
std::optional<TessFirmwareVersion> versionAt(const std::array<char16_t, Width> &f, int v)
{
    const auto major = digits(f, v + 1);
    if (!major || major->second >= Width || f[major->second] != u'.')
        return std::nullopt;
    const auto middle = digits(f, major->second + 1);
    if (!middle || middle->second >= Width || f[middle->second] != u'.')
        return std::nullopt;
    const auto minor = digits(f, middle->second + 1);
    if (!minor)
        return std::nullopt;
    return TessFirmwareVersion{major->first, middle->first, minor->first};
}

} // namespace

std::optional<TessFirmwareVersion> tessFirmwareVersion(const std::array<char16_t, 20> &f)
{
    // The last "V" is where controllers have always been read from; an earlier one still counts
    // when a tail after the version holds a "V" of its own.
    for (int v = Width - 1; v >= 0; --v)
        if (f[v] == u'V')
            if (const auto version = versionAt(f, v))
                return version;
    return std::nullopt;
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
