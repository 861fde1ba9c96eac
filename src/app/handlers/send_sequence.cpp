#include "app/handlers/send_sequence.h"

#include "app/control_set.h"
#include "app/form.h"
#include "app/message_box.h"
#include "app/status_lamp.h"
#include "protocol/crc16.h"
#include "app/exchange_state.h"
#include "protocol/hex_text.h"
#include "serial/comm_port.h"

#include <QByteArray>

#include <algorithm>

namespace kv {

namespace {

// Empties the receive buffer and disarms the receive event, so nothing older
// than the coming request is taken for its reply.
void prepareReceiveSide(CommPort& port)
{
    port.setInBufferCount(0);
    port.setInputLen(0);
    port.setInputMode(CommPort::BinaryInput);
    port.setRThreshold(0);
}

QByteArray bytesOf(const Frame& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
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

void sendMeasurementQuery(Form& form, const FrameHead& head)
{
    CommPort& port = form.MSComm1;
    ExchangeState& vars = form.vars;
    if (!port.portOpen()) {
        MessageBox::show(QStringLiteral("打开串口出错，请确定串口是否已被占用"));
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
    port.output(bytesOf(frame));
    vars.SendText = sentFrameText(frame);
    form.controls.setText(u"txtCommand", vars.SendText);
}

void sendWriteRequest(Form& form, const WriteRequest& request)
{
    CommPort& port = form.MSComm1;
    ExchangeState& vars = form.vars;
    vars.CmdType = request.cmdType;
    vars.SendText.clear();
    form.controls.setText(u"txtState", QString());
    prepareReceiveSide(port);
    const Frame frame = completeFrame(request.head, form);
    vars.RecLen = request.recLen;
    vars.SendText = sentFrameText(frame);
    port.setRThreshold(request.threshold);
    form.controls.setText(u"txtCommand", vars.SendText);
    if (port.portOpen()) {
        form.lamp.show(Lamp::Connected);
        port.output(bytesOf(frame));
    } else {
        form.lamp.show(Lamp::NotConnected);
    }
}

} // namespace kv
