#pragma once
// Where the command-line program writes: results on standard output, messages on standard error,
// and progress on standard error only when it is a terminal, so a script's pipes and logs hold
// results and messages and nothing else.

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QString>
#include <cstdio>

namespace cli {

// The exit status every command ends with.
enum Exit { Success = 0, Failure = 1, Usage = 2 };

class Output {
public:
    Output(std::FILE *out = stdout, std::FILE *err = stderr);

    void result(const QString &line);   // one line of the result
    void resultBytes(const QByteArray &bytes);
    void message(const QString &text);  // a message for the operator, however the program runs
    // A progress line, overwritten by the next; only on a terminal.
    void progress(const QString &text);
    void endProgress();
    bool progressShown() const { return m_progressOnTerminal; }

private:
    void writeLine(std::FILE *to, const QString &line);

    std::FILE *m_out;
    std::FILE *m_err;
    bool m_progressOnTerminal;
    bool m_progressOpen = false;
};

// Rows of cells as aligned columns, the first row being the header.
void printTable(Output &out, const QList<QStringList> &rows);
// A search's result as text: the table under `header`, then the count as the tab's status line says it.
void printFound(Output &out, const QStringList &header, const QList<QStringList> &rows);

} // namespace cli
