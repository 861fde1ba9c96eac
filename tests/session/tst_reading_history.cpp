#include "session/reading_history.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace kv;
using namespace std::chrono_literals;

namespace {

const qint64 Start = QDateTime(QDate(2026, 3, 2), QTime(9, 0)).toMSecsSinceEpoch();

Reading sound(qint64 timeMs, std::optional<int> temperature, std::optional<int> humidity)
{
    Reading reading;
    reading.time = QDateTime::fromMSecsSinceEpoch(timeMs);
    reading.station = 1;
    reading.status = OutcomeKind::Ok;
    reading.values.temperature = temperature;
    reading.values.humidity = humidity;
    return reading;
}

// Ten readings a second apart: temperatures 20.00, 21.00 ... with a dip to
// 15.50 at the fourth; humidity 40.00 + i, missing at the seventh.
// Readings of station 1 on COM1, polled every second.
bool poll(ReadingHistory& history, const Reading& reading)
{
    return history.append(reading, QStringLiteral("COM1"), 1s);
}

const SensorReadings& only(const ReadingHistory& history)
{
    return history.sensors().front();
}

ReadingHistory tenReadings()
{
    ReadingHistory history;
    for (int i = 0; i < 10; ++i) {
        const int temperature = i == 3 ? 1550 : 2000 + 100 * i;
        poll(history, sound(Start + 1000 * i, temperature, i == 6 ? std::nullopt : std::optional(4000 + 100 * i)));
    }
    return history;
}

ValueSummary counted(const ValueTrack& track, qsizetype first, qsizetype end)
{
    ValueSummary summary;
    for (qsizetype index = first; index < end; ++index)
        summary.add(track.valueAt(index));
    return summary;
}

} // namespace

class tst_ReadingHistory : public QObject {
    Q_OBJECT

private slots:
    void statistics_data();
    void statistics();
    void onlySoundReadingsAreKept();
    void clockSetBackKeepsTimeOrder();
    void summariesAgreeWithCountingOverLongRuns();
    void fewValuesAreOutlinedAsThey();
    void manyValuesAreOutlinedByTheirExtremes();
    void eachSensorIsItsOwnSeriesWithGapsBetweenRuns();
};

void tst_ReadingHistory::statistics_data()
{
    QTest::addColumn<int>("quantity");
    QTest::addColumn<qint64>("from"); // ms after Start
    QTest::addColumn<qint64>("to");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<double>("mean");
    QTest::addColumn<int>("last");
    QTest::addColumn<qint64>("lastAt");

    const int t = int(Quantity::Temperature);
    const int h = int(Quantity::Humidity);
    // 2000 + 2100 + 2200 + 1550 + 2400 + ... + 2900 = 23750
    QTest::newRow("whole run") << t << qint64(0) << qint64(9000) << qsizetype(10) << 1550 << 2900 << 2375.0 << 2900
                               << qint64(9000);
    QTest::newRow("ends included") << t << qint64(1000) << qint64(3000) << qsizetype(3) << 1550 << 2200 << 1950.0
                                   << 1550 << qint64(3000);
    QTest::newRow("between readings") << t << qint64(1500) << qint64(2500) << qsizetype(1) << 2200 << 2200 << 2200.0
                                      << 2200 << qint64(2000);
    QTest::newRow("nothing in the span") << t << qint64(2100) << qint64(2900) << qsizetype(0) << 0 << 0 << 0.0 << 0
                                         << qint64(0);
    QTest::newRow("before the run") << t << qint64(-5000) << qint64(-1) << qsizetype(0) << 0 << 0 << 0.0 << 0
                                    << qint64(0);
    QTest::newRow("reaching past the end")
        << t << qint64(8000) << qint64(60000) << qsizetype(2) << 2800 << 2900 << 2850.0 << 2900 << qint64(9000);
    // 4000 ... 4900 without 4600: 44500 - 4600 = 39900 over 9
    QTest::newRow("humidity with a gap") << h << qint64(0) << qint64(9000) << qsizetype(9) << 4000 << 4900
                                         << 39900.0 / 9 << 4900 << qint64(9000);
    QTest::newRow("humidity's last before its gap")
        << h << qint64(4000) << qint64(6500) << qsizetype(2) << 4400 << 4500 << 4450.0 << 4500 << qint64(5000);
}

