// Build tool: turns the user guide (Markdown with screenshots) into the PDF the program carries.
//
//   glw-make-guide GUIDE.md LOGO.svg VERSION OUT.pdf
//
// Page 1 is a title page drawn straight from the vector logo; then come the contents with page
// numbers and the chapters, with a footer on every page after the title. Links inside the guide,
// the contents' entries and the bookmarks jump to their headings. The text is laid out by QTextDocument directly at the PDF's resolution so pictures keep
// their on-screen size (scaled down only where wider than the text column).

#include "app/guide/pdf_navigation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QAbstractTextDocumentLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

const QColor Ink(0x1d, 0x2a, 0x44);
const QColor Muted(0x4a, 0x57, 0x75);
const QString Title = QStringLiteral("Glintwork");
const QString Subtitle = QStringLiteral("User Guide");
const QString Footer = QStringLiteral("Glintwork User Guide");

struct Heading {
    int level;
    QString text;
    int position; // of the heading's block in the document
};

int fail(const QString &text)
{
    std::fprintf(stderr, "glw-make-guide: %s\n", qPrintable(text));
    return 1;
}

// Millimetres to the writer's device pixels.
qreal mm(const QPdfWriter &w, qreal v)
{
    return v * w.resolution() / 25.4;
}

void styleHeadings(QTextDocument &doc)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level == 0)
            continue;
        QTextBlockFormat bf = b.blockFormat();
        bf.setTopMargin(level == 1 ? 30 : level == 2 ? 18 : 10);
        bf.setBottomMargin(level == 1 ? 14 : 6);
        QTextCursor c(b);
        c.setBlockFormat(bf);
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            QTextCharFormat cf = f.charFormat();
            cf.clearProperty(QTextFormat::FontSizeAdjustment);
            cf.setFontPointSize(level == 1 ? 22 : level == 2 ? 15 : 12);
            cf.setFontWeight(QFont::Bold);
            cf.setForeground(Ink);
            QTextCursor sel(&doc);
            sel.setPosition(f.position());
            sel.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
            sel.setCharFormat(cf);
        }
    }
}

// Loads every picture the guide names (relative to the guide's folder), fits it to the text
// column and centres a paragraph that holds only a picture.
bool placeImages(QTextDocument &doc, const QDir &base, qreal columnCssPx, QString &error)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        int images = 0, texts = 0;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.charFormat().isImageFormat()) {
                texts += f.text().trimmed().isEmpty() ? 0 : 1;
                continue;
            }
            ++images;
            QTextImageFormat img = f.charFormat().toImageFormat();
            const QString file = base.filePath(img.name());
            QImage picture(file);
            if (picture.isNull()) {
                error = QStringLiteral("cannot read the picture %1").arg(file);
                return false;
            }
            doc.addResource(QTextDocument::ImageResource, QUrl(img.name()), picture);
            QSizeF size = picture.size();
            if (size.width() > columnCssPx)
                size.scale(columnCssPx, 1e9, Qt::KeepAspectRatio);
            img.setWidth(size.width());
            img.setHeight(size.height());
            QTextCursor sel(&doc);
            sel.setPosition(f.position());
            sel.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
            sel.setCharFormat(img);
        }
        if (images > 0 && texts == 0) {
            QTextBlockFormat bf = b.blockFormat();
            bf.setAlignment(Qt::AlignHCenter);
            bf.setTopMargin(6);
            bf.setBottomMargin(4);
            QTextCursor(b).setBlockFormat(bf);
        }
    }
    return true;
}

void styleTables(QTextDocument &doc)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextCursor c(b);
        QTextTable *table = c.currentTable();
        if (!table)
            continue;
        QTextTableFormat tf = table->format();
        if (tf.hasProperty(QTextFormat::UserProperty))
            continue; // done already
        tf.setProperty(QTextFormat::UserProperty, true);
        tf.setBorder(1);
        tf.setBorderBrush(QColor(0xb0, 0xb6, 0xc4));
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderCollapse(true);
        tf.setCellPadding(4);
        tf.setCellSpacing(0);
        tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tf.setTopMargin(4);
        tf.setBottomMargin(8);
        table->setFormat(tf);
        for (int col = 0; col < table->columns(); ++col) {
            QTextTableCell cell = table->cellAt(0, col);
            QTextCharFormat head = cell.format();
            head.setBackground(QColor(0xe8, 0xec, 0xf4));
            cell.setFormat(head);
        }
    }
}

