#include "config/tessara_config.h"

#include "config/colour_order.h"
#include "common/exit_checks.h"
#include "common/form_builders.h"
#include "config/tessara_adv.h"
#include "config/tessara_adv_rgb.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QValidator>

using namespace config::fieldrules;
using namespace common::forms;

namespace {

// Pasting, dropping or typing can never take the nickname past 32 characters, while a longer one a
// controller already holds can still be shortened.
// The box already holds the edited text while it validates, so the length before the edit is kept
// from the last change the box accepted. A text the program sets (the fill) is validated before
// any change signal, and refusing it would leave the box in a state in which it stops undoing
// refused edits; so a text that is not the operator's edit is taken as the new length at once.
class NicknameValidator : public QValidator {
public:
    explicit NicknameValidator(QLineEdit *box) : QValidator(box), m_box(box), m_length(box->text().size())
    {
        connect(box, &QLineEdit::textChanged, this, [this](const QString &text) { m_length = text.size(); });
    }
    State validate(QString &input, int &) const override
    {
        // Setting a text clears the box's edit history, so it is unmodified exactly until the
        // operator's first edit.
        if (!m_box->isModified())
            m_length = input.size();
        return nicknameEditAllowed(m_length, input.size()) ? Acceptable : Invalid;
    }

private:
    QLineEdit *m_box;
    mutable qsizetype m_length;
};

} // namespace

TTessaraConfig::TTessaraConfig(QWidget *parent)
    : QDialog(parent),
      TabControl1(named(new QTabWidget(this), "TabControl1", tr("Settings"))),
      tabNetwork(new QWidget),
      tabControl(new QWidget),
      tabLED(new QWidget),
      tabMisc(new QWidget),
      btnOK(button(this, "btnOK", tr("OK"), {224, 328, 80})),
      btnCancel(button(this, "btnCancel", tr("Cancel"), {314, 328, 80})),
      m_exits(new common::ExitChecks(this))
{
    setObjectName(QStringLiteral("TessaraConfig"));
    setWindowTitle(tr("Tessara Configuration"));
    setFixedSize(404, 359);

    tabNetwork->setObjectName(QStringLiteral("tabNetwork"));
    tabControl->setObjectName(QStringLiteral("tabControl"));
    tabLED->setObjectName(QStringLiteral("tabLED"));
    tabMisc->setObjectName(QStringLiteral("tabMisc"));
    TabControl1->setGeometry(4, 4, 396, 318);
    TabControl1->addTab(tabNetwork, tr("Network"));
    TabControl1->addTab(tabControl, tr("Control"));
    TabControl1->addTab(tabLED, tr("LEDs"));
    TabControl1->addTab(tabMisc, tr("Misc"));

    buildNetworkTab();
    buildControlTab();
    buildLedTab();
    buildMiscTab();

    // Kept between showings; the first showing opens on "Misc".
    TabControl1->setCurrentIndex(MiscTab);

    // Bottom left, where the dialog has room; made last, so it comes after OK and Cancel by Tab.
    btnSave = button(this, "btnSave", tr("Save…"), {10, 328, 80}, tr("Save settings to a file"));
    connect(btnSave, &QPushButton::clicked, this, &TTessaraConfig::saveClicked);
    connect(btnOK, &QPushButton::clicked, this, [this] { done(ResultOK); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(ResultCancel); });
}

TTessaraConfig::~TTessaraConfig()
{
    m_exits->stop();
}

