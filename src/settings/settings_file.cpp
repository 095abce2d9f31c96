#include "settings/settings_file.h"

#include "config/colour_order.h"
#include "config/field_rules.h"
#include "rdm/quorix_texts.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <cmath>

namespace settings {

namespace {

using config::flow::Outputs;

const QString NetworkFamily = QStringLiteral("network");
const QString UsbFamily = QStringLiteral("usb");
const QString QuorixModel = QStringLiteral("Quorix 16");

QString macText(const std::array<quint8, 6> &mac)
{
    QStringList parts;
    for (quint8 b : mac)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(':'));
}

QString dotted(const std::array<QString, 4> &octets)
{
    return QStringList(octets.begin(), octets.end()).join(QLatin1Char('.'));
}

// Gamma travels as a number with one decimal; the boxes hold it as the locale writes it.
double gammaNumber(const QString &text)
{
    return config::fieldrules::gammaTenths(text).value_or(0) / 10.0;
}

QString orderText(int index)
{
    return index >= 0 && index < config::colourorder::Count ? config::colourorder::itemTexts().at(index) : QString();
}

QJsonObject networkSettings(const Entry &e)
{
    const config::flow::DialogValues &v = e.values;
    QJsonObject s;
    s[u"dhcp"] = v.dhcp;
    s[u"ipAddress"] = dotted(v.ip);
    s[u"subnetMask"] = dotted(v.sm);
    s[u"advanced"] = v.advanced;
    if (v.advanced) {
        QJsonArray rows;
        for (const config::flow::OutputRow &r : v.rows)
            rows.append(QJsonObject{{QStringLiteral("startUniverse"), r.univ.toLongLong()},
                                    {QStringLiteral("startChannel"), r.chan.toLongLong()},
                                    {QStringLiteral("pixels"), r.nodes.toLongLong()},
                                    {QStringLiteral("nullPixels"), r.null.toLongLong()},
                                    {QStringLiteral("zigZag"), r.zig.toLongLong()},
                                    {QStringLiteral("reversed"), r.reversed},
                                    {QStringLiteral("group"), r.group.toLongLong()},
                                    {QStringLiteral("intensityLimit"), r.bright.toLongLong()}});
        s[u"outputs"] = rows;
    } else {
        s[u"startUniverse"] = v.startUniv.toLongLong();
        s[u"startChannel"] = v.startChan.toLongLong();
        s[u"pixelsPerString"] = v.nodes.toLongLong();
    }
    if (v.artNet)
        s[u"protocol"] = *v.artNet ? QStringLiteral("Art-Net") : QStringLiteral("sACN");
    if (v.holdFrame)
        s[u"holdLastFrame"] = *v.holdFrame;
    if (v.dmxOn && v.dmxUniv) {
        QJsonArray dmx;
        for (int k = 0; k < 4; ++k)
            dmx.append(QJsonObject{{QStringLiteral("on"), (*v.dmxOn)[k]}, {QStringLiteral("universe"), (*v.dmxUniv)[k].toLongLong()}});
        s[u"dmxOutputs"] = dmx;
    }
    s[u"chip"] = v.chip >= 0 && v.chip < v.chips.size() ? v.chips.at(v.chip) : QString();
    s[u"colourOrder"] = orderText(v.order);
    if (v.perOutputOrder)
        s[u"colourOrderPerOutput"] = *v.perOutputOrder;
    if (v.outputOrders) {
        QJsonArray orders;
        for (int o : *v.outputOrders)
            orders.append(orderText(o));
        s[u"outputColourOrders"] = orders;
    }
    if (v.slow)
        s[u"speed"] = *v.slow ? QStringLiteral("slow") : QStringLiteral("fast");
    s[u"gamma"] = QJsonArray{gammaNumber(v.gamma[0]), gammaNumber(v.gamma[1]), gammaNumber(v.gamma[2])};
    if (v.fan)
        s[u"fanThreshold"] = v.fan->toLongLong();
    return s;
}

QJsonObject entryObject(const Entry &e)
{
    QJsonObject o;
    const bool net = e.family == Family::Network;
    o[u"family"] = net ? NetworkFamily : UsbFamily;
    o[u"model"] = e.model;
    o[u"hardware"] = e.hardware;
    o[u"firmware"] = e.firmware;
    o[net ? QStringLiteral("mac") : QStringLiteral("uid")] = e.id;
    if (net)
        o[u"address"] = e.address;
    o[u"nickname"] = e.nickname;
    if (net)
        o[u"settings"] = networkSettings(e);
    else
        o[u"settings"] = QJsonObject{{QStringLiteral("mode"), e.edits.personality},
                                     {QStringLiteral("startAddress"), e.edits.startAddress},
                                     {QStringLiteral("gamma"), e.edits.gammaTenths / 10.0}};
    return o;
}

// Reads one object's members and keeps the first fault, named by its path in the file.
class Reader {
public:
    bool failed() const { return m_failed; }
    Failure failure() const { return {m_error, {}}; }
    void fail(const QString &path, const QString &why)
    {
        if (m_failed)
            return;
        m_failed = true;
        m_error = path + QStringLiteral(": ") + why;
    }

