#include "fake_line.h"
#include "frames.h"
#include "protocol/kv9240b/measurement.h"
#include "protocol/modbus/frame.h"
#include "protocol/modbus/mbap.h"
#include "protocol/modbus/wire_timing.h"
#include "pty_pair.h"
#include "serial/comm_port.h"
#include "session/modbus_master.h"
#include "session/reading.h"
#include "session/traffic_recorder.h"
#include "sim_process.h"

#include <QSignalSpy>

#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

using namespace kv;
using namespace kv::test;

Q_DECLARE_METATYPE(kv::OutcomeKind)
Q_DECLARE_METATYPE(kv::Frame)
Q_DECLARE_METATYPE(kv::Outcome)

namespace {

// The simulator's default sensor: station 1, 25.00 °C, 60.00 %RH, 9600 baud.
const Frame ReadFive = withCrc(readRegistersHead(1, 0, 5));

struct SimLine {
    explicit SimLine(const QStringList& simArguments)
        : sim(std::make_unique<SimProcess>(simArguments))
    {
        port.setDevice(sim->devicePath());
        port.setPortOpen(true);
    }
    std::unique_ptr<SimProcess> sim;
    CommPort port;
    ModbusMaster master{port};
};

} // namespace

class tst_ModbusMaster : public QObject {
    Q_OBJECT

private slots:
    void outcomes_data();
    void outcomes();
    void replyIsDecodedAndTimed();
    void timeoutFollowsTheLineRate();
    void oneTransactionAtATime();
    void lineQuietAfterTheLastByte();
    void portLost();
    void stampsFollowTheSensor_data();
    void stampsFollowTheSensor();
    void lateReplyIsNotTheNextOnes();
    void throughAModbusTcpGateway();
};

namespace {

QByteArray bytesOf(const Frame& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
}

} // namespace

// Each way a transaction can end, through a line whose far end the test
// scripts: the outcome, its status word, the bytes it holds, and that only
// silence and a frame cut short wait for the timeout.
void tst_ModbusMaster::outcomes_data()
{
    QTest::addColumn<Frame>("request");
    QTest::addColumn<QByteArray>("answer"); // empty: nothing comes
    QTest::addColumn<bool>("lost");         // the line fails instead of answering
    QTest::addColumn<OutcomeKind>("kind");
    QTest::addColumn<QString>("status");

    const QByteArray reply = QByteArray::fromHex("01030a09c41770000000002580bc41"); // 25.00 °C, 60.00 %RH
    QByteArray spoiled = reply;
    spoiled[spoiled.size() - 1] = static_cast<char>(spoiled.back() ^ 0x5A);
    const Frame outOfRange = withCrc(readRegistersHead(1, 100, 1));

    QTest::newRow("reply") << ReadFive << reply << false << OutcomeKind::Ok << "ok";
    QTest::newRow("extra bytes still answer")
        << ReadFive << reply + QByteArray::fromHex("0000") << false << OutcomeKind::Ok << "ok";
    QTest::newRow("no reply") << ReadFive << QByteArray() << false << OutcomeKind::NoReply << "no-reply";
    QTest::newRow("partial") << ReadFive << reply.left(9) << false << OutcomeKind::Partial << "partial";
    QTest::newRow("bad CRC") << ReadFive << spoiled << false << OutcomeKind::BadCrc << "bad-crc";
    QTest::newRow("exception") << ReadFive << framed({0x01, 0x83, 0x04}) << false << OutcomeKind::Exception
                               << "exception-04";
    QTest::newRow("register out of range")
        << outOfRange << framed({0x01, 0x83, 0x02}) << false << OutcomeKind::Exception << "exception-02";
    QTest::newRow("another station answers")
        << ReadFive << readReply({2500, 6000, 0, 0, 9600}, 2) << false << OutcomeKind::Unexpected << "unexpected";
    QTest::newRow("another function answers")
        << ReadFive << framed({0x01, 0x04, 0x0a, 0x09, 0xc4, 0x17, 0x70, 0x00, 0x00, 0x00, 0x00, 0x25, 0x80}) << false
        << OutcomeKind::Unexpected << "unexpected";
    QTest::newRow("line lost") << ReadFive << QByteArray() << true << OutcomeKind::PortLost << "port-lost";
}

