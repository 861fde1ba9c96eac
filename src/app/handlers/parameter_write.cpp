#include "app/handlers/parameter_write.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/send_sequence.h"
#include "app/message_box.h"
#include "protocol/request_frames.h"
#include "protocol/setting_value.h"

namespace kv {

void cmdSet_Click(Form& form, int index)
{
    const SettingValue setting = settingValue(index, form.controls.text(u"txtValue", index + 2));
    if (!setting.registerValue) {
        MessageBox::show(setting.problem);
        return;
    }
    sendWriteRequest(form, {RequestKind::ParameterWrite, parameterWriteHead(index, *setting.registerValue), 6, 6});
}

} // namespace kv
