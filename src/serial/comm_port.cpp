#include "serial/comm_port.h"

#include "protocol/modbus/wire_timing.h"
#include "serial/line_driver.h"
#include "serial/port_directory.h"
#include "serial/port_holder.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kv {

CommPort::CommPort(QObject* parent)
    : SerialLine(parent)
    , m_settingsText(settingsText(9600))
{
    connect(&m_port, &QSerialPort::readyRead, this, [this] { acceptArrived(takeBuffered()); });
    connect(&m_port, &QSerialPort::errorOccurred, this, &CommPort::handlePortError);
    m_hold.setSingleShot(true);
    m_hold.setTimerType(Qt::PreciseTimer);
    connect(&m_hold, &QTimer::timeout, this, &CommPort::holdEnded);
}

CommPort::~CommPort()
{
    if (m_port.isOpen())
        m_port.close();
}

bool CommPort::setCommPort(int portNumber)
{
    if (portNumber < MinPortNumber || portNumber > MaxPortNumber || m_port.isOpen())
        return false;
    m_commPort = portNumber;
    return true;
}

bool CommPort::setDevice(const QString& path)
{
    if (m_port.isOpen())
        return false;
    m_device = path;
    return true;
}

bool CommPort::setSettings(const QString& text)
{
    const std::optional<LineSettings> parsed = LineSettings::parse(text);
    if (!parsed)
        return false;
    if (m_port.isOpen() && !applySettings(*parsed)) {
        // The device may have taken part of the new format before refusing
        // the rest: put the line back to what settings() still reports.
        applySettings(m_lineSettings);
        return false;
    }
    m_lineSettings = *parsed;
    m_settingsText = text;
    return true;
}

bool CommPort::applySettings(const LineSettings& settings)
{
    return m_port.setBaudRate(settings.baudRate) && m_port.setParity(settings.parity)
        && m_port.setDataBits(settings.dataBits) && m_port.setStopBits(settings.stopBits);
}

bool CommPort::setPortOpen(bool open)
{
    if (!open) {
        m_losingPort = false;
        releaseHold();
        m_readPause.forget(); // the serial port watches anew at the next opening
        if (m_port.isOpen())
            m_port.close();
        return true;
    }
    if (m_port.isOpen()) {
        m_openFailure = OpenFailure::AlreadyOpen;
        m_openFailureDetail.clear();
        return false;
    }

    m_openFailure = OpenFailure::None;
    m_openFailureDetail.clear();
    const PortDevice device = m_device.isEmpty() ? portDevice(m_commPort) : PortDevice{m_device, {}, {}, {}};
    m_devicePath = device.path;
    if (device.path.isEmpty()) {
        m_openFailure = OpenFailure::NoDevice;
        return false;
    }

    // Qt keys the port's lock file on the name it is given: a link and the
    // device it points to must be one port, or two windows could share a line.
    const QString canonical = QFileInfo(device.path).canonicalFilePath();
    m_port.setPortName(canonical.isEmpty() ? device.path : canonical);
    applySettings(m_lineSettings);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_openFailure = classifyOpenFailure();
        m_openFailureDetail = m_port.errorString();
        // The serial port locks the device and opens it exclusively: another
        // of our programs holding it is refused here, and named when its lock says who.
        if (m_openFailure == OpenFailure::Busy) {
            if (const QString holder = portHolder(m_port.portName()); !holder.isEmpty())
                m_openFailureDetail = QStringLiteral("held by %1").arg(holder);
        }
        return false;
    }
    // The open itself must succeed before the line settings are checked:
    // a device that refuses them is no use to us.
    if (!applySettings(m_lineSettings)) {
        m_openFailure = OpenFailure::Settings;
        m_openFailureDetail = m_port.errorString();
        m_port.close();
        return false;
    }
    m_port.clear();
    m_inBuffer.clear();
    m_losingPort = false;
    return true;
}

CommPort::OpenFailure CommPort::classifyOpenFailure() const
{
#ifdef Q_OS_UNIX
    // The serial port reports a device it may not open and one that another
    // program holds alike: the file's own access rights tell them apart.
    if (QFileInfo::exists(m_devicePath) && ::access(QFile::encodeName(m_devicePath).constData(), R_OK | W_OK) != 0)
        return OpenFailure::Permission;
#endif
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return OpenFailure::Missing;
    case QSerialPort::PermissionError:
        return OpenFailure::Busy;
    default:
        return OpenFailure::Other;
    }
}

