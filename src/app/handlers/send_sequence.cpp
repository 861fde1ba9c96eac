#include "app/handlers/send_sequence.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/line_in_use.h"
#include "app/message_box.h"
#include "app/status_lamp.h"
#include "protocol/modbus/crc16.h"
#include "protocol/modbus/hex_text.h"
#include "session/exchange_queue.h"

#include <QCoreApplication>

#include <algorithm>

namespace kv {

Frame completeFrame(const FrameHead& head, Form& form)
{
    Frame frame{};
    std::copy(head.begin(), head.end(), frame.begin());
    Crc16(frame, 5, form.vars.HiByte, form.vars.LoByte);
    frame[6] = static_cast<std::uint8_t>(form.vars.HiByte);
    frame[7] = form.vars.LoByte;
    return frame;
}

void sendMeasurementQuery(Form& form, const FrameHead& head)
{
    ExchangeState& vars = form.vars;
    if (!form.line.isOpen()) {
        MessageBox::show(QCoreApplication::translate("kv::SendSequence", "打开串口出错，请确定串口是否已被占用"));
        form.lamp.show(Lamp::NotConnected);
        vars.CycleOn = false;
        return;
    }
    form.lamp.show(Lamp::Yellow);
    const Frame frame = completeFrame(head, form);
    vars.RecLen = static_cast<std::int16_t>(2 * frame[5] + 5);
    vars.CmdType = RequestKind::Measurement;
    vars.LastRequest = frame;
    // The query takes the exchange over from one still awaiting its answer;
    // a line that cannot take the frame (the far end has stopped reading)
    // drops it: red, and the next request tries again.
    vars.QueryId = form.exchange.submit(frame, ExchangeQueue::Turn::TakeOver, &form);
    if (vars.QueryId == 0)
        form.lamp.show(Lamp::NotConnected);
    vars.SendText = sentFrameText(frame);
    form.controls.setText(u"txtCommand", vars.SendText);
}

namespace {

// What the window shows of a write or address request as it goes out (or
// would, with the line closed).
void showWriteSent(Form& form, const WriteRequest& request, const Frame& frame)
{
    ExchangeState& vars = form.vars;
    vars.CmdType = request.cmdType;
    vars.LastRequest = frame;
    vars.RecLen = request.recLen;
    vars.SendText = sentFrameText(frame);
    form.controls.setText(u"txtState", QString());
    form.controls.setText(u"txtCommand", vars.SendText);
}

} // namespace

void sendWriteRequest(Form& form, const WriteRequest& request)
{
    ExchangeState& vars = form.vars;
    // A later press replaces one still waiting for its turn.
    if (form.exchange.withdraw(vars.WriteId))
        vars.WriteId = 0;
    const Frame frame = completeFrame(request.head, form);
    // The sensor answering a query does not hear a request sent meanwhile:
    // the write waits in the line's queue for that answer (or its timeout).
    vars.WriteId = form.exchange.submit(frame, ExchangeQueue::Turn::AfterOpen, &form);
    vars.PendingWrite = request;
    vars.PendingFrame = frame;
    if (vars.WriteId != 0 && form.exchange.open() != vars.WriteId)
        return; // shown when it goes out (writeRequestSent)
    showWriteSent(form, request, frame);
    form.lamp.show(vars.WriteId != 0 ? Lamp::Connected : Lamp::NotConnected);
}

void writeRequestSent(Form& form, quint64 id, bool sent)
{
    ExchangeState& vars = form.vars;
    if (id != vars.WriteId || !vars.PendingWrite)
        return;
    showWriteSent(form, *vars.PendingWrite, vars.PendingFrame);
    if (!sent)
        vars.WriteId = 0;
    form.lamp.show(sent ? Lamp::Connected : Lamp::NotConnected);
}

void requestGivenUp(Form& form, quint64 id)
{
    if (id == form.vars.WriteId)
        form.vars.WriteId = 0;
}

} // namespace kv
