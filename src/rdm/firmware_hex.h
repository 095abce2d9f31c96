#pragma once
// The firmware image a USB controller's bootloader takes, read from an Intel HEX file. Everything
// is checked before the controller is touched: a file that is cut short, has a mangled line or a
// record whose checksum fails must never leave a controller half-written in its bootloader.
//
// Accepted: data records (type 00) whose addresses follow on from each other, and one
// end-of-file record (type 01) as the last record. Digits may be upper- or lower-case; lines end
// in CR LF or LF; a line break after the end-of-file record is allowed. The data bytes are the
// image, in file order.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace rdm::hex {

// The files the maker ships fit this size; anything larger is not one of them.
inline constexpr qsizetype HexFileMax = 100001;

struct HexImage {
    QByteArray data;  // the image; empty when `error` says why there is none
    QString error;    // empty when the file was read
    bool ok() const { return error.isEmpty(); }
};

// The image a file's text holds.
HexImage parseFirmwareHex(QByteArrayView text);
// The image in the file at `path`; a file that cannot be read gives the system's reason.
HexImage readFirmwareHex(const QString &path);

} // namespace rdm::hex
