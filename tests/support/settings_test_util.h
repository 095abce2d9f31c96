#pragma once
// Driving the main window's settings files as an operator does, for the tests of both families:
// "Back up all…" into a file, and "Restore…" of a file with the restore window run by the test.

#include "settings/restore_dialog.h"
#include "settings/settings_files.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace settingstest {

// "Back up all…" of one tab (`backUp`: &SettingsFiles::backUpNetwork or backUpUsb) into `path`.
inline void backUpAll(SettingsFiles &files, void (SettingsFiles::*backUp)(), const QString &path)
{
    QFile::remove(path);
    files.setPathChoosers([path](QWidget *, const QString &) { return path; },
                          [](QWidget *, const QString &) { return QString(); });
    (files.*backUp)();
}

// "Restore…" of `path`: `drive` gets the shown window (and presses Apply itself, by whatever means
// it tests); the run it started is waited for. The results of the run; none when the file was
// refused before the window opened.
inline QList<settings::RestoreResult> restore(SettingsFiles &files, const QString &path,
                                              const std::function<void(RestoreDialog &)> &drive)
{
    QList<settings::RestoreResult> results;
    files.setPathChoosers([](QWidget *, const QString &) { return QString(); },
                          [path](QWidget *, const QString &) { return path; });
    files.setDialogRunner([&](QDialog &d) {
        auto &dialog = static_cast<RestoreDialog &>(d);
        dialog.show();
        if (!QTest::qWaitForWindowActive(&dialog))
            qWarning("the restore window did not become active");
        drive(dialog);
        if (dialog.running()) {
            // runFinished comes from the event loop, after drive() returned.
            QSignalSpy done(&dialog, &RestoreDialog::runFinished);
            if (!done.wait(20000))
                qWarning("restore did not finish");
        }
        results = dialog.results();
    });
    files.restore();
    return results;
}

// Changes the settings file at `path` by hand, controller by controller: `edit` gets each entry's
// index, the entry and its "settings" member, and may change both. False when the file could not
// be read or written.
inline bool editEntries(const QString &path, const std::function<void(int, QJsonObject &, QJsonObject &)> &edit)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    f.close();
    QJsonArray list = root[QStringLiteral("controllers")].toArray();
    for (int i = 0; i < list.size(); ++i) {
        QJsonObject entry = list[i].toObject();
        QJsonObject settings = entry[QStringLiteral("settings")].toObject();
        edit(i, entry, settings);
        entry[QStringLiteral("settings")] = settings;
        list[i] = entry;
    }
    root[QStringLiteral("controllers")] = list;
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(QJsonDocument(root).toJson()) > 0;
}

} // namespace settingstest
