#include "fake_line.h"
#include "frames.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/modbus/mbap.h"
#include "serial/comm_port.h"
#include "session/frame_wording.h"
#include "session/modbus_master.h"
#include "session/traffic_recorder.h"
#include "sim_process.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace kv;
using namespace kv::test;

Q_DECLARE_METATYPE(kv::FrameVerdict)

namespace {

constexpr qint64 Ms = 1'000'000;
constexpr int Baud = 9600;
const QByteArray ReadFive = [] {
    const Frame frame = withCrc(readRegistersHead(1, 0, 5));
    return QByteArray(reinterpret_cast<const char*>(frame.data()), 8);
}();

// Station 1's answer to ReadFive: 25.00 °C, 60.00 %RH, offsets 0, 9600 baud.
const QByteArray Answer = framed(bytes({0x01, 0x03, 0x0A, 0x09, 0xC4, 0x17, 0x70, 0, 0, 0, 0, 0x25, 0x80}));

QList<FrameVerdict> verdicts(const TrafficRecorder& recorder)
{
    QList<FrameVerdict> all;
    for (qsizetype row = 0; row < recorder.size(); ++row)
        all << recorder.at(row).verdict;
    return all;
}

} // namespace

class tst_TrafficRecorder : public QObject {
    Q_OBJECT

private slots:
    void answeredRequest();
    void faults_data();
    void faults();
    void chunksWithinTheSilenceMakeOneFrame();
    void noReplyAfterASecond();
    void closingCompletesTheLog();
    void garbageIsCutIntoFrames();
    void capacityDropsTheOldest();
    void statisticsOfResponseTimes();
    void eachLineIsJudgedInItsOwnFraming();
    void polledSimulator_data();
    void polledSimulator();
};

void tst_TrafficRecorder::answeredRequest()
{
    TrafficRecorder recorder;
    QSignalSpy added(&recorder, &TrafficRecorder::framesAdded);
    recorder.written(ReadFive, 100 * Ms, Baud);
    recorder.arrived(Answer, 130 * Ms, Baud);

    QCOMPARE(verdicts(recorder), (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::Ok}));
    QCOMPARE(added.count(), 2);
    const TrafficFrame& request = recorder.at(0);
    const TrafficFrame& reply = recorder.at(1);
    QCOMPARE(request.direction, Direction::Sent);
    QCOMPARE(reply.direction, Direction::Received);
    QCOMPARE(reply.bytes, Answer);
    QCOMPARE(reply.requestNumber, request.number);
    QCOMPARE(reply.sincePrevious, 30 * Ms);
    QCOMPARE(meaningText(request), QStringLiteral("从站 1 读 5 个寄存器，起始地址 0"));
    QCOMPARE(meaningText(reply), QStringLiteral("25.00 °C，60.00 %RH，校准 0.00 / 0.00，9600 波特"));
    QCOMPARE(verdictText(reply), QStringLiteral("正常"));
    QCOMPARE(recorder.statistics().requests, 1u);
    QCOMPARE(recorder.statistics().ok, 1u);
    QCOMPARE(recorder.statistics().lossPercent(), 0.0);
}

void tst_TrafficRecorder::faults_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<FrameVerdict>>("expected");
    QTest::addColumn<QString>("verdict"); // of the answer row
    QTest::addColumn<QString>("meaning");

    using V = FrameVerdict;
    QByteArray badCrc = Answer;
    badCrc[badCrc.size() - 1] = static_cast<char>(badCrc.back() ^ 0x55);
    QByteArray otherStation = framed(bytes({0x09, 0x03, 0x0A, 0x09, 0xC4, 0x17, 0x70, 0, 0, 0, 0, 0x25, 0x80}));
    const QByteArray lateOneRegister = framed(bytes({0x01, 0x03, 0x02, 0x00, 0x07}));

    QTest::newRow("bad CRC") << ReadFive << badCrc << QList<V>{V::Request, V::BadCrc} << "CRC 错误"
                             << "校验不符，内容不可信";
    QTest::newRow("exception") << ReadFive << framed(bytes({0x01, 0x83, 0x02})) << QList<V>{V::Request, V::Exception}
                               << "异常 02 非法数据地址"
                               << "异常 02：非法数据地址";
    QTest::newRow("partial") << ReadFive << Answer.left(7) << QList<V>{V::Request, V::Partial} << "不完整（7/15 字节）"
                             << "收到 7 字节，应为 15 字节";
    QTest::newRow("extra bytes") << ReadFive << Answer + bytes({0xAA, 0xBB})
                                 << QList<V>{V::Request, V::Ok, V::Unsolicited} << "正常"
                                 << "25.00 °C，60.00 %RH，校准 0.00 / 0.00，9600 波特";
    QTest::newRow("wrong station") << ReadFive << otherStation << QList<V>{V::Request, V::Unexpected} << "不符"
                                   << "来自从站 9，请求的是从站 1";
    QTest::newRow("a short answer to another request")
        << ReadFive << lateOneRegister + Answer << QList<V>{V::Request, V::Unexpected, V::Unsolicited} << "不符"
        << "长度或内容与请求不符：7 字节，应为 15 字节";
    const Frame address = withCrc(addressReadHead());
    QTest::newRow("address read") << QByteArray(reinterpret_cast<const char*>(address.data()), 8)
                                  << framed(bytes({0x07, 0x03, 0x02, 0x00, 0x07})) << QList<V>{V::Request, V::Ok}
                                  << "正常"
                                  << "站号 7";
    const Frame write = withCrc(parameterWriteHead(0, 50));
    const QByteArray writeBytes(reinterpret_cast<const char*>(write.data()), 8);
    QTest::newRow("write echo") << writeBytes << writeBytes << QList<V>{V::Request, V::Ok} << "正常"
                                << "站号 250 确认：温度校准 0.50";
}

