#include "app/guide/pdf_navigation.h"

#include <QMap>
#include <QRegularExpression>
#include <optional>

namespace app::guidepdf {

namespace {

struct Parsed {
    QMap<int, qint64> offsets; // object number to its byte offset
    qint64 xrefOffset = 0;
    int size = 0, root = 0, info = 0;
};

std::optional<Parsed> parse(const QByteArray &pdf, QString &error)
{
    Parsed p;
    const qsizetype start = pdf.lastIndexOf("startxref");
    if (start < 0) {
        error = QStringLiteral("no startxref");
        return {};
    }
    p.xrefOffset = pdf.mid(start + 9, 32).trimmed().split('\n').value(0).trimmed().toLongLong();
    if (!pdf.mid(p.xrefOffset, 4).startsWith("xref")) {
        error = QStringLiteral("no cross-reference table at %1").arg(p.xrefOffset);
        return {};
    }
    const qsizetype trailer = pdf.indexOf("trailer", p.xrefOffset);
    if (trailer < 0) {
        error = QStringLiteral("no trailer");
        return {};
    }
    const QList<QByteArray> lines = pdf.mid(p.xrefOffset, trailer - p.xrefOffset).split('\n');
    int number = 0, left = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> words = lines[i].simplified().split(' ');
        if (words.size() == 2 && left == 0) { // a subsection: first number, count
            number = words[0].toInt();
            left = words[1].toInt();
        } else if (words.size() == 3 && left > 0) {
            if (words[2] == "n")
                p.offsets.insert(number, words[0].toLongLong());
            ++number;
            --left;
        }
    }
    const QByteArray dict = pdf.mid(trailer, start - trailer);
    auto ref = [&](const char *key) {
        const auto m = QRegularExpression(QStringLiteral("/%1\\s+(\\d+)").arg(QLatin1String(key)))
                           .match(QString::fromLatin1(dict));
        return m.hasMatch() ? m.captured(1).toInt() : 0;
    };
    p.size = ref("Size");
    p.root = ref("Root");
    p.info = ref("Info");
    if (p.size == 0 || p.root == 0) {
        error = QStringLiteral("trailer without /Size or /Root");
        return {};
    }
    return p;
}

// The text between "N 0 obj" and "endobj".
QByteArray objectBody(const QByteArray &pdf, const Parsed &p, int number)
{
    const qint64 at = p.offsets.value(number, -1);
    if (at < 0)
        return {};
    const qsizetype begin = pdf.indexOf("obj", at);
    const qsizetype end = pdf.indexOf("endobj", begin);
    return begin < 0 || end < 0 ? QByteArray() : pdf.mid(begin + 3, end - begin - 3).trimmed();
}

QList<int> references(const QByteArray &text)
{
    QList<int> refs;
    static const QRegularExpression ref(QStringLiteral("(\\d+)\\s+0\\s+R"));
    for (auto it = ref.globalMatch(QString::fromLatin1(text)); it.hasNext();)
        refs.append(it.next().captured(1).toInt());
    return refs;
}

int referenceAfter(const QByteArray &dict, const char *key)
{
    const auto m = QRegularExpression(QStringLiteral("/%1\\s+(\\d+)\\s+0\\s+R").arg(QLatin1String(key)))
                       .match(QString::fromLatin1(dict));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QByteArray textString(const QString &text)
{
    QByteArray hex = "<FEFF";
    for (const QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    return hex + '>';
}

QByteArray number(double v)
{
    return QByteArray::number(v, 'f', 2);
}

} // namespace

QByteArray anchorName(const QString &heading)
{
    QByteArray name;
    bool dash = false;
    for (const QChar c : heading.toLower()) {
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))) {
            if (dash && !name.isEmpty())
                name += '-';
            name += char(c.unicode());
            dash = false;
        } else {
            dash = true;
        }
    }
    return name;
}

