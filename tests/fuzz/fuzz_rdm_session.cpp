// A USB search, paced or fast, against a line that answers anything at all: raw bytes, well-formed
// replies with arbitrary contents, silence. The search must end within a bounded number of timer
// ticks once the line goes quiet, and never list a controller twice.

#include "fuzz_check.h"
#include "rdm/quorix_texts.h"
#include "rdm/rdm_session.h"

#include <QSet>

using namespace rdm;

namespace {

struct Host : RdmTransport {
    RdmSession session{*this};
    QByteArray lastSent;
    bool timerOn = false;
    bool gapOn = false;
    int ends = 0;

    Host()
    {
        session.searchEnded = [this](bool) { ++ends; };
    }
    void sendFrame(const QByteArray &m, int) override
    {
        FUZZ_EXPECT(isCompleteRdmMessage(m));
        lastSent = m;
    }
    void pause(int) override {}
    qint64 clockUs = 0; // moved on by the input, so round trips of any length come up
    qint64 nowUs() const override { return clockUs; }
    void startTimer(Timer timer, int) override { (timer == Timer::Gap ? gapOn : timerOn) = true; }
    void stopTimer(Timer timer) override { (timer == Timer::Gap ? gapOn : timerOn) = false; }

    // A reply to the last message, as a controller of the maker would frame it.
    QByteArray answer(FuzzInput &in)
    {
        const auto request = parseRdmHeader(lastSent);
        if (!request)
            return {};
        const quint32 id = (in.byte() & 1) ? in.be32() : quint32(uidFrom(request->destUID));
        if (request->cc == DISCOVERY_COMMAND && request->pid == PID_DISC_UNIQUE_BRANCH)
            return encodeDiscoveryReply(makerUid(id));
        const quint8 type = in.byte() % 4;
        return buildReply(*request, makerUid(id), type, in.bytes(in.byte()));
    }

    void checkRecords() const
    {
        QSet<quint32> ids;
        for (const TQuorixCtrl &c : session.VControllers) {
            FUZZ_EXPECT(!ids.contains(c.deviceId()));
            ids.insert(c.deviceId());
            (void)usbRowTexts(c);
        }
    }
};

// Ticks after the line falls silent: a discovery pass of its whole budget, three passes, and five
// messages per controller; far more means the search no longer ends.
constexpr int QuietTicks = 400'000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    FuzzInput in(data, size);
    Host host;
    host.session.fastSearch = in.byte() & 1; // paced or fast, as the operator chose
    host.session.startSearch();
    while (!in.empty()) {
        switch (in.byte() % 6) {
        case 5:
            host.clockUs += qint64(in.byte()) * 100;
            break;
        case 0:
            host.session.bytesReceived(in.bytes(in.byte() % 64));
            break;
        case 1: { // a framed answer, handed over in two pieces
            const QByteArray a = host.answer(in);
            const qsizetype cut = a.isEmpty() ? 0 : in.byte() % (a.size() + 1);
            host.session.bytesReceived(QByteArrayView(a).first(cut));
            host.session.bytesReceived(QByteArrayView(a).sliced(cut));
            break;
        }
        case 2:
            if (host.gapOn) {
                host.gapOn = false;
                host.session.gapTimeout();
            }
            break;
        case 3:
            if (host.timerOn)
                host.session.Timer1Timer();
            break;
        case 4:
            if (host.ends > 0 && !host.timerOn && (in.byte() & 1)) {
                host.session.fastSearch = in.byte() & 1; // the operator may have changed the setting
                host.session.startSearch();              // and searches again
            }
            break;
        }
        host.checkRecords();
    }

    int ticks = 0;
    while (host.gapOn || host.timerOn) {
        FUZZ_EXPECT(++ticks < QuietTicks);
        host.clockUs += 1000;
        if (host.gapOn) {
            host.gapOn = false;
            host.session.gapTimeout();
        } else {
            host.session.Timer1Timer();
        }
    }
    host.checkRecords();
    return 0;
}
