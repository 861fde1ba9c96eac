#include "app/traffic_log/problem_filter.h"
#include "app/traffic_log/traffic_log_model.h"
#include "frames.h"
#include "session/traffic_recorder.h"

#include <QColor>
#include <QIcon>
#include <QSignalSpy>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

constexpr qint64 Ms = 1'000'000;
constexpr int Baud = 9600;

const QByteArray ReadFive = framed(bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x05}));
// Station 1's answer: 25.00 °C, 60.00 %RH, offsets 0, 9600 baud.
const QByteArray Answer = framed(bytes({0x01, 0x03, 0x0A, 0x09, 0xC4, 0x17, 0x70, 0, 0, 0, 0, 0x25, 0x80}));
const QByteArray BadCrc = Answer.left(Answer.size() - 1) + bytes({Answer.back() ^ 0x55});

// A request at `at` ms and, unless empty, its answer 30 ms later.
void exchange(TrafficRecorder& recorder, qint64 at, const QByteArray& answer)
{
    recorder.written(ReadFive, at * Ms, Baud);
    if (!answer.isEmpty()) {
        recorder.arrived(answer, (at + 30) * Ms, Baud);
        recorder.settle((at + 40) * Ms);
    }
}

QString cell(const QAbstractItemModel& model, int row, LogColumn column, int role = Qt::DisplayRole)
{
    return model.index(row, static_cast<int>(column)).data(role).toString();
}

QStringList verdictColumn(const QAbstractItemModel& model)
{
    QStringList verdicts;
    for (int row = 0; row < model.rowCount(); ++row)
        verdicts << cell(model, row, LogColumn::Verdict);
    return verdicts;
}

} // namespace

class tst_TrafficLogModel : public QObject {
    Q_OBJECT

private slots:
    void rowsComeInBatches();
    void columns_data();
    void columns();
    void framesFallingOffTheRecorderLeaveTheTop();
    void pausedRowsStandStill();
    void problemsAndTheRequestsTheyAnswer();
    void requestShownOnceItsAnswerTurnsOutBad();
};

void tst_TrafficLogModel::rowsComeInBatches()
{
    TrafficRecorder recorder;
    exchange(recorder, 0, Answer); // before the table: there from the start
    TrafficLogModel log(recorder);
    QCOMPARE(log.rowCount(), 2);

    QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
    for (int i = 1; i <= 50; ++i)
        exchange(recorder, i * 100, Answer);
    QCOMPARE(log.rowCount(), 2); // nothing yet: the batch has not come round
    QTRY_COMPARE(log.rowCount(), 102);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 2);
    QCOMPARE(inserted.first().at(2).toInt(), 101);
}

void tst_TrafficLogModel::columns_data()
{
    QTest::addColumn<QByteArray>("answer"); // empty: no reply
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<bool>("problem");

    QTest::newRow("good") << Answer << "15"
                          << "01 03 0A 09 C4 17 70 00 00 00 00 25 80 BC 41"
                          << "正常" << false;
    QTest::newRow("bad CRC") << BadCrc << "15"
                             << "01 03 0A 09 C4 17 70 00 00 00 00 25 80 BC 14"
                             << "CRC 错误" << true;
    QTest::newRow("exception") << framed(bytes({0x01, 0x83, 0x02})) << "5"
                               << "01 83 02 C0 F1"
                               << "异常 02 非法数据地址" << true;
    QTest::newRow("partial") << Answer.left(4) << "4"
                             << "01 03 0A 09"
                             << "不完整（4/15 字节）" << true;
    QTest::newRow("no reply") << QByteArray() << "0"
                              << ""
                              << "无应答" << true;
}

void tst_TrafficLogModel::columns()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, length);
    QFETCH(QString, hex);
    QFETCH(QString, verdict);
    QFETCH(bool, problem);

    TrafficRecorder recorder;
    exchange(recorder, 1000, answer);
    recorder.settle(2500 * Ms); // a partial answer ends, a missing one is stated
    TrafficLogModel log(recorder);
    QCOMPARE(log.rowCount(), 2);

    QCOMPARE(cell(log, 0, LogColumn::Direction), QStringLiteral("发送"));
    QCOMPARE(cell(log, 0, LogColumn::Length), QStringLiteral("8"));
    QCOMPARE(cell(log, 0, LogColumn::Hex), QStringLiteral("01 03 00 00 00 05 85 C9"));
    QCOMPARE(cell(log, 0, LogColumn::Meaning), QStringLiteral("从站 1 读 5 个寄存器，起始地址 0"));
    QCOMPARE(cell(log, 1, LogColumn::Direction), QStringLiteral("接收"));
    QCOMPARE(cell(log, 1, LogColumn::Length), length);
    QCOMPARE(cell(log, 1, LogColumn::Hex), hex);
    QCOMPARE(cell(log, 1, LogColumn::Verdict), verdict);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
                .match(cell(log, 1, LogColumn::Time))
                .hasMatch());
    const QString delta = cell(log, 1, LogColumn::Delta);
    QCOMPARE(delta, answer.isEmpty() ? QStringLiteral("1000.0") : QStringLiteral("30.0"));

    // A problem stands out twice: a tint on every cell and an icon by the verdict.
    const QModelIndex verdictCell = log.index(1, static_cast<int>(LogColumn::Verdict));
    QCOMPARE(verdictCell.data(Qt::BackgroundRole).canConvert<QColor>(), problem);
    QCOMPARE(log.index(1, static_cast<int>(LogColumn::Hex)).data(Qt::BackgroundRole).isValid(), problem);
    QCOMPARE(!verdictCell.data(Qt::DecorationRole).value<QIcon>().isNull(), problem);
    QVERIFY(!log.index(0, static_cast<int>(LogColumn::Verdict)).data(Qt::BackgroundRole).isValid());
}

