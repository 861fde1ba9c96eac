#include "frame.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using kv::sim::Frame;

namespace {

// The reply as it arrived, with the times its first and last bytes came in,
// counted from the moment the request was written.
struct Arrival {
    Frame bytes;
    double firstMs = 0;
    double lastMs = 0;
};

Frame frame(const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return kv::sim::withCrc(Frame(bytes.begin(), bytes.end()));
}

double stampOf(const QString& line)
{
    return line.section(QLatin1Char(' '), 0, 0).toDouble();
}

} // namespace

Q_DECLARE_METATYPE(Frame)

class tst_SimProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void replies_data();
    void replies();
    void logsFramesAndEndsOnTerminate();

private:
    Arrival exchange(const Frame& request, std::size_t expected);

    QProcess m_sim;
    int m_line = -1;
};

void tst_SimProcess::initTestCase()
{
    m_sim.start(QStringLiteral(KV9240B_SIM_PATH), {QStringLiteral("--seed"), QStringLiteral("1")});
    QVERIFY2(m_sim.waitForStarted(5000), qPrintable(m_sim.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(m_sim.canReadLine(), 5000);
    const QString path = QString::fromLocal8Bit(m_sim.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), qPrintable(path));

    m_line = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(m_line >= 0);
    termios raw{};
    QVERIFY(::tcgetattr(m_line, &raw) == 0);
    ::cfmakeraw(&raw);
    QVERIFY(::tcsetattr(m_line, TCSANOW, &raw) == 0);
}

void tst_SimProcess::cleanupTestCase()
{
    if (m_line >= 0)
        ::close(m_line);
    if (m_sim.state() != QProcess::NotRunning) {
        m_sim.kill();
        m_sim.waitForFinished(5000);
    }
}

Arrival tst_SimProcess::exchange(const Frame& request, std::size_t expected)
{
    Arrival arrival;
    QElapsedTimer clock;
    clock.start();
    if (::write(m_line, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
        return arrival;
    while (arrival.bytes.size() < expected && clock.elapsed() < 3000) {
        pollfd ready{m_line, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0)
            continue;
        std::uint8_t buffer[64];
        const ssize_t n = ::read(m_line, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        const double now = clock.nsecsElapsed() / 1e6;
        if (arrival.bytes.empty())
            arrival.firstMs = now;
        arrival.lastMs = now;
        arrival.bytes.insert(arrival.bytes.end(), buffer, buffer + n);
    }
    return arrival;
}

void tst_SimProcess::replies_data()
{
    QTest::addColumn<Frame>("request");
    QTest::addColumn<Frame>("reply");

    // 25.00 degrees, 60.00 percent, 9600 baud: the defaults.
    QTest::newRow("address read at 250") << frame("FA 03 00 00 00 01") << frame("01 03 02 09 C4");
    QTest::newRow("five registers") << frame("01 03 00 00 00 05") << frame("01 03 0A 09 C4 17 70 00 00 00 00 25 80");
}

void tst_SimProcess::replies()
{
    QFETCH(Frame, request);
    QFETCH(Frame, reply);

    const Arrival arrival = exchange(request, reply.size());
    QCOMPARE(kv::sim::hexText(arrival.bytes), kv::sim::hexText(reply));

    // 9600 baud: 1.04 ms a byte, after a 5 ms turnaround. Lower bounds only,
    // loose enough for a busy machine: the bytes must not come in one burst.
    const double bytes = static_cast<double>(reply.size());
    QVERIFY2(arrival.lastMs >= 5.0 + bytes * 1.0, qPrintable(QString::number(arrival.lastMs)));
    QVERIFY2(arrival.lastMs - arrival.firstMs >= (bytes - 1) / 3.0,
        qPrintable(QStringLiteral("first %1 ms, last %2 ms").arg(arrival.firstMs).arg(arrival.lastMs)));
}

void tst_SimProcess::logsFramesAndEndsOnTerminate()
{
    m_sim.terminate();
    QVERIFY(m_sim.waitForFinished(5000));
    QCOMPARE(m_sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_sim.exitCode(), 0);

    const QStringList lines = QString::fromLocal8Bit(m_sim.readAllStandardOutput()).split(QLatin1Char('\n'));
    const auto lineFor = [&](const char* tag, const Frame& bytes) {
        const QRegularExpression pattern(QStringLiteral("^\\d+\\.\\d{6} %1 %2$").arg(QLatin1String(tag), kv::sim::hexText(bytes)));
        const qsizetype at = lines.indexOf(pattern);
        return at < 0 ? QString() : lines[at];
    };
    const QString received = lineFor("RX", frame("FA 03 00 00 00 01"));
    const QString sent = lineFor("TX", frame("01 03 02 09 C4"));
    QVERIFY2(!received.isEmpty() && !sent.isEmpty(), qPrintable(lines.join(QLatin1Char('\n'))));
    // TX is stamped when the last byte has gone: turnaround plus seven bytes after the request.
    QVERIFY2(stampOf(sent) - stampOf(received) >= 0.005 + 7 * 0.001, qPrintable(received + QLatin1Char('\n') + sent));
}

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_sim_process.moc"
