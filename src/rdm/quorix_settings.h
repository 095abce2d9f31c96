#pragma once
// The port chooser: "Com1" ... "Com20" as the program has always offered them, then the serial
// ports the system reports (USB interfaces on Linux and macOS), then any named in the environment
// variable GLINTWORK_SERIAL_PORTS (paths separated by ':', each optionally "=description"; the
// demo's virtual DMX line is reached that way). OK hands out the port name to open and the text
// the port label shows, and whether searches run fast.

#include <QDialog>
#include <QList>

class QCheckBox;
class QSerialPortInfo;
class QComboBox;
class QLabel;
class QPushButton;

class TQuorixSettings : public QDialog {
    Q_OBJECT
public:
    explicit TQuorixSettings(QWidget *parent = nullptr);

    QLabel *Label1;
    QComboBox *PortsCombo;
    QCheckBox *chkFastSearch; // filled by the opener before each showing
    // OK's port, then the firmware dialog for a controller that runs its bootloader.
    QPushButton *btnRecover;
    QPushButton *Ok;
    QPushButton *Cancel;

    static constexpr int ComNames = 20;

    // Lists the ports again, keeping the choice when its port is still there.
    void refreshPorts();

    // A serial port the system reports, and whether it sits on USB (a USB serial adapter).
    struct SystemPort {
        QString name;
        bool usb = false;
    };
    // The port to start with instead of "Com1": where the system has no port of that name (Linux
    // and macOS never have) and exactly one USB serial adapter, that adapter; otherwise none.
    static QString startingPort(const QList<SystemPort> &ports);
    // At start-up: chooses startingPort() of the system's ports as OK would ("Using ttyUSB0"), so
    // the first search does not fail on a port that cannot exist. False when "Com1" stays.
    bool startWithSingleUsbAdapter();

    // The chosen port: the name the serial port opens, and "Using Com 5" / "Using ttyUSB0".
    QString portName() const;
    QString portLabelText() const;

    void OkClick();

signals:
    // OK: the port takes effect at the next open; its label is shown at once.
    void portChosen(const QString &portName, const QString &labelText);
    void fastSearchChosen(bool on);
    // "Recover a controller in its bootloader", after portChosen.
    void recoverChosen();

private:
    // Com1 to Com20, then `systemPorts`, then the ports named in the environment.
    void listPorts(const QList<QSerialPortInfo> &systemPorts);
};
