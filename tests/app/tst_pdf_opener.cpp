// The guide behind Help: written to the temporary directory without following a planted link or
// leaving half a file, handed to the desktop as one file name, and a real multi-page PDF.

#include "app/pdf_opener.h"
#include "url_catcher.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QDesktopServices>
#include <QStandardPaths>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TestPdfOpener : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_root;
    QString m_temp; // the temporary directory the opener sees, with spaces in its path
    UrlCatcher m_catcher;

    QString guidePath() const { return QDir(m_temp).filePath(TPdfOpener::guideFileName()); }
    static QString openGuide()
    {
        TPdfOpener opener;
        opener.setDocName(QStringLiteral("Guide"));
        const Result<> opened = opener.Open();
        return opened ? QString() : opened.failure().text;
    }

private slots:
    void init()
    {
        QVERIFY(m_root.isValid());
        m_temp = m_root.filePath(QStringLiteral("Local Settings/Temp Files"));
        QDir(m_temp).removeRecursively();
        QVERIFY(QDir().mkpath(m_temp));
        qputenv("TMPDIR", QFile::encodeName(m_temp));
        m_catcher.opened.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_catcher, "open");
    }
    void cleanup() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void writesTheGuideAndOverwritesItOnTheNextPress()
    {
        const QByteArray guide = TPdfOpener::documentBytes(QStringLiteral("GUIDE")).value();
        QCOMPARE(openGuide(), QString());
        // A stale, longer copy from an earlier version is replaced, not patched.
        QFile stale(guidePath());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(guide.size() + 100, 'x'));
        stale.close();
        QCOMPARE(openGuide(), QString());

        QFile written(guidePath());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), guide);
        const QUrl expected = QUrl::fromLocalFile(guidePath());
        QCOMPARE(m_catcher.opened, (QList<QUrl>{expected, expected}));
        QCOMPARE(m_catcher.opened.first().toLocalFile(), guidePath());
        QCOMPARE(QDir(m_temp).entryList(QDir::Files | QDir::Hidden), QStringList{TPdfOpener::guideFileName()});
    }

    void refusesAPlantedLinkAndLeavesNothingBehind()
    {
        const QString victim = m_root.filePath(QStringLiteral("precious.txt"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("keep me");
        v.close();
        QVERIFY(QFile::link(victim, guidePath()));

        const QString error = openGuide();
        QVERIFY2(error.contains(QStringLiteral("link")), qPrintable(error));
        QVERIFY(m_catcher.opened.isEmpty());
        QVERIFY(QFileInfo(guidePath()).isSymLink());
        QVERIFY(v.open(QIODevice::ReadOnly));
        QCOMPARE(v.readAll(), QByteArray("keep me"));
        QCOMPARE(QDir(m_temp).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList{TPdfOpener::guideFileName()});
    }

    // On a computer shared by several operators the temporary directory is shared too, and one
    // user's guide there cannot be replaced by another: the second user gets a copy of their own.
    void anotherUsersCopyIsLeftAloneAndTheGuideStillOpens()
    {
#ifdef Q_OS_UNIX
        if (::geteuid() != 0)
            QSKIP("handing a file to another user needs root");
        QStandardPaths::setTestModeEnabled(true);
        for (const bool link : {false, true}) {
            QFile::remove(guidePath());
            if (link) {
                QVERIFY(QFile::link(m_root.filePath(QStringLiteral("elsewhere.pdf")), guidePath()));
            } else {
                QFile theirs(guidePath());
                QVERIFY(theirs.open(QIODevice::WriteOnly));
                theirs.write("their copy");
                theirs.close();
            }
            QCOMPARE(::lchown(QFile::encodeName(guidePath()).constData(), 65534, 65534), 0); // nobody
            m_catcher.opened.clear();

            QCOMPARE(openGuide(), QString());
            QCOMPARE(m_catcher.opened.size(), 1);
            const QString mine = m_catcher.opened.first().toLocalFile();
            QCOMPARE(QFileInfo(mine).dir().absolutePath(),
                     QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).absolutePath());
            QFile written(mine);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(written.readAll(), TPdfOpener::documentBytes(QStringLiteral("GUIDE")).value());
            QCOMPARE(QFileInfo(guidePath()).isSymLink(), link);
            if (!link) {
                QFile theirs(guidePath());
                QVERIFY(theirs.open(QIODevice::ReadOnly));
                QCOMPARE(theirs.readAll(), QByteArray("their copy"));
            }
            QFile::remove(mine);
        }
        QStandardPaths::setTestModeEnabled(false);
#else
        QSKIP("the temporary directory is the user's own here");
#endif
    }

    void failuresAreReportedAndNothingIsOpened()
    {
        // A temporary directory that does not exist, or is a file.
        QFile notADir(m_root.filePath(QStringLiteral("file")));
        QVERIFY(notADir.open(QIODevice::WriteOnly));
        notADir.close();
        for (const QString &temp : {m_root.filePath(QStringLiteral("gone")), notADir.fileName()}) {
            qputenv("TMPDIR", QFile::encodeName(temp));
            const QString error = openGuide();
            QVERIFY2(error.startsWith(QStringLiteral("Cannot write the guide")), qPrintable(error));
            QVERIFY2(error.contains(temp), qPrintable(error));
        }
        QVERIFY(m_catcher.opened.isEmpty());
        QVERIFY(!QFile::exists(TPdfOpener::guideFileName())); // not in the current directory either

        // A document the program does not carry.
        TPdfOpener opener;
        opener.setDocName(QStringLiteral("Missing"));
        const Result<> extracted = opener.ExtractTo(guidePath());
        QVERIFY(!extracted);
        QCOMPARE(extracted.failure().text, QStringLiteral("The document \"Missing\" is not part of this program."));
        QVERIFY(!QFile::exists(guidePath()));
    }

    // Without a PDF application the operator is told where the guide is, instead of nothing.
    void noPdfApplicationIsSaid()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file")); // the offscreen desktop opens nothing
        const QString error = openGuide();
        QVERIFY2(error.contains(QStringLiteral("No application to open PDF documents")), qPrintable(error));
        QVERIFY(error.contains(QDir::toNativeSeparators(guidePath())));
        QVERIFY(QFile::exists(guidePath()));
    }

    void theGuideIsARealPdfOfSeveralPages()
    {
        QCOMPARE(openGuide(), QString());
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {guidePath()});
        QVERIFY2(info.waitForFinished(30000), "pdfinfo (poppler-utils) is needed");
        QCOMPARE(info.exitCode(), 0);
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out);
        QVERIFY2(pages.hasMatch(), qPrintable(out));
        QVERIFY2(pages.captured(1).toInt() > 1, qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("Glintwork User Guide")));
    }
};

QTEST_MAIN(TestPdfOpener)
#include "tst_pdf_opener.moc"
