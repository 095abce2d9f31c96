#include "firmware_check.h"

namespace {

constexpr int Width = 20;

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Position of the first '.' in F[from..19]; -1 when there is none or `from` is past the end.
int firstDot(const std::array<char16_t, Width> &f, int from)
{
    for (int i = from; i < Width; ++i)
        if (f[i] == u'.')
            return i;
    return -1;
}

// Adds the digits F[from..to-1] to `number`. False when one of them is not a digit.
bool appendDigits(const std::array<char16_t, Width> &f, int from, int to, qint64 &number)
{
    for (int i = from; i < to; ++i) {
        if (!isDigit(f[i]))
            return false;
        number = number * 10 + (f[i] - u'0');
    }
    return true;
}

} // namespace

std::optional<TessFirmwareVersion> tessFirmwareVersion(const std::array<char16_t, 20> &f)
{
    // The number runs are read as the controllers have always been read: each number starts with
    // the digit right after its "V" or dot and runs up to the next dot; the minor number takes
    // every non-NUL character after it. Every position read as a digit must hold one, and the
    // minor number must be followed by NULs only.
    int v = -1;
    for (int i = 0; i < Width; ++i)
        if (f[i] == u'V')
            v = i;
    if (v < 0 || v + 1 >= Width || !isDigit(f[v + 1]))
        return std::nullopt;

    TessFirmwareVersion version;
    version.major = f[v + 1] - u'0';
    const int d1 = firstDot(f, v + 2);
    if (d1 < 0 || !appendDigits(f, v + 2, d1, version.major))
        return std::nullopt;

    if (d1 + 1 >= Width || !isDigit(f[d1 + 1]))
        return std::nullopt;
    version.middle = f[d1 + 1] - u'0';
    const int d2 = firstDot(f, d1 + 2);
    if (d2 < 0 || !appendDigits(f, d1 + 2, d2, version.middle))
        return std::nullopt;

    if (d2 + 1 >= Width || !isDigit(f[d2 + 1]))
        return std::nullopt;
    version.minor = f[d2 + 1] - u'0';
    int end = d2 + 2;
    while (end < Width && f[end] != 0)
        ++end;
    if (!appendDigits(f, d2 + 2, end, version.minor))
        return std::nullopt;
    for (int i = end; i < Width; ++i)
        if (f[i] != 0)
            return std::nullopt;
    return version;
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