void tst_TrafficRecorder::faults()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(QList<FrameVerdict>, expected);
    QFETCH(QString, verdict);
    QFETCH(QString, meaning);

    TrafficRecorder recorder;
    recorder.written(request, 100 * Ms, Baud);
    recorder.arrived(reply, 120 * Ms, Baud);
    recorder.settle(500 * Ms); // the silence after the bytes ends whatever is still open

    QCOMPARE(verdicts(recorder), expected);
    QCOMPARE(verdictText(recorder.at(1)), verdict);
    QCOMPARE(meaningText(recorder.at(1)), meaning);
    QCOMPARE(recorder.statistics().requests, 1u);
    QCOMPARE(recorder.statistics().judged(), 1u);
}

void tst_TrafficRecorder::chunksWithinTheSilenceMakeOneFrame()
{
    TrafficRecorder recorder;
    recorder.written(ReadFive, 100 * Ms, Baud);
    recorder.arrived(Answer.left(4), 115 * Ms, Baud);
    recorder.arrived(Answer.mid(4, 4), 117 * Ms, Baud); // 2 ms later: under 3.5 characters
    QCOMPARE(recorder.size(), 1);
    recorder.arrived(Answer.mid(8), 119 * Ms, Baud);
    QCOMPARE(verdicts(recorder), (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::Ok}));

    // The rest of an answer may wait in the serial driver: it still joins.
    recorder.written(ReadFive, 200 * Ms, Baud);
    recorder.arrived(Answer.left(4), 215 * Ms, Baud);
    recorder.arrived(Answer.mid(4), 325 * Ms, Baud);
    QCOMPARE(verdicts(recorder).mid(2), (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::Ok}));

    // With no request open, a pause longer than 3.5 characters before a
    // chunk's first byte splits; a chunk whose bytes ran up to it does not.
    TrafficRecorder idle;
    idle.arrived(bytes({1, 2, 3}), 10 * Ms, Baud);
    idle.arrived(bytes({4, 5, 6, 7, 8, 9}), 10 * Ms + 6'500'000, Baud); // 6 bytes take 6.25 ms
    idle.arrived(bytes({10}), 30 * Ms, Baud);
    idle.settle(40 * Ms);
    QCOMPARE(idle.size(), 2);
    QCOMPARE(idle.at(0).bytes.size(), 9);
}

void tst_TrafficRecorder::noReplyAfterASecond()
{
    TrafficRecorder recorder;
    recorder.written(ReadFive, 100 * Ms, Baud);
    recorder.settle(600 * Ms);
    QCOMPARE(recorder.size(), 1); // half a second is not yet silence enough
    recorder.settle(1100 * Ms);
    QCOMPARE(verdicts(recorder), (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::NoReply}));
    QCOMPARE(meaningText(recorder.at(1)), QStringLiteral("1000 ms 内无应答"));

    // After the next request it is stated sooner, with the time waited up to
    // that request: once a late answer begun before it can no longer come.
    recorder.written(ReadFive, 2000 * Ms, Baud);
    recorder.written(ReadFive, 2050 * Ms, Baud);
    recorder.settle(2060 * Ms);
    QCOMPARE(verdicts(recorder).mid(2), (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::Request}));
    recorder.settle(2150 * Ms);
    QCOMPARE(verdicts(recorder).mid(2),
        (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::Request, FrameVerdict::NoReply}));
    QCOMPARE(meaningText(recorder.at(4)), QStringLiteral("下一请求前无应答，等待 50 ms"));
    QCOMPARE(recorder.at(4).requestNumber, recorder.at(2).number);
    QCOMPARE(recorder.statistics().noReply, 2u);
    QCOMPARE(recorder.statistics().lossPercent(), 100.0);

    // Bytes with no request open are unsolicited.
    TrafficRecorder idle;
    idle.arrived(bytes({0x41}), 10 * Ms, Baud);
    idle.settle(20 * Ms);
    QCOMPARE(verdicts(idle), QList<FrameVerdict>{FrameVerdict::Unsolicited});
    QCOMPARE(idle.statistics().unsolicited, 1u);
}

