#include "requests/address_requests.h"

#include "app/control_set.h"
#include "app/form.h"
#include "app/message_box.h"
#include "modbus/exchange_state.h"
#include "modbus/send_sequence.h"
#include "requests/number_text.h"

namespace kv {

void cmdReadAdd_Click(Form& form)
{
    // Seven reply bytes are expected, but the event comes with the sixth:
    // only the first byte, the station that answered, is used.
    sendWriteRequest(form, {RequestKind::AddressReadOrWrite, {0xFA, 0x03, 0x00, 0x00, 0x00, 0x01}, 7, 6});
}

AddressChange readAddressChange(const QString& currentText, const QString& targetText)
{
    const std::optional<double> current = readNumber(currentText);
    if (!current)
        return {0, 0, QStringLiteral("你输入的原设备地址格式有误!")};
    const std::optional<double> target = readNumber(targetText);
    if (!target)
        return {0, 0, QStringLiteral("你输入的目标设备地址格式有误!")};

    const double from = wholePart(*current);
    const double to = wholePart(*target);
    // Station and value are one byte each: an address outside it cannot be sent.
    if (from < 1 || from > 255 || to < 1)
        return {0, 0, QStringLiteral("请指定正确的设备地址，正确值范围为1-250")};
    if (to > 250)
        return {0, 0, QStringLiteral("请指定正确的设备地址，正确值范围为1-250!")};
    return {static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to), {}};
}

void cmdChangeID_Click(Form& form)
{
    const AddressChange change = readAddressChange(form.controls.text(u"txtSetID", 0), form.controls.text(u"txtSetID", 1));
    if (!change.problem.isEmpty()) {
        MessageBox::show(change.problem);
        return;
    }
    sendWriteRequest(form, {RequestKind::AddressChange, {change.station, 0x06, 0x0B, 0x00, 0x00, change.newAddress}, 6, 6});
}

} // namespace kv
