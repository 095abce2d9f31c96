// A datagram on port 49150 as the network tab takes it: the header check, the poll reply parser,
// and for every record it accepts, what the configuration workflow derives from it.

#include "net/config_datagram.h"
#include "config/config_workflow_rules.h"
#include "firmware/firmware_check.h"
#include "fuzz_check.h"
#include "net/orvantic.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    const QByteArrayView datagram(data, qsizetype(size));
    const auto opcode = net::orvantic::opcodeOf(datagram);
    const auto reply = net::orvantic::parsePollReply(datagram);
    if (!reply)
        return 0;
    FUZZ_EXPECT(opcode && *opcode == net::orvantic::OpPollReply);
    FUZZ_EXPECT(size >= std::size_t(net::orvantic::PollReplySize));

    // What a virtual controller would send for the record reads back as the same record.
    const QByteArray again = net::orvantic::buildPollReply(reply->ctrl, reply->model, datagram[11], datagram[37]);
    FUZZ_EXPECT(again == datagram.first(net::orvantic::PollReplySize));
    const auto reparsed = net::orvantic::parsePollReply(again);
    FUZZ_EXPECT(reparsed && reparsed->ctrl == reply->ctrl);

    // Whatever the controller reported, the dialogs can be filled from it, and OK without a change
    // sends what the record holds.
    const TTessaraCtrl &c = reply->ctrl;
    (void)net::tessara::temperatureText(c);
    (void)config::flow::chipList(c);
    config::flow::DialogValues v = config::flow::fillValues(c);
    for (int i = 0; i < config::flow::Outputs; ++i) {
        v.rows[i] = {QString::number(c.AdvUniv[i]), QString::number(c.AdvChan[i]), QString::number(c.NumNodes[i]),
                     QString::number(c.AdvNull[i]), QString::number(c.AdvZig[i]), QString::number(c.Grouping[i]),
                     QString::number(c.Brightness[i]), c.AdvReverse[i] != 0};
    }
    const auto back = config::flow::readBack(v, c);
    FUZZ_EXPECT(back.has_value());
    FUZZ_EXPECT(net::orvantic::buildConfigDatagram(*back).size() == 336);
    return 0;
}
