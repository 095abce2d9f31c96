// The configuration dialog as an operator meets it: typing, leaving boxes, steppers, switches and
// the two "Advanced" dialogs.

#include "config_test_util.h"
#include "glw_test.h"
#include "config/tessara_adv.h"
#include "config/tessara_adv_rgb.h"
#include "config/tessara_config.h"

#include <QAccessible>
#include <QClipboard>
#include <QMessageBox>
#include <QSlider>

using namespace configtest;

class TestTessaraConfig : public QObject {
    Q_OBJECT

    std::unique_ptr<TTessaraConfig> d;
    std::unique_ptr<TTessaraAdv> adv;
    std::unique_ptr<TTessaraAdvRGB> rgb;

    template <class W = QWidget>
    W *control(const char *name)
    {
        W *w = d->findChild<W *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }

private slots:
    void init()
    {
        d = std::make_unique<TTessaraConfig>();
        adv = std::make_unique<TTessaraAdv>();
        rgb = std::make_unique<TTessaraAdvRGB>();
        d->setSubDialogs(adv.get(), rgb.get());
        QVERIFY(showActive(d.get()));
    }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        d.reset();
        adv.reset();
        rgb.reset();
    }

    // Labels showing the controller's state are read by what they show, never by a fixed name.
    void stateLabelsAreReadByTheirText()
    {
        for (const char *name : {"lblFirmware", "lblVolt1", "lblVolt2", "lblTempF"}) {
            auto *l = control<QLabel>(name);
            l->setText(QStringLiteral("12.4V"));
            QCOMPARE(QAccessible::queryAccessibleInterface(l)->text(QAccessible::Name), QStringLiteral("12.4V"));
        }
    }

    void formDefaults()
    {
        QCOMPARE(d->windowTitle(), QStringLiteral("Tessara Configuration"));
        QCOMPARE(d->size(), QSize(404, 359));
        QCOMPARE(d->TabControl1->currentIndex(), int(TTessaraConfig::MiscTab));
        QCOMPARE(d->TabControl1->tabText(0), QStringLiteral("Network"));
        QCOMPARE(d->TabControl1->tabText(3), QStringLiteral("Misc"));
        for (const char *zero : {"txtStartUniv", "txtStartChan", "txtNodes", "txtOut1", "txtOut4", "txtGammaRed"})
            QCOMPARE(control<QLineEdit>(zero)->text(), QStringLiteral("0"));
        QVERIFY(control<QLineEdit>("txtFan")->text().isEmpty());
        QVERIFY(control<QLineEdit>("IP1")->text().isEmpty());
        QVERIFY(control<QRadioButton>("radioSACN")->isChecked());
        QVERIFY(!control<QRadioButton>("radioDHCP")->isChecked() && !control<QRadioButton>("radioStatic")->isChecked());
        QCOMPARE(d->trackGammaRed->value(), 10);
        QCOMPARE(control<QLabel>("lblSpeed")->text(), QStringLiteral("Sp"));
        QCOMPARE(control<QLabel>("lblFirmware")->text(), QStringLiteral("V0.0.0"));
        QCOMPARE(control<QComboBox>("comboRGB")->currentIndex(), -1);
        QCOMPARE(control<QComboBox>("comboChip")->count(), 0);
    }

    void textsFit()
    {
        const QStringList bad = textsThatDoNotFit(d.get());
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1String("; "))));
    }

    // Each box's rule as the box is left, whichever way it is left.
    void exitRules_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("leaveBy");
        QTest::addColumn<QString>("expected");
        QTest::newRow("universe text, tab") << "txtStartUniv" << "abc" << "tab" << "1";
        QTest::newRow("universe 0, click box") << "txtStartUniv" << "0" << "txtNodes" << "1";
        QTest::newRow("universe 64000, check box") << "txtStartUniv" << "64000" << "checkAdv" << "63999";
        QTest::newRow("universe 0099 stays") << "txtStartUniv" << "0099" << "tab" << "0099";
        QTest::newRow("channel 2") << "txtStartChan" << "2" << "tab" << "1";
        QTest::newRow("channel 3") << "txtStartChan" << "3" << "txtNodes" << "4";
        QTest::newRow("channel 508 stays") << "txtStartChan" << "508" << "tab" << "508";
        QTest::newRow("channel 510, radio") << "txtStartChan" << "510" << "radioArtNet" << "508";
        QTest::newRow("channel 600") << "txtStartChan" << "600" << "tab" << "508";
        QTest::newRow("channel -5") << "txtStartChan" << "-5" << "tab" << "1";
        QTest::newRow("pixels 341 with Bank 2") << "txtNodes" << "341" << "tab" << "340";
        QTest::newRow("pixels text") << "txtNodes" << "many" << "tab" << "1";
        QTest::newRow("DMX universe 0") << "txtOut3" << "0" << "tab" << "1";
        QTest::newRow("DMX universe 70000, other stepper") << "txtOut4" << "70000" << "btnOut1Up" << "63999";
        QTest::newRow("octet 256") << "IP2" << "256" << "tab" << "255";
        QTest::newRow("octet -1") << "SM4" << "-1" << "IP1" << "0";
        QTest::newRow("octet text") << "IP4" << "x" << "tab" << "0";
        QTest::newRow("octet empty") << "SM1" << "" << "tab" << "0";
        QTest::newRow("octet 10 stays") << "IP1" << "10" << "radioDHCP" << "10";
        QTest::newRow("fan 5") << "txtFan" << "5" << "tab" << "10";
        QTest::newRow("fan 61") << "txtFan" << "61" << "txtNickname" << "60";
        QTest::newRow("fan text") << "txtFan" << "warm" << "tab" << "10";
        QTest::newRow("gamma 0.5") << "txtGammaRed" << "0.5" << "tab" << "1.0";
        QTest::newRow("gamma 3.7") << "txtGammaGreen" << "3.7" << "tab" << "3.0";
        QTest::newRow("gamma 2.34") << "txtGammaBlue" << "2.34" << "switchLockSliders" << "2.3";
        QTest::newRow("gamma text") << "txtGammaRed" << "abc" << "tab" << "1.0";
        QTest::newRow("gamma 2, other tab") << "txtGammaRed" << "2" << "tabMisc" << "2.0";
    }
    void exitRules()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, leaveBy);
        QFETCH(QString, expected);
        auto *edit = control<QLineEdit>(qPrintable(box));
        typeInto(edit, typed);
        QCOMPARE(edit->text(), typed); // nothing happens while the operator types
        if (leaveBy == QLatin1String("tab"))
            QTest::keyClick(edit, Qt::Key_Tab);
        else if (leaveBy.startsWith(QLatin1String("tab")))
            d->TabControl1->setCurrentWidget(control(qPrintable(leaveBy)));
        else
            click(control(qPrintable(leaveBy)));
        QVERIFY(!edit->hasFocus());
        QCOMPARE(edit->text(), expected);
    }

    // A context menu (to paste, say) or a switch to another program does not leave the box.
    void focusLostWithoutLeaving()
    {
        typeInto(d->txtStartUniv, QString());
        for (Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
            QFocusEvent out(QEvent::FocusOut, reason);
            QApplication::sendEvent(d->txtStartUniv, &out);
            QCOMPARE(d->txtStartUniv->text(), QString());
        }
        QTest::keyClick(d->txtStartUniv, Qt::Key_Tab);
        QCOMPARE(d->txtStartUniv->text(), QStringLiteral("1"));
    }

    void fanLabelFollowsTheBox()
    {
        const std::pair<QString, QString> cases[] = {{"5", "50 °F"}, {"61", "140 °F"}, {"13", "55 °F"}, {"x", "50 °F"}};
        for (const auto &[typed, label] : cases) {
            typeInto(d->txtFan, typed);
            QTest::keyClick(d->txtFan, Qt::Key_Tab);
            QCOMPARE(d->lblTempF->text(), label);
        }
        // The steppers refresh the label even when they change nothing.
        d->txtFan->setText(QStringLiteral("60"));
        d->lblTempF->setText(QString());
        click(d->btnFanUp);
        QCOMPARE(d->txtFan->text(), QStringLiteral("60"));
        QCOMPARE(d->lblTempF->text(), QStringLiteral("140 °F"));
        d->txtFan->setText(QStringLiteral("10"));
        click(d->btnFanDown);
        QCOMPARE(d->lblTempF->text(), QStringLiteral("50 °F"));
        click(d->btnFanUp);
        QCOMPARE(d->txtFan->text(), QStringLiteral("11"));
        QCOMPARE(d->lblTempF->text(), QStringLiteral("52 °F"));
    }

    // A stepper works on what the box holds; a box being typed in is checked first.
    void steppers_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("chan up 505") << "txtStartChan" << "btnChanUp" << "505" << false << "508";
        QTest::newRow("chan up 506") << "txtStartChan" << "btnChanUp" << "506" << false << "506";
        QTest::newRow("chan up 508") << "txtStartChan" << "btnChanUp" << "508" << false << "508";
        QTest::newRow("chan down 4") << "txtStartChan" << "btnChanDown" << "4" << false << "1";
        QTest::newRow("chan down 3") << "txtStartChan" << "btnChanDown" << "3" << false << "3";
        QTest::newRow("chan down 2") << "txtStartChan" << "btnChanDown" << "2" << false << "2";
        QTest::newRow("chan up 2 does not snap") << "txtStartChan" << "btnChanUp" << "2" << false << "5";
        QTest::newRow("chan 2 typed, then up") << "txtStartChan" << "btnChanUp" << "2" << true << "4";
        QTest::newRow("univ text up") << "txtStartUniv" << "btnUnivUp" << "abc" << false << "2";
        QTest::newRow("univ text typed, up") << "txtStartUniv" << "btnUnivUp" << "abc" << true << "2";
        QTest::newRow("univ text down") << "txtStartUniv" << "btnUnivDown" << "abc" << false << "1";
        QTest::newRow("univ 70000 typed, down") << "txtStartUniv" << "btnUnivDown" << "70000" << true << "63998";
        QTest::newRow("univ 70000 set, up") << "txtStartUniv" << "btnUnivUp" << "70000" << false << "70000";
        QTest::newRow("pixels up 340") << "txtNodes" << "btnNodesUp" << "340" << false << "340";
        QTest::newRow("pixels down 1") << "txtNodes" << "btnNodesDown" << "1" << false << "1";
        QTest::newRow("DMX 2 up") << "txtOut2" << "btnOut2Up" << "7" << false << "8";
        QTest::newRow("DMX 3 down 1") << "txtOut3" << "btnOut3Down" << "1" << false << "1";
        QTest::newRow("DMX 4 text up") << "txtOut4" << "btnOut4Up" << "" << false << "2";
        QTest::newRow("fan text up") << "txtFan" << "btnFanUp" << "x" << false << "11";
    }
    void steppers()
    {
        QFETCH(QString, box);
        QFETCH(QString, button);
        QFETCH(QString, before);
        QFETCH(bool, typed);
        QFETCH(QString, after);
        auto *edit = control<QLineEdit>(qPrintable(box));
        if (typed)
            typeInto(edit, before);
        else
            edit->setText(before);
        click(control(qPrintable(button)));
        QCOMPARE(edit->text(), after);
    }

    void pixelMaximumFollowsTheBank2Row()
    {
        d->lblVolt2->hide();
        typeInto(d->txtNodes, QStringLiteral("681"));
        QTest::keyClick(d->txtNodes, Qt::Key_Tab);
        QCOMPARE(d->txtNodes->text(), QStringLiteral("680"));
        d->txtNodes->setText(QStringLiteral("679"));
        click(d->btnNodesUp);
        QCOMPARE(d->txtNodes->text(), QStringLiteral("680"));
        click(d->btnNodesUp);
        QCOMPARE(d->txtNodes->text(), QStringLiteral("680"));
        QCOMPARE(adv->pixelMaximum(), 680);
        d->lblVolt2->show();
        QCOMPARE(adv->pixelMaximum(), 340);
        // The row's own flag counts, not whether the dialog happens to be on screen.
        d->hide();
        QCOMPARE(d->pixelMaximum(), 340);
    }

    void closingResults_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << "btnOK" << 1;
        QTest::newRow("Cancel") << "btnCancel" << 2;
        QTest::newRow("Update Firmware") << "btnFirmware" << 3;
        QTest::newRow("Escape") << "escape" << 2;
        QTest::newRow("window closed") << "close" << 2;
    }
    void closingResults()
    {
        QFETCH(QString, how);
        QFETCH(int, result);
        d->hide();
        glwtest::answerModal([&](QWidget *w) {
            if (how == QLatin1String("escape"))
                QTest::keyClick(w, Qt::Key_Escape);
            else if (how == QLatin1String("close"))
                w->close();
            else {
                if (how == QLatin1String("btnFirmware")) // asks first: Yes
                    glwtest::answerModalOf<QMessageBox>([](QMessageBox *box) { click(box->button(QMessageBox::Yes)); });
                click(w->findChild<QWidget *>(how));
            }
        });
        QCOMPARE(d->exec(), result);
    }

    // "Update Firmware" stops a live controller's lights: it names the controller and asks, and a
    // plain Return (or Space on the default button) answers No and leaves the dialog open.
    void updateFirmwareAsksNamingTheController_data()
    {
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<QString>("named");
        QTest::newRow("nickname") << "Stage left" << "\"Stage left\" (10.77.1.10)";
        QTest::newRow("no nickname") << "" << "the controller at 10.77.1.10";
    }
    void updateFirmwareAsksNamingTheController()
    {
        QFETCH(QString, nickname);
        QFETCH(QString, named);
        TTessaraCtrl record;
        record.CurrentIP = {10, 77, 1, 10};
        net::tessara::setFixedText(record.Nickname, nickname);
        d->setSelectedController([record] { return std::optional<TTessaraCtrl>(record); });
        d->hide();
        QString question;
        bool noIsDefault = false, stillOpen = false;
        glwtest::answerModal([&](QWidget *w) {
            glwtest::answerModalOf<QMessageBox>([&](QMessageBox *box) {
                question = box->text();
                noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
                QTest::keyClick(box, Qt::Key_Return);
            });
            click(d->btnFirmware);
            stillOpen = w->isVisible();
            click(d->btnCancel);
        });
        QCOMPARE(d->exec(), TTessaraConfig::ResultCancel);
        QCOMPARE(question, QStringLiteral("Update the firmware of %1?").arg(named));
        QVERIFY(noIsDefault);
        QVERIFY(stillOpen);
    }

    // OK, Cancel and the keyboard all leave every box holding a checked value.
    void closingChecksTheBoxBeingTyped_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << "btnOK";
        QTest::newRow("Cancel") << "btnCancel";
        QTest::newRow("Escape") << "escape";
    }
    void closingChecksTheBoxBeingTyped()
    {
        QFETCH(QString, how);
        typeInto(d->txtStartUniv, QStringLiteral("abc"));
        QTest::keyClick(d->txtStartUniv, Qt::Key_Return); // Enter neither closes nor presses a button
        QVERIFY(d->isVisible());
        QCOMPARE(d->txtStartUniv->text(), QStringLiteral("abc"));
        if (how == QLatin1String("escape"))
            QTest::keyClick(d->txtStartUniv, Qt::Key_Escape);
        else
            click(control(qPrintable(how)));
        QVERIFY(!d->isVisible());
        QCOMPARE(d->txtStartUniv->text(), QStringLiteral("1"));
    }

    void tabKeptBetweenShowings()
    {
        d->TabControl1->setCurrentIndex(TTessaraConfig::ControlTab);
        click(d->btnCancel);
        QVERIFY(showActive(d.get()));
        QCOMPARE(d->TabControl1->currentIndex(), int(TTessaraConfig::ControlTab));
    }

    void gammaLock()
    {
        // Lock off: only the colour edited moves.
        typeInto(d->txtGammaBlue, QStringLiteral("2.0"));
        QTest::keyClick(d->txtGammaBlue, Qt::Key_Tab);
        QCOMPARE(d->trackGammaBlue->value(), 20);
        QCOMPARE(d->trackGammaRed->value(), 10);
        QCOMPARE(d->txtGammaRed->text(), QStringLiteral("0"));

        // Switching the lock on does not by itself equalise; the next change does.
        click(d->switchLockSliders);
        QVERIFY(d->switchLockSliders->isChecked());
        QCOMPARE(d->trackGammaRed->value(), 10);
        typeInto(d->txtGammaGreen, QStringLiteral("2.6"));
        QTest::keyClick(d->txtGammaGreen, Qt::Key_Tab);
        for (QSlider *t : {d->trackGammaRed, d->trackGammaGreen, d->trackGammaBlue})
            QCOMPARE(t->value(), 26);
        for (QLineEdit *e : {d->txtGammaRed, d->txtGammaGreen, d->txtGammaBlue})
            QCOMPARE(e->text(), QStringLiteral("2.6"));

        // Dragging a track bar (here with the keyboard) moves all three while locked...
        d->trackGammaRed->setFocus();
        QTest::keyClick(d->trackGammaRed, Qt::Key_Left);
        for (QLineEdit *e : {d->txtGammaRed, d->txtGammaGreen, d->txtGammaBlue})
            QCOMPARE(e->text(), QStringLiteral("2.5"));
        // ...and only its own colour when not.
        click(d->switchLockSliders);
        d->trackGammaBlue->setFocus();
        QTest::keyClick(d->trackGammaBlue, Qt::Key_Right);
        QCOMPARE(d->txtGammaBlue->text(), QStringLiteral("2.6"));
        QCOMPARE(d->txtGammaRed->text(), QStringLiteral("2.5"));
        QCOMPARE(d->trackGammaGreen->value(), 25);
        // Set by code, a track bar still updates its box.
        d->trackGammaGreen->setValue(30);
        QCOMPARE(d->txtGammaGreen->text(), QStringLiteral("3.0"));
    }

    void gammaWithDecimalComma()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        typeInto(d->txtGammaRed, QStringLiteral("2,5"));
        QTest::keyClick(d->txtGammaRed, Qt::Key_Tab);
        QCOMPARE(d->txtGammaRed->text(), QStringLiteral("2,5"));
        QCOMPARE(d->trackGammaRed->value(), 25);
        typeInto(d->txtGammaRed, QStringLiteral("2,34"));
        QTest::keyClick(d->txtGammaRed, Qt::Key_Tab);
        QCOMPARE(d->txtGammaRed->text(), QStringLiteral("2,3"));
        typeInto(d->txtGammaRed, QStringLiteral("zwei"));
        QTest::keyClick(d->txtGammaRed, Qt::Key_Tab);
        QCOMPARE(d->txtGammaRed->text(), QStringLiteral("1,0"));
        d->trackGammaGreen->setValue(17);
        QCOMPARE(d->txtGammaGreen->text(), QStringLiteral("1,7"));
    }

    void nicknameLimit()
    {
        typeInto(d->txtNickname, QString(40, QLatin1Char('n')));
        QCOMPARE(d->txtNickname->text().size(), 32);
        QTest::keyClick(d->txtNickname, Qt::Key_Backspace);
        QCOMPARE(d->txtNickname->text().size(), 31);
        QTest::keyClicks(d->txtNickname, QStringLiteral("xyz"));
        QCOMPARE(d->txtNickname->text(), QString(31, QLatin1Char('n')) + QLatin1Char('x'));

        // Pasting cannot go past the limit either.
        typeInto(d->txtNickname, QString(30, QLatin1Char('p')));
        QGuiApplication::clipboard()->setText(QStringLiteral("0123456789"));
        QTest::keyClick(d->txtNickname, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(d->txtNickname->text(), QString(30, QLatin1Char('p')));
        QGuiApplication::clipboard()->setText(QStringLiteral("01"));
        QTest::keyClick(d->txtNickname, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(d->txtNickname->text(), QString(30, QLatin1Char('p')) + QStringLiteral("01"));

        // A longer name a controller already holds is shown whole, refuses more, and can be shortened.
        const QString stored(40, QLatin1Char('s'));
        d->txtNickname->setText(stored);
        QCOMPARE(d->txtNickname->text(), stored);
        QTest::keyClick(d->txtNickname, Qt::Key_End);
        QTest::keyClicks(d->txtNickname, QStringLiteral("t"));
        QCOMPARE(d->txtNickname->text(), stored);
        QTest::keyClick(d->txtNickname, Qt::Key_Backspace);
        QCOMPARE(d->txtNickname->text().size(), 39);
    }

    // The fill sets whatever name the controller holds; pasting afterwards must still be limited,
    // however long that name was and whatever the box held before.
    void nicknamePasteAfterFill_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("afterShortPaste");
        QTest::newRow("shorter") << 20 << 22;
        QTest::newRow("equal") << 32 << 32;
        QTest::newRow("longer") << 40 << 40;
    }
    void nicknamePasteAfterFill()
    {
        QFETCH(int, stored);
        QFETCH(int, afterShortPaste);
        typeInto(d->txtNickname, QStringLiteral("before"));
        const QString name(stored, QLatin1Char('s'));
        d->txtNickname->setText(name);
        QCOMPARE(d->txtNickname->text(), name);
        QTest::keyClick(d->txtNickname, Qt::Key_End);
        QGuiApplication::clipboard()->setText(QString(20, QLatin1Char('p')));
        for (int paste = 0; paste < 2; ++paste) {
            QTest::keyClick(d->txtNickname, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(d->txtNickname->text(), name);
        }
        QGuiApplication::clipboard()->setText(QStringLiteral("pp"));
        QTest::keyClick(d->txtNickname, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(d->txtNickname->text().size(), afterShortPaste);
        // Shortening a long stored name still works, and it cannot grow again past the new length.
        QTest::keyClick(d->txtNickname, Qt::Key_Backspace);
        QCOMPARE(d->txtNickname->text().size(), afterShortPaste - 1);
        QGuiApplication::clipboard()->setText(QStringLiteral("ppp"));
        QTest::keyClick(d->txtNickname, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(d->txtNickname->text().size(), afterShortPaste - 1 + (afterShortPaste - 1 + 3 <= 32 ? 3 : 0));
    }

    void advancedMappingSwitch()
    {
        const QList<QWidget *> simple{d->txtStartUniv, d->txtStartChan, d->txtNodes,  d->btnUnivUp,   d->btnUnivDown,
                                      d->btnChanUp,    d->btnChanDown,  d->btnNodesUp, d->btnNodesDown};
        click(d->checkAdv);
        QVERIFY(d->btnAdvanced->isEnabled());
        for (QWidget *w : simple)
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        click(d->checkAdv);
        QVERIFY(!d->btnAdvanced->isEnabled());
        for (QWidget *w : simple)
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }

    void colourOrderSwitch()
    {
        click(d->checkAdvRGB);
        QVERIFY(d->btnAdvancedRGB->isEnabled());
        QVERIFY(!d->comboRGB->isEnabled());
        click(d->checkAdvRGB);
        QVERIFY(!d->btnAdvancedRGB->isEnabled());
        QVERIFY(d->comboRGB->isEnabled());
    }

    void protocolSwitchesDmxOutputs()
    {
        click(d->radioArtNet);
        QVERIFY(!d->gboxDMX->isEnabled());
        click(d->radioSACN);
        QVERIFY(d->gboxDMX->isEnabled());
    }

    void speedChoice()
    {
        d->comboChip->addItems({"TLS3001", "SM16716", "WS2801", "LPD6803", "WS2811/12", "MBI6020", "TM1803", "TM1804",
                                "TM1809", "Stella", "APA102"});
        for (const QString &caption : {QStringLiteral("Speed:"), QStringLiteral("Sp")}) {
            d->lblSpeed->setText(caption);
            for (int chip = 0; chip < d->comboChip->count(); ++chip) {
                d->comboChip->setCurrentIndex(chip);
                const bool shown = caption == QLatin1String("Speed:") && (chip == 4 || chip == 7);
                for (QWidget *w : std::initializer_list<QWidget *>{d->lblSpeed, d->radioSlow, d->radioFast})
                    QCOMPARE(!w->isHidden(), shown);
            }
        }
    }

    void advancedCancelReloadsFromTheRecord()
    {
        TTessaraCtrl record;
        for (int i = 0; i < 16; ++i) {
            record.AdvUniv[i] = quint16(10 + i);
            record.AdvChan[i] = 4;
            record.NumNodes[i] = quint16(50 + i);
            record.AdvNull[i] = 1;
            record.AdvZig[i] = 5;
            record.AdvReverse[i] = i % 2;
            record.Grouping[i] = 9; // not shown: the firmware below has no grouping
            record.Brightness[i] = 40;
            record.AdvRgbOrder[i] = quint8(i % 6);
        }
        record.AdvRgbOrder[15] = 9; // no such order
        int lookups = 0;
        d->setSelectedController([&]() -> std::optional<TTessaraCtrl> {
            ++lookups;
            return record;
        });
        adv->fillFromRecord(record, false, false);
        rgb->setOrders(record.AdvRgbOrder);
        QCOMPARE(rgb->ComboBox[15]->currentIndex(), -1);
        click(d->checkAdv);

        auto editAndClose = [&](const char *button) {
            glwtest::answerModal([&, button](QWidget *w) {
                QCOMPARE(w, adv.get());
                adv->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(adv.get()));
                typeInto(adv->editNodes[2], QStringLiteral("77"));
                typeInto(adv->editUniv[0], QStringLiteral("300"));
                typeInto(adv->editNull[5], QStringLiteral("7"));
                click(adv->switchRev[0]);
                click(adv->findChild<QWidget *>(QLatin1String(button)));
            });
            click(d->btnAdvanced);
        };
        editAndClose("btnOK");
        QCOMPARE(adv->editNodes[2]->text(), QStringLiteral("77"));
        QCOMPARE(adv->editNull[5]->text(), QStringLiteral("7"));
        QCOMPARE(lookups, 0);

        editAndClose("btnCancel");
        QCOMPARE(lookups, 1);
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(adv->editUniv[i]->text(), QString::number(10 + i));
            QCOMPARE(adv->editChan[i]->text(), QStringLiteral("4"));
            QCOMPARE(adv->editNodes[i]->text(), QString::number(50 + i));
            QCOMPARE(adv->editNull[i]->text(), QStringLiteral("1"));
            QCOMPARE(adv->editZig[i]->text(), QStringLiteral("5"));
            QCOMPARE(adv->switchRev[i]->isChecked(), i % 2 == 1);
            QCOMPARE(adv->editGroup[i]->text(), QStringLiteral("1")); // as the fill left them
            QCOMPARE(adv->editBright[i]->text(), QStringLiteral("100"));
        }

        // Colour orders: OK keeps the choice, Cancel brings back the record's.
        click(d->checkAdvRGB);
        auto chooseAndClose = [&](const char *button) {
            glwtest::answerModal([&, button](QWidget *w) {
                QCOMPARE(w, rgb.get());
                rgb->ComboBox[2]->setCurrentIndex(5);
                click(rgb->findChild<QWidget *>(QLatin1String(button)));
            });
            click(d->btnAdvancedRGB);
        };
        chooseAndClose("btnOK");
        QCOMPARE(rgb->ComboBox[2]->currentText(), QStringLiteral("BGR"));
        chooseAndClose("btnCancel");
        QCOMPARE(rgb->ComboBox[2]->currentText(), QStringLiteral("GRB"));
        for (int i = 0; i < 15; ++i)
            QCOMPARE(rgb->ComboBox[i]->currentIndex(), i % 6);
        QCOMPARE(rgb->ComboBox[15]->currentIndex(), -1);
    }
};

QTEST_MAIN(TestTessaraConfig)
#include "tst_tessara_config.moc"
