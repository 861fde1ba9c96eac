#include "app/main_window.h"
#include "app/pick_list.h"
#include "garbage_burst.h"
#include "message_recorder.h"
#include "pty_pair.h"
#include "serial/comm_port.h"
#include "session/exchange_queue.h"
#include "sim_process.h"

#include <QPushButton>
#include <QSerialPort>
#include <QSet>
#include <QTest>

#include <memory>

using namespace kv;
using namespace kv::test;

namespace {

// What the value boxes may show: the design-time zeros, or what a sound reply
// of the simulator (25.00 degrees, 60.00 %Rh, no calibration, 9600 baud) says.
const QSet<QString> TrustedTexts = {"0", "25.00", "60.00", "0.00", "9600"};

// Watches the window after every exchange: any value box showing what no
// sound reply said.
struct Watch {
    explicit Watch(frmMain& window)
        : window(window)
    {
        QObject::connect(&window.exchange(), &ExchangeQueue::finished, &context, [this] { look(); });
    }

    void look()
    {
        ++events;
        for (int row = 0; row < 5; ++row) {
            const QString text = window.controls().text(u"txtValue", row);
            if (!TrustedTexts.contains(text))
                untrusted << text;
        }
    }

    frmMain& window;
    QObject context;
    int events = 0;
    QStringList untrusted;
};

// Counts message boxes opened while another is still open.
struct StackGuard {
    explicit StackGuard(MessageRecorder& messages)
    {
        messages.whileOpen = [this, &messages](const MessageBox::Message&) {
            if (depth++ == 0) {
                const int before = messages.shown.size();
                QTest::qWait(120); // the modal loop runs on: ticks and port events arrive
                stacked += messages.shown.size() - before;
            }
            --depth;
        };
    }
    int depth = 0;
    int stacked = 0;
};

void click(frmMain& window, QStringView button)
{
    emit window.controls().get<QPushButton>(button)->clicked();
}

void startPolling(frmMain& window, int periodMs)
{
    window.form().controls.setText(u"txtTimerSet", QString::number(periodMs));
    click(window, u"cmdOneM");
}

// Starts the window and has it poll the simulator every 50 ms; true once the
// first sound reply is on show.
bool pollUntilFirstReply(frmMain& window)
{
    window.load();
    startPolling(window, 50);
    return QTest::qWaitFor([&] { return window.controls().text(u"txtValue", 0) == QLatin1String("25.00"); }, 5000);
}

} // namespace

class tst_LineFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void faultyRepliesWhilePolling_data();
    void faultyRepliesWhilePolling();
    void garbageBurstKeepsTheWindowResponsive();
    void sensorVanishesMidPollAndComesBack();
    void busyPortWhilePolling();
    void baudRateReopenFailsWhilePolling();
};

void tst_LineFaults::faultyRepliesWhilePolling_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("bad CRC") << "bad-crc:0.5";
    QTest::newRow("exception replies") << "exception:0.5";
    QTest::newRow("silence") << "no-reply:0.5";
    QTest::newRow("partial replies") << "partial:0.5";
    QTest::newRow("extra bytes") << "extra-bytes:0.5";
    QTest::newRow("late replies") << "delay:0.3:80";
    QTest::newRow("everything at once") << "bad-crc:0.2,partial:0.2,extra-bytes:0.2,exception:0.1";
}

void tst_LineFaults::faultyRepliesWhilePolling()
{
    QFETCH(QString, fault);
    QStringList arguments;
    for (const QString& one : fault.split(QLatin1Char(',')))
        arguments << QStringLiteral("--fault") << one;
    SimProcess sim(arguments);
    PortWiring com1(1, sim.devicePath());
    MessageRecorder messages;
    frmMain window;
    window.load();
    Watch watch(window);

    startPolling(window, 50);
    QVERIFY(sim.waitForLines(QStringLiteral("FAULT"), 3, 5000));
    QTRY_VERIFY_WITH_TIMEOUT(window.controls().text(u"lblCounter").toInt() >= 12, 5000);
    click(window, u"cmdStopOnce");

    QVERIFY(messages.shown.isEmpty());
    QVERIFY2(watch.untrusted.isEmpty(), qPrintable(watch.untrusted.join(QLatin1Char(' '))));
    QCOMPARE(window.controls().text(u"txtValue", 0), QStringLiteral("25.00")); // the good replies got through
}

