#include "frame.h"
#include "sensor_device.h"

#include <QTest>

using kv::sim::Frame;
using kv::sim::SensorDevice;

namespace {

// Hex pairs followed by their CRC; flipBit >= 0 spoils one bit of the result.
Frame frame(const QString& hex, int flipBit = -1)
{
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    Frame result = kv::sim::withCrc(Frame(bytes.begin(), bytes.end()));
    if (flipBit >= 0)
        result.at(static_cast<std::size_t>(flipBit / 8)) ^= static_cast<std::uint8_t>(1u << (flipBit % 8));
    return result;
}

// Expected replies are written without their CRC: "" means no reply at all.
QString withCrcText(const QString& hex)
{
    return hex.isEmpty() ? QString() : kv::sim::hexText(frame(hex));
}

// Station 1 at 9600 baud measuring 25.00 degrees and 60.00 percent.
SensorDevice freshSensor()
{
    SensorDevice sensor(1, 9600);
    sensor.setMeasured(2500, 6000);
    return sensor;
}

} // namespace

class tst_SimSensorDevice : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void writesTakeEffect_data();
    void writesTakeEffect();
    void reportedValues_data();
    void reportedValues();
};

void tst_SimSensorDevice::answers_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("flipBit");
    QTest::addColumn<QString>("reply");

    QTest::newRow("temperature") << "01 03 00 00 00 01" << -1 << "01 03 02 09 C4";
    QTest::newRow("all eight registers") << "01 03 00 00 00 08" << -1
                                         << "01 03 10 09 C4 17 70 00 00 00 00 25 80 00 00 00 00 00 00";
    QTest::newRow("from the middle") << "01 03 00 03 00 02" << -1 << "01 03 04 00 00 25 80";
    QTest::newRow("last register") << "01 03 00 07 00 01" << -1 << "01 03 02 00 00";
    QTest::newRow("station 250 read: own station answers") << "FA 03 00 00 00 01" << -1 << "01 03 02 09 C4";
    QTest::newRow("write echoes") << "01 06 0A 00 00 96" << -1 << "01 06 0A 00 00 96";
    QTest::newRow("write at 250 echoes from own station") << "FA 06 0A 00 FF 6A" << -1 << "01 06 0A 00 FF 6A";
    QTest::newRow("calibration at the limit") << "01 06 0A 02 FC 18" << -1 << "01 06 0A 02 FC 18";
    QTest::newRow("station change echoes from the old station") << "01 06 0B 00 00 FA" << -1 << "01 06 0B 00 00 FA";

    QTest::newRow("function 4: illegal function") << "01 04 00 00 00 01" << -1 << "01 84 01";
    QTest::newRow("function 16 at 250: illegal function") << "FA 10 0A 00 00 01 02 00 00" << -1 << "01 90 01";
    QTest::newRow("read past register 7") << "01 03 00 07 00 02" << -1 << "01 83 02";
    QTest::newRow("read starting outside") << "01 03 00 08 00 01" << -1 << "01 83 02";
    QTest::newRow("read far outside") << "01 03 FF FF 00 01" << -1 << "01 83 02";
    QTest::newRow("write to an unknown register") << "01 06 0A 01 00 00" << -1 << "01 86 02";
    QTest::newRow("write to register 0") << "01 06 00 00 00 00" << -1 << "01 86 02";
    QTest::newRow("station change at 250") << "FA 06 0B 00 00 02" << -1 << "01 86 02";
    QTest::newRow("read of no registers") << "01 03 00 00 00 00" << -1 << "01 83 03";
    QTest::newRow("read of nine registers") << "01 03 00 00 00 09" << -1 << "01 83 03";
    QTest::newRow("temperature calibration 10.01") << "01 06 0A 00 03 E9" << -1 << "01 86 03";
    QTest::newRow("humidity calibration -10.01") << "01 06 0A 02 FC 17" << -1 << "01 86 03";
    QTest::newRow("baud rate 1200") << "01 06 0A 04 04 B0" << -1 << "01 86 03";
    QTest::newRow("station 0") << "01 06 0B 00 00 00" << -1 << "01 86 03";
    QTest::newRow("station 251") << "01 06 0B 00 00 FB" << -1 << "01 86 03";
    QTest::newRow("read one byte short") << "01 03 00 00 00" << -1 << "01 83 03";

    QTest::newRow("other station") << "02 03 00 00 00 01" << -1 << "";
    QTest::newRow("station 0 broadcast") << "00 06 0A 00 00 10" << -1 << "";
    QTest::newRow("bad CRC") << "01 03 00 00 00 01" << 60 << "";
    QTest::newRow("damaged data") << "01 03 00 00 00 01" << 20 << "";
    QTest::newRow("station 251") << "FB 03 00 00 00 01" << -1 << "";
}

void tst_SimSensorDevice::answers()
{
    QFETCH(QString, request);
    QFETCH(int, flipBit);
    QFETCH(QString, reply);

    SensorDevice sensor = freshSensor();
    QCOMPARE(kv::sim::hexText(sensor.answer(frame(request, flipBit))), withCrcText(reply));
}

