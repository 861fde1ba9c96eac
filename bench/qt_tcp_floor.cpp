// The floor under the command line's CPU per poll through a Modbus TCP
// gateway: the smallest Qt program that does the same job, with nothing else
// of ours in it. On each tick of a timer it asks unit 1 for the sensor's five
// holding registers over a QTcpSocket, and when the whole answer is in it
// checks the header, decodes the registers and writes them as a line to a
// file, straight away, as the command line writes each record.
//
//   qt_tcp_floor HOST PORT PERIOD_MS FILE
//
// Runs until it is killed; scripts/bench measures it from outside as it
// measures the command line and mbpoll.
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <array>
#include <csignal>
#include <cstdio>

namespace {

constexpr int Registers = 5;
constexpr int HeaderLength = 7; // transaction, protocol, length, unit
constexpr int AnswerLength = HeaderLength + 2 + 2 * Registers;

class FloorClient {
public:
    FloorClient(const QString& host, quint16 port, int periodMs, const QString& path)
        : m_file(path)
    {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            std::fprintf(stderr, "qt_tcp_floor: cannot open %s\n", qPrintable(path));
            std::exit(2);
        }
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] { take(); });
        QObject::connect(&m_tick, &QTimer::timeout, [this] { ask(); });
        m_socket.connectToHost(QHostAddress(host), port);
        if (!m_socket.waitForConnected(2000)) {
            std::fprintf(stderr, "qt_tcp_floor: cannot connect: %s\n", qPrintable(m_socket.errorString()));
            std::exit(3);
        }
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.start(periodMs);
    }

private:
    void ask()
    {
        ++m_transaction;
        const std::array<char, 12> request{
            char(m_transaction >> 8), char(m_transaction & 0xFF), 0, 0, 0, 6, 1, 3, 0, 0, 0, char(Registers)};
        m_answer.clear();
        m_socket.write(request.data(), request.size());
    }

    void take()
    {
        m_answer += m_socket.read(m_socket.bytesAvailable());
        if (m_answer.size() < AnswerLength)
            return;
        const auto byte = [this](int i) { return static_cast<quint8>(m_answer[i]); };
        if ((byte(0) << 8 | byte(1)) != m_transaction || byte(6) != 1 || byte(7) != 3 || byte(8) != 2 * Registers)
            return;
        QByteArray line;
        for (int i = 0; i < Registers; ++i)
            line += QByteArray::number(byte(9 + 2 * i) << 8 | byte(10 + 2 * i)) + (i + 1 < Registers ? "," : "\n");
        m_file.write(line);
        m_answer.clear();
    }

    QFile m_file;
    QTcpSocket m_socket;
    QTimer m_tick;
    QByteArray m_answer;
    quint16 m_transaction = 0;
};

} // namespace

int main(int argc, char** argv)
{
    // Stopped by SIGINT as the others are, even when started in the background
    // of a script, which ignores it.
    std::signal(SIGINT, SIG_DFL);
    // Qt's own event loop, as the command line uses.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: qt_tcp_floor HOST PORT PERIOD_MS FILE\n");
        return 2;
    }
    FloorClient client(args[1], static_cast<quint16>(args[2].toUInt()), args[3].toInt(), args[4]);
    return app.exec();
}
