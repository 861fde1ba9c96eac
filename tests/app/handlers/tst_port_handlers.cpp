#include "app/handlers/port_handlers.h"
#include "app/pick_list.h"
#include "serial/comm_port.h"
#include "window_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

const QString OpenFailureTitle = QStringLiteral("出错提示");
const QString OpenFailureText = QStringLiteral("串口已打开或被占用！");

// True when the port in use is the device behind this line: a byte written
// by the tool arrives at the line's master side.
bool portReaches(CommPort& port, PtyPair& line)
{
    line.drain(20);
    return port.output(QByteArray("\x5A", 1)) && line.receive(1, 1000) == QByteArray("\x5A", 1);
}

void click(frmMain& window, QStringView button)
{
    window.controls().get<QPushButton>(button)->click();
}

PickList& list(frmMain& window, QStringView name)
{
    return *window.controls().get<PickList>(name);
}

// Shown and active, as a technician's window is: keys and focus behave as on screen.
void showActive(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

void checkOpenFailureShown(const MessageRecorder& messages)
{
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown.first().title, OpenFailureTitle);
    QCOMPARE(messages.shown.first().text, OpenFailureText);
    QCOMPARE(messages.shown.first().icon, MessageBox::Icon::Exclamation);
}

} // namespace

class tst_PortHandlers : public QObject {
    Q_OBJECT

private slots:
    void choosingAnotherPortMovesTheLink();
    void choosingTheOpenPortReopensIt();
    void choosingAPortThatWillNotOpen_data();
    void choosingAPortThatWillNotOpen();
    void choosingNothingAsksForAPort();
    void typingIntoAListChoosesNothing_data();
    void typingIntoAListChoosesNothing();
    void popupStillChooses_data();
    void popupStillChooses();
    void openButtonOpensAClosedPort();
    void openButtonReopensAnOpenPort();
    void openButtonReportsABusyPort();
    void closeButton();
    void baudRateWhileOpenReopens();
    void baudRateWhileClosedIsKeptForTheNextOpen();
    void baudRateReopenFailureIsReported();
    void pulledAdapterIsReportedOnce();
    void pulledAdapterWhileAnotherBoxIsOpen();
};

