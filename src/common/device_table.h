#pragma once
// The device tables of both tabs: five read-only text columns, whole-row selection, rows 21 high,
// rows only ever appended or all cleared. A table is a view over a model of its link's records.

#include <QHeaderView>
#include <QKeySequence>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>

inline constexpr int DeviceGridHeight = 401;

// A view's model is set first: the column widths go to its columns.
inline void setupDeviceView(QTableView *grid)
{
    grid->setGeometry(4, 56, 729, DeviceGridHeight);
    const int widths[] = {150, 150, 150, 150, 125};
    const int columns = grid->model() ? grid->model()->columnCount() : 0;
    for (int c = 0; c < columns && c < 5; ++c)
        grid->setColumnWidth(c, widths[c]);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(21);
    grid->verticalHeader()->setDefaultSectionSize(21);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
}

// A tab page is a few pixels shorter than the grid plus a line of text below it (how much depends
// on the style's tab bar), so a status line placed below the grid would be cut off at the page's
// edge. It sits on the page's bottom edge instead, as tall as its text needs, and the grid ends
// where it begins. Called whenever the page changes size.
inline void placeStatusLine(QWidget *grid, QStatusBar *bar)
{
    const QWidget *page = bar->parentWidget();
    const int height = bar->sizeHint().height();
    const int top = page->height() - height;
    bar->setGeometry(0, top, page->width(), height);
    grid->resize(grid->width(), qBound(0, top - grid->y(), DeviceGridHeight));
}

// The keyboard does what the mouse does: Return or Enter opens the current row as a double-click
// would (the row is selected first, as a click selects it), and Tab and Shift+Tab go on to the
// next control instead of from cell to cell, so a filled table does not trap the focus.
template <class Open>
void openRowsByKeyboard(QTableView *grid, Open open)
{
    grid->setTabKeyNavigation(false);
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto *shortcut = new QShortcut(QKeySequence(key), grid);
        shortcut->setContext(Qt::WidgetShortcut);
        QObject::connect(shortcut, &QShortcut::activated, grid, [grid, open] {
            const int row = grid->currentIndex().row();
            if (row < 0)
                return;
            grid->selectRow(row);
            open(row);
        });
    }
}

// After a dialog opened from a table has closed, however it closed (a message box shown and the
// dialog closed in one step leaves no window active), the operator goes on at the table.
inline void returnFocusTo(QWidget *widget)
{
    widget->window()->activateWindow();
    widget->setFocus(Qt::OtherFocusReason);
}
