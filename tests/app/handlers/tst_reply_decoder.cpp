#include "frames.h"
#include "app/exchange_state.h"
#include "app/handlers/reply_decoder.h"
#include "protocol/measurement.h"

#include <QLocale>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

QStringList textsByRow(const DecodedReply& reply)
{
    QStringList rows(5, QStringLiteral("-"));
    for (const DecodedReply::Value& value : reply.values)
        rows[value.row] = value.text;
    return rows;
}

DecodedReply measurement(const QByteArray& reply, const QString& start = QStringLiteral("0"))
{
    return decodeReply(asBytes(reply), RequestKind::Measurement, start);
}

} // namespace

class tst_ReplyDecoder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void defaultReply();
    void signedRows_data();
    void signedRows();
    void startAddressPicksTheRows_data();
    void startAddressPicksTheRows();
    void addressReplies();
    void untrustworthyMeasurementReplies_data();
    void untrustworthyMeasurementReplies();
    void nothingToDecodeBeforeTheFirstRequest();
    void hundredths();
};

void tst_ReplyDecoder::defaultReply()
{
    const QByteArray reply = bytes({0x02, 0x03, 0x10, 0x09, 0xC4, 0x17, 0x70, 0x00, 0x00, 0x00, 0x00, 0x25,
                                    0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x49, 0xD0});
    QCOMPARE(reply.size(), 21);
    const DecodedReply decoded = measurement(reply);
    QVERIFY(decoded.sound);
    QCOMPARE(textsByRow(decoded), QStringList({"25.00", "60.00", "0.00", "0.00", "9600"}));
    QCOMPARE(decoded.blackened, std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7}));
    QVERIFY(!decoded.address);
}

void tst_ReplyDecoder::signedRows_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("below zero") << bytes({0x02, 0x03, 0x04, 0xFF, 0x38, 0x80, 0x01, 0xD8, 0xEA}) << "0"
                                << QStringList{"-2.00", "-327.67", "-", "-", "-"};
    QTest::newRow("temperature turns at 20000") << readReply({20000, 32768}) << "0"
                                                << QStringList{"200.00", "327.68", "-", "-", "-"};
    QTest::newRow("just past the turn") << readReply({20001, 32769}) << "0"
                                        << QStringList{"-455.35", "-327.67", "-", "-", "-"};
    QTest::newRow("no value is zero") << readReply({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}) << "0"
                                      << QStringList{"0.00", "0.00", "0.00", "0.00", "0"};
    QTest::newRow("calibrations and baud rate") << readReply({65386, 150, 19200}) << "2"
                                                << QStringList{"-", "-", "-1.50", "1.50", "19200"};
}

void tst_ReplyDecoder::signedRows()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, start);
    QFETCH(QStringList, rows);
    QCOMPARE(textsByRow(measurement(reply, start)), rows);
}

void tst_ReplyDecoder::startAddressPicksTheRows_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("0") << "0" << QStringList{"0.01", "0.02", "0.03", "-", "-"};
    QTest::newRow("1 starts at row 0 too") << "1" << QStringList{"0.01", "0.02", "0.03", "-", "-"};
    QTest::newRow("2") << "2" << QStringList{"-", "-", "0.01", "0.02", "3"};
    QTest::newRow("3 leaves one value in a row") << "3" << QStringList{"-", "-", "-", "-", "1"};
    QTest::newRow("not a number") << "x" << QStringList{"0.01", "0.02", "0.03", "-", "-"};
    QTest::newRow("far beyond the rows") << "1e300" << QStringList{"-", "-", "-", "-", "-"};
}

void tst_ReplyDecoder::startAddressPicksTheRows()
{
    QFETCH(QString, start);
    QFETCH(QStringList, rows);
    const DecodedReply decoded = measurement(readReply({1, 2, 3}), start);
    QCOMPARE(textsByRow(decoded), rows);
    // The colour follows the value's position in the reply, not its row.
    QCOMPARE(decoded.blackened, std::vector<int>({0, 1, 2}));
}

void tst_ReplyDecoder::addressReplies()
{
    const QByteArray readAnswer = bytes({0x05, 0x03, 0x02, 0x00, 0x05, 0x88});
    QCOMPARE(decodeReply(asBytes(readAnswer), RequestKind::AddressRead, {}).address, 5);
    const QByteArray changeAnswer = bytes({0x01, 0x06, 0x0B, 0x07, 0x00, 0x07});
    QCOMPARE(decodeReply(asBytes(changeAnswer), RequestKind::AddressChange, {}).address, 7);
    QVERIFY(!decodeReply(asBytes(bytes({0x01, 0x06, 0x0B})), RequestKind::AddressChange, {}).address);
    QVERIFY(decodeReply(asBytes(readAnswer), RequestKind::AddressRead, {}).values.empty());
}

void tst_ReplyDecoder::untrustworthyMeasurementReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QByteArray corrupt = readReply({2500, 6000});
    corrupt[4] = 0x7F;
    QTest::newRow("bad CRC") << corrupt;
    QTest::newRow("exception reply") << bytes({0x02, 0x83, 0x02, 0xC0, 0xF1});
    QTest::newRow("short") << readReply({2500, 6000}).left(8);
    QTest::newRow("count beyond the bytes") << bytes({0x02, 0x03, 0xFF, 0x09, 0xC4, 0x17, 0x70, 0x00, 0x00});
    QByteArray odd = bytes({0x02, 0x03, 0x03, 0x09, 0xC4, 0x17});
    const std::uint16_t crc = crc16Modbus(asBytes(odd));
    QTest::newRow("odd count with good CRC") << odd + bytes({crc & 0xFF, crc >> 8});
    QTest::newRow("zero count") << readReply({});
    QTest::newRow("three bytes") << bytes({0x02, 0x03, 0x10});
}

void tst_ReplyDecoder::untrustworthyMeasurementReplies()
{
    QFETCH(QByteArray, reply);
    const DecodedReply decoded = measurement(reply);
    QVERIFY(!decoded.sound);
    QVERIFY(decoded.values.empty());
    QVERIFY(decoded.blackened.empty());
}

void tst_ReplyDecoder::nothingToDecodeBeforeTheFirstRequest()
{
    const DecodedReply decoded = decodeReply(asBytes(bytes({0x41})), RequestKind::None, QStringLiteral("0"));
    QVERIFY(decoded.sound);
    QVERIFY(decoded.values.empty());
    QVERIFY(!decoded.address);
}

void tst_ReplyDecoder::hundredths()
{
    QCOMPARE(hundredthsText(2534), QStringLiteral("25.34"));
    QCOMPARE(hundredthsText(5), QStringLiteral("0.05"));
    QCOMPARE(hundredthsText(-5), QStringLiteral("-0.05"));
    QCOMPARE(hundredthsText(-150), QStringLiteral("-1.50"));
    QCOMPARE(hundredthsText(0), QStringLiteral("0.00"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString german = hundredthsText(2534);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(german, QStringLiteral("25,34"));
}

QTEST_APPLESS_MAIN(tst_ReplyDecoder)
#include "tst_reply_decoder.moc"
