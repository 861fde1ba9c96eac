#include "app/handlers/parameter_write.h"

#include "app/control_set.h"
#include "app/edited_values.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/send_sequence.h"
#include "app/line_in_use.h"
#include "app/message_box.h"
#include "protocol/kv9240b/measurement.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/kv9240b/setting_value.h"

#include <QCoreApplication>

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
    // Through a gateway the sensor's new rate must be set on the gateway's
    // serial side as well, or the sensor will not be heard again.
    if (index + 2 == BaudRateRow && form.line.onNetwork() && form.vars.WriteId != 0) {
        MessageBox::show(QCoreApplication::translate("kv::ParameterWrite",
            "传感器的波特率将改为 %1。网关串口一侧的波特率须随之在网关上改为 %1，否则之后收不到传感器的应答。")
                             .arg(form.controls.text(u"txtValue", index + 2).trimmed()));
    }
}

} // namespace kv
