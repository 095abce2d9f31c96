#include "net/network_device_model.h"

#include "net/network_link.h"

NetworkDeviceModel::NetworkDeviceModel(const NetworkLink &link, QObject *parent)
    : QAbstractTableModel(parent), m_link(link), m_rows(link.count())
{
    connect(&link, &NetworkLink::cleared, this, &NetworkDeviceModel::linkCleared);
    connect(&link, &NetworkLink::controllerListed, this, &NetworkDeviceModel::controllerListed);
}

int NetworkDeviceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int NetworkDeviceModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant NetworkDeviceModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= Columns)
        return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    return m_link.rowTexts(index.row()).value(index.column());
}

QVariant NetworkDeviceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ModelColumn: return tr("Model");
    case NicknameColumn: return tr("Nickname");
    case IpColumn: return tr("IP");
    case FirmwareColumn: return tr("Firmware");
    case TempColumn: return tr("Temp");
    default: return {};
    }
}

void NetworkDeviceModel::linkCleared()
{
    if (m_rows == 0)
        return;
    // Rows removed rather than a reset: a screen reader's view of the table drops exactly those.
    beginRemoveRows({}, 0, m_rows - 1);
    m_rows = 0;
    endRemoveRows();
}

void NetworkDeviceModel::controllerListed(int row)
{
    // The link lists one record at a time, at the end.
    beginInsertRows({}, m_rows, row);
    m_rows = row + 1;
    endInsertRows();
}
