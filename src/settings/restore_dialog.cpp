#include "settings/restore_dialog.h"

#include "common/named_control.h"
#include "config/config_workflow_rules.h"
#include "net/network_link.h"
#include "net/network_tab.h"
#include "rdm/quorix_edits.h"
#include "rdm/quorix_texts.h"
#include "rdm/usb_device_model.h"
#include "rdm/usb_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace settings;

const char RestoreDialog::VerifyKey[] = "settings/verifyAfterWrite";

namespace {
enum TargetColumns { FileColumn, OntoColumn };
enum ChangeColumns { FieldColumn, NowColumn, FileValueColumn };
} // namespace

RestoreDialog::RestoreDialog(const QString &fileName, QList<Entry> fromFile, NetworkTab &net, UsbTab &usb, QWidget *parent)
    : QDialog(parent),
      Targets(named(new QTableWidget(0, 2, this), "Targets", tr("Controllers in the file"))),
      chkNickname(named(new QCheckBox(tr("A clone takes the nickname too"), this), "chkNickname",
                        tr("A clone takes the nickname too"))),
      Changes(named(new QTreeWidget(this), "Changes", tr("What would change"))),
      chkVerify(named(new QCheckBox(tr("Verify after write"), this), "chkVerify", tr("Verify after write"))),
      Progress(named(new QProgressBar(this), "Progress", tr("Restore progress"))),
      Results(named(new QListWidget(this), "Results", tr("Results"))),
      btnApply(named(new QPushButton(tr("Apply"), this), "btnApply", tr("Apply the ticked controllers"))),
      btnSaveResults(named(new QPushButton(tr("Save Results…"), this), "btnSaveResults", tr("Save results as text"))),
      btnClose(named(new QPushButton(tr("Close"), this), "btnClose", tr("Close"))),
      m_file(std::move(fromFile)),
      m_view(net),
      m_net(net.link()),
      m_usb(usb),
      m_readBack(new NetworkReadBack(
          [this](const QByteArray &datagram, const QString &host) {
              // A try that cannot go out is a try without an answer.
              [[maybe_unused]] const ::Result<> sent = m_net.send(datagram, host);
          },
          this))
{
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(tr("Restore Settings"));
    resize(820, 600); // wide enough for "Restore onto" with a 16-character nickname and its address

    auto *layout = new QVBoxLayout(this);
    auto *fileLabel = stateLabel(new QLabel(tr("File: %1").arg(fileName), this), "lblFile", tr("Settings file"));
    layout->addWidget(fileLabel);
    auto *targetsLabel = new QLabel(tr("&Controllers in the file, and which listed controller each goes onto:"), this);
    targetsLabel->setBuddy(Targets);
    layout->addWidget(targetsLabel);
    Targets->setHorizontalHeaderLabels({tr("From the file"), tr("Onto")});
    Targets->verticalHeader()->hide();
    Targets->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Targets->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Targets->setTabKeyNavigation(false);
    Targets->setMaximumHeight(150);
    layout->addWidget(Targets);
    layout->addWidget(chkNickname);
    auto *changesLabel = new QLabel(tr("&What would change (tick the controllers to apply):"), this);
    changesLabel->setBuddy(Changes);
    layout->addWidget(changesLabel);
    Changes->setHeaderLabels({tr("Field"), tr("Now"), tr("From the file")});
    Changes->header()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(Changes, 2);
    layout->addWidget(chkVerify);
    layout->addWidget(Progress);
    layout->addWidget(Results, 1);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(btnApply, QDialogButtonBox::ActionRole);
    buttons->addButton(btnSaveResults, QDialogButtonBox::ActionRole);
    buttons->addButton(btnClose, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    for (QPushButton *b : {btnApply, btnSaveResults, btnClose})
        b->setAutoDefault(false);

    chkVerify->setChecked(QSettings().value(QLatin1String(VerifyKey), true).toBool());
    Progress->setValue(0);
    Progress->hide();
    btnSaveResults->setEnabled(false);

    connect(chkVerify, &QCheckBox::toggled, this, [](bool on) { QSettings().setValue(QLatin1String(VerifyKey), on); });
    connect(chkNickname, &QCheckBox::toggled, this, &RestoreDialog::preview);
    connect(btnApply, &QPushButton::clicked, this, &RestoreDialog::apply);
    connect(btnSaveResults, &QPushButton::clicked, this, &RestoreDialog::saveResults);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_readBack, &NetworkReadBack::finished, this, &RestoreDialog::finishJob);
    connect(&m_net, &NetworkLink::pollReplyHeard, m_readBack, &NetworkReadBack::datagramReceived);
    connect(m_usb.Link, &QuorixLink::readBackFinished, this, [this](const rdm::ReadBackReport &report) {
        // The link may be read back for someone else; only the controller this run asked about counts.
        if (m_usbReadingBack)
            finishJob(usbResult(*std::exchange(m_usbReadingBack, std::nullopt), report));
    });

    listTargets();
    fillTargetBoxes();
    preview();
}

