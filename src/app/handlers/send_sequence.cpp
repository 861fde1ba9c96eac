#include "app/handlers/send_sequence.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/message_box.h"
#include "app/status_lamp.h"
#include "protocol/modbus/crc16.h"
#include "protocol/modbus/hex_text.h"
#include "protocol/modbus/wire_timing.h"
#include "serial/comm_port.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace kv {

namespace {

// How long polling holds back for the whole reply to a write or address
// request: far longer than any sensor takes to answer at 2400 baud.
constexpr int WriteReplyWaitMs = 500;

// What a sensor may add to the time a measurement exchange takes on the line
// before its reply is given up (its turnaround, the driver's latency).
constexpr std::chrono::milliseconds ReplyAllowance{100};

// Empties the receive buffer and disarms the receive event, so nothing older
// than the coming request is taken for its reply.
void prepareReceiveSide(CommPort& port)
{
    port.setInBufferCount(0);
    port.setInputLen(0);
    port.setRThreshold(0);
}

QByteArray bytesOf(const Frame& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
}

// Hands the frame over; a request sent after one that heard nothing back
// (not even bytes the buffer reset emptied) may meet that one's reply late.
bool sendFrame(CommPort& port, ExchangeState& vars, const Frame& frame)
{
    const bool previousHeardNothing = port.lastWrittenAt() != 0 && port.lastArrivedAt() < port.lastWrittenAt();
    if (!port.output(bytesOf(frame)))
        return false;
    vars.FollowsUnanswered = previousHeardNothing;
    return true;
}

// Until when the reply to a query just written can still arrive.
QDeadlineTimer measurementReplyDue(const Form& form, int replyBytes)
{
    const auto exchange = exchangeTime(static_cast<int>(Frame().size()), replyBytes, form.MSComm1.baudRate(), {});
    return QDeadlineTimer(std::chrono::ceil<std::chrono::milliseconds>(exchange + ReplyAllowance), Qt::PreciseTimer);
}

} // namespace

Frame completeFrame(const FrameHead& head, Form& form)
{
    Frame frame{};
    std::copy(head.begin(), head.end(), frame.begin());
    Crc16(frame, 5, form.vars.HiByte, form.vars.LoByte);
    frame[6] = static_cast<std::uint8_t>(form.vars.HiByte);
    frame[7] = form.vars.LoByte;
    return frame;
}

namespace {

// Tries the waiting request again when the reply can no longer come; the
// reply handler sends it earlier when the reply is in.
void retryWhenDue(Form& form)
{
    const auto remaining
        = std::chrono::ceil<std::chrono::milliseconds>(form.vars.MeasurementAwaited.remainingTimeAsDuration());
    QTimer::singleShot(remaining, Qt::PreciseTimer, &form.MSComm1, [&form] { sendDeferredWrite(form); });
}

// The send sequence of a write or address request.
void runWriteSequence(Form& form, const WriteRequest& request)
{
    CommPort& port = form.MSComm1;
    ExchangeState& vars = form.vars;
    vars.CmdType = request.cmdType;
    vars.WriteAwaited = QDeadlineTimer();
    vars.SendText.clear();
    form.controls.setText(u"txtState", QString());
    prepareReceiveSide(port);
    const Frame frame = completeFrame(request.head, form);
    vars.LastRequest = frame;
    vars.RecLen = request.recLen;
    vars.SendText = sentFrameText(frame);
    port.setRThreshold(request.threshold);
    form.controls.setText(u"txtCommand", vars.SendText);
    if (!port.portOpen()) {
        form.lamp.show(Lamp::NotConnected);
        return;
    }
    form.lamp.show(Lamp::Connected);
    if (sendFrame(port, vars, frame))
        vars.WriteAwaited = QDeadlineTimer(WriteReplyWaitMs);
    else
        form.lamp.show(Lamp::NotConnected); // dropped by a full transmit queue
}

} // namespace

void sendMeasurementQuery(Form& form, const FrameHead& head)
{
    CommPort& port = form.MSComm1;
    ExchangeState& vars = form.vars;
    if (!port.portOpen()) {
        MessageBox::show(QCoreApplication::translate("kv::SendSequence", "打开串口出错，请确定串口是否已被占用"));
        form.lamp.show(Lamp::NotConnected);
        vars.CycleOn = false;
        return;
    }
    form.lamp.show(Lamp::Yellow);
    prepareReceiveSide(port);
    const Frame frame = completeFrame(head, form);
    vars.RecLen = static_cast<std::int16_t>(2 * frame[5] + 5);
    port.setRThreshold(vars.RecLen);
    vars.CmdType = RequestKind::Measurement;
    vars.LastRequest = frame;
    vars.WriteAwaited = QDeadlineTimer(); // this query takes the exchange over
    // A transmit queue that cannot take the frame (the far end has stopped
    // reading) drops it: red, and the next request tries again.
    if (sendFrame(port, vars, frame))
        vars.MeasurementAwaited = measurementReplyDue(form, vars.RecLen);
    else
        form.lamp.show(Lamp::NotConnected);
    vars.SendText = sentFrameText(frame);
    form.controls.setText(u"txtCommand", vars.SendText);
}

void sendWriteRequest(Form& form, const WriteRequest& request)
{
    // The sensor answering a query does not hear a request sent meanwhile.
    if (!form.vars.MeasurementAwaited.hasExpired()) {
        const bool timerRunning = form.vars.DeferredWrite.has_value();
        form.vars.DeferredWrite = request; // a later press replaces an earlier one
        if (!timerRunning)
            retryWhenDue(form);
        return;
    }
    runWriteSequence(form, request);
}

void sendDeferredWrite(Form& form)
{
    if (!form.vars.DeferredWrite)
        return;
    if (!form.vars.MeasurementAwaited.hasExpired()) { // a newer query went out meanwhile
        retryWhenDue(form);
        return;
    }
    const WriteRequest request = *std::exchange(form.vars.DeferredWrite, std::nullopt);
    runWriteSequence(form, request);
}

} // namespace kv
