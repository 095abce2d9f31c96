// Bytes from the serial line in pieces of any size: whatever the reassembler hands out is one
// whole, correctly framed reply, and it never holds on to more than it was given.

#include "fuzz_check.h"
#include "rdm/rdm_packet.h"
#include "rdm/rdm_reassembler.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    FuzzInput in(data, size);
    rdm::RdmReassembler rdmSide, discoverySide;
    qsizetype given = 0;
    while (!in.empty()) {
        const unsigned char control = in.byte();
        const QByteArray piece = in.bytes(control & 0x3F);
        given += piece.size();
        rdmSide.append(piece);
        discoverySide.append(piece);
        FUZZ_EXPECT(rdmSide.size() <= given);
        while (const auto m = rdmSide.takeRdm())
            FUZZ_EXPECT(rdm::isCompleteRdmMessage(*m));
        if (control & 0x40) { // the line fell silent
            while (const auto m = rdmSide.flushRdm())
                FUZZ_EXPECT(rdm::isCompleteRdmMessage(*m));
            FUZZ_EXPECT(!rdmSide.pending());
        }
        if (const auto d = discoverySide.takeDiscovery())
            FUZZ_EXPECT(d->size() >= rdm::DISC_REPLY_SIZE);
        if (control & 0x80)
            (void)discoverySide.takeAll();
        given = qMax(rdmSide.size(), discoverySide.size());
    }
    return 0;
}