void tst_ModbusMaster::outcomes()
{
    QFETCH(Frame, request);
    QFETCH(QByteArray, answer);
    QFETCH(bool, lost);
    QFETCH(OutcomeKind, kind);
    QFETCH(QString, status);
    FakeLine line;
    QVERIFY(line.open());
    if (lost)
        line.loseOn(bytesOf(request), std::chrono::milliseconds(5));
    else if (!answer.isEmpty())
        line.answer(bytesOf(request), answer, std::chrono::milliseconds(20)); // after the request has left the wire
    ModbusMaster master(line);
    TrafficRecorder record;
    record.attach(line);

    const Outcome outcome = master.exchange(request);

    QCOMPARE(outcome.kind, kind);
    QCOMPARE(statusCode(outcome), status);
    QCOMPARE(line.written(), QList<QByteArray>{bytesOf(request)});
    QCOMPARE(outcome.request, bytesOf(request));
    QCOMPARE(outcome.reply, answer);
    const auto timeout = master.timeoutFor(request);
    if (kind == OutcomeKind::NoReply || kind == OutcomeKind::Partial)
        QVERIFY(outcome.waited >= timeout);
    else
        QVERIFY2(outcome.waited < timeout, qPrintable(QString::number(outcome.waited.count())));
    if (!answer.isEmpty())
        QVERIFY(outcome.responseTime > std::chrono::nanoseconds::zero());
    QVERIFY(!master.busy());
    QCOMPARE(line.isOpen(), !lost);
    QCOMPARE(master.start(request), !lost);
    master.cancel();
    // The traffic record heard the same line: one request, judged as the engine judged it.
    record.close(monotonicNow());
    QVERIFY(record.statistics().requests >= 1u);
    QCOMPARE(record.statistics().portLost, lost ? 1u : 0u);
    QCOMPARE(record.statistics().ok, kind == OutcomeKind::Ok ? 1u : 0u);
}

void tst_ModbusMaster::replyIsDecodedAndTimed()
{
    SimLine line({});
    const Outcome outcome = line.master.exchange(ReadFive);
    QVERIFY(outcome.ok());
    QCOMPARE(outcome.reply.size(), 15);
    const Measurement values = measurementFromRegisters(1, 0, replyRegisters(asSpan(outcome.reply)));
    QCOMPARE(values.temperature, 2500);
    QCOMPARE(values.humidity, 6000);
    QCOMPARE(values.baudRate, 9600);
    // The sensor answers 5 ms after the request's last byte; its 15 bytes take
    // 15.6 ms at 9600 baud. A pseudo-terminal hands the request over at once,
    // while the time is counted from when its 8 bytes would have left a wire.
    QVERIFY2(outcome.responseTime > std::chrono::milliseconds(12),
        qPrintable(QString::number(outcome.responseTime.count())));
    QVERIFY(outcome.responseTime < outcome.waited);
    QVERIFY(outcome.waited < line.master.timeoutFor(ReadFive));
}

void tst_ModbusMaster::timeoutFollowsTheLineRate()
{
    SimLine line({});
    // 8 + 15 characters and the 5 ms turnaround on the wire, plus the allowance.
    QCOMPARE(line.master.timeoutFor(ReadFive), std::chrono::milliseconds(129));
    QVERIFY(line.port.setSettings(QStringLiteral("2400,N,8,1")));
    QCOMPARE(line.master.timeoutFor(ReadFive), std::chrono::milliseconds(211));
    line.master.setAllowance(std::chrono::milliseconds(20));
    QCOMPARE(line.master.timeoutFor(ReadFive), std::chrono::milliseconds(131));
    line.master.setTimeout(std::chrono::milliseconds(500));
    QCOMPARE(line.master.timeoutFor(ReadFive), std::chrono::milliseconds(500));

    // At a rate the sensor does not run at, nothing comes: the wait is the timeout.
    line.master.setTimeout(std::chrono::milliseconds(60));
    const Outcome outcome = line.master.exchange(ReadFive);
    QCOMPARE(outcome.kind, OutcomeKind::NoReply);
    QVERIFY(outcome.waited >= std::chrono::milliseconds(60));
}

