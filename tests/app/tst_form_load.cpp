#include "app/main_window.h"
#include "app/pick_list.h"
#include "serial/comm_port.h"
#include "window_fixture.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace kv;
using namespace kv::test;

class tst_FormLoad : public QObject {
    Q_OBJECT

private slots:
    void defaultsAfterStartUp();
    void opensTheDefaultPortQuietly();
    void runsBothListHandlersOnce();
    void reportsAPortThatWillNotOpen();
    void sendsNothingAndStartsNoTimer();
};

void tst_FormLoad::defaultsAfterStartUp()
{
    StartedWindow started;
    const ControlSet& c = started.window->controls();
    QCOMPARE(c.text(u"txtStationID"), QStringLiteral("1"));
    QCOMPARE(c.text(u"txtFunID"), QStringLiteral("3"));
    QCOMPARE(c.text(u"txtStartID"), QStringLiteral("0"));
    QCOMPARE(c.text(u"txtDataLength"), QStringLiteral("5"));
    QCOMPARE(c.text(u"txtTimerSet"), QStringLiteral("1000"));
    for (int row = 0; row < 8; ++row)
        QCOMPARE(c.text(u"txtValue", row), QStringLiteral("0"));
    QCOMPARE(c.text(u"lblCounter"), QStringLiteral("0"));
    QCOMPARE(c.text(u"lblErrCounter"), QStringLiteral("0"));
    QCOMPARE(c.text(u"Combo1"), QStringLiteral("COM1"));

    auto* rates = c.get<PickList>(u"Combo2");
    QCOMPARE(rates->currentText(), QStringLiteral("9600"));
    QStringList entries;
    for (int i = 0; i < rates->count(); ++i)
        entries << rates->itemText(i);
    QCOMPARE(entries, QStringList({"2400", "4800", "9600", "19200"}));

    const ExchangeState& vars = started.window->variables();
    QCOMPARE(vars.CommNum, std::int16_t(1));
    QCOMPARE(vars.CommRate, std::int16_t(9600));
    QCOMPARE(vars.CmdType, std::int16_t(0));
}

void tst_FormLoad::opensTheDefaultPortQuietly()
{
    StartedWindow started;
    CommPort& port = commPort(*started.window);
    QVERIFY(port.portOpen());
    QCOMPARE(port.devicePath(), started.line.slavePath());
    QCOMPARE(port.settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(started.messages.shown.isEmpty());
    QVERIFY(started.window->variables().CycleOn);
    // Opening at start-up does not claim a working link.
    QCOMPARE(started.window->frontLamp(), Lamp::NotConnected);
}

void tst_FormLoad::runsBothListHandlersOnce()
{
    MessageRecorder messages;
    PtyPair line;
    PortWiring com1(1, line.slavePath());
    frmMain window;
    QSignalSpy ports(window.controls().get<PickList>(u"Combo1"), &PickList::chosen);
    QSignalSpy rates(window.controls().get<PickList>(u"Combo2"), &PickList::chosen);
    window.load();
    QCOMPARE(ports.count(), 1);
    QCOMPARE(rates.count(), 1);
    QCOMPARE(window.controls().get<PickList>(u"Combo1")->currentIndex(), 0);
    QCOMPARE(window.controls().get<PickList>(u"Combo2")->currentIndex(), 2);
}

void tst_FormLoad::reportsAPortThatWillNotOpen()
{
    MessageRecorder messages;
    PortWiring com1(1, QStringLiteral("/nonexistent/kv9240b-line"));
    frmMain window;
    window.load();

    QCOMPARE(messages.shown.size(), 1);
    const MessageBox::Message& shown = messages.shown.first();
    QCOMPARE(shown.title, QStringLiteral("VORT系统出错提示"));
    QCOMPARE(shown.text, QStringLiteral("请检查串口端口,串口端口1无法打开!"));
    QCOMPARE(shown.icon, MessageBox::Icon::None);
    QVERIFY(!shown.detail.isEmpty());
    QVERIFY(!commPort(window).portOpen());
    QVERIFY(!window.variables().CycleOn);
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
}

void tst_FormLoad::sendsNothingAndStartsNoTimer()
{
    StartedWindow started;
    QVERIFY(started.line.drain(200).isEmpty());
    QVERIFY(!started.window->pollTimer().isActive());
    QTest::qWait(50);
    QVERIFY(!started.window->pollTimer().isActive());
}

QTEST_MAIN(tst_FormLoad)
#include "tst_form_load.moc"
