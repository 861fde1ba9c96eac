#include "protocol/kv9240b/request_frames.h"
#include "pty_pair.h"
#include "session/sensor_sweep.h"
#include "sim_process.h"

#include <QSignalSpy>
#include <QTest>

using namespace kv;
using namespace kv::test;

Q_DECLARE_METATYPE(kv::FoundSensor)
Q_DECLARE_METATYPE(kv::Outcome)

namespace {

// What a sweep reported, in the order it came.
struct SweepLog {
    explicit SweepLog(SensorSweep& sweep)
    {
        QObject::connect(&sweep, &SensorSweep::trying, [this](const QString& device, int baud, int station) {
            tried << QStringLiteral("%1@%2:%3").arg(device).arg(baud).arg(station);
        });
        QObject::connect(&sweep, &SensorSweep::portFailed, [this, &sweep](const QString& device) {
            failed << device;
            failures << sweep.port().openFailure();
        });
        QObject::connect(&sweep, &SensorSweep::collision, [this](const QString&, int baud, const Outcome& outcome) {
            collisions << QStringLiteral("%1 %2").arg(baud).arg(statusCode(outcome));
        });
        QObject::connect(&sweep, &SensorSweep::found, [this](const FoundSensor& sensor) { found << sensor; });
        QObject::connect(
            &sweep, &SensorSweep::unreadable, [this](const QString&, int, int station, const Outcome& outcome) {
                unreadable << QStringLiteral("%1 %2").arg(station).arg(statusCode(outcome));
            });
        QObject::connect(&sweep, &SensorSweep::finished, [this](int count, qint64) {
            ++finishings;
            finishedCount = count;
        });
    }

    QStringList tried;
    QStringList failed;
    QList<CommPort::OpenFailure> failures;
    QStringList collisions;
    QList<FoundSensor> found;
    QStringList unreadable;
    int finishings = 0;
    int finishedCount = -1;
};

} // namespace

class tst_SensorSweep : public QObject {
    Q_OBJECT

private slots:
    void findsTheSensorThroughStation250();
    void silentLineTriesEachRateOnce();
    void severalSensorsCollide();
    void garbledAnswerStartsAScan();
    void aMisaddressedAnswerIsAskedAgain();
    void anExceptionNamesItsStation();
    void unopenablePortIsSkipped();
    void stopEndsAtOnce();
};

void tst_SensorSweep::findsTheSensorThroughStation250()
{
    SimProcess sim({"--station", "42", "--temperature", "21.5", "--humidity", "48.25"});
    QVERIFY(sim.isRunning());
    SensorSweep sweep;
    SweepLog log(sweep);
    QVERIFY(sweep.start({{sim.devicePath()}, {9600}, false, {}}));
    QVERIFY(!sweep.start({{sim.devicePath()}, {9600}, false, {}})); // one at a time
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 1, 5000);

    QCOMPARE(log.finishedCount, 1);
    QCOMPARE(log.found.size(), 1);
    const FoundSensor& sensor = log.found.first();
    QCOMPARE(sensor.device, sim.devicePath());
    QCOMPARE(sensor.baudRate, 9600);
    QCOMPARE(sensor.station, 42);
    QCOMPARE(sensor.valuesStatus, OutcomeKind::Ok);
    QCOMPARE(sensor.values.temperature, 2150);
    QCOMPARE(sensor.values.humidity, 4825);
    QCOMPARE(sensor.values.baudRate, 9600);
    // Station 250 for the number, then the station itself for the values.
    QCOMPARE(sim.lines(QStringLiteral("RX")), (QStringList{"FA 03 00 00 00 01 91 81", "2A 03 00 00 00 05 83 D2"}));
    QVERIFY(log.collisions.isEmpty());
    QVERIFY(!sweep.running());
}

void tst_SensorSweep::silentLineTriesEachRateOnce()
{
    PtyPair line; // nobody answers
    QVERIFY(line.isValid());
    SensorSweep sweep;
    SweepLog log(sweep);
    QVERIFY(sweep.start({{line.slavePath()}, {9600, 19200, 4800, 2400}, false, {}}));
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 1, 5000);

    const QString at = line.slavePath() + QLatin1Char('@');
    QCOMPARE(log.tried, (QStringList{at + "9600:250", at + "19200:250", at + "4800:250", at + "2400:250"}));
    QCOMPARE(log.finishedCount, 0);
    QVERIFY(log.found.isEmpty());
    // Four requests to 250, each 8 bytes, nothing else.
    const QByteArray sent = line.drain();
    const Frame request = withCrc(addressReadHead());
    QCOMPARE(sent, QByteArray(reinterpret_cast<const char*>(request.data()), 8).repeated(4));
}

void tst_SensorSweep::severalSensorsCollide()
{
    // Two sensors at 19200: silent at the other rates, their answers to 250
    // collide at theirs, and the scan finds each.
    SimProcess sim({"--station", "5,240", "--baud", "19200"});
    QVERIFY(sim.isRunning());
    SensorSweep sweep;
    SweepLog log(sweep);
    QVERIFY(sweep.start({{sim.devicePath()}, {9600, 19200, 2400}, false, std::chrono::milliseconds(35)}));
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 1, 60000);

    QCOMPARE(log.collisions, QStringList{"19200 bad-crc"});
    QCOMPARE(log.found.size(), 2);
    QCOMPARE(log.found[0].station, 5);
    QCOMPARE(log.found[0].baudRate, 19200);
    QCOMPARE(log.found[0].values.temperature, 2500);
    QCOMPARE(log.found[1].station, 240);
    QCOMPARE(log.found[1].values.temperature, 2600);
    QCOMPARE(log.finishedCount, 2);
    QVERIFY(log.unreadable.isEmpty());
    // 250 at each rate (at 19200 asked twice more before the answers count
    // as colliding), and the scan at 19200 only.
    QCOMPARE(log.tried.size(), 3 + 2 + 247);
    QVERIFY(log.tried[3].endsWith(QLatin1String("@19200:250")));
    QVERIFY(log.tried[4].endsWith(QLatin1String("@19200:1")));
    QVERIFY(log.tried.last().endsWith(QLatin1String("@2400:250")));
}

