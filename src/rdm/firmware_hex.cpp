#include "rdm/firmware_hex.h"

#include "common/hex_digit.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <optional>

namespace rdm::hex {

namespace {

constexpr quint8 DataRecord = 0x00;
constexpr quint8 EndOfFileRecord = 0x01;

QString tr(const char *text)
{
    return QCoreApplication::translate("FirmwareHex", text);
}

using common::hexDigit;

// The bytes a record line's digits stand for (after the colon), or nothing.
std::optional<QByteArray> hexBytes(QByteArrayView digits)
{
    if (digits.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(digits.size() / 2);
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int hi = hexDigit(digits[i]);
        const int lo = hexDigit(digits[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.append(char(hi << 4 | lo));
    }
    return bytes;
}

HexImage failure(int line, const QString &why)
{
    return {{}, tr("The firmware file is not a valid HEX file (line %1: %2).").arg(line).arg(why)};
}

} // namespace

HexImage parseFirmwareHex(QByteArrayView text)
{
    if (text.size() > HexFileMax)
        return {{}, tr("The firmware file is too large (%1 bytes; at most %2 are accepted).")
                        .arg(text.size())
                        .arg(HexFileMax)};
    QList<QByteArrayView> lines;
    for (qsizetype from = 0;;) {
        const qsizetype end = text.indexOf('\n', from);
        lines.append(text.sliced(from, (end < 0 ? text.size() : end) - from));
        if (end < 0)
            break;
        from = end + 1;
    }
    // One line break after the end-of-file record is usual; it leaves an empty last piece.
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();

    QByteArray image;
    // Kept beyond 16 bits: a record that ends at 64 KiB is followed by 0x10000, never by 0x0000.
    std::optional<quint32> nextAddress;
    bool ended = false;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const int lineNo = int(n + 1);
        QByteArrayView line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        if (ended)
            return failure(lineNo, tr("text after the end-of-file record"));
        if (!line.startsWith(':'))
            return failure(lineNo, tr("a record must start with a colon"));
        const auto bytes = hexBytes(line.sliced(1));
        if (!bytes)
            return failure(lineNo, tr("characters that are not hexadecimal digits"));
        // byte count, 2 address bytes, type, data, checksum
        if (bytes->size() < 5 || bytes->size() != 5 + quint8(bytes->at(0)))
            return failure(lineNo, tr("the record's length does not match its byte count"));
        quint8 sum = 0;
        for (char b : *bytes)
            sum = quint8(sum + quint8(b));
        if (sum != 0)
            return failure(lineNo, tr("the record's checksum does not match"));
        const quint16 address = quint16(quint8(bytes->at(1)) << 8 | quint8(bytes->at(2)));
        const quint8 type = quint8(bytes->at(3));
        const QByteArrayView data = QByteArrayView(*bytes).sliced(4, quint8(bytes->at(0)));
        if (type == EndOfFileRecord) {
            if (!data.isEmpty())
                return failure(lineNo, tr("the end-of-file record carries data"));
            ended = true;
            continue;
        }
        if (type != DataRecord)
            return failure(lineNo, tr("record type %1 is not supported").arg(type, 2, 16, QLatin1Char('0')));
        // The bootloader takes the bytes in file order; a gap or a jump back would move code.
        if (nextAddress && address != *nextAddress)
            return failure(lineNo, tr("the address does not follow on from the record before"));
        nextAddress = quint32(address) + quint32(data.size());
        image.append(data);
    }
    if (!ended)
        return failure(int(lines.size()), tr("the end-of-file record is missing"));
    return {image, {}};
}

HexImage readFirmwareHex(const QString &path)
{
    if (path.trimmed().isEmpty())
        return {{}, tr("No firmware file is chosen: press Browse and pick the controller's .hex file.")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, tr("The firmware file %1 cannot be read: %2").arg(path, file.errorString())};
    // Read one byte past the limit: enough to tell a file that is too large.
    const QByteArray text = file.read(HexFileMax + 1);
    if (file.error() != QFileDevice::NoError)
        return {{}, tr("The firmware file %1 cannot be read: %2").arg(path, file.errorString())};
    return parseFirmwareHex(text);
}

} // namespace rdm::hex
