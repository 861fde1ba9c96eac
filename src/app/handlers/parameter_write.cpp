#include "app/handlers/parameter_write.h"

#include "app/control_set.h"
#include "app/edited_values.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/send_sequence.h"
#include "app/message_box.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/kv9240b/setting_value.h"

namespace kv {

void cmdSet_Click(Form& form, int index)
{
    const SettingValue setting = settingValue(index, form.controls.text(u"txtValue", index + 2));
    if (!setting.registerValue) {
        MessageBox::show(setting.problem);
        return;
    }
    // What the technician typed is on its way: replies may fill the box again.
    form.edits.release(index + 2);
    // The reply is the 8-byte echo of the request.
    sendWriteRequest(form, {RequestKind::ParameterWrite, parameterWriteHead(index, *setting.registerValue), 8, 8});
}

} // namespace kv
