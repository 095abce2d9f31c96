// The advanced output mapping and colour order dialogs as an operator meets them.

#include "config_test_util.h"
#include "glw_test.h"
#include "config/tessara_adv.h"
#include "config/tessara_adv_rgb.h"

#include <QFrame>

using namespace configtest;

class TestTessaraAdv : public QObject {
    Q_OBJECT

    std::unique_ptr<TTessaraAdv> adv;
    qint64 pixelMax = 340;

    // Every output: start 1/1, 10 pixels, group 1.
    TTessaraCtrl plainRecord() const
    {
        TTessaraCtrl c;
        for (int i = 0; i < 16; ++i) {
            c.AdvUniv[i] = 1;
            c.AdvChan[i] = 1;
            c.NumNodes[i] = 10;
            c.Grouping[i] = 1;
            c.Brightness[i] = 100;
        }
        return c;
    }
    QString end(int row) const
    {
        return adv->editEndUniv[row]->text() + QLatin1Char('/') + adv->editEndChan[row]->text();
    }
    QString start(int row) const
    {
        return adv->editUniv[row]->text() + QLatin1Char('/') + adv->editChan[row]->text();
    }
    void leave(QLineEdit *box) { QTest::keyClick(box, Qt::Key_Tab); }

private slots:
    void init()
    {
        pixelMax = 340;
        adv = std::make_unique<TTessaraAdv>();
        adv->setPixelMaximumSource([this] { return pixelMax; });
        adv->fillFromRecord(plainRecord(), true, true);
        QVERIFY(showActive(adv.get()));
    }
    void cleanup() { adv.reset(); }

