#include "app/handlers/polling.h"
#include "app/pick_list.h"
#include "frames.h"
#include "protocol/modbus/hex_text.h"
#include "serial/comm_port.h"
#include "window_fixture.h"

#include <QElapsedTimer>

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

const QString PeriodMessage = QStringLiteral("你输入的定时时长格式有误，应该为数字，值范围为50-60000!");

void click(frmMain& window, QStringView button, int index = -1)
{
    window.controls().get<QPushButton>(button, index)->click();
}

} // namespace

class tst_Polling : public QObject {
    Q_OBJECT

private slots:
    void period_data();
    void period();
    void firstRequestComesOnePeriodLater();
    void stopOnlyStopsTheTimer();
    void lengthThatIsNotANumberBecomesOne();
    void closedPortIsReportedOnce();
    void countersWrapTogether();
    void noMessageBoxesStack();
    void badBoxStopsPolling();
    void writeHoldsPollingBackUntilItsReply();
    void stalledLineDropsPollsAndRecovers();
    void lateReplyIsNotTheNextOnes();
};

void tst_Polling::period_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("interval"); // -1: refused
    QTest::newRow("shortest") << "50" << 50;
    QTest::newRow("longest") << "60000" << 60000;
    QTest::newRow("fraction rounds") << "60000.7" << 60001;
    QTest::newRow("too short") << "49.9" << -1;
    QTest::newRow("too long") << "60001" << -1;
    QTest::newRow("letters") << "1s" << -1;
    QTest::newRow("empty") << "" << -1;
}

void tst_Polling::period()
{
    QFETCH(QString, text);
    QFETCH(int, interval);
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"lblCounter", QStringLiteral("7"));
    window.form().controls.setText(u"lblErrCounter", QStringLiteral("9"));
    window.variables().CycleOn = false;
    window.form().controls.setText(u"txtTimerSet", text);

    click(window, u"cmdOneM");

    // The counters start again whether or not the period is accepted.
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1"));
    QCOMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("1"));
    QCOMPARE(window.variables().RecCount, 1);
    if (interval < 0) {
        QCOMPARE(started.messages.shown.size(), 1);
        QCOMPARE(started.messages.shown.first().text, PeriodMessage);
        QVERIFY(!window.pollTimer().isActive());
        QVERIFY(!window.variables().CycleOn);
    } else {
        QVERIFY(started.messages.shown.isEmpty());
        QVERIFY(window.pollTimer().isActive());
        QCOMPARE(window.pollTimer().interval(), interval);
        QCOMPARE(window.pollTimer().timerType(), Qt::PreciseTimer);
        QVERIFY(window.variables().CycleOn);
    }
}

void tst_Polling::firstRequestComesOnePeriodLater()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtTimerSet", QStringLiteral("200"));

    click(window, u"cmdOneM");
    QVERIFY(started.line.drain(100).isEmpty());

    QCOMPARE(started.line.receive(8, 1000).size(), 8);
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("2"));
    click(window, u"cmdStopOnce");
}

void tst_Polling::stopOnlyStopsTheTimer()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
    click(window, u"cmdOneM");
    QCOMPARE(started.line.receive(8).size(), 8);

    click(window, u"cmdStopOnce");

    QVERIFY(!window.pollTimer().isActive());
    QVERIFY(window.variables().CycleOn);
    const QString count = window.controls().text(u"lblCounter");
    QVERIFY(started.line.drain(150).isEmpty());
    QCOMPARE(window.controls().text(u"lblCounter"), count);
}

void tst_Polling::lengthThatIsNotANumberBecomesOne()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtDataLength", QStringLiteral("x"));

    Timer2_Timer(window.form());

    QCOMPARE(window.controls().text(u"txtDataLength"), QStringLiteral("1"));
    QCOMPARE(started.line.receive(8).at(5), '\x01');
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_Polling::closedPortIsReportedOnce()
{
    StartedWindow started;
    frmMain& window = *started.window;
    click(window, u"Command1");

    Timer2_Timer(window.form());
    Timer2_Timer(window.form());
    Timer2_Timer(window.form());

    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1"));
    QVERIFY(!window.variables().CycleOn);

    // Reopening with the open button does not resume sending...
    click(window, u"cmdCom");
    Timer2_Timer(window.form());
    QVERIFY(started.line.drain(50).isEmpty());
    // ...choosing the port in the list does.
    window.controls().get<PickList>(u"Combo1")->choose(0);
    Timer2_Timer(window.form());
    QCOMPARE(started.line.receive(8).size(), 8);
    QCOMPARE(started.messages.shown.size(), 1);
}

void tst_Polling::countersWrapTogether()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"lblCounter", QStringLiteral("65535"));
    Timer2_Timer(window.form());
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("65536"));
    QCOMPARE(started.line.receive(8).size(), 8);

    window.variables().RecCount = 70000;
    window.form().controls.setText(u"lblErrCounter", QStringLiteral("70000"));
    Timer2_Timer(window.form());

    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1"));
    QCOMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("0"));
    QCOMPARE(window.variables().RecCount, 0);
    QCOMPARE(started.line.receive(8).size(), 8);
}

