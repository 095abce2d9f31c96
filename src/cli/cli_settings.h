#pragma once
// What backup and restore do alike for both families: which entries a backup writes, and how a
// restore reports a controller's changes.

#include "cli/cli_fields.h"
#include "cli/cli_output.h"
#include "settings/settings_file.h"

#include <functional>

namespace cli {

// Writes the entries of the listed controllers (`count` of them), or of those `targets` name,
// found by `rowOf` (which says when one is missing; then nothing is written).
int writeBackup(Output &out, const QString &file, const QList<Target> &targets, int count,
                const std::function<settings::Entry(int row)> &entryAt,
                const std::function<int(const Target &)> &rowOf);

// Says "no changes", or on a dry run each change; true when the changes are to be sent.
bool changesToSend(Output &out, const QString &id, const QList<settings::Change> &changes, bool dryRun);

} // namespace cli
