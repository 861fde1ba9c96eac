#include "requests/parameter_write.h"

#include "app/control_set.h"
#include "app/form.h"
#include "app/message_box.h"
#include "modbus/exchange_state.h"
#include "modbus/send_sequence.h"
#include "requests/setting_value.h"

namespace kv {

void cmdSet_Click(Form& form, int index)
{
    const SettingValue setting = settingValue(index, form.controls.text(u"txtValue", index + 2));
    if (!setting.registerValue) {
        MessageBox::show(setting.problem);
        return;
    }
    const std::uint16_t n = *setting.registerValue;
    sendWriteRequest(form, {RequestKind::AddressReadOrWrite,
                            {0xFA, 0x06, 0x0A, static_cast<std::uint8_t>(2 * index), static_cast<std::uint8_t>(n >> 8),
                             static_cast<std::uint8_t>(n & 0xFF)},
                            6, 6});
}

} // namespace kv
