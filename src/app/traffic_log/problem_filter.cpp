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
    // Whatever answers a request (an answer, a stated no reply, the port
    // lost; shown yet or not) follows it in the recorder: right after it, or,
    // late or stated unanswered, after the next request (and the statement
    // on the one before that).
    constexpr qsizetype FurthestAnswer = 3;
    const TrafficRecorder& recorder = m_log->recorder();
    const auto row = static_cast<qsizetype>(frame->number - recorder.at(0).number);
    for (qsizetype next = row + 1; next < recorder.size() && next <= row + FurthestAnswer; ++next) {
        const TrafficFrame& answer = recorder.at(next);
        if (answer.requestNumber == frame->number)
            return answer.isProblem();
    }
    return false;
}

} // namespace kv