void tst_ModbusMaster::oneTransactionAtATime()
{
    SimLine line({});
    QSignalSpy finished(&line.master, &ModbusMaster::finished);
    QVERIFY(line.master.start(ReadFive));
    QVERIFY(line.master.busy());
    QVERIFY(!line.master.start(ReadFive));
    QVERIFY(finished.wait(1000));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!finished.wait(300)); // exactly once
    QVERIFY(line.sim->waitForLines(QStringLiteral("TX"), 1));
    QCOMPARE(line.sim->lines(QStringLiteral("RX")).size(), 1);
}

void tst_ModbusMaster::lineQuietAfterTheLastByte()
{
    SimLine line({});
    QCOMPARE(line.master.lineQuietAt(), 0);
    qint64 lastArrival = 0;
    connect(&line.port, &CommPort::chunkArrived, this, [&](const QByteArray&, qint64 at) { lastArrival = at; });
    const Outcome answered = line.master.exchange(ReadFive);
    QVERIFY(answered.ok());
    // 3.5 characters after the reply's last byte came in, which is about
    // when the transaction ended.
    const qint64 silence = silentInterval(9600).count();
    QCOMPARE(line.master.lineQuietAt(), lastArrival + silence);
    QVERIFY(line.master.lineQuietAt() <= answered.finishedAt + silence);

    // Without an answer: 3.5 characters after the request left, long past.
    const Outcome silent = line.master.exchange(withCrc(readRegistersHead(9, 0, 5)));
    QCOMPARE(silent.kind, OutcomeKind::NoReply);
    QVERIFY(line.master.lineQuietAt() < silent.finishedAt);
    QVERIFY(line.master.lineQuietAt() > silent.finishedAt - silent.waited.count());
}

void tst_ModbusMaster::portLost()
{
    SimLine line({"--fault", "no-reply:1"});
    QSignalSpy finished(&line.master, &ModbusMaster::finished);
    line.master.setTimeout(std::chrono::milliseconds(5000));
    QVERIFY(line.master.start(ReadFive));
    line.sim.reset(); // the far end goes away mid-transaction
    QVERIFY(finished.wait(3000));
    QCOMPARE(finished.first().first().value<Outcome>().kind, OutcomeKind::PortLost);
    QVERIFY(!line.port.portOpen());
    QVERIFY(!line.master.start(ReadFive));
}

void tst_ModbusMaster::stampsFollowTheSensor_data()
{
    QTest::addColumn<QStringList>("simArguments");
    for (const char* turnaround : {"0", "2", "5", "10", "30"})
        QTest::addRow("reply after %s ms", turnaround) << QStringList{"--turnaround-ms", turnaround};
    QTest::newRow("exception after 10 ms") << QStringList{"--turnaround-ms", "10", "--fault", "exception:1"};
    QTest::newRow("partial after 10 ms") << QStringList{"--turnaround-ms", "10", "--fault", "partial:1"};
}

// Each reply, whatever it is, is stamped when its last byte reached us: the
// simulator stamps the moment it put that byte on the line. Both processes
// share a busy machine, so the typical exchange is judged, not the worst.
void tst_ModbusMaster::stampsFollowTheSensor()
{
    QFETCH(QStringList, simArguments);
    SimLine line(simArguments);
    QVERIFY(line.port.portOpen());
    qint64 lastArrival = 0;
    connect(&line.port, &CommPort::chunkArrived, this, [&](const QByteArray&, qint64 at) { lastArrival = at; });
    constexpr int Exchanges = 7;
    QList<double> offMs;
    for (int exchange = 1; exchange <= Exchanges; ++exchange) {
        const Outcome outcome = line.master.exchange(ReadFive);
        QVERIFY(!outcome.reply.isEmpty());
        QVERIFY(line.sim->waitForLines(QStringLiteral("TX"), exchange));
        const double sentSeconds = line.sim->entries(QStringLiteral("TX")).constLast().seconds;
        offMs << std::abs(static_cast<double>(lastArrival) / 1e9 - sentSeconds) * 1e3;
        QTest::qWait(5); // the line falls silent between exchanges
    }
    std::sort(offMs.begin(), offMs.end());
    QVERIFY2(offMs[Exchanges / 2] < 2.0,
        qPrintable(QStringLiteral("stamped %1 ms off the sensor's, median").arg(offMs[Exchanges / 2])));
}

