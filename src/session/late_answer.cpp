#include "session/late_answer.h"

#include "protocol/kv9240b/sensor_reply.h"
#include "protocol/modbus/frame.h"

namespace kv {

int lateAnswerLength(
    Framing framing, const QByteArray& lateRequest, const QByteArray& openRequest, const QByteArray& reply)
{
    if (lateRequest.isEmpty())
        return 0;
    if (framing == Framing::Mbap) {
        const ReplyCheck late = checkMbapReply(asSpan(lateRequest), asSpan(reply));
        return late.whole && late.mismatch != Mismatch::Transaction ? late.received : 0;
    }
    const auto answers = [](const ReplyCheck& check) {
        return check.whole && (check.verdict == ReplyVerdict::Ok || check.verdict == ReplyVerdict::Exception);
    };
    const ReplyCheck late = checkReply(asSpan(lateRequest), asSpan(reply));
    return answers(late) && !answers(checkReply(asSpan(openRequest), asSpan(reply))) ? late.received : 0;
}

} // namespace kv