void tst_TrafficRecorder::closingCompletesTheLog()
{
    // A request nobody answered yet is stated at once, with the time waited.
    TrafficRecorder unanswered;
    unanswered.written(ReadFive, 100 * Ms, Baud);
    unanswered.close(230 * Ms);
    QCOMPARE(verdicts(unanswered), (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::NoReply}));
    QCOMPARE(unanswered.at(1).waited, 130 * Ms);

    // Bytes of an answer still arriving end as the (partial) answer.
    TrafficRecorder cut;
    cut.written(ReadFive, 100 * Ms, Baud);
    cut.arrived(Answer.left(6), 130 * Ms, Baud);
    cut.close(131 * Ms);
    QCOMPARE(verdicts(cut), (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::Partial}));
    QCOMPARE(cut.at(1).bytes, Answer.left(6));

    // An answered request leaves nothing to state.
    TrafficRecorder answered;
    answered.written(ReadFive, 100 * Ms, Baud);
    answered.arrived(Answer, 140 * Ms, Baud);
    answered.close(150 * Ms);
    QCOMPARE(verdicts(answered), (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::Ok}));
}

void tst_TrafficRecorder::garbageIsCutIntoFrames()
{
    TrafficRecorder recorder;
    const QByteArray garbage(1 << 20, '\x55');
    for (qsizetype at = 0; at < garbage.size(); at += 4096)
        recorder.arrived(garbage.mid(at, 4096), 1000 * Ms + at, Baud); // a nanosecond a byte: no pause
    recorder.settle(5000 * Ms);
    QCOMPARE(recorder.size(), (1 << 20) / TrafficRecorder::LongestFrame);
    for (qsizetype row = 0; row < recorder.size(); ++row)
        QCOMPARE(recorder.at(row).verdict, FrameVerdict::Unsolicited);
}

void tst_TrafficRecorder::capacityDropsTheOldest()
{
    TrafficRecorder recorder;
    recorder.setCapacity(3);
    QSignalSpy dropped(&recorder, &TrafficRecorder::framesDropped);
    for (int i = 0; i < 5; ++i)
        recorder.written(ReadFive, (i + 1) * 10 * Ms, Baud);
    // Five requests and the three no-replies the later requests stated (the
    // fourth's answer may still come, late): eight rows, five dropped.
    QCOMPARE(recorder.size(), 3);
    QCOMPARE(recorder.dropped(), 5u);
    QCOMPARE(dropped.count(), 5);
    QCOMPARE(recorder.at(2).number, 8u);
    QCOMPARE(recorder.statistics().requests, 5u); // the statistics keep counting

    // A larger log lets its oldest go a hundredth at a time: at least the
    // capacity is kept, never more than a hundredth over it.
    TrafficRecorder large;
    large.setCapacity(200);
    QSignalSpy trimmed(&large, &TrafficRecorder::framesDropped);
    qsizetype smallest = 0;
    qsizetype largest = 0;
    for (int i = 0; i < 300; ++i) {
        large.written(ReadFive, (i + 1) * 10 * Ms, Baud);
        if (large.dropped() > 0) {
            smallest = smallest == 0 ? large.size() : std::min(smallest, large.size());
            largest = std::max(largest, large.size());
        }
    }
    QCOMPARE(smallest, 200);
    QCOMPARE(largest, 202);
    QCOMPARE(large.dropped() + static_cast<std::uint64_t>(large.size()), 598u); // 300 requests, 298 no-replies
    QCOMPARE(trimmed.count(), static_cast<int>(large.dropped() / 3));
    QCOMPARE(large.at(large.size() - 1).number, 598u);

    recorder.clear();
    QCOMPARE(recorder.size(), 0);
    QCOMPARE(recorder.dropped(), 0u); // what follows is complete again
    QCOMPARE(recorder.statistics().requests, 5u);
    recorder.resetStatistics();
    QCOMPARE(recorder.statistics().requests, 0u);
}

