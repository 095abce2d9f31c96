// The configuration workflow with its real dialogs on the offscreen platform. Datagrams go through
// the network tab's real socket on loopback (127.0.0.1 to a "controller" socket on 127.0.0.2), or,
// for the broadcast of the network repair and for controllers at other addresses, into a captured
// transport that never reaches a socket.

#include "net/config_datagram.h"
#include "config_test_util.h"
#include "config/config_workflow.h"
#include "glw_test.h"
#include "net/network_link.h"
#include "net/network_tab.h"
#include "net/orvantic.h"
#include "firmware/tcp_firmware.h"
#include "config/tessara_adv.h"
#include "config/tessara_adv_rgb.h"
#include "config/tessara_config.h"
#include "workflow_test_util.h"

#include <QAccessible>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QSlider>
#include <QTableWidget>
#include <QUdpSocket>
#include <memory>

using namespace config::flow;
using workflowtest::consistentRecord;

namespace {

quint16 freeUdpPort()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QUdpSocket a, b;
        if (a.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0)
            && b.bind(QHostAddress(QStringLiteral("127.0.0.2")), a.localPort()))
            return a.localPort();
    }
    qFatal("no free loopback port");
}

struct Sent {
    QByteArray datagram;
    QString host;
};

// The dialogs, the network tab and the workflow as the main window wires them, on loopback.
struct Fixture {
    quint16 port = freeUdpPort();
    NetworkLink link{port};
    NetworkTab net{link, nullptr, [](QList<tNetworkInterface> &out) {
                       tNetworkInterface n;
                       n.AddrIP = QStringLiteral("127.0.0.1");
                       n.SubnetMask = QStringLiteral("255.0.0.0");
                       n.AddrNet = networkAddress(n.AddrIP, n.SubnetMask);
                       n.IsInterfaceUp = n.BroadcastSupport = true;
                       out = {n};
                       return true;
                   }};
    TTessaraConfig config;
    TTessaraAdv adv;
    TTessaraAdvRGB advRgb;
    TTCPFirmware upload{nullptr, port};
    ConfigWorkflow flow{link, net, config, adv, advRgb, upload};
    QUdpSocket controller; // what a controller at 127.0.0.2 receives
    QList<Sent> captured;

    Fixture()
    {
        config.setSubDialogs(&adv, &advRgb);
        config.setSelectedController([this] { return flow.selectedController(); });
        net.UpdateNetInterfaces();
        if (!net.selectFirstAdapter())
            qFatal("cannot bind the tab to 127.0.0.1");
        if (!controller.bind(QHostAddress(QStringLiteral("127.0.0.2")), port))
            qFatal("cannot bind the controller side");
    }
    void capture()
    {
        link.setTransport([this](const QByteArray &d, const QString &host) -> Result<> {
            captured.append({d, host});
            return {};
        });
    }
    // Lists the record as a poll reply would, then makes the record exactly `c` (the reply
    // carries no spare bytes of RgbOrder and the like).
    void add(const TTessaraCtrl &c, const QString &model)
    {
        const int before = link.count();
        link.OrvaReadPollReply(net::orvantic::buildPollReply(c, model));
        if (link.count() != before + 1)
            qFatal("poll reply not listed");
        link.replaceController(before, c);
    }
    void clear()
    {
        link.clear();
    }
    // Selects the row as the operator's double-click does, answers the dialogs with `answer`
    // and runs the workflow.
    void open(int row, std::function<void(QWidget *)> answer)
    {
        net.Network_Grid->selectRow(row);
        glwtest::answerModal(std::move(answer), 10000);
        flow.NetCtrlSettings();
    }
    // The datagrams the controller socket received within `ms`.
    QList<QByteArray> received(int ms = 300)
    {
        QList<QByteArray> out;
        QTest::qWait(ms);
        while (controller.hasPendingDatagrams())
            out << controller.receiveDatagram().data();
        return out;
    }
};

QString modelOf(int numStrings)
{
    return numStrings == 16 ? QStringLiteral("Tessara 16") : QStringLiteral("Tessara 4");
}

void answerBox(QMessageBox::StandardButton button, QStringList *texts)
{
    glwtest::answerModal([button, texts](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            texts->append(box->text());
            box->button(button) ? box->button(button)->click() : box->reject();
        }
    }, 10000);
}

} // namespace

