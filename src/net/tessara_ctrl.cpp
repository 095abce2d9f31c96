#include "tessara_ctrl.h"

#include <QLocale>

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
    const double celsius = c.Temperature / 10.0;
    const double fahrenheit = celsius * 1.8 + 32.0;
    // Decimals follow the operator's locale, like every number the utility shows.
    const QLocale locale;
    return locale.toString(celsius, 'f', 1) + QStringLiteral("\u00B0C / ")
        + locale.toString(fahrenheit, 'f', 1) + QStringLiteral("\u00B0F");
}

} // namespace tessara
