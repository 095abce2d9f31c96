#pragma once
// The device tables of both tabs: five read-only text columns, whole-row selection, rows 21 high,
// rows only ever appended or all cleared.

#include <QHeaderView>
#include <QStringList>
#include <QTableWidget>

inline void setupDeviceGrid(QTableWidget *grid, const QStringList &headers)
{
    grid->setGeometry(4, 56, 729, 401);
    grid->setColumnCount(int(headers.size()));
    grid->setHorizontalHeaderLabels(headers);
    const int widths[] = {150, 150, 150, 150, 125};
    for (int c = 0; c < grid->columnCount() && c < 5; ++c)
        grid->setColumnWidth(c, widths[c]);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(21);
    grid->verticalHeader()->setDefaultSectionSize(21);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
}

inline void appendDeviceRow(QTableWidget *grid, const QStringList &cells)
{
    const int row = grid->rowCount();
    grid->setRowCount(row + 1);
    for (int col = 0; col < cells.size(); ++col)
        grid->setItem(row, col, new QTableWidgetItem(cells[col]));
}
