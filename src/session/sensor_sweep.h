#pragma once

#include "protocol/kv9240b/measurement.h"
#include "protocol/modbus/frame.h"
#include "serial/comm_port.h"
#include "session/modbus_master.h"
#include "session/outcome.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>

namespace kv {

// What a sweep tries: ports, rates, and whether to scan the stations when
// station 250 gave nothing.
struct SweepPlan {
    QStringList devices;                              // device paths to open, in order
    QList<int> baudRates{9600, 19200, 4800, 2400};    // the factory rate first
    bool scanWhenSilent = false;                      // scan stations 1 to 247 when nobody answers 250
    std::optional<std::chrono::milliseconds> timeout; // a fixed timeout for every exchange
};

// A sensor that answered: where, and what it measured when its values were
// read (valuesStatus says how that read ended; values stay empty unless ok).
struct FoundSensor {
    QString device;
    int baudRate = 0;
    std::uint8_t station = 0;
    OutcomeKind valuesStatus = OutcomeKind::NoReply;
    Measurement values;
};

// Looks for sensors on serial ports, one port and rate after the other, without
// blocking: on each it reads the station number through station 250, which
// every sensor answers, then that station's registers 0 to 4 for its values.
// When the station named does not give its values, 250 is asked once more
// (one spoiled answer names a station nobody has), and the station it names
// then is read and reported, whatever comes.
// When several sensors share the line their answers to 250 collide into a
// garbled frame; the sweep recognises that (any reply but an intact answer or
// exception, three times running: one sensor's answer spoiled once on the
// line is no collision) and then asks stations 1 to 247 one by one at that rate. A
// window and the command line drive it alike.
class SensorSweep : public QObject {
    Q_OBJECT

public:
    // The first station a scan asks, and the last: the numbers a Modbus station may have.
    static constexpr int FirstStation = 1;
    static constexpr int LastStation = 247;
    // A scan asks 247 stations: a short allowance beyond the exchange on the
    // wire keeps a silent rate near 17 s at 9600 baud, and still gives a
    // sensor 45 ms to start its answer.
    static constexpr std::chrono::milliseconds ScanAllowance{40};
    // How often a garbled answer to 250 is asked again before it counts as a collision.
    static constexpr int GarbledRetries = 2;

    explicit SensorSweep(QObject* parent = nullptr);
    ~SensorSweep() override;

    // The line the sweep works on, for a traffic recorder to attach to.
    CommPort& port() { return m_port; }

    // Begins the sweep (the first exchange follows on the event loop); false
    // while one is running.
    bool start(const SweepPlan& plan);
    // Ends the sweep at once: the open exchange is abandoned, finished() follows
    // before this returns.
    void stop();
    bool running() const { return m_running; }

signals:
    // About to ask `station` on `device` at `baudRate` (250: the station-250 read).
    void trying(const QString& device, int baudRate, int station);
    // The device could not be opened: port().openFailure() says why; the sweep goes on.
    void portFailed(const QString& device);
    // The device failed while the sweep used it (adapter pulled out, line hung
    // up); the sensors found on it stay found, the sweep goes on with the next.
    void portLost(const QString& device);
    // Nothing at all came back on the device at any of the rates tried.
    void silentPort(const QString& device, const QList<int>& baudRates);
    // Station 250's answers collided at this rate: the stations are scanned one by one.
    void collision(const QString& device, int baudRate, const kv::Outcome& outcome);
    void found(const kv::FoundSensor& sensor);
    // A station answered its scan with something no sensor says alone (a bad
    // CRC: two sensors with one station number?); not counted as found.
    void unreadable(const QString& device, int baudRate, int station, const kv::Outcome& outcome);
    void finished(int found, qint64 elapsedMs);

private:
    enum class Step { AddressRead, ValuesRead, Scan };

    void openNextDevice();
    void beginRate();
    void nextRate();
    void ask(Step step, std::uint8_t station, std::chrono::milliseconds allowance);
    void sendNow();
    void onOutcome(const Outcome& outcome);
    void afterAddressRead(const Outcome& outcome);
    void afterValuesRead(const Outcome& outcome);
    void afterScan(const Outcome& outcome);
    void beginScan();
    void report(std::uint8_t station, const Outcome& outcome);
    void finish();
    QString device() const { return m_plan.devices.value(m_deviceIndex); }
    int baudRate() const { return m_plan.baudRates.value(m_rateIndex); }

    CommPort m_port;
    ModbusMaster m_master{m_port};
    QTimer m_quiet; // holds the next request back until the line has been silent
    QElapsedTimer m_clock;
    SweepPlan m_plan;
    Frame m_request{};
    Step m_step = Step::AddressRead;
    std::uint8_t m_station = 0;
    // At this rate: the station 250 named whose values did not come; the
    // address read is repeated once before it is reported.
    std::optional<std::uint8_t> m_unconfirmed;
    int m_garbledAnswers = 0; // garbled answers to 250 at this rate
    bool m_heard = false;     // anything came back on this device
    qsizetype m_deviceIndex = -1;
    qsizetype m_rateIndex = 0;
    int m_found = 0;
    quint64 m_sweeps = 0; // sweeps started
    bool m_running = false;
};

} // namespace kv
