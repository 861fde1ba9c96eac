#include "requests/measurement_query.h"

#include "app/control_set.h"
#include "app/form.h"
#include "app/message_box.h"
#include "modbus/exchange_state.h"
#include "modbus/send_sequence.h"
#include "requests/number_text.h"

#include <QTimer>

#include <optional>

namespace kv {

namespace {

const QString StationMessage = QStringLiteral("你输入的设备地址格式有误!");
const QString FunctionMessage = QStringLiteral("你输入的功能码格式有误!");
const QString LengthMessage = QStringLiteral("你输入的数据长度格式有误!");
const QString StartMessage = QStringLiteral("你输入的起始地址格式有误!");
const QString LengthRangeMessage = QStringLiteral("你输入的数据长度格式有误,正确的值应该为1-8!");

bool fitsInByte(double value)
{
    return value >= 0 && value <= 255;
}

void countRequest(ControlSet& controls)
{
    const double count = readNumber(controls.text(u"lblCounter")).value_or(0);
    controls.setText(u"lblCounter", QString::number(count + 1, 'g', 15));
}

} // namespace

QueryBoxes readQueryBoxes(const QString& stationText, const QString& functionText, const QString& startText,
                          const QString& lengthText)
{
    const std::optional<double> station = readNumber(stationText);
    if (!station)
        return {{}, StationMessage};
    const std::optional<double> function = readNumber(functionText);
    if (!function)
        return {{}, FunctionMessage};
    const std::optional<double> length = readNumber(lengthText);
    if (!length)
        return {{}, LengthMessage};
    const std::optional<double> start = readNumber(startText);
    if (!start)
        return {{}, StartMessage};

    const double count = wholePart(*length);
    if (count < 1 || count > 8)
        return {{}, LengthRangeMessage};
    // Each value must fit its byte: 300 must not go out as the broadcast address 0.
    const double stationByte = wholePart(*station);
    if (!fitsInByte(stationByte))
        return {{}, StationMessage};
    const double functionByte = roundHalfEven(*function);
    if (!fitsInByte(functionByte))
        return {{}, FunctionMessage};
    const double startByte = wholePart(*start);
    if (!fitsInByte(startByte))
        return {{}, StartMessage};

    return {FrameHead{static_cast<std::uint8_t>(stationByte), static_cast<std::uint8_t>(functionByte), 0,
                      static_cast<std::uint8_t>(startByte), 0, static_cast<std::uint8_t>(count)},
            {}};
}

void comDoOnce_Click(Form& form, QueryOrigin origin)
{
    form.vars.SendText.clear();

    const ControlSet& controls = form.controls;
    const QueryBoxes boxes = readQueryBoxes(controls.text(u"txtStationID"), controls.text(u"txtFunID"),
                                            controls.text(u"txtStartID"), controls.text(u"txtDataLength"));
    if (!boxes.head) {
        MessageBox::show(boxes.problem);
        // A poll would repeat the same message every period: stop it and let
        // the technician correct the box.
        if (origin == QueryOrigin::PollTick)
            form.Timer2.stop();
        return;
    }

    form.controls.setText(u"txtState", QString());
    countRequest(form.controls);
    sendMeasurementQuery(form, *boxes.head);
}

} // namespace kv
