#pragma once
// What end-to-end tests share: the namespace helpers of netns_sim.h (virtual controllers on the
// controller side of the private namespaces that netns_run.sh made), and driving the main window's
// network table on the app side.

#include "app/form1.h"
#include "glw_test.h"
#include "netns_sim.h"
#include "net/network_tab.h"

#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <memory>

namespace e2e {

// The namespace helpers, as e2e:: too.
using namespace ::netns;

// The network table's row of the controller at `ip`; -1 for none.
inline int rowOf(const QTableView *grid, const QString &ip)
{
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        if (glwtest::rowTexts(grid, r).value(2) == ip)
            return r;
    return -1;
}

// Double-clicks the row as the operator does; `answer` gets the modal windows that open.
inline void doubleClick(QTableView *grid, int row, std::function<void(QWidget *)> answer)
{
    glwtest::answerModal(std::move(answer), 15000);
    const QRect cell = grid->visualRect(grid->model()->index(row, 1));
    // A double-click is a click and then the second press: QTest's double-click alone is not
    // taken as one by the table.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

// Presses Search and waits for `rows` rows, and no more than that.
inline bool search(NetworkTab *net, int rows)
{
    net->Net_Search->click();
    return QTest::qWaitFor([net, rows] { return net->rowCount() == rows; }, 10000)
        && (QTest::qWait(300), net->rowCount() == rows);
}

} // namespace e2e