void tst_ReadingHistory::statistics()
{
    QFETCH(int, quantity);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(qsizetype, count);
    const ReadingHistory history = tenReadings();
    const SpanStatistics figures = only(history).statistics(Quantity(quantity), Start + from, Start + to);
    QCOMPARE(figures.count, count);
    if (count == 0)
        return;
    QTEST(figures.minimum, "minimum");
    QTEST(figures.maximum, "maximum");
    QTEST(figures.mean, "mean");
    QTEST(figures.last, "last");
    QTEST(figures.lastAtMs - Start, "lastAt");
}

void tst_ReadingHistory::onlySoundReadingsAreKept()
{
    ReadingHistory history;
    Reading failed = sound(Start, 2500, 5000);
    failed.status = OutcomeKind::BadCrc;
    QVERIFY(!poll(history, failed));
    Reading timeless = sound(Start, 2500, 5000);
    timeless.time = {};
    QVERIFY(!poll(history, timeless));
    QVERIFY(history.isEmpty());
    QVERIFY(!history.lastTimeMs());

    QVERIFY(poll(history, sound(Start + 50, 2500, std::nullopt))); // a reply of the temperature alone
    QCOMPARE(history.size(), qsizetype(1));
    QCOMPARE(only(history).track(Quantity::Temperature).size(), qsizetype(1));
    QCOMPARE(only(history).track(Quantity::Humidity).size(), qsizetype(0));
    QCOMPARE(history.firstTimeMs().value_or(0), Start + 50);
    QCOMPARE(history.lastTimeMs().value_or(0), Start + 50);
}

void tst_ReadingHistory::clockSetBackKeepsTimeOrder()
{
    ReadingHistory history;
    poll(history, sound(Start + 10000, 2000, 4000));
    poll(history, sound(Start + 11000, 2100, 4100));
    poll(history, sound(Start + 3000, 2200, 4200)); // the clock was set back by 8 s
    poll(history, sound(Start + 4000, 2300, 4300));

    const ValueTrack& temperatures = only(history).track(Quantity::Temperature);
    QCOMPARE(temperatures.timeAt(2), Start + 11000);
    QCOMPARE(temperatures.timeAt(3), Start + 11000);
    QCOMPARE(history.lastTimeMs().value_or(0), Start + 11000);
    const SpanStatistics figures = only(history).statistics(Quantity::Temperature, Start + 11000, Start + 11000);
    QCOMPARE(figures.count, qsizetype(3));
    QCOMPARE(figures.last, 2300);
}

// Spans that start and end inside blocks of every size, over a run longer
// than 64³ values: the block summaries must give what counting gives.
void tst_ReadingHistory::summariesAgreeWithCountingOverLongRuns()
{
    ReadingHistory history;
    QRandomGenerator random(15);
    const int readings = 64 * 64 * 64 + 4321;
    for (int i = 0; i < readings; ++i)
        poll(history, sound(Start + 50LL * i, random.bounded(-4000, 12500), random.bounded(0, 10000)));
    const ValueTrack& track = only(history).track(Quantity::Temperature);

    QList<std::pair<qsizetype, qsizetype>> spans{{0, readings}, {1, readings - 1}, {64, 64 * 64},
        {63, 64 * 64 * 64 + 1}, {64 * 64 * 64, readings}, {5, 5}, {4095, 4097}};
    for (int i = 0; i < 40; ++i) {
        const auto a = qsizetype(random.bounded(readings + 1));
        const auto b = qsizetype(random.bounded(readings + 1));
        spans.append({std::min(a, b), std::max(a, b)});
    }
    for (const auto& [first, end] : spans) {
        const ValueSummary expected = counted(track, first, end);
        const ValueSummary summary = track.summary(first, end);
        const QByteArray span = QByteArray::number(first) + ".." + QByteArray::number(end);
        QVERIFY2(summary.count == expected.count, span.constData());
        QVERIFY2(summary.sum == expected.sum, span.constData());
        if (expected.count > 0) {
            QVERIFY2(summary.minimum == expected.minimum, span.constData());
            QVERIFY2(summary.maximum == expected.maximum, span.constData());
        }
    }
}

