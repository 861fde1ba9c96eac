#include "serial/read_pause.h"

#include <QSerialPort>

namespace kv {

bool ReadPause::pause()
{
    if (paused())
        return true;
    QSocketNotifier* notifier = readNotifier();
    if (!notifier)
        return false;
    notifier->setEnabled(false);
    m_paused = notifier;
    return true;
}

void ReadPause::resume()
{
    if (m_paused)
        m_paused->setEnabled(true);
    m_paused.clear();
}

void ReadPause::forget()
{
    resume();
    m_found.clear();
}

QSocketNotifier* ReadPause::readNotifier()
{
    if (!m_found || m_found->socket() != m_port.handle()) {
        m_found.clear();
        const auto notifiers = m_port.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly);
        for (QSocketNotifier* notifier : notifiers) {
            if (notifier->type() == QSocketNotifier::Read && notifier->socket() == m_port.handle())
                m_found = notifier;
        }
    }
    return m_found && m_found->isEnabled() ? m_found.data() : nullptr;
}

} // namespace kv