void TTessaraConfig::buildNetworkTab()
{
    gboxNetwork = group(tabNetwork, "gboxNetwork", tr("IP Address"), {6, 6, 378, 132});
    lblIP = label(gboxNetwork, "lblIP", tr("(Static) IP Address:"), {10, 26, 136});
    lblSM = label(gboxNetwork, "lblSM", tr("(Static) Subnet Mask:"), {10, 60, 136});
    constexpr int OctetX = 152, OctetPitch = 54, OctetWidth = 44;
    for (int k = 0; k < 4; ++k) {
        const QByteArray ipName = "IP" + QByteArray::number(k + 1);
        const QByteArray smName = "SM" + QByteArray::number(k + 1);
        IP[k] = edit(gboxNetwork, ipName.constData(), tr("IP Address octet %1").arg(k + 1),
                     {OctetX + k * OctetPitch, 26, OctetWidth});
        SM[k] = edit(gboxNetwork, smName.constData(), tr("Subnet Mask octet %1").arg(k + 1),
                     {OctetX + k * OctetPitch, 60, OctetWidth});
        for (QLineEdit *box : {IP[k], SM[k]})
            m_exits->add(box, [this, box] { IP_SMExit(box); });
    }
    // The dots between the octets.
    for (int d = 0; d < 6; ++d) {
        const int x = OctetX + (d % 3) * OctetPitch + OctetWidth + (OctetPitch - OctetWidth) / 2 - 2;
        const int y = (d < 3 ? 26 : 60) + RowHeight - 7;
        RoundRect[d] = new QFrame(gboxNetwork);
        RoundRect[d]->setObjectName(QStringLiteral("RoundRect%1").arg(d + 1));
        RoundRect[d]->setGeometry(x, y, 4, 4);
        RoundRect[d]->setStyleSheet(QStringLiteral("background: palette(text); border-radius: 2px;"));
    }
    lblIP->setBuddy(IP[0]);
    lblSM->setBuddy(SM[0]);

    lblDHCP = label(gboxNetwork, "lblDHCP", tr("Type of IP:"), {10, 94, 136});
    radioDHCP = button<QRadioButton>(gboxNetwork, "radioDHCP", tr("DHCP"), {OctetX, 94, 80});
    radioStatic =
        button<QRadioButton>(gboxNetwork, "radioStatic", tr("Static"), {OctetX + 90, 94, 80}, tr("Static IP"));
    auto *ipType = new QButtonGroup(gboxNetwork);
    ipType->addButton(radioDHCP);
    ipType->addButton(radioStatic);
}

