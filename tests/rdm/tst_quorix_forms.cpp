// The USB side's two small windows as an operator meets them: the controller dialog's field
// rules and the port chooser's list.

#include "config_test_util.h"
#include "glw_test.h"
#include "rdm/quorix_config.h"
#include "rdm/form3.h"
#include "rdm/quorix_settings.h"
#include "rdm/usb_tab.h"

#include <QDir>
#include <QFileDialog>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QSlider>

Q_DECLARE_METATYPE(rdm::QuorixEdits)

using namespace configtest;

class TestQuorixForms : public QObject {
    Q_OBJECT

    std::unique_ptr<TQuorixConfig> d;

private slots:
    void init()
    {
        d = std::make_unique<TQuorixConfig>();
        d->load({2, QStringLiteral("Truss"), 300, 22}, true, QStringLiteral("V2.1.5"), 3);
        QVERIFY(showActive(d.get()));
    }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        d.reset();
    }

    void loadShowsTheRecord()
    {
        QCOMPARE(d->windowTitle(), QStringLiteral("Controller 3 Configuration"));
        QCOMPARE(d->Label4->text(), TQuorixConfig::RemoteOnText);
        QCOMPARE(d->ControllerMode->currentText(), QStringLiteral("Dual RGB (22 DMX)"));
        QCOMPARE(d->StartAddress->text(), QStringLiteral("300"));
        QCOMPARE(d->Nickname->text(), QStringLiteral("Truss"));
        QCOMPARE(d->Label5->text(), QStringLiteral("V2.1.5"));
        QCOMPARE(d->trackGamma->value(), 22);
        QCOMPARE(d->txtGamma->text(), QStringLiteral("2.2"));
        QCOMPARE(d->edits(), (rdm::QuorixEdits{2, QStringLiteral("Truss"), 300, 22}));

        // A controller that never answered: no mode, address 0, gamma shown in its shortest form.
        d->load({0, QString(), 0, 10}, false, QStringLiteral("V0.0.0"), 300);
        QCOMPARE(d->windowTitle(), QStringLiteral("Controller 300 Configuration"));
        QCOMPARE(d->ControllerMode->currentIndex(), -1);
        QCOMPARE(d->StartAddress->text(), QStringLiteral("0"));
        QCOMPARE(d->txtGamma->text(), QStringLiteral("1"));
        QCOMPARE(d->Label4->text(), TQuorixConfig::RemoteOffText);
        for (QWidget *w : std::initializer_list<QWidget *>{d->ControllerMode, d->StartAddress, d->Nickname, d->Up, d->Down})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        for (QWidget *w : std::initializer_list<QWidget *>{d->trackGamma, d->txtGamma, d->btnFirmware})
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }

    // A restore compares with what the dialog would show without opening it; both must agree,
    // or a restore would send what the dialog's OK would not (a never-read gamma among them).
    void shownWithoutTheDialog_data()
    {
        QTest::addColumn<rdm::QuorixEdits>("values");
        const QString long40 = QString(40, QLatin1Char('n'));
        QTest::newRow("as reported") << rdm::QuorixEdits{2, QStringLiteral("Truss"), 300, 22};
        QTest::newRow("never answered") << rdm::QuorixEdits{0, QString(), 0, 0};
        QTest::newRow("mode beyond the list") << rdm::QuorixEdits{rdm::ModeCount + 1, QStringLiteral("x"), 12, 10};
        QTest::newRow("gamma above the slider") << rdm::QuorixEdits{3, QString(), 512, 35};
        QTest::newRow("nickname longer than the box") << rdm::QuorixEdits{1, long40, 1, 30};
    }
    void shownWithoutTheDialog()
    {
        QFETCH(rdm::QuorixEdits, values);
        QCOMPARE(d->ControllerMode->count(), rdm::ModeCount);
        d->load(values, true, QStringLiteral("V2.1.5"), 1);
        const rdm::QuorixEdits shown = d->shownEdits();
        QCOMPARE(rdm::shownOf(values), shown);
    }

    void startAddressRules_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("action"); // leave, up, down
        QTest::addColumn<QString>("shown");
        QTest::newRow("dual: 495 left gives 490") << 1 << "495" << "leave" << "490";
        QTest::newRow("single: up at 494 stays") << 0 << "494" << "up" << "494";
        QTest::newRow("single: up at 493") << 0 << "493" << "up" << "494";
        QTest::newRow("individual: 512 kept") << 2 << "512" << "leave" << "512";
        QTest::newRow("individual: 600 left gives 512") << 2 << "600" << "leave" << "512";
        QTest::newRow("no mode: 513 left gives 512") << -1 << "513" << "leave" << "512";
        QTest::newRow("0 left gives 1") << 0 << "0" << "leave" << "1";
        QTest::newRow("text left gives 1") << 0 << "abc" << "leave" << "1";
        QTest::newRow("down at 1 stays") << 0 << "1" << "down" << "1";
        QTest::newRow("down at 2") << 0 << "2" << "down" << "1";
    }
    void startAddressRules()
    {
        QFETCH(int, mode);
        QFETCH(QString, typed);
        QFETCH(QString, action);
        QFETCH(QString, shown);
        d->ControllerMode->setCurrentIndex(mode);
        typeInto(d->StartAddress, typed);
        click(action == QLatin1String("up") ? static_cast<QWidget *>(d->Up)
              : action == QLatin1String("down") ? static_cast<QWidget *>(d->Down)
                                                : static_cast<QWidget *>(d->Nickname));
        QCOMPARE(d->StartAddress->text(), shown);
    }

    void gammaRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("track");
        QTest::newRow("text") << "abc" << "1.0" << 10;
        QTest::newRow("above") << "3.75" << "3.0" << 30;
        QTest::newRow("below") << "0.2" << "1.0" << 10;
        QTest::newRow("in range") << "2.4" << "2.4" << 24;
        QTest::newRow("a half rounds up") << "1.25" << "1.3" << 13;
    }
    void gammaRules()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, track);
        typeInto(d->txtGamma, typed);
        click(d->Nickname);
        QCOMPARE(d->txtGamma->text(), shown);
        QCOMPARE(d->trackGamma->value(), track);
        QCOMPARE(d->edits().gammaTenths, track); // the gamma sent is the one shown
    }

    void gammaTrackAndDecimalComma()
    {
        QLocale::setDefault(QLocale(QLocale::German));
        d->trackGamma->setValue(25);
        QCOMPARE(d->txtGamma->text(), QStringLiteral("2,5"));
        typeInto(d->txtGamma, QStringLiteral("1,7"));
        click(d->Nickname);
        QCOMPARE(d->trackGamma->value(), 17);
    }

    void nicknameStopsAt32()
    {
        typeInto(d->Nickname, QString(40, QLatin1Char('n')));
        QCOMPARE(d->Nickname->text(), QString(32, QLatin1Char('n')));
    }

    void okRunsTheCheckOfTheBoxLeftLast()
    {
        typeInto(d->StartAddress, QStringLiteral("999"));
        QTest::keyClick(d->StartAddress, Qt::Key_Return);
        QCOMPARE(d->edits().startAddress, 490);
        QCOMPARE(d->StartAddress->text(), QStringLiteral("490"));
    }

    // Where "Com1" cannot exist, the one USB serial adapter is the port to start with.
    void startingPort_data()
    {
        using P = TQuorixSettings::SystemPort;
        QTest::addColumn<QList<P>>("ports");
        QTest::addColumn<QString>("start");
        QTest::newRow("no ports") << QList<P>{} << QString();
        QTest::newRow("one adapter") << QList<P>{{"ttyS0", false}, {"ttyUSB0", true}} << "ttyUSB0";
        QTest::newRow("two adapters") << QList<P>{{"ttyUSB0", true}, {"ttyACM0", true}} << QString();
        QTest::newRow("built-in ports only") << QList<P>{{"ttyS0", false}, {"ttyS1", false}} << QString();
        QTest::newRow("COM1 exists") << QList<P>{{"COM1", false}, {"COM4", true}} << QString();
        QTest::newRow("com1 in other case") << QList<P>{{"com1", false}, {"COM4", true}} << QString();
    }
    void startingPort()
    {
        QFETCH(QList<TQuorixSettings::SystemPort>, ports);
        QFETCH(QString, start);
        QCOMPARE(TQuorixSettings::startingPort(ports), start);
    }

    void portChooser()
    {
        qputenv("GLINTWORK_SERIAL_PORTS", "/tmp/virtual-dmx=Virtual DMX line:/dev/pts/77");
        TQuorixSettings s;
        QCOMPARE(s.windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(s.PortsCombo->currentText(), QStringLiteral("Com1"));
        QCOMPARE(s.PortsCombo->itemText(19), QStringLiteral("Com20"));
        // Made at start-up, the chooser does not ask the system for its ports; it does each time it opens.
        QCOMPARE(s.PortsCombo->count(), 20 + 2);
        QCOMPARE(s.PortsCombo->itemText(20), QStringLiteral("/tmp/virtual-dmx (Virtual DMX line)"));
        s.refreshPorts();
        QCOMPARE(s.PortsCombo->currentText(), QStringLiteral("Com1"));
        const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
        QCOMPARE(s.PortsCombo->count(), 20 + system.size() + 2);
        for (int i = 0; i < system.size(); ++i)
            QVERIFY(s.PortsCombo->itemText(20 + i).startsWith(system[i].portName()));
        QCOMPARE(s.PortsCombo->itemText(20 + system.size()), QStringLiteral("/tmp/virtual-dmx (Virtual DMX line)"));

        QSignalSpy chosen(&s, &TQuorixSettings::portChosen);
        QSignalSpy fast(&s, &TQuorixSettings::fastSearchChosen);
        QVERIFY(!s.chkFastSearch->isChecked());
        s.PortsCombo->setCurrentIndex(19);
        s.Ok->click();
        QCOMPARE(chosen.last(), (QVariantList{QStringLiteral("Com20"), QStringLiteral("Using Com 20")}));
        QCOMPARE(fast.last(), QVariantList{false});
        QCOMPARE(s.result(), int(QDialog::Accepted));

        s.PortsCombo->setCurrentIndex(s.PortsCombo->count() - 1);
        s.Ok->click();
        QCOMPARE(chosen.last(), (QVariantList{QStringLiteral("/dev/pts/77"), QStringLiteral("Using /dev/pts/77")}));
        // Listed again, the choice stays.
        s.refreshPorts();
        QCOMPARE(s.portName(), QStringLiteral("/dev/pts/77"));

        s.chkFastSearch->click();
        s.Ok->click();
        QCOMPARE(fast.last(), QVariantList{true});

        QSignalSpy none(&s, &TQuorixSettings::portChosen);
        QSignalSpy noFast(&s, &TQuorixSettings::fastSearchChosen);
        s.chkFastSearch->click();
        s.Cancel->click();
        QCOMPARE(none.size(), 0);
        QCOMPARE(noFast.size(), 0);
        qunsetenv("GLINTWORK_SERIAL_PORTS");
    }

    void browseOffersHexFiles()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("quorix.hex"));
        QFile(file).open(QIODevice::WriteOnly);
        TForm3 form3;
        QStringList filters;
        QString startedIn;
        glwtest::answerModal([&](QWidget *w) {
            auto *chooser = qobject_cast<QFileDialog *>(w);
            if (!chooser)
                return;
            filters = chooser->nameFilters();
            startedIn = chooser->directory().absolutePath();
            chooser->selectFile(file);
            QMetaObject::invokeMethod(chooser, "accept");
        });
        QTest::mouseClick(form3.FileOpenBtn, Qt::LeftButton);
        QCOMPARE(filters, QStringList{QStringLiteral("Firmware Hex File (*.hex)")});
        QCOMPARE(startedIn, QDir::currentPath());
        QCOMPARE(form3.FileDisplay->text(), QDir::toNativeSeparators(file));
    }

    void longPortNameStaysClearOfSettings()
    {
        UsbTab tab;
        const QString path = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        tab.choosePort(path, QStringLiteral("Using ") + path);
        QVERIFY(tab.ComLabel->geometry().right() < tab.Settings->x());
        QVERIFY2(tab.ComLabel->text().startsWith(QStringLiteral("Using /dev/")), qPrintable(tab.ComLabel->text()));
        QCOMPARE(tab.ComLabel->toolTip(), QStringLiteral("Using ") + path);
        tab.choosePort(QStringLiteral("Com20"), QStringLiteral("Using Com 20"));
        QCOMPARE(tab.ComLabel->text(), QStringLiteral("Using Com 20"));
        QCOMPARE(tab.ComLabel->font().pointSize(), 14); // a short name is shown large again
    }

    void textsFit()
    {
        d->load({0, QString(), 0, 10}, false, QStringLiteral("V255.255.255"), 256);
        QCOMPARE(textsThatDoNotFit(d.get()), QStringList());
        TQuorixSettings s;
        QCOMPARE(textsThatDoNotFit(&s), QStringList());
    }
};

QTEST_MAIN(TestQuorixForms)
#include "tst_quorix_forms.moc"
