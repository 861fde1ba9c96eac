#include "app/exchange_state.h"
#include "app/handlers/reply_decoder.h"
#include "frames.h"
#include "protocol/kv9240b/measurement.h"
#include "protocol/kv9240b/request_frames.h"
#include "protocol/kv9240b/sensor_reply.h"

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

// The query the reply answers: from station 2, function 3, as many registers
// as the reply carries.
QByteArray queryFor(const QByteArray& reply)
{
    return framed({0x02, 0x03, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(reply.at(2)) / 2});
}

DecodedReply measurement(const QByteArray& reply, const QString& start = QStringLiteral("0"))
{
    const QByteArray query = queryFor(reply);
    return decodeReply(
        asBytes(reply), checkReply(asBytes(query), asBytes(reply)), RequestKind::Measurement, asBytes(query), start);
}

DecodedReply answerTo(const QByteArray& request, const QByteArray& reply, int kind)
{
    const QByteArray frame = framed(request);
    return decodeReply(asBytes(reply), checkReply(asBytes(frame), asBytes(reply)), kind, asBytes(frame), {});
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
    void addressReplies_data();
    void addressReplies();
    void untrustworthyMeasurementReplies_data();
    void untrustworthyMeasurementReplies();
    void countMustMatchAnyFunctionAsked();
    void nothingToDecodeBeforeTheFirstRequest();
    void hundredths();
};

void tst_ReplyDecoder::defaultReply()
{
    const QByteArray reply = bytes({0x02, 0x03, 0x10, 0x09, 0xC4, 0x17, 0x70, 0x00, 0x00, 0x00, 0x00, 0x25, 0x80, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x49, 0xD0});
    QCOMPARE(reply.size(), 21);
    const DecodedReply decoded = measurement(reply);
    QVERIFY(decoded.accepted());
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
    QTest::newRow("temperature turns at 20000")
        << readReply({20000, 32768}) << "0" << QStringList{"200.00", "327.68", "-", "-", "-"};
    QTest::newRow("just past the turn") << readReply({20001, 32769}) << "0"
                                        << QStringList{"-455.35", "-327.67", "-", "-", "-"};
    QTest::newRow("no value is zero") << readReply({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}) << "0"
                                      << QStringList{"0.00", "0.00", "0.00", "0.00", "0"};
    QTest::newRow("calibrations and baud rate")
        << readReply({65386, 150, 19200}) << "2" << QStringList{"-", "-", "-1.50", "1.50", "19200"};
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

void tst_ReplyDecoder::addressReplies_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("address"); // 0: refused
    const QByteArray read = bytes({0xFA, 0x03, 0x00, 0x00, 0x00, 0x01});
    const QByteArray write = bytes({0xFA, 0x06, 0x0A, 0x00, 0x00, 0x96});
    const QByteArray change = bytes({0x01, 0x06, 0x0B, 0x00, 0x00, 0x07});
    const int readKind = RequestKind::AddressRead;
    QTest::newRow("read, station 5") << read << readKind << framed({0x05, 0x03, 0x02, 0x00, 0x05}) << 5;
    QTest::newRow("read, answered as 250") << read << readKind << framed({0xFA, 0x03, 0x02, 0x00, 0x05}) << 250;
    QTest::newRow("read, station 0") << read << readKind << framed({0x00, 0x03, 0x02, 0x00, 0x05}) << 0;
    QTest::newRow("read, cut short") << read << readKind << framed({0x05, 0x03, 0x02, 0x00, 0x05}).left(6) << 0;
    QTest::newRow("read, exception") << read << readKind << framed({0x05, 0x83, 0x02}) << 0;
    QTest::newRow("write echo, CRC of another station")
        << write << int(RequestKind::ParameterWrite) << framed(write).replace(0, 1, "\x03") << 0;
    QTest::newRow("write echo from 3") << write << int(RequestKind::ParameterWrite)
                                       << framed({0x03, 0x06, 0x0A, 0x00, 0x00, 0x96}) << 3;
    QTest::newRow("change echoed: the new address") << change << int(RequestKind::AddressChange) << framed(change) << 7;
    QTest::newRow("change echo naming address 0")
        << change << int(RequestKind::AddressChange) << framed({0x01, 0x06, 0x0B, 0x00, 0x00, 0x00}) << 0;
}

void tst_ReplyDecoder::addressReplies()
{
    QFETCH(QByteArray, request);
    QFETCH(int, kind);
    QFETCH(QByteArray, reply);
    QFETCH(int, address);
    const DecodedReply decoded = answerTo(request, reply, kind);
    QCOMPARE(decoded.accepted(), address != 0);
    QCOMPARE(decoded.address, address != 0 ? std::optional<int>(address) : std::nullopt);
    QVERIFY(decoded.values.empty());
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
    QTest::newRow("odd count with good CRC") << framed({0x02, 0x03, 0x03, 0x09, 0xC4, 0x17});
    QTest::newRow("zero count") << readReply({});
    QTest::newRow("three bytes") << bytes({0x02, 0x03, 0x10});
    QTest::newRow("another station") << readReply({2500, 6000}, 9);
    QTest::newRow("another function") << framed({0x02, 0x04, 0x04, 0x09, 0xC4, 0x17, 0x70});
    QTest::newRow("one register of two") << readReply({7}) + readReply({2500, 6000});
}

void tst_ReplyDecoder::untrustworthyMeasurementReplies()
{
    QFETCH(QByteArray, reply);
    // The query asks station 2 for two registers.
    const QByteArray query = framed({0x02, 0x03, 0x00, 0x00, 0x00, 0x02});
    const DecodedReply decoded = decodeReply(asBytes(reply), checkReply(asBytes(query), asBytes(reply)),
        RequestKind::Measurement, asBytes(query), QStringLiteral("0"));
    QCOMPARE(decoded.verdict, DecodedReply::Verdict::Refused);
    QVERIFY(decoded.values.empty());
    QVERIFY(decoded.blackened.empty());
}

void tst_ReplyDecoder::countMustMatchAnyFunctionAsked()
{
    // Function 1 reads bits: a one-byte answer is whole, but not the five
    // registers the window decodes.
    const DecodedReply decoded = answerTo(
        bytes({0x02, 0x01, 0x00, 0x00, 0x00, 0x05}), framed({0x02, 0x01, 0x01, 0x1F}), RequestKind::Measurement);
    QVERIFY(!decoded.accepted());
    // Bytes after a whole answer do not matter.
    QVERIFY(measurement(readReply({2500}) + bytes({0x00, 0x00})).accepted());
}

void tst_ReplyDecoder::nothingToDecodeBeforeTheFirstRequest()
{
    const DecodedReply decoded = decodeReply(asBytes(bytes({0x41})), {}, RequestKind::None, {}, QStringLiteral("0"));
    QCOMPARE(decoded.verdict, DecodedReply::Verdict::NoRequest);
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
