#pragma once
// Navigation for a PDF that Qt's writer made: Qt writes every link as a URI action, so a link to
// "#section" inside the document goes nowhere, and it writes no bookmarks. This adds, as an
// incremental update at the end of the file (the original bytes stay as they are):
//   * a named destination for each heading,
//   * each link whose URI is "#name" turned into a jump to the destination "name",
//   * the bookmarks (outline) of chapters and their sections, shown when the document opens.

#include <QByteArray>
#include <QList>
#include <QString>

namespace app::guidepdf {

struct Destination {
    QByteArray name; // as the links name it, without '#'
    int page = 0;    // 0-based page of the document
    double x = 0, y = 0; // in PDF points, origin at the page's bottom left
};

struct Bookmark {
    QString title;
    QByteArray destination;
    int level = 1; // 1 a chapter, 2 a section of the chapter before it
};

// Returns an error text, empty on success. Fails, leaving `pdf` unchanged, on a file it cannot
// read as Qt writes them and on a link to a destination that does not exist.
QString addNavigation(QByteArray &pdf, const QList<Destination> &destinations, const QList<Bookmark> &bookmarks);

// The destination name of a heading, as the guide's links write it: lower case, every run of other
// characters than letters and digits one '-', none at either end ("A controller's IP" gives
// "a-controller-s-ip").
QByteArray anchorName(const QString &heading);

} // namespace app::guidepdf
