#include "app/traffic_log/problem_filter.h"

#include "app/traffic_log/traffic_log_model.h"
#include "session/traffic_recorder.h"

namespace kv {

ProblemFilter::ProblemFilter(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    // A request is judged by the row after it, which may come in a later
    // batch: the log then marks the request changed and it is looked at again.
    setDynamicSortFilter(true);
}

void ProblemFilter::setLog(TrafficLogModel* log)
{
    m_log = log;
    setSourceModel(log);
}

bool ProblemFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const TrafficFrame* frame = m_log ? m_log->frameAt(sourceRow) : nullptr;
    if (!frame)
        return false;
    if (frame->isProblem())
        return true;
    if (frame->verdict != FrameVerdict::Request)
        return false;
    // Whatever answers a request is the frame right after it in the recorder:
    // an answer, a stated no reply, or the port lost (shown yet or not).
    const TrafficRecorder& recorder = m_log->recorder();
    const auto next = static_cast<qsizetype>(frame->number - recorder.at(0).number) + 1;
    if (next >= recorder.size())
        return false;
    const TrafficFrame& answer = recorder.at(next);
    return answer.requestNumber == frame->number && answer.isProblem();
}

} // namespace kv