void tst_PortHandlers::choosingAnotherPortMovesTheLink()
{
    StartedWindow started;
    PtyPair com3;
    PortWiring wiring(3, com3.slavePath());
    frmMain& window = *started.window;
    window.form().lamp.show(Lamp::Connected);
    window.variables().CycleOn = false;

    list(window, u"Combo1").choose(2);

    CommPort& port = commPort(window);
    QVERIFY(port.portOpen());
    QCOMPARE(port.commPort(), 3);
    QCOMPARE(window.variables().CommNum, std::int16_t(3));
    QCOMPARE(port.settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(window.variables().CycleOn);
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QVERIFY(portReaches(port, com3));
    QVERIFY(started.line.drain(50).isEmpty());
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::choosingTheOpenPortReopensIt()
{
    StartedWindow started;
    CommPort& port = commPort(*started.window);
    // Bytes waiting and a disarmed threshold show whether a reopen happened.
    port.setRThreshold(0);
    started.line.send("\x01\x02\x03");
    QTRY_COMPARE(port.inBufferCount(), 3);

    list(*started.window, u"Combo1").choose(0);

    QVERIFY(port.portOpen());
    QCOMPARE(port.inBufferCount(), 0);
    QVERIFY(portReaches(port, started.line));
}

void tst_PortHandlers::choosingAPortThatWillNotOpen_data()
{
    QTest::addColumn<bool>("busy"); // false: no device behind the number
    QTest::newRow("missing") << false;
    QTest::newRow("held by another program") << true;
}

void tst_PortHandlers::choosingAPortThatWillNotOpen()
{
    QFETCH(bool, busy);
    StartedWindow started;
    PtyPair com5;
    PortWiring wiring(5, busy ? com5.slavePath() : QStringLiteral("/nonexistent/kv9240b-line"));
    QSerialPort otherProgram(com5.slavePath());
    QVERIFY(!busy || otherProgram.open(QIODevice::ReadWrite));
    frmMain& window = *started.window;
    started.window->variables().CycleOn = false;
    click(window, u"cmdCom");
    QCOMPARE(window.frontLamp(), Lamp::Connected);

    list(window, u"Combo1").choose(4);

    QVERIFY(!commPort(window).portOpen());
    QCOMPARE(window.variables().CommNum, std::int16_t(5));
    QVERIFY(window.variables().CycleOn);
    // Silent, but a closed port does not show green.
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::choosingNothingAsksForAPort()
{
    StartedWindow started;
    started.window->variables().CycleOn = false;
    click(*started.window, u"cmdCom");
    list(*started.window, u"Combo1").choose(-1);

    QVERIFY(!commPort(*started.window).portOpen());
    QCOMPARE(started.window->frontLamp(), Lamp::NotConnected);
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(started.messages.shown.first().text, QStringLiteral("请选择端口"));
    QCOMPARE(started.messages.shown.first().title, QStringLiteral("Orvane"));
    QCOMPARE(started.messages.shown.first().icon, MessageBox::Icon::None);
    QVERIFY(!started.window->variables().CycleOn);
}

void tst_PortHandlers::typingIntoAListChoosesNothing_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("leaving"); // how the technician moves on
    for (const char* leaving : {"Enter", "Tab", "click txtFunID", "click cmdCom"}) {
        QTest::addRow("port, %s", leaving) << "Combo1"
                                           << "COM3" << leaving;
        QTest::addRow("rate, %s", leaving) << "Combo2"
                                           << "19200" << leaving;
    }
}

void tst_PortHandlers::typingIntoAListChoosesNothing()
{
    QFETCH(QString, list);
    QFETCH(QString, typed);
    QFETCH(QString, leaving);
    StartedWindow started;
    PtyPair com3;
    PortWiring wiring(3, com3.slavePath());
    frmMain& window = *started.window;
    showActive(window);
    PickList& box = *window.controls().get<PickList>(list);
    QSignalSpy choices(&box, &PickList::chosen);

    // Into the list as a technician does it: click, select all, type.
    QTest::mouseClick(box.lineEdit(), Qt::LeftButton);
    QTRY_VERIFY(box.hasFocus());
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&box, typed);
    QCOMPARE(box.currentText(), typed);
    if (leaving == QLatin1String("Enter")) {
        QTest::keyClick(&box, Qt::Key_Return);
    } else if (leaving == QLatin1String("Tab")) {
        QTest::keyClick(&box, Qt::Key_Tab);
        QTRY_VERIFY(!box.hasFocus());
    } else {
        QWidget* other = window.controls().widget(leaving.mid(6));
        QTest::mouseClick(other, Qt::LeftButton);
        QTRY_VERIFY(other->hasFocus());
    }

    QCOMPARE(choices.count(), 0);
    QCOMPARE(window.variables().CommNum, std::int16_t(1));
    QCOMPARE(window.variables().CommRate, std::int16_t(9600));
    QCOMPARE(commPort(window).settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(portReaches(commPort(window), started.line));
    QVERIFY(com3.drain(50).isEmpty());
    QCOMPARE(window.controls().get<PickList>(u"Combo1")->count(), 25);
    QCOMPARE(window.controls().get<PickList>(u"Combo2")->count(), 4);
}

void tst_PortHandlers::popupStillChooses_data()
{
    QTest::addColumn<bool>("byMouse");
    QTest::addColumn<int>("position");
    QTest::newRow("mouse, another port") << true << 2;
    QTest::newRow("mouse, the port already chosen") << true << 0;
    QTest::newRow("keyboard, another port") << false << 2;
    QTest::newRow("keyboard, the port already chosen") << false << 0;
}

void tst_PortHandlers::popupStillChooses()
{
    QFETCH(bool, byMouse);
    QFETCH(int, position);
    StartedWindow started;
    PtyPair com3;
    PortWiring wiring(3, com3.slavePath());
    frmMain& window = *started.window;
    showActive(window);
    PickList& ports = list(window, u"Combo1");
    QSignalSpy choices(&ports, &PickList::chosen);
    // Bytes waiting show whether the chosen port was (re)opened.
    commPort(window).setRThreshold(0);
    started.line.send("\x01");
    QTRY_COMPARE(commPort(window).inBufferCount(), 1);

    ports.showPopup();
    QAbstractItemView* popup = ports.view();
    QTRY_VERIFY(popup->isVisible());
    const QModelIndex entry = popup->model()->index(position, 0);
    if (byMouse) {
        popup->scrollTo(entry);
        QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, popup->visualRect(entry).center());
    } else {
        for (int step = 0; step < position; ++step)
            QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Return);
    }

    QTRY_COMPARE(choices.count(), 1);
    QCOMPARE(window.variables().CommNum, std::int16_t(position + 1));
    QVERIFY(commPort(window).portOpen());
    QCOMPARE(commPort(window).inBufferCount(), 0);
    QVERIFY(portReaches(commPort(window), position == 2 ? com3 : started.line));
}

void tst_PortHandlers::openButtonOpensAClosedPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    click(window, u"Command1");
    list(window, u"Combo2").choose(3); // 19200, stored while closed
    commPort(window).setSettings(QStringLiteral("2400,N,8,1"));

    click(window, u"cmdCom");

    QVERIFY(commPort(window).portOpen());
    QCOMPARE(commPort(window).settings(), QStringLiteral("19200,N,8,1"));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(portReaches(commPort(window), started.line));
}

