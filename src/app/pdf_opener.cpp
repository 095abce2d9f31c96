#include "app/pdf_opener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Embedded documents live here, each under its own name.
const QString DocumentDir = QStringLiteral(":/documents");

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

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

QByteArray TPdfOpener::documentBytes(const QString &docName)
{
    const QDir dir(DocumentDir);
    for (const QString &entry : dir.entryList(QDir::Files)) {
        if (entry.compare(docName, Qt::CaseInsensitive) != 0)
            continue;
        QFile resource(dir.filePath(entry));
        if (resource.open(QIODevice::ReadOnly))
            return resource.readAll();
    }
    fail(tr("The document \"%1\" is not part of this program.").arg(docName));
}

void TPdfOpener::Open()
{
    // Qt answers an empty path for a temporary directory that does not exist; the guide must not
    // land in whatever the current directory is instead.
    const QString temp = GetTempPath();
    if (temp.isEmpty() || !QFileInfo(temp).isDir())
        fail(tr("Cannot write the guide: the temporary directory \"%1\" does not exist.")
                 .arg(QDir::toNativeSeparators(qEnvironmentVariable("TMPDIR", temp))));
    QString path = QDir(temp).filePath(guideFileName());
    if (heldByAnotherUser(path)) {
        // Someone else on this computer opened the guide first: this user's copy goes to their
        // own cache directory instead.
        const QString own = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (own.isEmpty() || !QDir().mkpath(own))
            fail(tr("Cannot write the guide: \"%1\" belongs to another user, and there is no cache directory "
                    "of your own to write it to instead.")
                     .arg(QDir::toNativeSeparators(path)));
        path = QDir(own).filePath(guideFileName());
    }
    ExtractTo(path);
    DoOpen(path);
}

void TPdfOpener::ExtractTo(const QString &AFilename)
{
    const QByteArray bytes = documentBytes(FDocName);
    const QFileInfo target(AFilename);
    const QString cannotWrite = tr("Cannot write the guide to \"%1\": %2").arg(QDir::toNativeSeparators(AFilename));
    if (target.isSymLink())
        fail(cannotWrite.arg(tr("a link of that name is in the way. Remove it and try again.")));

    // A new file (created exclusively, so it cannot be a link someone else placed) beside the
    // target, renamed over it once complete: the rename replaces a name and never follows it.
    QTemporaryFile part(target.absoluteDir().filePath(target.fileName() + QStringLiteral(".XXXXXX")));
    if (!part.open())
        fail(cannotWrite.arg(part.errorString()));
    if (part.write(bytes) != bytes.size() || !part.flush())
        fail(cannotWrite.arg(part.errorString()));
    part.close();

    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(part.fileName().toStdU16String()),
                            std::filesystem::path(AFilename.toStdU16String()), ec);
    if (ec)
        fail(cannotWrite.arg(QString::fromStdString(ec.message())));
    part.setAutoRemove(false); // it is the guide now
}

void TPdfOpener::DoOpen(const QString &AFilename)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(AFilename)))
        fail(tr("No application to open PDF documents was found. The guide has been saved as:\n%1")
                 .arg(QDir::toNativeSeparators(AFilename)));
}
