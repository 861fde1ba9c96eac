#include "app/handlers/measurement_query.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/send_sequence.h"
#include "app/message_box.h"
#include "protocol/kv9240b/number_text.h"
#include "protocol/kv9240b/request_frames.h"

#include <QTimer>

#include <optional>

namespace kv {

namespace {

void countRequest(ControlSet& controls)
{
    const double count = readNumber(controls.text(u"lblCounter")).value_or(0);
    controls.setText(u"lblCounter", QString::number(count + 1, 'g', 15));
}

} // namespace

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
