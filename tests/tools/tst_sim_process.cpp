#include "frame.h"
#include "sim_process.h"

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
using kv::test::SimProcess;

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

// The tool's end of the simulator's pseudo-terminal, raw, at the rate the
// simulator left it unless told otherwise.
class LineEnd {
public:
    explicit LineEnd(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios raw{};
        if (m_fd < 0 || ::tcgetattr(m_fd, &raw) != 0)
            return;
        ::cfmakeraw(&raw);
        m_raw = ::tcsetattr(m_fd, TCSANOW, &raw) == 0;
    }
    ~LineEnd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    bool isOpen() const { return m_fd >= 0 && m_raw; }

    // As a serial program chooses its rate: both directions at once.
    bool setRate(speed_t rate)
    {
        termios line{};
        if (::tcgetattr(m_fd, &line) != 0)
            return false;
        ::cfsetispeed(&line, rate);
        ::cfsetospeed(&line, rate);
        return ::tcsetattr(m_fd, TCSANOW, &line) == 0;
    }

    // Writes the request and collects what comes back until expected bytes
    // are in or patience runs out.
    Arrival exchange(const Frame& request, std::size_t expected, int patienceMs = 3000)
    {
        Arrival arrival;
        QElapsedTimer clock;
        clock.start();
        if (::write(m_fd, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            return arrival;
        while (arrival.bytes.size() < expected && clock.elapsed() < patienceMs) {
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0)
                continue;
            std::uint8_t buffer[64];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
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

    // For a request nobody should answer: what arrives in a while.
    Frame silence(const Frame& request) { return exchange(request, 1, 300).bytes; }

private:
    int m_fd;
    bool m_raw = false;
};

bool anyLineContains(const QStringList& lines, const QString& text)
{
    return std::ranges::any_of(lines, [&](const QString& line) { return line.contains(text); });
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

    void severalStationsEachAnswer_data();
    void severalStationsEachAnswer();
    void sharedStationRepliesCollide();
    void silentAtAnotherRate();
    void rateWrittenThroughSharedStationMovesEverySensor();
    void wrongStationReplyIsIntact_data();
    void wrongStationReplyIsIntact();

private:
    QProcess m_sim;
    std::unique_ptr<LineEnd> m_line;
};

void tst_SimProcess::initTestCase()
{
    m_sim.start(QStringLiteral(KV9240B_SIM_PATH), {QStringLiteral("--seed"), QStringLiteral("1")});
    QVERIFY2(m_sim.waitForStarted(5000), qPrintable(m_sim.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(m_sim.canReadLine(), 5000);
    const QString path = QString::fromLocal8Bit(m_sim.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), qPrintable(path));

    m_line = std::make_unique<LineEnd>(path);
    QVERIFY(m_line->isOpen());
}

void tst_SimProcess::cleanupTestCase()
{
    m_line.reset();
    if (m_sim.state() != QProcess::NotRunning) {
        m_sim.kill();
        m_sim.waitForFinished(5000);
    }
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

    const Arrival arrival = m_line->exchange(request, reply.size());
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
        const QRegularExpression pattern(
            QStringLiteral("^\\d+\\.\\d{6} %1 %2$").arg(QLatin1String(tag), kv::sim::hexText(bytes)));
        const qsizetype at = lines.indexOf(pattern);
        return at < 0 ? QString() : lines[at];
    };
    const QString received = lineFor("RX", frame("FA 03 00 00 00 01"));
    const QString sent = lineFor("TX", frame("01 03 02 09 C4"));
    QVERIFY2(!received.isEmpty() && !sent.isEmpty(), qPrintable(lines.join(QLatin1Char('\n'))));
    // TX is stamped when the last byte has gone: turnaround plus seven bytes after the request.
    QVERIFY2(stampOf(sent) - stampOf(received) >= 0.005 + 7 * 0.001, qPrintable(received + QLatin1Char('\n') + sent));
}

void tst_SimProcess::severalStationsEachAnswer_data()
{
    QTest::addColumn<Frame>("request");
    QTest::addColumn<Frame>("reply"); // empty: nobody answers

    // Each sensor further down the list reads 1.00 degree and 2.00 percent more.
    QTest::newRow("station 1") << frame("01 03 00 00 00 02") << frame("01 03 04 09 C4 17 70");
    QTest::newRow("station 2") << frame("02 03 00 00 00 02") << frame("02 03 04 0A 28 18 38");
    QTest::newRow("station 7") << frame("07 03 00 00 00 02") << frame("07 03 04 0A 8C 19 00");
    QTest::newRow("station 3, not on the line") << frame("03 03 00 00 00 02") << Frame{};
}

void tst_SimProcess::severalStationsEachAnswer()
{
    QFETCH(Frame, request);
    QFETCH(Frame, reply);

    SimProcess sim({QStringLiteral("--station"), QStringLiteral("1,2,7")});
    LineEnd line(sim.devicePath());
    QVERIFY(line.isOpen());

    if (reply.empty()) {
        QCOMPARE(kv::sim::hexText(line.silence(request)), QString());
        QVERIFY(sim.waitForLines(QStringLiteral("NOTE"), 2));
        QVERIFY2(anyLineContains(sim.lines(QStringLiteral("NOTE")), QStringLiteral("ignored: for station 3")),
            qPrintable(sim.lines(QStringLiteral("NOTE")).join(QLatin1Char('\n'))));
        return;
    }
    QCOMPARE(kv::sim::hexText(line.exchange(request, reply.size()).bytes), kv::sim::hexText(reply));
    QVERIFY(sim.waitForLines(QStringLiteral("TX"), 1));
    QCOMPARE(sim.lines(QStringLiteral("TX")), QStringList{kv::sim::hexText(reply)});
}

void tst_SimProcess::sharedStationRepliesCollide()
{
    SimProcess sim({QStringLiteral("--station"), QStringLiteral("1,2,7")});
    LineEnd line(sim.devicePath());
    QVERIFY(line.isOpen());

    // Three seven-byte replies at once arrive as one garbled frame.
    const Arrival arrival = line.exchange(frame("FA 03 00 00 00 01"), 7);
    QCOMPARE(arrival.bytes.size(), std::size_t{7});
    QVERIFY2(!kv::sim::hasIntactCrc(arrival.bytes), qPrintable(kv::sim::hexText(arrival.bytes)));
    QVERIFY(sim.waitForLines(QStringLiteral("NOTE"), 2));
    QVERIFY2(anyLineContains(sim.lines(QStringLiteral("NOTE")), QStringLiteral("collision of 3 replies")),
        qPrintable(sim.lines(QStringLiteral("NOTE")).join(QLatin1Char('\n'))));
    // The log shows the frame as it went out.
    QVERIFY(sim.waitForLines(QStringLiteral("TX"), 1));
    QCOMPARE(sim.lines(QStringLiteral("TX")), QStringList{kv::sim::hexText(arrival.bytes)});
}

void tst_SimProcess::silentAtAnotherRate()
{
    SimProcess sim;
    LineEnd line(sim.devicePath());
    QVERIFY(line.isOpen());
    const Frame read = frame("01 03 00 00 00 01");
    const Frame reply = frame("01 03 02 09 C4");

    QVERIFY(line.setRate(B4800));
    QCOMPARE(kv::sim::hexText(line.silence(read)), QString());
    QVERIFY(sim.waitForLines(QStringLiteral("NOTE"), 2));
    const QStringList notes = sim.lines(QStringLiteral("NOTE"));
    QVERIFY2(anyLineContains(notes, QStringLiteral("ignored: sent at 4800 baud; station 1 listens at 9600 baud")),
        qPrintable(notes.join(QLatin1Char('\n'))));
    QVERIFY(sim.lines(QStringLiteral("TX")).isEmpty());

    // Back at the sensor's rate the same request is answered.
    QVERIFY(line.setRate(B9600));
    QCOMPARE(kv::sim::hexText(line.exchange(read, reply.size()).bytes), kv::sim::hexText(reply));
}

void tst_SimProcess::rateWrittenThroughSharedStationMovesEverySensor()
{
    SimProcess sim({QStringLiteral("--station"), QStringLiteral("1,2")});
    LineEnd line(sim.devicePath());
    QVERIFY(line.isOpen());

    // Both carry out the write and echo it at once: a collision, then 4800 baud.
    const Arrival echo = line.exchange(frame("FA 06 0A 04 12 C0"), 8);
    QCOMPARE(echo.bytes.size(), std::size_t{8});
    QVERIFY(!kv::sim::hasIntactCrc(echo.bytes));
    QVERIFY(sim.waitForLines(QStringLiteral("NOTE"), 3));
    QVERIFY2(anyLineContains(sim.lines(QStringLiteral("NOTE")), QStringLiteral("baud rate now 4800 at stations 1, 2")),
        qPrintable(sim.lines(QStringLiteral("NOTE")).join(QLatin1Char('\n'))));

    QCOMPARE(kv::sim::hexText(line.silence(frame("02 03 00 04 00 01"))), QString());
    QVERIFY(line.setRate(B4800));
    for (const char* station : {"01", "02"}) {
        const Frame reply = frame(QByteArray(station).append(" 03 02 12 C0").constData());
        const Frame request = frame(QByteArray(station).append(" 03 00 04 00 01").constData());
        QCOMPARE(kv::sim::hexText(line.exchange(request, reply.size()).bytes), kv::sim::hexText(reply));
    }
}

void tst_SimProcess::wrongStationReplyIsIntact_data()
{
    QTest::addColumn<QString>("station");
    QTest::addColumn<Frame>("request");
    QTest::addColumn<Frame>("reply");

    QTest::newRow("1 answered by 2") << "1" << frame("01 03 00 00 00 01") << frame("02 03 02 09 C4");
    QTest::newRow("247 answered by 1") << "247" << frame("F7 03 00 00 00 01") << frame("01 03 02 09 C4");
    QTest::newRow("through 250, by the next of 5") << "5" << frame("FA 03 00 00 00 01") << frame("06 03 02 09 C4");
}

void tst_SimProcess::wrongStationReplyIsIntact()
{
    QFETCH(QString, station);
    QFETCH(Frame, request);
    QFETCH(Frame, reply);

    SimProcess sim(
        {QStringLiteral("--station"), station, QStringLiteral("--fault"), QStringLiteral("wrong-station:1")});
    LineEnd line(sim.devicePath());
    QVERIFY(line.isOpen());

    QCOMPARE(kv::sim::hexText(line.exchange(request, reply.size()).bytes), kv::sim::hexText(reply));
    QVERIFY(sim.waitForLines(QStringLiteral("FAULT"), 1));
    QCOMPARE(sim.lines(QStringLiteral("FAULT")),
        QStringList{QStringLiteral("wrong-station %1 for %2").arg(reply[0]).arg(station)});
}

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_sim_process.moc"
