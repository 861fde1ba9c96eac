#include "app/handlers/reply_handler.h"

#include "app/control_set.h"
#include "app/decoded_readings.h"
#include "app/edited_values.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/reply_decoder.h"
#include "app/status_lamp.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/modbus/hex_text.h"
#include "session/outcome.h"

#include <QLineEdit>

#include <algorithm>
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
        auto* edit = controls.get<QLineEdit>(u"txtValue", box);
        // Black already at every poll but the first after a red one: resolving
        // a palette again costs more than the rest of the reply.
        if (edit && edit->palette().color(QPalette::Text) != QColor(Qt::black)) {
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

} // namespace

void MSComm1_OnComm(Form& form, quint64 id, const Outcome& outcome)
{
    ExchangeState& vars = form.vars;
    if (id == 0 || (id != vars.QueryId && id != vars.WriteId))
        return;
    const bool query = id == vars.QueryId;
    (query ? vars.QueryId : vars.WriteId) = 0;
    const std::int16_t cmdType = query ? RequestKind::Measurement : vars.PendingWrite->cmdType;
    const int threshold = query ? vars.RecLen : vars.PendingWrite->threshold;
    // Decoded in the RTU frame's shape whatever the line carried; through a
    // Modbus TCP gateway that frame comes without the CRC the threshold counts.
    const QByteArray frame = outcome.frame();
    const qsizetype crcMissing = outcome.framing == Framing::Mbap ? 2 : 0;
    if (frame.size() + crcMissing < threshold)
        return;

    // The box shows the bytes as they came off the line.
    form.controls.setText(u"txtState", receivedFrameText(asSpan(outcome.reply)));
    const DecodedReply reply = decodeReply(
        asSpan(frame), outcome.check, cmdType, asSpan(outcome.request), form.controls.text(u"txtStartID"));
    if (reply.accepted())
        countReception(form);
    show(form, reply);
    publishReading(form, reply);
    form.lamp.show(reply.verdict == DecodedReply::Verdict::Refused ? Lamp::NotConnected : Lamp::Connected);
}

void showStrayBytes(Form& form, const QByteArray& bytes)
{
    if (bytes.size() < std::max<int>(form.vars.RecLen, 1))
        return;
    form.controls.setText(u"txtState", receivedFrameText(asSpan(bytes)));
    // Before the first request anything heard shows that the line lives.
    if (form.vars.CmdType == RequestKind::None)
        form.lamp.show(Lamp::Connected);
}

} // namespace kv