void TTessaraConfig::buildControlTab()
{
    gboxEthernet = group(tabControl, "gboxEthernet", tr("Ethernet Control"), {6, 4, 378, 164});
    QWidget *g = gboxEthernet;
    constexpr int BoxX = 126, BoxW = 56, StepX = BoxX + BoxW + 4;
    lblUniv = label(g, "lblUniv", tr("Start Universe:"), {10, 22, 114});
    txtStartUniv = edit(g, "txtStartUniv", tr("Start Universe"), {BoxX, 22, BoxW}, QStringLiteral("0"));
    std::tie(btnUnivUp, btnUnivDown) = steppers(g, "btnUnivUp", "btnUnivDown", tr("Start Universe"), StepX, 22);
    lblStartChan = label(g, "lblStartChan", tr("Start Channel:"), {10, 50, 114});
    txtStartChan = edit(g, "txtStartChan", tr("Start Channel"), {BoxX, 50, BoxW}, QStringLiteral("0"));
    std::tie(btnChanUp, btnChanDown) = steppers(g, "btnChanUp", "btnChanDown", tr("Start Channel"), StepX, 50);
    lblNodes = label(g, "lblNodes", tr("Pixels Per String:"), {10, 78, 114});
    txtNodes = edit(g, "txtNodes", tr("Pixels Per String"), {BoxX, 78, BoxW}, QStringLiteral("0"));
    std::tie(btnNodesUp, btnNodesDown) = steppers(g, "btnNodesUp", "btnNodesDown", tr("Pixels Per String"), StepX, 78);
    for (QLineEdit *numeric : {txtStartUniv, txtNodes})
        numeric->setInputMethodHints(Qt::ImhDigitsOnly);
    lblUniv->setBuddy(txtStartUniv);
    lblStartChan->setBuddy(txtStartChan);
    lblNodes->setBuddy(txtNodes);

    checkAdv = button<QCheckBox>(g, "checkAdv", tr("Advanced"), {270, 22, 100}, tr("Advanced mapping per output"));
    btnAdvanced = button(g, "btnAdvanced", tr("Advanced"), {270, 50, 96}, tr("Advanced mapping"));

    lblProtocol = label(g, "lblProtocol", tr("Ethernet Protocol:"), {10, 108, 114});
    radioSACN = button<QRadioButton>(g, "radioSACN", tr("sACN (E1.31)"), {BoxX, 108, 118});
    radioArtNet = button<QRadioButton>(g, "radioArtNet", tr("ArtNet"), {270, 108, 90});
    radioSACN->setChecked(true);
    auto *protocol = new QButtonGroup(g);
    protocol->addButton(radioSACN);
    protocol->addButton(radioArtNet);
    checkHoldFrame = button<QCheckBox>(g, "checkHoldFrame", tr("Hold Last Frame (Timeout Action)"), {10, 134, 300});

    gboxDMX = group(tabControl, "gboxDMX", tr("sACN to DMX512 Outputs"), {6, 172, 378, 110});
    // Outputs 1 and 2 in the left column, 3 and 4 in the right.
    constexpr int ColumnX[] = {4, 194};
    lblDMXOn1 = label(gboxDMX, "lblDMXOn1", tr("Off/On"), {ColumnX[0] + 30, 18, 42});
    lblDMXUniv1 = label(gboxDMX, "lblDMXUniv1", tr("Universe"), {ColumnX[0] + 74, 18, 64});
    lblDMXOn2 = label(gboxDMX, "lblDMXOn2", tr("Off/On"), {ColumnX[1] + 30, 18, 42});
    lblDMXUniv2 = label(gboxDMX, "lblDMXUniv2", tr("Universe"), {ColumnX[1] + 74, 18, 64});
    using Handler = void (TTessaraConfig::*)();
    const Handler exits[] = {&TTessaraConfig::txtOut1Exit, &TTessaraConfig::txtOut2Exit,
                             &TTessaraConfig::txtOut3Exit, &TTessaraConfig::txtOut4Exit};
    const Handler ups[] = {&TTessaraConfig::btnOut1UpClick, &TTessaraConfig::btnOut2UpClick,
                           &TTessaraConfig::btnOut3UpClick, &TTessaraConfig::btnOut4UpClick};
    const Handler downs[] = {&TTessaraConfig::btnOut1DownClick, &TTessaraConfig::btnOut2DownClick,
                             &TTessaraConfig::btnOut3DownClick, &TTessaraConfig::btnOut4DownClick};
    for (int k = 0; k < 4; ++k) {
        const int x = ColumnX[k / 2];
        const int y = 44 + (k % 2) * 30;
        const QString out = tr("Out %1:").arg(k + 1);
        const QString what = tr("DMX Output %1").arg(k + 1);
        const QByteArray n = QByteArray::number(k + 1);
        lblOut[k] = label(gboxDMX, ("lblOut" + n).constData(), out, {x + 2, y, 42});
        switchOut[k] =
            button<QCheckBox>(gboxDMX, ("switchOut" + n).constData(), QString(), {x + 46, y, 22}, what + tr(" On"));
        txtOut[k] =
            edit(gboxDMX, ("txtOut" + n).constData(), what + tr(" Universe"), {x + 74, y, 46}, QStringLiteral("0"));
        std::tie(btnOutUp[k], btnOutDown[k]) = steppers(gboxDMX, ("btnOut" + n + "Up").constData(),
                                                        ("btnOut" + n + "Down").constData(), what + tr(" Universe"),
                                                        x + 124, y);
        m_exits->add(txtOut[k], [this, exit = exits[k]] { (this->*exit)(); });
        connect(btnOutUp[k], &QPushButton::clicked, this, ups[k]);
        connect(btnOutDown[k], &QPushButton::clicked, this, downs[k]);
    }

    m_exits->add(txtStartUniv, [this] { txtStartUnivExit(); });
    m_exits->add(txtStartChan, [this] { txtStartChanExit(); });
    m_exits->add(txtNodes, [this] { txtNodesExit(); });
    connect(btnUnivUp, &QPushButton::clicked, this, &TTessaraConfig::btnUnivUpClick);
    connect(btnUnivDown, &QPushButton::clicked, this, &TTessaraConfig::btnUnivDownClick);
    connect(btnChanUp, &QPushButton::clicked, this, &TTessaraConfig::btnChanUpClick);
    connect(btnChanDown, &QPushButton::clicked, this, &TTessaraConfig::btnChanDownClick);
    connect(btnNodesUp, &QPushButton::clicked, this, &TTessaraConfig::btnNodesUpClick);
    connect(btnNodesDown, &QPushButton::clicked, this, &TTessaraConfig::btnNodesDownClick);
    connect(checkAdv, &QCheckBox::toggled, this, &TTessaraConfig::checkAdvChange);
    connect(btnAdvanced, &QPushButton::clicked, this, &TTessaraConfig::btnAdvancedClick);
    connect(radioSACN, &QRadioButton::toggled, this, &TTessaraConfig::radioSACNChange);
}

