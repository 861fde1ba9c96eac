#pragma once

#include "protocol/modbus/frame.h"
#include "session/reading.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace kv {

class ModbusMaster;

// When the next round of a polling run is due. Rounds stand on a fixed grid, one
// period apart from the first, whatever the exchanges take. A round that
// ended after its successor's tick starts the next one at once on the latest
// tick that has passed, so the grid is kept and no round is skipped.
struct TickSchedule {
    qint64 origin = 0; // monotonic ns of the first round
    qint64 period = 0; // ns

    // The tick of round `next` or, when that has passed, the latest tick not after `now`.
    qint64 nextTick(qint64& next, qint64 now) const;
};

// Reads registers 0 to 4 of each station in turn, round after round: a single
// round, or rounds on a period. Each reading goes to the handler as soon as it
// is taken; the handler returns false to end the run there.
class Poller : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<bool(const Reading&)>;

    struct Plan {
        QList<std::uint8_t> stations;
        std::optional<std::chrono::milliseconds> period; // empty: the rounds follow each other at once
        qint64 rounds = 1;                               // 0: until stopped
        int retries = 0; // further attempts at a station whose exchange failed (not on a lost port)
    };

    Poller(ModbusMaster& master, Plan plan, Handler handler, QObject* parent = nullptr);

    // The first round begins at once.
    void start();
    // Ends the run after the reading in flight (at once between rounds).
    void stopAfterReading();
    bool running() const { return m_running; }

signals:
    void finished();
    // Every exchange as it ended, also those a retry follows; the handler
    // hears only the last attempt at each station.
    void exchanged(const kv::Reading& reading);

private:
    void ask();
    void sendNow();
    void onOutcome(const kv::Outcome& outcome);
    void roundDone();
    void finish();

    ModbusMaster& m_master;
    Plan m_plan;
    Handler m_handler;
    std::vector<Frame> m_requests; // one a station, built once
    QTimer m_timer;
    TickSchedule m_schedule;
    QDateTime m_askedAt;
    qint64 m_round = 0; // rounds done
    qint64 m_tick = 0;  // the tick of the grid the current round belongs to
    qsizetype m_station = 0;
    int m_attempt = 0; // retries made at the current station
    bool m_running = false;
    bool m_stopping = false;
};

} // namespace kv