void tst_SensorSweep::garbledAnswerStartsAScan()
{
    // Every answer spoilt: to 250 that is how a collision looks, and in the
    // scan station 7 answers garbled too.
    SimProcess sim({"--station", "7", "--baud", "19200", "--fault", "bad-crc:1"});
    QVERIFY(sim.isRunning());
    SensorSweep sweep;
    SweepLog log(sweep);
    QVERIFY(sweep.start({{sim.devicePath()}, {19200}, false, std::chrono::milliseconds(40)}));
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 1, 30000);

    QCOMPARE(log.collisions, QStringList{"19200 bad-crc"});
    QCOMPARE(log.tried.size(), 3 + 247);
    QVERIFY(log.tried[3].endsWith(QLatin1String("@19200:1")));
    QVERIFY(log.tried.last().endsWith(QLatin1String("@19200:247")));
    QCOMPARE(log.unreadable, QStringList{"7 bad-crc"});
    QCOMPARE(log.finishedCount, 0);
}

void tst_SensorSweep::aMisaddressedAnswerIsAskedAgain()
{
    // With this seed the sensor's first answer to 250 comes from station 43,
    // the next ones rightly from 42: the silent 43 is not reported.
    SimProcess sim({"--station", "42", "--fault", "wrong-station:0.5", "--seed", "16"});
    QVERIFY(sim.isRunning());
    SensorSweep sweep;
    SweepLog log(sweep);
    QVERIFY(sweep.start({{sim.devicePath()}, {9600}, false, {}}));
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 1, 5000);

    QCOMPARE(sim.lines(QStringLiteral("FAULT")).size(), 1);
    const QString where = sim.devicePath() + QStringLiteral("@9600:");
    QCOMPARE(log.tried, (QStringList{where + "250", where + "43", where + "250", where + "42"}));
    QCOMPARE(log.finishedCount, 1);
    QCOMPARE(log.found.size(), 1);
    QCOMPARE(log.found.first().station, 42);
    QCOMPARE(log.found.first().valuesStatus, OutcomeKind::Ok);
}

void tst_SensorSweep::anExceptionNamesItsStation()
{
    // A sensor that refuses everything: its exceptions are intact frames from
    // one station, not a collision, so there is no scan and it is listed with
    // its values unread.
    SimProcess sim({"--station", "9", "--fault", "exception:1"});
    QVERIFY(sim.isRunning());
    SensorSweep sweep;
    SweepLog log(sweep);
    QVERIFY(sweep.start({{sim.devicePath()}, {9600}, false, {}}));
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 1, 5000);

    QVERIFY(log.collisions.isEmpty());
    const QString where = sim.devicePath() + QStringLiteral("@9600:");
    QCOMPARE(log.tried, (QStringList{where + "250", where + "9", where + "250", where + "9"}));
    QCOMPARE(log.found.size(), 1);
    QCOMPARE(log.found.first().station, 9);
    QCOMPARE(log.found.first().valuesStatus, OutcomeKind::Exception);
}

void tst_SensorSweep::unopenablePortIsSkipped()
{
    SimProcess sim;
    QVERIFY(sim.isRunning());
    SensorSweep sweep;
    SweepLog log(sweep);
    QVERIFY(sweep.start({{"/dev/kv9240b-no-such-device", sim.devicePath()}, {9600}, false, {}}));
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 1, 5000);

    QCOMPARE(log.failed, QStringList{"/dev/kv9240b-no-such-device"});
    QCOMPARE(log.failures, QList<CommPort::OpenFailure>{CommPort::OpenFailure::Missing});
    QCOMPARE(log.found.size(), 1);
    QCOMPARE(log.found.first().device, sim.devicePath());
}

void tst_SensorSweep::stopEndsAtOnce()
{
    PtyPair line;
    SensorSweep sweep;
    SweepLog log(sweep);
    QObject::connect(&sweep, &SensorSweep::trying, &sweep, &SensorSweep::stop, Qt::QueuedConnection);
    QVERIFY(sweep.start({{line.slavePath()}, {9600, 19200, 4800, 2400}, true, {}}));
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 1, 5000);
    QVERIFY(!sweep.running());
    QCOMPARE(log.tried.size(), 1);
    QTest::qWait(300); // longer than the exchange that was open
    QCOMPARE(log.tried.size(), 1);
    QCOMPARE(log.finishings, 1);
    QCOMPARE(line.drain().size(), 8);

    // It can be started again.
    QVERIFY(sweep.start({{line.slavePath()}, {9600}, false, {}}));
    QTRY_COMPARE_WITH_TIMEOUT(log.finishings, 2, 5000);
}

QTEST_GUILESS_MAIN(tst_SensorSweep)
#include "tst_sensor_sweep.moc"