void tst_SimSensorDevice::writesTakeEffect_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<int>("flipBit");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("reply");

    QTest::newRow("temperature calibration shifts temperature") << "01 06 0A 00 00 96" << -1 << "01 03 00 00 00 03"
                                                                << "01 03 06 0A 5A 17 70 00 96";
    QTest::newRow("negative calibration at 250") << "FA 06 0A 00 FF 6A" << -1 << "01 03 00 00 00 03"
                                                 << "01 03 06 09 2E 17 70 FF 6A";
    QTest::newRow("humidity calibration shifts humidity") << "FA 06 0A 02 FC 18" << -1 << "01 03 00 01 00 03"
                                                          << "01 03 06 13 88 00 00 FC 18";
    QTest::newRow("baud rate") << "FA 06 0A 04 4B 00" << -1 << "01 03 00 04 00 01"
                               << "01 03 02 4B 00";
    QTest::newRow("0x0A06 into register 5") << "FA 06 0A 06 12 34" << -1 << "01 03 00 05 00 03"
                                            << "01 03 06 12 34 00 00 00 00";
    QTest::newRow("0x0A08 into register 6") << "01 06 0A 08 AB CD" << -1 << "01 03 00 05 00 03"
                                            << "01 03 06 00 00 AB CD 00 00";
    QTest::newRow("0x0A0A into register 7") << "01 06 0A 0A FF FF" << -1 << "01 03 00 05 00 03"
                                            << "01 03 06 00 00 00 00 FF FF";
    QTest::newRow("new station answers") << "01 06 0B 00 00 07" << -1 << "07 03 00 00 00 01"
                                         << "07 03 02 09 C4";
    QTest::newRow("old station falls silent") << "01 06 0B 00 00 07" << -1 << "01 03 00 00 00 01"
                                              << "";
    QTest::newRow("250 answers with the new station") << "01 06 0B 00 00 07" << -1 << "FA 03 00 00 00 01"
                                                      << "07 03 02 09 C4";
    QTest::newRow("refused calibration changes nothing") << "01 06 0A 00 03 E9" << -1 << "01 03 00 00 00 03"
                                                         << "01 03 06 09 C4 17 70 00 00";
    QTest::newRow("refused baud rate changes nothing") << "01 06 0A 04 04 B0" << -1 << "01 03 00 04 00 01"
                                                       << "01 03 02 25 80";
    QTest::newRow("write with a bad CRC changes nothing") << "01 06 0A 00 00 96" << 61 << "01 03 00 02 00 01"
                                                          << "01 03 02 00 00";
    QTest::newRow("write to another station changes nothing") << "02 06 0A 00 00 96" << -1 << "01 03 00 02 00 01"
                                                              << "01 03 02 00 00";
}

void tst_SimSensorDevice::writesTakeEffect()
{
    QFETCH(QString, write);
    QFETCH(int, flipBit);
    QFETCH(QString, read);
    QFETCH(QString, reply);

    SensorDevice sensor = freshSensor();
    sensor.answer(frame(write, flipBit));
    QCOMPARE(kv::sim::hexText(sensor.answer(frame(read))), withCrcText(reply));
}

void tst_SimSensorDevice::reportedValues_data()
{
    QTest::addColumn<int>("temperature");
    QTest::addColumn<int>("humidity");
    QTest::addColumn<QString>("calibration"); // the two words written to 0x0A00 and 0x0A02
    QTest::addColumn<QString>("reply");

    QTest::newRow("below zero") << -500 << 4550 << "0000 0000"
                                << "01 03 04 FE 0C 11 C6";
    QTest::newRow("calibration crosses zero") << 50 << 6000 << "FF 9C 00 00"
                                              << "01 03 04 FF CE 17 70";
    QTest::newRow("both raised") << 2500 << 6000 << "03 E8 03 E8"
                                 << "01 03 04 0D AC 1B 58";
    QTest::newRow("both lowered to the limit") << 2500 << 6000 << "FC 18 FC 18"
                                               << "01 03 04 05 DC 13 88";
    QTest::newRow("saturates at the register's range") << 32700 << 0 << "03 E8 00 00"
                                                       << "01 03 04 7F FF 00 00";
}

void tst_SimSensorDevice::reportedValues()
{
    QFETCH(int, temperature);
    QFETCH(int, humidity);
    QFETCH(QString, calibration);
    QFETCH(QString, reply);

    SensorDevice sensor(1, 9600);
    sensor.setMeasured(temperature, humidity);
    const QString compact = QString(calibration).remove(QLatin1Char(' '));
    QVERIFY(!sensor.answer(frame(QStringLiteral("01 06 0A 00 ") + compact.left(4))).empty());
    QVERIFY(!sensor.answer(frame(QStringLiteral("01 06 0A 02 ") + compact.mid(4))).empty());
    QCOMPARE(kv::sim::hexText(sensor.answer(frame(QStringLiteral("01 03 00 00 00 02")))), withCrcText(reply));
}

QTEST_APPLESS_MAIN(tst_SimSensorDevice)
#include "tst_sim_sensor_device.moc"
