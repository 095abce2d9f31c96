#include "config/config_workflow_rules.h"

#include "config/colour_order.h"
#include "net/config_datagram.h"
#include "common/decimal_text.h"
#include "config/field_rules.h"
#include "firmware/firmware_check.h"

namespace config::flow {

namespace {

QString number(qint64 n)
{
    return QString::number(n);
}

// Reads the boxes one after another and remembers the first that holds no whole number, so the
// caller can drop the whole read instead of keeping half of it.
class BoxReader {
public:
    qint64 integer(const QString &text, const QString &what)
    {
        if (const auto n = config::fieldrules::parseInteger(text))
            return *n;
        fail(what);
        return 0;
    }
    int gammaTenths(const QString &text, const QString &what)
    {
        if (const auto t = config::fieldrules::gammaTenths(text))
            return *t;
        fail(what);
        return 0;
    }
    bool failed() const { return !m_first.isEmpty(); }
    QString first() const { return m_first; }

private:
    void fail(const QString &what)
    {
        if (m_first.isEmpty())
            m_first = what;
    }
    QString m_first;
};

void readAddress(BoxReader &r, const DialogValues &v, TTessaraCtrl &c)
{
    for (int k = 0; k < 4; ++k) {
        c.StaticIP[k] = quint8(r.integer(v.ip[k], QStringLiteral("IP Address octet %1").arg(k + 1)));
        c.SM[k] = quint8(r.integer(v.sm[k], QStringLiteral("Subnet Mask octet %1").arg(k + 1)));
    }
    c.DHCP = v.dhcp ? 1 : 0;
}

std::optional<TTessaraCtrl> outcome(const BoxReader &r, const TTessaraCtrl &c, QString *unreadable)
{
    if (r.failed()) {
        if (unreadable)
            *unreadable = r.first();
        return std::nullopt;
    }
    return c;
}

} // namespace

Features featuresOf(const TTessaraCtrl &c)
{
    auto atLeast = [&c](int major, int middle, int minor) { return TessFirmwareCheck(c, major, middle, minor); };
    Features f;
    f.versionKnown = tessFirmwareVersion(c.Firmware).has_value();
    f.sixteenOutputs = c.NumStrings == 16;
    f.singleOrderSelectable = atLeast(1, 2, 4);
    f.dmxOutputs = atLeast(1, 2, 9);
    f.allDmxOutputs = f.dmxOutputs && c.HwRev >= 3 && f.sixteenOutputs;
    f.speedChoice = atLeast(1, 3, 0);
    f.perOutputOrder = atLeast(1, 3, 1);
    f.protocolChoice = atLeast(1, 4, 0);
    f.holdFrame = atLeast(1, 4, 4);
    f.groupingEditable = f.holdFrame;
    f.groupingFromRecord = f.groupingEditable || !f.versionKnown;
    f.fan = c.HwRev >= 5;
    f.networkRepair = atLeast(1, 4, 5);
    return f;
}

QStringList chipList(const TTessaraCtrl &c)
{
    QStringList chips{QStringLiteral("TLS3001"), QStringLiteral("SM16716"), QStringLiteral("WS2801"),
                      QStringLiteral("LPD6803"), QStringLiteral("WS2811/12")};
    if (TessFirmwareCheck(c, 1, 2, 3))
        chips << QStringLiteral("MBI6020");
    if (TessFirmwareCheck(c, 1, 2, 7)) {
        chips << QStringLiteral("TM1803") << QStringLiteral("TM1804") << QStringLiteral("TM1809")
              << QStringLiteral("Stella");
        if (!TessFirmwareCheck(c, 1, 3, 0))
            chips << QStringLiteral("WS2811 Slow");
    }
    // Code 10 again: "WS2811 Slow" left the list at 1.3.0, so APA102 takes its place.
    if (TessFirmwareCheck(c, 1, 4, 4))
        chips << QStringLiteral("APA102");
    return chips;
}

QString speedCaption(const Features &f)
{
    return f.speedChoice ? config::fieldrules::SpeedCaption : config::fieldrules::NoSpeedCaption;
}

VoltageDisplay voltageDisplay(quint16 tenths)
{
    if (tenths == 0xFFFF)
        return {QStringLiteral("Powered"), Green};
    if (tenths == 0)
        return {QStringLiteral("Off"), Red};
    return {decimalText(tenths / 10.0, 1) + QLatin1Char('V'), Green};
}

QString nicknameText(const std::array<char16_t, 40> &nickname)
{
    QString text;
    for (char16_t ch : nickname)
        if (ch != 0)
            text += QChar(ch);
    return text;
}

std::array<config::outputmapping::Start, Outputs> simpleMapping(quint16 startUniverse, quint16 startChannel, quint16 pixels)
{
    std::array<config::outputmapping::Start, Outputs> starts{};
    quint16 nextUniv = startUniverse;
    quint16 nextChan = startChannel;
    for (int i = 0; i < Outputs; ++i) {
        starts[i] = {nextUniv, nextChan};
        for (quint16 left = pixels; left > 0; --left) {
            nextChan = quint16(nextChan + 3);
            if (nextChan > 510) {
                nextChan = 1;
                nextUniv = quint16(nextUniv + 1);
            }
        }
    }
    return starts;
}

DialogValues fillValues(const TTessaraCtrl &c)
{
    const Features f = featuresOf(c);
    DialogValues v;
    for (int k = 0; k < 4; ++k) {
        v.ip[k] = number(c.StaticIP[k]);
        v.sm[k] = number(c.SM[k]);
    }
    v.dhcp = c.DHCP == 1;

    v.advanced = c.SacnUniv == 0;
    if (v.advanced) {
        v.startUniv = v.startChan = v.nodes = QStringLiteral("1");
    } else {
        v.startUniv = number(c.SacnUniv);
        v.startChan = number(c.SacnChan);
        v.nodes = number(c.NumNodes[0]);
    }
    if (f.protocolChoice)
        v.artNet = c.Protocol == 1;
    if (f.holdFrame)
        v.holdFrame = c.HoldLastFrame == 1;
    if (f.dmxOutputs) {
        std::array<bool, 4> on{};
        std::array<QString, 4> univ;
        for (int k = 0; k < 4; ++k) {
            on[k] = c.DmxOutOn[k] != 0;
            univ[k] = number(c.DmxOutUniv[k]);
        }
        v.dmxOn = on;
        v.dmxUniv = univ;
    }

    // A code the list does not have (a controller set by other means) shows no chip rather than
    // a wrong one.
    v.chips = chipList(c);
    v.chip = c.DriverChip < v.chips.size() ? c.DriverChip : -1;
    if (f.perOutputOrder) {
        const bool perOutput = c.RgbOrder[0] == 0xFF;
        v.perOutputOrder = perOutput;
        v.order = perOutput ? 0 : config::colourorder::comboIndex(c.RgbOrder[0]);
        std::array<int, Outputs> orders{};
        for (int i = 0; i < Outputs; ++i)
            orders[i] = config::colourorder::comboIndex(c.AdvRgbOrder[i]);
        v.outputOrders = orders;
    } else {
        v.order = f.singleOrderSelectable ? config::colourorder::fromEarlierForm(c.RgbOrder[0], c.RgbOrder[1]) : 0;
    }
    if (f.speedChoice)
        v.slow = c.ProtocolSpeed == 0;

    for (int k = 0; k < 3; ++k) {
        v.gammaTrack[k] = qBound(config::fieldrules::GammaMinTenths, int(c.Gamma[k]), config::fieldrules::GammaMaxTenths);
        v.gamma[k] = config::fieldrules::gammaText(c.Gamma[k]);
    }
    v.lockSliders = c.Gamma[0] == c.Gamma[1] && c.Gamma[1] == c.Gamma[2];

    v.nickname = nicknameText(c.Nickname);
    if (f.fan) {
        v.fan = number(c.FanTemp);
        v.fahrenheit = config::fieldrules::fahrenheitText(c.FanTemp);
    }
    v.firmware = net::tessara::fixedText(c.Firmware);
    v.voltage = {voltageDisplay(c.Voltage[0]), voltageDisplay(c.Voltage[1])};
    // v.rows stays empty: the advanced dialog fills its rows from the record itself, so that its
    // Cancel can reload them the same way.
    return v;
}

std::optional<TTessaraCtrl> readBack(const DialogValues &v, const TTessaraCtrl &before, QString *unreadable)
{
    const Features f = featuresOf(before);
    TTessaraCtrl c = before;
    BoxReader r;

    readAddress(r, v, c);
    if (f.protocolChoice && v.artNet)
        c.Protocol = *v.artNet ? 1 : 0;
    if (f.holdFrame && v.holdFrame)
        c.HoldLastFrame = *v.holdFrame ? 1 : 0;
    if (f.dmxOutputs && v.dmxOn && v.dmxUniv) {
        const int shown = f.allDmxOutputs ? 4 : 1;
        for (int k = 0; k < shown; ++k) {
            c.DmxOutOn[k] = (*v.dmxOn)[k] ? 1 : 0;
            c.DmxOutUniv[k] = quint16(r.integer((*v.dmxUniv)[k], QStringLiteral("DMX Output %1 Universe").arg(k + 1)));
        }
    }
    // A combo box without a selection stands for no choice: the record keeps its own code.
    if (v.chip >= 0)
        c.DriverChip = quint8(v.chip);
    if (f.perOutputOrder && v.perOutputOrder.value_or(false) && v.outputOrders) {
        c.RgbOrder = {0xFF, 0xFF, 0xFF};
        for (int i = 0; i < Outputs; ++i)
            if ((*v.outputOrders)[i] >= 0)
                c.AdvRgbOrder[i] = quint8((*v.outputOrders)[i]);
    } else if (f.perOutputOrder) {
        if (v.order >= 0)
            c.RgbOrder[0] = quint8(v.order);
    } else if (f.versionKnown) {
        c.RgbOrder = config::colourorder::toEarlierForm(v.order);
    }
    if (f.speedChoice && v.slow)
        c.ProtocolSpeed = *v.slow ? 0 : 1;

    const QString gammaNames[] = {QStringLiteral("Red gamma value"), QStringLiteral("Green gamma value"),
                                  QStringLiteral("Blue gamma value")};
    for (int k = 0; k < 3; ++k)
        c.Gamma[k] = quint8(r.gammaTenths(v.gamma[k], gammaNames[k]));

    // The last character stays NUL, whatever the box held.
    net::tessara::setFixedText(c.Nickname, v.nickname.left(qsizetype(c.Nickname.size()) - 1));

    if (f.fan && v.fan)
        c.FanTemp = quint8(config::fieldrules::parseInteger(*v.fan).value_or(35));

    if (v.advanced) {
        c.SacnUniv = 0;
        c.SacnChan = 0;
        for (int i = 0; i < Outputs; ++i) {
            const OutputRow &row = v.rows[i];
            const QString out = QStringLiteral("Output %1 ").arg(i + 1);
            c.NumNodes[i] = quint16(r.integer(row.nodes, out + QStringLiteral("Num Pixels")));
            c.AdvUniv[i] = quint16(r.integer(row.univ, out + QStringLiteral("Start Universe")));
            c.AdvChan[i] = quint16(r.integer(row.chan, out + QStringLiteral("Start Channel")));
            c.AdvNull[i] = quint8(r.integer(row.null, out + QStringLiteral("Null Pixels")));
            c.AdvZig[i] = quint16(r.integer(row.zig, out + QStringLiteral("Zig Zag")));
            c.AdvReverse[i] = row.reversed ? 1 : 0;
            const auto group = quint16(r.integer(row.group, out + QStringLiteral("Group")));
            const auto bright = quint8(r.integer(row.bright, out + QStringLiteral("Intensity Limit")));
            if (f.versionKnown) {
                c.Grouping[i] = group;
                c.Brightness[i] = bright;
            }
        }
    } else {
        c.SacnUniv = quint16(r.integer(v.startUniv, QStringLiteral("Start Universe")));
        c.SacnChan = quint16(r.integer(v.startChan, QStringLiteral("Start Channel")));
        const auto pixels = quint16(r.integer(v.nodes, QStringLiteral("Pixels Per String")));
        const auto starts = simpleMapping(c.SacnUniv, c.SacnChan, pixels);
        for (int i = 0; i < Outputs; ++i) {
            c.NumNodes[i] = pixels;
            c.AdvNull[i] = 0;
            c.AdvZig[i] = 0;
            c.AdvReverse[i] = 0;
            c.AdvUniv[i] = quint16(starts[i].universe);
            c.AdvChan[i] = quint16(starts[i].channel);
        }
    }
    return outcome(r, c, unreadable);
}

std::optional<TTessaraCtrl> readBackNetwork(const DialogValues &v, const TTessaraCtrl &before, QString *unreadable)
{
    TTessaraCtrl c = before;
    BoxReader r;
    readAddress(r, v, c);
    return outcome(r, c, unreadable);
}

IpCheck ipCompatibility(const TTessaraCtrl &c, const QString &adapterNetwork)
{
    if (net::tessara::deviceNetworkAddr(c) == adapterNetwork)
        return IpCheck::SameNetwork;
    return TessFirmwareCheck(c, 1, 4, 5) ? IpCheck::OfferRepair : IpCheck::OldFirmware;
}

} // namespace config::flow
