#include "bus_notes.h"
#include "frame.h"
#include "sensor_bus.h"

#include <QTest>

using kv::sim::Frame;
using kv::sim::Reception;
using kv::sim::SensorBus;

namespace {

using Indices = std::vector<std::size_t>;
using Stations = std::vector<std::uint8_t>;

Frame frame(const QString& hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    return kv::sim::withCrc(Frame(bytes.begin(), bytes.end()));
}

// Expected replies, written without their CRC.
QStringList withCrcTexts(std::initializer_list<const char*> hexes)
{
    QStringList texts;
    for (const char* hex : hexes)
        texts << kv::sim::hexText(frame(QString::fromLatin1(hex)));
    return texts;
}

QStringList hexTexts(const std::vector<Frame>& frames)
{
    QStringList texts;
    for (const Frame& one : frames)
        texts << kv::sim::hexText(one);
    return texts;
}

// Stations 1, 2 and 7 at 9600 baud, from 25.00 degrees and 60.00 percent.
struct Bus {
    explicit Bus(const Stations& stations = {1, 2, 7}, double humidity = 60.0, bool drift = false)
        : bus(kv::sim::layOutBus(stations, 9600, 25.0, humidity, drift, random))
    {
    }

    // Every sensor the request reaches at 9600 baud answers.
    std::vector<Frame> ask(const QString& hex)
    {
        const Frame request = frame(hex);
        return bus.answer(request, bus.audience(request, 9600).hearing, std::chrono::seconds(0), std::nullopt);
    }

    QRandomGenerator random{11};
    SensorBus bus;
};

} // namespace

Q_DECLARE_METATYPE(Indices)
Q_DECLARE_METATYPE(Reception)

class tst_SimSensorBus : public QObject {
    Q_OBJECT

private slots:
    void eachSensorReadsItsOwnValues();
    void humidityStopsAtItsCeiling();
    void eachSensorDriftsItsOwnWay();
    void audience_data();
    void audience();
    void writeThroughSharedStationReachesEveryone_data();
    void writeThroughSharedStationReachesEveryone();
    void writeToOneStationChangesOnlyIt();
    void exceptionFromEveryAddressedSensor();
    void collision_data();
    void collision();
    void rateMismatchNote_data();
    void rateMismatchNote();
};

void tst_SimSensorBus::eachSensorReadsItsOwnValues()
{
    Bus bus;
    QCOMPARE(hexTexts(bus.ask(QStringLiteral("01 03 00 00 00 02"))), withCrcTexts({"01 03 04 09 C4 17 70"}));
    // 26.00 and 62.00, then 27.00 and 64.00.
    QCOMPARE(hexTexts(bus.ask(QStringLiteral("02 03 00 00 00 02"))), withCrcTexts({"02 03 04 0A 28 18 38"}));
    QCOMPARE(hexTexts(bus.ask(QStringLiteral("07 03 00 00 00 02"))), withCrcTexts({"07 03 04 0A 8C 19 00"}));
}

void tst_SimSensorBus::humidityStopsAtItsCeiling()
{
    Bus bus({4, 5, 6}, 99.0);
    // 99.00, then 100.00 twice: 0x26AC and 0x2710.
    QCOMPARE(hexTexts(bus.ask(QStringLiteral("FA 03 00 01 00 01"))),
        withCrcTexts({"04 03 02 26 AC", "05 03 02 27 10", "06 03 02 27 10"}));
}

void tst_SimSensorBus::eachSensorDriftsItsOwnWay()
{
    Bus bus({1, 2}, 60.0, true);
    const Frame read = frame("FA 03 00 00 00 01");
    bool apart = false;
    for (int second = 0; second < 60 && !apart; second += 5) {
        const std::vector<Frame> replies
            = bus.bus.answer(read, Indices{0, 1}, std::chrono::seconds(second), std::nullopt);
        const auto temperature = [&](std::size_t i) { return replies[i][3] << 8 | replies[i][4]; };
        // Without drift the second sensor reads exactly 1.00 degree more.
        apart = temperature(1) - temperature(0) != 100;
    }
    QVERIFY(apart);
}

void tst_SimSensorBus::audience_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("sentAt");
    QTest::addColumn<Reception>("reception");
    QTest::addColumn<Indices>("hearing");
    QTest::addColumn<Indices>("deaf");

    QTest::newRow("one station") << "02 03 00 00 00 01" << 9600 << Reception::Accepted << Indices{1} << Indices{};
    QTest::newRow("the shared station") << "FA 03 00 00 00 01" << 9600 << Reception::Accepted << Indices{0, 1, 2}
                                        << Indices{};
    QTest::newRow("a station nobody has")
        << "03 03 00 00 00 01" << 9600 << Reception::OtherStation << Indices{} << Indices{};
    QTest::newRow("too short") << "07" << 9600 << Reception::TooShort << Indices{} << Indices{};
    QTest::newRow("one station at another rate")
        << "07 03 00 00 00 01" << 4800 << Reception::Accepted << Indices{} << Indices{2};
    QTest::newRow("everyone at another rate")
        << "FA 03 00 00 00 01" << 19200 << Reception::Accepted << Indices{} << Indices{0, 1, 2};
    QTest::newRow("a rate without a number")
        << "01 03 00 00 00 01" << 0 << Reception::Accepted << Indices{} << Indices{0};
}

void tst_SimSensorBus::audience()
{
    QFETCH(QString, request);
    QFETCH(int, sentAt);
    QFETCH(Reception, reception);
    QFETCH(Indices, hearing);
    QFETCH(Indices, deaf);

    Bus bus;
    QCOMPARE(bus.bus.receive(frame(request)), reception);
    const SensorBus::Audience audience = bus.bus.audience(frame(request), sentAt);
    QCOMPARE(audience.hearing, hearing);
    QCOMPARE(audience.deaf, deaf);
}

