// Build tool: renders the application icon in the sizes desktops look for.
//
//   glw-make-icons ICON.svg OUTPUT_DIR      writes OUTPUT_DIR/NxN/glintwork.png

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: glw-make-icons ICON.svg OUTPUT_DIR\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "glw-make-icons: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1x%1").arg(size);
        QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p);
        p.end();
        if (!out.mkpath(dir) || !img.save(out.filePath(dir + QStringLiteral("/glintwork.png")))) {
            std::fprintf(stderr, "glw-make-icons: cannot write into %s\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
