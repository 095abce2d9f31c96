#pragma once
// Shared by the USB tests (tests/rdm, tests/cli) through glw_test_support.
// Comparing the records a search filled with the virtual controllers it searched, and reading the
// messages it sent.

#include "rdm/quorix_ctrl.h"
#include "sim/rdm/virtual_quorix_line.h"

#include <QList>
#include <QTest>

// The parameter ID and the destination's device ID of a message on the line.
inline quint16 pidOf(const QByteArray &m)
{
    return quint16(quint8(m[21]) << 8 | quint8(m[22]));
}

inline quint32 destId(const QByteArray &m)
{
    return quint32(quint8(m[5])) << 24 | quint32(quint8(m[6])) << 16 | quint32(quint8(m[7])) << 8 | quint8(m[8]);
}

// A message without its transaction number and checksum: the number counts every message of the
// run, the search's included, so two runs that searched differently number the same set apart.
inline QByteArray withoutCounter(QByteArray m)
{
    m[15] = 0;
    m.chop(2);
    return m;
}

// A line of controllers with these device IDs, each with its own parameters.
inline QList<VirtualQuorix> virtualLine(const QList<quint32> &ids)
{
    QList<VirtualQuorix> line;
    for (int i = 0; i < ids.size(); ++i)
        line << makeVirtualQuorix(ids[i], i);
    return line;
}

// Every virtual controller is in the records exactly once, holding what the controller holds.
inline void compareRecords(const QList<TQuorixCtrl> &records, const QList<VirtualQuorix> &line)
{
    QCOMPARE(records.size(), line.size());
    for (const VirtualQuorix &v : line) {
        int seen = 0;
        for (const TQuorixCtrl &r : records) {
            if (r.UID != v.rec.UID)
                continue;
            ++seen;
            QCOMPARE(r.MID, v.rec.MID);
            QCOMPARE(r.SVID, v.rec.SVID);
            QCOMPARE(r.PERS, v.rec.PERS);
            QCOMPARE(r.STA, v.rec.STA);
            QCOMPARE(r.LBL, v.rec.LBL);
            QCOMPARE(r.TMP, v.rec.TMP);
            QCOMPARE(r.RM, v.rec.RM);
            QCOMPARE(r.Gamma, v.rec.Gamma);
        }
        QCOMPARE(seen, 1);
    }
}

