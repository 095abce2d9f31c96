#pragma once
// The tree that RDM discovery walks: row 1 is the whole 32-bit device-ID range, each branch splits
// into a left child (2b - 1) and a right child (2b) one row down, and a branch of row 33 holds a
// single ID. Branch numbers of row 33 reach 2^32, so they are held in 64 bits.

#include <QtGlobal>

namespace rdm {

inline constexpr int ROW_SINGLE_ID = 33;

struct TBinaryBounds {
    quint32 lower = 0;
    quint32 upper = 0; // inclusive
    friend bool operator==(const TBinaryBounds &, const TBinaryBounds &) = default;
};

struct TBinaryState {
    qint32 row = 1;
    qint64 branch = 1;
    TBinaryBounds bounds;
};

enum Change : quint8 {
    DISC_REPEAT = 0, // ask the current branch again
    DISC_WIDEN = 1,  // the branch is done: no reply, or its only controller was just muted
    DISC_NARROW = 2, // the branch drew a collision: its left child next
};

TBinaryBounds FindBounds(qint32 row, qint64 branch);

// The branch asked after `state` for `change` (bounds not yet filled in). A narrowing below the
// single-ID row is not possible: there it widens instead.
TBinaryState movedBranch(TBinaryState state, Change change);

inline bool isWholeRange(const TBinaryBounds &b) { return b.lower == 0 && b.upper == 0xFFFFFFFFu; }

} // namespace rdm
