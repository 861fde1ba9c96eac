#include "cli/reopen_signal.h"

#include <csignal>

namespace kv::cli {

ReopenSignal::ReopenSignal(QObject* parent)
    : QObject(parent)
    , m_pipe({SIGHUP}, SA_RESTART) // every rotation sends one
{
    connect(&m_pipe, &SignalPipe::arrived, this, &ReopenSignal::reopenRequested);
}

} // namespace kv::cli
