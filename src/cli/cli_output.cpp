#include "cli/cli_output.h"

#include <unistd.h>

#include <algorithm>

namespace cli {

Output::Output(std::FILE *out, std::FILE *err)
    : m_out(out), m_err(err), m_progressOnTerminal(::isatty(fileno(err)) == 1)
{
}

void Output::writeLine(std::FILE *to, const QString &line)
{
    endProgress();
    std::fputs(line.toUtf8().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

void Output::result(const QString &line)
{
    writeLine(m_out, line);
}

void Output::resultBytes(const QByteArray &bytes)
{
    endProgress();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_out);
    std::fflush(m_out);
}

void Output::message(const QString &text)
{
    writeLine(m_err, text);
}

void Output::progress(const QString &text)
{
    if (!m_progressOnTerminal)
        return;
    // Carriage return and erase to the end of the line: the next progress replaces this one.
    std::fprintf(m_err, "\r%s\033[K", text.toUtf8().constData());
    std::fflush(m_err);
    m_progressOpen = true;
}

void Output::endProgress()
{
    if (!m_progressOpen)
        return;
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_progressOpen = false;
}

void printTable(Output &out, const QList<QStringList> &rows)
{
    QList<qsizetype> widths(rows.isEmpty() ? 0 : rows.first().size(), 0);
    for (const QStringList &r : rows)
        for (qsizetype k = 0; k < r.size() && k < widths.size(); ++k)
            widths[k] = std::max(widths[k], r[k].size());
    for (const QStringList &r : rows) {
        QString line;
        for (qsizetype k = 0; k < r.size(); ++k)
            line += k + 1 < r.size() && k < widths.size() ? r[k].leftJustified(widths[k] + 2) : r[k];
        out.result(line);
    }
}

void printFound(Output &out, const QStringList &header, const QList<QStringList> &rows)
{
    printTable(out, QList<QStringList>{header} + rows);
    out.result(QStringLiteral("Found %1 Device(s)").arg(rows.size()));
}

} // namespace cli
