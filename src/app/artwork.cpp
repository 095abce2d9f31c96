#include "app/artwork.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// `svg` fitted into `target` and centred in it.
void renderFitted(QSvgRenderer &svg, QPainter &p, const QRectF &target)
{
    QSizeF fitted = svg.viewBoxF().size();
    fitted.scale(target.size(), Qt::KeepAspectRatio);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p, QRectF(target.x() + (target.width() - fitted.width()) / 2,
                          target.y() + (target.height() - fitted.height()) / 2, fitted.width(), fitted.height()));
}

// The icon drawn from its artwork at whatever size the window system asks for, by the renderer
// the logos use: as an icon made from the SVG file would be, without the icon-engine plugin for
// SVG files being looked up and loaded while the program starts.
class ArtworkIconEngine : public QIconEngine {
public:
    explicit ArtworkIconEngine(QString path) : m_path(std::move(path)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        QSvgRenderer svg(m_path);
        if (svg.isValid())
            renderFitted(svg, *painter, rect);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(), size), mode, state);
        return pm;
    }
    QIconEngine *clone() const override { return new ArtworkIconEngine(m_path); }
    QString key() const override { return QStringLiteral("ArtworkIconEngine"); }

private:
    QString m_path;
};

} // namespace

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
    QPainter p(&pm);
    renderFitted(svg, p, QRectF(0, 0, width, height));
    return pm;
}

QIcon applicationIcon()
{
    return QIcon(new ArtworkIconEngine(QStringLiteral(":/artwork/glintwork.svg")));
}
