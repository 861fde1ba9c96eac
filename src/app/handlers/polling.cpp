#include "app/handlers/polling.h"

#include "app/control_set.h"
#include "app/exchange_state.h"
#include "app/form.h"
#include "app/handlers/measurement_query.h"
#include "app/message_box.h"
#include "protocol/kv9240b/number_text.h"
#include "session/exchange_queue.h"

#include <QCoreApplication>
#include <QTimer>

namespace kv {

namespace {

constexpr double ShortestPeriodMs = 50;
constexpr double LongestPeriodMs = 60000;
constexpr double LargestCount = 65535;

void setCounters(Form& form, int value)
{
    form.controls.setText(u"lblCounter", QString::number(value));
    form.controls.setText(u"lblErrCounter", QString::number(value));
    form.vars.RecCount = value;
}

} // namespace

void cmdOneM_Click(Form& form)
{
    setCounters(form, 1);

    const std::optional<double> period = readNumber(form.controls.text(u"txtTimerSet"));
    if (!period || wholePart(*period) > LongestPeriodMs || wholePart(*period) < ShortestPeriodMs) {
        MessageBox::show(
            QCoreApplication::translate("kv::Polling", "你输入的定时时长格式有误，应该为数字，值范围为50-60000!"));
        return;
    }

    form.vars.CycleOn = true;
    form.Timer2.setInterval(static_cast<int>(roundHalfEven(*period)));
    form.Timer2.start();
}

void cmdStopOnce_Click(Form& form)
{
    form.Timer2.stop();
}

void Timer2_Timer(Form& form)
{
    // A message box of an earlier query is still open: its modal loop keeps
    // the timer ticking, and each tick would stack another box on top.
    if (MessageBox::isOpen())
        return;

    if (!isNumber(form.controls.text(u"txtDataLength")))
        form.controls.setText(u"txtDataLength", QStringLiteral("1"));

    // Wrapping only the request counter would leave the reception counter
    // ahead of it; both start again from zero.
    if (readNumber(form.controls.text(u"lblCounter")).value_or(0) > LargestCount)
        setCounters(form, 0);

    // A write or address request waits to go out or for its reply: a query
    // now would run into it on the line, so this tick sends nothing.
    const bool writePending = form.exchange.pending(form.vars.WriteId);
    if (form.vars.CycleOn && !writePending)
        comDoOnce_Click(form, QueryOrigin::PollTick);
}

} // namespace kv