void tst_LineFaults::garbageBurstKeepsTheWindowResponsive()
{
    PtyPair line;
    PortWiring com1(1, line.slavePath());
    MessageRecorder messages;
    frmMain window;
    window.load();
    Watch watch(window);
    startPolling(window, 50);

    const QByteArray garbage = highBitGarbage(1 << 20, 42);

    // The technician's input must keep getting through.
    const InputProbe probe;

    for (qsizetype at = 0; at < garbage.size(); at += 4096) {
        line.send(garbage.mid(at, 4096)); // lets the window run while the line is full
    }
    QTest::qWait(200);
    click(window, u"cmdStopOnce");

    QVERIFY2(probe.longestGapMs() < 100, qPrintable(QStringLiteral("longest gap %1 ms").arg(probe.longestGapMs())));
    QVERIFY(watch.events > 0);
    QVERIFY(watch.untrusted.isEmpty());
    QVERIFY(messages.shown.isEmpty());
    for (int row = 0; row < 5; ++row)
        QCOMPARE(window.controls().text(u"txtValue", row), QStringLiteral("0"));
}

void tst_LineFaults::sensorVanishesMidPollAndComesBack()
{
    auto sim = std::make_unique<SimProcess>();
    auto com1 = std::make_unique<PortWiring>(1, sim->devicePath());
    MessageRecorder messages;
    StackGuard guard(messages);
    frmMain window;
    QVERIFY(pollUntilFirstReply(window));

    sim.reset(); // the other end closes

    QTRY_COMPARE(window.frontLamp(), Lamp::NotConnected);
    QTRY_COMPARE(messages.shown.size(), 1);
    // What happened, and what to do; not the closed-port message of the next tick.
    QCOMPARE(messages.shown.first().title, QStringLiteral("出错提示"));
    QVERIFY(messages.shown.first().text.contains(QStringLiteral("已断开")));
    QVERIFY(!window.serialPort().portOpen());
    const QString counted = window.controls().text(u"lblCounter");
    QTest::qWait(200);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(window.controls().text(u"lblCounter"), counted);
    QVERIFY(window.pollTimer().isActive());

    // It comes back; choosing the port again resumes the poll by itself.
    sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--temperature"), QStringLiteral("30")});
    com1.reset(); // one wiring at a time: the old one unsets the variable as it goes
    com1 = std::make_unique<PortWiring>(1, sim->devicePath());
    window.controls().get<PickList>(u"Combo1")->choose(0);
    QTRY_COMPARE(window.controls().text(u"txtValue", 0), QStringLiteral("30.00"));
    click(window, u"cmdStopOnce");
    QTRY_COMPARE(window.frontLamp(), Lamp::Connected); // once the last reply is in
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(guard.stacked, 0);
}

void tst_LineFaults::busyPortWhilePolling()
{
    SimProcess sim;
    PortWiring com1(1, sim.devicePath());
    PtyPair other;
    PortWiring com2(2, other.slavePath());
    QSerialPort otherProgram(other.slavePath());
    QVERIFY(otherProgram.open(QIODevice::ReadWrite));
    MessageRecorder messages;
    StackGuard guard(messages);
    frmMain window;
    QVERIFY(pollUntilFirstReply(window));

    window.controls().get<PickList>(u"Combo1")->choose(1);

    QVERIFY(!window.serialPort().portOpen());
    QTRY_COMPARE(messages.shown.size(), 1);
    QTest::qWait(200);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(guard.stacked, 0);
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    click(window, u"cmdStopOnce");
}

void tst_LineFaults::baudRateReopenFailsWhilePolling()
{
    SimProcess sim;
    auto com1 = std::make_unique<PortWiring>(1, sim.devicePath());
    MessageRecorder messages;
    StackGuard guard(messages);
    frmMain window;
    QVERIFY(pollUntilFirstReply(window));

    com1.reset(); // one wiring at a time: the old one unsets the variable as it goes
    com1 = std::make_unique<PortWiring>(1, QStringLiteral("/nonexistent/kv9240b-line"));
    window.controls().get<PickList>(u"Combo2")->chooseText(QStringLiteral("19200"));

    // The failed reopen is reported, then the poll meets the closed port once.
    QTRY_COMPARE(messages.shown.size(), 2);
    QCOMPARE(messages.shown.at(0).text, QStringLiteral("串口已打开或被占用！"));
    QCOMPARE(messages.shown.at(1).text, QStringLiteral("打开串口出错，请确定串口是否已被占用"));
    QTest::qWait(200);
    QCOMPARE(messages.shown.size(), 2);
    QCOMPARE(guard.stacked, 0);
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(!window.variables().CycleOn);
    click(window, u"cmdStopOnce");
}

QTEST_MAIN(tst_LineFaults)
#include "tst_line_faults.moc"
