#include "rdm/rdm_discovery.h"

namespace rdm {

TBinaryBounds FindBounds(qint32 row, qint64 branch)
{
    if (row <= 1)
        return {0, 0xFFFFFFFFu};
    const TBinaryBounds parent = FindBounds(row - 1, (branch + 1) / 2);
    // The sum of two 32-bit bounds needs 33 bits.
    const auto mid = quint32((quint64(parent.lower) + quint64(parent.upper)) / 2);
    if (branch % 2 != 0)
        return {parent.lower, mid};
    return {mid + 1, parent.upper};
}

TBinaryState movedBranch(TBinaryState s, Change change)
{
    if (change == DISC_NARROW && s.row >= ROW_SINGLE_ID)
        change = DISC_WIDEN;
    switch (change) {
    case DISC_NARROW:
        s.row += 1;
        s.branch = 2 * s.branch - 1;
        break;
    case DISC_WIDEN:
        if (s.branch % 2 != 0) {
            s.branch += 1;
        } else {
            s.row -= 1;
            s.branch /= 2;
        }
        break;
    case DISC_REPEAT:
        break;
    }
    return s;
}

} // namespace rdm
