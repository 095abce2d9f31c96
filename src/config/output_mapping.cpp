#include "config/output_mapping.h"

namespace config::outputmapping {

namespace {
// Boxes not yet checked may hold any number; keeping every term this small keeps the sums exact.
constexpr qint64 Bound = 1'000'000'000;
qint64 bounded(qint64 v)
{
    return qBound(-Bound, v, Bound);
}
} // namespace

qint64 pixelValues(qint64 pixels, qint64 group)
{
    const qint64 p = bounded(pixels);
    const qint64 g = qMax<qint64>(1, bounded(group));
    return p > 0 ? (p + g - 1) / g : -(-p / g);
}

End endOf(const Output &output)
{
    qint64 universe = bounded(output.start.universe);
    qint64 channel = bounded(output.start.channel) + 3 * pixelValues(output.pixels, output.group) - 1;
    if (channel > ChannelsPerUniverse) {
        universe += (channel - 1) / ChannelsPerUniverse;
        channel = (channel - 1) % ChannelsPerUniverse + 1;
    }
    return {universe, channel};
}

Start chainedStart(const End &end)
{
    if (end.channel <= ChannelsPerUniverse - 3)
        return {end.universe, end.channel + 1};
    return {end.universe + 1, 1};
}

QList<End> updateEnds(QList<Output> &outputs, bool chain)
{
    QList<End> ends;
    ends.reserve(outputs.size());
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        ends.append(endOf(outputs[i]));
        if (chain && i + 1 < outputs.size())
            outputs[i + 1].start = chainedStart(ends.last());
    }
    return ends;
}

} // namespace config::outputmapping
