#include "rdm/usb_device_model.h"

#include "rdm/quorix_texts.h"

UsbDeviceModel::UsbDeviceModel(const QList<TQuorixCtrl> &records, QObject *parent)
    : QAbstractTableModel(parent), m_records(records)
{
}

int UsbDeviceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_shown ? 0 : int(m_records.size());
}

int UsbDeviceModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant UsbDeviceModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= Columns)
        return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    return rdm::usbRowTexts(m_records[index.row()]).value(index.column());
}

QVariant UsbDeviceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ModelColumn: return tr("Model");
    case NicknameColumn: return tr("Nickname");
    case FirmwareColumn: return tr("Firmware");
    case SerialColumn: return tr("Serial");
    case TempColumn: return tr("Temp");
    default: return {};
    }
}

void UsbDeviceModel::clear()
{
    beginResetModel();
    m_shown = false;
    endResetModel();
}

void UsbDeviceModel::showRecords()
{
    beginResetModel();
    m_shown = true;
    endResetModel();
}

void UsbDeviceModel::recordChanged(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, Columns - 1));
}
