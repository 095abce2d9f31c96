#include "app/pdf_opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Embedded documents live here, each under its own name.
const QString DocumentDir = QStringLiteral(":/documents");

QString GetTempPath()
{
    return QDir::tempPath();
}

// Whether `path` names something (a file, a link) that belongs to another user. In a temporary
// directory every user shares, such a name can be neither replaced nor removed by this user.
bool heldByAnotherUser(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid != ::geteuid();
#else
    Q_UNUSED(path);
    return false; // the temporary directory is the user's own
#endif
}

} // namespace

TPdfOpener::TPdfOpener(QObject *parent) : QObject(parent) {}

QString TPdfOpener::guideFileName()
{
    return QStringLiteral("Tessara Configuration Guide.pdf");
}

Result<QByteArray> TPdfOpener::documentBytes(const QString &docName)
{
    const QDir dir(DocumentDir);
    for (const QString &entry : dir.entryList(QDir::Files)) {
        if (entry.compare(docName, Qt::CaseInsensitive) != 0)
            continue;
        QFile resource(dir.filePath(entry));
        if (resource.open(QIODevice::ReadOnly))
            return resource.readAll();
    }
    return Failure{tr("The document \"%1\" is not part of this program.").arg(docName), {}};
}

Result<> TPdfOpener::Open()
{
    // Qt answers an empty path for a temporary directory that does not exist; the guide must not
    // land in whatever the current directory is instead.
    const QString temp = GetTempPath();
    if (temp.isEmpty() || !QFileInfo(temp).isDir())
        return Failure{tr("Cannot write the guide: the temporary directory \"%1\" does not exist.")
                           .arg(QDir::toNativeSeparators(qEnvironmentVariable("TMPDIR", temp))),
                       {}};
    QString path = QDir(temp).filePath(guideFileName());
    if (heldByAnotherUser(path)) {
        // Someone else on this computer opened the guide first: this user's copy goes to their
        // own cache directory instead.
        const QString own = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (own.isEmpty() || !QDir().mkpath(own))
            return Failure{tr("Cannot write the guide: \"%1\" belongs to another user, and there is no cache "
                              "directory of your own to write it to instead.")
                               .arg(QDir::toNativeSeparators(path)),
                           {}};
        path = QDir(own).filePath(guideFileName());
    }
    if (const Result<> written = ExtractTo(path); !written)
        return written;
    return DoOpen(path);
}

Result<> TPdfOpener::ExtractTo(const QString &AFilename)
{
    const Result<QByteArray> document = documentBytes(FDocName);
    if (!document)
        return document.failure();
    const QByteArray &bytes = *document;
    const QFileInfo target(AFilename);
    const auto cannotWrite = [&](const QString &reason) {
        return Failure{tr("Cannot write the guide to \"%1\": %2").arg(QDir::toNativeSeparators(AFilename), reason),
                       reason};
    };
    if (target.isSymLink())
        return cannotWrite(tr("a link of that name is in the way. Remove it and try again."));

    // A new file (created exclusively, so it cannot be a link someone else placed) beside the
    // target, renamed over it once complete: the rename replaces a name and never follows it.
    QTemporaryFile part(target.absoluteDir().filePath(target.fileName() + QStringLiteral(".XXXXXX")));
    if (!part.open())
        return cannotWrite(part.errorString());
    if (part.write(bytes) != bytes.size() || !part.flush())
        return cannotWrite(part.errorString());
    part.close();

    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(part.fileName().toStdU16String()),
                            std::filesystem::path(AFilename.toStdU16String()), ec);
    if (ec)
        return cannotWrite(QString::fromStdString(ec.message()));
    part.setAutoRemove(false); // it is the guide now
    return {};
}

Result<> TPdfOpener::DoOpen(const QString &AFilename)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(AFilename)))
        return Failure{tr("No application to open PDF documents was found. The guide has been saved as:\n%1")
                           .arg(QDir::toNativeSeparators(AFilename)),
                       {}};
    return {};
}
