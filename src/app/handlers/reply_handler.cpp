#include "app/handlers/reply_handler.h"

#include "app/control_set.h"
#include "app/decoded_readings.h"
#include "app/edited_values.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/port_handlers.h"
#include "app/handlers/reply_decoder.h"
#include "app/handlers/send_sequence.h"
#include "app/status_lamp.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/modbus/hex_text.h"
#include "protocol/modbus/wire_timing.h"
#include "serial/comm_port.h"

#include <QLineEdit>

#include <limits>

namespace kv {

namespace {

void countReception(Form& form)
{
    ExchangeState& vars = form.vars;
    if (vars.RecCount < std::numeric_limits<std::int32_t>::max())
        ++vars.RecCount;
    form.controls.setText(u"lblErrCounter", QString::number(vars.RecCount));
}

void show(Form& form, const DecodedReply& reply)
{
    ControlSet& controls = form.controls;
    for (const DecodedReply::Value& value : reply.values) {
        if (form.edits.takeDecoded(value.row, value.text))
            controls.setText(u"txtValue", value.row, value.text);
    }
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

// The quantities are named by the rows they land in; only a reply that
// starts at register 0 or 1 puts the temperature and humidity in theirs.
void publishReading(Form& form, const DecodedReply& reply)
{
    if (!reply.measurement || (reply.startRegister != 0 && reply.startRegister != 1))
        return;
    Reading reading;
    reading.time = QDateTime::currentDateTime();
    reading.station = reply.measurement->station;
    reading.status = OutcomeKind::Ok;
    reading.values = *reply.measurement;
    form.readings.publish(reading);
}

bool awaitsWholeReply(std::int16_t cmdType)
{
    return cmdType == RequestKind::AddressChange || cmdType == RequestKind::AddressRead;
}

} // namespace

void MSComm1_OnComm(Form& form)
{
    CommPort& port = form.MSComm1;
    if (port.commEvent() != CommPort::ReceiveEvent) {
        showLostPort(form); // other events are not receptions: only a lost port shows
        return;
    }

    const QByteArray received = port.input();
    port.setInBufferCount(0);
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(received.constData()), static_cast<std::size_t>(received.size()));
    form.controls.setText(u"txtState", receivedFrameText(bytes));

    ExchangeState& vars = form.vars;
    // Begun before the request was sent: the answer to the one before it, come
    // late. It is shown as received, but neither decoded nor counted.
    if (vars.FollowsUnanswered
        && !beganAfter(
            port.lastWrittenAt(), port.lastArrivedAt(), static_cast<int>(received.size()), port.baudRate())) {
        vars.FollowsUnanswered = false;
        return;
    }
    // The threshold is the whole reply: it is in, whatever it says, and what
    // waited for it may go on.
    if (awaitsWholeReply(vars.CmdType))
        vars.WriteAwaited = QDeadlineTimer();
    else if (vars.CmdType == RequestKind::Measurement)
        vars.MeasurementAwaited = QDeadlineTimer();

    const DecodedReply reply = decodeReply(bytes, vars.CmdType, vars.LastRequest, form.controls.text(u"txtStartID"));
    if (reply.accepted())
        countReception(form);
    show(form, reply);
    publishReading(form, reply);
    form.lamp.show(reply.verdict == DecodedReply::Verdict::Refused ? Lamp::NotConnected : Lamp::Connected);
    sendDeferredWrite(form);
}

} // namespace kv
