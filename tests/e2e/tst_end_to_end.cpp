#include "app/main_window.h"
#include "app/pick_list.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "serial/comm_port.h"
#include "sim_process.h"

#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

// The real window with COM1 on the simulated sensor.
struct Bench {
    explicit Bench(const QStringList& simArguments = {})
        : sim(simArguments)
        , com1(1, sim.devicePath())
    {
        window.load();
    }

    void click(QStringView button, int index = -1)
    {
        emit window.controls().get<QPushButton>(button, index)->clicked();
    }
    QString text(QStringView name, int index = -1) const { return window.controls().text(name, index); }
    void type(QStringView name, int index, const QString& text) { window.form().controls.setText(name, index, text); }

    MessageRecorder messages;
    SimProcess sim;
    PortWiring com1;
    frmMain window;
};

} // namespace

class tst_EndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void singleShot();
    void pollingKeepsBothCountersTogether();
    void corruptRepliesAreNotCountedAsReceived();
    void calibrationsChangeTheNextMeasurement();
    void everyWriteArrivesWhilePollingFast();
    void addressRead();
    void baudRateChangeOnBothSides();
    void faults_data();
    void faults();
};

void tst_EndToEnd::singleShot()
{
    Bench bench;
    QVERIFY(bench.sim.isRunning());
    QVERIFY(bench.window.serialPort().portOpen());

    bench.click(u"comDoOnce");

    QTRY_COMPARE(bench.text(u"txtValue", 0), QStringLiteral("25.00"));
    QCOMPARE(bench.text(u"txtValue", 1), QStringLiteral("60.00"));
    QCOMPARE(bench.text(u"txtValue", 4), QStringLiteral("9600"));
    QCOMPARE(bench.text(u"lblErrCounter"), QStringLiteral("1"));
    QCOMPARE(bench.window.frontLamp(), Lamp::Connected);
    QCOMPARE(bench.text(u"txtState").size(), 15 * 3);
    QVERIFY(bench.messages.shown.isEmpty());
}

void tst_EndToEnd::pollingKeepsBothCountersTogether()
{
    Bench bench({QStringLiteral("--drift")});
    bench.type(u"txtTimerSet", -1, QStringLiteral("50"));

    bench.click(u"cmdOneM");
    QTRY_VERIFY_WITH_TIMEOUT(bench.text(u"lblCounter").toInt() >= 8, 5000);
    bench.click(u"cmdStopOnce");

    // Every request was answered: the reception counter catches up with it.
    QTRY_COMPARE(bench.text(u"lblErrCounter"), bench.text(u"lblCounter"));
    QCOMPARE(bench.window.frontLamp(), Lamp::Connected);
    QVERIFY(bench.messages.shown.isEmpty());
}

void tst_EndToEnd::corruptRepliesAreNotCountedAsReceived()
{
    Bench bench({QStringLiteral("--fault"), QStringLiteral("bad-crc:1")});
    bench.type(u"txtTimerSet", -1, QStringLiteral("50"));

    bench.click(u"cmdOneM");
    QVERIFY(bench.sim.waitForLines(QStringLiteral("FAULT"), 6, 5000));
    bench.click(u"cmdStopOnce");

    // Both counters start at 1; no corrupt reply is a successful reception.
    QVERIFY(bench.text(u"lblCounter").toInt() >= 7);
    QTRY_COMPARE(bench.window.frontLamp(), Lamp::NotConnected); // once the last reply is in
    QCOMPARE(bench.text(u"lblErrCounter"), QStringLiteral("1"));
    for (int row = 0; row < 5; ++row)
        QCOMPARE(bench.text(u"txtValue", row), QStringLiteral("0"));
}

void tst_EndToEnd::calibrationsChangeTheNextMeasurement()
{
    Bench bench;
    bench.type(u"txtValue", 2, QStringLiteral("1.5"));
    bench.click(u"cmdSet", 0);
    QTRY_COMPARE(bench.sim.lines(QStringLiteral("TX")).size(), 1);
    bench.type(u"txtValue", 3, QStringLiteral("-2"));
    bench.click(u"cmdSet", 1);
    QTRY_COMPARE(bench.sim.lines(QStringLiteral("TX")).size(), 2);

    bench.click(u"comDoOnce");

    QTRY_COMPARE(bench.text(u"txtValue", 0), QStringLiteral("26.50"));
    QCOMPARE(bench.text(u"txtValue", 1), QStringLiteral("58.00"));
    QCOMPARE(bench.text(u"txtValue", 2), QStringLiteral("1.50"));
    QCOMPARE(bench.text(u"txtValue", 3), QStringLiteral("-2.00"));
}

