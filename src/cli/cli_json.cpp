#include "cli/cli_json.h"

#include <QJsonDocument>

namespace cli {

QJsonArray entryObjects(const QList<settings::Entry> &entries)
{
    // Through the settings file's own writer, so an entry reads the same in both.
    return QJsonDocument::fromJson(settings::toJson(entries)).object().value(u"controllers").toArray();
}

QByteArray document(const QString &command, const QString &family, const QJsonArray &controllers,
                    const QJsonObject &extra)
{
    QJsonObject o = extra;
    o[u"format"] = QStringLiteral("glintwork-cli");
    o[u"version"] = JsonVersion;
    o[u"command"] = command;
    o[u"family"] = family;
    o[u"controllers"] = controllers;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

} // namespace cli
