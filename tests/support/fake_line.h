#pragma once

#include "line/line.h"

#include <QByteArray>
#include <QList>

#include <chrono>

namespace kv::test {

// A line in memory whose far end the test scripts: "when this request is
// written, these bytes arrive N ms later" (or the line is lost). It records
// what was written and publishes both directions with their times, as a
// transport does, so the engine and the traffic record work on it unchanged.
class FakeLine : public Line {
    Q_OBJECT

public:
    explicit FakeLine(int baudRate = 9600, QObject* parent = nullptr);

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    // Refused while closed, and while the test makes the line refuse writes.
    bool write(const QByteArray& bytes) override;
    int baudRate() const override { return m_baudRate; }
    QString description() const override { return QStringLiteral("fake line"); }
    Framing framing() const override { return m_framing; }
    bool isNetwork() const override { return m_network; }
    // The line plays a connection to a gateway carrying frames so shaped.
    void playGateway(Framing framing)
    {
        m_framing = framing;
        m_network = true;
    }

    // Each time `request` is written, `reply` arrives `after` later, in one chunk.
    void answer(const QByteArray& request, const QByteArray& reply,
        std::chrono::milliseconds after = std::chrono::milliseconds(1));
    // Each time `request` is written, the line is lost `after` later.
    void loseOn(const QByteArray& request, std::chrono::milliseconds after = std::chrono::milliseconds(1));
    void refuseWrites(bool refuse) { m_refuseWrites = refuse; }

    // Everything written, one entry per write.
    const QList<QByteArray>& written() const { return m_written; }

private:
    struct Response {
        QByteArray request;
        QByteArray reply;
        std::chrono::milliseconds after;
        bool lose = false;
    };

    void deliver(const QByteArray& bytes);
    void lose();

    QList<Response> m_script;
    QList<QByteArray> m_written;
    int m_baudRate;
    bool m_open = false;
    bool m_refuseWrites = false;
    Framing m_framing = Framing::Rtu;
    bool m_network = false;
    quint64 m_opening = 0; // what was scripted for an earlier opening does not reach this one
};

} // namespace kv::test