void TTessaraConfig::buildLedTab()
{
    gboxLEDs = group(tabLED, "gboxLEDs", tr("LED Pixels"), {6, 4, 378, 92});
    QWidget *g = gboxLEDs;
    lblChip = label(g, "lblChip", tr("Pixel IC:"), {10, 24, 76});
    comboChip = placed(named(new QComboBox(g), "comboChip", tr("Pixel IC")), {88, 24, 116});
    lblChip->setBuddy(comboChip);
    lblSpeed = label(g, "lblSpeed", NoSpeedCaption, {212, 24, 48});
    radioSlow = button<QRadioButton>(g, "radioSlow", tr("Slow"), {258, 24, 56}, tr("Slow pixel data"));
    radioFast = button<QRadioButton>(g, "radioFast", tr("Fast"), {316, 24, 56}, tr("Fast pixel data"));
    auto *speed = new QButtonGroup(g);
    speed->addButton(radioSlow);
    speed->addButton(radioFast);

    lblRGB = label(g, "lblRGB", tr("RGB Order:"), {10, 56, 76});
    comboRGB = placed(named(new QComboBox(g), "comboRGB", tr("RGB Order")), {88, 56, 80});
    comboRGB->addItems(config::colourorder::itemTexts());
    comboRGB->setCurrentIndex(-1);
    lblRGB->setBuddy(comboRGB);
    checkAdvRGB = button<QCheckBox>(g, "checkAdvRGB", tr("Advanced"), {176, 56, 94}, tr("Colour order per output"));
    btnAdvancedRGB = button(g, "btnAdvancedRGB", tr("Advanced"), {276, 56, 94}, tr("Colour order per output"));

    gboxGamma = group(tabLED, "gboxGamma", tr("Gamma Correction"), {6, 100, 378, 182});
    Label4 = label(gboxGamma, "Label4",
                   tr("Gamma correction can only be applied to chips that are higher than 8 bit."), {10, 18, 360, 34});
    Label4->setWordWrap(true);
    lblGammaRed = label(gboxGamma, "lblGammaRed", tr("Red:"), {10, 56, 50});
    Label2 = label(gboxGamma, "Label2", tr("Green:"), {10, 86, 50});
    Label3 = label(gboxGamma, "Label3", tr("Blue:"), {10, 116, 50});
    const QLabel *labels[] = {lblGammaRed, Label2, Label3};
    const char *trackNames[] = {"trackGammaRed", "trackGammaGreen", "trackGammaBlue"};
    const char *textNames[] = {"txtGammaRed", "txtGammaGreen", "txtGammaBlue"};
    const QString colours[] = {tr("Red"), tr("Green"), tr("Blue")};
    using Handler = void (TTessaraConfig::*)();
    const Handler exits[] = {&TTessaraConfig::txtGammaRedExit, &TTessaraConfig::txtGammaGreenExit,
                             &TTessaraConfig::txtGammaBlueExit};
    const Handler changes[] = {&TTessaraConfig::trackGammaRedChange, &TTessaraConfig::trackGammaGreenChange,
                               &TTessaraConfig::trackGammaBlueChange};
    for (int c = 0; c < 3; ++c) {
        auto *track = named(new QSlider(Qt::Horizontal, gboxGamma), trackNames[c], tr("%1 gamma").arg(colours[c]));
        track->setGeometry(64, labels[c]->y(), 240, RowHeight);
        track->setRange(GammaMinTenths, GammaMaxTenths);
        track->setSingleStep(1);
        track->setPageStep(1);
        track->setTickInterval(1);
        track->setTickPosition(QSlider::TicksBelow);
        track->setValue(GammaMinTenths);
        m_tracks[c] = track;
        m_gammaTexts[c] = edit(gboxGamma, textNames[c], tr("%1 gamma value").arg(colours[c]),
                               {312, labels[c]->y(), 56}, QStringLiteral("0"));
        m_exits->add(m_gammaTexts[c], [this, exit = exits[c]] { (this->*exit)(); });
        connect(track, &QSlider::valueChanged, this, changes[c]);
    }
    trackGammaRed = m_tracks[Red];
    trackGammaGreen = m_tracks[Green];
    trackGammaBlue = m_tracks[Blue];
    txtGammaRed = m_gammaTexts[Red];
    txtGammaGreen = m_gammaTexts[Green];
    txtGammaBlue = m_gammaTexts[Blue];

    lblTrackLock = label(gboxGamma, "lblTrackLock", tr("Lock Sliders:"), {10, 148, 92});
    switchLockSliders =
        button<QCheckBox>(gboxGamma, "switchLockSliders", QString(), {104, 148, 22}, tr("Lock Sliders"));
    lblTrackLock->setBuddy(switchLockSliders);

    connect(comboChip, &QComboBox::currentIndexChanged, this, &TTessaraConfig::comboChipChange);
    connect(checkAdvRGB, &QCheckBox::toggled, this, &TTessaraConfig::checkAdvRGBChange);
    connect(btnAdvancedRGB, &QPushButton::clicked, this, &TTessaraConfig::btnAdvancedRGBClick);
}

