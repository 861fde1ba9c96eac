#include "frames.h"
#include "protocol/kv9240b/sensor_reply.h"

#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

const QByteArray ReadTwoAtStation1 = bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x02});
const QByteArray ReadOneAtAnyStation = bytes({0xFA, 0x03, 0x00, 0x00, 0x00, 0x01});
const QByteArray WriteOffsetAtAnyStation = bytes({0xFA, 0x06, 0x0A, 0x00, 0x00, 0x96});

} // namespace

class tst_ReplyCheck : public QObject {
    Q_OBJECT

private slots:
    void verdicts_data();
    void verdicts();
    void anyStationBelongsToTheModel();
};

void tst_ReplyCheck::verdicts_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<int>("mismatch");
    QTest::addColumn<int>("trailing");

    const int ok = int(ReplyVerdict::Ok);
    const int unexpected = int(ReplyVerdict::Unexpected);
    const int none = int(Mismatch::None);
    const QByteArray twoRegisters = framed({0x01, 0x03, 0x04, 0x09, 0xC4, 0x17, 0x70});

    QTest::newRow("read answered") << ReadTwoAtStation1 << twoRegisters << ok << none << 0;
    QTest::newRow("bytes after a whole reply")
        << ReadTwoAtStation1 << twoRegisters + bytes({0x00, 0x7E}) << ok << none << 2;
    QTest::newRow("nothing") << ReadTwoAtStation1 << QByteArray() << int(ReplyVerdict::NoReply) << none << 0;
    QTest::newRow("cut short") << ReadTwoAtStation1 << twoRegisters.left(6) << int(ReplyVerdict::Partial) << none << 0;
    QByteArray corrupt = twoRegisters;
    corrupt[4] = 0x7F;
    QTest::newRow("bad CRC") << ReadTwoAtStation1 << corrupt << int(ReplyVerdict::BadCrc) << none << 0;
    QTest::newRow("exception") << ReadTwoAtStation1 << framed({0x01, 0x83, 0x02}) << int(ReplyVerdict::Exception)
                               << none << 0;
    QTest::newRow("another station") << ReadTwoAtStation1 << framed({0x09, 0x03, 0x04, 0x09, 0xC4, 0x17, 0x70})
                                     << unexpected << int(Mismatch::Station) << 0;
    QTest::newRow("another function") << ReadTwoAtStation1 << framed({0x01, 0x04, 0x04, 0x09, 0xC4, 0x17, 0x70})
                                      << unexpected << int(Mismatch::Function) << 0;
    // A late answer to a one-register read runs into the answer asked for.
    QTest::newRow("one register where two were asked")
        << ReadTwoAtStation1 << framed({0x01, 0x03, 0x02, 0x00, 0x07}) + twoRegisters << unexpected
        << int(Mismatch::Shape) << 9;
    QTest::newRow("count beyond what was asked")
        << ReadTwoAtStation1 << bytes({0x01, 0x03, 0x40, 0x09, 0xC4, 0x17, 0x70, 0x00, 0x00}) << unexpected
        << int(Mismatch::Shape) << 0;

    QTest::newRow("station 250 answered by 7")
        << ReadOneAtAnyStation << framed({0x07, 0x03, 0x02, 0x00, 0x07}) << ok << none << 0;
    QTest::newRow("station 250 answered as 250")
        << ReadOneAtAnyStation << framed({0xFA, 0x03, 0x02, 0x00, 0x07}) << ok << none << 0;
    QTest::newRow("station 250 answered by 0")
        << ReadOneAtAnyStation << framed({0x00, 0x03, 0x02, 0x00, 0x07}) << unexpected << int(Mismatch::Station) << 0;
    QTest::newRow("station 250 answered by 251")
        << ReadOneAtAnyStation << framed({0xFB, 0x03, 0x02, 0x00, 0x07}) << unexpected << int(Mismatch::Station) << 0;
    QTest::newRow("exception through station 250")
        << ReadOneAtAnyStation << framed({0x03, 0x83, 0x04}) << int(ReplyVerdict::Exception) << none << 0;

    QTest::newRow("write echoed") << WriteOffsetAtAnyStation << framed({0x01, 0x06, 0x0A, 0x00, 0x00, 0x96}) << ok
                                  << none << 0;
    QTest::newRow("echo of another register") << WriteOffsetAtAnyStation << framed({0x01, 0x06, 0x0A, 0x02, 0x00, 0x96})
                                              << unexpected << int(Mismatch::Shape) << 0;
    QTest::newRow("echo short of its CRC") << WriteOffsetAtAnyStation << bytes({0x01, 0x06, 0x0A, 0x00, 0x00, 0x96})
                                           << int(ReplyVerdict::Partial) << none << 0;
    QTest::newRow("read reply to a write") << WriteOffsetAtAnyStation << framed({0x01, 0x03, 0x02, 0x00, 0x96})
                                           << unexpected << int(Mismatch::Function) << 0;
}

void tst_ReplyCheck::verdicts()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(int, verdict);
    QFETCH(int, mismatch);
    QFETCH(int, trailing);
    const QByteArray frame = framed(request);
    const ReplyCheck check = checkReply(asBytes(frame), asBytes(reply));
    QCOMPARE(int(check.verdict), verdict);
    QCOMPARE(int(check.mismatch), mismatch);
    QCOMPARE(check.trailing, trailing);
    QCOMPARE(check.ok(), verdict == int(ReplyVerdict::Ok));
}

// The generic check knows no station that every device answers: station 250
// is this sensor's rule, and another model may have another station or none.
void tst_ReplyCheck::anyStationBelongsToTheModel()
{
    const QByteArray reply = framed({0x07, 0x03, 0x02, 0x00, 0x07});
    const QByteArray atStation250 = framed(ReadOneAtAnyStation);
    QCOMPARE(int(checkReply(asBytes(atStation250), asBytes(reply), std::nullopt).mismatch), int(Mismatch::Station));
    QVERIFY(checkReply(asBytes(atStation250), asBytes(reply), std::uint8_t{250}).ok());

    const QByteArray atStation247 = framed(bytes({0xF7, 0x03, 0x00, 0x00, 0x00, 0x01}));
    QVERIFY(checkReply(asBytes(atStation247), asBytes(reply), std::uint8_t{247}).ok());
    QCOMPARE(int(checkReply(asBytes(atStation247), asBytes(reply)).mismatch), int(Mismatch::Station));
}

QTEST_APPLESS_MAIN(tst_ReplyCheck)
#include "tst_reply_check.moc"
