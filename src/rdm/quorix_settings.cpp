#include "rdm/quorix_settings.h"

#include "common/form_builders.h"
#include "rdm/usb_serial_ports.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>

namespace {
constexpr int PortRole = Qt::UserRole;
}

TQuorixSettings::TQuorixSettings(QWidget *parent)
    : QDialog(parent),
      Label1(common::forms::label(this, "Label1", tr("Serial Port"), {16, 16, 268, 20})),
      PortsCombo(common::forms::placed(named(new QComboBox(this), "PortsCombo", tr("Serial Port")), {16, 40, 268, 25})),
      chkFastSearch(common::forms::button<QCheckBox>(this, "chkFastSearch", tr("Fast search"), {16, 76, 268, 22})),
      btnRecover(common::forms::button(this, "btnRecover", tr("Recover a controller in its bootloader"), {16, 108, 268})),
      Ok(common::forms::button(this, "Ok", tr("OK"), {124, 148, 75})),
      Cancel(common::forms::button(this, "Cancel", tr("Cancel"), {209, 148, 75}))
{
    setObjectName(QStringLiteral("QuorixSettings"));
    setWindowTitle(tr("Settings"));
    setFixedSize(300, 186);
    Label1->setBuddy(PortsCombo);
    PortsCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    chkFastSearch->setToolTip(tr("Ask the next controller as soon as one has answered, instead of waiting the "
                                 "full interval each time. Some controllers may need the full interval."));
    Ok->setDefault(true);

    // Asking the system for its serial ports opens thousands of tty devices: not at start-up,
    // where the chooser is not shown. It lists them again each time it opens.
    listPorts({});
    PortsCombo->setCurrentIndex(0);

    connect(Ok, &QPushButton::clicked, this, [this] {
        OkClick();
        accept();
    });
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    btnRecover->setToolTip(tr("For a controller whose firmware update failed or was stopped: it no longer answers "
                              "a search. Uses the port chosen above."));
    connect(btnRecover, &QPushButton::clicked, this, [this] {
        OkClick();
        accept();
        emit recoverChosen();
    });
}

void TQuorixSettings::refreshPorts()
{
    listPorts(QSerialPortInfo::availablePorts());
}

void TQuorixSettings::listPorts(const QList<QSerialPortInfo> &systemPorts)
{
    const QString chosen = PortsCombo->currentIndex() >= 0 ? portName() : QString();
    PortsCombo->clear();
    for (int i = 1; i <= ComNames; ++i)
        PortsCombo->addItem(QStringLiteral("Com%1").arg(i), QStringLiteral("Com%1").arg(i));
    for (const QSerialPortInfo &info : systemPorts) {
        const QString description = info.description();
        PortsCombo->addItem(description.isEmpty() ? info.portName()
                                                  : QStringLiteral("%1 (%2)").arg(info.portName(), description),
                            info.portName());
    }
    const QString extra = qEnvironmentVariable("GLINTWORK_SERIAL_PORTS");
    for (const QString &entry : extra.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        const QString path = eq < 0 ? entry : entry.left(eq);
        const QString description = eq < 0 ? QString() : entry.mid(eq + 1);
        if (path.isEmpty() || PortsCombo->findData(path) >= 0)
            continue;
        PortsCombo->addItem(description.isEmpty() ? path : QStringLiteral("%1 (%2)").arg(path, description), path);
    }
    const int again = chosen.isEmpty() ? 0 : PortsCombo->findData(chosen);
    PortsCombo->setCurrentIndex(again >= 0 ? again : 0);
}

QString TQuorixSettings::startingPort(const QList<SystemPort> &ports)
{
    QString single;
    int usb = 0;
    for (const SystemPort &p : ports) {
        if (p.name.compare(QLatin1String("COM1"), Qt::CaseInsensitive) == 0)
            return {};
        if (p.usb) {
            ++usb;
            single = p.name;
        }
    }
    return usb == 1 ? single : QString();
}

bool TQuorixSettings::startWithSingleUsbAdapter()
{
    // Most machines have no USB adapter or several: the device tree tells that cheaply, and the
    // serial port library, which opens every terminal of the system, is asked only when one is there.
    if (const std::optional<QStringList> usb = rdm::usbSerialPorts(); usb && usb->size() != 1)
        return false;
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    QList<SystemPort> ports;
    for (const QSerialPortInfo &info : system)
        ports.append({info.portName(), info.hasVendorIdentifier()});
    const QString starting = startingPort(ports);
    if (starting.isEmpty())
        return false;
    listPorts(system);
    const int index = PortsCombo->findData(starting);
    if (index < ComNames)
        return false;
    PortsCombo->setCurrentIndex(index);
    emit portChosen(portName(), portLabelText());
    return true;
}

QString TQuorixSettings::portName() const
{
    return PortsCombo->currentData(PortRole).toString();
}

QString TQuorixSettings::portLabelText() const
{
    const int index = PortsCombo->currentIndex();
    if (index >= 0 && index < ComNames)
        return QStringLiteral("Using Com %1").arg(index + 1);
    return QStringLiteral("Using %1").arg(portName());
}

void TQuorixSettings::OkClick()
{
    emit portChosen(portName(), portLabelText());
    emit fastSearchChosen(chkFastSearch->isChecked());
}
