#include "session/record_format.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace kv;

Q_DECLARE_METATYPE(kv::RecordFormat)
Q_DECLARE_METATYPE(kv::Reading)

namespace {

const QDateTime At(QDate(2026, 12, 7), QTime(14, 3, 10, 123), Qt::OffsetFromUTC, 3600);

Reading good()
{
    Reading reading;
    reading.time = At;
    reading.station = 1;
    reading.status = OutcomeKind::Ok;
    reading.values = {1, 2500, 6000, -150, 0, 9600};
    return reading;
}

Reading failed(OutcomeKind kind)
{
    Reading reading;
    reading.time = At;
    reading.station = 3;
    reading.status = kind;
    reading.timeout = std::chrono::milliseconds(129);
    reading.check.received = 7;
    reading.check.expected = 15;
    reading.check.exceptionCode = 2;
    return reading;
}

} // namespace

class tst_RecordFormat : public QObject {
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void jsonIsValidWithTwoDecimals();
    void headerAndNames();
};

void tst_RecordFormat::lines_data()
{
    QTest::addColumn<RecordFormat>("format");
    QTest::addColumn<Reading>("reading");
    QTest::addColumn<QString>("line");

    QTest::newRow("text") << RecordFormat::Text << good()
                          << "station 1  25.00 °C  60.00 %RH  offsets -1.50 °C +0.00 %RH  9600 baud";
    QTest::newRow("text, no reply") << RecordFormat::Text << failed(OutcomeKind::NoReply)
                                    << "station 3  no reply (timeout 129 ms)";
    QTest::newRow("text, partial") << RecordFormat::Text << failed(OutcomeKind::Partial)
                                   << "station 3  partial (7 of 15 bytes)";
    QTest::newRow("text, exception") << RecordFormat::Text << failed(OutcomeKind::Exception)
                                     << "station 3  exception 02 (illegal data address)";
    QTest::newRow("csv") << RecordFormat::Csv << good()
                         << "2026-12-07T14:03:10.123+01:00,1,25.00,60.00,-1.50,0.00,9600,ok";
    Reading west = good();
    west.time = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::OffsetFromUTC, -12600);
    west.values = {1, -5, 7, -10000, 1, 115200};
    QTest::newRow("csv, west of UTC, small and large")
        << RecordFormat::Csv << west << "2026-01-02T03:04:05.006-03:30,1,-0.05,0.07,-100.00,0.01,115200,ok";
    QTest::newRow("csv, bad CRC") << RecordFormat::Csv << failed(OutcomeKind::BadCrc)
                                  << "2026-12-07T14:03:10.123+01:00,3,,,,,,bad-crc";
    QTest::newRow("csv, exception") << RecordFormat::Csv << failed(OutcomeKind::Exception)
                                    << "2026-12-07T14:03:10.123+01:00,3,,,,,,exception-02";
    QTest::newRow("json") << RecordFormat::Json << good()
                          << "{\"time\":\"2026-12-07T14:03:10.123+01:00\",\"station\":1,\"temperature_c\":25.00,"
                             "\"humidity_rh\":60.00,\"temperature_offset_c\":-1.50,\"humidity_offset_rh\":0.00,"
                             "\"baud\":9600,\"status\":\"ok\"}";
    QTest::newRow("json, port lost")
        << RecordFormat::Json << failed(OutcomeKind::PortLost)
        << "{\"time\":\"2026-12-07T14:03:10.123+01:00\",\"station\":3,\"temperature_c\":null,"
           "\"humidity_rh\":null,\"temperature_offset_c\":null,\"humidity_offset_rh\":null,"
           "\"baud\":null,\"status\":\"port-lost\"}";
    QTest::newRow("influx") << RecordFormat::Influx << good()
                            << "kv9240b,station=1 temperature_c=25.00,humidity_rh=60.00,temperature_offset_c=-1.50,"
                               "humidity_offset_rh=0.00,baud=9600i,status=\"ok\" 1796648590123000000";
    Reading tagged = failed(OutcomeKind::NoReply);
    tagged.port = QStringLiteral("tcp://gw 1:4001,a=b");
    QTest::newRow("influx: a failure is a point without values, the port a tag")
        << RecordFormat::Influx << tagged
        << "kv9240b,station=3,port=tcp://gw\\ 1:4001\\,a\\=b status=\"no-reply\" 1796648590123000000";
}

void tst_RecordFormat::lines()
{
    QFETCH(RecordFormat, format);
    QFETCH(Reading, reading);
    QFETCH(QString, line);
    QCOMPARE(recordLine(format, reading), line);
}

void tst_RecordFormat::jsonIsValidWithTwoDecimals()
{
    Reading reading = good();
    reading.values.temperature = -5; // -0.05
    const QString line = recordLine(RecordFormat::Json, reading);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(line.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(object.value(QStringLiteral("temperature_c")).toDouble(), -0.05);
    QVERIFY(line.contains(QStringLiteral("\"temperature_c\":-0.05,")));
    QCOMPARE(object.value(QStringLiteral("baud")).toInt(), 9600);
}

void tst_RecordFormat::headerAndNames()
{
    QCOMPARE(recordHeader(RecordFormat::Csv),
        QStringLiteral("time,station,temperature_c,humidity_rh,temperature_offset_c,humidity_offset_rh,baud,status"));
    QVERIFY(recordHeader(RecordFormat::Json).isEmpty());
    QCOMPARE(recordFormatNamed(QStringLiteral("influx")), RecordFormat::Influx);
    QVERIFY(!recordFormatNamed(QStringLiteral("xml")));
    QCOMPARE(isoTime(At.toOffsetFromUtc(-9000)), QStringLiteral("2026-12-07T10:33:10.123-02:30"));
}

QTEST_GUILESS_MAIN(tst_RecordFormat)
#include "tst_record_format.moc"
