#pragma once

#include <QLabel>

namespace kv {

class TrafficRecorder;
struct TrafficFrame;

// Under the form: how the last exchange on the form's line ended, in words,
// with the time it ended: "14:03:10  无应答（等待 1.0 s）", "异常 04：从站设备故障",
// "CRC 错误", "正常，响应 21 ms". The lamp only tells that a request went out;
// this tells what came of it. A failure is written in red.
class ExchangeStatus : public QLabel {
    Q_OBJECT

public:
    explicit ExchangeStatus(const TrafficRecorder& traffic, QWidget* parent = nullptr);

private:
    void framesAdded(qsizetype count);
    void show(const TrafficFrame& frame, const TrafficFrame* previous);

    const TrafficRecorder& m_traffic;
};

// Whether the frame says how an exchange ended (an answer, or that none came
// or the line went away), rather than being a request or stray bytes.
bool endsExchange(const TrafficFrame& frame);

} // namespace kv