void TTessaraConfig::buildMiscTab()
{
    gboxMisc = group(tabMisc, "gboxMisc", tr("Misc"), {6, 4, 378, 96});
    QWidget *g = gboxMisc;
    lblNickname = label(g, "lblNickname", tr("Nickname:"), {10, 26, 76});
    txtNickname = edit(g, "txtNickname", tr("Nickname"), {88, 26, 280});
    txtNickname->setValidator(new NicknameValidator(txtNickname));
    txtNickname->installEventFilter(this);
    lblNickname->setBuddy(txtNickname);
    lblFan = label(g, "lblFan", tr("Fan Control - Fully On Temp:"), {10, 60, 184});
    txtFan = edit(g, "txtFan", tr("Fan fully on temperature"), {194, 60, 40});
    lblFan->setBuddy(txtFan);
    std::tie(btnFanUp, btnFanDown) = steppers(g, "btnFanUp", "btnFanDown", tr("Fan temperature"), 238, 60);
    lblFanUnit = label(g, "lblFanUnit", tr("°C"), {290, 60, 22});
    lblTempF = valueLabel(g, "lblTempF", tr("°F"), {314, 60, 58}, tr("Fan fully on temperature in Fahrenheit"));

    gboxFirmware = group(tabMisc, "gboxFirmware", tr("Firmware"), {6, 106, 378, 64});
    lblFirmware = valueLabel(gboxFirmware, "lblFirmware", tr("V0.0.0"), {10, 28, 200}, tr("Firmware version"));
    btnFirmware = button(gboxFirmware, "btnFirmware", tr("Update Firmware"), {230, 26, 138});

    gboxVoltage = group(tabMisc, "gboxVoltage", tr("Voltage"), {6, 176, 378, 82});
    Label5 = label(gboxVoltage, "Label5", tr("Bank 1:"), {10, 24, 60});
    lblVolt1 = valueLabel(gboxVoltage, "lblVolt1", QString(), {72, 24, 120}, tr("Bank 1 voltage"));
    Label6 = label(gboxVoltage, "Label6", tr("Bank 2:"), {10, 50, 60});
    lblVolt2 = valueLabel(gboxVoltage, "lblVolt2", QString(), {72, 50, 120}, tr("Bank 2 voltage"));

    m_exits->add(txtFan, [this] { txtFanExit(); });
    connect(btnFanUp, &QPushButton::clicked, this, &TTessaraConfig::btnFanUpClick);
    connect(btnFanDown, &QPushButton::clicked, this, &TTessaraConfig::btnFanDownClick);
    connect(btnFirmware, &QPushButton::clicked, this, &TTessaraConfig::btnFirmwareClick);
}