// The page a block's first line is on, counting from 0.
int pageIndex(QTextDocument &doc, const QTextBlock &b, qreal pageHeight)
{
    const qreal top = doc.documentLayout()->blockBoundingRect(b).top();
    const qreal y = top + (b.layout()->lineCount() > 0 ? b.layout()->lineAt(0).y() : 0);
    return int(y / pageHeight);
}

// Where a block's first line is, from the top of its page.
qreal offsetOnPage(QTextDocument &doc, const QTextBlock &b, qreal pageHeight)
{
    const qreal top = doc.documentLayout()->blockBoundingRect(b).top();
    const qreal y = top + (b.layout()->lineCount() > 0 ? b.layout()->lineAt(0).y() : 0);
    return y - int(y / pageHeight) * pageHeight;
}

// The page a block's last line is on.
int lastLinePage(QTextDocument &doc, const QTextBlock &b, qreal pageHeight)
{
    const qreal top = doc.documentLayout()->blockBoundingRect(b).top();
    const int lines = b.layout()->lineCount();
    const qreal y = top + (lines > 0 ? b.layout()->lineAt(lines - 1).y() : 0);
    return int(y / pageHeight);
}

// A chapter starts on a new page only where little of the page is left: a page break before every
// chapter would leave pages mostly blank behind short chapters.
void startChaptersWhereLittleIsLeft(QTextDocument &doc, qreal pageHeight, int chaptersStart)
{
    for (QTextBlock b = doc.findBlock(chaptersStart); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() != 1 || b.position() == chaptersStart)
            continue;
        doc.documentLayout()->documentSize();
        if (offsetOnPage(doc, b, pageHeight) < pageHeight * 0.7)
            continue;
        QTextBlockFormat bf = b.blockFormat();
        bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(b).setBlockFormat(bf);
    }
}

// The first table row that the layout parted across two pages: its first cell, or none.
QTextTableCell splitTableRow(QTextDocument &doc, qreal pageHeight)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextTable *table = QTextCursor(b).currentTable();
        if (!table || table->firstPosition() != b.position())
            continue;
        for (int row = 0; row < table->rows(); ++row) {
            int first = INT_MAX, last = -1;
            for (int col = 0; col < table->columns(); ++col) {
                const QTextTableCell cell = table->cellAt(row, col);
                for (QTextBlock cb = doc.findBlock(cell.firstPosition());
                     cb.isValid() && cb.position() <= cell.lastPosition(); cb = cb.next()) {
                    first = std::min(first, pageIndex(doc, cb, pageHeight));
                    last = std::max(last, lastLinePage(doc, cb, pageHeight));
                }
            }
            if (last > first)
                return table->cellAt(row, 0);
        }
    }
    return {};
}

// Copies the contents and the format of one cell into another.
void copyCell(const QTextTableCell &from, QTextTableCell to)
{
    QTextCursor selection = from.firstCursorPosition();
    selection.setPosition(from.lastPosition(), QTextCursor::KeepAnchor);
    to.firstCursorPosition().insertFragment(selection.selection());
    to.setFormat(from.format());
}

// A table the layout would part inside a row goes on on the next page from that row, as a table of
// its own under a copy of the header row: no row is read half on one page and half on the next.
// Returns false when a row cannot be kept whole (taller than a page).
bool keepTableRowsWhole(QTextDocument &doc, qreal pageHeight, QString &row)
{
    for (;;) {
        doc.documentLayout()->documentSize();
        const QTextTableCell split = splitTableRow(doc, pageHeight);
        if (!split.isValid())
            return true;
        QTextTable *table = QTextCursor(doc.findBlock(split.firstPosition())).currentTable();
        row = doc.findBlock(split.firstPosition()).text();
        const int from = split.row(), rows = table->rows(), columns = table->columns();
        const bool moved = table->format().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
        if (from <= 1) {
            // Parted at its first row: the whole table starts the next page.
            if (moved)
                return false;
            QTextTableFormat format = table->format();
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            table->setFormat(format);
            continue;
        }
        QTextCursor after(&doc);
        after.setPosition(table->lastPosition() + 1);
        QTextTableFormat format = table->format();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextTable *rest = after.insertTable(rows - from + 1, columns, format);
        for (int col = 0; col < columns; ++col) {
            copyCell(table->cellAt(0, col), rest->cellAt(0, col));
            for (int r = from; r < rows; ++r)
                copyCell(table->cellAt(r, col), rest->cellAt(r - from + 1, col));
        }
        table->removeRows(from, rows - from);
    }
}

