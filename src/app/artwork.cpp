#include "app/artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

QString brandLogoPath(const QString &brandName)
{
    return QStringLiteral(":/artwork/logo_%1.svg").arg(brandName.toLower());
}

QPixmap brandLogo(const QString &brandName, int width, int height)
{
    // Drawn at the screen's pixel density so a scaled desktop does not blur it.
    const qreal dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pm(QSize(width, height) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QSvgRenderer svg(brandLogoPath(brandName));
    if (!svg.isValid())
        return pm;
    QSizeF fitted = svg.viewBoxF().size();
    fitted.scale(width, height, Qt::KeepAspectRatio);
    const QRectF target((width - fitted.width()) / 2, (height - fitted.height()) / 2, fitted.width(), fitted.height());
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p, target);
    return pm;
}

QIcon applicationIcon()
{
    return QIcon(QStringLiteral(":/artwork/glintwork.svg"));
}
