#include "app/handlers/port_handlers.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/gateway_handlers.h"
#include "app/line_in_use.h"
#include "app/message_box.h"
#include "app/open_failure_text.h"
#include "app/pick_list.h"
#include "app/status_lamp.h"
#include "line/serial_line.h"
#include "net/tcp_line.h"

#include <QCoreApplication>

namespace kv {

namespace {

void reportOpenFailure(Form& form, const QString& detail)
{
    form.lamp.show(Lamp::NotConnected);
    MessageBox::show({QCoreApplication::translate("kv::PortHandlers", "出错提示"),
        QCoreApplication::translate("kv::PortHandlers", "串口已打开或被占用！"), MessageBox::Icon::Exclamation,
        detail});
}

QString currentSettings(const Form& form)
{
    return settingsText(form.vars.CommRate);
}

} // namespace

void cmdCom_Click(Form& form)
{
    if (form.line.onNetwork()) {
        reopenGateway(form);
        return;
    }
    SerialLine& port = form.MSComm1;
    if (!port.portOpen()) {
        if (!port.setSettings(currentSettings(form))) {
            reportOpenFailure(form,
                QCoreApplication::translate("kv::PortHandlers", "串口不接受线路设置 %1。").arg(currentSettings(form)));
            return;
        }
        form.lamp.show(Lamp::Connected);
        if (!port.setPortOpen(true))
            reportOpenFailure(form, openFailureText(port));
        return;
    }
    form.lamp.show(Lamp::Connected);
    if (!port.setPortOpen(false) || !port.setPortOpen(true))
        reportOpenFailure(form, openFailureText(port));
}

void Command1_Click(Form& form)
{
    form.lamp.show(Lamp::NotConnected);
    if (form.line.onNetwork())
        form.line.close();
    else if (form.MSComm1.portOpen())
        form.MSComm1.setPortOpen(false);
}

void Combo1_Click(Form& form)
{
    const int position = form.controls.get<PickList>(u"Combo1")->currentIndex();
    if (position != -1 && position == gatewayEntry(form)) {
        reopenGateway(form);
        return;
    }
    leaveGateway(form);

    SerialLine& port = form.MSComm1;
    if (port.portOpen())
        port.setPortOpen(false);

    if (position == -1) {
        form.lamp.show(Lamp::NotConnected);
        MessageBox::show(QCoreApplication::translate("kv::PortHandlers", "请选择端口"));
        return;
    }

    // Each step that fails is skipped: a refused number keeps the previous
    // port, and a port that will not open stays closed without a word, but
    // with the red lamp: a closed port never shows green.
    port.setCommPort(position + 1);
    form.vars.CommNum = static_cast<std::int16_t>(port.commPort());
    port.setSettings(currentSettings(form));
    if (port.portOpen())
        return;
    if (!port.setPortOpen(true))
        form.lamp.show(Lamp::NotConnected);
    form.vars.CycleOn = true;
}

void Combo2_Click(Form& form)
{
    bool isRate = false;
    const short rate = form.controls.text(u"Combo2").trimmed().toShort(&isRate);
    if (isRate)
        form.vars.CommRate = rate;

    SerialLine& port = form.MSComm1;
    if (form.line.onNetwork()) {
        // The gateway's serial side has its own setting: the connection
        // stays as it is and only derives its timeouts from the rate.
        port.setSettings(currentSettings(form)); // used when the serial port is chosen again
        form.line.connection()->setBaudRate(form.vars.CommRate);
        return;
    }
    if (!port.portOpen()) {
        port.setSettings(currentSettings(form)); // used by the next open
        form.lamp.show(Lamp::NotConnected);
        return;
    }
    port.setPortOpen(false);
    port.setSettings(currentSettings(form));
    // A port that cannot be reopened at the new rate is left closed, and the
    // technician is told so rather than seeing a lamp that still claims a link.
    if (!port.setPortOpen(true))
        reportOpenFailure(form, openFailureText(port));
}

void showLostPort(Form& form)
{
    const SerialLine& port = form.MSComm1;
    form.lamp.show(Lamp::NotConnected);
    // Told once, here: the next poll tick must not add the closed-port message.
    form.vars.CycleOn = false;
    if (MessageBox::isOpen())
        return; // never a box on top of another; the red lamp stays
    if (form.line.onNetwork()) {
        const TcpLine& connection = *form.line.connection();
        MessageBox::show({QCoreApplication::translate("kv::PortHandlers", "出错提示"),
            QCoreApplication::translate("kv::PortHandlers", "与 %1 的网络连接已断开").arg(connection.description()),
            MessageBox::Icon::Exclamation, connectFailureText(connection)});
        return;
    }
    MessageBox::show({QCoreApplication::translate("kv::PortHandlers", "出错提示"),
        QCoreApplication::translate(
            "kv::PortHandlers", "COM%1 的串口设备 %2 已断开，串口已关闭。请重新插好转换器，然后按“打开串口”。")
            .arg(QString::number(port.commPort()), port.devicePath()),
        MessageBox::Icon::Exclamation, {}});
}

} // namespace kv
