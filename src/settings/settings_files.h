#pragma once
// Settings files in the main window: "Save…" in both controller dialogs, and on each tab a
// "Files" button whose menu holds "Back up all…" and "Restore…". Backing up writes what the
// tables' records hold; restoring goes through RestoreDialog.

#include "settings/settings_file.h"

#include <QObject>
#include <functional>

class QDialog;
class NetworkLink;
class NetworkTab;
class QPushButton;
class QWidget;
class TQuorixConfig;
class TTessaraConfig;
class UsbTab;

class SettingsFiles : public QObject {
    Q_OBJECT
public:
    SettingsFiles(NetworkTab &net, TTessaraConfig &netDialog, UsbTab &usb,
                  TQuorixConfig &usbDialog, QObject *parent = nullptr);

    // The two "Files" buttons, in the gap right of each tab's Search.
    QPushButton *netFiles;
    QPushButton *usbFiles;

    // Where a file is written or read; the file dialogs unless replaced (tests). An empty path
    // cancels.
    using PathChooser = std::function<QString(QWidget *parent, const QString &suggested)>;
    void setPathChoosers(PathChooser save, PathChooser open);
    // Runs instead of the restore dialog's exec() (tests drive the dialog from here).
    using DialogRunner = std::function<void(QDialog &)>;
    void setDialogRunner(DialogRunner run) { m_runDialog = std::move(run); }

    // Every listed controller, network rows then USB rows, as a file would hold them.
    QList<settings::Entry> listedEntries() const;

    void saveNetworkController();
    void saveUsbController();
    void backUpNetwork();
    void backUpUsb();
    void restore();

    // Read-back timing, shortened by tests.
    void setReadBackTiming(int firstDelayMs, int tryIntervalMs);

private:
    QPushButton *filesButton(QWidget *tab, const char *name, bool network);
    void write(QWidget *parent, const QList<settings::Entry> &entries, const QString &suggested);

    NetworkTab &m_view;
    NetworkLink &m_net;
    TTessaraConfig &m_netDialog;
    UsbTab &m_usb;
    TQuorixConfig &m_usbDialog;
    PathChooser m_savePath;
    PathChooser m_openPath;
    DialogRunner m_runDialog;
    int m_firstDelayMs = 500;
    int m_tryIntervalMs = 1500;
};
