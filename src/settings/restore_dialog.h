#pragma once
// "Restore…": the controllers of a file, each matched to a listed controller (by MAC or serial)
// or, for a clone, to one of the same model the operator picks; what would change for each, with a
// tick per controller; then, on Apply, each ticked controller sent its settings exactly as the
// dialog's OK would, read back if asked, and a result list that can be saved as text.

#include "settings/read_back.h"
#include "settings/settings_file.h"

#include <QDialog>
#include <optional>

class NetworkLink;
class NetworkTab;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class UsbTab;

class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    RestoreDialog(const QString &fileName, QList<settings::Entry> fromFile, NetworkTab &net, UsbTab &usb, QWidget *parent = nullptr);

    QTableWidget *Targets;    // a row per controller of the file, with its "Onto" choice
    QCheckBox *chkNickname;   // a clone takes the nickname too
    QTreeWidget *Changes;     // a ticked item per controller, its fields below it
    QCheckBox *chkVerify;     // read back after writing, remembered
    QProgressBar *Progress;
    QListWidget *Results;
    QPushButton *btnApply;
    QPushButton *btnSaveResults;
    QPushButton *btnClose;

    // The "Onto" box of file entry `entry`.
    QComboBox *targetBox(int entry) const;
    // Ticks or unticks a controller's item in the change list.
    void setTicked(int entry, bool on);

    void setReadBackTiming(int firstDelayMs, int tryIntervalMs);
    void setResultsPathChooser(std::function<QString(QWidget *)> choose) { m_resultsPath = std::move(choose); }

    const QList<settings::RestoreResult> &results() const { return m_results; }
    bool running() const { return m_running; }

    void apply();
    void saveResults();
    // Escape and the window's close do nothing while controllers are being written and read back.
    void reject() override;

    // The option's key in the program's settings.
    static const char VerifyKey[];

signals:
    void runFinished();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // A listed controller: its family, its row in its tab, and what a file would hold for it.
    struct Target {
        settings::Entry now;
        int row = -1;
    };
    // One controller of the file, laid over the controller chosen for it.
    struct Job {
        int entry = -1;
        int target = -1; // index into m_targets; -1: skipped
        bool clone = false;
        std::optional<TTessaraCtrl> netAfter;
        std::optional<rdm::QuorixEdits> usbShown, usbEdited;
        QList<settings::Change> changes;
        QString refused;
    };

    void listTargets();
    void fillTargetBoxes();
    void preview();
    Job prepare(int entry, int target) const;
    void runNext();
    void finishJob(const settings::RestoreResult &result);
    void endRun();

    QList<settings::Entry> m_file;
    NetworkTab &m_view;
    NetworkLink &m_net;
    UsbTab &m_usb;
    QList<Target> m_targets;
    QList<Job> m_jobs;
    QList<int> m_queue; // jobs still to run
    QList<settings::RestoreResult> m_results;
    settings::NetworkReadBack *m_readBack;
    std::optional<QString> m_usbReadingBack; // the name of the USB controller being read back
    std::function<QString(QWidget *)> m_resultsPath;
    bool m_running = false;
};
