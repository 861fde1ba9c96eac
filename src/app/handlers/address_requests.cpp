#include "app/handlers/address_requests.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/send_sequence.h"
#include "app/message_box.h"
#include "protocol/kv9240b/request_frames.h"

namespace kv {

void cmdReadAdd_Click(Form& form)
{
    // The event waits for the whole reply, CRC included, so that it can be judged.
    sendWriteRequest(form, {RequestKind::AddressRead, addressReadHead(), 7, 7});
}

void cmdChangeID_Click(Form& form)
{
    const AddressChange change
        = readAddressChange(form.controls.text(u"txtSetID", 0), form.controls.text(u"txtSetID", 1));
    if (!change.problem.isEmpty()) {
        MessageBox::show(change.problem);
        return;
    }
    // The reply is the 8-byte echo of the request.
    sendWriteRequest(form, {RequestKind::AddressChange, addressChangeHead(change), 8, 8});
}

} // namespace kv
