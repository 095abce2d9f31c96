#include "rdm/quorix_texts.h"

#include "common/temperature_text.h"

namespace rdm {

QString labelShown(const std::array<quint8, 32> &label)
{
    QString text;
    for (quint8 b : label)
        if (b != 0)
            text.append(QChar(b));
    return text;
}

std::array<quint8, 32> labelFromText(const QString &text)
{
    std::array<quint8, 32> label{};
    for (qsizetype i = 0; i < text.size() && i < qsizetype(label.size()); ++i) {
        const char16_t u = text[i].unicode();
        label[std::size_t(i)] = u <= 0xFF ? quint8(u) : quint8('?');
    }
    return label;
}

QString firmwareText(const TQuorixCtrl &c)
{
    return QStringLiteral("V%1.%2.%3").arg(c.SVID[0]).arg(c.SVID[1]).arg(c.SVID[2]);
}

QString serialText(const TQuorixCtrl &c)
{
    return QStringLiteral("%1").arg(c.deviceId(), 8, 16, QLatin1Char('0')).toUpper();
}

double temperatureCelsius(const TQuorixCtrl &c)
{
    return qint16(quint16(c.TMP[0] << 8 | c.TMP[1])) / 10.0;
}

int startAddress(const TQuorixCtrl &c)
{
    return c.STA[0] << 8 | c.STA[1];
}

QString remoteModeText(bool on)
{
    return on ? QStringLiteral("The controller has remote mode enabled")
              : QStringLiteral("The controller does not currently have remote mode enabled! To enable remote mode "
                               "turn on DIP SW 1");
}

QStringList usbRowTexts(const TQuorixCtrl &c)
{
    return {QStringLiteral("Quorix 16"), labelShown(c.LBL), firmwareText(c), serialText(c),
            temperatureText(temperatureCelsius(c))};
}

} // namespace rdm
