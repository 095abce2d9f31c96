#pragma once
// The brands' logos and the application icon: pictures drawn from the vector artwork at build
// time, for the sizes the windows show and the usual screen pixel densities.

#include <QIcon>
#include <QPixmap>
#include <QString>

// The logo of the brand named `brandName` ("Orvanta", "Halvane", "Quillon"), fitted into
// width x height and centred, on a transparent background, for the screen's pixel density.
QPixmap brandLogo(const QString &brandName, int width, int height);

// The same for a screen of pixel density `scale`. A density no picture was drawn for gets the
// nearest finer picture scaled down; a size no picture was drawn for gets an empty picture.
QPixmap brandLogo(const QString &brandName, int width, int height, qreal scale);

QIcon applicationIcon();
