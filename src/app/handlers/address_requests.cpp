#include "app/handlers/address_requests.h"

#include "app/control_set.h"
#include "app/form.h"
#include "app/message_box.h"
#include "app/exchange_state.h"
#include "app/handlers/send_sequence.h"
#include "protocol/request_frames.h"

namespace kv {

void cmdReadAdd_Click(Form& form)
{
    // Seven reply bytes are expected, but the event comes with the sixth:
    // only the first byte, the station that answered, is used.
    sendWriteRequest(form, {RequestKind::AddressRead, addressReadHead(), 7, 6});
}

void cmdChangeID_Click(Form& form)
{
    const AddressChange change = readAddressChange(form.controls.text(u"txtSetID", 0), form.controls.text(u"txtSetID", 1));
    if (!change.problem.isEmpty()) {
        MessageBox::show(change.problem);
        return;
    }
    sendWriteRequest(form, {RequestKind::AddressChange, addressChangeHead(change), 6, 6});
}

} // namespace kv
