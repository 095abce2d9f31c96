#pragma once
// Stands in for the desktop's PDF application: QDesktopServices::setUrlHandler("file", &catcher,
// "open") makes every file the program asks the desktop to open land in `opened`.

#include <QList>
#include <QObject>
#include <QUrl>

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};