void tst_TrafficRecorder::statisticsOfResponseTimes()
{
    TrafficRecorder recorder;
    // Request handed over at t, its 8 bytes gone 8.33 ms later, answers after 10..29 ms more.
    for (int i = 0; i < 20; ++i) {
        const qint64 t = (i + 1) * 1000 * Ms;
        recorder.written(ReadFive, t, Baud);
        recorder.arrived(Answer, t + 8'333'333 + (10 + i) * Ms, Baud);
    }
    const TrafficStatistics& figures = recorder.statistics();
    QCOMPARE(figures.responses(), 20u);
    QVERIFY(qAbs(figures.minimum()->count() - 10 * Ms) < Ms / 10);
    QVERIFY(qAbs(figures.maximum()->count() - 29 * Ms) < Ms / 10);
    QVERIFY(qAbs(figures.quantile(0.5)->count() - 19 * Ms) <= Ms / 10);
    QVERIFY(qAbs(figures.quantile(0.95)->count() - 28 * Ms) <= Ms / 10);
}

// The window's log records its line and, later attached, a search's serial
// line; the window's line may be a Modbus TCP connection, or become one.
void tst_TrafficRecorder::eachLineIsJudgedInItsOwnFraming()
{
    FakeLine window;
    FakeLine search;
    QVERIFY(window.open());
    QVERIFY(search.open());
    TrafficRecorder recorder;
    recorder.attach(window);
    recorder.attach(search);
    window.playGateway(Framing::Mbap);
    const QByteArray pdu = Answer.left(Answer.size() - 2);
    window.answer(mbapRequest(asSpan(ReadFive), 1), bytes({0, 1, 0, 0, 0, static_cast<int>(pdu.size())}) + pdu);
    search.answer(ReadFive, Answer);

    ModbusMaster overTheGateway(window);
    QCOMPARE(overTheGateway.exchange(withCrc(readRegistersHead(1, 0, 5))).kind, OutcomeKind::Ok);
    ModbusMaster onTheSerialLine(search);
    QCOMPARE(onTheSerialLine.exchange(withCrc(readRegistersHead(1, 0, 5))).kind, OutcomeKind::Ok);

    QCOMPARE(verdicts(recorder),
        (QList<FrameVerdict>{FrameVerdict::Request, FrameVerdict::Ok, FrameVerdict::Request, FrameVerdict::Ok}));
}

void tst_TrafficRecorder::polledSimulator_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QList<FrameVerdict>>("exchange"); // the rows one request and its answer leave
    using V = FrameVerdict;
    QTest::newRow("none") << QString() << QList<V>{V::Request, V::Ok};
    QTest::newRow("bad CRC") << "bad-crc:1" << QList<V>{V::Request, V::BadCrc};
    QTest::newRow("exception") << "exception:1" << QList<V>{V::Request, V::Exception};
    QTest::newRow("partial") << "partial:1" << QList<V>{V::Request, V::Partial};
    // Stated once a late answer can no longer come, after the next request.
    QTest::newRow("no reply") << "no-reply:1" << QList<V>{V::Request, V::NoReply};
    QTest::newRow("extra bytes") << "extra-bytes:1" << QList<V>{V::Request, V::Ok, V::Unsolicited};
}

void tst_TrafficRecorder::polledSimulator()
{
    QFETCH(QString, fault);
    QFETCH(QList<FrameVerdict>, exchange);
    SimProcess sim(fault.isEmpty() ? QStringList{} : QStringList{QStringLiteral("--fault"), fault});
    CommPort port;
    port.setDevice(sim.devicePath());
    QVERIFY(port.setPortOpen(true));
    TrafficRecorder recorder;
    recorder.attach(port);
    ModbusMaster master(port);
    master.setTimeout(std::chrono::milliseconds(150));
    constexpr int Polls = 4;
    for (int i = 0; i < Polls; ++i) {
        master.exchange(withCrc(readRegistersHead(1, 0, 5)));
        // The line falls silent: stray bytes end their frame. A real event
        // loop, as the program runs: qWait() naps in 10 ms slices, and bytes
        // taken that late would look like frames of their own.
        QEventLoop silence;
        QTimer::singleShot(20, &silence, &QEventLoop::quit);
        silence.exec();
    }
    // The last request's answer may still be open; one more request states it.
    master.exchange(withCrc(readRegistersHead(1, 0, 5)));

    QList<FrameVerdict> expected;
    for (int i = 0; i < Polls; ++i)
        expected += exchange;
    if (fault == QStringLiteral("no-reply:1")) // each no reply follows the next request
        expected.prepend(FrameVerdict::Request);
    // Stray bytes a loaded machine delivers with a pause between are stray all the same.
    QList<FrameVerdict> seen = verdicts(recorder);
    for (qsizetype at = 1; at < seen.size();) {
        if (seen[at] == FrameVerdict::Unsolicited && seen[at - 1] == FrameVerdict::Unsolicited)
            seen.removeAt(at);
        else
            ++at;
    }
    QCOMPARE(seen.mid(0, expected.size()), expected);
    QCOMPARE(recorder.statistics().requests, static_cast<std::uint64_t>(Polls + 1));
}

QTEST_GUILESS_MAIN(tst_TrafficRecorder)
#include "tst_traffic_recorder.moc"
