#include "protocol/kv9240b/number_text.h"

#include <QLocale>
#include <QTest>

using kv::readNumber;

class tst_NumberText : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void numbers_data();
    void numbers();
    void notNumbers_data();
    void notNumbers();
    void userDecimalComma();
    void wholePart_data();
    void wholePart();
    void nearestEven_data();
    void nearestEven();
};

void tst_NumberText::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "8" << 8.0;
    QTest::newRow("plus sign") << "+5" << 5.0;
    QTest::newRow("minus sign") << "-1" << -1.0;
    QTest::newRow("fraction") << "8.9" << 8.9;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("trailing point") << "3." << 3.0;
    QTest::newRow("exponent") << "9.6e3" << 9600.0;
    QTest::newRow("upper-case exponent with sign") << "1E-2" << 0.01;
    QTest::newRow("blanks around") << "  42 " << 42.0;
    QTest::newRow("tab around") << "\t7\t" << 7.0;
}

void tst_NumberText::numbers()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    const auto read = readNumber(text);
    QVERIFY(read.has_value());
    QCOMPARE(*read, value);
    QVERIFY(kv::isNumber(text));
}

void tst_NumberText::notNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("letters") << "abc";
    QTest::newRow("trailing letter") << "12a";
    QTest::newRow("blank inside") << "1 2";
    QTest::newRow("two signs") << "--1";
    QTest::newRow("sign alone") << "-";
    QTest::newRow("point alone") << ".";
    QTest::newRow("exponent without digits") << "1e";
    QTest::newRow("hexadecimal") << "0x10";
    QTest::newRow("group separator") << "1,000";
    QTest::newRow("infinity") << "inf";
    QTest::newRow("not a number") << "nan";
    QTest::newRow("too large for a double") << "1e400";
}

void tst_NumberText::notNumbers()
{
    QFETCH(QString, text);
    QVERIFY(!readNumber(text).has_value());
}

void tst_NumberText::userDecimalComma()
{
    // The user's own number format decides the decimal mark.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto read = readNumber(QStringLiteral("2,5"));
    QLocale::setDefault(QLocale::c());
    QVERIFY(read.has_value());
    QCOMPARE(*read, 2.5);
}

void tst_NumberText::wholePart_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("whole");
    QTest::newRow("positive fraction") << 8.9 << 8.0;
    QTest::newRow("negative half") << -0.5 << -1.0;
    QTest::newRow("negative fraction") << -2.1 << -3.0;
    QTest::newRow("integer") << 3.0 << 3.0;
}

void tst_NumberText::wholePart()
{
    QFETCH(double, value);
    QFETCH(double, whole);
    QCOMPARE(kv::wholePart(value), whole);
}

void tst_NumberText::nearestEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("2.5 to 2") << 2.5 << 2.0;
    QTest::newRow("3.5 to 4") << 3.5 << 4.0;
    QTest::newRow("-2.5 to -2") << -2.5 << -2.0;
    QTest::newRow("12.5 to 12") << 12.5 << 12.0;
    QTest::newRow("37.5 to 38") << 37.5 << 38.0;
    QTest::newRow("2.6 to 3") << 2.6 << 3.0;
    QTest::newRow("60000.7 to 60001") << 60000.7 << 60001.0;
}

void tst_NumberText::nearestEven()
{
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(kv::roundHalfEven(value), rounded);
}

QTEST_APPLESS_MAIN(tst_NumberText)
#include "tst_number_text.moc"
