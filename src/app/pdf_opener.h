#pragma once
// Writes a document carried inside the program (the user guide) to the temporary directory and
// asks the desktop to open it with the operator's PDF application.
//
// The temporary directory may be shared with other users, so the copy is written as a new file
// beside the target and renamed over it: a link planted under the target's name is refused rather
// than followed, and a failed write never leaves a half-written guide behind. Where another user's
// copy already holds the name, this user's goes to their own cache directory. Every failure is
// thrown as std::runtime_error with a text for the operator; the application's general error
// handling shows it.

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
    void Open();
    // Writes the document's bytes to `AFilename` (a full path), replacing any file of that name.
    void ExtractTo(const QString &AFilename);
    // Asks the desktop to open `AFilename` with its default application.
    void DoOpen(const QString &AFilename);

    // The name the guide is written under in the temporary directory.
    static QString guideFileName();
    // The embedded document's bytes; throws when the program carries no document of that name.
    static QByteArray documentBytes(const QString &docName);

private:
    QString FDocName;
};
