#pragma once
// The brands' logos and the application icon, drawn from the vector artwork in the resources so
// they stay sharp at any size and screen scale.

#include <QIcon>
#include <QPixmap>
#include <QString>

// The logo of the brand named `brandName` ("Orvanta", "Halvane", "Quillon"), fitted into
// width x height and centred, on a transparent background.
QPixmap brandLogo(const QString &brandName, int width, int height);

// The resource path of a brand's logo artwork.
QString brandLogoPath(const QString &brandName);

QIcon applicationIcon();
