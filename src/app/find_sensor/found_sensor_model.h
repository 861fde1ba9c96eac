#pragma once

#include "session/sensor_sweep.h"

#include <QAbstractTableModel>
#include <QList>

namespace kv {

// A sensor the search found, with the window's port number for its device.
struct FoundRow {
    int portNumber = 0;
    FoundSensor sensor;
};

// The sensors a search found, one row each, in the order they were found:
// port, device, rate, station, temperature, humidity. A sensor whose values
// could not be read shows dashes there, and why in the tooltip.
class FoundSensorModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { PortColumn, DeviceColumn, RateColumn, StationColumn, TemperatureColumn, HumidityColumn, Columns };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void append(const FoundRow& row);
    void clear();
    const FoundRow& at(int row) const { return m_rows.at(row); }

private:
    QString valueText(const FoundRow& row, int column) const;

    QList<FoundRow> m_rows;
};

} // namespace kv
