#include "protocol/kv9240b/setting_value.h"

#include <QLocale>
#include <QTest>

#include <cmath>

using kv::settingValue;

class tst_SettingValue : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void registerValues_data();
    void registerValues();
    void refusals_data();
    void refusals();
    void singlePrecisionFromTheText();
};

void tst_SettingValue::registerValues_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("1.5") << 0 << "1.5" << 150;
    QTest::newRow("-1.5") << 0 << "-1.5" << 0xFF6A;
    QTest::newRow("upper end") << 1 << "10" << 1000;
    QTest::newRow("lower end") << 1 << "-10" << 0xFC18;
    QTest::newRow("10.0000001 is 10 in single precision") << 0 << "10.0000001" << 1000;
    QTest::newRow("12.5 to even") << 0 << "0.125" << 12;
    QTest::newRow("37.5 to even") << 0 << "0.375" << 38;
    QTest::newRow("0.015 scales to 1.5") << 0 << "0.015" << 2;
    QTest::newRow("2.675 scales to 267.5") << 0 << "2.675" << 268;
    QTest::newRow("-0.006") << 0 << "-0.006" << 0xFFFF;
    QTest::newRow("just below zero is zero") << 0 << "-0.004" << 0;
    QTest::newRow("baud 9600.0") << 2 << "9600.0" << 9600;
    QTest::newRow("baud 9.6e3") << 2 << " 9.6e3 " << 9600;
    QTest::newRow("baud 19200") << 2 << "19200" << 19200;
    QTest::newRow("no range test on row 3") << 3 << "8" << 8;
    QTest::newRow("row 5 below its note") << 5 << "20" << 20;
    QTest::newRow("row 4 highest") << 4 << "65535" << 65535;
    QTest::newRow("row 4 lowest") << 4 << "-32768" << 0x8000;
    QTest::newRow("row 5 tiny negative") << 5 << "-0.3" << 0;
}

void tst_SettingValue::registerValues()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(int, value);
    const kv::SettingValue setting = settingValue(index, text);
    QVERIFY2(setting.registerValue.has_value(), qPrintable(setting.problem));
    QCOMPARE(int(*setting.registerValue), value);
}

void tst_SettingValue::refusals_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString notANumber = QStringLiteral("你输入的值有误，请输入0-9的数据，不能含字母！");
    const QString calibration = QStringLiteral("你输入的值有误，正确的值范围为-10到10!");
    const QString baud = QStringLiteral("你输入的值有误，正确的值范围为2400,4800,9600或19200!");
    const QString wide = QStringLiteral("你输入的值有误，正确的值范围为-32768到65535!");
    QTest::newRow("empty") << 0 << "" << notANumber;
    QTest::newRow("12a") << 5 << "12a" << notANumber;
    QTest::newRow("letters win over the baud test") << 2 << "abc" << notANumber;
    QTest::newRow("10.000001 exceeds 10") << 0 << "10.000001" << calibration;
    QTest::newRow("-10.5") << 1 << "-10.5" << calibration;
    QTest::newRow("2401") << 2 << "2401" << baud;
    QTest::newRow("1200") << 2 << "1200" << baud;
    QTest::newRow("9600.5") << 2 << "9600.5" << baud;
    QTest::newRow("65536") << 3 << "65535.6" << wide;
    QTest::newRow("-32769") << 4 << "-32768.6" << wide;
    QTest::newRow("huge") << 5 << "1e9" << wide;
    // Numbers all the same, though beyond single precision: the row's range.
    QTest::newRow("1e39, calibration") << 0 << "1e39" << calibration;
    QTest::newRow("-1e39, calibration") << 1 << "-1e39" << calibration;
    QTest::newRow("1e-50, calibration") << 0 << "1e-50" << calibration;
    QTest::newRow("1e39, baud rate") << 2 << "1e39" << baud;
    QTest::newRow("1e-50, baud rate") << 2 << "1e-50" << baud;
    QTest::newRow("1e39, row 6") << 3 << "1e39" << wide;
    QTest::newRow("-1e39, row 7") << 4 << "-1e39" << wide;
    QTest::newRow("1e-50, row 8") << 5 << "1e-50" << wide;
}

void tst_SettingValue::refusals()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const kv::SettingValue setting = settingValue(index, text);
    QVERIFY(!setting.registerValue);
    QCOMPARE(setting.problem, message);
}

void tst_SettingValue::singlePrecisionFromTheText()
{
    // Just above halfway between 1 and the next float: read directly it rounds
    // up; read through double it lands on the halfway point and ties to 1.
    QCOMPARE(kv::readSingle(QStringLiteral("1.0000000596046447755")), std::optional<float>(std::nextafter(1.0f, 2.0f)));
    QCOMPARE(kv::readSingle(QStringLiteral("10.0000001")), std::optional<float>(10.0f));
    QVERIFY(*kv::readSingle(QStringLiteral("10.000001")) > 10.0f);
    QCOMPARE(kv::readSingle(QStringLiteral("+1e+3")), std::optional<float>(1000.0f));
    QCOMPARE(kv::readSingle(QStringLiteral("1e-2")), std::optional<float>(0.01f));
    QVERIFY(!kv::readSingle(QStringLiteral("1e39")).has_value()); // beyond single precision
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::optional<float> german = kv::readSingle(QStringLiteral("-1,5"));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(german, std::optional<float>(-1.5f));
}

QTEST_APPLESS_MAIN(tst_SettingValue)
#include "tst_setting_value.moc"