    bool has(const QJsonObject &o, const QString &key) const { return o.contains(key); }

    QJsonValue member(const QJsonObject &o, const QString &path, const QString &key)
    {
        if (!o.contains(key))
            fail(path + key, QStringLiteral("missing"));
        return o.value(key);
    }
    QJsonObject object(const QJsonValue &v, const QString &path)
    {
        if (!v.isObject())
            fail(path, QStringLiteral("not an object"));
        return v.toObject();
    }
    QJsonArray array(const QJsonValue &v, const QString &path, qsizetype size)
    {
        if (!v.isArray())
            fail(path, QStringLiteral("not a list"));
        else if (v.toArray().size() != size)
            fail(path, QStringLiteral("a list of %1 expected").arg(size));
        return v.toArray();
    }
    bool boolean(const QJsonValue &v, const QString &path)
    {
        if (!v.isBool())
            fail(path, QStringLiteral("true or false expected"));
        return v.toBool();
    }
    QString text(const QJsonValue &v, const QString &path, qsizetype maxLength = -1)
    {
        if (!v.isString())
            fail(path, QStringLiteral("a text expected"));
        else if (maxLength >= 0 && v.toString().size() > maxLength)
            fail(path, QStringLiteral("longer than %1 characters").arg(maxLength));
        return v.toString();
    }
    QString oneOf(const QJsonValue &v, const QString &path, const QStringList &allowed)
    {
        const QString t = text(v, path);
        if (!m_failed && !allowed.contains(t))
            fail(path, QStringLiteral("one of \"%1\" expected").arg(allowed.join(QStringLiteral("\", \""))));
        return t;
    }
    // A whole number within the field's limits.
    qint64 integer(const QJsonValue &v, const QString &path, qint64 minimum, qint64 maximum)
    {
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::floor(d)) {
            fail(path, QStringLiteral("a whole number expected"));
            return minimum;
        }
        if (d < double(minimum) || d > double(maximum)) {
            fail(path, QStringLiteral("%1 is outside %2 to %3").arg(QString::number(d, 'f', 0)).arg(minimum).arg(maximum));
            return minimum;
        }
        return qint64(d);
    }
    qint64 integer(const QJsonValue &v, const QString &path, const config::fieldrules::IntegerRule &rule)
    {
        return integer(v, path, rule.minimum, rule.maximum);
    }
    // Gamma in tenths, from a number with at most one decimal.
    int gamma(const QJsonValue &v, const QString &path)
    {
        const double tenths = v.toDouble() * 10.0;
        if (!v.isDouble() || std::fabs(tenths - std::round(tenths)) > 1e-6) {
            fail(path, QStringLiteral("a number with one decimal expected"));
            return config::fieldrules::GammaMinTenths;
        }
        const int t = int(std::round(tenths));
        if (t < config::fieldrules::GammaMinTenths || t > config::fieldrules::GammaMaxTenths) {
            fail(path, QStringLiteral("outside 1.0 to 3.0"));
            return config::fieldrules::GammaMinTenths;
        }
        return t;
    }
    std::array<QString, 4> address(const QJsonValue &v, const QString &path)
    {
        std::array<QString, 4> octets;
        const QStringList parts = text(v, path).split(QLatin1Char('.'));
        if (m_failed)
            return octets;
        if (parts.size() != 4) {
            fail(path, QStringLiteral("four numbers a.b.c.d expected"));
            return octets;
        }
        for (int k = 0; k < 4; ++k) {
            const auto n = config::fieldrules::parseInteger(parts[k]);
            if (!n || parts[k].trimmed() != parts[k] || !parts[k].front().isDigit()) {
                fail(path, QStringLiteral("octet %1 is not a number").arg(k + 1));
                return octets;
            }
            if (*n < config::fieldrules::OctetRule.minimum || *n > config::fieldrules::OctetRule.maximum) {
                fail(path, QStringLiteral("octet %1 is outside 0 to 255").arg(k + 1));
                return octets;
            }
            octets[k] = QString::number(*n);
        }
        return octets;
    }

private:
    QString m_error;
    bool m_failed = false;
};

