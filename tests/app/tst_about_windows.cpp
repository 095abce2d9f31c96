// The three brands' About windows: their texts, sizes and logos.

#include "app/about_windows.h"
#include "app/artwork.h"
#include "app/artwork_render.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

namespace {

// A logo that failed to load is an empty, fully transparent picture.
int paintedPixels(const QPixmap &pm)
{
    const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    int painted = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            painted += qAlpha(img.pixel(x, y)) > 0;
    return painted;
}

} // namespace

class TestAboutWindows : public QObject {
    Q_OBJECT
private slots:
    void brands_data()
    {
        QTest::addColumn<QString>("brand");
        QTest::addColumn<int>("height");
        QTest::addColumn<QStringList>("texts"); // objectName=text, top to bottom
        QTest::newRow("Orvanta") << "Orvanta" << 403
                                 << QStringList{"lblHead=About This Utility:",
                                                "Text3=The utility is designed to allow viewing and updating of "
                                                "settings on our controllers as well as facilitating firmware "
                                                "upgrades in a simple way.",
                                                "Text2=For bug fixes, sugesstions or general support, please "
                                                "e-mail: support@orvanta.example"};
        QTest::newRow("Halvane") << "Halvane" << 305
                                 << QStringList{"lblHead=Halvane-Corvel 16 Utility", "Label1=Version 2.1.9"};
        QTest::newRow("Quillon") << "Quillon" << 316
                                 << QStringList{"lblHead=About This Utility:",
                                                "Text1=This application is for use with our Quillon systems it is "
                                                "designed to allow updating of settings and configuration as well "
                                                "as firmware updates",
                                                "Text2=For bug fixes, sugesstions or general support, please "
                                                "e-mail: support@quillon.example"};
    }
    void brands()
    {
        QFETCH(QString, brand);
        QFETCH(int, height);
        QFETCH(QStringList, texts);
        std::unique_ptr<QDialog> about;
        if (brand == QLatin1String("Orvanta"))
            about = std::make_unique<TAboutWin>();
        else if (brand == QLatin1String("Halvane"))
            about = std::make_unique<TAboutWinHVN>();
        else
            about = std::make_unique<TAboutWinQLN>();
        QCOMPARE(about->windowTitle(), QStringLiteral("About"));
        QCOMPARE(about->size(), QSize(344, height));
        for (const QString &entry : texts) {
            const QString name = entry.section(QLatin1Char('='), 0, 0);
            auto *label = about->findChild<QLabel *>(name);
            QVERIFY2(label, qPrintable(name));
            QCOMPARE(label->text(), entry.section(QLatin1Char('='), 1));
        }
        auto *logo = about->findChild<QLabel *>(QStringLiteral("Image1"));
        QCOMPARE(logo->geometry(), QRect(8, 8, 329, 129));
        // The logo is drawn when the window first opens, and stays drawn for later openings.
        QVERIFY(logo->pixmap().isNull());
        about->show();
        QVERIFY(paintedPixels(logo->pixmap()) > 329 * 129 / 20);
        about->hide();

        // Close sits in the bottom right corner and ends the window.
        auto *close = about->findChild<QPushButton *>(QStringLiteral("btnClose"));
        QCOMPARE(close->size(), QSize(80, 22));
        QVERIFY(close->geometry().right() > 344 - 20 && close->geometry().bottom() > height - 20);
        about->show();
        close->click();
        QVERIFY(!about->isVisible());
    }

    // The main window's logos and the icon come from the same artwork, at any size.
    void artworkDrawsAtEverySize()
    {
        for (const char *brand : {"Orvanta", "Halvane", "Quillon"})
            QVERIFY2(paintedPixels(brandLogo(QLatin1String(brand), 265, 65)) > 265 * 65 / 20, brand);
        const QIcon icon = applicationIcon();
        for (int size : {16, 48, 256})
            QCOMPARE(paintedPixels(icon.pixmap(size)) > size * size / 2, true);
    }

    // The logos the windows show are the artwork as drawn for that size and pixel density, to the
    // byte; a density no picture was made for still gets a picture of its own size.
    void logosAreTheArtwork_data()
    {
        QTest::addColumn<QString>("brand");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("scale");
        for (const char *brand : {"Orvanta", "Halvane", "Quillon"})
            for (QSize size : {QSize(265, 65), QSize(329, 129)})
                for (qreal scale : {1.0, 1.5, 2.0})
                    QTest::addRow("%s %dx%d @%g", brand, size.width(), size.height(), scale)
                        << QString::fromLatin1(brand) << size << scale;
    }
    void logosAreTheArtwork()
    {
        QFETCH(QString, brand);
        QFETCH(QSize, size);
        QFETCH(qreal, scale);
        const QImage drawn = app::artwork::renderLogo(
            QStringLiteral(GLW_ARTWORK_DIR "/logo_%1.svg").arg(brand.toLower()), size, scale);
        QVERIFY(!drawn.isNull());
        const QPixmap shown = brandLogo(brand, size.width(), size.height(), scale);
        QCOMPARE(shown.devicePixelRatio(), scale);
        QCOMPARE(shown.toImage().convertToFormat(drawn.format()), drawn);

        const QPixmap between = brandLogo(brand, size.width(), size.height(), 1.1);
        QCOMPARE(between.size(), size * 1.1);
        QCOMPARE(between.devicePixelRatio(), 1.1);
        QVERIFY(paintedPixels(between) > between.width() * between.height() / 20);
    }

    // The icon is drawn at build time, and looks as one made from the file with the icon-engine
    // plugin for SVG files does.
    void iconLooksAsMadeFromTheFile()
    {
        const QIcon fromFile(QStringLiteral(GLW_ARTWORK_DIR "/glintwork.svg"));
        if (fromFile.isNull())
            QSKIP("no icon engine for SVG files on this system");
        for (int size : {16, 48, 256}) {
            const QImage ours = applicationIcon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
            const QImage theirs = fromFile.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(ours.size(), theirs.size());
            int worst = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    const QRgb a = ours.pixel(x, y), b = theirs.pixel(x, y);
                    worst = std::max({worst, qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)),
                                  qAbs(qBlue(a) - qBlue(b)), qAbs(qAlpha(a) - qAlpha(b))});
                }
            QVERIFY2(worst <= 2, qPrintable(QStringLiteral("%1 px: a channel differs by %2").arg(size).arg(worst)));
        }
    }
};

QTEST_MAIN(TestAboutWindows)
#include "tst_about_windows.moc"
