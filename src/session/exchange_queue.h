#pragma once

#include "protocol/modbus/frame.h"
#include "session/outcome.h"

#include <QObject>
#include <QTimer>

#include <deque>

namespace kv {

class ModbusMaster;

// The requests of every front end sharing one line, one on the wire at a
// time, through the line's one engine, each after the silence that ends a
// frame. A request waits for the one before it to end (its whole reply, or
// its timeout), or takes the exchange over from its own front end's open
// request: that one is then given up and the new one goes out at once, as a
// window polling faster than a silent sensor's timeout expects of its next
// query. Another front end's open request is never given up: the new one goes
// next. Each request has an id; a front end follows its own by it, and names
// itself by any pointer of its own (`owner`).
class ExchangeQueue : public QObject {
    Q_OBJECT

public:
    using Id = quint64;
    enum class Turn { AfterOpen, TakeOver };

    explicit ExchangeQueue(ModbusMaster& master, QObject* parent = nullptr);
    ~ExchangeQueue() override;

    // Sends the request at once when the line is free (or the request takes
    // it over), or queues it. 0 when the line would not take it now (closed,
    // or its transmit queue full): nothing was sent or queued.
    Id submit(const Frame& request, Turn turn = Turn::AfterOpen, const void* owner = nullptr);
    // Drops a request still waiting for its turn; false once it is on the
    // wire or done.
    bool withdraw(Id id);
    // Waiting for its turn or on the wire.
    bool pending(Id id) const;
    // The request on the wire, 0 when the line is free.
    Id open() const { return m_open; }
    // The engine the requests go through, and so the line.
    ModbusMaster& engine() const { return m_master; }

signals:
    // A queued request was handed to the line when its turn came.
    void sent(kv::ExchangeQueue::Id id);
    // A queued request's turn came but the line would not take it.
    void refused(kv::ExchangeQueue::Id id);
    // The request on the wire was given up for one that took it over.
    void givenUp(kv::ExchangeQueue::Id id);
    void finished(kv::ExchangeQueue::Id id, const kv::Outcome& outcome);

private:
    struct Waiting {
        Id id;
        Frame request;
        const void* owner;
    };
    bool startOnWire(const Waiting& request);
    void onFinished(const Outcome& outcome);
    void startNext();

    ModbusMaster& m_master;
    std::deque<Waiting> m_waiting;
    QTimer m_quiet; // the line's silence before the next waiting request
    Id m_open = 0;
    const void* m_openOwner = nullptr;
    Id m_lastId = 0;
};

} // namespace kv