QString num(qint64 n)
{
    return QString::number(n);
}

int orderIndex(Reader &r, const QJsonValue &v, const QString &path)
{
    QStringList allowed = config::colourorder::itemTexts();
    allowed.append(QString()); // no selection
    return config::colourorder::itemTexts().indexOf(r.oneOf(v, path, allowed));
}

qint64 startChannel(Reader &r, const QJsonValue &v, const QString &path)
{
    const qint64 n = r.integer(v, path, 1, config::fieldrules::StartChannelMax);
    if (!r.failed() && config::fieldrules::checkStartChannel(num(n)) != num(n))
        r.fail(path, QStringLiteral("%1 is not the first channel of a pixel (1, 4, 7, ...)").arg(n));
    return n;
}

void readNetworkSettings(Reader &r, const QJsonObject &s, const QString &p, Entry &e)
{
    config::flow::DialogValues &v = e.values;
    const qint64 pixelMax = config::fieldrules::pixelMaximum(e.model != QLatin1String("Tessara 4"));
    const config::fieldrules::IntegerRule pixelRule{QStringLiteral("1"), 1, pixelMax};

    v.dhcp = r.boolean(r.member(s, p, QStringLiteral("dhcp")), p + QStringLiteral("dhcp"));
    v.ip = r.address(r.member(s, p, QStringLiteral("ipAddress")), p + QStringLiteral("ipAddress"));
    v.sm = r.address(r.member(s, p, QStringLiteral("subnetMask")), p + QStringLiteral("subnetMask"));
    v.advanced = r.boolean(r.member(s, p, QStringLiteral("advanced")), p + QStringLiteral("advanced"));
    if (r.failed())
        return;
    if (v.advanced) {
        const QJsonArray rows = r.array(r.member(s, p, QStringLiteral("outputs")), p + QStringLiteral("outputs"), Outputs);
        for (int i = 0; i < Outputs && !r.failed(); ++i) {
            const QString rp = p + QStringLiteral("outputs[%1].").arg(i);
            const QJsonObject o = r.object(rows.at(i), rp.chopped(1));
            if (r.failed())
                return;
            config::flow::OutputRow &row = v.rows[i];
            row.univ = num(r.integer(r.member(o, rp, QStringLiteral("startUniverse")), rp + QStringLiteral("startUniverse"),
                                     config::fieldrules::UniverseRule));
            row.chan = num(startChannel(r, r.member(o, rp, QStringLiteral("startChannel")), rp + QStringLiteral("startChannel")));
            row.nodes = num(r.integer(r.member(o, rp, QStringLiteral("pixels")), rp + QStringLiteral("pixels"), pixelRule));
            row.null = num(r.integer(r.member(o, rp, QStringLiteral("nullPixels")), rp + QStringLiteral("nullPixels"),
                                     config::fieldrules::NullRule));
            row.zig = num(r.integer(r.member(o, rp, QStringLiteral("zigZag")), rp + QStringLiteral("zigZag"), 0, pixelMax - 1));
            row.reversed = r.boolean(r.member(o, rp, QStringLiteral("reversed")), rp + QStringLiteral("reversed"));
            row.group = num(r.integer(r.member(o, rp, QStringLiteral("group")), rp + QStringLiteral("group"), pixelRule));
            row.bright = num(r.integer(r.member(o, rp, QStringLiteral("intensityLimit")), rp + QStringLiteral("intensityLimit"),
                                       config::fieldrules::IntensityRule));
        }
        v.startUniv = v.startChan = v.nodes = QStringLiteral("1");
    } else {
        v.startUniv = num(r.integer(r.member(s, p, QStringLiteral("startUniverse")), p + QStringLiteral("startUniverse"),
                                    config::fieldrules::UniverseRule));
        v.startChan = num(startChannel(r, r.member(s, p, QStringLiteral("startChannel")), p + QStringLiteral("startChannel")));
        v.nodes = num(r.integer(r.member(s, p, QStringLiteral("pixelsPerString")), p + QStringLiteral("pixelsPerString"), pixelRule));
    }
    if (r.has(s, QStringLiteral("protocol")))
        v.artNet = r.oneOf(s.value(u"protocol"), p + QStringLiteral("protocol"), {QStringLiteral("sACN"), QStringLiteral("Art-Net")})
                   == QLatin1String("Art-Net");
    if (r.has(s, QStringLiteral("holdLastFrame")))
        v.holdFrame = r.boolean(s.value(u"holdLastFrame"), p + QStringLiteral("holdLastFrame"));
    if (r.has(s, QStringLiteral("dmxOutputs"))) {
        const QJsonArray dmx = r.array(s.value(u"dmxOutputs"), p + QStringLiteral("dmxOutputs"), 4);
        std::array<bool, 4> on{};
        std::array<QString, 4> univ;
        for (int k = 0; k < 4 && !r.failed(); ++k) {
            const QString dp = p + QStringLiteral("dmxOutputs[%1].").arg(k);
            const QJsonObject o = r.object(dmx.at(k), dp.chopped(1));
            on[k] = r.boolean(r.member(o, dp, QStringLiteral("on")), dp + QStringLiteral("on"));
            univ[k] = num(r.integer(r.member(o, dp, QStringLiteral("universe")), dp + QStringLiteral("universe"), config::fieldrules::UniverseRule));
        }
        v.dmxOn = on;
        v.dmxUniv = univ;
    }
    // The chip is kept as its text; which index it has depends on the controller it goes to.
    v.chips = {r.text(r.member(s, p, QStringLiteral("chip")), p + QStringLiteral("chip"))};
    v.chip = v.chips.front().isEmpty() ? -1 : 0;
    v.order = orderIndex(r, r.member(s, p, QStringLiteral("colourOrder")), p + QStringLiteral("colourOrder"));
    if (r.has(s, QStringLiteral("colourOrderPerOutput")))
        v.perOutputOrder = r.boolean(s.value(u"colourOrderPerOutput"), p + QStringLiteral("colourOrderPerOutput"));
    if (r.has(s, QStringLiteral("outputColourOrders"))) {
        const QJsonArray orders = r.array(s.value(u"outputColourOrders"), p + QStringLiteral("outputColourOrders"), Outputs);
        std::array<int, Outputs> o{};
        for (int i = 0; i < Outputs && !r.failed(); ++i)
            o[i] = orderIndex(r, orders.at(i), p + QStringLiteral("outputColourOrders[%1]").arg(i));
        v.outputOrders = o;
    }
    if (r.has(s, QStringLiteral("speed")))
        v.slow = r.oneOf(s.value(u"speed"), p + QStringLiteral("speed"), {QStringLiteral("slow"), QStringLiteral("fast")})
                 == QLatin1String("slow");
    const QJsonArray gamma = r.array(r.member(s, p, QStringLiteral("gamma")), p + QStringLiteral("gamma"), 3);
    for (int k = 0; k < 3 && !r.failed(); ++k) {
        const int t = r.gamma(gamma.at(k), p + QStringLiteral("gamma[%1]").arg(k));
        v.gamma[k] = config::fieldrules::gammaText(t);
        v.gammaTrack[k] = t;
    }
    if (r.has(s, QStringLiteral("fanThreshold")))
        v.fan = num(r.integer(s.value(u"fanThreshold"), p + QStringLiteral("fanThreshold"), config::fieldrules::FanRule));
}

