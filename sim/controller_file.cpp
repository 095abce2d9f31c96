#include "sim/controller_file.h"

#include "net/poll_reply_layout.h"

#include <QHostAddress>
#include <QStringList>
#include <algorithm>
#include <array>
#include <limits>
#include <type_traits>

namespace {

template <std::size_t N>
bool parseOctets(const QString &text, std::array<quint8, N> &out, int base, QChar sep)
{
    const QStringList parts = text.trimmed().split(sep);
    if (parts.size() != int(N))
        return false;
    for (std::size_t i = 0; i < N; ++i) {
        bool ok = false;
        const uint v = parts[int(i)].trimmed().toUInt(&ok, base);
        if (!ok || v > 255)
            return false;
        out[i] = quint8(v);
    }
    return true;
}

template <class T>
bool setNumber(T &field, const QString &text)
{
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok, 0);
    if (!ok || v > std::numeric_limits<T>::max())
        return false;
    field = T(v);
    return true;
}

// A controller's texts travel one byte per character: a character beyond that could never be
// sent, and the virtual controller would answer with something other than its description.
bool setDeviceText(auto &field, const QString &value)
{
    for (QChar ch : value)
        if (ch.unicode() > 0xFF)
            return false;
    net::tessara::setFixedText(field, value);
    return true;
}

// Assigns `value` to whichever record field the layout calls `name`.
struct FieldByName {
    const QString &name;
    const QString &value;
    bool found = false;
    bool ok = false;

    template <class T>
    void operator()(int, T &field, const char *fieldName)
    {
        if (found || name != QLatin1String(fieldName))
            return;
        found = true;
        if constexpr (std::is_integral_v<T>) {
            ok = setNumber(field, value);
        } else if constexpr (std::is_same_v<typename T::value_type, char16_t>) {
            ok = setDeviceText(field, value);
        } else {
            const QStringList items = value.split(QLatin1Char(','));
            ok = !items.isEmpty();
            for (std::size_t i = 0; ok && i < field.size(); ++i)
                ok = setNumber(field[i], items[std::min<qsizetype>(qsizetype(i), items.size() - 1)]);
        }
    }
};

} // namespace

VirtualController defaultController(const QString &ip, const QString &mask)
{
    VirtualController s;
    TTessaraCtrl &c = s.ctrl;
    parseOctets(ip, c.CurrentIP, 10, QLatin1Char('.'));
    parseOctets(mask, c.CurrentSM, 10, QLatin1Char('.'));
    c.MAC = {0x02, 0x47, 0x4C, c.CurrentIP[1], c.CurrentIP[2], c.CurrentIP[3]};
    c.StaticIP = c.CurrentIP;
    c.SM = c.CurrentSM;
    net::tessara::setFixedText(c.Firmware, QStringLiteral("V1.4.5"));
    net::tessara::setFixedText(c.Nickname, QStringLiteral("Controller %1").arg(c.CurrentIP[3]));
    c.Temperature = 215;
    c.NumNodes.fill(170);
    c.SacnUniv = 1;
    c.SacnChan = 1;
    c.Gamma = {22, 22, 22};
    c.Voltage = {120, 0xFFFF};
    for (int i = 0; i < 16; ++i) {
        c.AdvUniv[i] = quint16(i + 1);
        c.AdvChan[i] = 1;
    }
    c.DmxOutUniv = {1, 2, 3, 4};
    c.HwRev = 5;
    c.Grouping.fill(1);
    c.Brightness.fill(100);
    c.FanTemp = 40;
    return s;
}

