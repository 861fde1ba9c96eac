#include "app/window_line_release.h"

#include "app/form.h"
#include "app/handlers/polling.h"
#include "app/open_failure_text.h"
#include "line/serial_line.h"

#include <QTimer>

namespace kv {

ReleasedLine WindowLineRelease::release()
{
    ReleasedLine released;
    if (m_form.Timer2.isActive()) {
        // As the Stop button does it.
        cmdStopOnce_Click(m_form);
        released.pollingStopped = true;
    }
    if (!m_holding && m_form.MSComm1.portOpen()) {
        m_lamp = m_form.lamp.front();
        m_form.MSComm1.setPortOpen(false);
        m_form.lamp.show(Lamp::NotConnected); // a closed port never shows green
        m_holding = true;
        released.portClosed = true;
    }
    return released;
}

QString WindowLineRelease::restore()
{
    if (!m_holding)
        return {};
    m_holding = false;
    if (!m_form.MSComm1.setPortOpen(true))
        return openFailureText(m_form.MSComm1);
    m_form.lamp.show(m_lamp);
    return {};
}

} // namespace kv