class TestConfigWorkflow : public QObject {
    Q_OBJECT
private slots:
    // Every model, hardware revision and firmware of the grid in one set of dialogs, newest first,
    // so older controllers meet controls an earlier one left filled: the form shows what the
    // controller offers and OK without changes sends the record exactly as it is.
    void gatingGridSendsTheRecordUnchanged()
    {
        Fixture fx;
        int n = 0;
        for (int o = int(std::size(workflowtest::Offers)) - 1; o >= 0; --o) {
            for (int strings : {16, 4}) {
                for (int hw : {5, 3, 2}) {
                    const workflowtest::FirmwareOffer &offer = workflowtest::Offers[o];
                    const QString label = QStringLiteral("%1 %2 outputs HwRev %3").arg(offer.firmware).arg(strings).arg(hw);
                    TTessaraCtrl c = consistentRecord(QString::fromLatin1(offer.firmware), strings, hw);
                    const Features f = featuresOf(c);
                    if (!f.perOutputOrder)
                        workflowtest::useEarlierOrder(c, f.singleOrderSelectable);
                    // Values that differ from case to case, so stale ones would show.
                    c.Protocol = quint8(n % 2);
                    c.HoldLastFrame = quint8((n + 1) % 2);
                    c.ProtocolSpeed = quint8(n % 2);
                    c.FanTemp = quint8(20 + n);
                    c.DmxOutOn = {quint8(n % 2), 1, quint8((n + 1) % 2), 0};
                    c.DmxOutUniv = {quint16(100 + n), quint16(200 + n), quint16(300 + n), quint16(400 + n)};
                    ++n;
                    fx.clear();
                    fx.add(c, modelOf(strings));

                    QMap<QString, bool> shown;
                    int chips = -1;
                    QString speedCaption;
                    bool tabsShown = false;
                    fx.open(0, [&](QWidget *w) {
                        TTessaraConfig &d = fx.config;
                        if (w == &d) {
                            shown["protocol"] = !d.radioArtNet->isHidden() && !d.lblProtocol->isHidden();
                            shown["hold"] = !d.checkHoldFrame->isHidden();
                            shown["dmx"] = !d.gboxDMX->isHidden();
                            shown["dmx2-4"] = !d.switchOut[3]->isHidden() && !d.lblDMXOn2->isHidden();
                            shown["speed"] = !d.radioFast->isHidden();
                            shown["perOutputOrder"] = !d.checkAdvRGB->isHidden() && !d.btnAdvancedRGB->isHidden();
                            shown["orderSelectable"] = d.comboRGB->isEnabled() && d.lblRGB->isEnabled();
                            shown["fan"] = !d.txtFan->isHidden() && !d.lblTempF->isHidden();
                            shown["bank2"] = !d.lblVolt2->isHidden();
                            shown["rows5-16"] = !fx.adv.Panel[4]->isHidden();
                            shown["grouping"] = fx.adv.editGroup[0]->isEnabled();
                            chips = d.comboChip->count();
                            speedCaption = d.lblSpeed->text();
                            tabsShown = d.TabControl1->isTabVisible(TTessaraConfig::ControlTab)
                                && d.TabControl1->isTabVisible(TTessaraConfig::MiscTab);
                            configtest::click(d.btnOK);
                        } else {
                            w->close();
                        }
                    });
                    const QMap<QString, bool> expected{
                        {"protocol", offer.protocol},
                        {"hold", offer.holdFrame},
                        {"dmx", offer.dmx},
                        {"dmx2-4", offer.dmx && strings == 16 && hw >= 3},
                        {"speed", offer.speed}, // chip 4, WS2811/12, has the choice
                        {"perOutputOrder", offer.perOutputOrder},
                        {"orderSelectable", offer.singleOrder},
                        {"fan", hw >= 5},
                        {"bank2", strings == 16},
                        {"rows5-16", strings == 16},
                        {"grouping", offer.holdFrame},
                    };
                    QVERIFY2(shown == expected, qPrintable(label));
                    QVERIFY2(chips == offer.chips, qPrintable(label));
                    QVERIFY2(speedCaption == (offer.speed ? "Speed:" : "Sp"), qPrintable(label));
                    QVERIFY2(tabsShown, qPrintable(label));
                    QCOMPARE(fx.adv.height(), strings == 16 ? 618 : 228);
                    const QList<QByteArray> got = fx.received();
                    QVERIFY2(got.size() == 1, qPrintable(label));
                    QVERIFY2(got[0] == net::orvantic::buildConfigDatagram(c), qPrintable(label));
                    QVERIFY2(fx.link.controller(0) == c, qPrintable(label));
                }
            }
        }
    }

