#include "rdm/form3.h"

#include "common/error_handling.h"
#include "rdm/firmware_hex.h"
#include "common/form_builders.h"
#include "rdm/quorix_link.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

TForm3::TForm3(QWidget *parent)
    : QDialog(parent),
      FileOpenBtn(common::forms::button(this, "FileOpenBtn", tr("Browse"), {12, 16, 81}, tr("Browse for a firmware file"))),
      FileDisplay(common::forms::edit(this, "FileDisplay", tr("Firmware file"), {101, 16, 312, 25})),
      QuorixFwProgress(common::forms::placed(named(new QProgressBar(this), "QuorixFwProgress", tr("Firmware update progress")),
                                     {12, 56, 401, 20})),
      Update(common::forms::button(this, "Update", tr("Update"), {242, 100, 81})),
      Cancel(common::forms::button(this, "Cancel", tr("Cancel"), {332, 100, 81})),
      BootWait(common::forms::label(this, "BootWait", QString(), {12, 82, 222, 52}))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Quorix Firmware "));
    setFixedSize(425, 140);
    QuorixFwProgress->setRange(0, 100);
    QuorixFwProgress->setValue(0);
    BootWait->setWordWrap(true);
    BootWait->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    BootWait->hide();

    connect(FileOpenBtn, &QPushButton::clicked, this, &TForm3::FileOpenBtnClick);
    connect(Update, &QPushButton::clicked, this, &TForm3::UpdateClick);
    connect(Cancel, &QPushButton::clicked, this, &TForm3::reject);
}

void TForm3::setLink(QuorixLink *link)
{
    m_link = link;
    connect(link, &QuorixLink::firmwareProgress, QuorixFwProgress, [this](int percent) {
        QuorixFwProgress->setValue(percent);
        QuorixFwProgress->repaint();
    });
    connect(link, &QuorixLink::firmwareFinished, this, &TForm3::firmwareFinished);
    connect(link, &QuorixLink::bootloaderWaiting, this, &TForm3::showWaiting);
    // The first block's answer ends the wait.
    connect(link, &QuorixLink::firmwareProgress, BootWait, &QLabel::hide);
}

void TForm3::setRecovery(bool on)
{
    m_recovery = on;
    setWindowTitle(on ? tr("Recover a controller in its bootloader") : QStringLiteral("Quorix Firmware "));
}

void TForm3::showWaiting(qint64 ms)
{
    if (ms < WaitNoticeMs || !isVisible())
        return;
    const QString text = tr("Waiting for the controller's bootloader: no answer for %1 s. Cancel stops.").arg(ms / 1000);
    if (BootWait->text() != text)
        BootWait->setText(text);
    BootWait->show();
}

void TForm3::FileOpenBtnClick()
{
    // Made for each use: a file chooser's own controls do not belong among this window's.
    QFileDialog OpenDialog(this, tr("Open"), QDir::currentPath(), QStringLiteral("Firmware Hex File (*.hex)"));
    OpenDialog.setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog.setFileMode(QFileDialog::ExistingFile);
    if (OpenDialog.exec() == QDialog::Accepted && !OpenDialog.selectedFiles().isEmpty())
        FileDisplay->setText(QDir::toNativeSeparators(OpenDialog.selectedFiles().first()));
}

void TForm3::UpdateClick()
{
    if (!m_link)
        return;
    // The whole file is checked first: a broken file must never leave the controller in its
    // bootloader with half an image.
    const rdm::hex::HexImage image = rdm::hex::readFirmwareHex(QDir::fromNativeSeparators(FileDisplay->text()));
    if (!image.ok()) {
        QMessageBox::warning(this, windowTitle(), image.error);
        return;
    }
    QuorixFwProgress->setValue(0);
    const Result<> started = m_recovery ? m_link->recoverFirmware(image.data)
                                        : m_link->startFirmwareUpdate(m_link->CurrentController, image.data);
    if (!started) {
        showFailure({QuorixLink::wholeText(started.failure()), started.failure().reason});
        return;
    }
    setRunning(true);
}

void TForm3::setRunning(bool running)
{
    FileOpenBtn->setEnabled(!running);
    FileDisplay->setEnabled(!running);
    Update->setEnabled(!running);
    if (!running)
        BootWait->hide();
}

void TForm3::firmwareFinished()
{
    if (m_stopQuestion)
        m_stopQuestion->reject();
    setRunning(false);
    if (!isVisible())
        return;
    const rdm::boot::BootloaderExchange &exchange = m_link->bootloader();
    const bool complete = exchange.state() == rdm::boot::BootloaderExchange::State::Complete;
    const QString text = exchange.resultText();
    if (!text.isEmpty())
        QMessageBox::information(this, windowTitle(), text);
    if (complete) {
        accept();
        return;
    }
    // Update was disabled while the blocks went out: the operator goes on here, to try again.
    activateWindow();
    Update->setFocus(Qt::OtherFocusReason);
}

void TForm3::CancelClick()
{
    if (m_link)
        m_link->cancelFirmwareUpdate();
    setRunning(false);
}

void TForm3::reject()
{
    // Stopped halfway, the controller is left in its bootloader with part of an image: it no longer
    // answers a search. A stray click or Esc must not do that unasked.
    if (m_link && m_link->transferUnderWay()) {
        QMessageBox ask(QMessageBox::Warning, windowTitle(), tr("Stop the firmware update?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        ask.setInformativeText(tr("The controller then stays in its bootloader with part of the new firmware, "
                                  "and does not answer a search until an update completes."));
        ask.setDefaultButton(QMessageBox::No);
        // The transfer goes on while the question is open; if it ends meanwhile, the question goes.
        m_stopQuestion = &ask;
        const int answer = ask.exec();
        m_stopQuestion = nullptr;
        if (answer != QMessageBox::Yes)
            return;
    }
    CancelClick();
    QDialog::reject();
}