void tst_Polling::noMessageBoxesStack()
{
    StartedWindow started;
    frmMain& window = *started.window;
    click(window, u"Command1");
    int nestedMessages = -1;
    bool ticking = false;
    started.messages.whileOpen = [&](const MessageBox::Message&) {
        if (ticking)
            return;
        // The box is still open when the next ticks come.
        ticking = true;
        window.variables().CycleOn = true;
        Timer2_Timer(window.form());
        Timer2_Timer(window.form());
        nestedMessages = started.messages.shown.size() - 1;
    };

    Timer2_Timer(window.form());

    QCOMPARE(nestedMessages, 0);
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1"));
}

void tst_Polling::badBoxStopsPolling()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
    click(window, u"cmdOneM");
    window.form().controls.setText(u"txtFunID", QStringLiteral("f"));

    QTRY_COMPARE(started.messages.shown.size(), 1);
    QVERIFY(!window.pollTimer().isActive());
    QTest::qWait(150);
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().text, QStringLiteral("你输入的功能码格式有误!"));
}

void tst_Polling::writeHoldsPollingBackUntilItsReply()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
    window.form().controls.setText(u"txtValue", 2, QStringLiteral("1.5"));
    const QByteArray write = bytes({0xFA, 0x06, 0x0A, 0x00, 0x00, 0x96, 0x1F, 0xF7});
    click(window, u"cmdOneM");

    // Answered: polling goes on right after the echo.
    click(window, u"cmdSet", 0);
    QCOMPARE(started.line.receive(8), write);
    QVERIFY(started.line.drain(90).isEmpty());
    QCOMPARE(window.controls().text(u"lblCounter"), QStringLiteral("1"));
    started.line.send(framed({0x01, 0x06, 0x0A, 0x00, 0x00, 0x96}));
    QByteArray query = started.line.receive(8, 150);
    QCOMPARE(query.left(2), bytes({0x01, 0x03}));

    // Not answered: polling holds back until the write's reply can no longer
    // come (its 17 ms on the wire, the sensor's turnaround, 100 ms more). The
    // write pressed while the query's reply comes in waits for it.
    started.line.send(readReply({2500, 6000, 0, 0, 9600}, 1));
    click(window, u"cmdSet", 0);
    QCOMPARE(started.line.receive(8), write);
    QElapsedTimer sinceWrite;
    sinceWrite.start();
    query = started.line.receive(8, 1000);
    QCOMPARE(query.left(2), bytes({0x01, 0x03}));
    QVERIFY2(sinceWrite.elapsed() >= 110, qPrintable(QString::number(sinceWrite.elapsed())));
    QCOMPARE(window.controls().text(u"txtValue", 0), QStringLiteral("25.00"));
    click(window, u"cmdStopOnce");
}

void tst_Polling::stalledLineDropsPollsAndRecovers()
{
    StartedWindow started;
    frmMain& window = *started.window;
    // The far end has stopped reading and the line is full: until the
    // driver takes no more, whatever waits in the queue stays there.
    CommPort& port = commPort(window);
    int queued = -1;
    while (queued != port.outBufferCount()) {
        for (const int chunk : {256, 1}) {
            for (int i = 0; i < 4096 && port.output(QByteArray(chunk, 'x')); ++i)
                QCoreApplication::processEvents();
        }
        queued = port.outBufferCount();
        QTest::qWait(50);
    }
    window.form().controls.setText(u"txtTimerSet", QStringLiteral("50"));

    click(window, u"cmdOneM");
    QTest::qWait(200);

    // The polls do not fit: dropped, red, but the port stays open, unreported.
    QVERIFY(commPort(window).portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(window.variables().CycleOn);

    // The far end reads again: the polls go through.
    const QByteArray query = bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x05});
    QByteArray arrived;
    QTRY_VERIFY((arrived += started.line.drain(20)).contains(query));
    QTRY_COMPARE(window.frontLamp(), Lamp::Yellow);
    click(window, u"cmdStopOnce");
    QVERIFY(started.messages.shown.isEmpty());
}

// The answer to a request left unanswered, begun before the next request went
// out, arrives while that one waits: it is shown as received but is not the
// next one's answer, so neither its values nor a success are taken from it.
void tst_Polling::lateReplyIsNotTheNextOnes()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtTimerSet", QStringLiteral("150"));
    const QString valueBefore = window.controls().text(u"txtValue", 0);
    click(window, u"cmdOneM");
    QCOMPARE(started.line.receive(8).size(), 8);       // left unanswered
    QCOMPARE(started.line.receive(8, 1000).size(), 8); // the next request

    const QByteArray late = readReply({3000, 5000, 0, 0, 9600}, 1);
    started.line.send(late); // all of it at once: it began before the request

    QTRY_COMPARE(window.controls().text(u"txtState"), receivedFrameText(asBytes(late)));
    QCOMPARE(window.controls().text(u"txtValue", 0), valueBefore);
    QCOMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("1"));
    click(window, u"cmdStopOnce");
}

QTEST_MAIN(tst_Polling)
#include "tst_polling.moc"