std::optional<Entry> readEntry(Reader &r, const QJsonValue &value, const QString &path)
{
    const QString p = path + QLatin1Char('.');
    const QJsonObject o = r.object(value, path);
    if (r.failed())
        return std::nullopt;
    Entry e;
    const QString family = r.oneOf(r.member(o, p, QStringLiteral("family")), p + QStringLiteral("family"), {NetworkFamily, UsbFamily});
    if (r.failed())
        return std::nullopt;
    e.family = family == NetworkFamily ? Family::Network : Family::Usb;
    const bool net = e.family == Family::Network;
    e.model = net ? r.oneOf(r.member(o, p, QStringLiteral("model")), p + QStringLiteral("model"),
                            {QStringLiteral("Tessara 16"), QStringLiteral("Tessara 4"), QStringLiteral("Corvel 16")})
                  : r.oneOf(r.member(o, p, QStringLiteral("model")), p + QStringLiteral("model"), {QuorixModel});
    e.hardware = int(r.integer(r.member(o, p, QStringLiteral("hardware")), p + QStringLiteral("hardware"), 0, net ? 0xFF : 0xFFFF));
    e.firmware = r.text(r.member(o, p, QStringLiteral("firmware")), p + QStringLiteral("firmware"), net ? 20 : 32);
    if (net) {
        e.id = r.text(r.member(o, p, QStringLiteral("mac")), p + QStringLiteral("mac")).toUpper();
        static const QRegularExpression mac(QStringLiteral("^[0-9A-F]{2}(:[0-9A-F]{2}){5}$"));
        if (!r.failed() && !mac.match(e.id).hasMatch())
            r.fail(p + QStringLiteral("mac"), QStringLiteral("six hex bytes 00:1A:2B:3C:4D:5E expected"));
        const auto ip = r.address(r.member(o, p, QStringLiteral("address")), p + QStringLiteral("address"));
        e.address = dotted(ip);
    } else {
        e.id = r.text(r.member(o, p, QStringLiteral("uid")), p + QStringLiteral("uid")).toUpper();
        static const QRegularExpression uid(QStringLiteral("^[0-9A-F]{8}$"));
        if (!r.failed() && !uid.match(e.id).hasMatch())
            r.fail(p + QStringLiteral("uid"), QStringLiteral("eight hex digits expected"));
    }
    // What the controller can store: 39 characters of the network record, 32 bytes of a label.
    e.nickname = r.text(r.member(o, p, QStringLiteral("nickname")), p + QStringLiteral("nickname"), net ? 39 : 32);
    const QJsonObject s = r.object(r.member(o, p, QStringLiteral("settings")), p + QStringLiteral("settings"));
    if (r.failed())
        return std::nullopt;
    const QString sp = p + QStringLiteral("settings.");
    if (net) {
        readNetworkSettings(r, s, sp, e);
    } else {
        e.edits.nickname = e.nickname;
        e.edits.personality = int(r.integer(r.member(s, sp, QStringLiteral("mode")), sp + QStringLiteral("mode"), 0, 3));
        e.edits.startAddress = int(r.integer(r.member(s, sp, QStringLiteral("startAddress")), sp + QStringLiteral("startAddress"), 1,
                                             rdm::startAddressMax(e.edits.personality)));
        e.edits.gammaTenths = r.gamma(r.member(s, sp, QStringLiteral("gamma")), sp + QStringLiteral("gamma"));
    }
    if (r.failed())
        return std::nullopt;
    return e;
}