void RestoreDialog::setReadBackTiming(int firstDelayMs, int tryIntervalMs)
{
    m_readBack->setTiming(firstDelayMs, tryIntervalMs);
}

QComboBox *RestoreDialog::targetBox(int entry) const
{
    return qobject_cast<QComboBox *>(Targets->cellWidget(entry, OntoColumn));
}

void RestoreDialog::setTicked(int entry, bool on)
{
    for (int i = 0; i < Changes->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = Changes->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() == entry && (item->flags() & Qt::ItemIsUserCheckable))
            item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
}

void RestoreDialog::listTargets()
{
    for (int row = 0; row < m_net.count(); ++row)
        m_targets.append({entryOf(m_net.controller(row), m_net.rowTexts(row).value(0)), row});
    for (int row = 0; row < m_usb.Link->count(); ++row)
        m_targets.append({entryOf(m_usb.Link->controller(row)), row});
}

void RestoreDialog::fillTargetBoxes()
{
    QList<Entry> listed;
    for (const Target &t : m_targets)
        listed.append(t.now);
    Targets->setRowCount(int(m_file.size()));
    for (int i = 0; i < m_file.size(); ++i) {
        const Entry &e = m_file[i];
        Targets->setItem(i, FileColumn, new QTableWidgetItem(nameOf(e)));
        auto *box = new QComboBox(Targets);
        box->setObjectName(QStringLiteral("onto%1").arg(i));
        box->setAccessibleName(tr("Onto, for %1").arg(nameOf(e)));
        box->addItem(tr("Skip"), -1);
        const int match = matchIndex(e, listed);
        for (int t : cloneCandidates(e, listed))
            box->addItem(t == match ? tr("Restore onto %1").arg(nameOf(listed[t]))
                                    : tr("Clone onto %1").arg(nameOf(listed[t])),
                         t);
        if (match >= 0)
            box->setCurrentIndex(box->findData(match));
        Targets->setCellWidget(i, OntoColumn, box);
        connect(box, &QComboBox::currentIndexChanged, this, &RestoreDialog::preview);
    }
}

RestoreDialog::Job RestoreDialog::prepare(int entry, int target) const
{
    Job job;
    job.entry = entry;
    job.target = target;
    if (target < 0)
        return job;
    const Entry &e = m_file[entry];
    const Target &t = m_targets[target];
    job.clone = e.id != t.now.id;
    const ApplyMode mode{job.clone, chkNickname->isChecked()};
    Entry after = t.now;
    if (e.family == Family::Network) {
        const TTessaraCtrl &before = m_net.controller(t.row);
        if (net::tessara::isBootloader(before)) {
            job.refused = tr("the controller is in its bootloader");
            return job;
        }
        if (config::flow::ipCompatibility(before, m_view.selectedAdapterNetwork()) == config::flow::IpCheck::OfferRepair) {
            job.refused = tr("its address is outside the adapter's network; open it to repair the address first");
            return job;
        }
        const Result<TTessaraCtrl> record = applyTo(e, before, t.now.model, mode);
        if (!record) {
            job.refused = record.failure().text;
            return job;
        }
        job.netAfter = *record;
        after = entryOf(*record, t.now.model);
    } else {
        const Result<rdm::QuorixEdits> edited = applyTo(e, m_usb.Link->controller(t.row), mode);
        if (!edited) {
            job.refused = edited.failure().text;
            return job;
        }
        job.usbEdited = *edited;
        after.edits = *edited;
        after.nickname = edited->nickname;
    }
    job.changes = changes(t.now, after);
    return job;
}

void RestoreDialog::preview()
{
    m_jobs.clear();
    Changes->clear();
    QList<int> taken;
    for (int i = 0; i < m_file.size(); ++i) {
        const int target = targetBox(i)->currentData().toInt();
        Job job = prepare(i, target);
        if (target >= 0 && taken.contains(target))
            job.refused = tr("another controller of the file goes onto it");
        if (target >= 0)
            taken.append(target);
        m_jobs.append(job);
        if (target < 0)
            continue;
        auto *item = new QTreeWidgetItem(Changes);
        item->setData(0, Qt::UserRole, i);
        const QString name = (job.clone ? tr("Clone onto %1") : tr("Restore %1")).arg(nameOf(m_targets[target].now));
        item->setFirstColumnSpanned(true);
        if (!job.refused.isEmpty()) {
            item->setText(0, tr("%1: cannot be restored: %2").arg(name, job.refused));
            item->setToolTip(0, item->text(0)); // a long reason does not fit the list
            item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
            continue;
        }
        item->setText(0, job.changes.isEmpty() ? tr("%1: nothing would change").arg(name) : name);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, job.changes.isEmpty() ? Qt::Unchecked : Qt::Checked);
        for (const Change &c : job.changes)
            new QTreeWidgetItem(item, {c.field, c.now, c.fromFile});
        item->setExpanded(true);
    }
    btnApply->setEnabled(!m_running);
}

