#pragma once
// Writes a picture of a window, drawn by the real form on the offscreen platform, for the
// documentation; prints the path written.

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <cstdio>

inline bool saveShot(QWidget &w, const QString &dir, const char *file)
{
    w.show();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(QLatin1String(file));
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    w.hide();
    return true;
}
