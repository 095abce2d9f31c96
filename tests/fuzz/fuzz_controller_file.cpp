// A description file of virtual controllers, as the demo and the end-to-end runs read it.

#include "sim/controller_file.h"
#include "fuzz_check.h"
#include "net/orvantic.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    QString error;
    const auto controllers = parseControllerFile(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)),
                                                 &error);
    if (!controllers) {
        FUZZ_EXPECT(!error.isEmpty());
        return 0;
    }
    // Every controller it describes can answer a search.
    for (const VirtualController &s : *controllers) {
        const auto reply = net::orvantic::parsePollReply(net::orvantic::buildPollReply(s.ctrl, s.model, s.version));
        FUZZ_EXPECT(reply && reply->ctrl == s.ctrl);
    }
    return 0;
}
