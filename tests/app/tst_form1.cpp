// The main window: windows and their order, brands, the shared device-count label, the start-up
// reaction to a taken port, and the one place that shows uncaught errors.

#include "app/form1.h"
#include "net/network_link.h"
#include "app/glw_application.h"
#include "sim/rdm/rdm_line_sim.h"
#include "glw_test.h"
#include "net/orvantic.h"
#include "rdm/quorix_config.h"
#include "rdm/quorix_settings.h"
#include "config/tessara_config.h"
#include "rdm/search_progress.h"
#include "net/udp_port.h"
#include "url_catcher.h"
#include "rdm/usb_tab.h"
#include "settings/settings_files.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <QDialog>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QSettings>
#include <QStatusBar>
#include <QUdpSocket>

namespace {

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

tNetworkInterface loopbackAdapter()
{
    tNetworkInterface n;
    n.AddrIP = QStringLiteral("127.0.0.1");
    n.SubnetMask = QStringLiteral("255.0.0.0");
    n.AddrNet = QStringLiteral("127.0.0.0");
    return n;
}

Form1Options testOptions(quint16 port = 0)
{
    Form1Options o;
    o.udpPort = port ? port : freeUdpPort();
    o.interfaces = [](QList<tNetworkInterface> &out) {
        tNetworkInterface second = loopbackAdapter();
        second.AddrIP = QStringLiteral("127.0.0.2");
        out = {loopbackAdapter(), second};
        return true;
    };
    return o;
}

// Rows as a search leaves them, without a search: replies handed straight to the network tab, and
// records drawn into the USB table.
void fillNetworkTable(TForm1 &form, int rows)
{
    for (int i = 1; i <= rows; ++i) {
        TTessaraCtrl c;
        c.CurrentIP = {127, 0, 0, quint8(10 + i)};
        c.CurrentSM = {255, 0, 0, 0};
        net::tessara::setFixedText(c.Firmware, QStringLiteral("V1.4.5"));
        form.NetLink->IdUDPServer1UDPRead(net::orvantic::buildPollReply(c, QStringLiteral("Tessara 16")));
    }
}

void fillUsbTable(TForm1 &form, int rows)
{
    QList<TQuorixCtrl> found;
    for (int i = 1; i <= rows; ++i) {
        TQuorixCtrl c;
        c.setDeviceId(quint32(i));
        c.RM = 1;
        found << c;
    }
    form.USBDevices->Link->VControllers = found;
    form.USBDevices->UpdateTable();
}

QStringList g_errors;
void captureError(const QString &text)
{
    g_errors << text;
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
    QTemporaryDir m_settings;

private slots:
    void initTestCase()
    {
        // Remembered options go to a folder of the test's own, never the user's.
        QVERIFY(m_settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
        QCoreApplication::setOrganizationName(QStringLiteral("GlintworkTest"));
        QCoreApplication::setApplicationName(QStringLiteral("Glintwork"));
    }

    // Fast search is off at first; ticked and confirmed, it is on, and still on in the next run.
    void fastSearchIsRemembered()
    {
        bool shownTicked = true;
        const auto tickAndConfirm = [&](bool tick, bool ok) {
            glwtest::answerModal([&, tick, ok](QWidget *w) {
                auto *s = qobject_cast<TQuorixSettings *>(w);
                if (!s)
                    return;
                shownTicked = s->chkFastSearch->isChecked();
                s->chkFastSearch->setChecked(tick);
                (ok ? s->Ok : s->Cancel)->click();
            });
        };
        {
            TForm1 form(0, testOptions());
            QVERIFY(!form.USBDevices->fastSearch());
            tickAndConfirm(true, true);
            form.USBDevices->Settings->click();
            QVERIFY(!shownTicked);
            QVERIFY(form.USBDevices->fastSearch());
            QVERIFY(form.USBDevices->Link->Session.fastSearch);
            tickAndConfirm(false, false); // Cancel changes nothing
            form.USBDevices->Settings->click();
            QVERIFY(shownTicked);
            QVERIFY(form.USBDevices->fastSearch());
        }
        TForm1 next(0, testOptions());
        QVERIFY(next.USBDevices->Link->Session.fastSearch);
        tickAndConfirm(false, true);
        next.USBDevices->Settings->click();
        QVERIFY(shownTicked);
        QVERIFY(!next.USBDevices->fastSearch());
        QVERIFY(!TForm1(0, testOptions()).USBDevices->fastSearch());
    }
    void windowsAreCreatedInOrder()
    {
        TForm1 form(0, testOptions());
        QStringList order;
        for (QObject *child : form.children())
            if (auto *dialog = qobject_cast<QDialog *>(child))
                order << dialog->objectName() + QLatin1Char('=') + dialog->windowTitle();
        QCOMPARE(order, (QStringList{"QuorixSettings=Settings", "QuorixConfig=Quorix Configuration",
                                     "TessaraConfig=Tessara Configuration", "Form3=Quorix Firmware ",
                                     "TessaraAdv=Advanced String Configuration", "TCPFirmware=Tessara Firmware ",
                                     "AboutWin=About", "TessaraAdvRGB=RGB Order", "AboutWinHVN=About",
                                     "AboutWinQLN=About"}));
        QCOMPARE(form.size(), QSize(741, 553));
        QCOMPARE(form.minimumSize(), form.maximumSize());
    }

    // Tests and screen readers find every control a person can operate by its names.
    void everyControlIsNamed()
    {
        TForm1 form(0, testOptions());
        QList<QWidget *> windows{&form};
        for (QObject *child : form.children())
            if (auto *dialog = qobject_cast<QDialog *>(child))
                windows << dialog;
        QStringList unnamed;
        for (QWidget *window : windows) {
            // As the window is once opened: some build their content only then.
            window->show();
            window->hide();
            for (QWidget *w : window->findChildren<QWidget *>()) {
                const bool operable = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
                    || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSpinBox *>(w)
                    || qobject_cast<QAbstractSlider *>(w) || qobject_cast<QAbstractScrollArea *>(w);
                if (!operable || w->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                bool inner = false; // parts of a composite control (a table's scroll bars, a box's editor)
                for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
                    inner = inner || qobject_cast<QAbstractScrollArea *>(p) || qobject_cast<QComboBox *>(p)
                        || qobject_cast<QAbstractSpinBox *>(p);
                if (!inner && (w->objectName().isEmpty() || w->accessibleName().isEmpty()))
                    unnamed << window->objectName() + QLatin1Char('/') + w->metaObject()->className() + QLatin1Char(' ')
                            + w->objectName();
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1String(", "))));
    }

    void brands_data()
    {
        QTest::addColumn<int>("brand");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("logo");
        QTest::addColumn<bool>("usbAndHelp");
        QTest::addColumn<QString>("about");
        QTest::newRow("0") << 0 << "Orvanta Glintwork - V2.2.0" << "Image1" << true << "AboutWin";
        QTest::newRow("1") << 1 << "Halvane Corvel 16 Utility - V2.2.0" << "Image2" << false << "AboutWinHVN";
        QTest::newRow("2") << 2 << "Quillon Toolkit - V2.2.0" << "Image3" << false << "AboutWinQLN";
    }
    void brands()
    {
        QFETCH(int, brand);
        QFETCH(QString, title);
        QFETCH(QString, logo);
        QFETCH(bool, usbAndHelp);
        QFETCH(QString, about);

        TForm1 form(quint8(brand), testOptions());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), title);
        for (const char *image : {"Image1", "Image2", "Image3"}) {
            const auto *label = form.findChild<QLabel *>(QLatin1String(image));
            QCOMPARE(label->isVisible(), logo == QLatin1String(image));
            // Only the brand's own logo is drawn.
            QCOMPARE(!label->pixmap().isNull(), logo == QLatin1String(image));
        }
        QCOMPARE(form.tabControl1->isTabVisible(TForm1::UsbTabIndex), usbAndHelp);
        QCOMPARE(form.tabControl1->currentIndex(), int(TForm1::NetworkTabIndex));
        QCOMPARE(form.findChild<QPushButton *>("btnHelp")->isVisible(), usbAndHelp);
        QCOMPARE(form.DevicesLabel->text(), QStringLiteral("Found 0 Device(s)"));

        QString opened;
        glwtest::answerModal([&](QWidget *w) {
            opened = w->objectName();
            w->findChild<QPushButton *>("btnClose")->click();
        });
        form.About->click();
        QCOMPARE(opened, about);
    }

