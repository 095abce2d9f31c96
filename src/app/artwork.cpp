#include "app/artwork.h"

#include "app/artwork_names.h"

#include <QDir>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <algorithm>

namespace {

const QString LogoFolder = QStringLiteral(":/logos/");

// A PNG picture of the resources, read by Qt's own PNG reader: left to find the format itself, the
// reader would load every image-format plugin on the system (the SVG one with its renderer too).
QImage readPicture(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

// Of the sizes or densities `drawn` (in order), the first at least `wanted`: a picture drawn for it
// is scaled down, never up. The largest if none is.
template <class T>
T firstAtLeast(const QList<T> &drawn, T wanted)
{
    const auto found = std::lower_bound(drawn.begin(), drawn.end(), wanted);
    return found == drawn.end() ? drawn.last() : *found;
}

// The densities drawn for the logo `stem` at `logical`, read from the pictures' names.
QList<qreal> drawnScales(const QString &stem, QSize logical)
{
    const QString prefix = app::artwork::pictureName(stem, logical, 0).section(QLatin1Char('@'), 0, 0) + u'@';
    QList<qreal> scales;
    for (const QString &name : QDir(LogoFolder).entryList({prefix + u'*'}, QDir::Files)) {
        bool ok = false;
        const qreal scale = name.mid(prefix.size()).chopped(int(qstrlen("x.png"))).toDouble(&ok);
        if (ok && scale > 0)
            scales << scale;
    }
    std::sort(scales.begin(), scales.end());
    return scales;
}

// The icon from the pictures drawn at build time (one folder per size, "48x48/glintwork.png"), each
// read only when the window system asks for it: an icon made from files would have every icon-engine
// plugin looked up and loaded while the program starts.
class PictureIconEngine : public QIconEngine {
public:
    explicit PictureIconEngine(QString folder) : m_folder(std::move(folder)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        // The smallest picture at least as large, scaled down if it is larger.
        QList<int> sides;
        for (const QString &name : QDir(m_folder).entryList(QDir::Dirs))
            sides << name.section(QLatin1Char('x'), 0, 0).toInt();
        std::sort(sides.begin(), sides.end());
        if (sides.isEmpty() || size.isEmpty())
            return QPixmap();
        const int side = firstAtLeast(sides, qMax(size.width(), size.height()));
        QPixmap pm = QPixmap::fromImage(readPicture(QStringLiteral("%1/%2x%2/glintwork.png").arg(m_folder).arg(side)));
        if (pm.size() != size)
            pm = pm.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return pm;
    }
    QIconEngine *clone() const override { return new PictureIconEngine(m_folder); }
    QString key() const override { return QStringLiteral("PictureIconEngine"); }

private:
    QString m_folder;
};

} // namespace

QPixmap brandLogo(const QString &brandName, int width, int height, qreal scale)
{
    const QString stem = QStringLiteral("logo_") + brandName.toLower();
    const QSize logical(width, height);
    QImage img = readPicture(LogoFolder + app::artwork::pictureName(stem, logical, scale));
    if (img.isNull()) {
        // A density of its own (a desktop scaled by 1.2, say): the next finer picture, scaled down.
        const QList<qreal> scales = drawnScales(stem, logical);
        if (!scales.isEmpty()) {
            img = readPicture(LogoFolder + app::artwork::pictureName(stem, logical, firstAtLeast(scales, scale)))
                      .scaled(logical * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
    }
    if (img.isNull()) {
        img = QImage(logical * scale, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
    }
    QPixmap pm = QPixmap::fromImage(img);
    pm.setDevicePixelRatio(scale);
    return pm;
}

QPixmap brandLogo(const QString &brandName, int width, int height)
{
    // Drawn at the screen's pixel density so a scaled desktop does not blur it.
    return brandLogo(brandName, width, height, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

QIcon applicationIcon()
{
    return QIcon(new PictureIconEngine(QStringLiteral(":/icons")));
}
