#include "app/traffic_log/traffic_log_model.h"

#include "session/traffic_recorder.h"

#include <QApplication>
#include <QColor>
#include <QFontDatabase>
#include <QStyle>

namespace kv {

namespace {

// Problems stand out twice: a tinted row and an icon beside the verdict, so
// they are found also by someone who cannot tell the tints apart.
QColor problemTint(FrameVerdict verdict)
{
    switch (verdict) {
    case FrameVerdict::Unsolicited:
        return QColor(255, 243, 205);
    case FrameVerdict::PortLost:
        return QColor(255, 200, 200);
    default:
        return QColor(255, 226, 226);
    }
}

} // namespace

TrafficLogModel::TrafficLogModel(TrafficRecorder& recorder, QObject* parent)
    : QAbstractTableModel(parent)
    , m_recorder(recorder)
    , m_problemIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning))
    , m_lostIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical))
    , m_hexFont(QFontDatabase::systemFont(QFontDatabase::FixedFont))
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(BatchInterval);
    connect(&m_batch, &QTimer::timeout, this, &TrafficLogModel::catchUp);
    connect(&recorder, &TrafficRecorder::framesAdded, this, &TrafficLogModel::schedule);
    connect(&recorder, &TrafficRecorder::framesDropped, this, [this](qsizetype count) {
        m_gone += count;
        schedule();
    });
    connect(&recorder, &TrafficRecorder::cleared, this, [this] {
        beginResetModel();
        m_rows = 0;
        m_gone = 0;
        endResetModel();
    });
    // What was recorded before the table existed is there from the start.
    m_rows = static_cast<int>(recorder.size());
}

QString TrafficLogModel::timingNote()
{
    return tr("时间是数据到达本程序的时刻。USB 转换器按块转交数据（由其延迟计时器决定），"
              "所以经由这类转换器看不到小于 1 毫秒的间隔。");
}

int TrafficLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TrafficLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : LogColumnCount;
}

const TrafficFrame* TrafficLogModel::frameAt(int row) const
{
    const int at = recorderRow(row);
    if (row >= m_rows || at < 0 || at >= m_recorder.size())
        return nullptr;
    return &m_recorder.at(at);
}

int TrafficLogModel::requestRowOf(const TrafficFrame& frame) const
{
    if (frame.requestNumber == 0 || m_recorder.size() == 0)
        return -1;
    // Frame numbers run on without a gap through the recorder.
    const auto first = m_recorder.at(0).number;
    if (frame.requestNumber < first)
        return -1;
    const auto row = static_cast<qsizetype>(frame.requestNumber - first) + m_gone;
    return row < m_rows ? static_cast<int>(row) : -1;
}

QVariant TrafficLogModel::data(const QModelIndex& index, int role) const
{
    const TrafficFrame* frame = index.isValid() ? frameAt(index.row()) : nullptr;
    if (!frame)
        return {};
    const auto column = static_cast<LogColumn>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return columnText(*frame, column);
    case Qt::BackgroundRole:
        return frame->isProblem() ? QVariant(problemTint(frame->verdict)) : QVariant();
    case Qt::DecorationRole:
        if (column == LogColumn::Verdict && frame->isProblem())
            return frame->verdict == FrameVerdict::PortLost ? m_lostIcon : m_problemIcon;
        return {};
    case Qt::TextAlignmentRole:
        if (column == LogColumn::Delta || column == LogColumn::Length)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::FontRole:
        if (column == LogColumn::Hex)
            return m_hexFont;
        return {};
    default:
        return {};
    }
}

QVariant TrafficLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    const auto column = static_cast<LogColumn>(section);
    if (role == Qt::ToolTipRole && (column == LogColumn::Time || column == LogColumn::Delta))
        return timingNote();
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case LogColumn::Time:
        return tr("时间");
    case LogColumn::Delta:
        return tr("间隔 (ms)");
    case LogColumn::Direction:
        return tr("方向");
    case LogColumn::Length:
        return tr("长度");
    case LogColumn::Hex:
        return tr("数据（十六进制）");
    case LogColumn::Verdict:
        return tr("判断");
    case LogColumn::Meaning:
        return tr("含义");
    }
    return {};
}

void TrafficLogModel::setPaused(bool paused)
{
    if (m_paused == paused)
        return;
    m_paused = paused;
    if (!paused)
        catchUp();
}

qsizetype TrafficLogModel::waiting() const
{
    return m_recorder.size() - (m_rows - std::min<qsizetype>(m_gone, m_rows));
}

void TrafficLogModel::schedule()
{
    if (!m_batch.isActive())
        m_batch.start();
}

void TrafficLogModel::catchUp()
{
    m_batch.stop();
    emit aboutToCatchUp();
    // Rows whose frames fell off the recorder's top go first; when more fell
    // off than were shown, the rest were never in the table.
    const int gone = static_cast<int>(std::min<qsizetype>(m_gone, m_rows));
    if (gone > 0) {
        beginRemoveRows({}, 0, gone - 1);
        m_rows -= gone;
        m_gone = 0;
        endRemoveRows();
    }
    m_gone = 0;
    const int fresh = m_paused ? 0 : static_cast<int>(m_recorder.size()) - m_rows;
    if (fresh > 0) {
        // A frame whose request is already shown may make that row matter
        // to a filter (a problem shows the request it answers): say so.
        const TrafficFrame& first = m_recorder.at(m_rows);
        const int request = requestRowOf(first);
        beginInsertRows({}, m_rows, m_rows + fresh - 1);
        m_rows += fresh;
        endInsertRows();
        if (request >= 0 && first.isProblem())
            emit dataChanged(index(request, 0), index(request, LogColumnCount - 1));
    }
    emit caughtUp(std::max(gone, 0), std::max(fresh, 0));
}

} // namespace kv
