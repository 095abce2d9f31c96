#pragma once
// One Ethernet pixel controller as its last poll reply described it, plus the settings the
// configuration dialogs edit. Plain data: copied by value, multi-byte values in native order
// (the wire's big-endian order lives only in the datagram codecs).

#include <QString>
#include <QtGlobal>
#include <array>

struct TTessaraCtrl {
    std::array<quint8, 4> CurrentIP{};
    quint8 DHCP = 0;
    std::array<char16_t, 40> Nickname{};
    std::array<char16_t, 20> Firmware{};
    std::array<quint8, 6> MAC{};
    quint16 Temperature = 0;
    std::array<quint16, 16> NumNodes{};
    quint8 Protocol = 0;
    quint8 DmxMix = 0;
    quint8 MixMode = 0;
    std::array<quint8, 4> StaticIP{};
    std::array<quint8, 4> SM{};
    quint16 DmxStart = 0;
    quint16 SacnUniv = 0;
    quint16 SacnChan = 0;
    quint8 DriverChip = 0;
    std::array<quint8, 3> Gamma{};
    std::array<quint16, 2> Voltage{};
    std::array<quint16, 16> AdvUniv{};
    std::array<quint16, 16> AdvChan{};
    std::array<quint8, 16> AdvNull{};
    std::array<quint16, 16> AdvZig{};
    std::array<quint8, 16> AdvReverse{};
    std::array<quint8, 3> RgbOrder{};
    std::array<quint8, 4> DmxOutOn{};
    std::array<quint16, 4> DmxOutUniv{};
    quint8 HwRev = 0;
    quint8 NumStrings = 16;
    quint8 ProtocolSpeed = 0;
    std::array<quint8, 16> AdvRgbOrder{};
    std::array<quint16, 16> Grouping{};
    std::array<quint8, 16> Brightness{};
    quint8 HoldLastFrame = 0;
    quint8 FanTemp = 0;
    std::array<quint8, 4> CurrentSM{};

    bool operator==(const TTessaraCtrl &) const = default;
};

// Text helpers shared by the table, the dialogs and the simulator.
namespace net::tessara {

// "a.b.c.d" of four octets, no leading zeros.
QString ipText(const std::array<quint8, 4> &ip);

// The characters of a NUL-padded 16-bit text up to its first NUL.
template <std::size_t N>
QString fixedText(const std::array<char16_t, N> &chars)
{
    std::size_t n = 0;
    while (n < N && chars[n] != 0)
        ++n;
    return QString(reinterpret_cast<const QChar *>(chars.data()), qsizetype(n));
}

// Writes `text` into a NUL-padded 16-bit text, cut to its width (no NUL is kept when it fills it).
template <std::size_t N>
void setFixedText(std::array<char16_t, N> &chars, const QString &text)
{
    chars.fill(0);
    for (std::size_t i = 0; i < N && i < std::size_t(text.size()); ++i)
        chars[i] = text[qsizetype(i)].unicode();
}

// True when the firmware text says the controller runs its bootloader ("Bootloader..." ).
bool isBootloader(const TTessaraCtrl &c);

// The table's Temp cell: "%.1f°C / %.1f°F", empty for a bootloader.
QString temperatureText(const TTessaraCtrl &c);

// The network tab's status line after a Search: "Searching..." with the count so far while the
// search window runs, then how many controllers answered (none included, so a search that found
// nobody still shows that it ran).
QString searchStatusText(bool searching, int answered);

} // namespace net::tessara
