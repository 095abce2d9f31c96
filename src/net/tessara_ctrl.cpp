#include "net/tessara_ctrl.h"

#include "common/temperature_text.h"

#include <QCoreApplication>

namespace net::tessara {

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

QString searchStatusText(bool searching, int answered)
{
    const auto text = [](const char *source) { return QCoreApplication::translate("NetworkTab", source); };
    if (searching)
        return answered == 0 ? text("Searching\u2026") : text("Searching\u2026 %1 answered").arg(answered);
    if (answered == 0)
        return text("No controller answered the search");
    return answered == 1 ? text("1 controller answered the search")
                         : text("%1 controllers answered the search").arg(answered);
}

QString temperatureText(const TTessaraCtrl &c)
{
    if (isBootloader(c))
        return {};
    return ::temperatureText(c.Temperature / 10.0);
}

} // namespace net::tessara