// Every value of an entry's object by its path, in the file's order.
void flatten(const QJsonValue &v, const QString &path, QList<std::pair<QString, QString>> &out)
{
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            flatten(it.value(), path.isEmpty() ? it.key() : path + QLatin1Char('.') + it.key(), out);
    } else if (v.isArray()) {
        const QJsonArray a = v.toArray();
        for (qsizetype i = 0; i < a.size(); ++i)
            flatten(a.at(i), path + QStringLiteral("[%1]").arg(i), out);
    } else if (v.isBool()) {
        out.append({path, v.toBool() ? QStringLiteral("yes") : QStringLiteral("no")});
    } else if (v.isDouble()) {
        out.append({path, QString::number(v.toDouble())});
    } else {
        out.append({path, v.toString()});
    }
}

} // namespace

Entry entryOf(const TTessaraCtrl &c, const QString &model)
{
    Entry e;
    e.family = Family::Network;
    e.model = model;
    e.hardware = c.HwRev;
    e.firmware = net::tessara::fixedText(c.Firmware);
    e.id = macText(c.MAC);
    e.address = net::tessara::ipText(c.CurrentIP);
    e.values = config::flow::fillValues(c);
    e.nickname = e.values.nickname;
    // The advanced dialog's rows, as it fills them from the record.
    const config::flow::Features f = config::flow::featuresOf(c);
    for (int i = 0; i < Outputs; ++i)
        e.values.rows[i] = {num(c.AdvUniv[i]), num(c.AdvChan[i]), num(c.NumNodes[i]), num(c.AdvNull[i]),
                            num(c.AdvZig[i]),
                            f.groupingFromRecord ? num(c.Grouping[i]) : QStringLiteral("1"),
                            f.groupingFromRecord ? num(c.Brightness[i]) : QStringLiteral("100"),
                            c.AdvReverse[i] != 0};
    return e;
}

