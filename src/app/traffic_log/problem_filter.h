#pragma once

#include <QSortFilterProxyModel>

namespace kv {

class TrafficLogModel;

// The traffic log narrowed to its problems: every problem row, and the
// request each of them answers, so a fault is read with what it answered.
class ProblemFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit ProblemFilter(QObject* parent = nullptr);

    // The log to narrow; null lets go of it (a filter nobody looks at costs
    // nothing while the log grows).
    void setLog(TrafficLogModel* log);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    TrafficLogModel* m_log = nullptr;
};

} // namespace kv
