#include "config/colour_order.h"

namespace config::colourorder {

const QStringList &itemTexts()
{
    static const QStringList texts{QStringLiteral("RGB"), QStringLiteral("RBG"), QStringLiteral("GRB"),
                                   QStringLiteral("GBR"), QStringLiteral("BRG"), QStringLiteral("BGR")};
    return texts;
}

int comboIndex(quint8 code)
{
    return code < Count ? int(code) : -1;
}

std::array<quint8, 3> toEarlierForm(int index)
{
    static constexpr std::array<std::array<quint8, 3>, Count> positions{{
        {0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {2, 0, 1}, {1, 2, 0}, {2, 1, 0},
    }};
    return index >= 0 && index < Count ? positions[std::size_t(index)] : positions[5];
}

int fromEarlierForm(quint8 redPosition, quint8 greenPosition)
{
    if (redPosition == 0)
        return greenPosition == 1 ? 0 /*RGB*/ : 1 /*RBG*/;
    if (redPosition == 1)
        return greenPosition != 0 ? 4 /*BRG*/ : 2 /*GRB*/;
    return greenPosition != 0 ? 5 /*BGR*/ : 3 /*GBR*/;
}

} // namespace config::colourorder
