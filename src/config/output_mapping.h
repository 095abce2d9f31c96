#pragma once
// Where each output's pixel data lies in the lighting protocol's universes. A pixel takes three
// channels; the mapping counts 510 channels (170 whole pixels) per universe, channel 511 being
// channel 1 of the next universe. Grouping lets G neighbouring pixels share one value.

#include <QList>
#include <QtGlobal>

namespace config::outputmapping {

inline constexpr int Outputs = 16;
inline constexpr qint64 ChannelsPerUniverse = 510;

struct Start {
    qint64 universe;
    qint64 channel;
    bool operator==(const Start &) const = default;
};
using End = Start;

struct Output {
    Start start;
    qint64 pixels;
    qint64 group;
};

// Pixel values an output consumes: ceil(pixels / group), a last incomplete group taking a whole
// value. A group below 1 (only a controller's own record can hold one) counts as no grouping.
qint64 pixelValues(qint64 pixels, qint64 group);

// The universe and channel of an output's last channel. The universe has no upper limit here: a
// mapping that runs past the last valid universe shows where it would end. An output without
// pixels ends one channel before its start.
End endOf(const Output &output);

// Where the next output starts when chained: right after `end` if a whole pixel still fits into
// its universe, else at channel 1 of the next universe.
Start chainedStart(const End &end);

// The end of every output in turn; with `chain`, every output after the first starts where the
// previous one ended, and `outputs` is rewritten with those starts.
QList<End> updateEnds(QList<Output> &outputs, bool chain);

} // namespace config::outputmapping
