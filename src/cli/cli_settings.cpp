#include "cli/cli_settings.h"

namespace cli {

int writeBackup(Output &out, const QString &file, const QList<Target> &targets, int count,
                const std::function<settings::Entry(int row)> &entryAt,
                const std::function<int(const Target &)> &rowOf)
{
    QList<settings::Entry> entries;
    if (targets.isEmpty()) {
        for (int row = 0; row < count; ++row)
            entries << entryAt(row);
    } else {
        for (const Target &t : targets) {
            const int row = rowOf(t);
            if (row < 0)
                return Failure; // nothing written: a rig's file holds what was asked or nothing
            entries << entryAt(row);
        }
    }
    if (const Result<> written = settings::writeFile(file, entries); !written) {
        out.message(written.failure().text);
        return Failure;
    }
    out.result(QStringLiteral("%1 controller(s) saved to %2").arg(entries.size()).arg(file));
    return Success;
}

bool changesToSend(Output &out, const QString &id, const QList<settings::Change> &changes, bool dryRun)
{
    if (changes.isEmpty()) {
        out.result(QStringLiteral("%1: no changes").arg(id));
        return false;
    }
    if (dryRun)
        for (const settings::Change &ch : changes)
            out.result(QStringLiteral("%1: %2: %3 -> %4").arg(id, ch.field, ch.now, ch.fromFile));
    return !dryRun;
}

} // namespace cli