void tst_PortHandlers::openButtonReopensAnOpenPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    CommPort& port = commPort(window);
    port.setRThreshold(0);
    started.line.send("\x07\x08");
    QTRY_COMPARE(port.inBufferCount(), 2);
    const bool cycleOn = window.variables().CycleOn;

    click(window, u"cmdCom");

    QVERIFY(port.portOpen());
    QCOMPARE(port.inBufferCount(), 0); // closed and opened again
    QCOMPARE(port.settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(window.variables().CycleOn, cycleOn);
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::openButtonReportsABusyPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    click(window, u"Command1");
    QSerialPort otherProgram(started.line.slavePath());
    QVERIFY(otherProgram.open(QIODevice::ReadWrite));

    click(window, u"cmdCom");

    QVERIFY(!commPort(window).portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    checkOpenFailureShown(started.messages);
    // The window words the failure itself: which device, and what to do.
    const QString detail = started.messages.shown.first().detail;
    QVERIFY2(detail.startsWith(QStringLiteral("%1 正被其他程序占用，请先关闭该程序。（").arg(started.line.slavePath())),
        qPrintable(detail));
}

void tst_PortHandlers::closeButton()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().lamp.show(Lamp::Connected);
    QVERIFY(window.variables().CycleOn);

    click(window, u"Command1");
    QVERIFY(!commPort(window).portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(window.variables().CycleOn);

    window.form().lamp.show(Lamp::Yellow);
    click(window, u"Command1");
    QVERIFY(!commPort(window).portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::baudRateWhileOpenReopens()
{
    StartedWindow started;
    frmMain& window = *started.window;
    commPort(window).setRThreshold(0);
    started.line.send("\x11");
    QTRY_COMPARE(commPort(window).inBufferCount(), 1);
    window.form().lamp.show(Lamp::Yellow);

    list(window, u"Combo2").choose(3);

    QCOMPARE(window.variables().CommRate, std::int16_t(19200));
    QVERIFY(commPort(window).portOpen());
    QCOMPARE(commPort(window).settings(), QStringLiteral("19200,N,8,1"));
    QCOMPARE(commPort(window).inBufferCount(), 0);
    QCOMPARE(window.frontLamp(), Lamp::Yellow);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::baudRateWhileClosedIsKeptForTheNextOpen()
{
    StartedWindow started;
    frmMain& window = *started.window;
    PortWiring vanished(1, QStringLiteral("/nonexistent/kv9240b-line"));
    click(window, u"cmdCom"); // fails: red
    window.form().lamp.show(Lamp::Connected);

    list(window, u"Combo2").choose(0);

    QVERIFY(!commPort(window).portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    started.messages.shown.removeFirst(); // the open button's report
    QCOMPARE(window.variables().CommRate, std::int16_t(2400));
    QCOMPARE(commPort(window).settings(), QStringLiteral("2400,N,8,1"));
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::baudRateReopenFailureIsReported()
{
    StartedWindow started;
    frmMain& window = *started.window;
    // The device behind COM1 is gone by the time the port is reopened.
    PortWiring vanished(1, QStringLiteral("/nonexistent/kv9240b-line"));

    list(window, u"Combo2").choose(3);

    QVERIFY(!commPort(window).portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    checkOpenFailureShown(started.messages);
    // The window stays usable: a later choice of a present port works.
    PtyPair com2;
    PortWiring wiring(2, com2.slavePath());
    list(window, u"Combo1").choose(1);
    QVERIFY(commPort(window).portOpen());
    QCOMPARE(commPort(window).settings(), QStringLiteral("19200,N,8,1"));
}

void tst_PortHandlers::pulledAdapterIsReportedOnce()
{
    StartedWindow started;
    frmMain& window = *started.window;
    click(window, u"comDoOnce");
    QCOMPARE(started.line.receive(8).size(), 8);
    window.form().controls.setText(u"txtTimerSet", QStringLiteral("50"));
    click(window, u"cmdOneM");

    started.line.hangUp();

    QTRY_VERIFY(!commPort(window).portOpen());
    QTRY_COMPARE(window.frontLamp(), Lamp::NotConnected);
    QTRY_COMPARE(started.messages.shown.size(), 1);
    const MessageBox::Message& lost = started.messages.shown.first();
    QCOMPARE(lost.title, OpenFailureTitle);
    QCOMPARE(lost.icon, MessageBox::Icon::Exclamation);
    QCOMPARE(lost.text,
        QStringLiteral("COM1 的串口设备 %1 已断开，串口已关闭。请重新插好转换器，然后按“打开串口”。")
            .arg(started.line.slavePath()));
    // Polling goes on ticking, but adds neither requests nor messages.
    const QString requests = window.controls().text(u"lblCounter");
    QTest::qWait(200);
    QVERIFY(window.pollTimer().isActive());
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(window.controls().text(u"lblCounter"), requests);
    click(window, u"cmdStopOnce");
}

void tst_PortHandlers::pulledAdapterWhileAnotherBoxIsOpen()
{
    StartedWindow started;
    frmMain& window = *started.window;
    bool lostWhileOpen = false;
    started.messages.whileOpen = [&](const MessageBox::Message&) {
        if (lostWhileOpen)
            return;
        lostWhileOpen = true;
        started.line.hangUp();
        QTRY_VERIFY(!commPort(window).portOpen());
    };

    window.form().controls.setText(u"txtFunID", QStringLiteral("x"));
    click(window, u"comDoOnce"); // its message is on screen when the adapter goes

    QVERIFY(lostWhileOpen);
    QCOMPARE(started.messages.shown.size(), 1);
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(!window.variables().CycleOn);
}

QTEST_MAIN(tst_PortHandlers)
#include "tst_port_handlers.moc"