    void deviceLabelFollowsTheTableThatChanged()
    {
        TForm1 form(0, testOptions());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto reply = [](int octet) {
            TTessaraCtrl c;
            c.CurrentIP = {10, 0, 0, quint8(octet)};
            return net::orvantic::buildPollReply(c, QStringLiteral("Tessara 16"));
        };
        form.NetLink->IdUDPServer1UDPRead(reply(1));
        form.NetLink->IdUDPServer1UDPRead(reply(2));
        QCOMPARE(form.DevicesLabel->text(), QStringLiteral("Found 2 Device(s)"));

        form.tabControl1->setCurrentIndex(TForm1::UsbTabIndex);
        QCOMPARE(form.DevicesLabel->text(), QStringLiteral("Found 0 Device(s)"));
        // A reply while the USB tab is in front shows the network table's count.
        form.NetLink->IdUDPServer1UDPRead(reply(3));
        QCOMPARE(form.DevicesLabel->text(), QStringLiteral("Found 3 Device(s)"));
        form.tabControl1->setCurrentIndex(TForm1::NetworkTabIndex);
        QCOMPARE(form.DevicesLabel->text(), QStringLiteral("Found 3 Device(s)"));
        form.NetworkDevices->btnRefresh->click();
        QCOMPARE(form.DevicesLabel->text(), QStringLiteral("Found 0 Device(s)"));
    }

