#include "line/line.h"

namespace kv {

qint64 monotonicNow()
{
    // The standard library's steady clock is CLOCK_MONOTONIC on Linux.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Line::Line(QObject* parent)
    : QObject(parent)
{
}

Line::~Line() = default;

void Line::openAsync()
{
    emit openFinished(open());
}

void Line::holdReception(std::chrono::nanoseconds)
{
}

void Line::endHold()
{
}

void Line::collectWaiting()
{
}

void Line::discardWaiting()
{
    collectWaiting();
    endHold();
}

} // namespace kv