void tst_EndToEnd::everyWriteArrivesWhilePollingFast()
{
    Bench bench;
    bench.type(u"txtTimerSet", -1, QStringLiteral("50"));
    bench.click(u"cmdOneM");
    QTRY_COMPARE(bench.text(u"txtValue", 0), QStringLiteral("25.00"));

    // Presses at every phase of the polling period.
    constexpr int Presses = 12;
    for (int press = 0; press < Presses; ++press) {
        bench.type(u"txtValue", 2, QString::number(press % 2 ? 1.5 : -1.5));
        bench.click(u"cmdSet", 0);
        QTest::qWait(130 + 7 * press);
    }
    bench.click(u"cmdStopOnce");

    // Each write was carried out and echoed, and the echo accepted.
    QTRY_COMPARE(bench.sim.lines(QStringLiteral("TX")).filter(QStringLiteral(" 06 0A 00 ")).size(), Presses);
    QTRY_COMPARE(bench.text(u"txtValue", 2), QStringLiteral("1.50"));
    QVERIFY(bench.messages.shown.isEmpty());
}

void tst_EndToEnd::addressRead()
{
    Bench bench({QStringLiteral("--station"), QStringLiteral("7")});
    bench.click(u"cmdReadAdd");

    QTRY_COMPARE(bench.text(u"txtSetID", 0), QStringLiteral("7"));
    QCOMPARE(bench.text(u"txtStationID"), QStringLiteral("7"));

    // The measurement now goes to the station that answered.
    bench.click(u"comDoOnce");
    QTRY_COMPARE(bench.text(u"txtValue", 0), QStringLiteral("25.00"));
}

void tst_EndToEnd::baudRateChangeOnBothSides()
{
    Bench bench;
    bench.type(u"txtValue", 4, QStringLiteral("19200"));
    bench.click(u"cmdSet", 2);
    QVERIFY(bench.sim.waitForLines(QStringLiteral("NOTE"), 1));
    QTRY_VERIFY(bench.sim.lines(QStringLiteral("NOTE")).join(QLatin1Char('\n')).contains(QStringLiteral("19200")));

    bench.window.controls().get<PickList>(u"Combo2")->chooseText(QStringLiteral("19200"));
    QCOMPARE(bench.window.serialPort().settings(), QStringLiteral("19200,N,8,1"));
    bench.type(u"txtValue", 4, QStringLiteral("0"));
    bench.click(u"comDoOnce");

    QTRY_COMPARE(bench.text(u"txtValue", 0), QStringLiteral("25.00"));
    QCOMPARE(bench.text(u"txtValue", 4), QStringLiteral("19200"));
    QCOMPARE(bench.window.frontLamp(), Lamp::Connected);
}

void tst_EndToEnd::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("lamp"); // what the lamp shows once the sensor has had its say
    QTest::newRow("bad CRC") << "bad-crc:1" << int(Lamp::NotConnected);
    QTest::newRow("exception reply") << "exception:1" << int(Lamp::Yellow);
    QTest::newRow("partial reply") << "partial:1" << int(Lamp::Yellow);
    QTest::newRow("no reply") << "no-reply:1" << int(Lamp::Yellow);
}

void tst_EndToEnd::faults()
{
    QFETCH(QString, fault);
    QFETCH(int, lamp);
    Bench bench({QStringLiteral("--fault"), fault});

    bench.click(u"comDoOnce");
    QVERIFY(bench.sim.waitForLines(QStringLiteral("FAULT"), 1));
    // A short or missing reply raises no event at all; give the line a moment.
    QTest::qWait(100);

    QCOMPARE(int(bench.window.frontLamp()), lamp);
    for (int row = 0; row < 5; ++row)
        QCOMPARE(bench.text(u"txtValue", row), QStringLiteral("0"));
    QVERIFY(bench.messages.shown.isEmpty());
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_end_to_end.moc"
