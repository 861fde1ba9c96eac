#include "session/sensor_sweep.h"

#include "protocol/kv9240b/request_frames.h"
#include "serial/line_settings.h"

#include <algorithm>

namespace kv {

SensorSweep::SensorSweep(QObject* parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setTimerType(Qt::PreciseTimer);
    connect(&m_quiet, &QTimer::timeout, this, &SensorSweep::sendNow);
    connect(&m_master, &ModbusMaster::finished, this, &SensorSweep::onOutcome);
}

SensorSweep::~SensorSweep() = default;

bool SensorSweep::start(const SweepPlan& plan)
{
    if (m_running)
        return false;
    m_plan = plan;
    m_deviceIndex = -1;
    m_rateIndex = 0;
    m_found = 0;
    m_running = true;
    m_clock.start();
    // The caller connects to the signals before the first one comes; a sweep
    // stopped and started again before then begins once.
    QTimer::singleShot(0, this, [this, sweep = ++m_sweeps] {
        if (m_running && m_sweeps == sweep)
            openNextDevice();
    });
    return true;
}

void SensorSweep::stop()
{
    if (m_running)
        finish();
}

void SensorSweep::openNextDevice()
{
    // A device tried at every rate (not lost on the way, nor stopped) that never answered.
    if (m_port.portOpen() && !m_heard && m_rateIndex >= m_plan.baudRates.size())
        emit silentPort(device(), m_plan.baudRates);
    m_port.setPortOpen(false);
    m_heard = false;
    while (m_running) {
        ++m_deviceIndex;
        if (m_deviceIndex >= m_plan.devices.size() || m_plan.baudRates.isEmpty()) {
            finish();
            return;
        }
        m_port.setDevice(device());
        m_port.setSettings(settingsText(m_plan.baudRates.first()));
        if (m_port.setPortOpen(true)) {
            m_rateIndex = 0;
            beginRate();
            return;
        }
        emit portFailed(device());
    }
}

void SensorSweep::beginRate()
{
    m_unconfirmed.reset();
    m_garbledAnswers = 0;
    m_port.setSettings(settingsText(baudRate()));
    ask(Step::AddressRead, AnyStation, ModbusMaster::DefaultAllowance);
}

void SensorSweep::nextRate()
{
    ++m_rateIndex;
    if (m_rateIndex < m_plan.baudRates.size())
        beginRate();
    else
        openNextDevice();
}

void SensorSweep::ask(Step step, std::uint8_t station, std::chrono::milliseconds allowance)
{
    m_step = step;
    m_station = station;
    m_request = withCrc(step == Step::AddressRead ? addressReadHead() : readRegistersHead(station, 0, MeasurementRows));
    m_master.setAllowance(allowance);
    m_master.setTimeout(m_plan.timeout);
    emit trying(device(), baudRate(), station);
    if (!m_running)
        return;
    const qint64 untilQuiet = m_master.lineQuietAt() - monotonicNow();
    if (untilQuiet > 0)
        m_quiet.start(std::chrono::ceil<std::chrono::milliseconds>(std::chrono::nanoseconds(untilQuiet)));
    else
        sendNow();
}

void SensorSweep::sendNow()
{
    if (!m_running)
        return;
    if (!m_master.start(m_request)) {
        // The port went away between two exchanges.
        Outcome lost;
        lost.kind = OutcomeKind::PortLost;
        onOutcome(lost);
    }
}

void SensorSweep::onOutcome(const Outcome& outcome)
{
    if (!m_running)
        return;
    if (outcome.kind == OutcomeKind::PortLost) {
        emit portLost(device());
        if (m_running)
            openNextDevice();
        return;
    }
    if (outcome.kind != OutcomeKind::NoReply)
        m_heard = true;
    switch (m_step) {
    case Step::AddressRead:
        afterAddressRead(outcome);
        break;
    case Step::ValuesRead:
        afterValuesRead(outcome);
        break;
    case Step::Scan:
        afterScan(outcome);
        break;
    }
}

void SensorSweep::afterAddressRead(const Outcome& outcome)
{
    // The answer comes from the sensor's own station. An exception is an
    // intact frame too: one sensor refused, nothing collided, and it named
    // its station all the same.
    if (outcome.ok() || outcome.kind == OutcomeKind::Exception) {
        ask(Step::ValuesRead, static_cast<std::uint8_t>(outcome.frame().at(0)), ModbusMaster::DefaultAllowance);
        return;
    }
    if (outcome.kind == OutcomeKind::NoReply) {
        if (m_plan.scanWhenSilent)
            beginScan();
        else
            nextRate();
        return;
    }
    // A garbled answer to 250 is what several sensors answering at once make,
    // but also what noise makes of one sensor's answer: a collision garbles
    // every time, noise now and then.
    if (m_garbledAnswers < GarbledRetries) {
        ++m_garbledAnswers;
        ask(Step::AddressRead, AnyStation, ModbusMaster::DefaultAllowance);
        return;
    }
    emit collision(device(), baudRate(), outcome);
    if (m_running)
        beginScan();
}

void SensorSweep::afterValuesRead(const Outcome& outcome)
{
    // A station named once and then silent may be a misread: station 250 is
    // asked once more before anything is reported, so one spoiled answer
    // does not make a sensor that is not there.
    if (!outcome.ok() && !m_unconfirmed) {
        m_unconfirmed = m_station;
        ask(Step::AddressRead, AnyStation, ModbusMaster::DefaultAllowance);
        return;
    }
    report(m_station, outcome);
    if (m_running)
        nextRate();
}

void SensorSweep::beginScan()
{
    ask(Step::Scan, FirstStation, ScanAllowance);
}

void SensorSweep::afterScan(const Outcome& outcome)
{
    if (outcome.ok())
        report(m_station, outcome);
    else if (outcome.kind != OutcomeKind::NoReply)
        emit unreadable(device(), baudRate(), m_station, outcome);
    if (!m_running)
        return;
    if (m_station < LastStation)
        ask(Step::Scan, static_cast<std::uint8_t>(m_station + 1), ScanAllowance);
    else
        nextRate();
}

void SensorSweep::report(std::uint8_t station, const Outcome& outcome)
{
    FoundSensor sensor;
    sensor.device = device();
    sensor.baudRate = baudRate();
    sensor.station = station;
    sensor.valuesStatus = outcome.kind;
    if (outcome.ok())
        sensor.values = measurementFromRegisters(station, 0, replyRegisters(asSpan(outcome.frame())));
    ++m_found;
    emit found(sensor);
}

void SensorSweep::finish()
{
    m_running = false;
    m_quiet.stop();
    m_master.cancel();
    m_port.setPortOpen(false);
    emit finished(m_found, m_clock.elapsed());
}

} // namespace kv
