// Modbus TCP frames: the request built from an RTU request, and a reply judged
// against it with the verdicts an RTU reply gets.
#include "frames.h"
#include "protocol/kv9240b/sensor_reply.h"
#include "protocol/modbus/mbap.h"

#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

// Station 1, read registers 0 and 1, as sent through a Modbus TCP gateway as transaction 0x1234.
const QByteArray ReadTwo = mbapRequest(asBytes(framed({0x01, 0x03, 0x00, 0x00, 0x00, 0x02})), 0x1234);
const QByteArray ReadOneAtAnyStation = mbapRequest(asBytes(framed({0xFA, 0x03, 0x00, 0x00, 0x00, 0x01})), 7);

// A reply with the given transaction, protocol and length fields, then unit id and PDU.
QByteArray reply(int transaction, int protocol, int length, const QByteArray& unitAndPdu)
{
    return bytes({transaction >> 8, transaction & 0xFF, protocol >> 8, protocol & 0xFF, length >> 8, length & 0xFF})
        + unitAndPdu;
}

QByteArray answer(int transaction, const QByteArray& unitAndPdu)
{
    return reply(transaction, 0, static_cast<int>(unitAndPdu.size()), unitAndPdu);
}

const QByteArray TwoRegisters = bytes({0x01, 0x03, 0x04, 0x09, 0xC4, 0x17, 0x70});

} // namespace

class tst_Mbap : public QObject {
    Q_OBJECT

private slots:
    void requestCarriesStationAndPduWithoutCrc();
    void verdicts_data();
    void verdicts();
};

void tst_Mbap::requestCarriesStationAndPduWithoutCrc()
{
    QCOMPARE(ReadTwo, bytes({0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x02}));
    QCOMPARE(mbapRequest(asBytes(framed({0x05, 0x06, 0x0A, 0x04, 0x25, 0x80})), 0xFFFF),
        bytes({0xFF, 0xFF, 0x00, 0x00, 0x00, 0x06, 0x05, 0x06, 0x0A, 0x04, 0x25, 0x80}));
    QVERIFY(mbapRequest(asBytes(bytes({0x01, 0x03})), 1).isEmpty());
}

void tst_Mbap::verdicts_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<int>("mismatch");
    QTest::addColumn<int>("exceptionCode");
    QTest::addColumn<int>("expected");

    const int ok = int(ReplyVerdict::Ok);
    const int partial = int(ReplyVerdict::Partial);
    const int unexpected = int(ReplyVerdict::Unexpected);
    const int exception = int(ReplyVerdict::Exception);
    const int none = int(Mismatch::None);
    const QByteArray whole = answer(0x1234, TwoRegisters);

    QTest::newRow("read answered") << ReadTwo << whole << ok << none << 0 << 13;
    QTest::newRow("nothing") << ReadTwo << QByteArray() << int(ReplyVerdict::NoReply) << none << 0 << 13;
    QTest::newRow("header cut short") << ReadTwo << whole.left(5) << partial << none << 0 << 13;
    QTest::newRow("PDU cut short") << ReadTwo << whole.left(11) << partial << none << 0 << 13;
    QTest::newRow("another transaction") << ReadTwo << answer(0x1235, TwoRegisters) << unexpected
                                         << int(Mismatch::Transaction) << 0 << 13;
    QTest::newRow("another protocol") << ReadTwo << reply(0x1234, 1, 7, TwoRegisters) << unexpected
                                      << int(Mismatch::Transaction) << 0 << 13;
    QTest::newRow("another unit") << ReadTwo << answer(0x1234, bytes({0x02, 0x03, 0x04, 0x09, 0xC4, 0x17, 0x70}))
                                  << unexpected << int(Mismatch::Station) << 0 << 13;
    QTest::newRow("length field beyond any answer")
        << ReadTwo << reply(0x1234, 0, 40, TwoRegisters) << unexpected << int(Mismatch::Shape) << 0 << 13;
    QTest::newRow("length field under the PDU's own")
        << ReadTwo << reply(0x1234, 0, 5, TwoRegisters.left(5)) << unexpected << int(Mismatch::Shape) << 0 << 13;
    QTest::newRow("one register where two were asked")
        << ReadTwo << answer(0x1234, bytes({0x01, 0x03, 0x02, 0x00, 0x07})) << unexpected << int(Mismatch::Shape) << 0
        << 13;
    QTest::newRow("another function") << ReadTwo << answer(0x1234, bytes({0x01, 0x04, 0x04, 0x09, 0xC4, 0x17, 0x70}))
                                      << unexpected << int(Mismatch::Function) << 0 << 13;
    QTest::newRow("device exception") << ReadTwo << answer(0x1234, bytes({0x01, 0x83, 0x02})) << exception << none
                                      << 0x02 << 9;
    QTest::newRow("gateway path unavailable")
        << ReadTwo << answer(0x1234, bytes({0x01, 0x83, 0x0A})) << exception << none << 0x0A << 9;
    QTest::newRow("gateway target failed to respond")
        << ReadTwo << answer(0x1234, bytes({0x01, 0x83, 0x0B})) << exception << none << 0x0B << 9;
    QTest::newRow("station 250 answered by 7")
        << ReadOneAtAnyStation << answer(7, bytes({0x07, 0x03, 0x02, 0x00, 0x07})) << ok << none << 0 << 11;
}

void tst_Mbap::verdicts()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(int, verdict);
    QFETCH(int, mismatch);
    QFETCH(int, exceptionCode);
    QFETCH(int, expected);

    const ReplyCheck check = checkMbapReply(asBytes(request), asBytes(reply));
    QCOMPARE(int(check.verdict), verdict);
    QCOMPARE(int(check.mismatch), mismatch);
    QCOMPARE(int(check.exceptionCode), exceptionCode);
    QCOMPARE(check.expected, expected);
    if (check.whole)
        QCOMPARE(check.received + check.trailing, reply.size());
}

QTEST_GUILESS_MAIN(tst_Mbap)
#include "tst_mbap.moc"
