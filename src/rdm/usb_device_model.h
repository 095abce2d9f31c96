#pragma once
// The USB tab's device table as a model over the link's records: row N is record N, and a cell is
// what the record holds now. The table is empty while a search runs and shows every record once
// it has ended complete, as the tab draws it.

#include "rdm/quorix_ctrl.h"

#include <QAbstractTableModel>
#include <QList>

class UsbDeviceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ModelColumn, NicknameColumn, FirmwareColumn, SerialColumn, TempColumn, Columns };

    explicit UsbDeviceModel(const QList<TQuorixCtrl> &records, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // No rows (a search has started: the records are about to be refilled).
    void clear();
    // Every record, one row each (a search has ended complete).
    void showRecords();
    // Record `row` took a new value.
    void recordChanged(int row);

private:
    const QList<TQuorixCtrl> &m_records;
    bool m_shown = false;
};