int CommPort::inBufferCount() const
{
    const int held = m_port.isOpen() ? line_driver::pending(m_port.handle()) : 0;
    return std::min(m_inBufferSize, static_cast<int>(m_inBuffer.size()) + held);
}

QByteArray CommPort::takeBuffered()
{
    // Exactly what waits: readAll() would take a 16 KiB block for every few
    // bytes, and the heap would grow and shrink around it on every exchange.
    const qint64 waiting = m_port.bytesAvailable();
    return waiting > 0 ? m_port.read(waiting) : QByteArray();
}

QByteArray CommPort::readFromDriver()
{
    QByteArray arrived = takeBuffered();
    if (const int pending = line_driver::pending(m_port.handle()); pending > 0)
        arrived += line_driver::readPending(m_port.handle(), pending);
    return arrived;
}

qint64 CommPort::arrivalTime(qsizetype bytes)
{
    const qint64 now = monotonicNow();
    if (!holding())
        return now;
    // Gathered while held: the frame's bytes came one character time after
    // another since the hold began (or since the last of them were taken).
    m_heldSince = std::min(now, m_heldSince + frameTime(static_cast<int>(bytes), m_lineSettings.baudRate).count());
    return m_heldSince;
}

QByteArray CommPort::takeWaiting()
{
    const QByteArray arrived = readFromDriver();
    publishArrived(arrived, arrivalTime(arrived.size()));
    return arrived;
}

void CommPort::takeHeldBytes()
{
    if (m_port.isOpen())
        keep(takeWaiting());
}

void CommPort::gatherRest()
{
    if (!m_port.isOpen() || holding() || m_rThreshold <= 0)
        return;
    const qsizetype missing = m_rThreshold - m_inBuffer.size();
    if (missing <= 0)
        return;
    // The first bytes of what the receive event waits for are in: the rest
    // comes at the line rate, so the line need not wake us for each of them.
    // One character more, so that the hold does not end just before the last.
    holdReception(frameTime(static_cast<int>(missing) + 1, m_lineSettings.baudRate));
    m_heldFor = missing;
}

void CommPort::holdReception(std::chrono::nanoseconds span)
{
    if (!m_port.isOpen() || holding() || span <= std::chrono::nanoseconds::zero())
        return;
    if (!m_readPause.pause())
        return;
    m_heldSince = monotonicNow();
    m_heldFor = 0;
    // Rounded up: ended early, the hold would find the frame one byte short.
    m_hold.start(std::chrono::ceil<std::chrono::milliseconds>(span));
}

void CommPort::endHold()
{
    if (!holding())
        return;
    takeHeldBytes(); // stamped as held, before the line is watched again
    releaseHold();
}

void CommPort::releaseHold()
{
    m_hold.stop();
    m_readPause.resume();
    m_heldFor = 0;
}

void CommPort::holdEnded()
{
    if (!holding())
        return;
    const qsizetype awaited = m_heldFor;
    const QByteArray arrived = m_port.isOpen() ? takeWaiting() : QByteArray();
    releaseHold();
    if (arrived.isEmpty())
        return;
    const bool overran = !keep(arrived);
    if (m_rThreshold > 0 && m_inBuffer.size() >= m_rThreshold)
        raise(ReceiveEvent);
    announceDrained();
    if (overran)
        raise(ReceiveOverrun);
    // A run that filled the hold goes on; one that stopped short has ended,
    // and the line is watched byte by byte again.
    if (awaited == 0 || arrived.size() >= awaited)
        gatherRest();
}

int CommPort::outBufferCount() const
{
    return static_cast<int>(m_port.bytesToWrite());
}

