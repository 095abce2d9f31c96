#include "firmware/hex_image_check.h"

#include "common/hex_digit.h"

#include <QCoreApplication>
#include <QIODevice>

namespace firmware {

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("TTCPFirmware", source);
}

using common::hexDigit;

} // namespace

QString hexImageProblem(QIODevice &in)
{
    // Longest record: 255 data bytes, 521 characters with its line break.
    constexpr qint64 LineMax = 1 + 2 * (5 + 255) + 2;
    qint64 lineNo = 0;
    bool endSeen = false;
    bool dataSeen = false;
    while (!in.atEnd()) {
        const QByteArray raw = in.readLine(LineMax + 1);
        ++lineNo;
        if (raw.size() >= LineMax && !raw.endsWith('\n'))
            return text("line %1 is too long for a HEX record").arg(lineNo);
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (endSeen)
            return text("line %1 follows the end-of-file record").arg(lineNo);
        if (!line.startsWith(':') || line.size() % 2 == 0 || line.size() < 11)
            return text("line %1 is not a HEX record").arg(lineNo);
        QByteArray record;
        for (qsizetype i = 1; i < line.size(); i += 2) {
            const int high = hexDigit(line[i]), low = hexDigit(line[i + 1]);
            if (high < 0 || low < 0)
                return text("line %1 is not a HEX record").arg(lineNo);
            record.append(char(high * 16 + low));
        }
        if (record.size() != 5 + quint8(record[0]))
            return text("line %1 is not as long as its byte count says").arg(lineNo);
        quint8 sum = 0;
        for (char b : record)
            sum = quint8(sum + quint8(b));
        if (sum != 0)
            return text("line %1 fails its checksum").arg(lineNo);
        switch (quint8(record[3])) {
        case 0x00: dataSeen = dataSeen || record[0] != 0; break;
        case 0x01: endSeen = true; break;
        case 0x02: case 0x03: case 0x04: case 0x05: break;
        default: return text("line %1 has a record type HEX files do not have").arg(lineNo);
        }
    }
    if (lineNo == 0)
        return text("it is empty");
    if (!dataSeen)
        return text("it holds no firmware data");
    if (!endSeen)
        return text("it ends without its end-of-file record, so it was cut short");
    return {};
}

} // namespace firmware
