#pragma once
// Names of the pictures drawn from the artwork at build time (glw-make-logos writes them, the
// program finds them in its resources): "logo_orvanta_265x65@1.5x.png" is the Orvanta logo fitted
// into 265 x 65 for a screen of pixel density 1.5.

#include <QSize>
#include <QString>

namespace app::artwork {

inline QString pictureName(const QString &stem, QSize logical, qreal scale)
{
    return QStringLiteral("%1_%2x%3@%4x.png").arg(stem).arg(logical.width()).arg(logical.height()).arg(scale);
}

} // namespace app::artwork