QString applyKey(VirtualController &described, const QString &key, const QString &value)
{
    TTessaraCtrl &c = described.ctrl;
    const QString k = key.toLower();
    if (k == QLatin1String("model")) {
        if (value != QLatin1String("Tessara 16") && value != QLatin1String("Tessara 4")
            && value != QLatin1String("Corvel 16"))
            return QStringLiteral("unknown model \"%1\"").arg(value);
        described.model = value;
        c.NumStrings = value == QLatin1String("Tessara 4") ? 4 : 16;
        return {};
    }
    if (k == QLatin1String("ip")) {
        if (!parseOctets(value, c.CurrentIP, 10, QLatin1Char('.')))
            return QStringLiteral("bad address \"%1\"").arg(value);
        c.MAC = {0x02, 0x47, 0x4C, c.CurrentIP[1], c.CurrentIP[2], c.CurrentIP[3]};
        c.StaticIP = c.CurrentIP;
        return {};
    }
    if (k == QLatin1String("mask")) {
        if (!parseOctets(value, c.CurrentSM, 10, QLatin1Char('.')))
            return QStringLiteral("bad mask \"%1\"").arg(value);
        c.SM = c.CurrentSM; // as `ip` does: a controller described with a static setting uses it
        return {};
    }
    if (k == QLatin1String("mac"))
        return parseOctets(value, c.MAC, 16, QLatin1Char(':')) ? QString()
                                                               : QStringLiteral("bad MAC \"%1\"").arg(value);
    if (k == QLatin1String("nickname") || k == QLatin1String("firmware")) {
        const bool ok = k == QLatin1String("nickname") ? setDeviceText(c.Nickname, value)
                                                       : setDeviceText(c.Firmware, value);
        return ok ? QString() : QStringLiteral("%1 \"%2\" has a character a controller cannot send").arg(k, value);
    }
    if (k == QLatin1String("misbehave")) {
        const QString v = value.trimmed();
        if (v == QLatin1String("ignores-nickname"))
            described.misbehave = NetMisbehaviour::IgnoresNickname;
        else if (v == QLatin1String("drops-config"))
            described.misbehave = NetMisbehaviour::DropsConfig;
        else
            return QStringLiteral("unknown misbehaviour \"%1\"").arg(value);
        return {};
    }
    if (k == QLatin1String("duplicate")) {
        described.duplicate = value.trimmed() == QLatin1String("1");
        return {};
    }
    if (k == QLatin1String("version"))
        return setNumber(described.version, value) ? QString() : QStringLiteral("bad version \"%1\"").arg(value);

    FieldByName setter{key, value};
    net::orvantic::pollReplyLayout(c, setter);
    if (!setter.found && key == QLatin1String("NumStrings"))
        return QStringLiteral("NumStrings follows from the model");
    if (!setter.found)
        return QStringLiteral("unknown key \"%1\"").arg(key);
    return setter.ok ? QString() : QStringLiteral("bad value \"%1\" for %2").arg(value, key);
}

std::optional<QList<VirtualController>> parseControllerFile(const QString &text, QString *error)
{
    QList<VirtualController> list;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        const int comment = line.indexOf(QLatin1String(" #"));
        if (comment >= 0)
            line.truncate(comment);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        auto fail = [&](const QString &why) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(n + 1).arg(why);
            return std::nullopt;
        };
        if (line == QLatin1String("[controller]")) {
            list.append(defaultController(QStringLiteral("10.0.0.%1").arg(list.size() + 1)));
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            return fail(QStringLiteral("expected key = value"));
        if (list.isEmpty())
            return fail(QStringLiteral("a key before the first [controller]"));
        const QString why = applyKey(list.last(), line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        if (!why.isEmpty())
            return fail(why);
    }
    return list;
}

QList<VirtualController> generateControllers(int count, const QString &firstIp, const QString &mask,
                                                 const QString &model)
{
    QList<VirtualController> list;
    const quint32 first = QHostAddress(firstIp).toIPv4Address();
    for (int i = 0; i < count; ++i) {
        VirtualController s = defaultController(QHostAddress(first + quint32(i)).toString(), mask);
        applyKey(s, QStringLiteral("model"), model);
        list.append(s);
    }
    return list;
}
