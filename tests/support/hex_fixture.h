#pragma once
// Firmware files in the layout the maker ships: 16 data bytes per record, CR LF after each, the
// end-of-file record last without a line break.

#include <QByteArray>
#include <QByteArrayView>

namespace hexfixture {

inline QByteArray record(quint16 address, quint8 type, QByteArrayView data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    bytes.append(char(quint8(-sum)));
    return ':' + bytes.toHex().toUpper();
}

inline QByteArray file(QByteArrayView data)
{
    QByteArray text;
    for (qsizetype at = 0; at < data.size(); at += 16)
        text += record(quint16(at), 0x00, data.sliced(at, qMin<qsizetype>(16, data.size() - at))) + "\r\n";
    return text + ":00000001FF";
}

// Bytes that differ from block to block and from 0xFF.
inline QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 128) & 0x7F);
    return data;
}

} // namespace hexfixture