bool CommPort::setInBufferCount(int count)
{
    if (count != 0)
        return false;
    if (m_port.isOpen()) {
        // What waits did cross the line: it is read and published, all of
        // it, before it goes. Rounds of reading are bounded, so a flooded line
        // cannot keep us here; what comes meanwhile is read as it arrives.
        constexpr int MostRounds = 64;
        for (int round = 0; round < MostRounds && !takeWaiting().isEmpty(); ++round) {
        }
        releaseHold(); // no frame is awaited any more
    }
    m_inBuffer.clear();
    return true;
}

bool CommPort::setOutBufferCount(int count)
{
    if (count != 0)
        return false;
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Output);
    return true;
}

bool CommPort::setInputLen(int length)
{
    if (length < 0)
        return false;
    m_inputLen = length;
    return true;
}

bool CommPort::setRThreshold(int threshold)
{
    if (threshold < 0)
        return false;
    m_rThreshold = threshold;
    return true;
}

bool CommPort::output(const QByteArray& bytes)
{
    if (!m_port.isOpen() || m_port.bytesToWrite() + bytes.size() > OutBufferSize)
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Hand the frame to the driver now rather than at the next event loop
    // turn. The first flush writes it; once the driver has taken it all, the
    // second ends the write (bytesWritten, no more watching for room on the
    // line), which would otherwise cost an extra turn of the event loop.
    m_port.flush();
    if (m_port.bytesToWrite() == 0)
        m_port.flush();
    m_lastWrittenAt = monotonicNow();
    emit chunkWritten(bytes, m_lastWrittenAt);
    return true;
}

QByteArray CommPort::input()
{
    takeHeldBytes(); // what the driver gathered short of the threshold is waiting too
    if (m_inputLen == 0 || m_inputLen >= m_inBuffer.size())
        return std::exchange(m_inBuffer, {});
    QByteArray taken = m_inBuffer.left(m_inputLen);
    m_inBuffer.remove(0, m_inputLen);
    return taken;
}

void CommPort::acceptArrived(const QByteArray& arrived)
{
    publishArrived(arrived, arrivalTime(arrived.size()));
    const bool overran = !keep(arrived);
    if (m_rThreshold > 0 && m_inBuffer.size() >= m_rThreshold)
        raise(ReceiveEvent);
    if (!arrived.isEmpty())
        announceDrained();
    if (overran)
        raise(ReceiveOverrun);
    // The receiver usually takes the bytes and sets the next threshold in
    // the event; what it still waits for after that is gathered.
    gatherRest();
}

void CommPort::publishArrived(const QByteArray& arrived, qint64 at)
{
    if (arrived.isEmpty())
        return;
    m_lastArrivedAt = at;
    emit chunkArrived(arrived, at);
}

bool CommPort::keep(const QByteArray& arrived)
{
    const qsizetype room = m_inBufferSize - m_inBuffer.size();
    m_inBuffer.append(arrived.left(room));
    return arrived.size() <= room;
}

void CommPort::handlePortError(QSerialPort::SerialPortError error)
{
    // A device that vanished reports read, write or resource errors over and
    // over; close it once, from the event loop rather than inside the port's
    // own notification, and tell the window a single time.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError && error != QSerialPort::WriteError)
        return;
    if (!m_port.isOpen() || m_losingPort)
        return;
    // Only a device that is gone (hung up, no such device, I/O error) is
    // lost. A full transmit queue is reported as a resource error too (the
    // write would block), and a read that found the bytes already taken (a
    // reset between the driver's signal and the read) as a read error: the
    // line is fine, the queued bytes go out once the far end reads again.
    if (!line_driver::hasFailed(m_port.handle())) {
        m_port.clearError();
        return;
    }
    m_losingPort = true;
    QMetaObject::invokeMethod(this, &CommPort::closeLostPort, Qt::QueuedConnection);
}

void CommPort::closeLostPort()
{
    if (!m_losingPort)
        return;
    m_losingPort = false;
    releaseHold();
    m_readPause.forget();
    if (m_port.isOpen())
        m_port.close();
    m_inBuffer.clear();
    // The window's event first, as it always came, then the line's listeners.
    raise(PortLost);
    emit lost();
}

void CommPort::announceDrained()
{
    m_deliveringDrained = true;
    emit received();
    m_deliveringDrained = false;
}

void CommPort::raise(Event event)
{
    m_commEvent = event;
    emit onComm();
}

} // namespace kv
