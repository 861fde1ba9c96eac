#include "station_list.h"

#include <QTest>

using Stations = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(Stations)

class tst_SimStationList : public QObject {
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
};

void tst_SimStationList::parsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<Stations>("stations");

    QTest::newRow("one") << "1" << true << Stations{1};
    QTest::newRow("in the order given") << "7,2,1" << true << Stations{7, 2, 1};
    QTest::newRow("the limits") << "1,250" << true << Stations{1, 250};
    QTest::newRow("blanks around the numbers") << " 3 , 4" << true << Stations{3, 4};
    QTest::newRow("empty") << "" << false << Stations{};
    QTest::newRow("station 0") << "0" << false << Stations{};
    QTest::newRow("station 251") << "1,251" << false << Stations{};
    QTest::newRow("a repeat") << "1,2,1" << false << Stations{};
    QTest::newRow("an empty item") << "1,,2" << false << Stations{};
    QTest::newRow("a trailing comma") << "1,2," << false << Stations{};
    QTest::newRow("a range") << "1-3" << false << Stations{};
    QTest::newRow("no number") << "one" << false << Stations{};
    QTest::newRow("a fraction") << "1.5" << false << Stations{};
}

void tst_SimStationList::parsing()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(Stations, stations);

    QString error;
    const std::optional<Stations> parsed = kv::sim::parseStationList(text, error);
    QCOMPARE(parsed.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (parsed)
        QCOMPARE(*parsed, stations);
}

QTEST_APPLESS_MAIN(tst_SimStationList)
#include "tst_sim_station_list.moc"