    // An operator with the keyboard alone: Search has the focus first, Tab goes round the window in
    // the order the controls are used and leaves a filled table, and Shift+Tab goes back.
    void tabGoesRoundTheWindow()
    {
        TForm1 form(0, testOptions());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        NetworkTab *net = form.NetworkDevices;
        UsbTab *usb = form.USBDevices;
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(net->Net_Search));
        fillNetworkTable(form, 2);
        fillUsbTable(form, 2);

        const auto walk = [](const QList<QWidget *> &expected, Qt::Key key) {
            for (QWidget *next : expected) {
                QTest::keyClick(QApplication::focusWidget(), key);
                QCOMPARE(QApplication::focusWidget(), next);
            }
        };
        QWidget *tabs = form.tabControl1->tabBar();
        walk({form.Files->netFiles, net->comboNetAdapter, net->btnRefresh, net->btnHelp, form.About, net->Network_Grid, tabs, net->Net_Search},
             Qt::Key_Tab);
        net->Network_Grid->setFocus();
        walk({form.About}, Qt::Key_Backtab);

        form.tabControl1->setCurrentIndex(TForm1::UsbTabIndex);
        tabs->setFocus();
        walk({usb->USB_Search, form.Files->usbFiles, usb->Settings, form.About, usb->USB_Grid, tabs}, Qt::Key_Tab);
        usb->USB_Grid->setFocus();
        walk({form.About}, Qt::Key_Backtab);
    }

    // Return or Enter on a row does what a double-click does, on both tabs; whichever way the
    // dialog closes (a message box shown and the dialog closed in one step, as after "Update Sent"
    // and "Firmware Upgrade Complete!"), the table has the focus again.
    void returnOnARowOpensItAndTheFocusComesBack_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("boxThenClose");
        QTest::newRow("network, Return, Cancel") << int(TForm1::NetworkTabIndex) << int(Qt::Key_Return) << false;
        QTest::newRow("network, Enter, box then close") << int(TForm1::NetworkTabIndex) << int(Qt::Key_Enter) << true;
        QTest::newRow("USB, Return, Cancel") << int(TForm1::UsbTabIndex) << int(Qt::Key_Return) << false;
        QTest::newRow("USB, Enter, box then close") << int(TForm1::UsbTabIndex) << int(Qt::Key_Enter) << true;
    }
    void returnOnARowOpensItAndTheFocusComesBack()
    {
        QFETCH(int, tab);
        QFETCH(int, key);
        QFETCH(bool, boxThenClose);
        TForm1 form(0, testOptions());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        fillNetworkTable(form, 3);
        fillUsbTable(form, 3);
        form.tabControl1->setCurrentIndex(tab);
        QTableView *grid = tab == TForm1::UsbTabIndex ? form.USBDevices->USB_Grid : form.NetworkDevices->Network_Grid;
        QWidget *expected = tab == TForm1::UsbTabIndex ? static_cast<QWidget *>(form.QuorixConfig)
                                                       : static_cast<QWidget *>(form.TessaraConfig);
        // To the table with Tab (from About, the control before it), then down to the second row.
        form.About->setFocus();
        QTest::keyClick(form.About, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QTest::keyClick(grid, Qt::Key_Down);

        QWidget *opened = nullptr;
        glwtest::answerModal([&](QWidget *w) {
            opened = w;
            if (!boxThenClose) {
                QTest::keyClick(w, Qt::Key_Escape);
                return;
            }
            glwtest::answerModalOf<QMessageBox>([](QMessageBox *box) { box->accept(); });
            QMessageBox::information(w, w->windowTitle(), QStringLiteral("Update Sent"));
            static_cast<QDialog *>(w)->reject();
        });
        QTest::keyClick(grid, Qt::Key(key));
        QCOMPARE(opened, expected);
        QCOMPARE(grid->selectionModel()->selectedRows().value(0).row(), 1);
        if (tab == TForm1::UsbTabIndex)
            QCOMPARE(form.USBDevices->Link->CurrentController, 1);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QVERIFY(form.isActiveWindow());
    }

    // The whole errand with the keyboard alone, on both tabs: to the table, open a row, go to the
    // nickname, change it, on to OK and press it. The record takes the new nickname.
    void keyboardAloneChangesANickname_data()
    {
        QTest::addColumn<int>("tab");
        QTest::newRow("network") << int(TForm1::NetworkTabIndex);
        QTest::newRow("USB") << int(TForm1::UsbTabIndex);
    }
    void keyboardAloneChangesANickname()
    {
        QFETCH(int, tab);
        const bool usb = tab == TForm1::UsbTabIndex;
        GlwApplication::setErrorSink(captureError);
        g_errors.clear();
        TForm1 form(0, testOptions());
        // The USB set message goes to a virtual controller: a value is kept once it went out.
        QList<VirtualQuorix> controllers{makeVirtualQuorix(1, 0), makeVirtualQuorix(2, 1)};
        RdmLineSim line(controllers);
        QString lineError;
        QVERIFY2(line.start(&lineError), qPrintable(lineError));
        form.USBDevices->setPortName(line.slavePath());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        fillNetworkTable(form, 2);
        fillUsbTable(form, 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab); // Search: back to the tabs
        if (usb)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QCOMPARE(form.tabControl1->currentIndex(), tab);
        QTableView *grid = usb ? form.USBDevices->USB_Grid : form.NetworkDevices->Network_Grid;
        // Presses `key` until `target` has the focus; false when it never does.
        const auto pressUntil = [](QWidget *target, Qt::Key key = Qt::Key_Tab) {
            for (int i = 0; i < 80 && QApplication::focusWidget() != target; ++i)
                QTest::keyClick(QApplication::focusWidget(), key);
            return QApplication::focusWidget() == target;
        };
        QVERIFY(pressUntil(grid));

        bool done = false;
        glwtest::answerModal([&](QWidget *dialog) {
            // A step that cannot be made closes the dialog, so the test fails instead of waiting
            // for ever on a dialog nobody answers.
            const auto giveUp = [&] { qobject_cast<QDialog *>(dialog)->reject(); };
            // Shown is not yet active: until then the keys would go to the main window. (The
            // offscreen platform's "active" wait settles for exposed, so ask the application.)
            if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }))
                return giveUp();
            QLineEdit *nickname = usb ? form.QuorixConfig->Nickname : form.TessaraConfig->txtNickname;
            QWidget *ok = usb ? static_cast<QWidget *>(form.QuorixConfig->Button1)
                              : static_cast<QWidget *>(form.TessaraConfig->btnOK);
            if (!usb) { // the nickname is on the Misc tab: to the tab bar, then along it
                QTabWidget *tabs = form.TessaraConfig->TabControl1;
                if (!pressUntil(tabs->tabBar()))
                    return giveUp();
                for (int i = 0; i < 4 && tabs->currentWidget() != form.TessaraConfig->tabMisc; ++i)
                    QTest::keyClick(tabs->tabBar(), Qt::Key_Right);
            }
            if (!pressUntil(nickname))
                return giveUp();
            QTest::keyClick(nickname, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(nickname, QStringLiteral("Keys"));
            if (!pressUntil(ok))
                return giveUp();
            QTest::keyClick(ok, Qt::Key_Space);
            done = !dialog->isVisible();
        });
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(done);
        if (usb) {
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(form.USBDevices->Link->VControllers[0].LBL.data()), 4),
                     QByteArray("Keys"));
            QTRY_COMPARE(QByteArray(reinterpret_cast<const char *>(line.controllers()[0].rec.LBL.data()), 4),
                         QByteArray("Keys"));
            QCOMPARE(g_errors, QStringList());
        }
        else
            QCOMPARE(net::tessara::fixedText(form.NetLink->controller(0).Nickname), QStringLiteral("Keys"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        GlwApplication::setErrorSink(nullptr);
    }

    // Each tab's status line shows its text whole: inside its page and clear of the table.
    void statusLinesFitTheirPages()
    {
        TForm1 form(0, testOptions());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const std::tuple<int, QTableView *, QStatusBar *> tabs[] = {
            {TForm1::UsbTabIndex, form.USBDevices->USB_Grid, form.USBDevices->StatusBar1},
            {TForm1::NetworkTabIndex, form.NetworkDevices->Network_Grid, form.NetworkDevices->StatusBar2}};
        for (const auto &[index, grid, bar] : tabs) {
            form.tabControl1->setCurrentIndex(index); // a page is laid out when it is shown
            bar->showMessage(QStringLiteral("Reading 12 of 40 (device information)"));
            QVERIFY(bar->isVisible());
            QVERIFY(bar->parentWidget()->rect().contains(bar->geometry()));
            QVERIFY(bar->height() >= bar->fontMetrics().height());
            QCOMPARE(grid->geometry().topLeft(), QPoint(4, 56));
            QVERIFY(grid->geometry().bottom() < bar->geometry().top());
        }
    }

    void takenPortStillOpensTheWindowAndSaysWhy()
    {
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
        TForm1 form(0, testOptions(squatter.localPort()));
        QString shown;
        glwtest::answerModal([&](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                shown = box->text();
                box->accept();
            }
        });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(!shown.isEmpty());
        QVERIFY2(shown.contains(QString::number(squatter.localPort())), qPrintable(shown));
        QVERIFY(shown.contains(QStringLiteral("USB devices can be used")));
        QVERIFY(!form.NetLink->isBound());
        QVERIFY(form.USBDevices->USB_Search->isEnabled());
    }

    // The operator picks an adapter whose port another program holds: the reason is shown, the
    // window goes on, and a later pick that can bind works again.
    void failedAdapterPickIsShown()
    {
        g_errors.clear();
        GlwApplication::setErrorSink(captureError);
        const Form1Options options = testOptions();
        TForm1 form(0, options);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress(QStringLiteral("127.0.0.2")), options.udpPort,
                              QAbstractSocket::DontShareAddress));
        QComboBox *combo = form.NetworkDevices->comboNetAdapter;
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentText(), QStringLiteral("127.0.0.2"));
        QCOMPARE(g_errors.size(), 1);
        QVERIFY2(g_errors.first().contains(QStringLiteral("127.0.0.2")), qPrintable(g_errors.first()));
        QVERIFY(!form.NetLink->isBound());

        QTest::keyClick(combo, Qt::Key_Up);
        GlwApplication::setErrorSink(nullptr);
        QCOMPARE(g_errors.size(), 1);
        QCOMPARE(form.NetLink->localAddress(), QHostAddress(QHostAddress::LocalHost));
    }

    // A screen reader reads a state label's text, never a fixed name in its place.
    void stateLabelsAreReadAsTheyRead()
    {
        TForm1 form(0, testOptions());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int octet : {1, 2}) {
            TTessaraCtrl c;
            c.CurrentIP = {10, 0, 0, quint8(octet)};
            form.NetLink->IdUDPServer1UDPRead(net::orvantic::buildPollReply(c, QStringLiteral("Tessara 16")));
        }
        form.findChild<QLabel *>("ComLabel")->setText(QStringLiteral("Using Com 20"));
        const QMap<QString, QString> expected{{"DevicesLabel", "Found 2 Device(s)"},
                                              {"ComLabel", "Using Com 20"},
                                              {"lblStatus", "Please wait, updating firmware..."}};
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            auto *label = form.findChild<QLabel *>(it.key());
            QVERIFY2(label, qPrintable(it.key()));
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(label);
            QVERIFY(a);
            QCOMPARE(a->text(QAccessible::Name), it.value());
        }

        // The USB search's progress line is read as it reads, and says nothing once the search ends.
        auto *status = form.findChild<QStatusBar *>("StatusBar1");
        QVERIFY(status);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(status);
        QVERIFY(a);
        rdm::SearchProgress progress;
        progress.found = 3;
        status->showMessage(rdm::searchProgressText(progress)); // as the search reports it
        QCOMPARE(a->text(QAccessible::Name), rdm::searchProgressText(progress));
        QCOMPARE(a->text(QAccessible::Description), QStringLiteral("USB status"));
        status->clearMessage();
        QCOMPARE(a->text(QAccessible::Name), QString());
    }

    // The platform appends a display name to every window title; each title must be its caption.
    void titlesCarryNoApplicationName()
    {
        GlwApplication::setIdentity(QStringLiteral("Orvanta Glintwork - V2.2.0"));
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        // Without a display name of its own the application reports its plain name.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
        QCoreApplication::setApplicationName(name);
        QCOMPARE(GlwApplication::title(), QStringLiteral("Orvanta Glintwork - V2.2.0"));
    }

    // Help hands the guide to the desktop; a failure reaches the operator as an error, not silence.
    void helpOpensTheGuideOrSaysWhyNot()
    {
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        const QString guide = QDir(temp.path()).filePath(QStringLiteral("Tessara Configuration Guide.pdf"));
        UrlCatcher desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
        g_errors.clear();
        GlwApplication::setErrorSink(captureError);
        TForm1 form(0, testOptions());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QTest::mouseClick(form.NetworkDevices->btnHelp, Qt::LeftButton);
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(guide)});
        QVERIFY(QFileInfo(guide).size() > 0);

        QVERIFY(QFile::remove(guide));
        QVERIFY(QFile::link(temp.filePath(QStringLiteral("elsewhere")), guide));
        QTest::mouseClick(form.NetworkDevices->btnHelp, Qt::LeftButton);
        GlwApplication::setErrorSink(nullptr);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(desktop.opened.size(), 1);
        QCOMPARE(g_errors.size(), 1);
        QVERIFY2(g_errors.first().contains(QStringLiteral("link")), qPrintable(g_errors.first()));
    }

    // A failure a window hands on is shown in a box under the brand's title, with the failure's
    // own text, and the event loop goes on: the same button works again.
    void failureIsShownAndTheLoopGoesOn()
    {
        GlwApplication::setIdentity(QStringLiteral("Orvanta Glintwork - V2.2.0"));
        QPushButton button;
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, [&] {
            ++clicks;
            showFailure(Failure{QStringLiteral("Network is unreachable"), QStringLiteral("Network is unreachable")});
        });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QStringList shown;
        for (int press = 0; press < 2; ++press) {
            glwtest::answerModalOf<QMessageBox>([&](QMessageBox *box) {
                shown << box->windowTitle() + QLatin1Char('|') + box->text();
                box->accept();
            });
            QTest::mouseClick(&button, Qt::LeftButton);
        }
        QCOMPARE(clicks, 2);
        QCOMPARE(shown, QStringList(2, QStringLiteral("Orvanta Glintwork - V2.2.0|Network is unreachable")));
    }
};

int main(int argc, char *argv[])
{
    GlwApplication app(argc, argv);
    TestForm1 test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_form1.moc"