// A reply that comes after the next request went out answers the one before:
// the transaction does not take it, and the traffic record calls it late.
void tst_ModbusMaster::lateReplyIsNotTheNextOnes()
{
    PtyPair pty;
    CommPort port;
    port.setDevice(pty.slavePath());
    QVERIFY(port.setPortOpen(true));
    ModbusMaster master(port);
    master.setTimeout(std::chrono::milliseconds(40));
    TrafficRecorder record;
    record.attach(port);
    const QByteArray reply = QByteArray::fromHex("01030a09c41770000000002580bc41");

    QCOMPARE(master.exchange(ReadFive).kind, OutcomeKind::NoReply);
    QCOMPARE(pty.receive(8).size(), 8);
    QSignalSpy finished(&master, &ModbusMaster::finished);
    QVERIFY(master.start(ReadFive));
    QCOMPARE(pty.receive(8).size(), 8);
    pty.send(reply); // the first request's answer, on the line since before the second

    QVERIFY(finished.wait());
    QCOMPARE(finished.first().first().value<Outcome>().kind, OutcomeKind::NoReply);
    record.close(CommPort::monotonicNow());
    QCOMPARE(record.statistics().requests, 2u);
    QCOMPARE(record.statistics().late, 1u);
    QCOMPARE(record.statistics().ok, 0u);
    QCOMPARE(record.statistics().noReply, 1u);
    qsizetype lateRows = 0;
    for (qsizetype row = 0; row < record.size(); ++row) {
        const TrafficFrame& frame = record.at(row);
        if (frame.verdict != FrameVerdict::Late)
            continue;
        ++lateRows;
        QCOMPARE(frame.requestNumber, record.at(0).number);
        QCOMPARE(frame.bytes, reply);
    }
    QCOMPARE(lateRows, 1);
}

void tst_ModbusMaster::throughAModbusTcpGateway()
{
    FakeLine line;
    line.playGateway(Framing::Mbap);
    QVERIFY(line.open());
    ModbusMaster master(line);
    // Station 1 at 25.00 °C and 60.00 %RH: unit id and PDU, after the header.
    const QByteArray answer = bytes({0x01, 0x03, 0x0A, 0x09, 0xC4, 0x17, 0x70, 0x00, 0x00, 0x00, 0x00, 0x25, 0x80});
    const auto header = [&](int transaction) {
        return bytes({transaction >> 8, transaction & 0xFF, 0, 0, 0, static_cast<int>(answer.size())});
    };
    line.answer(mbapRequest(ReadFive, 1), header(1) + answer);
    // The second request's answer carries the first one's transaction id.
    line.answer(mbapRequest(ReadFive, 2), header(1) + answer);

    const Outcome first = master.exchange(ReadFive);
    QCOMPARE(first.kind, OutcomeKind::Ok);
    QCOMPARE(first.reply, header(1) + answer); // as it came off the line
    QCOMPARE(first.frame(), answer);
    const Reading reading = readingOf(first, 1, QDateTime::currentDateTime(), std::chrono::milliseconds(100));
    QCOMPARE(reading.values.temperature, 2500);
    QCOMPARE(reading.values.humidity, 6000);

    const Outcome second = master.exchange(ReadFive);
    QCOMPARE(second.kind, OutcomeKind::Unexpected);
    QCOMPARE(second.check.mismatch, Mismatch::Transaction);
    QCOMPARE(line.written(), QList<QByteArray>({mbapRequest(ReadFive, 1), mbapRequest(ReadFive, 2)}));

    // The exchange on the serial wire behind the gateway, the allowance, and the network's share.
    QCOMPARE(master.timeoutFor(ReadFive), std::chrono::milliseconds(129) + ModbusMaster::NetworkAllowance);
    master.setTimeout(std::chrono::milliseconds(50));
    QCOMPARE(master.timeoutFor(ReadFive), std::chrono::milliseconds(250));

    // After a request nobody answered, an answer the gateway hands over at
    // once, in one burst, is still the next request's: no byte of it was on
    // the network before that request.
    QCOMPARE(master.exchange(withCrc(readRegistersHead(2, 0, 5))).kind, OutcomeKind::NoReply);
    line.answer(mbapRequest(ReadFive, 4), header(4) + answer);
    QCOMPARE(master.exchange(ReadFive).kind, OutcomeKind::Ok);
}

QTEST_GUILESS_MAIN(tst_ModbusMaster)
#include "tst_modbus_master.moc"
