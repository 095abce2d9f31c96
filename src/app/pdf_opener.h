#pragma once
// Writes a document carried inside the program (the user guide) to the temporary directory and
// asks the desktop to open it with the operator's PDF application.
//
// The temporary directory may be shared with other users, so the copy is written as a new file
// beside the target and renamed over it: a link planted under the target's name is refused rather
// than followed, and a failed write never leaves a half-written guide behind. Where another user's
// copy already holds the name, this user's goes to their own cache directory. Every failure comes
// back with a text for the operator, for the application's general error handling to show.

#include "common/result.h"

#include <QObject>
#include <QString>

class TPdfOpener : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString DocName READ DocName WRITE setDocName)
public:
    explicit TPdfOpener(QObject *parent = nullptr);

    // The name of the embedded document; matched without regard to case.
    QString DocName() const { return FDocName; }
    void setDocName(const QString &name) { FDocName = name; }

    // Extracts the document to the temporary directory (or the user's cache directory, see above)
    // and opens it.
    Result<> Open();
    // Writes the document's bytes to `AFilename` (a full path), replacing any file of that name.
    Result<> ExtractTo(const QString &AFilename);
    // Asks the desktop to open `AFilename` with its default application.
    Result<> DoOpen(const QString &AFilename);

    // The name the guide is written under in the temporary directory.
    static QString guideFileName();
    // The embedded document's bytes; fails when the program carries no document of that name.
    static Result<QByteArray> documentBytes(const QString &docName);

private:
    QString FDocName;
};
