#include "app/form_load.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/message_box.h"
#include "app/open_failure_text.h"
#include "app/pick_list.h"
#include "line/serial_line.h"

#include <QCoreApplication>

namespace kv {

void Form_Load(Form& form)
{
    ControlSet& controls = form.controls;
    ExchangeState& vars = form.vars;
    SerialLine& port = form.MSComm1;

    // 1-5: defaults and the baud-rate list.
    controls.setText(u"txtStationID", QStringLiteral("1"));
    auto* rates = controls.get<PickList>(u"Combo2");
    rates->clear();
    rates->addItems({QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200")});
    vars.CommNum = 1;
    controls.setText(u"txtDataLength", QStringLiteral("5"));
    vars.CommRate = 9600;

    // 6: choosing 9600 runs the baud list's handler.
    rates->chooseText(QString::number(vars.CommRate));

    // 7: the serial port object, still closed. Its buffers and events are the
    // line's exchange engine's business.
    port.setCommPort(1);
    port.setSettings(settingsText(vars.CommRate));

    // 8: choosing the default port runs the port list's handler, which opens it.
    controls.get<PickList>(u"Combo1")->chooseText(QStringLiteral("COM%1").arg(vars.CommNum));

    // 9: report a port that is not open.
    if (port.portOpen()) {
        vars.CycleOn = true;
        return;
    }
    MessageBox::show({QCoreApplication::translate("kv::FormLoad", "VORT系统出错提示"),
        QCoreApplication::translate("kv::FormLoad", "请检查串口端口,串口端口%1无法打开!").arg(vars.CommNum),
        MessageBox::Icon::None, openFailureText(port)});
    vars.CycleOn = false;
}

} // namespace kv