// A picture that does not fit in what is left of its page would move to the next one and leave
// a gap as tall as itself behind: where most of it fits, it is made smaller to fit instead.
void fitPicturesToTheirPages(QTextDocument &doc, qreal pageHeight)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.layout()->lineCount() != 1 || !(b.blockFormat().alignment() & Qt::AlignHCenter))
            continue;
        const auto it = b.begin();
        if (it.atEnd() || !it.fragment().charFormat().isImageFormat() || !b.previous().isValid())
            continue;
        const QTextImageFormat original = it.fragment().charFormat().toImageFormat();
        const int fragmentStart = it.fragment().position(), fragmentLength = it.fragment().length();
        auto lineTop = [&] {
            doc.documentLayout()->documentSize();
            return doc.documentLayout()->blockBoundingRect(b).top() + b.layout()->lineAt(0).y();
        };
        // The layout moves a picture that does not fit to the top of the next page; the room it
        // leaves is below the block before it.
        const qreal top = lineTop();
        const qreal pageTop = int(top / pageHeight) * pageHeight;
        const qreal previousEnd = doc.documentLayout()->blockBoundingRect(b.previous()).bottom();
        const qreal height = b.layout()->lineAt(0).height();
        if (top - pageTop > 1 || previousEnd >= pageTop || pageTop - previousEnd < height * 0.75)
            continue; // not moved, a page of its own anyway, or it would have to shrink too far
        for (qreal scale = (pageTop - previousEnd) / height; scale >= 0.7; scale -= 0.02) {
            QTextImageFormat img = original;
            img.setWidth(original.width() * scale);
            img.setHeight(original.height() * scale);
            QTextCursor sel(&doc);
            sel.setPosition(fragmentStart);
            sel.setPosition(fragmentStart + fragmentLength, QTextCursor::KeepAnchor);
            sel.setCharFormat(img);
            if (lineTop() < pageTop)
                break;
            if (scale - 0.02 < 0.7) // no size fits well: as it was
                sel.setCharFormat(original);
        }
    }
}

// A heading left alone at the foot of a page starts the next page instead.
void keepHeadingsWithText(QTextDocument &doc, qreal pageHeight)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlock next = b.next();
        if (b.blockFormat().headingLevel() == 0 || !next.isValid()
            || b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            continue;
        doc.documentLayout()->documentSize(); // lays out what the last move changed
        if (pageIndex(doc, b, pageHeight) == pageIndex(doc, next, pageHeight))
            continue;
        QTextBlockFormat bf = b.blockFormat();
        bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(b).setBlockFormat(bf);
    }
}

void drawTitlePage(QPainter &p, const QPdfWriter &w, const QString &logoSvg, const QString &version)
{
    const qreal width = w.width();
    QSvgRenderer logo(logoSvg);
    QSizeF logoSize = logo.viewBoxF().size();
    logoSize.scale(mm(w, 120), mm(w, 60), Qt::KeepAspectRatio);
    logo.render(&p, QRectF((width - logoSize.width()) / 2, mm(w, 55), logoSize.width(), logoSize.height()));

    QFont f(QStringLiteral("DejaVu Sans"));
    auto line = [&](const QString &text, qreal pt, bool bold, const QColor &colour, qreal topMm) {
        f.setPointSizeF(pt);
        f.setBold(bold);
        p.setFont(f);
        p.setPen(colour);
        p.drawText(QRectF(0, mm(w, topMm), width, mm(w, pt)), Qt::AlignHCenter | Qt::AlignTop, text);
    };
    line(Title, 40, true, Ink, 130);
    line(Subtitle, 22, false, Muted, 150);
    line(QStringLiteral("Configuring Tessara network controllers and Quorix DMX controllers"), 12, false, Muted,
         168);
    p.fillRect(QRectF(mm(w, 70), mm(w, 185), width - mm(w, 140), mm(w, 0.6)), Ink);
    line(QStringLiteral("Version %1").arg(version), 12, false, Ink, 192);
}