    void form()
    {
        QCOMPARE(adv->windowTitle(), QStringLiteral("Advanced String Configuration"));
        QCOMPARE(adv->size(), QSize(726, 635));
        QVERIFY(!adv->checkAutoChan->isChecked());
        QVERIFY(!adv->editEndUniv[0]->isEnabled() && !adv->editEndChan[15]->isEnabled());
        for (const char *name : {"editUniv1", "editChan16", "editEndUniv7", "editEndChan3", "editNodes9", "editNull2",
                                 "editZig12", "editGroup5", "editBright16", "switchRev4", "Panel16", "Label16"})
            QVERIFY2(adv->findChild<QWidget *>(QLatin1String(name)), name);
        QCOMPARE(adv->editUniv[6]->accessibleName(), QStringLiteral("Output 7 Start Universe"));
        const QStringList bad = textsThatDoNotFit(adv.get());
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1String("; "))));
    }

    void exitRules_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<qint64>("pixelMaximum");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("universe text") << "editUniv" << 340LL << "abc" << "1";
        QTest::newRow("universe 64000") << "editUniv" << 340LL << "64000" << "63999";
        QTest::newRow("channel 2") << "editChan" << 340LL << "2" << "1";
        QTest::newRow("channel 3") << "editChan" << 340LL << "3" << "4";
        QTest::newRow("channel 510") << "editChan" << 340LL << "510" << "508";
        QTest::newRow("channel 0") << "editChan" << 340LL << "0" << "1";
        QTest::newRow("pixels 400 of 340") << "editNodes" << 340LL << "400" << "340";
        QTest::newRow("pixels 700 of 680") << "editNodes" << 680LL << "700" << "680";
        QTest::newRow("pixels 400 of 680 stays") << "editNodes" << 680LL << "400" << "400";
        QTest::newRow("zig-zag 400 of 340") << "editZig" << 340LL << "400" << "339";
        QTest::newRow("zig-zag 700 of 680") << "editZig" << 680LL << "700" << "679";
        QTest::newRow("zig-zag text") << "editZig" << 340LL << "z" << "0";
        QTest::newRow("group 400 of 340") << "editGroup" << 340LL << "400" << "340";
        QTest::newRow("group 700 of 680") << "editGroup" << 680LL << "700" << "680";
        QTest::newRow("group 0") << "editGroup" << 340LL << "0" << "1";
        QTest::newRow("null 11") << "editNull" << 340LL << "11" << "10";
        QTest::newRow("null -1") << "editNull" << 340LL << "-1" << "0";
        QTest::newRow("intensity 0") << "editBright" << 340LL << "0" << "1";
        QTest::newRow("intensity 150") << "editBright" << 340LL << "150" << "100";
        QTest::newRow("intensity text") << "editBright" << 340LL << "dim" << "100";
    }
    void exitRules()
    {
        QFETCH(QString, column);
        QFETCH(qint64, pixelMaximum);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        pixelMax = pixelMaximum;
        for (int row : {0, 9}) {
            auto *box = adv->findChild<QLineEdit *>(column + QString::number(row + 1));
            typeInto(box, typed);
            leave(box);
            QCOMPARE(box->text(), expected);
        }
    }

    // Start, pixel and group boxes recompute the ends as they are left; the other columns do not.
    void endsFollowTheirColumns()
    {
        typeInto(adv->editNodes[0], QStringLiteral("171"));
        leave(adv->editNodes[0]);
        QCOMPARE(end(0), QStringLiteral("2/3"));
        typeInto(adv->editGroup[0], QStringLiteral("3"));
        leave(adv->editGroup[0]);
        QCOMPARE(end(0), QStringLiteral("1/171")); // 57 values
        typeInto(adv->editUniv[0], QStringLiteral("63999"));
        leave(adv->editUniv[0]);
        QCOMPARE(end(0), QStringLiteral("63999/171"));
        typeInto(adv->editChan[0], QStringLiteral("509"));
        leave(adv->editChan[0]);
        QCOMPARE(end(0), QStringLiteral("64000/168")); // past the last universe, shown as it is

        click(adv->editNull[1]); // leaves the start channel, which recomputes
        adv->editEndUniv[1]->setText(QStringLiteral("x"));
        adv->editEndChan[1]->setText(QStringLiteral("y"));
        typeInto(adv->editNull[1], QStringLiteral("5"));
        typeInto(adv->editZig[1], QStringLiteral("5"));
        typeInto(adv->editBright[1], QStringLiteral("5"));
        click(adv->switchRev[1]);
        QCOMPARE(adv->editBright[1]->text(), QStringLiteral("5"));
        QCOMPARE(end(1), QStringLiteral("x/y"));
    }

    void chaining()
    {
        adv->editNodes[0]->setText(QStringLiteral("170"));
        adv->editNodes[1]->setText(QStringLiteral("169"));
        adv->editNodes[3]->setText(QStringLiteral("0"));
        // Ticked straight from a box still being typed in: the chain uses the checked value.
        typeInto(adv->editChan[0], QStringLiteral("2"));
        click(adv->checkAutoChan);
        QCOMPARE(adv->editChan[0]->text(), QStringLiteral("1"));
        QCOMPARE(end(0), QStringLiteral("1/510"));
        QCOMPARE(start(1), QStringLiteral("2/1"));
        QCOMPARE(end(1), QStringLiteral("2/507"));
        QCOMPARE(start(2), QStringLiteral("2/508"));
        QCOMPARE(end(2), QStringLiteral("3/27"));
        QCOMPARE(start(3), QStringLiteral("3/28"));
        QCOMPARE(end(3), QStringLiteral("3/27")); // no pixels: ends before it starts
        QCOMPARE(start(4), QStringLiteral("3/28"));
        QCOMPARE(start(15), QStringLiteral("3/358"));
        QVERIFY(adv->editUniv[0]->isEnabled() && adv->editChan[0]->isEnabled());
        for (int i = 1; i < 16; ++i)
            QVERIFY(!adv->editUniv[i]->isEnabled() && !adv->editChan[i]->isEnabled());

        // Row 1 drives the chain.
        typeInto(adv->editUniv[0], QStringLiteral("5"));
        leave(adv->editUniv[0]);
        QCOMPARE(start(1), QStringLiteral("6/1"));

        click(adv->checkAutoChan);
        for (int i = 1; i < 16; ++i)
            QVERIFY(adv->editUniv[i]->isEnabled() && adv->editChan[i]->isEnabled());
        QCOMPARE(start(1), QStringLiteral("6/1")); // the chained values stay
        typeInto(adv->editUniv[0], QStringLiteral("9"));
        leave(adv->editUniv[0]);
        QCOMPARE(start(1), QStringLiteral("6/1")); // and are no longer driven
    }

    void showingRecomputes()
    {
        adv->hide();
        TTessaraCtrl c = plainRecord();
        c.AdvChan[0] = 508;
        c.NumNodes[0] = 2;
        c.Grouping[1] = 0; // a record may hold it; taken as no grouping
        c.NumNodes[1] = 20;
        adv->fillFromRecord(c, true, true);
        adv->editNodes[2]->setText(QStringLiteral("lots")); // not yet checked: counts as 1
        adv->show();
        QCOMPARE(end(0), QStringLiteral("2/3"));
        QCOMPARE(end(1), QStringLiteral("1/60"));
        QCOMPARE(adv->editGroup[1]->text(), QStringLiteral("0"));
        QCOMPARE(end(2), QStringLiteral("1/3"));
    }

    void groupingNotOffered()
    {
        TTessaraCtrl c = plainRecord();
        c.Grouping.fill(4);
        c.Brightness.fill(50);
        adv->fillFromRecord(c, false, false);
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(adv->editGroup[i]->text(), QStringLiteral("1"));
            QCOMPARE(adv->editBright[i]->text(), QStringLiteral("100"));
            QVERIFY(!adv->editGroup[i]->isEnabled() && !adv->editBright[i]->isEnabled());
        }
        adv->fillFromRecord(c, true, true);
        QCOMPARE(adv->editGroup[0]->text(), QStringLiteral("4"));
        QVERIFY(adv->editGroup[0]->isEnabled());
    }

    void fourOutputs()
    {
        adv->setSixteenOutputs(false);
        QCOMPARE(adv->height(), int(TTessaraAdv::FourRowHeight));
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(adv->Panel[i]->isVisible(), i < 4);
            QCOMPARE(adv->Label[i]->isVisible(), i < 4);
        }
        // The buttons and the chaining box stay in view.
        for (QWidget *w : std::initializer_list<QWidget *>{adv->btnOK, adv->btnCancel, adv->checkAutoChan})
            QVERIFY(adv->rect().contains(w->geometry()));
        // Hidden rows are still chained and computed.
        click(adv->checkAutoChan);
        QCOMPARE(start(15), QStringLiteral("1/451"));
        QCOMPARE(end(15), QStringLiteral("1/480"));
        adv->setSixteenOutputs(true);
        QCOMPARE(adv->height(), int(TTessaraAdv::SixteenRowHeight));
        QVERIFY(adv->Panel[15]->isVisible());
        QVERIFY(adv->rect().contains(adv->btnOK->geometry()));
    }

    void closingResults()
    {
        adv->hide();
        for (const auto &[how, result] : {std::pair{"btnOK", 1}, {"btnCancel", 2}, {"escape", 2}}) {
            glwtest::answerModal([how = QString::fromLatin1(how)](QWidget *w) {
                if (how == QLatin1String("escape"))
                    QTest::keyClick(w, Qt::Key_Escape);
                else
                    click(w->findChild<QWidget *>(how));
            });
            QCOMPARE(adv->exec(), result);
        }
    }

    void okChecksTheBoxBeingTyped()
    {
        typeInto(adv->editBright[3], QStringLiteral("abc"));
        QTest::keyClick(adv->editBright[3], Qt::Key_Return);
        QVERIFY(adv->isVisible());
        QTest::keyClick(adv->editBright[3], Qt::Key_Escape);
        QCOMPARE(adv->result(), int(TTessaraAdv::ResultCancel));
        QCOMPARE(adv->editBright[3]->text(), QStringLiteral("100"));
    }

    void colourOrderDialog()
    {
        TTessaraAdvRGB rgb;
        QCOMPARE(rgb.windowTitle(), QStringLiteral("RGB Order"));
        QCOMPARE(rgb.size(), QSize(393, 346));
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(rgb.ComboBox[i]->objectName(), QStringLiteral("ComboBox%1").arg(i));
            QCOMPARE(rgb.ComboBox[i]->currentIndex(), -1);
            QCOMPARE(rgb.ComboBox[i]->count(), 6);
        }
        std::array<quint8, 16> codes{};
        for (int i = 0; i < 16; ++i)
            codes[i] = quint8(i);
        rgb.setOrders(codes);
        for (int i = 0; i < 16; ++i)
            QCOMPARE(rgb.ComboBox[i]->currentIndex(), i < 6 ? i : -1);
        QCOMPARE(rgb.ComboBox[3]->currentText(), QStringLiteral("GBR"));
        const QStringList bad = textsThatDoNotFit(&rgb);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1String("; "))));
        for (const auto &[how, result] : {std::pair{"btnOK", 1}, {"btnCancel", 2}, {"close", 2}}) {
            glwtest::answerModal([how = QString::fromLatin1(how)](QWidget *w) {
                if (how == QLatin1String("close"))
                    w->close();
                else
                    click(w->findChild<QWidget *>(how));
            });
            QCOMPARE(rgb.exec(), result);
        }
    }
};

QTEST_MAIN(TestTessaraAdv)
#include "tst_tessara_adv.moc"