void TTessaraConfig::btnFirmwareClick()
{
    // The bootloader stops the controller's outputs: on a show site one stray key press must not
    // put out the lights of a controller, so the operator confirms, with No as the default.
    QString which = tr("this controller");
    if (const auto record = m_selected ? m_selected() : std::nullopt) {
        const QString nickname = net::tessara::fixedText(record->Nickname).remove(QChar(0)).trimmed();
        const QString ip = net::tessara::ipText(record->CurrentIP);
        which = nickname.isEmpty() ? tr("the controller at %1").arg(ip) : tr("\"%1\" (%2)").arg(nickname, ip);
    }
    QMessageBox box(QMessageBox::Warning, windowTitle(), tr("Update the firmware of %1?").arg(which),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(tr("The controller restarts into its bootloader: its outputs stop until new firmware "
                              "has been sent to it."));
    box.setObjectName(QStringLiteral("ConfirmFirmware"));
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() == QMessageBox::Yes)
        done(ResultFirmware);
}

void TTessaraConfig::setSubDialogs(TTessaraAdv *adv, TTessaraAdvRGB *advRgb)
{
    m_adv = adv;
    m_advRgb = advRgb;
    if (m_adv)
        m_adv->setPixelMaximumSource([this] { return pixelMaximum(); });
}

void TTessaraConfig::setSelectedController(ControllerSource source)
{
    m_selected = std::move(source);
}

qint64 TTessaraConfig::pixelMaximum() const
{
    // The row's own flag, not whether it is on screen: the dialog may be closed when asked.
    return config::fieldrules::pixelMaximum(!lblVolt2->isHidden());
}

IntegerRule TTessaraConfig::pixelRule() const
{
    return {QStringLiteral("1"), 1, pixelMaximum()};
}

void TTessaraConfig::applyRule(QLineEdit *box, const IntegerRule &rule)
{
    const QString checked = checkInteger(box->text(), rule);
    if (checked != box->text())
        box->setText(checked);
}

void TTessaraConfig::IP_SMExit(QObject *sender)
{
    if (auto *box = qobject_cast<QLineEdit *>(sender))
        applyRule(box, OctetRule);
}

void TTessaraConfig::txtStartUnivExit()
{
    applyRule(txtStartUniv, UniverseRule);
}

void TTessaraConfig::txtStartChanExit()
{
    const QString checked = checkStartChannel(txtStartChan->text());
    if (checked != txtStartChan->text())
        txtStartChan->setText(checked);
}

void TTessaraConfig::txtNodesExit()
{
    applyRule(txtNodes, pixelRule());
}

void TTessaraConfig::txtOutExit(int output)
{
    applyRule(txtOut[output], UniverseRule);
}

void TTessaraConfig::txtFanExit()
{
    applyRule(txtFan, FanRule);
    refreshFahrenheit();
}

void TTessaraConfig::refreshFahrenheit()
{
    lblTempF->setText(fahrenheitText(valueOf(txtFan->text(), FanRule)));
}

void TTessaraConfig::txtGammaExit(Colour colour)
{
    QLineEdit *box = m_gammaTexts[colour];
    const Gamma gamma = checkGamma(box->text());
    if (gamma.text != box->text())
        box->setText(gamma.text);
    if (switchLockSliders->isChecked())
        for (int c = 0; c < 3; ++c)
            if (c != colour)
                m_tracks[c]->setValue(gamma.tenths);
    m_tracks[colour]->setValue(gamma.tenths);
}

void TTessaraConfig::trackGammaChange(Colour colour)
{
    const int tenths = m_tracks[colour]->value();
    if (switchLockSliders->isChecked()) {
        for (int c = 0; c < 3; ++c) {
            if (c == colour)
                continue;
            m_tracks[c]->setValue(tenths);
            m_gammaTexts[c]->setText(gammaText(tenths));
        }
    }
    m_gammaTexts[colour]->setText(gammaText(tenths));
}

