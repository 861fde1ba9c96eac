#include "frames.h"
#include "app/handlers/send_sequence.h"
#include "serial/comm_port.h"
#include "window_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

QStringList values(const frmMain& window)
{
    QStringList texts;
    for (int row = 0; row < 8; ++row)
        texts << window.controls().text(u"txtValue", row);
    return texts;
}

// Sends the default single shot and has the sensor answer with reply.
void exchange(StartedWindow& started, const QByteArray& reply)
{
    started.window->controls().get<QPushButton>(u"comDoOnce")->click();
    QCOMPARE(started.line.receive(8).size(), 8);
    started.line.send(reply);
}

} // namespace

class tst_ReplyHandler : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void measurementReachesTheValueBoxes();
    void corruptReplyShowsRedAndKeepsTheValues();
    void addressReplyFillsTheAddressBoxes();
    void bytesBeforeAnyRequest();
    void otherEventsAreOnlyCounted();
};

void tst_ReplyHandler::measurementReachesTheValueBoxes()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtDataLength", QStringLiteral("8"));
    auto* temperature = window.controls().get<QLineEdit>(u"txtValue", 0);
    QPalette grey = temperature->palette();
    grey.setColor(QPalette::Text, Qt::gray);
    temperature->setPalette(grey);

    exchange(started, readReply({2500, 6000, 0, 0, 9600, 0, 0, 0}));

    QTRY_COMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("1"));
    QCOMPARE(values(window), QStringList({"25.00", "60.00", "0.00", "0.00", "9600", "0", "0", "0"}));
    QCOMPARE(window.controls().text(u"txtState").size(), 21 * 3);
    QVERIFY(window.controls().text(u"txtState").startsWith(QStringLiteral(" 02 03 10 09 C4")));
    QCOMPARE(temperature->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QCOMPARE(window.serialPort().inBufferCount(), 0);
}

void tst_ReplyHandler::corruptReplyShowsRedAndKeepsTheValues()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtDataLength", QStringLiteral("2"));
    QByteArray reply = readReply({2500, 6000});
    reply[8] = static_cast<char>(reply[8] ^ 0x01);

    exchange(started, reply);

    QTRY_COMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("1"));
    QCOMPARE(values(window), QStringList(8, QStringLiteral("0")));
    QCOMPARE(window.controls().text(u"txtState").size(), 9 * 3);
    QCOMPARE(window.frontLamp(), Lamp::NotConnected);
}

void tst_ReplyHandler::addressReplyFillsTheAddressBoxes()
{
    StartedWindow started;
    frmMain& window = *started.window;
    sendWriteRequest(window.form(), {RequestKind::AddressRead, {0xFA, 3, 0, 0, 0, 1}, 7, 6});
    QCOMPARE(started.line.receive(8).size(), 8);
    started.line.send(bytes({0x05, 0x03, 0x02, 0x00, 0x05, 0x88}));

    QTRY_COMPARE(window.controls().text(u"txtSetID", 0), QStringLiteral("5"));
    QCOMPARE(window.controls().text(u"txtStationID"), QStringLiteral("5"));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
}

void tst_ReplyHandler::bytesBeforeAnyRequest()
{
    StartedWindow started;
    frmMain& window = *started.window;
    started.line.send(bytes({0x41}));

    QTRY_COMPARE(window.controls().text(u"txtState"), QStringLiteral(" 41"));
    QCOMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("1"));
    QCOMPARE(window.frontLamp(), Lamp::Connected);
    QCOMPARE(values(window), QStringList(8, QStringLiteral("0")));
}

void tst_ReplyHandler::otherEventsAreOnlyCounted()
{
    StartedWindow started;
    frmMain& window = *started.window;
    window.form().controls.setText(u"txtState", QStringLiteral(" 99"));
    window.form().lamp.show(Lamp::Yellow);
    window.serialPort().setRThreshold(0);

    // More than the receive buffer holds: the overflow is an event of its own.
    started.line.send(QByteArray(1100, '\x11'));

    QTRY_COMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("1"));
    QCOMPARE(window.controls().text(u"txtState"), QStringLiteral(" 99"));
    QCOMPARE(window.frontLamp(), Lamp::Yellow);

    // A pulled adapter is counted as well, and shows red.
    started.line.hangUp();
    QTRY_COMPARE(window.frontLamp(), Lamp::NotConnected);
    QCOMPARE(window.controls().text(u"lblErrCounter"), QStringLiteral("2"));
}

QTEST_MAIN(tst_ReplyHandler)
#include "tst_reply_handler.moc"
