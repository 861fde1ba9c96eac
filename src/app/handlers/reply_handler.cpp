#include "app/handlers/reply_handler.h"

#include "app/control_set.h"
#include "app/form.h"
#include "app/status_lamp.h"
#include "app/exchange_state.h"
#include "protocol/hex_text.h"
#include "app/handlers/reply_decoder.h"
#include "serial/comm_port.h"
#include "app/handlers/port_handlers.h"

#include <QLineEdit>

#include <limits>

namespace kv {

namespace {

void countEvent(Form& form)
{
    ExchangeState& vars = form.vars;
    if (vars.RecCount < std::numeric_limits<std::int32_t>::max())
        ++vars.RecCount;
    form.controls.setText(u"lblErrCounter", QString::number(vars.RecCount));
}

void show(Form& form, const DecodedReply& reply)
{
    ControlSet& controls = form.controls;
    for (const DecodedReply::Value& value : reply.values)
        controls.setText(u"txtValue", value.row, value.text);
    for (int box : reply.blackened) {
        if (auto* edit = controls.get<QLineEdit>(u"txtValue", box)) {
            QPalette palette = edit->palette();
            palette.setColor(QPalette::Text, Qt::black);
            edit->setPalette(palette);
        }
    }
    if (reply.address) {
        const QString address = QString::number(*reply.address);
        controls.setText(u"txtSetID", 0, address);
        controls.setText(u"txtStationID", address);
    }
}

} // namespace

void MSComm1_OnComm(Form& form)
{
    countEvent(form);
    CommPort& port = form.MSComm1;
    if (port.commEvent() != CommPort::ReceiveEvent) {
        showLostPort(form); // any other event is only counted, but a lost port turns the lamp red
        return;
    }

    const QByteArray received = port.input();
    port.setInBufferCount(0);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(received.constData()),
                                               static_cast<std::size_t>(received.size()));
    form.controls.setText(u"txtState", receivedFrameText(bytes));

    const DecodedReply reply = decodeReply(bytes, form.vars.CmdType, form.controls.text(u"txtStartID"));
    show(form, reply);
    form.lamp.show(reply.sound ? Lamp::Connected : Lamp::NotConnected);
}

} // namespace kv
