#include "rdm/quorix_config.h"

#include "common/exit_checks.h"
#include "common/field_rules.h"
#include "rdm/form3.h"
#include "rdm/quorix_texts.h"
#include "rdm/rdm_params.h"
#include "common/form_builders.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

using namespace common;

const QString TQuorixConfig::RemoteOffText = rdm::remoteModeText(false);
const QString TQuorixConfig::RemoteOnText = rdm::remoteModeText(true);

using common::forms::Spot;

TQuorixConfig::TQuorixConfig(QWidget *parent)
    : QDialog(parent),
      Label4(common::forms::valueLabel(this, "Label4", QString(), {12, 8, 376, 40}, tr("Remote mode"))),
      Label1(common::forms::label(this, "Label1", tr("Mode:"), {12, 58, 130})),
      ControllerMode(common::forms::placed(named(new QComboBox(this), "ControllerMode", tr("Mode")), {146, 58, 242})),
      Label2(common::forms::label(this, "Label2", tr("DMX Start Address:"), {12, 92, 130})),
      StartAddress(common::forms::edit(this, "StartAddress", tr("DMX Start Address"), {146, 92, 64})),
      Label3(common::forms::label(this, "Label3", tr("Nickname:"), {12, 126, 130})),
      Nickname(common::forms::edit(this, "Nickname", tr("Nickname"), {146, 126, 242})),
      lblGamma(common::forms::label(this, "lblGamma", tr("Gamma:"), {12, 160, 130})),
      trackGamma(common::forms::placed(named(new QSlider(Qt::Horizontal, this), "trackGamma", tr("Gamma")), {146, 160, 180})),
      txtGamma(common::forms::edit(this, "txtGamma", tr("Gamma value"), {334, 160, 54})),
      gboxFirmware(common::forms::group(this, "gboxFirmware", tr("Firmware"), {12, 196, 376, 62})),
      Label5(common::forms::valueLabel(gboxFirmware, "Label5", QString(), {12, 26, 150}, tr("Firmware version"))),
      btnFirmware(common::forms::button(gboxFirmware, "btnFirmware", tr("Update Firmware"), {214, 24, 150})),
      Button1(common::forms::button(this, "Button1", tr("OK"), {216, 274, 81})),
      Button2(common::forms::button(this, "Button2", tr("Cancel"), {307, 274, 81})),
      m_exits(new ExitChecks(this))
{
    setObjectName(QStringLiteral("QuorixConfig"));
    setWindowTitle(tr("Quorix Configuration")); // until a controller's number takes its place
    setFixedSize(400, 312);

    QFont italic = Label4->font();
    italic.setItalic(true);
    Label4->setFont(italic);
    Label4->setWordWrap(true);
    std::tie(Up, Down) = common::forms::steppers(this, "Up", "Down", tr("DMX Start Address"), 214, 92);
    Label1->setBuddy(ControllerMode);
    Label2->setBuddy(StartAddress);
    Label3->setBuddy(Nickname);
    lblGamma->setBuddy(trackGamma);

    ControllerMode->addItems({tr("Single RGB (19 DMX)"), tr("Dual RGB (22 DMX)"), tr("Individual Channels (48 DMX)")});
    // The controller stores 32 bytes; typing, pasting and dropping all stop there.
    Nickname->setMaxLength(rdm::LABEL_MAX);
    trackGamma->setRange(GammaMinTenths, GammaMaxTenths);
    trackGamma->setSingleStep(1);
    trackGamma->setPageStep(1);
    trackGamma->setTickPosition(QSlider::TicksBelow);
    trackGamma->setTickInterval(1);

    m_exits->add(StartAddress, [this] { DMXStartExit(); });
    m_exits->add(txtGamma, [this] { txtGammaExit(); });
    connect(Up, &QPushButton::clicked, this, &TQuorixConfig::UpClick);
    connect(Down, &QPushButton::clicked, this, &TQuorixConfig::DownClick);
    connect(trackGamma, &QSlider::valueChanged, this, &TQuorixConfig::trackGammaChange);
    connect(btnFirmware, &QPushButton::clicked, this, &TQuorixConfig::btnFirmwareClick);
    connect(Button1, &QPushButton::clicked, this, [this] {
        m_exits->runFocused();
        accept();
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    // Bottom left, where the dialog has room; made last, so it comes after OK and Cancel by Tab.
    btnSave = common::forms::button(this, "btnSave", tr("Save…"), {12, 274, 81}, tr("Save settings to a file"));
    connect(btnSave, &QPushButton::clicked, this, &TQuorixConfig::saveClicked);
}

void TQuorixConfig::load(const rdm::QuorixEdits &values, bool remoteMode, const QString &firmware,
                         int controllerNumber)
{
    // The box that had the focus when the dialog last closed must not be checked as if the
    // operator were leaving it now: its check would change a value before anyone saw it.
    if (QWidget *focused = focusWidget())
        focused->clearFocus();
    setWindowTitle(tr("Controller %1 Configuration").arg(controllerNumber));
    Label4->setText(remoteMode ? RemoteOnText : RemoteOffText);
    for (QWidget *w : std::initializer_list<QWidget *>{ControllerMode, StartAddress, Nickname, Up, Down})
        w->setEnabled(remoteMode);
    ControllerMode->setCurrentIndex(values.personality >= 1 && values.personality <= ControllerMode->count()
                                        ? values.personality - 1
                                        : -1);
    Nickname->setText(values.nickname);
    StartAddress->setText(QString::number(values.startAddress));
    Label5->setText(firmware);
    trackGamma->setValue(values.gammaTenths);
    // The box shows the value in its shortest form, as the controller reported it.
    txtGamma->setText(QLocale().toString(values.gammaTenths / 10.0, 'g', QLocale::FloatingPointShortest));
}

rdm::QuorixEdits TQuorixConfig::edits()
{
    m_exits->runFocused();
    return shownEdits();
}

rdm::QuorixEdits TQuorixConfig::shownEdits() const
{
    return {ControllerMode->currentIndex() + 1, Nickname->text(),
            int(valueOf(StartAddress->text(), IntegerRule{QStringLiteral("1"), 1, startMax()})), trackGamma->value()};
}

int TQuorixConfig::startMax() const
{
    return rdm::startAddressMax(ControllerMode->currentIndex() + 1);
}

void TQuorixConfig::DMXStartExit()
{
    const QString checked = checkInteger(StartAddress->text(), IntegerRule{QStringLiteral("1"), 1, startMax()});
    if (checked != StartAddress->text())
        StartAddress->setText(checked);
}

void TQuorixConfig::UpClick()
{
    StartAddress->setText(stepUp(StartAddress->text(), StepRule{QStringLiteral("1"), 1, startMax(), 1}));
}

void TQuorixConfig::DownClick()
{
    StartAddress->setText(stepDown(StartAddress->text(), StepRule{QStringLiteral("1"), 1, startMax(), 1}));
}

void TQuorixConfig::trackGammaChange()
{
    txtGamma->setText(gammaText(trackGamma->value()));
}

void TQuorixConfig::txtGammaExit()
{
    const Gamma gamma = checkGamma(txtGamma->text());
    if (gamma.text != txtGamma->text())
        txtGamma->setText(gamma.text);
    trackGamma->setValue(gamma.tenths);
}

void TQuorixConfig::btnFirmwareClick()
{
    if (!m_form3)
        return;
    m_form3->QuorixFwProgress->setValue(0);
    m_form3->QuorixFwProgress->repaint();
    QApplication::processEvents();
    // After a complete update the controller restarts: nothing of this dialog is sent.
    if (m_form3->exec() == QDialog::Accepted)
        reject();
}