void tst_SimSensorBus::writeThroughSharedStationReachesEveryone_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<int>("registerIndex");
    QTest::addColumn<int>("value");

    QTest::newRow("baud rate") << "FA 06 0A 04 12 C0" << 4 << 4800;
    QTest::newRow("temperature calibration") << "FA 06 0A 00 FF 6A" << 2 << 0xFF6A;
    QTest::newRow("humidity calibration") << "FA 06 0A 02 00 96" << 3 << 0x0096;
}

void tst_SimSensorBus::writeThroughSharedStationReachesEveryone()
{
    QFETCH(QString, write);
    QFETCH(int, registerIndex);
    QFETCH(int, value);

    Bus bus;
    const std::vector<Frame> echoes = bus.ask(write);
    QCOMPARE(echoes.size(), std::size_t{3});
    for (std::size_t i = 0; i < bus.bus.size(); ++i) {
        QCOMPARE(echoes[i][0], bus.bus.device(i).station());
        QCOMPARE(int(bus.bus.device(i).registerValue(registerIndex)), value);
    }
}

void tst_SimSensorBus::writeToOneStationChangesOnlyIt()
{
    Bus bus;
    QCOMPARE(bus.ask(QStringLiteral("02 06 0A 04 4B 00")).size(), std::size_t{1});
    QCOMPARE(bus.bus.device(0).baudRate(), 9600);
    QCOMPARE(bus.bus.device(1).baudRate(), 19200);
    QCOMPARE(bus.bus.device(2).baudRate(), 9600);
    // From now on station 2 hears only at its new rate.
    const Frame read = frame("FA 03 00 00 00 01");
    QCOMPARE(bus.bus.audience(read, 9600).deaf, Indices{1});
    QCOMPARE(bus.bus.audience(read, 19200).hearing, Indices{1});
}

void tst_SimSensorBus::exceptionFromEveryAddressedSensor()
{
    Bus bus;
    const Frame write = frame("FA 06 0A 04 12 C0");
    const std::vector<Frame> replies
        = bus.bus.answer(write, Indices{0, 2}, std::chrono::seconds(0), std::uint8_t{0x04});
    QCOMPARE(hexTexts(replies), withCrcTexts({"01 86 04", "07 86 04"}));
    // A sensor that reports a failure has not carried the write out.
    QCOMPARE(bus.bus.device(0).baudRate(), 9600);
    QCOMPARE(bus.bus.device(2).baudRate(), 9600);
}

void tst_SimSensorBus::collision_data()
{
    QTest::addColumn<QStringList>("replies");

    QTest::newRow("two stations, same length") << QStringList{"01 03 02 09 C4", "02 03 02 0A 28"};
    QTest::newRow("three stations") << QStringList{"01 03 02 09 C4", "02 03 02 0A 28", "07 03 02 0A 8C"};
    QTest::newRow("identical replies") << QStringList{"01 06 0A 04 12 C0", "01 06 0A 04 12 C0"};
    QTest::newRow("an exception beside a reply") << QStringList{"01 83 02", "02 03 02 0A 28"};
}

void tst_SimSensorBus::collision()
{
    QFETCH(QStringList, replies);

    std::vector<Frame> frames;
    std::size_t longest = 0;
    for (const QString& reply : replies) {
        frames.push_back(frame(reply));
        longest = std::max(longest, frames.back().size());
    }
    const Frame line = kv::sim::collide(frames);
    QCOMPARE(line.size(), longest);
    QVERIFY2(!kv::sim::hasIntactCrc(line), qPrintable(kv::sim::hexText(line)));
    // Each bit reads 1 only where every reply that reaches it sent 1.
    for (std::size_t i = 0; i + 2 < line.size(); ++i) {
        std::uint8_t overlay = 0xFF;
        for (const Frame& one : frames)
            overlay &= i < one.size() ? one[i] : std::uint8_t{0xFF};
        QCOMPARE(line[i], overlay);
    }
}

void tst_SimSensorBus::rateMismatchNote_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("sentAt");
    QTest::addColumn<QString>("note");

    // Station 2 has been moved to 19200 baud; 1 and 7 are still at 9600.
    QTest::newRow("one sensor deaf") << "07 03 00 00 00 01" << 4800
                                     << "ignored: sent at 4800 baud; station 7 listens at 9600 baud";
    QTest::newRow("everyone deaf, two rates")
        << "FA 03 00 00 00 01" << 2400
        << "ignored: sent at 2400 baud; stations 1, 7 listen at 9600 baud; station 2 listens at 19200 baud";
    QTest::newRow("some hear") << "FA 03 00 00 00 01" << 9600
                               << "not heard by all: sent at 9600 baud; station 2 listens at 19200 baud";
    QTest::newRow("a rate without a number")
        << "01 03 00 00 00 01" << 0 << "ignored: sent at a rate without a number; station 1 listens at 9600 baud";
}

void tst_SimSensorBus::rateMismatchNote()
{
    QFETCH(QString, request);
    QFETCH(int, sentAt);
    QFETCH(QString, note);

    Bus bus;
    QCOMPARE(bus.ask(QStringLiteral("02 06 0A 04 4B 00")).size(), std::size_t{1});
    const Frame read = frame(request);
    QCOMPARE(kv::sim::rateMismatch(bus.bus, bus.bus.audience(read, sentAt), sentAt), note);
}

QTEST_APPLESS_MAIN(tst_SimSensorBus)
#include "tst_sim_sensor_bus.moc"
