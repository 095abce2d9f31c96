#include "settings/settings_files.h"

#include "common/form_builders.h"
#include "net/network_link.h"
#include "config/tessara_config.h"
#include "net/network_tab.h"
#include "rdm/quorix_config.h"
#include "rdm/usb_tab.h"
#include "settings/restore_dialog.h"

#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

using namespace settings;

namespace {

const QString FileFilter = QStringLiteral("Glintwork settings (*.json);;All files (*)");

QString fileNameFor(const QString &what)
{
    QString name = what;
    static const QString bad = QStringLiteral("\\/:*?\"<>|");
    for (QChar &c : name)
        if (bad.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    return name.trimmed() + QStringLiteral(".json");
}

} // namespace

SettingsFiles::SettingsFiles(NetworkTab &net, TTessaraConfig &netDialog, UsbTab &usb,
                             TQuorixConfig &usbDialog, QObject *parent)
    : QObject(parent),
      m_view(net),
      m_net(net.link()),
      m_netDialog(netDialog),
      m_usb(usb),
      m_usbDialog(usbDialog),
      m_savePath([](QWidget *parent, const QString &suggested) {
          return QFileDialog::getSaveFileName(parent, tr("Save Settings"), suggested, FileFilter);
      }),
      m_openPath([](QWidget *parent, const QString &) {
          return QFileDialog::getOpenFileName(parent, tr("Restore Settings"), QString(), FileFilter);
      }),
      m_runDialog([](QDialog &d) { d.exec(); })
{
    netFiles = filesButton(&net, "netFiles", true);
    usbFiles = filesButton(&usb, "usbFiles", false);
    connect(&netDialog, &TTessaraConfig::saveClicked, this, &SettingsFiles::saveNetworkController);
    connect(&usbDialog, &TQuorixConfig::saveClicked, this, &SettingsFiles::saveUsbController);
}

QPushButton *SettingsFiles::filesButton(QWidget *tab, const char *name, bool network)
{
    // In the gap between Search and the next control of the row, which both tabs have at x 113..163.
    auto *b = common::forms::button(tab, name, tr("Files"), {113, 16, 50},
                            network ? tr("Files: back up or restore network devices' settings")
                                    : tr("Files: back up or restore USB devices' settings"));
    auto *menu = new QMenu(b);
    menu->setObjectName(QLatin1String(name) + QStringLiteral("Menu"));
    QAction *backUp = menu->addAction(tr("&Back up all…"));
    backUp->setObjectName(QStringLiteral("actBackUpAll"));
    QAction *restore = menu->addAction(tr("&Restore…"));
    restore->setObjectName(QStringLiteral("actRestore"));
    connect(backUp, &QAction::triggered, this, network ? &SettingsFiles::backUpNetwork : &SettingsFiles::backUpUsb);
    connect(restore, &QAction::triggered, this, &SettingsFiles::restore);
    b->setMenu(menu);
    fitFont(b, b->text() + QStringLiteral("  ▾"), 50 - 8);
    return b;
}

void SettingsFiles::setPathChoosers(PathChooser save, PathChooser open)
{
    m_savePath = std::move(save);
    m_openPath = std::move(open);
}

void SettingsFiles::setReadBackTiming(int firstDelayMs, int tryIntervalMs)
{
    m_firstDelayMs = firstDelayMs;
    m_tryIntervalMs = tryIntervalMs;
}

QList<Entry> SettingsFiles::listedEntries() const
{
    QList<Entry> entries;
    for (int row = 0; row < m_net.count(); ++row)
        entries.append(entryOf(m_net.controller(row), m_net.rowTexts(row).value(0)));
    for (int row = 0; row < m_usb.Link->count(); ++row)
        entries.append(entryOf(m_usb.Link->controller(row)));
    return entries;
}

void SettingsFiles::write(QWidget *parent, const QList<Entry> &entries, const QString &suggested)
{
    const QString path = m_savePath(parent, fileNameFor(suggested));
    if (path.isEmpty())
        return;
    if (const Result<> written = writeFile(path, entries); !written)
        QMessageBox::warning(parent, parent->window()->windowTitle(),
                             tr("The settings were not saved. %1").arg(written.failure().text));
}

void SettingsFiles::saveNetworkController()
{
    // What the controller reported: the dialog's unsent edits are not its settings.
    const int row = m_view.selectedRow();
    if (!m_net.hasController(row))
        return;
    const Entry e = entryOf(m_net.controller(row), m_net.rowTexts(row).value(0));
    write(&m_netDialog, {e}, e.nickname.isEmpty() ? e.address : e.nickname);
}

void SettingsFiles::saveUsbController()
{
    const int row = m_usb.Link->CurrentController;
    if (!m_usb.Link->hasController(row))
        return;
    const Entry e = entryOf(m_usb.Link->controller(row));
    write(&m_usbDialog, {e}, e.nickname.isEmpty() ? e.id : e.nickname);
}

void SettingsFiles::backUpNetwork()
{
    QList<Entry> entries;
    for (int row = 0; row < m_net.count(); ++row)
        if (!net::tessara::isBootloader(m_net.controller(row)))
            entries.append(entryOf(m_net.controller(row), m_net.rowTexts(row).value(0)));
    if (entries.isEmpty()) {
        QMessageBox::information(&m_view, m_view.window()->windowTitle(), tr("No network devices are listed. Search first."));
        return;
    }
    write(&m_view, entries, tr("Network devices"));
}

void SettingsFiles::backUpUsb()
{
    QList<Entry> entries;
    for (int row = 0; row < m_usb.Link->count(); ++row)
        entries.append(entryOf(m_usb.Link->controller(row)));
    if (entries.isEmpty()) {
        QMessageBox::information(&m_usb, m_usb.window()->windowTitle(), tr("No USB devices are listed. Search first."));
        return;
    }
    write(&m_usb, entries, tr("USB devices"));
}

void SettingsFiles::restore()
{
    QWidget *parent = m_view.window();
    const QString path = m_openPath(parent, QString());
    if (path.isEmpty())
        return;
    const Result<QList<Entry>> entries = readFile(path);
    if (!entries) {
        QMessageBox::warning(parent, parent->windowTitle(),
                             tr("The file was not read, and nothing was sent.\n\n%1").arg(entries.failure().text));
        return;
    }
    RestoreDialog dialog(path, *entries, m_view, m_usb, parent);
    dialog.setReadBackTiming(m_firstDelayMs, m_tryIntervalMs);
    m_runDialog(dialog);
}