void drawFooter(QPainter &p, const QPdfWriter &w, qreal marginX, int pageNumber)
{
    const qreal left = marginX, right = w.width() - marginX, top = w.height() - mm(w, 17);
    p.fillRect(QRectF(left, top, right - left, mm(w, 0.25)), Muted);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(8.5);
    p.setFont(f);
    p.setPen(Muted);
    const QRectF box(left, top + mm(w, 2), right - left, mm(w, 6));
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop, Footer);
    p.drawText(box, Qt::AlignRight | Qt::AlignTop, QString::number(pageNumber));
}

} // namespace

int main(int argc, char *argv[])
{
    // Runs during the build, where no display may exist.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return fail(QStringLiteral("usage: glw-make-guide GUIDE.md LOGO.svg VERSION OUT.pdf"));
    const QString mdPath = args[1], logoPath = args[2], version = args[3], outPath = args[4];

    QFile md(mdPath);
    if (!md.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(mdPath, md.errorString()));
    const QString markdown = QString::fromUtf8(md.readAll());

    // Written beside the output and renamed, so a failed run never leaves a broken guide.
    const QString partPath = outPath + QStringLiteral(".part");
    QPdfWriter writer(partPath);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(300);
    writer.setTitle(Title + QLatin1Char(' ') + Subtitle);
    writer.setCreator(Title);

    const qreal marginX = mm(writer, 22), marginTop = mm(writer, 20), marginBottom = mm(writer, 24);
    // Whole pixels, so the layout's page breaks (kept in fixed point) fall where the pages are cut.
    const QSizeF body(std::floor(writer.width() - 2 * marginX), std::floor(writer.height() - marginTop - marginBottom));

    // Lengths in block and image formats are in 1/96 inch and scaled to the writer by the layout.
    const qreal columnCssPx = body.width() * 96 / writer.resolution();

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    QFont base(QStringLiteral("DejaVu Sans"));
    base.setPointSizeF(10);
    doc.setDefaultFont(base);
    doc.setDocumentMargin(0);
    doc.setPageSize(body);
    doc.setDefaultStyleSheet(QString());

    // The contents come first; their page numbers are filled in once the chapters are laid out.
    // Each entry is one line with a right-aligned tab, so a number never changes the layout.
    QTextDocument probe;
    probe.setMarkdown(markdown);
    QList<Heading> headings;
    for (QTextBlock b = probe.begin(); b.isValid(); b = b.next())
        if (int level = b.blockFormat().headingLevel(); level == 1 || level == 2)
            headings.append({level, b.text(), 0});

    QTextCursor cursor(&doc);
    QTextBlockFormat contentsHead;
    contentsHead.setHeadingLevel(1);
    contentsHead.setBottomMargin(14);
    QTextCharFormat headFormat;
    headFormat.setFontPointSize(22);
    headFormat.setFontWeight(QFont::Bold);
    headFormat.setForeground(Ink);
    cursor.setBlockFormat(contentsHead);
    cursor.insertText(QStringLiteral("Contents"), headFormat);
    QList<int> entryBlocks;
    for (const Heading &h : headings) {
        QTextBlockFormat entry;
        entry.setTopMargin(h.level == 1 ? 7 : 1);
        entry.setTabPositions({QTextOption::Tab(columnCssPx - 1, QTextOption::RightTab)});
        QTextCharFormat text;
        text.setFontPointSize(h.level == 1 ? 11 : 10);
        text.setFontWeight(h.level == 1 ? QFont::Bold : QFont::Normal);
        text.setForeground(h.level == 1 ? Ink : QColor(Qt::black));
        cursor.insertBlock(entry, text);
        entryBlocks.append(cursor.block().blockNumber());
        // Sections are indented with spaces: a left margin would shift the tab stop with it.
        const QString indent = h.level == 1 ? QString() : QString(4, QChar(0x00a0));
        cursor.insertText(indent);
        QTextCharFormat link = text;
        link.setAnchor(true);
        link.setAnchorHref(QLatin1Char('#') + QString::fromLatin1(app::guidepdf::anchorName(h.text)));
        cursor.insertText(h.text + QStringLiteral("\t00"), link);
    }
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    const int chaptersStart = cursor.position();
    cursor.insertMarkdown(markdown);
    // The first chapter's heading lands in the block that was already there and loses its format.
    // The contents keep their page to themselves.
    QTextBlockFormat firstChapter = probe.begin().blockFormat();
    firstChapter.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(doc.findBlock(chaptersStart)).setBlockFormat(firstChapter);

    styleHeadings(doc);
    styleTables(doc);
    QString error;
    if (!placeImages(doc, QFileInfo(mdPath).absoluteDir(), columnCssPx, error))
        return fail(error);

    // Pictures first, since a chapter's place depends on them; the breaks then move later pictures.
    fitPicturesToTheirPages(doc, body.height());
    startChaptersWhereLittleIsLeft(doc, body.height(), chaptersStart);
    fitPicturesToTheirPages(doc, body.height());
    keepHeadingsWithText(doc, body.height());
    if (QString row; !keepTableRowsWhole(doc, body.height(), row))
        return fail(QStringLiteral("the table row \"%1\" cannot be kept on one page").arg(row));

    // Lay out, then write each heading's page into its contents line (page 1 is the title page).
    // The first line, not the block's top: a page break before the block is space inside it.
    auto pageOf = [&](const QTextBlock &b) { return pageIndex(doc, b, body.height()) + 2; };
    const int firstChapterBlock = doc.findBlock(chaptersStart).blockNumber();
    doc.documentLayout()->documentSize();
    int next = 0;
    for (QTextBlock b = doc.findBlock(chaptersStart); b.isValid() && next < headings.size(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if ((level != 1 && level != 2) || b.text() != headings[next].text)
            continue;
        QTextCursor entry(doc.findBlockByNumber(entryBlocks[next]));
        entry.movePosition(QTextCursor::EndOfBlock);
        entry.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, 2);
        entry.insertText(QString::number(pageOf(b)));
        ++next;
    }
    if (next != headings.size())
        return fail(QStringLiteral("contents and chapters differ at \"%1\"").arg(headings[next].text));

    QPainter painter(&writer);
    painter.setRenderHint(QPainter::Antialiasing);
    drawTitlePage(painter, writer, logoPath, version);
    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
        writer.newPage();
        painter.save();
        painter.translate(marginX, marginTop - i * body.height());
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = QRectF(0, i * body.height(), body.width(), body.height());
        painter.setClipRect(ctx.clip);
        doc.documentLayout()->draw(&painter, ctx);
        painter.restore();
        drawFooter(painter, writer, marginX, i + 2);
    }
    if (!painter.end())
        return fail(QStringLiteral("cannot write %1").arg(partPath));

    // Every heading is a destination (the top of its first line); chapters and their sections are
    // the bookmarks, as in the contents.
    const qreal toPoints = 72.0 / writer.resolution();
    const qreal pageHeightPt = qRound(writer.pageLayout().fullRect(QPageLayout::Point).height());
    QList<app::guidepdf::Destination> destinations;
    QList<app::guidepdf::Bookmark> bookmarks;
    // By block: the page numbers written into the contents have moved the chapters' positions.
    for (QTextBlock b = doc.findBlockByNumber(firstChapterBlock); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        if (level == 0)
            continue;
        const QByteArray name = app::guidepdf::anchorName(b.text());
        const qreal top = marginTop + offsetOnPage(doc, b, body.height());
        destinations.append({name, pageOf(b) - 1, marginX * toPoints, pageHeightPt - top * toPoints + 6});
        if (level <= 2)
            bookmarks.append({b.text(), name, level});
    }
    QFile part(partPath);
    if (!part.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(partPath, part.errorString()));
    QByteArray pdf = part.readAll();
    part.close();
    if (const QString why = app::guidepdf::addNavigation(pdf, destinations, bookmarks); !why.isEmpty())
        return fail(why);
    if (!part.open(QIODevice::WriteOnly | QIODevice::Truncate) || part.write(pdf) != pdf.size() || !part.flush())
        return fail(QStringLiteral("cannot write %1: %2").arg(partPath, part.errorString()));
    part.close();

    QFile::remove(outPath);
    if (!QFile::rename(partPath, outPath))
        return fail(QStringLiteral("cannot replace %1").arg(outPath));
    return 0;
}
