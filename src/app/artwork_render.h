#pragma once
// Drawing the vector artwork into pictures. Only the build tools (and the tests that check their
// pictures) draw SVG: the program shows the pictures made at build time and needs no SVG renderer.

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QSvgRenderer>

namespace app::artwork {

// `svg` fitted into `target` and centred in it.
inline void renderFitted(QSvgRenderer &svg, QPainter &p, const QRectF &target)
{
    QSizeF fitted = svg.viewBoxF().size();
    fitted.scale(target.size(), Qt::KeepAspectRatio);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p, QRectF(target.x() + (target.width() - fitted.width()) / 2,
                          target.y() + (target.height() - fitted.height()) / 2, fitted.width(), fitted.height()));
}

// The artwork fitted into `logical` (centred, on a transparent background), drawn for a screen of
// pixel density `scale`: a null picture if the file cannot be read.
inline QImage renderLogo(const QString &svgPath, QSize logical, qreal scale)
{
    QSvgRenderer svg(svgPath);
    if (!svg.isValid())
        return QImage();
    QImage img(logical * scale, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(scale);
    img.fill(Qt::transparent);
    QPainter p(&img);
    renderFitted(svg, p, QRectF(QPointF(0, 0), QSizeF(logical)));
    return img;
}

} // namespace app::artwork