void tst_ReadingHistory::fewValuesAreOutlinedAsThey()
{
    const ReadingHistory history = tenReadings();
    const std::vector<TimedValue> points
        = only(history).outline(Quantity::Temperature, Start + 2500, Start + 5500, 100);
    // 3000, 4000 and 5000, with one neighbour either side
    const std::vector<TimedValue> expected{
        {Start + 2000, 2200}, {Start + 3000, 1550}, {Start + 4000, 2400}, {Start + 5000, 2500}, {Start + 6000, 2600}};
    QCOMPARE(points, expected);
}

void tst_ReadingHistory::manyValuesAreOutlinedByTheirExtremes()
{
    ReadingHistory history;
    QRandomGenerator random(7);
    for (int i = 0; i < 100000; ++i)
        poll(history, sound(Start + 50LL * i, random.bounded(2000, 3000), 5000));
    const qint64 from = Start + 50 * 1000;
    const qint64 to = Start + 50 * 90000;
    const int columns = 800;
    const std::vector<TimedValue> points = only(history).outline(Quantity::Temperature, from, to, columns);

    QVERIFY(points.size() <= 2 * columns + 2);
    QVERIFY(points.size() >= 2 * columns);
    QVERIFY(std::is_sorted(
        points.begin(), points.end(), [](const TimedValue& a, const TimedValue& b) { return a.timeMs < b.timeMs; }));
    QCOMPARE(points.front().timeMs, from - 50);
    QCOMPARE(points.back().timeMs, to + 50);
    // Inside the span, the outline reaches exactly as high and as low as the values.
    const SpanStatistics figures = only(history).statistics(Quantity::Temperature, from, to);
    const auto [lowest, highest] = std::minmax_element(points.begin() + 1, points.end() - 1,
        [](const TimedValue& a, const TimedValue& b) { return a.value < b.value; });
    QCOMPARE(lowest->value, figures.minimum);
    QCOMPARE(highest->value, figures.maximum);
}

// Station 1 on COM1 polled every second, then station 7 on COM2, then station
// 1 again; a failed exchange, polling stopped for a while and single readings.
void tst_ReadingHistory::eachSensorIsItsOwnSeriesWithGapsBetweenRuns()
{
    ReadingHistory history;
    const QString com1 = QStringLiteral("COM1");
    auto read = [&](const QString& port, std::uint8_t station, qint64 atMs, int temperature,
                    std::chrono::milliseconds period = 1s) {
        Reading reading = sound(Start + atMs, temperature, 5000);
        reading.station = station;
        history.append(reading, port, period);
    };
    read(com1, 1, 0, 2000);
    read(com1, 1, 1000, 2010);
    read(QStringLiteral("COM2"), 7, 2000, 3000); // another sensor
    read(QStringLiteral("COM2"), 7, 3000, 3010);
    read(com1, 1, 4000, 2020); // back: COM1 missed what COM2 was read in
    history.interrupt();       // no reply, say
    read(com1, 1, 6000, 2030);
    read(com1, 1, 7000, 2040);
    read(com1, 1, 20000, 2050);     // polling stopped between them
    read(com1, 1, 20500, 2060, 0s); // single readings stand alone
    read(com1, 1, 21000, 2070, 0s);

    QCOMPARE(history.size(), qsizetype(10));
    QCOMPARE(history.sensors().size(), std::size_t(2));
    const SensorReadings* first = history.sensor({com1, 1});
    const SensorReadings* second = history.sensor({QStringLiteral("COM2"), 7});
    QVERIFY(first && second && !history.sensor({com1, 7}));
    QCOMPARE(history.newestSensor(), first);

    // The figures of a sensor are its own.
    const SpanStatistics mine = first->statistics(Quantity::Temperature, Start, Start + 30000);
    QCOMPARE(mine.count, qsizetype(8));
    QCOMPARE(mine.maximum, 2070);
    QCOMPARE(second->statistics(Quantity::Temperature, Start, Start + 30000).minimum, 3000);

    QList<bool> startsRun;
    for (const TimedValue& point : first->outline(Quantity::Humidity, Start, Start + 30000, 100))
        startsRun << point.startsRun;
    QCOMPARE(startsRun, (QList<bool>{true, false, true, true, false, true, true, true}));
    QCOMPARE(second->outline(Quantity::Temperature, Start, Start + 30000, 100).back().startsRun, false);
}

QTEST_GUILESS_MAIN(tst_ReadingHistory)
#include "tst_reading_history.moc"
