// The main window's side of the find dialog: its port list, rate list,
// station box and line, reached through the controls the window owns.
#include "app/main_window.h"

#include "app/pick_list.h"
#include "line/serial_line.h"

namespace kv {

int frmMain::portCount() const
{
    return m_controls.get<PickList>(u"Combo1")->count();
}

int frmMain::portNumber() const
{
    return m_MSComm1->commPort();
}

ReleasedLine frmMain::releaseLine()
{
    return m_lineRelease.release();
}

bool frmMain::lineHeld() const
{
    return m_lineRelease.holding();
}

QString frmMain::restoreLine()
{
    return m_lineRelease.restore();
}

void frmMain::choosePort(int number)
{
    m_controls.get<PickList>(u"Combo1")->chooseText(QStringLiteral("COM%1").arg(number));
}

void frmMain::chooseRate(int baudRate)
{
    m_controls.get<PickList>(u"Combo2")->chooseText(QString::number(baudRate));
}

void frmMain::chooseStation(int station)
{
    m_controls.setText(u"txtStationID", QString::number(station));
}

} // namespace kv
