#pragma once
// What the pacing of a USB search prescribes for what has run: the messages (each after its
// break), the blocking waits and the ticks of the reply timer. A benchmark compares it with the time
// a search really took; a test, with the number of gets that ran out or were cut short.

#include <QtGlobal>

namespace rdm {

struct SearchPacing {
    int messages = 0;
    int discoveryTicks = 0;
    int parameterTicks = 0; // gets whose time-out ran out
    int answeredTicks = 0;  // gets cut short by their answer in a fast search
    qint64 waitedMs = 0;
    qint64 breakUs = 0; // the breaks before the messages
    qint64 tickUs = 0;  // the time-outs and response gaps the ticks stood for

    qint64 prescribedMs() const { return waitedMs + (breakUs + tickUs + 999) / 1000; }
};

} // namespace rdm