void tst_TrafficLogModel::framesFallingOffTheRecorderLeaveTheTop()
{
    TrafficRecorder recorder;
    recorder.setCapacity(6);
    TrafficLogModel log(recorder);
    exchange(recorder, 0, Answer);
    log.catchUp();
    QCOMPARE(log.rowCount(), 2);

    QSignalSpy removed(&log, &QAbstractItemModel::rowsRemoved);
    for (int i = 1; i <= 5; ++i)
        exchange(recorder, i * 100, i == 5 ? BadCrc : Answer); // 10 more frames: 6 fall off
    // Until the batch the gone rows read as empty rather than as another frame.
    QVERIFY(log.frameAt(0) == nullptr);
    QVERIFY(cell(log, 0, LogColumn::Hex).isEmpty());
    log.catchUp();

    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 0);
    QCOMPARE(removed.first().at(2).toInt(), 1); // both shown rows; the other four never were
    QCOMPARE(log.rowCount(), 6);
    QCOMPARE(log.frameAt(0)->number, recorder.at(0).number);
    QCOMPARE(verdictColumn(log), (QStringList{"", "正常", "", "正常", "", "CRC 错误"}));
}

void tst_TrafficLogModel::pausedRowsStandStill()
{
    TrafficRecorder recorder;
    recorder.setCapacity(4);
    TrafficLogModel log(recorder);
    exchange(recorder, 0, Answer);
    exchange(recorder, 100, Answer);
    log.catchUp();
    log.setPaused(true);

    exchange(recorder, 200, BadCrc);
    log.catchUp();
    // The two oldest rows left the recorder and go; the new frames wait.
    QCOMPARE(log.rowCount(), 2);
    QCOMPARE(log.waiting(), 2);
    QCOMPARE(verdictColumn(log), (QStringList{"", "正常"}));

    log.setPaused(false);
    QCOMPARE(log.rowCount(), 4);
    QCOMPARE(log.waiting(), 0);
    QCOMPARE(verdictColumn(log), (QStringList{"", "正常", "", "CRC 错误"}));
}

void tst_TrafficLogModel::problemsAndTheRequestsTheyAnswer()
{
    TrafficRecorder recorder;
    exchange(recorder, 0, Answer);
    exchange(recorder, 100, BadCrc);
    exchange(recorder, 200, Answer + bytes({0xAA})); // a good answer, then a stray byte
    exchange(recorder, 300, framed(bytes({0x02, 0x03, 0x0A, 0x09, 0xC4, 0x17, 0x70, 0, 0, 0, 0, 0x25, 0x80})));
    recorder.written(ReadFive, 400 * Ms, Baud);
    recorder.written(ReadFive, 450 * Ms, Baud); // the first went unanswered
    recorder.settle(550 * Ms);                  // and its answer can no longer come
    TrafficLogModel log(recorder);
    ProblemFilter problems;
    problems.setLog(&log);

    QCOMPARE(verdictColumn(problems), (QStringList{"", "CRC 错误", "未请求", "", "不符", "", "无应答"}));
    // Each request shown is the one its problem answers.
    QCOMPARE(cell(problems, 0, LogColumn::Time), cell(log, 2, LogColumn::Time));
    QCOMPARE(cell(problems, 5, LogColumn::Time), cell(log, 9, LogColumn::Time));
}

void tst_TrafficLogModel::requestShownOnceItsAnswerTurnsOutBad()
{
    TrafficRecorder recorder;
    TrafficLogModel log(recorder);
    ProblemFilter problems;
    problems.setLog(&log);
    exchange(recorder, 0, Answer);
    recorder.written(ReadFive, 100 * Ms, Baud);
    log.catchUp();
    QCOMPARE(problems.rowCount(), 0); // the request's answer is not in yet

    recorder.arrived(Answer.left(6), 130 * Ms, Baud);
    recorder.settle(600 * Ms);
    log.catchUp();
    QCOMPARE(verdictColumn(problems), (QStringList{"", "不完整（6/15 字节）"}));
}

QTEST_MAIN(tst_TrafficLogModel)
#include "tst_traffic_log_model.moc"
