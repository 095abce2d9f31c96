#pragma once
// The value of one hexadecimal digit, as firmware HEX files write their records.

namespace common {

// 0..15 for 0-9, a-f and A-F; -1 for anything else.
constexpr int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace common