Entry entryOf(const TQuorixCtrl &c)
{
    Entry e;
    e.family = Family::Usb;
    e.model = QuorixModel;
    e.hardware = (c.MID[0] << 8) | c.MID[1];
    e.firmware = rdm::firmwareText(c);
    e.id = rdm::serialText(c);
    e.edits = rdm::editsOf(c);
    e.nickname = e.edits.nickname;
    return e;
}

QByteArray toJson(const QList<Entry> &entries)
{
    QJsonArray list;
    for (const Entry &e : entries)
        list.append(entryObject(e));
    const QJsonObject root{{QStringLiteral("format"), FormatName}, {QStringLiteral("version"), SchemaVersion}, {QStringLiteral("controllers"), list}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

Result<QList<Entry>> fromJson(const QByteArray &json)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    Reader r;
    if (parseError.error != QJsonParseError::NoError) {
        r.fail(QStringLiteral("file"), QStringLiteral("not JSON (%1 at byte %2)")
                                           .arg(parseError.errorString()).arg(parseError.offset));
        return r.failure();
    }
    const QJsonObject root = r.object(QJsonValue(doc.object()), QStringLiteral("file"));
    if (!doc.isObject())
        r.fail(QStringLiteral("file"), QStringLiteral("not an object"));
    if (r.text(r.member(root, QString(), QStringLiteral("format")), QStringLiteral("format")) != FormatName && !r.failed())
        r.fail(QStringLiteral("format"), QStringLiteral("not a Glintwork settings file"));
    const QJsonValue version = r.member(root, QString(), QStringLiteral("version"));
    if (!r.failed() && version.toDouble(-1) != SchemaVersion)
        r.fail(QStringLiteral("version"), QStringLiteral("version %1 is not known; this program reads version %2")
                                              .arg(version.toVariant().toString()).arg(SchemaVersion));
    const QJsonValue list = r.member(root, QString(), QStringLiteral("controllers"));
    if (!r.failed() && !list.isArray())
        r.fail(QStringLiteral("controllers"), QStringLiteral("not a list"));
    if (r.failed())
        return r.failure();
    QList<Entry> entries;
    const QJsonArray a = list.toArray();
    for (qsizetype i = 0; i < a.size(); ++i) {
        const auto e = readEntry(r, a.at(i), QStringLiteral("controllers[%1]").arg(i));
        if (!e)
            return r.failure();
        entries.append(*e);
    }
    return entries;
}

Result<> writeFile(const QString &path, const QList<Entry> &entries)
{
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(toJson(entries)) >= 0 && f.commit())
        return {};
    return Failure{QStringLiteral("%1: %2").arg(path, f.errorString()), f.errorString()};
}

Result<QList<Entry>> readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("%1: %2").arg(path, f.errorString()), f.errorString()};
    return fromJson(f.readAll());
}

