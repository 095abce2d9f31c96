#pragma once
// The command-line program's JSON (docs/cli-json.md): a document naming its format, version,
// command and family, holding a list of controllers. A controller is its settings-file entry
// (docs/settings-file.md) with what a search reads besides.

#include "settings/settings_file.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

namespace cli {

inline constexpr int JsonVersion = 1;

// The settings-file objects of `entries`, in their order.
QJsonArray entryObjects(const QList<settings::Entry> &entries);

QByteArray document(const QString &command, const QString &family, const QJsonArray &controllers,
                     const QJsonObject &extra = {});

} // namespace cli
