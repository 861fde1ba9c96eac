// The yardstick for the window's CPU per poll: the smallest Qt Widgets window
// that polls the sensor's five holding registers through Qt's own Modbus RTU
// client and shows them in labels, with nothing else of ours in it.
//
//   qt_modbus_peer DEVICE BAUD PERIOD_MS POLLS
//
// Polls station 1 every PERIOD_MS until POLLS requests have gone out, then
// prints "key value" lines like poll_bench's: the CPU it used per poll from the
// first request on, and how many replies it decoded.
#include "process_figures.h"

#include <QApplication>
#include <QLabel>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QSerialPort>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <array>
#include <cstdio>

namespace {

constexpr int Registers = 5;

class PeerWindow : public QWidget {
public:
    PeerWindow(const QString& device, int baud, int periodMs, int polls)
        : m_polls(polls)
    {
        auto* layout = new QVBoxLayout(this);
        for (QLabel*& label : m_labels)
            layout->addWidget(label = new QLabel(QStringLiteral("-"), this));

        m_client.setConnectionParameter(QModbusDevice::SerialPortNameParameter, device);
        m_client.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, baud);
        m_client.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
        m_client.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
        m_client.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
        m_client.setTimeout(1000);
        m_client.setNumberOfRetries(0);

        m_timer.setInterval(periodMs);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    }

    bool start()
    {
        if (!m_client.connectDevice())
            return false;
        m_cpuAtStart = kv::test::cpuSeconds();
        m_timer.start();
        poll();
        return true;
    }

    int requests() const { return m_requests; }
    int decoded() const { return m_decoded; }
    double cpuUsed() const { return m_cpuUsed; }

private:
    void poll()
    {
        if (m_requests >= m_polls) {
            m_timer.stop();
            m_cpuUsed = kv::test::cpuSeconds() - m_cpuAtStart;
            // The last reply may still be on its way.
            QTimer::singleShot(300, qApp, &QApplication::quit);
            return;
        }
        ++m_requests;
        QModbusReply* reply
            = m_client.sendReadRequest(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, 0, Registers), 1);
        if (!reply)
            return;
        if (reply->isFinished()) {
            reply->deleteLater();
            return;
        }
        QObject::connect(reply, &QModbusReply::finished, this, [this, reply] {
            reply->deleteLater();
            if (reply->error() != QModbusDevice::NoError)
                return;
            const QModbusDataUnit unit = reply->result();
            if (unit.valueCount() != Registers)
                return;
            for (int row = 0; row < Registers; ++row) {
                const auto raw = static_cast<qint16>(unit.value(row));
                m_labels[static_cast<std::size_t>(row)]->setText(QString::number(raw / 100.0, 'f', 2));
            }
            ++m_decoded;
        });
    }

    QModbusRtuSerialClient m_client;
    QTimer m_timer;
    std::array<QLabel*, Registers> m_labels{};
    int m_polls = 0;
    int m_requests = 0;
    int m_decoded = 0;
    double m_cpuAtStart = 0;
    double m_cpuUsed = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: qt_modbus_peer DEVICE BAUD PERIOD_MS POLLS\n");
        return 2;
    }
    PeerWindow window(args[1], args[2].toInt(), args[3].toInt(), args[4].toInt());
    window.show();
    if (!window.start()) {
        std::fprintf(stderr, "qt_modbus_peer: cannot open %s\n", qPrintable(args[1]));
        return 1;
    }
    app.exec();
    std::printf("peer_requests %d\npeer_replies_decoded %d\npeer_cpu_per_poll_ms %.4f\n", window.requests(),
        window.decoded(), window.cpuUsed() * 1000 / std::max(1, window.requests()));
    return 0;
}
