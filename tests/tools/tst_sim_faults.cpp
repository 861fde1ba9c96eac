#include "fault_rules.h"
#include "frame.h"

#include <QTest>

using kv::sim::DrawnFaults;
using kv::sim::FaultKind;
using kv::sim::FaultRule;
using kv::sim::Frame;

Q_DECLARE_METATYPE(FaultKind)

class tst_SimFaults : public QObject {
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void damage_data();
    void damage();
    void wrongStation_data();
    void wrongStation();
    void certainAndImpossibleRules();
};

void tst_SimFaults::parsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<FaultKind>("kind");
    QTest::addColumn<double>("probability");
    QTest::addColumn<int>("delayMs");

    QTest::newRow("bad-crc") << "bad-crc:0.25" << true << FaultKind::BadCrc << 0.25 << 200;
    QTest::newRow("no-reply always") << "no-reply:1" << true << FaultKind::NoReply << 1.0 << 200;
    QTest::newRow("extra-bytes never") << "extra-bytes:0" << true << FaultKind::ExtraBytes << 0.0 << 200;
    QTest::newRow("delay with its default") << "delay:0.5" << true << FaultKind::Delay << 0.5 << 200;
    QTest::newRow("delay with its time") << "delay:0.5:750" << true << FaultKind::Delay << 0.5 << 750;
    QTest::newRow("wrong-station") << "wrong-station:0.1" << true << FaultKind::WrongStation << 0.1 << 200;
    QTest::newRow("wrong-transaction") << "wrong-transaction:1" << true << FaultKind::WrongTransaction << 1.0 << 200;
    QTest::newRow("disconnect") << "disconnect:0.5" << true << FaultKind::Disconnect << 0.5 << 200;
    QTest::newRow("time on wrong-station") << "wrong-station:0.1:5" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("unknown kind") << "garble:0.5" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("no probability") << "partial" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("probability above 1") << "exception:1.5" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("negative probability") << "exception:-0.1" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("probability not a number") << "bad-crc:nan" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("time on a kind without one") << "partial:0.5:100" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("time that is no number") << "delay:0.5:soon" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("to 250, once") << "bad-crc:1,to=250,times=1" << true << FaultKind::BadCrc << 1.0 << 200;
    QTest::newRow("unknown qualifier") << "bad-crc:1,twice" << false << FaultKind::NoReply << 0.0 << 0;
    QTest::newRow("no such station") << "bad-crc:1,to=251" << false << FaultKind::NoReply << 0.0 << 0;
}

void tst_SimFaults::parsing()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(FaultKind, kind);
    QFETCH(double, probability);
    QFETCH(int, delayMs);

    QString error;
    const std::optional<FaultRule> rule = kv::sim::parseFaultRule(text, error);
    QCOMPARE(rule.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!rule)
        return;
    QCOMPARE(rule->kind, kind);
    QCOMPARE(rule->probability, probability);
    QCOMPARE(rule->delay.count(), delayMs);
}

void tst_SimFaults::damage_data()
{
    QTest::addColumn<bool>("badCrc");
    QTest::addColumn<bool>("partial");
    QTest::addColumn<bool>("extraBytes");

    QTest::newRow("bad CRC") << true << false << false;
    QTest::newRow("partial") << false << true << false;
    QTest::newRow("extra bytes") << false << false << true;
}

void tst_SimFaults::damage()
{
    QFETCH(bool, badCrc);
    QFETCH(bool, partial);
    QFETCH(bool, extraBytes);

    const Frame reply = kv::sim::withCrc({0x01, 0x03, 0x04, 0x09, 0xC4, 0x17, 0x70});
    DrawnFaults faults;
    faults.badCrc = badCrc;
    faults.partial = partial;
    faults.extraBytes = extraBytes;
    // Many seeds, since where the damage falls is drawn.
    for (quint32 seed = 0; seed < 200; ++seed) {
        QRandomGenerator random(seed);
        Frame damaged = reply;
        QCOMPARE(kv::sim::damageReply(damaged, faults, random).size(), 1);
        if (badCrc) {
            QCOMPARE(damaged.size(), reply.size());
            QVERIFY(std::equal(reply.begin(), reply.end() - 2, damaged.begin()));
            QVERIFY(!kv::sim::hasIntactCrc(damaged));
        }
        if (partial) {
            QVERIFY(!damaged.empty() && damaged.size() < reply.size());
            QVERIFY(std::equal(damaged.begin(), damaged.end(), reply.begin()));
        }
        if (extraBytes) {
            QVERIFY(damaged.size() > reply.size() && damaged.size() <= reply.size() + 4);
            QVERIFY(std::equal(reply.begin(), reply.end(), damaged.begin()));
        }
    }
}

void tst_SimFaults::wrongStation_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("alsoBadCrc");
    QTest::addColumn<QString>("arrives");

    QTest::newRow("station 1 becomes 2") << "01 03 02 09 C4" << false << "02 03 02 09 C4";
    QTest::newRow("station 246 becomes 247") << "F6 06 0A 00 00 96" << false << "F7 06 0A 00 00 96";
    QTest::newRow("station 247 wraps to 1") << "F7 03 02 09 C4" << false << "01 03 02 09 C4";
    QTest::newRow("the shared station's own 250 wraps to 1") << "FA 83 02" << false << "01 83 02";
    QTest::newRow("with a bad CRC on top") << "01 03 02 09 C4" << true << "02 03 02 09 C4";
}

void tst_SimFaults::wrongStation()
{
    QFETCH(QString, reply);
    QFETCH(bool, alsoBadCrc);
    QFETCH(QString, arrives);

    const auto framed = [](const QString& hex) {
        const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
        return kv::sim::withCrc(Frame(bytes.begin(), bytes.end()));
    };
    Frame damaged = framed(reply);
    DrawnFaults faults;
    faults.wrongStation = true;
    faults.badCrc = alsoBadCrc;
    QRandomGenerator random(3);
    const QStringList changes = kv::sim::damageReply(damaged, faults, random);

    QCOMPARE(changes.value(0), QStringLiteral("wrong-station %1 for %2").arg(framed(arrives)[0]).arg(framed(reply)[0]));
    const Frame expected = framed(arrives);
    // Everything but the station (and the CRC to match) arrives as sent.
    QVERIFY(std::equal(expected.begin(), expected.end() - 2, damaged.begin()));
    QCOMPARE(kv::sim::hasIntactCrc(damaged), !alsoBadCrc);
}

void tst_SimFaults::certainAndImpossibleRules()
{
    std::vector<FaultRule> rules{
        {FaultKind::NoReply, 1.0, {}, {}, {}},
        {FaultKind::BadCrc, 0.0, {}, {}, {}},
        {FaultKind::Delay, 1.0, std::chrono::milliseconds(30), {}, {}},
        {FaultKind::Delay, 1.0, std::chrono::milliseconds(40), {}, {}},
    };
    QRandomGenerator random(7);
    for (int draw = 0; draw < 100; ++draw) {
        const DrawnFaults faults = kv::sim::drawFaults(rules, 1, random);
        QVERIFY(faults.noReply);
        QVERIFY(!faults.badCrc);
        QCOMPARE(faults.delay.count(), 70); // delays add up
    }
}

QTEST_APPLESS_MAIN(tst_SimFaults)
#include "tst_sim_faults.moc"
