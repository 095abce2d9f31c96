#include "net/tessara_ctrl.h"

#include "common/temperature_text.h"

namespace tessara {

QString ipText(const std::array<quint8, 4> &ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

bool isBootloader(const TTessaraCtrl &c)
{
    static constexpr char16_t word[] = u"Bootloader";
    for (int i = 0; i < 10; ++i)
        if (c.Firmware[i] != word[i])
            return false;
    return true;
}

QString temperatureText(const TTessaraCtrl &c)
{
    if (isBootloader(c))
        return {};
    return ::temperatureText(c.Temperature / 10.0);
}

} // namespace tessara
