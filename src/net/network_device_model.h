#pragma once
// The network tab's device table as a model over the link's records: row N is record N. A cell is
// what the controller's reply said when it was listed; a workflow that changes the record later
// does not redraw its row. Rows appear as the link lists them and all go when it empties.

#include <QAbstractTableModel>

class NetworkLink;

class NetworkDeviceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ModelColumn, NicknameColumn, IpColumn, FirmwareColumn, TempColumn, Columns };

    explicit NetworkDeviceModel(const NetworkLink &link, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void linkCleared();
    void controllerListed(int row);

    const NetworkLink &m_link;
    // The rows the view has been told of; the link's list may be ahead of it for the moment
    // between listing a record and telling of it.
    int m_rows = 0;
};
