#include "protocol/modbus/hex_text.h"

#include <QRegularExpression>
#include <QTest>

#include <vector>

using kv::FormatHex;

class tst_HexText : public QObject {
    Q_OBJECT

private slots:
    void byteValues_data();
    void byteValues();
    void everyByteIsTwoUpperCaseDigits();
    void sentFrame();
    void receivedBytes();
};

void tst_HexText::byteValues_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "00";
    QTest::newRow("10") << 10 << "0A";
    QTest::newRow("15") << 15 << "0F";
    QTest::newRow("16") << 16 << "10";
    QTest::newRow("171") << 171 << "AB";
    QTest::newRow("255") << 255 << "FF";
}

void tst_HexText::byteValues()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(FormatHex(static_cast<std::uint8_t>(value)), text);
}

void tst_HexText::everyByteIsTwoUpperCaseDigits()
{
    const QRegularExpression pair(QStringLiteral("^[0-9A-F]{2}$"));
    for (int value = 0; value <= 255; ++value) {
        const QString text = FormatHex(static_cast<std::uint8_t>(value));
        QVERIFY2(pair.match(text).hasMatch(), qPrintable(text));
        QCOMPARE(text.toInt(nullptr, 16), value);
    }
}

void tst_HexText::sentFrame()
{
    const std::vector<std::uint8_t> query{0x02, 0x03, 0x00, 0x00, 0x00, 0x08, 0x44, 0x3F};
    QCOMPARE(kv::sentFrameText(query), QStringLiteral("02 03 00 00 00 08 44 3F "));

    const std::vector<std::uint8_t> change{0x01, 0x06, 0x0B, 0x00, 0x00, 0x02, 0x0A, 0x2F};
    const QString text = kv::sentFrameText(change);
    QCOMPARE(text, QStringLiteral("01 06 0B 00 00 02 0A 2F "));
    QCOMPARE(text.size(), 24);
}

void tst_HexText::receivedBytes()
{
    const std::vector<std::uint8_t> reply{0x02, 0x03, 0x02, 0x00, 0xFA};
    QCOMPARE(kv::receivedFrameText(reply), QStringLiteral(" 02 03 02 00 FA"));
    QCOMPARE(kv::receivedFrameText(reply).size(), 15);
    QCOMPARE(kv::receivedFrameText({}), QString());
    QCOMPARE(kv::sentFrameText({}), QString());
}

QTEST_APPLESS_MAIN(tst_HexText)
#include "tst_hex_text.moc"
