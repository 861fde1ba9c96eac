#include "session/record_format.h"

#include "recorded_csv.h"

#include <QTest>
#include <QTimeZone>

using namespace kv;

Q_DECLARE_METATYPE(kv::Reading)

namespace {

// 2026-03-02 09:05:07.045 at the given offset from UTC (seconds).
QDateTime at(int offsetSeconds)
{
    return QDateTime(QDate(2026, 3, 2), QTime(9, 5, 7, 45), QTimeZone(offsetSeconds));
}

} // namespace

class tst_RecordFormat : public QObject {
    Q_OBJECT

private slots:
    void csvHeader();
    void csvLine_data();
    void csvLine();
};

void tst_RecordFormat::csvHeader()
{
    QCOMPARE(QString::fromUtf8(recordHeader(RecordFormat::Csv)), test::RecordHeader + QLatin1Char('\n'));
}

void tst_RecordFormat::csvLine_data()
{
    QTest::addColumn<Reading>("reading");
    QTest::addColumn<QString>("line");

    Reading full;
    full.time = at(8 * 3600);
    full.station = 1;
    full.status = OutcomeKind::Ok;
    full.values = Measurement{1, 2534, 4507, -150, 5, 9600};
    QTest::newRow("every register") << full << "2026-03-02T09:05:07.045+08:00,1,25.34,45.07,-1.50,0.05,9600,ok";

    Reading pair = full;
    pair.time = at(-(5 * 3600 + 30 * 60));
    pair.station = 247;
    pair.values = Measurement{247, -5, 0, std::nullopt, std::nullopt, std::nullopt};
    QTest::newRow("temperature and humidity only")
        << pair << "2026-03-02T09:05:07.045-05:30,247,-0.05,0.00,,,,ok";

    Reading utc = full;
    utc.time = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999), QTimeZone::utc());
    utc.values = Measurement{1, 2534, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    QTest::newRow("UTC keeps its offset") << utc << "2026-12-31T23:59:59.999+00:00,1,25.34,,,,,ok";

    Reading failed = full;
    failed.status = OutcomeKind::Exception;
    failed.exceptionCode = 0x0B;
    QTest::newRow("failed: no values") << failed << "2026-03-02T09:05:07.045+08:00,1,,,,,,exception-0B";

    Reading silent = failed;
    silent.status = OutcomeKind::NoReply;
    QTest::newRow("no reply") << silent << "2026-03-02T09:05:07.045+08:00,1,,,,,,no-reply";
}

void tst_RecordFormat::csvLine()
{
    QFETCH(Reading, reading);
    QFETCH(QString, line);
    const QString written = QString::fromUtf8(recordLine(RecordFormat::Csv, reading));
    QCOMPARE(written, line + QLatin1Char('\n'));
    QVERIFY(test::isValidRow(line));
}

QTEST_GUILESS_MAIN(tst_RecordFormat)
#include "tst_record_format.moc"
