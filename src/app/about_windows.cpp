#include "app/about_windows.h"

#include "app/artwork.h"
#include "common/named_control.h"

#include <QLabel>
#include <QPushButton>

namespace {
const QString SupportLine = QStringLiteral("For bug fixes, sugesstions or general support, please e-mail:");
}

AboutWindowBase::AboutWindowBase(QWidget *parent, const char *objectName, int height, const QString &brandName)
    : QDialog(parent),
      Image1(named(new QLabel(this), "Image1", tr("%1 logo").arg(brandName))),
      btnClose(named(new QPushButton(tr("Close"), this), "btnClose", tr("Close"))),
      m_brandName(brandName)
{
    setObjectName(QLatin1String(objectName));
    setWindowTitle(tr("About"));
    setFixedSize(344, height);
    Image1->setGeometry(8, 8, 329, 129);
    btnClose->setGeometry(344 - 80 - 8, height - 22 - 8, 80, 22);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

void AboutWindowBase::showEvent(QShowEvent *event)
{
    // Drawn when first wanted: two of the three About windows are never opened in a build.
    if (Image1->pixmap().isNull())
        Image1->setPixmap(brandLogo(m_brandName, 329, 129));
    QDialog::showEvent(event);
}

QLabel *AboutWindowBase::addText(const char *objectName, const QString &text, int x, int y, int w, int h,
                                 bool bold, bool centred)
{
    auto *label = named(new QLabel(text, this), objectName, text);
    label->setGeometry(x, y, w, h);
    label->setWordWrap(true);
    label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    label->setStyleSheet(QStringLiteral("color: black;"));
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    return label;
}

TAboutWin::TAboutWin(QWidget *parent) : AboutWindowBase(parent, "AboutWin", 403, QStringLiteral("Orvanta"))
{
    addText("lblHead", tr("About This Utility:"), 8, 144, 329, 17, true);
    addText("Text1",
            tr("Glintwork is the configuration utility for Orvanta devices. It discovers our controllers from "
               "a single place and lists them together, both standard DMX devices reached with the RDM "
               "protocol and devices on your computer's Ethernet LAN."),
            8, 168, 329, 89);
    addText("Text3",
            tr("The utility is designed to allow viewing and updating of settings on our controllers as well as "
               "facilitating firmware upgrades in a simple way."),
            8, 264, 329, 57);
    addText("Text2", SupportLine + QStringLiteral(" support@orvanta.example"), 8, 328, 329, 33);
}

TAboutWinHVN::TAboutWinHVN(QWidget *parent)
    : AboutWindowBase(parent, "AboutWinHVN", 305, QStringLiteral("Halvane"))
{
    addText("lblHead", tr("Halvane-Corvel 16 Utility"), 8, 144, 329, 17, true, true);
    addText("Label1", tr("Version 2.1.9"), 7, 168, 329, 17, true, true);
    addText("Label2", tr("Halvane and Corvel are trademarks of their owner."), 7, 192, 329, 34, true, true);
    addText("Label3", tr("www.halvane.example"), 7, 240, 329, 17, true, true);
}

TAboutWinQLN::TAboutWinQLN(QWidget *parent)
    : AboutWindowBase(parent, "AboutWinQLN", 316, QStringLiteral("Quillon"))
{
    addText("lblHead", tr("About This Utility:"), 8, 144, 329, 17, true);
    addText("Text1",
            tr("This application is for use with our Quillon systems it is designed to allow updating of "
               "settings and configuration as well as firmware updates"),
            8, 168, 329, 65);
    addText("Text2", SupportLine + QStringLiteral(" support@quillon.example"), 8, 240, 329, 33);
}
