#pragma once
// Whether a file the operator picked for a network controller is a firmware image at all, asked
// before the controller's bootloader is connected to. The file goes out unchanged, and the
// controller's verdict is never heard, so a file that plainly is not firmware (the guide, a
// settings file, a raw dump) or a HEX file cut short or mangled on its way would leave the
// controller in its bootloader with nothing to say why.
//
// Both families ship Intel HEX, and nothing in a file names the family it is for, so this checks
// the format only: any record length, any line ending, extended address and start address records
// allowed. Refused: a line that is not a record (":" then pairs of hexadecimal digits), a record
// whose length or checksum does not add up, a record type Intel HEX does not have, records after
// the end-of-file record, no data record, and no end-of-file record.

#include <QString>

class QIODevice;

namespace firmware {

// Why the text read from `in` is no firmware image, in words for the operator ("line 3 fails its
// checksum"); empty when it is one. Reads line by line, so a huge wrong file costs no memory.
QString hexImageProblem(QIODevice &in);

} // namespace firmware
