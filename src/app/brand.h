#pragma once
// The brand the program is built for. Only main() reads kBuildBrand; windows take the brand as a
// parameter so every brand can be exercised from one build.

#include <QString>
#include <QtGlobal>

#ifndef GLINTWORK_BRAND
#define GLINTWORK_BRAND 0
#endif

inline constexpr quint8 kBuildBrand = GLINTWORK_BRAND;
static_assert(kBuildBrand <= 2, "the brand is 0, 1 or 2");

struct BrandIdentity {
    QString title;
    QString name;
    bool usbTab;
    bool helpButton;
};

inline BrandIdentity brandIdentity(quint8 brand)
{
    switch (brand) {
    case 1:
        return {QStringLiteral("Halvane Corvel 16 Utility - V2.2.0"), QStringLiteral("Halvane"), false, false};
    case 2:
        return {QStringLiteral("Quillon Toolkit - V2.2.0"), QStringLiteral("Quillon"), false, false};
    default:
        return {QStringLiteral("Orvanta Glintwork - V2.2.0"), QStringLiteral("Orvanta"), true, true};
    }
}
