#include "firmware/tcp_firmware.h"

#include "common/error_handling.h"
#include "common/form_builders.h"
#include "common/log_categories.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

TTCPFirmware::TTCPFirmware(QWidget *parent, quint16 port)
    : QDialog(parent),
      FileOpenBtn(common::forms::button(this, "FileOpenBtn", tr("Browse"), {16, 15, 65, 23}, tr("Browse for firmware file"))),
      FileDisplay(common::forms::edit(this, "FileDisplay", tr("Firmware file"), {96, 15, 257, 23})),
      // Two lines where the bold text is wider than the room left of Close (scale, font, language).
      lblStatus(common::forms::valueLabel(this, "lblStatus", tr("Please wait, updating firmware..."), {15, 44, 196, 40})),
      // Enter in the path box must not start an upload: only a press of "Update" does.
      Cancel(common::forms::button(this, "Cancel", tr("Close"), {216, 49, 65})),
      Update(common::forms::button(this, "Update", tr("Update"), {288, 49, 65})),
      IdTCPClient1(new firmware::UploadLink(this)),
      m_port(port)
{
    setObjectName(QStringLiteral("TCPFirmware"));
    setWindowTitle(tr("Tessara Firmware "));
    setFixedSize(366, 88);
    IdTCPClient1->setObjectName(QStringLiteral("IdTCPClient1"));

    QFont bold = lblStatus->font();
    bold.setBold(true);
    lblStatus->setFont(bold);
    lblStatus->setWordWrap(true);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblStatus->hide();

    connect(FileOpenBtn, &QPushButton::clicked, this, &TTCPFirmware::FileOpenBtnClick);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Update, &QPushButton::clicked, this, &TTCPFirmware::UpdateClick);
}

void TTCPFirmware::setTarget(const TTessaraCtrl &controller)
{
    m_host = net::tessara::ipText(controller.CurrentIP);
}

int TTCPFirmware::openFor(const TTessaraCtrl &controller)
{
    setTarget(controller);
    return exec();
}

void TTCPFirmware::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Centred on the screen, not on the window that opened it.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TTCPFirmware::FileOpenBtnClick()
{
    if (m_uploading)
        return;
    QFileDialog dialog(this, tr("Open"), QDir::currentPath(), tr("Firmware Hex File (*.hex)"));
    dialog.setObjectName(QStringLiteral("FirmwareFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        FileDisplay->setText(QDir::toNativeSeparators(QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath()));
}

void TTCPFirmware::UpdateClick()
{
    // A second press queued while the label is drawn must not cut the running upload's connection.
    if (m_uploading)
        return;
    m_file = FileDisplay->text();
    // Said before the controller is touched, not after a connection and a frozen pause.
    if (const QString problem = firmware::fileProblem(m_file); !problem.isEmpty()) {
        qCWarning(lcFirmware).noquote() << "upload to" << m_host << "not started:" << problem;
        QMessageBox::warning(this, windowTitle(), problem);
        activateWindow();
        FileOpenBtn->setFocus();
        return;
    }
    SendEthFirmware();
}

void TTCPFirmware::reject()
{
    if (!m_uploading)
        QDialog::reject();
}

void TTCPFirmware::SendEthFirmware()
{
    // The link has logged why; the operator reads it from the general error handling.
    if (const Result<> connected = IdTCPClient1->connectToBootloader(m_host, m_port); !connected) {
        showFailure(connected.failure());
        return;
    }
    IdTCPClient1Connected();
}

void TTCPFirmware::IdTCPClient1Connected()
{
    m_uploading = true;
    // The one pass of event handling below may deliver a queued click or key: nothing may pick
    // another file while this one is sent.
    for (QWidget *w : {static_cast<QWidget *>(FileOpenBtn), static_cast<QWidget *>(FileDisplay),
                       static_cast<QWidget *>(Update)})
        w->setEnabled(false);
    lblStatus->show();
    // Draw the label once; the upload blocks the window until it has finished.
    QCoreApplication::processEvents();
    const bool sent = bool(IdTCPClient1->sendFirmware(m_file));
    lblStatus->hide();
    for (QWidget *w : {static_cast<QWidget *>(FileOpenBtn), static_cast<QWidget *>(FileDisplay),
                       static_cast<QWidget *>(Update)})
        w->setEnabled(true);
    m_uploading = false;
    if (sent) {
        QMessageBox::information(this, windowTitle(), tr("Update Sent"));
        accept();
    } else {
        QMessageBox::warning(this, windowTitle(), tr("Error Sending File"));
        // The operator goes on here: another file, or Update again.
        activateWindow();
        Update->setFocus();
    }
}