void TTessaraConfig::step(QLineEdit *box, const StepRule &rule, bool up)
{
    m_exits->runFocused(); // a box left without a click (the stepper may not take the focus)
    const QString stepped = up ? stepUp(box->text(), rule) : stepDown(box->text(), rule);
    if (stepped != box->text())
        box->setText(stepped);
}

void TTessaraConfig::btnUnivUpClick()
{
    step(txtStartUniv, UniverseStep, true);
}

void TTessaraConfig::btnUnivDownClick()
{
    step(txtStartUniv, UniverseStep, false);
}

void TTessaraConfig::btnChanUpClick()
{
    step(txtStartChan, StartChannelStep, true);
}

void TTessaraConfig::btnChanDownClick()
{
    step(txtStartChan, StartChannelStep, false);
}

void TTessaraConfig::btnNodesUpClick()
{
    step(txtNodes, pixelStep(pixelMaximum()), true);
}

void TTessaraConfig::btnNodesDownClick()
{
    step(txtNodes, pixelStep(pixelMaximum()), false);
}

void TTessaraConfig::btnOutUpClick(int output)
{
    step(txtOut[output], UniverseStep, true);
}

void TTessaraConfig::btnOutDownClick(int output)
{
    step(txtOut[output], UniverseStep, false);
}

void TTessaraConfig::btnFanUpClick()
{
    step(txtFan, FanStep, true);
    refreshFahrenheit();
}

void TTessaraConfig::btnFanDownClick()
{
    step(txtFan, FanStep, false);
    refreshFahrenheit();
}

void TTessaraConfig::checkAdvChange()
{
    const bool advanced = checkAdv->isChecked();
    btnAdvanced->setEnabled(advanced);
    for (QWidget *w : std::initializer_list<QWidget *>{txtStartUniv, txtStartChan, txtNodes, btnUnivUp, btnUnivDown,
                                                       btnChanUp, btnChanDown, btnNodesUp, btnNodesDown})
        w->setEnabled(!advanced);
}

void TTessaraConfig::checkAdvRGBChange()
{
    const bool perOutput = checkAdvRGB->isChecked();
    btnAdvancedRGB->setEnabled(perOutput);
    comboRGB->setEnabled(!perOutput);
}

void TTessaraConfig::radioSACNChange()
{
    gboxDMX->setEnabled(radioSACN->isChecked());
}

void TTessaraConfig::comboChipChange()
{
    const bool shown = speedChoiceShown(comboChip->currentIndex(), lblSpeed->text());
    lblSpeed->setVisible(shown);
    radioSlow->setVisible(shown);
    radioFast->setVisible(shown);
}

void TTessaraConfig::txtNicknameKeyDown(int, QChar &character)
{
    if (txtNickname->text().size() >= NicknameTypedMax)
        character = QChar();
}

bool TTessaraConfig::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtNickname && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QString typed = key->text();
        // Shortcuts (Ctrl+A, Ctrl+V) type nothing; AltGr, which some systems report as Ctrl+Alt, does.
        const Qt::KeyboardModifiers mods = key->modifiers();
        const bool shortcut = (mods & (Qt::ControlModifier | Qt::MetaModifier)) && !(mods & Qt::AltModifier);
        if (!shortcut && !typed.isEmpty() && typed.at(0).isPrint()) {
            QChar character = typed.at(0);
            txtNicknameKeyDown(key->key(), character);
            if (character.isNull())
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TTessaraConfig::btnAdvancedClick()
{
    if (!m_adv)
        return;
    if (m_adv->exec() == TTessaraAdv::ResultCancel && m_selected)
        if (const auto record = m_selected())
            m_adv->reloadFromRecord(*record);
}

void TTessaraConfig::btnAdvancedRGBClick()
{
    if (!m_advRgb)
        return;
    if (m_advRgb->exec() == TTessaraAdvRGB::ResultCancel && m_selected)
        if (const auto record = m_selected())
            m_advRgb->setOrders(record->AdvRgbOrder);
}

void TTessaraConfig::done(int result)
{
    m_exits->runFocused(); // OK, Cancel or Escape straight from a box: never leave it unchecked
    QDialog::done(result);
}

void TTessaraConfig::reject()
{
    done(ResultCancel);
}