Result<TTessaraCtrl> applyTo(const Entry &e, const TTessaraCtrl &before, const QString &model, ApplyMode mode)
{
    auto refuse = [](const QString &why) { return Failure{why, {}}; };
    if (e.family != Family::Network)
        return refuse(QStringLiteral("family: the entry is for a USB controller"));
    if (e.model != model)
        return refuse(QStringLiteral("model: the entry is for a \"%1\", this controller is a \"%2\"").arg(e.model, model));

    const config::flow::DialogValues &from = e.values;
    config::flow::DialogValues v = config::flow::fillValues(before);
    if (!mode.clone) {
        v.ip = from.ip;
        v.sm = from.sm;
        v.dhcp = from.dhcp;
    }
    v.advanced = from.advanced;
    v.startUniv = from.startUniv;
    v.startChan = from.startChan;
    v.nodes = from.nodes;
    v.rows = from.rows;
    // Settings the controller does not offer stay hidden in the dialog, and so stay as they are.
    auto take = [](auto &shown, const auto &file) {
        if (shown && file)
            shown = file;
    };
    take(v.artNet, from.artNet);
    take(v.holdFrame, from.holdFrame);
    take(v.dmxOn, from.dmxOn);
    take(v.dmxUniv, from.dmxUniv);
    take(v.perOutputOrder, from.perOutputOrder);
    take(v.outputOrders, from.outputOrders);
    take(v.slow, from.slow);
    take(v.fan, from.fan);
    if (from.chip >= 0) {
        v.chip = int(v.chips.indexOf(from.chips.value(from.chip)));
        if (v.chip < 0)
            return refuse(QStringLiteral("settings.chip: this controller offers no \"%1\"").arg(from.chips.value(from.chip)));
    }
    v.order = from.order;
    v.gamma = from.gamma;
    v.gammaTrack = from.gammaTrack;
    if (!mode.clone || mode.cloneNickname)
        v.nickname = e.nickname;

    QString unreadable;
    const auto after = config::flow::readBack(v, before, &unreadable);
    if (!after)
        return refuse(QStringLiteral("settings: \"%1\" holds no number").arg(unreadable));
    return *after;
}

Result<rdm::QuorixEdits> applyTo(const Entry &e, const TQuorixCtrl &before, ApplyMode mode)
{
    if (e.family != Family::Usb)
        return Failure{QStringLiteral("family: the entry is for a network controller"), {}};
    const rdm::QuorixEdits now = rdm::editsOf(before);
    rdm::QuorixEdits edited = e.edits;
    edited.nickname = !mode.clone || mode.cloneNickname ? e.nickname : now.nickname;
    if (before.RM == 0) {
        edited.personality = now.personality;
        edited.startAddress = now.startAddress;
        edited.nickname = now.nickname;
    }
    return edited;
}

int matchIndex(const Entry &e, const QList<Entry> &listed)
{
    for (qsizetype i = 0; i < listed.size(); ++i)
        if (listed[i].family == e.family && listed[i].id == e.id)
            return int(i);
    return -1;
}

QList<int> cloneCandidates(const Entry &e, const QList<Entry> &listed)
{
    QList<int> out;
    for (qsizetype i = 0; i < listed.size(); ++i)
        if (listed[i].family == e.family && listed[i].model == e.model)
            out.append(int(i));
    return out;
}

QString nameOf(const Entry &e)
{
    return QStringLiteral("%1 \"%2\" %3").arg(e.model, e.nickname, e.family == Family::Network ? e.address : e.id);
}

QList<Change> changes(const Entry &now, const Entry &after)
{
    QList<std::pair<QString, QString>> a, b;
    auto settingsOf = [](const Entry &e) {
        QJsonObject o = entryObject(e).value(u"settings").toObject();
        o[u"nickname"] = e.nickname;
        return o;
    };
    flatten(settingsOf(now), QString(), a);
    flatten(settingsOf(after), QString(), b);
    QList<Change> out;
    for (const auto &[field, value] : b) {
        QString was;
        for (const auto &[f, w] : a)
            if (f == field)
                was = w;
        if (was != value)
            out.append({field, was, value});
    }
    return out;
}

} // namespace settings