void RestoreDialog::apply()
{
    if (m_running)
        return;
    m_queue.clear();
    for (int i = 0; i < Changes->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = Changes->topLevelItem(i);
        if ((item->flags() & Qt::ItemIsUserCheckable) && item->checkState(0) == Qt::Checked)
            m_queue.append(item->data(0, Qt::UserRole).toInt());
    }
    if (m_queue.isEmpty())
        return;
    m_running = true;
    m_results.clear();
    Results->clear();
    for (QWidget *w : std::initializer_list<QWidget *>{Targets, chkNickname, Changes, btnApply, btnSaveResults, btnClose})
        w->setEnabled(false);
    Progress->setRange(0, int(m_queue.size()));
    Progress->setValue(0);
    Progress->show();
    runNext();
}

void RestoreDialog::runNext()
{
    if (m_queue.isEmpty()) {
        endRun();
        return;
    }
    const Job &job = m_jobs[m_queue.takeFirst()];
    const Target &t = m_targets[job.target];
    const QString name = nameOf(t.now);
    if (job.netAfter) {
        const TTessaraCtrl before = m_net.controller(t.row);
        // As OK does: the record takes the dialog's values, then the datagram goes out from it.
        m_net.replaceController(t.row, *job.netAfter);
        if (const ::Result<> sent = m_net.sendConfig(t.row); !sent) {
            m_net.replaceController(t.row, before); // nothing went out
            finishJob({name, Outcome::NotSent, {}, sent.failure().text});
            return;
        }
        if (chkVerify->isChecked())
            m_readBack->start(*job.netAfter, t.now.model, name);
        else
            finishJob({name, Outcome::Applied, {}, {}});
        return;
    }
    // As the controller dialog's OK does: compared with what the dialog would show.
    const rdm::QuorixEdits shown = rdm::shownOf(rdm::editsOf(m_usb.Link->controller(t.row)));
    const QuorixLink::EditOutcome outcome = m_usb.Link->applyEdits(t.row, shown, *job.usbEdited);
    if (!outcome.notSent.isEmpty()) {
        finishJob({name, Outcome::NotSent, {},
                   tr("%1 did not go out: %2").arg(outcome.notSent.join(QStringLiteral(", ")), outcome.reason.text)});
        return;
    }
    if (!chkVerify->isChecked()) {
        finishJob({name, Outcome::Applied, {}, {}});
        return;
    }
    m_usbReadingBack = name;
    if (const ::Result<> asked = m_usb.Link->readBack(t.row, shown, *job.usbEdited); !asked) {
        m_usbReadingBack.reset();
        // Sent all the same; only the reading failed.
        finishJob({name, Outcome::Applied, {}, QuorixLink::wholeText(asked.failure())});
    }
}

void RestoreDialog::finishJob(const settings::RestoreResult &result)
{
    m_results.append(result);
    auto *item = new QListWidgetItem(resultText(result), Results);
    item->setData(Qt::UserRole, int(result.outcome));
    Progress->setValue(Progress->value() + 1);
    // The next controller after the event loop has turned, so the window shows this one's result.
    QMetaObject::invokeMethod(this, &RestoreDialog::runNext, Qt::QueuedConnection);
}

void RestoreDialog::endRun()
{
    m_running = false;
    for (QWidget *w : std::initializer_list<QWidget *>{btnSaveResults, btnClose})
        w->setEnabled(true);
    btnClose->setFocus(Qt::OtherFocusReason);
    emit runFinished();
}

void RestoreDialog::keyPressEvent(QKeyEvent *event)
{
    // No button is the default, so that Return in the lists applies nothing; on a button, Return
    // presses that button, as Space does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto *b = qobject_cast<QPushButton *>(focusWidget()); b && b->isEnabled()) {
            b->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void RestoreDialog::reject()
{
    if (!m_running)
        QDialog::reject();
}

void RestoreDialog::saveResults()
{
    const QString path = m_resultsPath ? m_resultsPath(this)
                                       : QFileDialog::getSaveFileName(this, tr("Save Results"), QString(),
                                                                      tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(resultListText(m_results).toUtf8()) >= 0 && f.commit())
        return;
    QMessageBox::warning(this, windowTitle(), tr("The results could not be saved: %1").arg(f.errorString()));
}
