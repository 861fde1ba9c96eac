#include "app/chart/reading_age.h"

#include <QTest>

using namespace kv;
using namespace std::chrono_literals;

class tst_ReadingAge : public QObject {
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void old_data();
    void old();
};

void tst_ReadingAge::text_data()
{
    QTest::addColumn<qint64>("ageMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("just now") << qint64(0) << "0.0 秒";
    QTest::newRow("tenths are cut, not rounded up") << qint64(4299) << "4.2 秒";
    QTest::newRow("last of the seconds") << qint64(59999) << "59.9 秒";
    QTest::newRow("a minute") << qint64(60000) << "1 分 0 秒";
    QTest::newRow("last of the minutes") << qint64(3599999) << "59 分 59 秒";
    QTest::newRow("an hour") << qint64(3600000) << "1 小时 0 分";
    QTest::newRow("a day and a bit") << qint64(25 * 3600000 + 7 * 60000 + 5000) << "25 小时 7 分";
}

void tst_ReadingAge::text()
{
    QFETCH(qint64, ageMs);
    QTEST(readingAgeText(ageMs), "text");
}

void tst_ReadingAge::old_data()
{
    QTest::addColumn<qint64>("ageMs");
    QTest::addColumn<int>("periodMs");
    QTest::addColumn<bool>("old");
    QTest::newRow("three periods exactly") << qint64(150) << 50 << false;
    QTest::newRow("just past three periods") << qint64(151) << 50 << true;
    QTest::newRow("slow polling") << qint64(20000) << 10000 << false;
    QTest::newRow("no period") << qint64(3600000) << 0 << false;
}

void tst_ReadingAge::old()
{
    QFETCH(qint64, ageMs);
    QFETCH(int, periodMs);
    QTEST(isReadingOld(ageMs, std::chrono::milliseconds(periodMs)), "old");
}

QTEST_GUILESS_MAIN(tst_ReadingAge)
#include "tst_reading_age.moc"
