#include "cli/cli_fields.h"

#include "config/field_rules.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace cli {

std::optional<Target> parseTarget(const QString &text, QString *error)
{
    static const QRegularExpression deviceId(QStringLiteral("^[0-9A-Fa-f]{8}$"));
    static const QRegularExpression mac(QStringLiteral("^[0-9A-Fa-f]{2}([:-][0-9A-Fa-f]{2}){5}$"));
    static const QRegularExpression ip(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    Target t;
    if (deviceId.match(text).hasMatch()) {
        t.kind = Target::DeviceId;
        t.text = text.toUpper();
        t.deviceId = text.toUInt(nullptr, 16);
        return t;
    }
    if (mac.match(text).hasMatch()) {
        t.kind = Target::Mac;
        t.text = text.toUpper().replace(QLatin1Char('-'), QLatin1Char(':'));
        return t;
    }
    if (const QRegularExpressionMatch m = ip.match(text); m.hasMatch()) {
        QStringList octets;
        for (int i = 1; i <= 4; ++i) {
            const int v = m.captured(i).toInt();
            if (v > 255)
                break;
            octets << QString::number(v);
        }
        if (octets.size() == 4) {
            t.kind = Target::Ip;
            t.text = octets.join(QLatin1Char('.'));
            return t;
        }
    }
    if (error)
        *error = QStringLiteral("\"%1\" names no controller: give a device ID (eight hex digits, as the Serial "
                                "column shows it), a MAC address or an IP address")
                     .arg(text);
    return std::nullopt;
}

namespace {

std::optional<int> wholeNumber(const QString &field, const QString &value, int minimum, int maximum,
                               QString *error)
{
    const std::optional<qint64> n = config::fieldrules::parseInteger(value);
    if (!n) {
        *error = QStringLiteral("%1: \"%2\" is not a whole number").arg(field, value);
        return std::nullopt;
    }
    if (*n < minimum || *n > maximum) {
        *error = QStringLiteral("%1: %2 is outside %3 to %4").arg(field, value).arg(minimum).arg(maximum);
        return std::nullopt;
    }
    return int(*n);
}

} // namespace

std::optional<UsbFieldValues> parseUsbFields(const QStringList &assignments, QString *error)
{
    UsbFieldValues v;
    QStringList seen;
    for (const QString &a : assignments) {
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString field = eq < 0 ? a : a.left(eq);
        const QString value = eq < 0 ? QString() : a.mid(eq + 1);
        if (eq < 0 || !UsbFieldNames.contains(field)) {
            *error = QStringLiteral("%1: not a field of a USB controller (%2 expected, as FIELD=VALUE)")
                         .arg(field, UsbFieldNames.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        if (seen.contains(field)) {
            *error = QStringLiteral("%1: given twice").arg(field);
            return std::nullopt;
        }
        seen << field;
        if (field == QLatin1String("nickname")) {
            if (value.size() > config::fieldrules::NicknameTypedMax) {
                *error = QStringLiteral("nickname: %1 characters, at most %2")
                             .arg(value.size())
                             .arg(config::fieldrules::NicknameTypedMax);
                return std::nullopt;
            }
            // The controller keeps one byte per character; the dialog would send "?" for others.
            const auto wide = std::find_if(value.begin(), value.end(), [](QChar ch) { return ch.unicode() > 0xFF; });
            if (wide != value.end()) {
                *error = QStringLiteral("nickname: \"%1\" is not a character the controller can keep").arg(*wide);
                return std::nullopt;
            }
            v.nickname = value;
        } else if (field == QLatin1String("mode")) {
            if (!(v.mode = wholeNumber(field, value, 1, 3, error)))
                return std::nullopt;
        } else if (field == QLatin1String("startAddress")) {
            // The highest limit of any mode here; the mode's own limit once it is known.
            if (!(v.startAddress = wholeNumber(field, value, 1, rdm::startAddressMax(0), error)))
                return std::nullopt;
        } else {
            // Written with a point whatever the operator's locale, so a script means the same
            // everywhere; one decimal at most, since the controller keeps tenths.
            bool ok = false;
            const double g = QLocale::c().toDouble(value, &ok);
            const double tenths = g * 10.0;
            if (!ok || !std::isfinite(g) || std::fabs(tenths - std::round(tenths)) > 1e-6) {
                *error = QStringLiteral("gamma: \"%1\" is not a number with one decimal").arg(value);
                return std::nullopt;
            }
            const int t = int(std::round(tenths));
            if (t < config::fieldrules::GammaMinTenths || t > config::fieldrules::GammaMaxTenths) {
                *error = QStringLiteral("gamma: %1 is outside 1.0 to 3.0").arg(value);
                return std::nullopt;
            }
            v.gammaTenths = t;
        }
    }
    return v;
}

std::optional<rdm::QuorixEdits> usbEdited(const rdm::QuorixEdits &shown, const UsbFieldValues &values,
                                          QString *error)
{
    rdm::QuorixEdits e = shown;
    if (values.nickname)
        e.nickname = *values.nickname;
    if (values.mode)
        e.personality = *values.mode;
    if (values.gammaTenths)
        e.gammaTenths = *values.gammaTenths;
    const int max = rdm::startAddressMax(e.personality);
    if (values.startAddress) {
        if (*values.startAddress > max) {
            *error = QStringLiteral("startAddress: %1 is outside 1 to %2 (the limit of mode %3)")
                         .arg(*values.startAddress)
                         .arg(max)
                         .arg(e.personality);
            return std::nullopt;
        }
        e.startAddress = *values.startAddress;
    }
    return e;
}

} // namespace cli
