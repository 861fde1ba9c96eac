#include "app/exchange_status.h"

#include "protocol/modbus/reply_check.h"
#include "protocol/modbus/wire_timing.h"
#include "session/frame_wording.h"
#include "session/traffic_recorder.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

// Milliseconds from the request having left the line to the answer's last
// byte, as the traffic log's statistics count them; empty when the row before
// the answer is not its request.
std::optional<qint64> responseMs(const TrafficFrame& answer, const TrafficFrame* previous)
{
    if (!previous || previous->number != answer.requestNumber)
        return std::nullopt;
    const qint64 requestGone
        = previous->at + frameTime(static_cast<int>(previous->bytes.size()), previous->baudRate).count();
    return std::llround(static_cast<double>(std::max<qint64>(0, answer.at - requestGone)) / 1e6);
}

} // namespace

bool endsExchange(const TrafficFrame& frame)
{
    return frame.verdict != FrameVerdict::Request && frame.verdict != FrameVerdict::Unsolicited;
}

ExchangeStatus::ExchangeStatus(const TrafficRecorder& traffic, QWidget* parent)
    : QLabel(parent)
    , m_traffic(traffic)
{
    setObjectName(QStringLiteral("exchangeStatus"));
    setMinimumWidth(0); // a long text is cut by the fixed-size window, not widening it
    setText(tr("尚无通信"));
    connect(&traffic, &TrafficRecorder::framesAdded, this, &ExchangeStatus::framesAdded);
}

void ExchangeStatus::framesAdded(qsizetype count)
{
    // Only the newest exchange is shown: look back from the end.
    for (qsizetype row = m_traffic.size() - 1; row >= std::max<qsizetype>(0, m_traffic.size() - count); --row) {
        if (endsExchange(m_traffic.at(row))) {
            show(m_traffic.at(row), row > 0 ? &m_traffic.at(row - 1) : nullptr);
            return;
        }
    }
}

void ExchangeStatus::show(const TrafficFrame& frame, const TrafficFrame* previous)
{
    QString outcome;
    switch (frame.verdict) {
    case FrameVerdict::Ok:
        if (const std::optional<qint64> ms = responseMs(frame, previous))
            outcome = tr("正常，响应 %1 ms").arg(*ms);
        else
            outcome = tr("正常");
        break;
    case FrameVerdict::NoReply:
        outcome = frame.waited >= 1'000'000'000
            ? tr("无应答（等待 %1 s）").arg(static_cast<double>(frame.waited) / 1e9, 0, 'f', 1)
            : tr("无应答（等待 %1 ms）").arg(frame.waited / 1'000'000);
        break;
    case FrameVerdict::Exception:
        outcome = tr("异常 %1：%2")
                      .arg(QString::number(frame.check.exceptionCode, 16).rightJustified(2, QLatin1Char('0')).toUpper(),
                          exceptionName(frame.check.exceptionCode));
        break;
    case FrameVerdict::BadCrc:
        outcome = tr("CRC 错误");
        break;
    case FrameVerdict::Partial:
        outcome = tr("应答不完整：收到 %1 字节，应为 %2 字节").arg(frame.bytes.size()).arg(frame.check.expected);
        break;
    case FrameVerdict::Unexpected:
        outcome = tr("应答与请求不符：%1").arg(meaningText(frame));
        break;
    case FrameVerdict::PortLost:
        outcome = frame.network ? tr("网络连接已断开") : tr("串口设备已断开");
        break;
    case FrameVerdict::Request:
    case FrameVerdict::Unsolicited:
    case FrameVerdict::Late: // its own request's outcome was shown when it ended
        return;
    }
    const QString time = QDateTime::fromMSecsSinceEpoch(frame.wallMs).toString(QStringLiteral("HH:mm:ss"));
    setText(time + QStringLiteral("  ") + outcome);
    setToolTip(text()); // in full where the bar cuts it short
    QPalette colours = parentWidget() ? parentWidget()->palette() : palette();
    if (frame.verdict != FrameVerdict::Ok)
        colours.setColor(QPalette::WindowText, QColor(200, 0, 0));
    setPalette(colours);
}

} // namespace kv
