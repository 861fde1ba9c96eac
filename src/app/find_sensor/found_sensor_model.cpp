#include "app/find_sensor/found_sensor_model.h"

namespace kv {

int FoundSensorModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FoundSensorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant FoundSensorModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const FoundRow& row = m_rows.at(index.row());
    const bool isValue = index.column() == TemperatureColumn || index.column() == HumidityColumn;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case PortColumn:
            return QStringLiteral("COM%1").arg(row.portNumber);
        case DeviceColumn:
            return row.sensor.device;
        case RateColumn:
            return QString::number(row.sensor.baudRate);
        case StationColumn:
            return QString::number(row.sensor.station);
        case TemperatureColumn:
        case HumidityColumn:
            return valueText(row, index.column());
        }
        return {};
    case Qt::ToolTipRole:
        if (isValue && row.sensor.valuesStatus != OutcomeKind::Ok)
            return tr("读取测量值失败（%1）").arg(statusCode(row.sensor.valuesStatus));
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == PortColumn || index.column() == DeviceColumn)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QString FoundSensorModel::valueText(const FoundRow& row, int column) const
{
    const std::optional<int>& value
        = column == TemperatureColumn ? row.sensor.values.temperature : row.sensor.values.humidity;
    if (row.sensor.valuesStatus != OutcomeKind::Ok || !value)
        return QStringLiteral("—");
    return hundredthsText(*value);
}

QVariant FoundSensorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case PortColumn:
        return tr("端口");
    case DeviceColumn:
        return tr("设备");
    case RateColumn:
        return tr("波特率");
    case StationColumn:
        return tr("站号");
    case TemperatureColumn:
        return tr("温度 (℃)");
    case HumidityColumn:
        return tr("湿度 (%RH)");
    }
    return {};
}

void FoundSensorModel::append(const FoundRow& row)
{
    const int position = static_cast<int>(m_rows.size());
    beginInsertRows({}, position, position);
    m_rows.append(row);
    endInsertRows();
}

void FoundSensorModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

} // namespace kv