    // A tail after the version, or no readable version at all, must not make an untouched OK
    // rewrite per-output colour order, grouping or intensity.
    void firmwareTextOddities_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<bool>("perOutputOffered");
        QTest::newRow("blank tail") << "V1.4.5 " << true;
        QTest::newRow("letter tail") << "V1.4.5b" << true;
        QTest::newRow("unreadable") << "Vx.4.5" << false;
    }
    void firmwareTextOddities()
    {
        QFETCH(QString, firmware);
        QFETCH(bool, perOutputOffered);
        Fixture fx;
        TTessaraCtrl c = consistentRecord(firmware);
        c.SacnUniv = 0; // advanced mapping: grouping and intensity come from the advanced dialog
        c.SacnChan = 0;
        c.RgbOrder = {0xFF, 0xFF, 0xFF};
        fx.add(c, QStringLiteral("Tessara 16"));
        bool perOutputShown = false;
        fx.open(0, [&](QWidget *w) {
            if (w != &fx.config) {
                w->close();
                return;
            }
            perOutputShown = !fx.config.checkAdvRGB->isHidden();
            configtest::click(fx.config.btnOK);
        });
        QCOMPARE(perOutputShown, perOutputOffered);
        const QList<QByteArray> got = fx.received();
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0], net::orvantic::buildConfigDatagram(c));
        QVERIFY(fx.link.controller(0) == c);
    }

    void fillShowsTheRecord()
    {
        Fixture fx;
        TTessaraCtrl c = consistentRecord("V1.4.5", 16, 5);
        c.Gamma = {22, 23, 22};
        c.Voltage = {124, 0};
        c.Nickname[2] = 0; // "Tr" + "ss left"
        c.FanTemp = 11;
        fx.add(c, QStringLiteral("Corvel 16"));
        fx.config.switchLockSliders->setChecked(true); // left on by an earlier workflow
        QStringList texts;
        bool locked = true;
        QColor volt1, volt2;
        fx.open(0, [&](QWidget *w) {
            TTessaraConfig &d = fx.config;
            texts << d.txtNickname->text() << d.txtGammaRed->text() << d.txtGammaGreen->text()
                  << QString::number(d.trackGammaGreen->value()) << d.lblTempF->text() << d.lblVolt1->text()
                  << d.lblVolt2->text() << d.lblFirmware->text() << d.IP[3]->text() << d.comboChip->currentText()
                  << d.comboRGB->currentText();
            locked = d.switchLockSliders->isChecked();
            volt1 = d.lblVolt1->palette().color(QPalette::WindowText);
            volt2 = d.lblVolt2->palette().color(QPalette::WindowText);
            static_cast<QDialog *>(w)->reject();
        });
        QCOMPARE(texts, (QStringList{"Trss left", "2.2", "2.3", "23", "52 °F", "12.4V", "Off", "V1.4.5", "40",
                                     "WS2811/12", "GRB"}));
        QVERIFY(!locked);
        QCOMPARE(volt1.rgba(), Green);
        QCOMPARE(volt2.rgba(), Red);
    }

    // A controller's texts are shown and read exactly as sent, never rendered as markup; the
    // value labels are read as they read, not by a fixed name.
    void deviceTextsArePlain()
    {
        Fixture fx;
        const QString firmware = QStringLiteral("<img src=/x>V1.4.5");
        fx.add(consistentRecord(firmware), QStringLiteral("Tessara 16"));
        QStringList read;
        fx.open(0, [&](QWidget *w) {
            for (QLabel *l : {fx.config.lblFirmware, fx.config.lblVolt1, fx.config.lblTempF})
                read << QAccessible::queryAccessibleInterface(l)->text(QAccessible::Name);
            static_cast<QDialog *>(w)->reject();
        });
        QCOMPARE(read, (QStringList{firmware, "12.4V", "113 °F"}));
    }

    void editsReachTheWire()
    {
        Fixture fx;
        fx.add(consistentRecord("V1.4.5", 16, 5), QStringLiteral("Tessara 16"));
        fx.open(0, [&](QWidget *) {
            TTessaraConfig &d = fx.config;
            configtest::typeInto(d.txtNickname, QStringLiteral("Stage right"));
            configtest::typeInto(d.txtStartUniv, QStringLiteral("12"));
            configtest::typeInto(d.txtNodes, QStringLiteral("999")); // left unchecked: OK checks it
            configtest::bringToFront(d.comboChip);
            d.comboChip->setCurrentIndex(d.comboChip->findText(QStringLiteral("APA102")));
            configtest::click(d.checkAdvRGB);
            fx.advRgb.ComboBox[2]->setCurrentIndex(5);
            configtest::click(d.btnOK);
        });
        const QList<QByteArray> got = fx.received();
        QCOMPARE(got.size(), 1);
        const QByteArray &dg = got[0];
        QCOMPARE(dg.size(), 336);
        QCOMPARE(dg.mid(33, 12), QByteArray("Stage right\0", 12));
        QCOMPARE(dg.mid(73, 2), QByteArray("\x01\x54", 2));    // 340 pixels: the limit of 16 outputs
        QCOMPARE(dg.mid(118, 4), QByteArray("\x00\x0C\x00\x04", 4));
        QCOMPARE(dg.mid(126, 4), QByteArray("\x00\x0C\x00\x0E", 4)); // outputs 1 and 2: 340 pixels = 2 universes
        QCOMPARE(quint8(dg[122]), quint8(10));
        QCOMPARE(dg.mid(254, 3), QByteArray("\xFF\xFF\xFF"));
        QCOMPARE(quint8(dg[270 + 2]), quint8(5));
        QCOMPARE(dg, net::orvantic::buildConfigDatagram(fx.link.controller(0)));
    }

    void advancedMappingRecordUnchanged()
    {
        Fixture fx;
        TTessaraCtrl c = consistentRecord("V1.4.5", 4, 3);
        c.SacnUniv = 0;
        c.SacnChan = 0;
        for (int i = 0; i < 16; ++i) {
            c.AdvUniv[i] = quint16(300 + i);
            c.AdvChan[i] = quint16(1 + 3 * i);
            c.NumNodes[i] = quint16(600 - i);
            c.AdvNull[i] = quint8(i % 11);
            c.AdvZig[i] = quint16(i);
            c.AdvReverse[i] = quint8(i % 2);
        }
        fx.add(c, QStringLiteral("Tessara 4"));
        QStringList simple;
        bool advanced = false;
        fx.open(0, [&](QWidget *) {
            TTessaraConfig &d = fx.config;
            simple << d.txtStartUniv->text() << d.txtStartChan->text() << d.txtNodes->text();
            advanced = d.checkAdv->isChecked() && d.btnAdvanced->isEnabled() && !d.txtStartUniv->isEnabled();
            configtest::click(d.btnOK);
        });
        QCOMPARE(simple, (QStringList{"1", "1", "1"}));
        QVERIFY(advanced);
        const QList<QByteArray> got = fx.received();
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].mid(118, 4), QByteArray(4, '\0'));
        QCOMPARE(got[0], net::orvantic::buildConfigDatagram(c));
    }

    // The advanced dialogs' Cancel reloads from the controller the workflow opened, found by the
    // selected row, not from the first record.
    void advancedCancelReloadsTheOpenedController()
    {
        Fixture fx;
        TTessaraCtrl first = consistentRecord("V1.4.5");
        TTessaraCtrl second = first;
        second.CurrentIP = {127, 0, 0, 3};
        second.AdvUniv[0] = 555;
        second.AdvRgbOrder[0] = 4;
        fx.add(first, QStringLiteral("Tessara 16"));
        fx.add(second, QStringLiteral("Tessara 16"));
        QStringList reloaded;
        fx.open(1, [&](QWidget *) {
            glwtest::answerModal([&](QWidget *) {
                fx.adv.editUniv[0]->setText(QStringLiteral("9"));
                fx.adv.btnCancel->click();
            }, 10000);
            fx.config.btnAdvanced->setEnabled(true);
            fx.config.btnAdvancedClick();
            glwtest::answerModal([&](QWidget *) {
                fx.advRgb.ComboBox[0]->setCurrentIndex(0);
                fx.advRgb.btnCancel->click();
            }, 10000);
            fx.config.btnAdvancedRGBClick();
            reloaded << fx.adv.editUniv[0]->text() << fx.advRgb.ComboBox[0]->currentText();
            configtest::click(fx.config.btnCancel);
        });
        QCOMPARE(reloaded, (QStringList{"555", "BRG"}));
    }

    void unreadableBoxSendsNothing()
    {
        Fixture fx;
        const TTessaraCtrl c = consistentRecord("V1.4.5");
        fx.add(c, QStringLiteral("Tessara 16"));
        QStringList boxes;
        fx.open(0, [&](QWidget *) {
            TTessaraConfig &d = fx.config;
            d.txtNickname->setText(QStringLiteral("changed"));
            d.txtGammaGreen->setText(QStringLiteral("2,x")); // no exit check has run on it
            answerBox(QMessageBox::Ok, &boxes);
            d.btnOK->click();
        });
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].startsWith("Nothing was sent") && boxes[0].contains("Green gamma value"),
                 qPrintable(boxes[0]));
        QVERIFY(fx.received().isEmpty());
        QVERIFY(fx.link.controller(0) == c);
    }

    void cancelChangesNothing()
    {
        Fixture fx;
        const TTessaraCtrl c = consistentRecord("V1.4.5");
        fx.add(c, QStringLiteral("Tessara 16"));
        fx.open(0, [&](QWidget *) {
            configtest::typeInto(fx.config.txtNickname, QStringLiteral("changed"));
            configtest::click(fx.config.btnCancel);
        });
        QVERIFY(fx.received().isEmpty());
        QVERIFY(fx.link.controller(0) == c);
    }

    void nothingWithoutASelection()
    {
        Fixture fx;
        int modals = 0;
        glwtest::answerModal([&](QWidget *w) { ++modals; w->close(); }, 500);
        fx.flow.NetCtrlSettings(); // empty table
        fx.add(consistentRecord("V1.4.5"), QStringLiteral("Tessara 16"));
        fx.net.Network_Grid->clearSelection();
        fx.flow.NetCtrlSettings();
        QTest::qWait(600);
        QCOMPARE(modals, 0);
    }

    // Row 280 is reached by its full index, not by its low byte (row 24).
    void rowsBeyond255()
    {
        Fixture fx;
        fx.capture();
        for (int i = 0; i < 300; ++i) {
            TTessaraCtrl c = consistentRecord("V1.4.5");
            c.CurrentIP = {127, 0, quint8(1 + i / 256), quint8(i % 256)};
            net::tessara::setFixedText(c.Nickname, QStringLiteral("Unit %1").arg(i));
            fx.add(c, QStringLiteral("Tessara 16"));
        }
        QString shown;
        fx.open(280, [&](QWidget *) {
            shown = fx.config.txtNickname->text();
            configtest::click(fx.config.btnOK);
        });
        QCOMPARE(shown, QStringLiteral("Unit 280"));
        QCOMPARE(fx.captured.size(), 1);
        QCOMPARE(fx.captured[0].host, QStringLiteral("127.0.2.24"));
        QCOMPARE(fx.captured[0].datagram.mid(33, 9), QByteArray("Unit 280\0", 9));
    }

    void networkOnlyRepair()
    {
        Fixture fx;
        fx.capture();
        TTessaraCtrl c = consistentRecord("V1.4.5");
        c.CurrentIP = {10, 0, 0, 50};
        c.CurrentSM = {255, 0, 0, 0};
        c.MAC = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
        fx.add(c, QStringLiteral("Tessara 16"));

        QStringList questions;
        QList<bool> tabs;
        int current = -1;
        TTessaraConfig &d = fx.config;
        fx.open(0, [&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            questions << (box ? box->text() : QString());
            if (box && box->defaultButton() == box->button(QMessageBox::Yes))
                questions << QStringLiteral("Yes is the default");
            glwtest::answerModal([&](QWidget *) {
                for (int t = 0; t < 4; ++t)
                    tabs << d.TabControl1->isTabVisible(t);
                current = d.TabControl1->currentIndex();
                const char *ip[] = {"192", "168", "0", "50"};
                const char *sm[] = {"255", "255", "255", "0"};
                for (int k = 0; k < 4; ++k) {
                    d.IP[k]->setText(QString::fromLatin1(ip[k]));
                    d.SM[k]->setText(QString::fromLatin1(sm[k]));
                }
                d.radioStatic->setChecked(true);
                configtest::click(d.btnOK);
            }, 10000);
            if (box)
                box->button(QMessageBox::Yes)->click();
        });
        QCOMPARE(questions, (QStringList{RepairQuestion, "Yes is the default"}));
        QCOMPARE(tabs, (QList<bool>{true, false, false, false}));
        QCOMPARE(current, int(TTessaraConfig::NetworkTab));
        QCOMPARE(fx.captured.size(), 1);
        QCOMPARE(fx.captured[0].host, QStringLiteral("255.255.255.255"));
        QCOMPARE(fx.captured[0].datagram,
                 QByteArray("Orvantic\0\0\x07\x02\x00\x11\x22\x33\x44\x55\x00\xC0\xA8\x00\x32\xFF\xFF\xFF\x00", 27));
        TTessaraCtrl expected = c;
        expected.StaticIP = {192, 168, 0, 50};
        expected.SM = {255, 255, 255, 0};
        QVERIFY(fx.link.controller(0) == expected);

        // Declined: nothing sent, no dialog. Cancelled: nothing sent, nothing changed.
        fx.captured.clear();
        int dialogs = 0;
        fx.open(0, [&](QWidget *w) {
            glwtest::answerModal([&](QWidget *next) { ++dialogs; next->close(); }, 500);
            qobject_cast<QMessageBox *>(w)->button(QMessageBox::No)->click();
        });
        QTest::qWait(600); // until that watch for a second window has given up
        fx.open(0, [&](QWidget *w) {
            glwtest::answerModal([&](QWidget *) {
                d.IP[0]->setText(QStringLiteral("1"));
                configtest::click(d.btnCancel);
            }, 10000);
            qobject_cast<QMessageBox *>(w)->button(QMessageBox::Yes)->click();
        });
        QTest::qWait(600);
        QCOMPARE(dialogs, 0);
        QVERIFY(fx.captured.isEmpty());
        QVERIFY(fx.link.controller(0) == expected);

        // Firmware 1.4.4 is not asked: the full dialog, with every tab back.
        TTessaraCtrl older = fx.link.controller(0);
        net::tessara::setFixedText(older.Firmware, QStringLiteral("V1.4.4"));
        fx.link.replaceController(0, older);
        tabs.clear();
        fx.open(0, [&](QWidget *w) {
            if (w == &d)
                for (int t = 0; t < 4; ++t)
                    tabs << d.TabControl1->isTabVisible(t);
            w->close();
        });
        QCOMPARE(tabs, (QList<bool>{true, true, true, true}));
        QVERIFY(fx.captured.isEmpty());
    }

    void bootloaderRowOpensTheUpload()
    {
        Fixture fx;
        TTessaraCtrl c = consistentRecord("V1.4.5");
        net::tessara::setFixedText(c.Firmware, QStringLiteral("Bootloader"));
        fx.add(c, QStringLiteral("Tessara 16"));
        QList<QWidget *> modals;
        QString target;
        fx.open(0, [&](QWidget *w) {
            modals << w;
            target = fx.upload.targetHost();
            w->close();
        });
        QCOMPARE(modals, QList<QWidget *>{&fx.upload});
        QCOMPARE(target, QStringLiteral("127.0.0.2"));
        QVERIFY(fx.received().isEmpty());
    }

    void updateFirmwareTriggersWithoutReadBack()
    {
        Fixture fx;
        const TTessaraCtrl c = consistentRecord("V1.4.5");
        fx.add(c, QStringLiteral("Tessara 16"));
        QWidget *second = nullptr;
        fx.open(0, [&](QWidget *) {
            configtest::typeInto(fx.config.txtNickname, QStringLiteral("not kept"));
            glwtest::answerModalOf<QMessageBox>([&](QMessageBox *box) {
                glwtest::answerModal([&](QWidget *w) {
                    second = w;
                    w->close();
                }, 10000);
                configtest::click(box->button(QMessageBox::Yes));
            });
            configtest::click(fx.config.btnFirmware);
        });
        QCOMPARE(second, static_cast<QWidget *>(&fx.upload));
        QCOMPARE(fx.received(), QList<QByteArray>{net::orvantic::header(net::orvantic::OpBootloader)});
        QVERIFY(fx.link.controller(0) == c);
    }
};

QTEST_MAIN(TestConfigWorkflow)
#include "tst_config_workflow.moc"
