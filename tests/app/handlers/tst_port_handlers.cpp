#include "app/pick_list.h"
#include "serial/comm_port.h"
#include "app/handlers/port_handlers.h"
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
    void choosingAMissingPortIsSilent();
    void choosingABusyPortIsSilent();
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
    void pulledAdapterShowsRed();
};

void tst_PortHandlers::choosingAnotherPortMovesTheLink()
{
    StartedWindow started;
    PtyPair com3;
    PortWiring wiring(3, com3.slavePath());
    frmMain& window = *started.window;
    window.form().lamp.show(Lamp::Connected);
    window.variables().CycleOn = false;
    window.serialPort().setRThreshold(21);

    list(window, u"Combo1").choose(2);

    CommPort& port = window.serialPort();
    QVERIFY(port.portOpen());
    QCOMPARE(port.commPort(), 3);
    QCOMPARE(window.variables().CommNum, std::int16_t(3));
    QCOMPARE(port.settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(port.rThreshold(), 1);
    QVERIFY(window.variables().CycleOn);
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QVERIFY(portReaches(port, com3));
    QVERIFY(started.line.drain(50).isEmpty());
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::choosingTheOpenPortReopensIt()
{
    StartedWindow started;
    CommPort& port = started.window->serialPort();
    // Bytes waiting and a disarmed threshold show whether a reopen happened.
    port.setRThreshold(0);
    started.line.send("\x01\x02\x03");
    QTRY_COMPARE(port.inBufferCount(), 3);

    list(*started.window, u"Combo1").choose(0);

    QVERIFY(port.portOpen());
    QCOMPARE(port.inBufferCount(), 0);
    QCOMPARE(port.rThreshold(), 1);
    QVERIFY(portReaches(port, started.line));
}

void tst_PortHandlers::choosingAMissingPortIsSilent()
{
    StartedWindow started;
    PortWiring wiring(5, QStringLiteral("/nonexistent/kv9240b-line"));
    started.window->variables().CycleOn = false;
    const Lamp before = started.window->frontLamp();

    list(*started.window, u"Combo1").choose(4);

    QVERIFY(!started.window->serialPort().portOpen());
    QCOMPARE(started.window->variables().CommNum, std::int16_t(5));
    QVERIFY(started.window->variables().CycleOn);
    QCOMPARE(started.window->frontLamp(), before);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::choosingABusyPortIsSilent()
{
    StartedWindow started;
    PtyPair com4;
    PortWiring wiring(4, com4.slavePath());
    QSerialPort otherProgram(com4.slavePath());
    QVERIFY(otherProgram.open(QIODevice::ReadWrite));

    list(*started.window, u"Combo1").choose(3);

    QVERIFY(!started.window->serialPort().portOpen());
    QCOMPARE(started.window->variables().CommNum, std::int16_t(4));
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::choosingNothingAsksForAPort()
{
    StartedWindow started;
    started.window->variables().CycleOn = false;
    list(*started.window, u"Combo1").choose(-1);

    QVERIFY(!started.window->serialPort().portOpen());
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
        QTest::addRow("port, %s", leaving) << "Combo1" << "COM3" << leaving;
        QTest::addRow("rate, %s", leaving) << "Combo2" << "19200" << leaving;
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
    QCOMPARE(window.serialPort().settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(portReaches(window.serialPort(), started.line));
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
    window.serialPort().setRThreshold(0);
    started.line.send("\x01");
    QTRY_COMPARE(window.serialPort().inBufferCount(), 1);

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
    QVERIFY(window.serialPort().portOpen());
    QCOMPARE(window.serialPort().inBufferCount(), 0);
    QVERIFY(portReaches(window.serialPort(), position == 2 ? com3 : started.line));
}

void tst_PortHandlers::openButtonOpensAClosedPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    click(window, u"Command1");
    list(window, u"Combo2").choose(3); // 19200, stored while closed
    window.serialPort().setSettings(QStringLiteral("2400,N,8,1"));

    click(window, u"cmdCom");

    QVERIFY(window.serialPort().portOpen());
    QCOMPARE(window.serialPort().settings(), QStringLiteral("19200,N,8,1"));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(portReaches(window.serialPort(), started.line));
}

void tst_PortHandlers::openButtonReopensAnOpenPort()
{
    StartedWindow started;
    frmMain& window = *started.window;
    CommPort& port = window.serialPort();
    port.setRThreshold(0);
    started.line.send("\x07\x08");
    QTRY_COMPARE(port.inBufferCount(), 2);
    const bool cycleOn = window.variables().CycleOn;

    click(window, u"cmdCom");

    QVERIFY(port.portOpen());
    QCOMPARE(port.inBufferCount(), 0); // closed and opened again
    QCOMPARE(port.settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(port.rThreshold(), 0);
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

    QVERIFY(!window.serialPort().portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    checkOpenFailureShown(started.messages);
    QVERIFY(!started.messages.shown.first().detail.isEmpty());
}

void tst_PortHandlers::closeButton()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().lamp.show(Lamp::Connected);
    QVERIFY(window.variables().CycleOn);

    click(window, u"Command1");
    QVERIFY(!window.serialPort().portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(window.variables().CycleOn);

    window.form().lamp.show(Lamp::Yellow);
    click(window, u"Command1");
    QVERIFY(!window.serialPort().portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::baudRateWhileOpenReopens()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().lamp.show(Lamp::Yellow);
    window.serialPort().setRThreshold(0);
    started.line.send("\x11");
    QTRY_COMPARE(window.serialPort().inBufferCount(), 1);

    list(window, u"Combo2").choose(3);

    QCOMPARE(window.variables().CommRate, std::int16_t(19200));
    QVERIFY(window.serialPort().portOpen());
    QCOMPARE(window.serialPort().settings(), QStringLiteral("19200,N,8,1"));
    QCOMPARE(window.serialPort().inBufferCount(), 0);
    QCOMPARE(window.frontLamp(), Lamp::Yellow);
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::baudRateWhileClosedIsKeptForTheNextOpen()
{
    StartedWindow started;
    frmMain& window = *started.window;
    click(window, u"Command1");

    list(window, u"Combo2").choose(0);

    QVERIFY(!window.serialPort().portOpen());
    QCOMPARE(window.variables().CommRate, std::int16_t(2400));
    QCOMPARE(window.serialPort().settings(), QStringLiteral("2400,N,8,1"));
    QVERIFY(started.messages.shown.isEmpty());
}

void tst_PortHandlers::baudRateReopenFailureIsReported()
{
    StartedWindow started;
    frmMain& window = *started.window;
    // The device behind COM1 is gone by the time the port is reopened.
    PortWiring vanished(1, QStringLiteral("/nonexistent/kv9240b-line"));

    list(window, u"Combo2").choose(3);

    QVERIFY(!window.serialPort().portOpen());
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
    checkOpenFailureShown(started.messages);
    // The window stays usable: a later choice of a present port works.
    PtyPair com2;
    PortWiring wiring(2, com2.slavePath());
    list(window, u"Combo1").choose(1);
    QVERIFY(window.serialPort().portOpen());
    QCOMPARE(window.serialPort().settings(), QStringLiteral("19200,N,8,1"));
}

void tst_PortHandlers::pulledAdapterShowsRed()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().lamp.show(Lamp::Connected);

    started.line.hangUp();

    QTRY_VERIFY(!window.serialPort().portOpen());
    QTRY_COMPARE(window.frontLamp(), Lamp::NotConnected);
    QTest::qWait(100);
    QVERIFY(started.messages.shown.isEmpty());
}

QTEST_MAIN(tst_PortHandlers)
#include "tst_port_handlers.moc"
