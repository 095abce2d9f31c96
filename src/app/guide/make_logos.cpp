// Build tool: draws the brands' logos, at the sizes the windows show them and for the usual screen
// pixel densities, into pictures the program carries (it then needs no SVG renderer to start).
//
//   glw-make-logos OUTPUT_DIR SIZES SCALES LOGO.svg...
//
// SIZES is a comma-separated list of WIDTHxHEIGHT, SCALES one of pixel densities (1,1.5,2); each
// logo is written once per size and density as OUTPUT_DIR/<its name>_<W>x<H>@<scale>x.png.

#include "app/artwork_names.h"
#include "app/artwork_render.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: glw-make-logos OUTPUT_DIR WxH[,WxH...] SCALE[,SCALE...] LOGO.svg...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QList<QSize> sizes;
    for (const QString &size : QString::fromLocal8Bit(argv[2]).split(QLatin1Char(','))) {
        bool wOk = false, hOk = false;
        const QSize s(size.section(QLatin1Char('x'), 0, 0).toInt(&wOk), size.section(QLatin1Char('x'), 1).toInt(&hOk));
        if (!wOk || !hOk || s.isEmpty()) {
            std::fprintf(stderr, "glw-make-logos: not a size: %s\n", qPrintable(size));
            return 2;
        }
        sizes << s;
    }
    QList<qreal> scales;
    for (const QString &scale : QString::fromLocal8Bit(argv[3]).split(QLatin1Char(','))) {
        bool ok = false;
        scales << scale.toDouble(&ok);
        if (!ok || scales.last() <= 0) {
            std::fprintf(stderr, "glw-make-logos: not a pixel density: %s\n", qPrintable(scale));
            return 2;
        }
    }
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "glw-make-logos: cannot make %s\n", argv[1]);
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        const QString svg = QString::fromLocal8Bit(argv[i]);
        for (QSize size : sizes)
            for (qreal scale : scales) {
                const QImage img = app::artwork::renderLogo(svg, size, scale);
                if (img.isNull()) {
                    std::fprintf(stderr, "glw-make-logos: cannot read %s\n", argv[i]);
                    return 1;
                }
                const QString name = app::artwork::pictureName(QFileInfo(svg).completeBaseName(), size, scale);
                if (!img.save(out.filePath(name))) {
                    std::fprintf(stderr, "glw-make-logos: cannot write %s\n", qPrintable(out.filePath(name)));
                    return 1;
                }
            }
    }
    return 0;
}