QString addNavigation(QByteArray &pdf, const QList<Destination> &destinations, const QList<Bookmark> &bookmarks)
{
    QString error;
    const auto parsed = parse(pdf, error);
    if (!parsed)
        return error;
    const Parsed &p = *parsed;

    const QByteArray catalog = objectBody(pdf, p, p.root);
    const QList<int> pages = references(objectBody(pdf, p, referenceAfter(catalog, "Pages")).split('[').value(1));
    if (pages.isEmpty())
        return QStringLiteral("no pages");

    QMap<QByteArray, Destination> byName;
    for (const Destination &d : destinations) {
        if (d.page < 0 || d.page >= pages.size())
            return QStringLiteral("the destination %1 is on page %2 of %3")
                .arg(QString::fromLatin1(d.name)).arg(d.page + 1).arg(pages.size());
        byName.insert(d.name, d);
    }

    QMap<int, QByteArray> changed; // object number to its new body
    int next = p.size;

    // Links to "#name" become jumps to the named destination.
    static const QRegularExpression internal(QStringLiteral("/URI\\s*\\(#([^)]*)\\)"));
    static const QRegularExpression rect(QStringLiteral("/Rect\\s*\\[[^\\]]*\\]"));
    for (const int page : pages) {
        const int annots = referenceAfter(objectBody(pdf, p, page), "Annots");
        if (annots == 0)
            continue;
        for (const int annot : references(objectBody(pdf, p, annots))) {
            const QString body = QString::fromLatin1(objectBody(pdf, p, annot));
            const auto link = internal.match(body);
            if (!link.hasMatch())
                continue;
            const QByteArray name = link.captured(1).toLatin1();
            if (!byName.contains(name))
                return QStringLiteral("a link to #%1 leads nowhere").arg(link.captured(1));
            changed.insert(annot, "<<\n/Type /Annot\n/Subtype /Link\n" + rect.match(body).captured(0).toLatin1()
                                      + "\n/Border [0 0 0]\n/Dest /" + name + "\n>>");
        }
    }

    QByteArray dests = "<<\n";
    for (const Destination &d : std::as_const(byName))
        dests += '/' + d.name + " [" + QByteArray::number(pages[d.page]) + " 0 R /XYZ " + number(d.x) + ' '
                 + number(d.y) + " null]\n";
    dests += ">>";
    const int destsObject = next++;
    changed.insert(destsObject, dests);

    // Bookmarks: the outline's root, then one object per entry, sections as children of their chapter.
    QByteArray catalogExtra = "/Dests " + QByteArray::number(destsObject) + " 0 R\n";
    if (!bookmarks.isEmpty()) {
        const int outline = next++;
        QList<int> ids;
        for (int i = 0; i < bookmarks.size(); ++i)
            ids.append(next++);
        QList<int> chapters;
        QMap<int, QList<int>> sections; // chapter index to its section indices
        for (int i = 0; i < bookmarks.size(); ++i) {
            if (!byName.contains(bookmarks[i].destination))
                return QStringLiteral("the bookmark %1 has no destination").arg(bookmarks[i].title);
            if (bookmarks[i].level == 1 || chapters.isEmpty())
                chapters.append(i);
            else
                sections[chapters.last()].append(i);
        }
        auto siblings = [&](const QList<int> &list, int parent) {
            for (int k = 0; k < list.size(); ++k) {
                const int i = list[k];
                QByteArray item = "<<\n/Title " + textString(bookmarks[i].title) + "\n/Parent "
                                  + QByteArray::number(parent) + " 0 R\n/Dest /" + bookmarks[i].destination + '\n';
                if (k > 0)
                    item += "/Prev " + QByteArray::number(ids[list[k - 1]]) + " 0 R\n";
                if (k + 1 < list.size())
                    item += "/Next " + QByteArray::number(ids[list[k + 1]]) + " 0 R\n";
                const QList<int> children = sections.value(i);
                if (!children.isEmpty())
                    item += "/First " + QByteArray::number(ids[children.first()]) + " 0 R\n/Last "
                            + QByteArray::number(ids[children.last()]) + " 0 R\n/Count "
                            + QByteArray::number(children.size()) + '\n';
                changed.insert(ids[i], item + ">>");
            }
        };
        siblings(chapters, outline);
        for (auto it = sections.cbegin(); it != sections.cend(); ++it)
            siblings(it.value(), ids[it.key()]);
        changed.insert(outline, "<<\n/Type /Outlines\n/First " + QByteArray::number(ids[chapters.first()])
                                    + " 0 R\n/Last " + QByteArray::number(ids[chapters.last()]) + " 0 R\n/Count "
                                    + QByteArray::number(bookmarks.size()) + "\n>>");
        catalogExtra += "/Outlines " + QByteArray::number(outline) + " 0 R\n/PageMode /UseOutlines\n";
    }
    const qsizetype close = catalog.lastIndexOf(">>");
    if (!catalog.startsWith("<<") || close < 0 || catalog.contains("/Outlines") || catalog.contains("/Dests"))
        return QStringLiteral("a catalog this cannot extend: %1").arg(QString::fromLatin1(catalog));
    changed.insert(p.root, catalog.left(close) + catalogExtra + ">>");

    // The update: the objects, their cross-reference entries, and a trailer pointing back.
    QByteArray update = "\n";
    QMap<int, qint64> at;
    for (auto it = changed.cbegin(); it != changed.cend(); ++it) {
        at.insert(it.key(), pdf.size() + update.size());
        update += QByteArray::number(it.key()) + " 0 obj\n" + it.value() + "\nendobj\n";
    }
    const qint64 xref = pdf.size() + update.size();
    update += "xref\n0 1\n0000000000 65535 f \n";
    for (auto it = at.cbegin(); it != at.cend(); ++it)
        update += QByteArray::number(it.key()) + " 1\n" + QByteArray::number(it.value()).rightJustified(10, '0')
                  + " 00000 n \n";
    update += "trailer\n<<\n/Size " + QByteArray::number(next) + "\n/Root " + QByteArray::number(p.root) + " 0 R\n";
    if (p.info)
        update += "/Info " + QByteArray::number(p.info) + " 0 R\n";
    update += "/Prev " + QByteArray::number(p.xrefOffset) + "\n>>\nstartxref\n" + QByteArray::number(xref)
              + "\n%%EOF\n";
    pdf += update;
    return {};
}

} // namespace app::guidepdf
